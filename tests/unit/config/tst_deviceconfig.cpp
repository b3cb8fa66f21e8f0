// Reply parsing and command building of the configuration model.

#include <QtTest>
#include <map>

#include "config/DeviceConfig.h"
#include "link/Nmeadefs.h"
#include "support_lines.h"

using namespace hlx;

namespace {

// A model with every field away from zero, so "unchanged" is observable.
const DeviceConfig kFilled{.Speed = {1, 1, 1, 1, 1},
                           .PriorityTimeout = 2,
                           .RealTime = {true, false, true, false, true},
                           .TalkerId = {"AA", "BB", "CC", "DD", "EE"},
                           .RouteOut1 = {true, true, false, false, true},
                           .RouteOut2 = {false, true, false, true, false},
                           .InputMode = {1, 2, 3, 4},
                           .HostDataOut1 = 1,
                           .HostDataOut2 = 2,
                           .Options = 0x1234};

// The model group by group, as the commands that would send it back; the
// talker IDs as stored, since their command cleans them.
QStringList Describe(const DeviceConfig& c) {
  QStringList ids;
  for (const auto& id : c.TalkerId) ids << QString::fromStdString(id);
  QStringList groups{"PQVXID,C," + ids.join(',')};
  for (const std::string& command : {RealTimePrioCommand(c), SpeedCommand(c), InputModeCommand(c),
                                     RouteCommand(c), OptionWordCommand(c.Options)})
    groups << QString::fromStdString(command);
  return groups;
}

// Chooses the handler by the address, as the dispatcher does.
void Apply(DeviceConfig& c, const std::string& line) {
  static const std::map<std::string, bool (*)(DeviceConfig&, std::string_view)> handlers = {
      {"PQVXCF", ApplyCFReply}, {"PQVXDR", ApplyDRReply}, {"PQVXID", ApplyIDReply},
      {"PQVXSP", ApplySPReply}, {"PQVXOP", ApplyOPReply}, {"PQVXIN", ApplyINReply}};
  std::string address;
  ExtractField(line, 0, address);
  handlers.at(address)(c, line);
}

}  // namespace

class TestDeviceConfig : public QObject {
  Q_OBJECT

 private slots:
  void replyChangesOnlyItsGroup_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("group");  // the reply's group afterwards; "" for no change
    struct Row {
      const char* name;
      const char* reply;
      const char* group;
    };
    const Row rows[] = {
        {"speeds up to 115200 on Out2", "PQVXSP,R,0,1,2,3,5", "PQVXSP,C,0,1,2,3,5"},
        {"speeds outside the lists kept, not resent", "PQVXSP,R,9,1,2,3,A", "PQVXSP,C,,1,2,3,"},
        {"only the first character counts", "PQVXSP,R,12,1,2,3,5", "PQVXSP,C,1,1,2,3,5"},
        {"missing speeds kept", "PQVXSP,R,0,0", "PQVXSP,C,0,0,1,1,1"},
        {"empty speed kept", "PQVXSP,R,,0,0,0,0", "PQVXSP,C,1,0,0,0,0"},
        {"TAG block in front", "\\s:HLX-1*5A\\PQVXSP,R,0,1,2,3,5", "PQVXSP,C,0,1,2,3,5"},
        {"real time and time-out, host speed not stored", "PQVXCF,R,3,10101,4", "PQVXCF,C,,10101,4"},
        {"short flag field not half-applied", "PQVXCF,R,3,01,1", "PQVXCF,C,,10101,1"},
        {"talker IDs cut to two characters", "PQVXID,R,GPS,II,,HE,XX", "PQVXID,C,GP,II,,HE,XX"},
        {"talker IDs cut short keep the rest", "PQVXID,R,SD", "PQVXID,C,SD,BB,CC,DD,EE"},
        {"routes: any character but 0 is on", "PQVXDR,R,10000,2,0A001,0", "PQVXDR,C,10000,2,01001,0"},
        {"input modes", "PQVXIN,R,0,5,3,6", "PQVXIN,C,0,5,3,6"},
        {"option bits 0 6 13 15", "PQVXOP,R,0000A041", "PQVXOP,C,0000A041"},
        {"option word in lower case", "PQVXOP,R,0004a041", "PQVXOP,C,0004A041"},
        {"all option bits", "PQVXOP,R,FFFFFFFF", "PQVXOP,C,FFFFFFFF"},
        {"option word not hex", "PQVXOP,R,XYZ", ""},
        {"option word half hex", "PQVXOP,R,12G4", ""},
        {"option word beyond 32 bits", "PQVXOP,R,123456789", ""},
        {"option word empty", "PQVXOP,R,", ""},
        {"option word missing", "PQVXOP,R", ""},
        {"command is not a reply", "PQVXOP,C,00000001", ""},
        {"field 1 longer than R", "PQVXCF,RR,0,00000,0", ""},
        {"no field 1", "PQVXID", ""},
    };
    for (const Row& r : rows) QTest::newRow(r.name) << r.reply << r.group;
  }
  void replyChangesOnlyItsGroup() {
    QFETCH(QString, reply);
    QFETCH(QString, group);
    const qsizetype tagEnd = reply.startsWith('\\') ? reply.indexOf('\\', 1) + 1 : 0;
    DeviceConfig c = kFilled;
    Apply(c, reply.left(tagEnd).toStdString() + test::Received(reply.mid(tagEnd).toStdString()));
    QStringList expected = Describe(kFilled);
    for (QString& part : expected)
      if (!group.isEmpty() && part.left(6) == group.left(6)) part = group;
    QCOMPARE(Describe(c), expected);
  }

  void commandsCarryTheGroup_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    DeviceConfig c;
    c.RealTime = {false, false, false, false, true};
    c.PriorityTimeout = 5;
    c.RouteOut1 = {true, false, false, false, false};
    c.RouteOut2 = {false, false, false, false, true};
    c.TalkerId = {"G", "", "hc", "S-", "XXX"};
    auto row = [](const char* name, const std::string& built, const char* expected) {
      QTest::newRow(name) << QString::fromStdString(built) << expected;
    };
    row("only Conv real time", RealTimeCommand(c), "PQVXCF,C,,00001");
    row("time-out 30 sec.", PrioTimeoutCommand(c), "PQVXCF,C,,,5");
    row("talker IDs: blanks dropped, upper case, two chars", TalkerIdCommand(c), "PQVXID,C,G,,HC,S,XX");
    row("bit on", OptionBitCommand(18, true), "PQVXOP,C,18,1");
    row("bit off", OptionBitCommand(1, false), "PQVXOP,C,1,0");
    // Indexes outside their lists (an unknown reply value, a damaged file)
    // go out as empty fields, never as another character.
    c.Speed = {5, 17, 255, 5, 6};
    c.InputMode = {6, 9, 253, 7};
    c.PriorityTimeout = 6;
    c.HostDataOut1 = 3;
    c.HostDataOut2 = 220;
    row("speeds outside their lists", SpeedCommand(c), "PQVXSP,C,,,,,");
    row("modes outside their lists", InputModeCommand(c), "PQVXIN,C,,,,");
    row("time-out outside its list", RealTimePrioCommand(c), "PQVXCF,C,,00001,");
    row("host data outside its list", RouteCommand(c), "PQVXDR,C,10000,,00001,");
    c.Speed = {4, 0, 0, 0, 5};
    c.InputMode = {5, 0, 0, 6};
    row("last speed of each list", SpeedCommand(c), "PQVXSP,C,4,0,0,0,5");
    row("last mode of each list", InputModeCommand(c), "PQVXIN,C,5,0,0,6");
    // Editing rules: what they send, or the group they leave behind.
    auto priority = [](std::uint32_t word, bool enable) {
      DeviceConfig p{.Options = word};
      const std::string sent = SetPriority(p, enable);
      return sent + " -> " + OptionWordCommand(p.Options);
    };
    row("priority off clears bits 0 to 2", priority(0x7, false), "PQVXOP,C,00000000 -> PQVXOP,C,00000000");
    row("priority off keeps bit 12", priority(0x1007, false), "PQVXOP,C,00001000 -> PQVXOP,C,00001000");
    row("priority on keeps sub-settings", priority(0x6, true), "PQVXOP,C,0,1 -> PQVXOP,C,00000007");
    auto seaTalk = [](std::uint8_t modeIn4) {
      DeviceConfig p{.Speed = {1, 1, 1, 4, 1}, .InputMode = {0, 0, 0, modeIn4}};
      ApplySeaTalkSpeedRule(p);
      return SpeedCommand(p);
    };
    row("SeaTalk on In4 sets the shared speed to 4800", seaTalk(kModeSeaTalk), "PQVXSP,C,1,1,1,0,1");
    row("other modes keep the shared speed", seaTalk(kModePlainText), "PQVXSP,C,1,1,1,4,1");
  }
  void commandsCarryTheGroup() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
  }
};

QTEST_APPLESS_MAIN(TestDeviceConfig)
#include "tst_deviceconfig.moc"
