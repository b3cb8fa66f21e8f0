#include "legacy/LegacyConfigFile.h"

#include <QSettings>

#include "config/Profile.h"
#include "legacy/LegacyProtocol.h"
#include "session/SettingsAndRestart.h"

namespace hlx::legacy {

namespace {

const QString kConfiguration = QStringLiteral("Configuration");
const QString kFilter = QStringLiteral("Filter");

// File keys of the options, in Option order.
const char* const kOptionKeys[kOptionCount] = {"SeaTalk",     "Priority",        "Channel Numbers",
                                               "Channel IDs", "HDG Translation", "AIS Mode"};
const char* const kSpeedKeys[kPortSpeeds] = {"Baud In1", "Baud In2", "Baud In3", "Baud In4/Out1",
                                             "Baud Out2"};

QString Key(const char* text) { return QString::fromLatin1(text); }
QString RealTimeKey(int i) { return QStringLiteral("RealTime Ch.%1").arg(i + 1); }
QString TalkerKey(int i) { return QStringLiteral("Talker ID%1").arg(i + 1); }

// A decimal number; nullopt for anything else (numbers beyond 64 bits included).
std::optional<qlonglong> Number(const Profile& p, const QString& key) {
  const QString text = p.ReadString(kConfiguration, key);
  bool ok = false;
  const qlonglong v = text.toLongLong(&ok, 10);
  return ok ? std::optional<qlonglong>(v) : std::nullopt;
}

bool ReadBool(const Profile& p, const QString& key) {
  const auto v = Number(p, key);
  return v && *v != 0;
}

int ReadIndex(const Profile& p, const QString& key, int count, int fallback) {
  const auto v = Number(p, key);
  return v && *v >= 0 && *v < count ? static_cast<int>(*v) : fallback;
}

}  // namespace

FileSettings ReadLegacyConfig(const Profile& p, const Generation& gen, LegacyFilterList& list) {
  FileSettings s;
  for (int o = 0; o < kOptionCount; ++o)
    if (gen.InFile(static_cast<Option>(o))) s.options[o] = ReadBool(p, Key(kOptionKeys[o]));
  s.mode = ReadIndex(p, QStringLiteral("Mode"), gen.aisMode ? kModeItemsWithAis : kModeItems, 0);
  for (int i = 0; i < kInputs; ++i) {
    s.realTime[i] = ReadBool(p, RealTimeKey(i));
    s.talkerIds[i] = CleanTalkerId(p.ReadString(kConfiguration, TalkerKey(i)));
  }
  if (gen.portSpeeds)
    for (int i = 0; i < kPortSpeeds; ++i)
      s.speeds[i] =
          ReadIndex(p, Key(kSpeedKeys[i]), kSpeedItems, i == kPortSpeeds - 1 ? kDefaultSpeedOut2 : 0);

  const QStringList keys = p.Keys(kFilter);
  if (!keys.isEmpty()) {
    list.Clear();
    for (const QString& key : keys) {
      const QString value = p.ReadString(kFilter, key);
      const qsizetype comma = value.indexOf(u',');
      if (comma < 0)
        list.AddFilterEntry(key, value, {});
      else
        list.AddFilterEntry(key, value.left(comma), value.mid(comma + 1));
    }
  }
  return s;
}

void WriteLegacyConfig(Profile& p, const Generation& gen, const FileSettings& s,
                       const LegacyFilterList& list) {
  const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
  for (Option o : kFileOptionOrder)
    if (gen.InFile(o))
      p.WriteString(kConfiguration, Key(kOptionKeys[static_cast<int>(o)]),
                    flag(s.options[static_cast<int>(o)]));
  p.WriteString(kConfiguration, QStringLiteral("Mode"), QString::number(s.mode));
  for (int i = 0; i < kInputs; ++i) p.WriteString(kConfiguration, RealTimeKey(i), flag(s.realTime[i]));
  for (int i = 0; i < kInputs; ++i)
    p.WriteString(kConfiguration, TalkerKey(i), CleanTalkerId(s.talkerIds[i]));
  if (gen.portSpeeds)
    for (int i = 0; i < kPortSpeeds; ++i)
      p.WriteString(kConfiguration, Key(kSpeedKeys[i]), QString::number(s.speeds[i]));
  // Entries that were removed from the list must not come back from the file.
  p.EraseSection(kFilter);
  for (const FilterEntry& e : list.Entries())
    p.WriteString(kFilter, e.sentence, gen.divisor ? e.flags + u',' + e.divisor : e.flags);
}

FileSettings LoadLegacyConfigFile(const QString& fileName, const Generation& gen, LegacyFilterList& list) {
  Profile p;
  p.Load(fileName);
  return ReadLegacyConfig(p, gen, list);
}

bool SaveLegacyConfigFile(const QString& fileName, const Generation& gen, const FileSettings& settings,
                          const LegacyFilterList& list, QString* error) {
  if (fileName.isEmpty()) return true;
  Profile p;
  p.Load(fileName);  // keeps what other programs wrote into it
  WriteLegacyConfig(p, gen, settings, list);
  return p.Save(fileName, error);
}

QStringList LegacyOpenFilters(const Generation& gen) {
  if (gen.number == 1)
    return {QStringLiteral("Halyx configuration (*.hlx)"), QString::fromLatin1(kAnyFileFilter)};
  return {QStringLiteral("Halyx configuration (*.hlx)"), QStringLiteral("Firmware image (*.bin)"),
          QString::fromLatin1(kAnyFileFilter)};
}

QStringList LegacySaveFilters() {
  return {QStringLiteral("Halyx configruation file (*.hlx)"), QString::fromLatin1(kLogFileFilter),
          QString::fromLatin1(kAnyFileFilter)};
}

LegacyStartSettings LoadLegacySettings() {
  LegacyStartSettings out;
  const QSettings s = OpenSettings();
  out.baudRate = ReadStoredInt(s, kBaudRateValue);
  if (!out.baudRate) return out;
  if (const auto port = ReadStoredInt(s, kPortValue)) out.port = std::max(-1, *port - kLegacyPortOffset);
  return out;
}

bool TakeReConnect() {
  QSettings s = OpenSettings();
  const bool was = s.value(kReConnectValue).toBool();
  s.setValue(kReConnectValue, 0);
  s.sync();
  return was;
}

void SaveLegacySettings(bool clear, int baudIndex, int portIndex) {
  QSettings s = OpenSettings();
  if (clear) {
    s.clear();
  } else {
    s.setValue(kBaudRateValue, baudIndex);
    s.setValue(kPortValue, portIndex + kLegacyPortOffset);
  }
  s.sync();
}

}  // namespace hlx::legacy
