// Configuration files of the older generations from arbitrary bytes: what is
// read is in range, saves and reads back as the same settings and filter
// list, leaves sections it does not own as they were, and everything the
// window would send from it is plain sentence text.

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "config/Profile.h"
#include "legacy/LegacyConfigFile.h"
#include "legacy/LegacyProtocol.h"

using namespace hlx;
using namespace hlx::legacy;

using hlx::fuzz::IsPlainCommand;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Generation& gen = GenerationFor(in.ConsumeIntegralInRange<int>(1, 4));
  Profile profile;
  profile.Parse(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));

  LegacyFilterList list(gen);
  const FileSettings s = ReadLegacyConfig(profile, gen, list);
  FUZZ_CHECK(s.mode >= 0 && s.mode < (gen.aisMode ? kModeItemsWithAis : kModeItems));
  for (int v : s.speeds) FUZZ_CHECK(v >= 0 && v < kSpeedItems);
  FUZZ_CHECK(list.Count() <= kMaxFilterEntries);
  FUZZ_CHECK(IsPlainCommand(TalkerIdCommand(s.talkerIds)) && IsPlainCommand(SpeedCommand(s.speeds)) &&
             IsPlainCommand(ModeCommand(s.mode)));
  for (const std::string& c : list.StoreCommands()) FUZZ_CHECK(IsPlainCommand(c));

  std::vector<std::pair<QString, QStringList>> others;
  for (const QString& section : profile.SectionNames()) {
    if (section.compare(QStringLiteral("Configuration"), Qt::CaseInsensitive) == 0 ||
        section.compare(QStringLiteral("Filter"), Qt::CaseInsensitive) == 0)
      continue;
    QStringList entries;
    for (const QString& key : profile.Keys(section)) entries << key + u'=' + profile.ReadString(section, key);
    others.emplace_back(section, entries);
  }

  WriteLegacyConfig(profile, gen, s, list);
  Profile saved;
  saved.Parse(profile.Serialize());
  LegacyFilterList again(gen);
  FUZZ_CHECK(ReadLegacyConfig(saved, gen, again) == s);
  FUZZ_CHECK(again.Entries() == list.Entries());
  for (const auto& [section, entries] : others) {
    QStringList now;
    for (const QString& key : saved.Keys(section)) now << key + u'=' + saved.ReadString(section, key);
    FUZZ_CHECK(now == entries);
  }
  return 0;
}
