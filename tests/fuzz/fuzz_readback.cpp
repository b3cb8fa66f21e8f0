// Configuration replies on arbitrary lines, routed by their address as the
// read-back does, plus the capture of TAG-block sources: a line that is no
// reply ("R") changes nothing, the filter list only ever holds rules the
// device can take, and every command built from the model afterwards keeps
// its field layout, each field a value of its list or empty.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "config/ConfigFile.h"
#include "config/ReadBack.h"
#include "link/Nmeadefs.h"

using namespace hlx;

namespace {

bool Flags(std::string_view f, std::size_t n) {
  return f.size() == n && std::all_of(f.begin(), f.end(), [](char c) { return c == '0' || c == '1'; });
}

// Empty ("keep your setting") or one digit inside the list.
bool Index(std::string_view f, int items) {
  return f.empty() || (f.size() == 1 && f[0] >= '0' && f[0] < '0' + items);
}

// The fields the device reads from a command once it is completed.
std::vector<std::string> Received(std::string_view command) {
  const std::string wire = CompleteSentence(command);
  std::vector<std::string> fields;
  std::string f;
  for (int i = 0; ExtractField(wire, i, f) >= 0; ++i) fields.push_back(f);
  FUZZ_CHECK(fields.size() >= 2 && fields[1] == "C");
  return fields;
}

void CheckRules(const FilterList& rules) {
  FUZZ_CHECK(rules.Count() <= kMaxFilterRules);
  FUZZ_CHECK(rules.SelectedRow() >= -1 && rules.SelectedRow() < rules.Count());
  for (const FilterRule& rule : rules.Rules()) {
    FUZZ_CHECK(IsValidFilterName(rule.Name));
    FUZZ_CHECK(std::none_of(rule.Name.begin(), rule.Name.end(), [](char c) { return c >= 'a' && c <= 'z'; }));
    FUZZ_CHECK(Flags(rule.SourceText(), kSourceFlags) && Flags(rule.OutputText(), kOutputFlags));
  }
}

void CheckCommands(const DeviceConfig& config, const FilterList& rules) {
  const auto steps = ApplyConfigurationSequence(config, rules);
  FUZZ_CHECK(steps.size() == 7 + rules.Rules().size());
  auto cf = Received(steps[0].Text);
  FUZZ_CHECK(cf.size() == 5 && cf[0] == "PQVXCF" && cf[2].empty() && Flags(cf[3], kChannelCount) &&
             Index(cf[4], kPrioTimeoutItems));
  auto sp = Received(steps[1].Text);
  FUZZ_CHECK(sp.size() == 2 + kSpeedCount && sp[0] == "PQVXSP");
  for (int i = 0; i < kSpeedCount; ++i)
    FUZZ_CHECK(Index(sp[std::size_t(2 + i)], i == kSpeedOut2 ? kSpeedItemsOut2 : kSpeedItems));
  auto in = Received(steps[2].Text);
  FUZZ_CHECK(in.size() == 2 + kInputCount && in[0] == "PQVXIN");
  for (int i = 0; i < kInputCount; ++i)
    FUZZ_CHECK(Index(in[std::size_t(2 + i)], i == kInputCount - 1 ? kInputModeItemsIn4 : kInputModeItems));
  auto id = Received(steps[3].Text);
  FUZZ_CHECK(id.size() == 2 + kChannelCount && id[0] == "PQVXID");
  for (int i = 0; i < kChannelCount; ++i) {
    const std::string& talker = id[std::size_t(2 + i)];
    FUZZ_CHECK(talker.size() <= std::size_t(kTalkerIdLength));
    FUZZ_CHECK(std::all_of(talker.begin(), talker.end(),
                           [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }));
  }
  auto dr = Received(steps[4].Text);
  FUZZ_CHECK(dr.size() == 6 && dr[0] == "PQVXDR" && Flags(dr[2], kChannelCount) &&
             Index(dr[3], kHostDataItems) && Flags(dr[4], kChannelCount) && Index(dr[5], kHostDataItems));
  auto op = Received(steps[5].Text);
  FUZZ_CHECK(op.size() == 3 && op[0] == "PQVXOP" && op[2] == HexWord(config.Options));
  FUZZ_CHECK(steps[6].Text == kFilterDeleteCommand);
  for (std::size_t i = 0; i < rules.Rules().size(); ++i) {
    const FilterRule& rule = rules.Rules()[i];
    auto fl = Received(steps[7 + i].Text);
    FUZZ_CHECK(fl.size() == 6 && fl[0] == "PQVXFL" && fl[2] == rule.Name && fl[3] == rule.SourceText() &&
               fl[4] == rule.Div && fl[5] == rule.OutputText());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes = hlx::fuzz::View(data, size);
  DeviceConfig config;
  FilterList rules;
  while (!bytes.empty()) {
    const std::size_t lf = bytes.find('\n');
    const std::string_view line = bytes.substr(0, lf == std::string_view::npos ? bytes.size() : lf + 1);
    bytes.remove_prefix(line.size());

    const int id = LookupSentence(FieldOr(line, 0));
    // Only a reply ("R") may change anything: keep a copy to compare when it is none.
    const bool reply = FieldOr(line, 1) == "R";
    std::optional<std::pair<DeviceConfig, std::vector<FilterRule>>> before;
    if (!reply) before.emplace(config, rules.Rules());
    const ReadBackResult result = ApplyReadBackReply(id, line, config, rules);
    const bool mine = id == SidCF || id == SidDR || id == SidID || id == SidSP || id == SidOP || id == SidIN;
    FUZZ_CHECK((result == ReadBackResult::NotMine) == !(mine || id == SidFL));
    FUZZ_CHECK(result != ReadBackResult::ListEnded || (id == SidFL && reply));
    if (before) FUZZ_CHECK(config == before->first && rules.Rules() == before->second);
    // While capturing, every line with a TAG-block source may add a rule.
    const int source = LineSourceInput(line);
    if (source >= 0) rules.HandleCaptureLine(source, FieldOr(line, 0));
    for (const std::string& talker : config.TalkerId)
      FUZZ_CHECK(talker.size() <= std::size_t(kTalkerIdLength));
  }
  CheckRules(rules);
  CheckCommands(config, rules);
  return 0;
}
