#pragma once
// The sentence filter and routing list: up to 50 rules, each a five-character
// sentence address ("-" is a wildcard), six source flags (H, In1..In4, Conv),
// a Div value and four output flags (Out1, Out2, PC, W). The grid on the
// filter tab is one view of this list. Pure code.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "link/Nmeadefs.h"

namespace hlx {

inline constexpr int kMaxFilterRules = 50;
inline constexpr int kFilterNameLength = 5;
inline constexpr int kSourceFlags = 6;
inline constexpr int kOutputFlags = 4;
inline constexpr int kFilterDeletePauseMs = 100;
inline constexpr int kFilterRulePauseMs = 5;

// AddFilterEntry results.
inline constexpr int kFilterAdded = 0;
inline constexpr int kFilterFull = -1;
inline constexpr int kFilterBadName = -2;

// Grid columns of a rule.
enum FilterColumn : int {
  FcNumber = 0,
  FcHost = 1,  // ..6: sources H, 1, 2, 3, 4, C
  FcConv = 6,
  FcName = 7,
  FcDiv = 8,
  FcOut1 = 9,  // ..12: outputs 1, 2, PC, W
  FcOutW = 12,
  FcColumnCount = 13,
};

struct FilterRule {
  std::string Name;
  std::array<char, kSourceFlags> Sources{'0', '0', '0', '0', '0', '0'};
  std::string Div;
  std::array<char, kOutputFlags> Outputs{'0', '0', '0', '0'};

  std::string SourceText() const { return {Sources.begin(), Sources.end()}; }
  std::string OutputText() const { return {Outputs.begin(), Outputs.end()}; }
  bool operator==(const FilterRule&) const = default;
};

// One sentence of a paced sequence and the pause after it.
struct PacedSentence {
  std::string Text;
  int PauseMs = 0;
  bool operator==(const PacedSentence&) const = default;
};

inline const std::string kFilterDeleteCommand = CommandText(kAddrFL, {"C", "DELETE"});
inline constexpr std::string_view kFilterCaptureOutputs = "0011";  // PC and W

class FilterList {
 public:
  // Adds a rule, or with newRow false merges its "1" flags into the first rule
  // of the same address. Returns kFilterAdded, kFilterFull or kFilterBadName.
  int AddFilterEntry(std::string_view name, std::string_view sources, std::string_view div,
                     std::string_view outputs, bool newRow);
  // One FL reply of the read-back; true when it ends the list.
  bool HandleFLReply(std::string_view line);
  // A line seen during a capture, from source input `source`.
  void HandleCaptureLine(int source, std::string_view address);

  // The "Store List" sequence: delete, then one sentence per rule.
  std::vector<PacedSentence> StoreSequence() const;
  static std::string RuleCommand(const FilterRule& rule);

  // Grid operations.
  void Clear();
  bool Delete(int index);                  // false for an index outside the list
  bool ToggleFlag(int index, int column);  // flag columns only
  // In-place edit of the address or Div; false (and nothing changes) when
  // the text is not acceptable for the column.
  bool SetText(int index, int column, std::string_view text);
  std::string CellText(int index, int column) const;

  int Count() const { return static_cast<int>(m_rules.size()); }
  bool Empty() const { return m_rules.empty(); }
  const FilterRule& At(int index) const { return m_rules.at(static_cast<std::size_t>(index)); }
  const std::vector<FilterRule>& Rules() const { return m_rules; }
  // Row selected by the last append (-1 when none).
  int SelectedRow() const { return m_selectedRow; }
  void SetSelectedRow(int row) { m_selectedRow = row; }

  static bool IsFlagColumn(int column) {
    return (column >= FcHost && column <= FcConv) || (column >= FcOut1 && column <= FcOutW);
  }

 private:
  std::vector<FilterRule> m_rules;
  int m_selectedRow = -1;
};

// Name check shared by Add, in-place editing, replies and files: five
// printable ASCII characters, none of which would break the sentence it
// travels in or change on a save and load of a configuration file.
bool IsValidFilterName(std::string_view name);

}  // namespace hlx
