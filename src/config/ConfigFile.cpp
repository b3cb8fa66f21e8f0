#include "config/ConfigFile.h"

#include <QFileInfo>

#include "config/Profile.h"
#include "link/Nmeadefs.h"

namespace hlx {

namespace {

const QString kInformation = QStringLiteral("Information");
const QString kConfiguration = QStringLiteral("Configuration");
const QString kFilter = QStringLiteral("Filter");

constexpr std::uint8_t kDefaultSpeedOut2 = 3;  // 38400

QString Key(const char* text) { return QString::fromLatin1(text); }

QString ChannelKey(const char* prefix, int index) {
  return QStringLiteral("%1%2").arg(Key(prefix)).arg(index);
}

// Keys of the configuration section, in the order they are written.
const char* const kSpeedKeys[kSpeedCount] = {"Baud In1", "Baud In2", "Baud In3", "Baud In4/Out1",
                                             "Baud Out2"};
const char* const kRouteOut1Keys[kChannelCount] = {"Route 11", "Route 21", "Route 31", "Route 41",
                                                   "Route Conv1"};
const char* const kRouteOut2Keys[kChannelCount] = {"Route 12", "Route 22", "Route 32", "Route 42",
                                                   "Route Conv2"};

QString RealTimeKey(int channel) {
  return channel < kInputCount ? ChannelKey("RealTime Ch.", channel + 1) : Key("RealTime Conv");
}
QString TalkerKey(int channel) {
  return channel < kInputCount ? ChannelKey("Talker ID", channel + 1) : Key("Talker IDConv");
}

QString Flag(bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

QStringList ConfigOpenFilters() { return {QStringLiteral("Halyx Configuration (*.ini)")}; }

QStringList ConfigSaveFilters() {
  return {QStringLiteral("Halyx Configruation file (*.ini)"), QStringLiteral("Log file (*.txt)"),
          QStringLiteral("Any file (*.*)")};
}

QString ConfigDefaultSuffix() { return QStringLiteral("ini"); }

QString ConfigFileStatus(const QString& fileName) {
  return fileName.isEmpty() ? QStringLiteral("Config file:") : QStringLiteral("Config file: ") + fileName;
}

std::uint8_t ProfileByte(const QString& text, std::uint8_t fallback) {
  bool ok = false;
  const qlonglong value = text.trimmed().toLongLong(&ok, 10);
  return ok ? static_cast<std::uint8_t>(value & 0xFF) : fallback;
}

bool ProfileBool(const QString& text, bool fallback) {
  bool ok = false;
  const qlonglong value = text.trimmed().toLongLong(&ok, 10);
  return ok ? value != 0 : fallback;
}

bool ProfileHexWord(const QString& text, std::uint32_t& word) {
  const QString digits = text.trimmed();
  if (digits.isEmpty()) return false;
  std::uint64_t value = 0;
  for (QChar c : digits) {
    int d;
    if (c >= u'0' && c <= u'9')
      d = c.unicode() - u'0';
    else if (c >= u'A' && c <= u'F')
      d = c.unicode() - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
      d = c.unicode() - u'a' + 10;
    else
      return false;
    value = value * 16 + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFFull) return false;
  }
  word = static_cast<std::uint32_t>(value);
  return true;
}

void ReadConfigProfile(const Profile& profile, DeviceConfig& config, FilterList& filters) {
  filters.Clear();
  auto readByte = [&](const QString& key, std::uint8_t fallback) {
    return ProfileByte(profile.ReadString(kConfiguration, key), fallback);
  };
  auto readBool = [&](const QString& key) {
    return ProfileBool(profile.ReadString(kConfiguration, key), false);
  };

  for (int i = 0; i < kSpeedCount; ++i)
    config.Speed[static_cast<std::size_t>(i)] =
        readByte(Key(kSpeedKeys[i]), i == kSpeedOut2 ? kDefaultSpeedOut2 : 0);
  config.PriorityTimeout = readByte(QStringLiteral("Priority Timeout"), 0);
  for (int i = 0; i < kChannelCount; ++i) {
    const auto c = static_cast<std::size_t>(i);
    config.RealTime[c] = readBool(RealTimeKey(i));
    config.TalkerId[c] = profile.ReadString(kConfiguration, TalkerKey(i)).left(kTalkerIdLength).toStdString();
    config.RouteOut1[c] = readBool(Key(kRouteOut1Keys[i]));
    config.RouteOut2[c] = readBool(Key(kRouteOut2Keys[i]));
  }
  for (int i = 0; i < kInputCount; ++i)
    config.InputMode[static_cast<std::size_t>(i)] = readByte(ChannelKey("Mode In", i + 1), 0);
  config.HostDataOut1 = readByte(QStringLiteral("Mode Out1"), 0);
  config.HostDataOut2 = readByte(QStringLiteral("Mode Out2"), 0);
  std::uint32_t options = 0;
  if (ProfileHexWord(profile.ReadString(kConfiguration, QStringLiteral("Options")), options))
    config.Options = options;

  for (const QString& key : profile.Keys(kFilter)) {
    const QString value = profile.ReadString(kFilter, key);
    const int first = value.indexOf(u',');
    const int second = first < 0 ? -1 : value.indexOf(u',', first + 1);
    if (second < 0) continue;
    const std::string sources = value.left(first).toStdString();
    const std::string div = value.mid(first + 1, second - first - 1).toStdString();
    const std::string outputs = value.mid(second + 1).toStdString();
    // Over-long lists and malformed names are dropped, as from the device.
    filters.AddFilterEntry(key.toStdString(), sources, div, outputs, true);
  }
}

void WriteConfigProfile(Profile& profile, const ConfigFileHeader& header, const DeviceConfig& config,
                        const FilterList& filters) {
  profile.EraseSection(kFilter);
  profile.WriteString(kInformation, QStringLiteral("HLX-Config"),
                      QStringLiteral("Halyx Configuration Tool V") + header.ProgramVersion);
  profile.WriteString(kInformation, QStringLiteral("Device"), header.DeviceName);
  profile.WriteString(kInformation, QStringLiteral("Firmware Version"), header.DeviceVersion);
  profile.WriteString(kInformation, QStringLiteral("Serial Number"), header.DeviceSerial);

  auto write = [&](const QString& key, const QString& value) {
    profile.WriteString(kConfiguration, key, value);
  };
  auto number = [](std::uint8_t v) { return QString::number(v); };
  for (int i = 0; i < kSpeedCount; ++i)
    write(Key(kSpeedKeys[i]), number(config.Speed[static_cast<std::size_t>(i)]));
  write(QStringLiteral("Priority Timeout"), number(config.PriorityTimeout));
  for (int i = 0; i < kChannelCount; ++i)
    write(RealTimeKey(i), Flag(config.RealTime[static_cast<std::size_t>(i)]));
  for (int i = 0; i < kChannelCount; ++i)
    write(TalkerKey(i), QString::fromStdString(config.TalkerId[static_cast<std::size_t>(i)]));
  for (int i = 0; i < kChannelCount; ++i)
    write(Key(kRouteOut1Keys[i]), Flag(config.RouteOut1[static_cast<std::size_t>(i)]));
  for (int i = 0; i < kChannelCount; ++i)
    write(Key(kRouteOut2Keys[i]), Flag(config.RouteOut2[static_cast<std::size_t>(i)]));
  for (int i = 0; i < kInputCount; ++i)
    write(ChannelKey("Mode In", i + 1), number(config.InputMode[static_cast<std::size_t>(i)]));
  write(QStringLiteral("Mode Out1"), number(config.HostDataOut1));
  write(QStringLiteral("Mode Out2"), number(config.HostDataOut2));
  write(QStringLiteral("Options"), QString::fromStdString(HexWord(config.Options)));

  for (const FilterRule& rule : filters.Rules()) {
    // A second rule for the same address replaces the first under one key.
    profile.WriteString(kFilter, QString::fromStdString(rule.Name),
                        QString::fromStdString(rule.SourceText() + ',' + rule.Div + ',' + rule.OutputText()));
  }
}

bool LoadConfigFile(const QString& fileName, DeviceConfig& config, FilterList& filters) {
  Profile profile;
  const bool readable = profile.Load(fileName);
  ReadConfigProfile(profile, config, filters);
  return readable;
}

QString SaveConfigFile(const QString& fileName, const ConfigFileHeader& header, const DeviceConfig& config,
                       const FilterList& filters) {
  if (fileName.isEmpty()) return {};
  const QString failure = QStringLiteral("Unable to write to %1").arg(fileName);
  Profile profile;
  // A file that exists but cannot be read is not rewritten: its other
  // sections would be lost.
  if (QFileInfo::exists(fileName) && !profile.Load(fileName)) return failure;
  WriteConfigProfile(profile, header, config, filters);
  return profile.Save(fileName) ? QString() : failure;
}

std::vector<PacedSentence> ApplyConfigurationSequence(const DeviceConfig& config, const FilterList& filters) {
  std::vector<PacedSentence> steps;
  steps.push_back(
      {RealTimeCommand(config) + ',' + static_cast<char>('0' + config.PriorityTimeout), kApplyPauseMs});
  steps.push_back({SpeedCommand(config), kApplyPauseMs});
  steps.push_back({InputModeCommand(config), kApplyPauseMs});
  steps.push_back({TalkerIdCommand(config), kApplyPauseMs});
  steps.push_back({RouteCommand(config), kApplyPauseMs});
  steps.push_back({OptionWordCommand(config.Options), kApplyPauseMs});
  for (PacedSentence& step : filters.StoreSequence()) steps.push_back(std::move(step));
  return steps;
}

}  // namespace hlx
