#include "config/ConfigDiff.h"

#include <QStringList>
#include <algorithm>

#include "link/Nmeadefs.h"

namespace hlx {

namespace {

const QStringList kSpeedNames = {"4800", "9600", "19200", "38400", "57600", "115200"};
const QStringList kInputModeNames = {"NMEA",         "NMEA (ERR)", "NMEA (CR/LF)", "Text to NMEA",
                                     "Text to PTXT", "Plain Text", "SeaTalk"};
const QStringList kHostDataNames = {"No", "Yes", "Override"};
const QStringList kPrioTimeoutNames = {"1 sec.", "2 sec.", "3 sec.", "5 sec.", "10 sec.", "30 sec."};
const QStringList kSpeedSlots = {"In 1 speed", "In 2 speed", "In 3 speed", "In 4 / Out 1 speed",
                                 "Out 2 speed"};
const QStringList kChannelNames = {"In 1", "In 2", "In 3", "In 4", "NMEA Conversions"};
const QStringList kSourceNames = {"H", "In1", "In2", "In3", "In4", "Conv"};
const QStringList kOutputNames = {"Out1", "Out2", "PC", "W"};

struct OptionName {
  int bit;
  const char* name;
};
constexpr OptionName kOptionNames[] = {
    {OptPriority, "Enable Priority"},
    {OptPrioSeatalkHighest, "SeaTalk priority highest"},
    {OptPrioGpsStatus, "Check GPS status"},
    {OptCogToHdt, "COG to True Heading (VTG -> HDT)"},
    {OptHdgConv, "Heading Magnetic <--> True (HDG/HDM <--> HDT)"},
    {OptVtgConv, "GPS Speed to Log Speed (VTG -> VWH)"},
    {OptVwrToMwv, "VWR <--> MWV"},
    {OptFilterBlock, "Filter blocking"},
    {OptHdtReverse, "Reverse True Heading (HDT)"},
    {OptChanStn, "STN Sentence"},
    {OptChanTag, "TAG Blocks"},
    {OptNmeaV15, "Output NMEA V1.5"},
    {OptRelToTheorWind, "Relative to Theoretical Wind (MWV,R -> MWV,T)"},
    {OptRmcConv, "RMC -> GGA"},
    {OptVhwConv, "Log Speed to GPS Speed (VHW -> VTG)"},
    {OptTime, "RMC -> ZDA"},
};

QString ListName(const QStringList& names, int index) {
  return index >= 0 && index < names.size() ? names[index] : QStringLiteral("(item %1)").arg(index);
}

// As the talker edits show it: "-" for none.
QString TalkerText(const std::string& id) {
  return id.empty() ? QStringLiteral("-") : QString::fromStdString(id);
}

QString OnOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }

QString OptionName(int bit) {
  for (const auto& o : kOptionNames)
    if (o.bit == bit) return QString::fromLatin1(o.name);
  return QStringLiteral("bit %1").arg(bit);
}

QString Flags(const char* flags, std::size_t count, const QStringList& names) {
  QStringList on;
  for (std::size_t i = 0; i < count; ++i)
    if (flags[i] == '1') on << names[static_cast<qsizetype>(i)];
  return on.isEmpty() ? QStringLiteral("nowhere") : on.join(QStringLiteral(", "));
}

}  // namespace

QString DescribeRule(const FilterRule& rule) {
  QString text = QString::fromStdString(rule.Name) + QStringLiteral(" from ") +
                 Flags(rule.Sources.data(), rule.Sources.size(), kSourceNames) + QStringLiteral(" to ") +
                 Flags(rule.Outputs.data(), rule.Outputs.size(), kOutputNames);
  if (!rule.Div.empty() && rule.Div != "0" && rule.Div != "1")
    text += QStringLiteral(", Div ") + QString::fromStdString(rule.Div);
  return text;
}

std::vector<ConfigChange> DiffConfiguration(const DeviceConfig& from, const FilterList& fromRules,
                                            const DeviceConfig& to, const FilterList& toRules) {
  std::vector<ConfigChange> out;
  const auto add = [&out](const QString& setting, const QString& a, const QString& b) {
    if (a != b) out.push_back({setting, a, b});
  };
  for (int i = 0; i < kSpeedCount; ++i)
    add(kSpeedSlots[i], ListName(kSpeedNames, from.Speed[i]), ListName(kSpeedNames, to.Speed[i]));
  for (int i = 0; i < kInputCount; ++i)
    add(kChannelNames[i] + QStringLiteral(" input mode"), ListName(kInputModeNames, from.InputMode[i]),
        ListName(kInputModeNames, to.InputMode[i]));
  for (int i = 0; i < kChannelCount; ++i) {
    const QString channel = kChannelNames[i];
    add(channel + QStringLiteral(" talker ID"), TalkerText(from.TalkerId[i]), TalkerText(to.TalkerId[i]));
    add(channel + QStringLiteral(" real time"), OnOff(from.RealTime[i]), OnOff(to.RealTime[i]));
    add(channel + QStringLiteral(" to Out 1"), OnOff(from.RouteOut1[i]), OnOff(to.RouteOut1[i]));
    add(channel + QStringLiteral(" to Out 2"), OnOff(from.RouteOut2[i]), OnOff(to.RouteOut2[i]));
  }
  add(QStringLiteral("Out 1 host data"), ListName(kHostDataNames, from.HostDataOut1),
      ListName(kHostDataNames, to.HostDataOut1));
  add(QStringLiteral("Out 2 host data"), ListName(kHostDataNames, from.HostDataOut2),
      ListName(kHostDataNames, to.HostDataOut2));
  add(QStringLiteral("Priority time out"), ListName(kPrioTimeoutNames, from.PriorityTimeout),
      ListName(kPrioTimeoutNames, to.PriorityTimeout));
  for (int bit = 0; bit < 32; ++bit)
    add(QStringLiteral("Option ") + OptionName(bit), OnOff(TestBit(from.Options, bit)),
        OnOff(TestBit(to.Options, bit)));

  const int rules = std::max(fromRules.Count(), toRules.Count());
  for (int i = 0; i < rules; ++i) {
    const QString a = i < fromRules.Count() ? DescribeRule(fromRules.At(i)) : QString();
    const QString b = i < toRules.Count() ? DescribeRule(toRules.At(i)) : QString();
    // Two rules can read alike and still differ (a Div of "" and "1").
    if (a != b || (i < fromRules.Count() && i < toRules.Count() && !(fromRules.At(i) == toRules.At(i))))
      out.push_back({QStringLiteral("Filter rule %1").arg(i + 1), a, b});
  }
  return out;
}

}  // namespace hlx
