#pragma once
// The older generations' sentence filter list: up to 50 entries, each a
// sentence address ("-" is a wildcard), five source flags (PC, In 1..In 4)
// and a divisor. The window's grid is a view of it. Also the capture that
// builds the list from the traffic. Pure code.

#include <QString>

#include <string>
#include <string_view>
#include <vector>

#include "legacy/LegacyGeneration.h"
#include "link/Nmeadefs.h"

namespace hlx::legacy {

inline constexpr int kMaxFilterEntries = 50;
inline constexpr int kFilterFlags = 5;  // PC, In 1..In 4
inline constexpr int kMaxDivisorDigits = 2;
inline constexpr int kStorePauseMs = 100;  // after the command that empties the device's list
inline constexpr int kFilterLoadTimeoutMs = 1000;

// AddFilterEntry results.
inline constexpr int kFilterAdded = 0;
inline constexpr int kFilterFull = -1;
inline constexpr int kFilterBadSentence = -2;

inline constexpr std::string_view kFilterClearCommand = kAddrFL;  // the bare address empties the list
inline constexpr std::string_view kFilterQuery = "PQVXFLQ";

struct FilterEntry {
  QString flags;  // five characters "0"/"1"
  QString sentence;
  QString divisor;  // empty or up to two digits
  bool operator==(const FilterEntry&) const = default;
};

class LegacyFilterList {
 public:
  explicit LegacyFilterList(const Generation& gen) : m_gen(&gen) {}

  // Adds an entry or merges its "1" flags into the entry of the same
  // sentence (whose divisor stays). A full list refuses even a merge. The
  // sentence must have the generation's length and consist of letters,
  // digits and "-"; flags are read "1" or "0" per position (missing ones
  // "0"), a divisor that is not up to two digits is dropped.
  int AddFilterEntry(const QString& sentence, const QString& flags, const QString& divisor);

  const std::vector<FilterEntry>& Entries() const { return m_entries; }
  int Count() const { return static_cast<int>(m_entries.size()); }
  void Delete(int index);
  void Clear() { m_entries.clear(); }
  void ToggleFlag(int index, int flag);
  // In-place edits; false (and nothing changed) for a value that may not travel.
  bool SetSentence(int index, const QString& text);
  bool SetDivisor(int index, const QString& text);

  // Store: the clearing command, then one command per entry. Generation 1
  // sends no divisor, nor does generation 2 without the divisor capability.
  std::vector<std::string> StoreCommands(bool withDivisor = true) const;

  bool ValidSentence(const QString& upperCased) const;
  static QString NormalisedFlags(const QString& flags);
  static bool ValidDivisor(const QString& divisor);

 private:
  const Generation* m_gen;
  std::vector<FilterEntry> m_entries;
};

// Capture: attributes the received traffic to inputs and adds what passes
// to the list. Generations 2 to 4 learn the input from "PQVXCN,<n>" lines,
// generation 1 from "M<n>" identifiers.
class CaptureTracker {
 public:
  explicit CaptureTracker(const Generation& gen) : m_gen(&gen) {}
  void Start() { m_channel = 0; }
  int Channel() const { return m_channel; }
  // One received line; adds an entry to `list` when it names a sentence of a known input.
  void Feed(std::string_view line, LegacyFilterList& list);

 private:
  const Generation* m_gen;
  int m_channel = 0;
};

}  // namespace hlx::legacy
