#include "config/ConfigFile.h"

#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <optional>

#include "config/Profile.h"
#include "link/Nmeadefs.h"
#include "session/SessionHost.h"
#include "session/VersionCheck.h"

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

QString ConfigDefaultSuffix() { return QStringLiteral("ini"); }

QString ConfigFileStatus(const QString& fileName) {
  return fileName.isEmpty() ? QStringLiteral("Config file:") : QStringLiteral("Config file: ") + fileName;
}

namespace {

// Decimal value of a file entry; nullopt when the text is not a number.
// Numbers beyond 64 bits saturate, which keeps them outside every list.
std::optional<qlonglong> FileNumber(const QString& text) {
  const qsizetype signs = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
  if (text.size() == signs) return std::nullopt;
  for (qsizetype i = signs; i < text.size(); ++i)
    if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
  bool ok = false;
  const qlonglong value = text.toLongLong(&ok, 10);
  if (ok) return value;
  return text.startsWith(u'-') ? std::numeric_limits<qlonglong>::min()
                               : std::numeric_limits<qlonglong>::max();
}

// Option word: hexadecimal, at most 32 significant bits.
std::optional<std::uint32_t> FileHexWord(const QString& text) {
  std::uint64_t value = 0;
  for (QChar c : text) {
    int d;
    if (c >= u'0' && c <= u'9')
      d = c.unicode() - u'0';
    else if (c >= u'A' && c <= u'F')
      d = c.unicode() - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
      d = c.unicode() - u'a' + 10;
    else
      return std::nullopt;
    value = value * 16 + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

bool IsTalkerIdChar(QChar c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Reads the section "Configuration". An empty value counts as a missing
// key; a value the device could not take is refused like a missing key, so
// it neither reaches the wire nor stays in the model, and is reported.
class ConfigReader {
 public:
  ConfigReader(const Profile& profile, QStringList* diagnostics)
      : m_profile(profile), m_diagnostics(diagnostics) {}

  std::uint8_t Index(const QString& key, int items, std::uint8_t fallback) const {
    const QString text = Value(key);
    if (text.isEmpty()) return fallback;
    const auto number = FileNumber(text);
    if (!number) return Refuse(key, text, QStringLiteral("is not a number"), fallback);
    if (*number < 0 || *number >= items)
      return Refuse(key, text, QStringLiteral("is out of range (0..%1)").arg(items - 1), fallback);
    return static_cast<std::uint8_t>(*number);
  }

  // Any non-zero number is true.
  bool Flag(const QString& key) const {
    const QString text = Value(key);
    if (text.isEmpty()) return false;
    const auto number = FileNumber(text);
    if (!number) return Refuse(key, text, QStringLiteral("is not a number"), false);
    return *number != 0;
  }

  // Cut to two characters as always; what remains must be sendable as is.
  std::string TalkerId(const QString& key) const {
    const QString text = Value(key);
    const QString id = text.left(kTalkerIdLength);
    if (!std::all_of(id.begin(), id.end(), IsTalkerIdChar))
      return Refuse(key, text, QStringLiteral("is not a talker ID of letters and digits"), std::string());
    return id.toStdString();
  }

  void Options(std::uint32_t& word) const {
    const QString key = QStringLiteral("Options");
    const QString text = Value(key);
    if (text.isEmpty()) return;
    if (const auto value = FileHexWord(text))
      word = *value;
    else
      Report(key, text, QStringLiteral("is not a hexadecimal option word; the current word is kept"));
  }

 private:
  QString Value(const QString& key) const { return m_profile.ReadString(kConfiguration, key).trimmed(); }

  void Report(const QString& key, const QString& text, const QString& what) const {
    if (m_diagnostics) *m_diagnostics << QStringLiteral("%1=%2 %3").arg(key, text, what);
  }

  template <typename T>
  T Refuse(const QString& key, const QString& text, const QString& why, T fallback) const {
    Report(key, text, why + QStringLiteral("; the default is used"));
    return fallback;
  }

  const Profile& m_profile;
  QStringList* m_diagnostics;
};

}  // namespace

void ReadConfigProfile(const Profile& profile, DeviceConfig& config, FilterList& filters,
                       QStringList* diagnostics) {
  filters.Clear();
  const ConfigReader read(profile, diagnostics);

  for (int i = 0; i < kSpeedCount; ++i)
    config.Speed[static_cast<std::size_t>(i)] =
        read.Index(Key(kSpeedKeys[i]), i == kSpeedOut2 ? kSpeedItemsOut2 : kSpeedItems,
                   i == kSpeedOut2 ? kDefaultSpeedOut2 : 0);
  config.PriorityTimeout = read.Index(QStringLiteral("Priority Timeout"), kPrioTimeoutItems, 0);
  for (int i = 0; i < kChannelCount; ++i) {
    const auto c = static_cast<std::size_t>(i);
    config.RealTime[c] = read.Flag(RealTimeKey(i));
    config.TalkerId[c] = read.TalkerId(TalkerKey(i));
    config.RouteOut1[c] = read.Flag(Key(kRouteOut1Keys[i]));
    config.RouteOut2[c] = read.Flag(Key(kRouteOut2Keys[i]));
  }
  for (int i = 0; i < kInputCount; ++i)
    config.InputMode[static_cast<std::size_t>(i)] = read.Index(
        ChannelKey("Mode In", i + 1), i == kInputCount - 1 ? kInputModeItemsIn4 : kInputModeItems, 0);
  config.HostDataOut1 = read.Index(QStringLiteral("Mode Out1"), kHostDataItems, 0);
  config.HostDataOut2 = read.Index(QStringLiteral("Mode Out2"), kHostDataItems, 0);
  read.Options(config.Options);

  auto drop = [&](const QString& key, const QString& value, const QString& why) {
    if (diagnostics)
      *diagnostics << QStringLiteral("Filter %1=%2 %3; the rule is dropped").arg(key, value, why);
  };
  for (const QString& key : profile.Keys(kFilter)) {
    const QString value = profile.ReadString(kFilter, key);
    const int first = value.indexOf(u',');
    const int second = first < 0 ? -1 : value.indexOf(u',', first + 1);
    if (second < 0) {
      drop(key, value, QStringLiteral("lacks the Div or the output flags"));
      continue;
    }
    const std::string sources = value.left(first).toStdString();
    const std::string div = value.mid(first + 1, second - first - 1).toStdString();
    const std::string outputs = value.mid(second + 1).toStdString();
    // The same names are refused as from the device or the grid.
    const int result = filters.AddFilterEntry(key.toStdString(), sources, div, outputs, true);
    if (result == kFilterBadName)
      drop(key, value, QStringLiteral("is not a sentence address of five plain characters"));
    else if (result == kFilterFull)
      drop(key, value, QStringLiteral("does not fit, the list holds %1 rules").arg(kMaxFilterRules));
  }
}

void WriteConfigProfile(Profile& profile, const ConfigFileHeader& header, const DeviceConfig& config,
                        const FilterList& filters) {
  profile.EraseSection(kFilter);
  profile.WriteString(kInformation, QStringLiteral("HLX-Config"),
                      QString::fromLatin1(kTitleBeforeVersion) + header.ProgramVersion);
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

bool LoadConfigFile(const QString& fileName, DeviceConfig& config, FilterList& filters,
                    QStringList* diagnostics) {
  Profile profile;
  const bool readable = profile.Load(fileName);
  ReadConfigProfile(profile, config, filters, diagnostics);
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
  steps.push_back({RealTimePrioCommand(config), kApplyPauseMs});
  steps.push_back({SpeedCommand(config), kApplyPauseMs});
  steps.push_back({InputModeCommand(config), kApplyPauseMs});
  steps.push_back({TalkerIdCommand(config), kApplyPauseMs});
  steps.push_back({RouteCommand(config), kApplyPauseMs});
  steps.push_back({OptionWordCommand(config.Options), kApplyPauseMs});
  for (PacedSentence& step : filters.StoreSequence()) steps.push_back(std::move(step));
  return steps;
}

void ApplyConfiguration(SessionHost& host, const DeviceConfig& config, const FilterList& filters) {
  for (const PacedSentence& step : ApplyConfigurationSequence(config, filters)) {
    host.SendSentence(step.Text);
    host.Pause(step.PauseMs);
  }
}

}  // namespace hlx
