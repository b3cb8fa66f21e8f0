// Configuration files from arbitrary bytes: what ReadConfigProfile takes from
// a file is saved by WriteConfigProfile and read back as the same model and
// filter list without a single complaint, and the sections and keys the
// program does not own are kept as they were.

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "config/ConfigFile.h"
#include "config/Profile.h"

using namespace hlx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // The header carries what the device said about itself.
  ConfigFileHeader header;
  header.DeviceName = QString::fromLatin1(in.ConsumeRandomLengthString(32));
  header.DeviceSerial = QString::fromLatin1(in.ConsumeRandomLengthString(16));
  const std::uint32_t options = in.ConsumeIntegral<std::uint32_t>();
  const QByteArray text = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

  Profile profile;
  profile.Parse(text);
  DeviceConfig config;
  config.Options = options;  // kept when the file has no usable word
  FilterList filters;
  ReadConfigProfile(profile, config, filters);

  const QStringList owned = {QStringLiteral("Information"), QStringLiteral("Configuration"),
                             QStringLiteral("Filter")};
  std::vector<std::pair<QString, QStringList>> others;  // section, key=value
  for (const QString& section : profile.SectionNames()) {
    if (owned.contains(section, Qt::CaseInsensitive)) continue;
    QStringList entries;
    for (const QString& key : profile.Keys(section)) entries << key + u'=' + profile.ReadString(section, key);
    others.emplace_back(section, entries);
  }

  WriteConfigProfile(profile, header, config, filters);
  Profile saved;
  saved.Parse(profile.Serialize());
  DeviceConfig again;
  again.Options = ~options;
  FilterList againFilters;
  QStringList complaints;
  ReadConfigProfile(saved, again, againFilters, &complaints);
  FUZZ_CHECK(complaints.isEmpty());
  FUZZ_CHECK(again == config);
  FUZZ_CHECK(againFilters.Rules() == filters.Rules());

  for (const auto& [section, entries] : others) {
    QStringList now;
    for (const QString& key : saved.Keys(section)) now << key + u'=' + saved.ReadString(section, key);
    FUZZ_CHECK(now == entries);
  }
  return 0;
}
