// The configuration model: the read-back table that routes each reply to
// its part of the model or the filter list, the filter list's own edits,
// and the statistics report.

#include <QtTest>

#include "config/ReadBack.h"
#include "config/Statistics.h"
#include "link/Nmeadefs.h"

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

// The rules as they are stored, without "PQVXFL,C,", joined by ";".
QString Rules(const FilterList& list) {
  QStringList rules;
  for (const auto& rule : list.Rules()) rules << QString::fromStdString(FilterList::RuleCommand(rule)).mid(9);
  return rules.join(';');
}

// The model group by group, as the commands that would send it back (the
// talker IDs as stored, since their command cleans them), and the rules.
QStringList Describe(const DeviceConfig& c, const FilterList& list) {
  QStringList ids;
  for (const auto& id : c.TalkerId) ids << QString::fromStdString(id);
  QStringList groups{"PQVXID,C," + ids.join(','), "PQVXFL,C," + Rules(list)};
  for (const std::string& command : {RealTimePrioCommand(c), SpeedCommand(c), InputModeCommand(c),
                                     RouteCommand(c), OptionWordCommand(c.Options)})
    groups << QString::fromStdString(command);
  return groups;
}

// kFilled with no rules, as Describe shows it.
const QStringList kFilledGroups{"PQVXID,C,AA,BB,CC,DD,EE", "PQVXFL,C,",        "PQVXCF,C,,10101,2",
                                "PQVXSP,C,1,1,1,1,1",      "PQVXIN,C,1,2,3,4", "PQVXDR,C,11001,1,01010,2",
                                "PQVXOP,C,00001234"};

}  // namespace

class ModelTest : public QObject {
  Q_OBJECT

 private slots:
  // Each reply goes through the read-back table by its address, as the
  // window routes it, over a filled model and an empty rule list.
  void replyChangesOnlyItsGroup_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("group");  // the reply's group afterwards; "" for no change
    QTest::addColumn<int>("result");
    constexpr auto ended = ReadBackResult::ListEnded, notMine = ReadBackResult::NotMine;
    const auto row = [](const char* name, const char* reply, const char* group,
                        ReadBackResult result = ReadBackResult::Applied) {
      QTest::newRow(name) << reply << group << int(result);
    };
    row("speeds outside the lists kept, not resent", "PQVXSP,R,9,1,2,3,A", "PQVXSP,C,,1,2,3,");
    row("only the first character counts", "PQVXSP,R,12,1,2,3,5", "PQVXSP,C,1,1,2,3,5");
    row("missing speeds kept", "PQVXSP,R,0,0", "PQVXSP,C,0,0,1,1,1");
    row("empty speed kept", "PQVXSP,R,,0,0,0,0", "PQVXSP,C,1,0,0,0,0");
    row("speeds up to 115200 on Out2, TAG block in front", "\\s:HLX-1*5A\\PQVXSP,R,0,1,2,3,5",
        "PQVXSP,C,0,1,2,3,5");
    row("real time and time-out, host speed not stored", "PQVXCF,R,3,10101,4", "PQVXCF,C,,10101,4");
    row("short flag field not half-applied", "PQVXCF,R,3,01,1", "PQVXCF,C,,10101,1");
    row("talker IDs cut to two characters", "PQVXID,R,GPS,II,,HE,XX", "PQVXID,C,GP,II,,HE,XX");
    row("talker IDs cut short keep the rest", "PQVXID,R,SD", "PQVXID,C,SD,BB,CC,DD,EE");
    row("routes: any character but 0 is on", "PQVXDR,R,10000,2,0A001,0", "PQVXDR,C,10000,2,01001,0");
    row("option bits 0 6 13 15 18, lower case", "PQVXOP,R,0004a041", "PQVXOP,C,0004A041");
    row("all option bits", "PQVXOP,R,FFFFFFFF", "PQVXOP,C,FFFFFFFF");
    row("option word half hex", "PQVXOP,R,12G4", "");
    row("option word beyond 32 bits", "PQVXOP,R,123456789", "");
    row("option word empty", "PQVXOP,R,", "");
    row("option word missing", "PQVXOP,R", "");
    row("command is not a reply", "PQVXOP,C,00000001", "");
    row("field 1 longer than R", "PQVXCF,RR,0,00000,0", "");
    row("no field 1", "PQVXID", "");
    row("filter outputs missing", "PQVXFL,R,GPGGA,111111", "PQVXFL,C,GPGGA,111111,,0000");
    row("short filter flags count as 0", "PQVXFL,R,GPGGA,11,5,1", "PQVXFL,C,GPGGA,110000,5,1000");
    row("filter sources missing", "PQVXFL,R,GPGGA", "PQVXFL,C,GPGGA,000000,,0000");
    row("other flag characters 0", "PQVXFL,R,GPGGA,1X1X1X,,X1X1", "PQVXFL,C,GPGGA,101010,,0101");
    row("short filter address dropped", "PQVXFL,R,GPGG,111111,,1111", "");
    row("file syntax in a filter address dropped", "PQVXFL,R,GP=MC,111111,,1111", "");
    row("filter command ignored", "PQVXFL,C,GPGGA,111111,,1111", "");
    row("empty filter reply ends the list", "PQVXFL,R,", "", ended);
    row("filter reply without field 2 too", "PQVXFL,R", "", ended);
    row("version reply", "PQVXVER,3.33.1,HLX2000,12345,8041", "", notMine);
    row("ordinary sentence shaped like a reply", "GPRMC,R,0,1,2,3,5", "", notMine);
  }
  void replyChangesOnlyItsGroup() {
    QFETCH(QString, reply);
    QFETCH(QString, group);
    QFETCH(int, result);
    const qsizetype tagEnd = reply.startsWith('\\') ? reply.indexOf('\\', 1) + 1 : 0;
    const std::string line =
        reply.left(tagEnd).toStdString() + CompleteSentence(reply.mid(tagEnd).toStdString());
    DeviceConfig c = kFilled;
    FilterList rules;
    QCOMPARE(int(ApplyReadBackReply(LookupSentence(FieldOr(line, 0)), line, c, rules)), result);
    QStringList expected = kFilledGroups;
    for (QString& part : expected)
      if (!group.isEmpty() && part.left(6) == group.left(6)) part = group;
    QCOMPARE(Describe(c, rules), expected);
  }

  // Refused addresses; accepted odd ones are in the file round trip and the
  // grid test: lengths other than five, characters that would split or end
  // the sentence or that it cannot carry, and characters that a
  // configuration file reads back as something else.
  void addAndEditRefuseTheAddress_data() {
    QTest::addColumn<QByteArray>("name");
    const std::pair<const char*, const char*> refused[] = {
        {"four characters", "GPRM"}, {"six characters", "GPRMCX"}, {"empty", ""},
        {"comma", "GP,MC"},          {"asterisk", "GP*MC"},        {"dollar", "GP$MC"},
        {"exclamation", "GP!MC"},    {"backslash", "GP\\MC"},      {"CR", "GP\rMC"},
        {"DEL", "GP\x7FMC"},         {"not ASCII", "GPR\xC3\x84"}, {"equals sign", "GP=MC"},
        {"semicolon", "GP;MC"},      {"open bracket", "GP[MC"},    {"close bracket", "GP]MC"},
        {"leading blank", " GPMC"},  {"trailing blank", "GPMC "}};
    for (const auto& [what, name] : refused) QTest::newRow(what) << QByteArray(name);
  }
  void addAndEditRefuseTheAddress() {
    QFETCH(QByteArray, name);
    FilterList list;
    list.AddFilterEntry("GPRMC", "000000", "", "0000", true);
    QCOMPARE(list.AddFilterEntry(name.toStdString(), "000000", "", "0000", true), kFilterBadName);
    QVERIFY(!list.SetText(0, FcName, name.toStdString()));  // an in-place edit follows the same rule
    QCOMPARE(Rules(list), QString("GPRMC,000000,,0000"));
  }

  void mergeOnlySwitchesFlagsOnInTheFirstRuleOfItsAddress() {
    FilterList list;
    list.AddFilterEntry("gprmc", "010000", "7", "1000", true);
    list.AddFilterEntry("GPRMC", "000000", "", "0000", true);  // a second row despite the address
    QCOMPARE(list.SelectedRow(), 1);
    list.AddFilterEntry("GPRMC", "000001", "3", "0101", false);
    list.AddFilterEntry("gprmc", "000000", "", "0000", false);
    list.HandleCaptureLine(3, "GPRMC");
    QCOMPARE(Rules(list), QString("GPRMC,110101,7,1111;GPRMC,000000,,0000"));
    QCOMPARE(list.SelectedRow(), 1);
  }

  void capture_data() {
    QTest::addColumn<QByteArray>("sources");  // one digit per line seen, "/" for -1 (no source)
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("rules");
    const auto row = [](const char* name, const char* sources, const char* address, const char* rules) {
      QTest::newRow(name) << QByteArray(sources) << QString(address) << QString(rules);
    };
    row("In2 then Conv merges", "25", "GPRMC", "GPRMC,101001,,0011");
    row("long address cut to five", "1", "GPRMCX", "GPRMC,110000,,0011");
    row("short address ignored", "1", "GPR", "");
    row("sources 0 and 6 ignored", "06", "GPRMC", "");
    row("no source ignored", "/", "GPRMC", "");
  }
  void capture() {
    QFETCH(QByteArray, sources);
    QFETCH(QString, address);
    QFETCH(QString, rules);
    FilterList list;
    for (char s : sources) list.HandleCaptureLine(s - '0', address.toStdString());
    QCOMPARE(Rules(list), rules);
  }

  // What the grid may change in place: flags of flag columns, the address
  // (checked above) and a Div of up to two digits; Delete moves later rules up.
  void gridEditsStayInTheirColumns() {
    FilterList list;
    list.AddFilterEntry("GPRMC", "000000", "2", "0000", true);
    list.AddFilterEntry("GPGGA", "000000", "", "0000", true);
    QVERIFY(list.ToggleFlag(0, FcHost) && list.ToggleFlag(0, FcOutW));
    QVERIFY(!list.ToggleFlag(0, FcName) && !list.ToggleFlag(0, FcNumber) && !list.ToggleFlag(2, FcHost));
    QVERIFY(list.SetText(0, FcName, "iihdt") && list.SetText(0, FcDiv, "15") && list.SetText(1, FcDiv, ""));
    QVERIFY(!list.SetText(0, FcDiv, "123") && !list.SetText(0, FcDiv, "1a"));
    QCOMPARE(Rules(list), QString("IIHDT,100000,15,0001;GPGGA,000000,,0000"));
    QVERIFY(list.Delete(0));
    QVERIFY(!list.Delete(1));
    QCOMPARE(Rules(list), QString("GPGGA,000000,,0000"));
  }

  void statisticsReport_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("values");  // -1: field absent
    QTest::newRow("leading blanks skipped") << "$PQVXSTAT, 7,  8,9,1,2\r\n" << QList<int>{7, 8, 9, 1, 2};
    QTest::newRow("digits up to another character") << "$PQVXSTAT,12x,3.5,-4,5,6\r\n"
                                                    << QList<int>{12, 3, 0, 5, 6};
    QTest::newRow("empty field is zero") << "$PQVXSTAT,,1,,2,\r\n" << QList<int>{0, 1, 0, 2, 0};
    QTest::newRow("huge value saturates") << "$PQVXSTAT,99999999999,1,1,1,1\r\n"
                                          << QList<int>{INT_MAX, 1, 1, 1, 1};
    QTest::newRow("with TAG block") << "\\s:x*00\\$PQVXSTAT,1,2,3,4,5\r\n" << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("not a sentence") << "PQVXSTAT,1,2,3,4,5" << QList<int>{-1, -1, -1, -1, -1};
  }
  void statisticsReport() {
    QFETCH(QString, line);
    QFETCH(QList<int>, values);
    const StatReport report = ParseSTATReply(line.toStdString());
    for (int i = 0; i < kStatFieldCount; ++i) {
      const auto& v = report.Values[static_cast<std::size_t>(i)];
      QCOMPARE(v.has_value() ? *v : -1, values[i]);
    }
  }

  void statisticsWindowSitsRightOfTheMainWindow() {
    QCOMPARE(StatsPlacement(QRect(100, 50, 640, 480)), QPoint(740, 50));
    QCOMPARE(StatsPlacement(QRect(-20, 0, 300, 200)), QPoint(280, 0));
  }
};

QTEST_APPLESS_MAIN(ModelTest)
#include "tst_model.moc"
