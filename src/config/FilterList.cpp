#include "config/FilterList.h"

#include "link/Nmeadefs.h"

namespace hlx {

namespace {

// Characters that would end or split the field a value travels in, and bytes
// outside the printable ASCII that a sentence can carry.
bool IsDelimiter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c == ',' || c == '*' || c == '$' || c == '!' || c == '\\' || u < 0x20 || u >= 0x7F;
}

// An address is a key in a configuration file: these would be read back as
// a comment, a section header or the end of the key.
bool IsProfileSyntax(char c) { return c == '=' || c == ';' || c == '[' || c == ']'; }

char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Div is stored and sent unchanged, except for characters that would corrupt
// the sentence it is stored with.
std::string CleanDiv(std::string_view div) {
  std::string s;
  for (char c : div)
    if (!IsDelimiter(c)) s += c;
  return s;
}

bool IsValidDiv(std::string_view div) {
  if (div.size() > 2) return false;
  for (char c : div)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool IsValidFilterName(std::string_view name) {
  if (name.size() != static_cast<std::size_t>(kFilterNameLength)) return false;
  // A file trims the blanks around a key.
  if (name.front() == ' ' || name.back() == ' ') return false;
  for (char c : name)
    if (IsDelimiter(c) || IsProfileSyntax(c)) return false;
  return true;
}

int FilterList::AddFilterEntry(std::string_view name, std::string_view sources, std::string_view div,
                               std::string_view outputs, bool newRow) {
  if (Count() >= kMaxFilterRules) return kFilterFull;
  if (!IsValidFilterName(name)) return kFilterBadName;
  std::string upper;
  for (char c : name) upper += ToUpper(c);

  if (!newRow) {
    for (auto& rule : m_rules) {
      if (rule.Name != upper) continue;
      // A merge only ever switches flags on; Div stays as it was.
      for (std::size_t i = 0; i < rule.Sources.size() && i < sources.size(); ++i)
        if (sources[i] == '1') rule.Sources[i] = '1';
      for (std::size_t i = 0; i < rule.Outputs.size() && i < outputs.size(); ++i)
        if (outputs[i] == '1') rule.Outputs[i] = '1';
      return kFilterAdded;
    }
  }

  FilterRule rule;
  rule.Name = upper;
  // Missing flag positions (short fields from the device) count as "0".
  for (std::size_t i = 0; i < rule.Sources.size(); ++i)
    rule.Sources[i] = (i < sources.size() && sources[i] == '1') ? '1' : '0';
  for (std::size_t i = 0; i < rule.Outputs.size(); ++i)
    rule.Outputs[i] = (i < outputs.size() && outputs[i] == '1') ? '1' : '0';
  rule.Div = CleanDiv(div);
  m_rules.push_back(std::move(rule));
  m_selectedRow = Count() - 1;
  return kFilterAdded;
}

bool FilterList::HandleFLReply(std::string_view line) {
  std::string f;
  if (ExtractField(line, 1, f) != 1 || f != "R") return false;
  std::string name;
  if (ExtractField(line, 2, name) <= 0) return true;
  const std::string sources = FieldOr(line, 3);
  const std::string div = FieldOr(line, 4);
  const std::string outputs = FieldOr(line, 5, "0000");
  // Bad names and a full list are dropped without a message.
  AddFilterEntry(name, sources, div, outputs, true);
  return false;
}

void FilterList::HandleCaptureLine(int source, std::string_view address) {
  if (source < 1 || source > kSourceFlags - 1) return;
  std::string sources = "100000";
  sources[static_cast<std::size_t>(source)] = '1';
  AddFilterEntry(address.substr(0, kFilterNameLength), sources, {}, kFilterCaptureOutputs, false);
}

std::string FilterList::RuleCommand(const FilterRule& rule) {
  return CommandText(kAddrFL, {"C", rule.Name, rule.SourceText(), rule.Div, rule.OutputText()});
}

std::vector<PacedSentence> FilterList::StoreSequence() const {
  std::vector<PacedSentence> steps;
  steps.push_back({std::string(kFilterDeleteCommand), kFilterDeletePauseMs});
  for (const auto& rule : m_rules) steps.push_back({RuleCommand(rule), kFilterRulePauseMs});
  return steps;
}

void FilterList::Clear() {
  m_rules.clear();
  m_selectedRow = -1;
}

bool FilterList::Delete(int index) {
  if (index < 0 || index >= Count()) return false;
  m_rules.erase(m_rules.begin() + index);
  if (m_selectedRow >= Count()) m_selectedRow = Count() - 1;
  return true;
}

bool FilterList::ToggleFlag(int index, int column) {
  if (index < 0 || index >= Count() || !IsFlagColumn(column)) return false;
  auto& rule = m_rules[static_cast<std::size_t>(index)];
  char& cell = column <= FcConv ? rule.Sources[static_cast<std::size_t>(column - FcHost)]
                                : rule.Outputs[static_cast<std::size_t>(column - FcOut1)];
  cell = cell == '0' ? '1' : '0';
  return true;
}

bool FilterList::SetText(int index, int column, std::string_view text) {
  if (index < 0 || index >= Count()) return false;
  auto& rule = m_rules[static_cast<std::size_t>(index)];
  if (column == FcName) {
    // The address must stay five characters: an incomplete edit is refused
    // instead of leaving a rule the device cannot take.
    if (!IsValidFilterName(text)) return false;
    rule.Name.clear();
    for (char c : text) rule.Name += ToUpper(c);
    return true;
  }
  if (column == FcDiv) {
    if (!IsValidDiv(text)) return false;
    rule.Div = std::string(text);
    return true;
  }
  return false;
}

std::string FilterList::CellText(int index, int column) const {
  if (index < 0 || index >= Count()) return {};
  const auto& rule = At(index);
  if (column == FcNumber) return std::to_string(index + 1);
  if (column == FcName) return rule.Name;
  if (column == FcDiv) return rule.Div;
  if (column >= FcHost && column <= FcConv)
    return std::string(1, rule.Sources[static_cast<std::size_t>(column - FcHost)]);
  if (column >= FcOut1 && column <= FcOutW)
    return std::string(1, rule.Outputs[static_cast<std::size_t>(column - FcOut1)]);
  return {};
}

}  // namespace hlx
