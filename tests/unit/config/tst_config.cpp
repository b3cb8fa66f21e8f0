// The configuration: the profile layer that reads and writes its files, the
// bytes a save writes and what a loaded file sends to the device (damaged
// values included); the read-back table that routes each reply to its part
// of the model or the filter list, the filter list's own edits, the
// statistics report and its history.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "TestFiles.h"
#include "config/ConfigFile.h"
#include "config/Profile.h"
#include "config/ReadBack.h"
#include "config/StatHistory.h"
#include "config/Statistics.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using hlx::test::ReadAll;

namespace {

Profile Parsed(const QByteArray& text) {
  Profile p;
  p.Parse(text);
  return p;
}

const ConfigFileHeader kHeader{"1.0.0", "HLX-2000", "3.33.1", "12345"};

// What a file without a usable key sends after a model whose speeds were 1
// and whose option word was 1234: the defaults and the word kept.
const QStringList kDefaults = {"PQVXCF,C,,00000,0", "PQVXSP,C,0,0,0,0,3",       "PQVXIN,C,0,0,0,0",
                               "PQVXID,C,,,,,",     "PQVXDR,C,00000,0,00000,0", "PQVXOP,C,00001234",
                               "PQVXFL,C,DELETE"};

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

class ConfigTest : public QObject {
  Q_OBJECT
 private slots:
  // The profile layer: what a read finds and what a write keeps.
  void reading_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");  // "-" for missing
    const auto row = [](const char* name, const char* text, const char* section, const char* key,
                        const char* value) {
      QTest::newRow(name) << QByteArray(text) << section << key << value;
    };
    row("LF file, last line without line end", "[A]\nk=v", "A", "k", "v");
    row("blanks around key and value", "[A]\n  Talker ID1 =  GP \n", "A", "Talker ID1", "GP");
    row("blanks inside the header", "[ Filter ]\nGPRMC=1\n", "filter", "GPRMC", "1");
    row("first of duplicate sections", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1");
    row("value keeps its inner equals sign", "[A]\nk=a=b\n", "A", "k", "a=b");
    row("enclosing quotes removed", "[A]\nk=\"x y\"\n", "A", "k", "x y");
    row("key of another section is missing", "[A]\nk=1\n[B]\n", "B", "k", "-");
    row("entry before any section is not in one", "k=1\n[A]\n", "A", "k", "-");
    row("comment line is not a key", "[A]\n;k=1\n", "A", ";k", "-");
    row("byte order mark ignored", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1");
    row("repeated byte order marks ignored", "\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1");
  }
  void reading() {
    QFETCH(QByteArray, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(Parsed(text).ReadString(section, key, "-"), value);
  }

  void writingKeepsWhatItDoesNotTouch() {
    Profile p = Parsed(
        "; made by hand\r\n[Filter]\r\nA=1\r\n[Information]\r\nDevice=Old\r\n\r\n[Configuration]\r\n"
        "Baud In1=1\r\nCustom=keep me\r\n\r\n[filter]\r\nB=2\r\n[Mine]\r\nx=1\r\n");
    p.EraseSection("FILTER");                         // every copy
    p.WriteString("configuration", "BAUD IN1", "4");  // the first match, in its own spelling
    p.WriteString("Configuration", "Baud In2", "2");  // before the blank line
    p.WriteString("Added", "Talker IDConv", "\u00C4x");
    p.WriteString("Added", "k", "one\r\n[B]\nx=1");  // a line break cannot split the entry
    QCOMPARE(
        p.Serialize(),
        QByteArray("; made by hand\r\n[Information]\r\nDevice=Old\r\n\r\n[Configuration]\r\nBaud In1=4\r\n"
                   "Custom=keep me\r\nBaud In2=2\r\n\r\n[Mine]\r\nx=1\r\n[Added]\r\n"
                   "Talker IDConv=\xC3\x84x\r\nk=one  [B] x=1\r\n"));
  }

  void fileLoadsAppliesAndSavesBackOverItselfByteForByte() {
    // Every key away from its default, addresses with characters that a file
    // could mistake for its own syntax, and keys and a section of our own.
    const QByteArray file =
        "[Information]\r\nComment=by hand\r\nHLX-Config=Halyx Configuration Tool V1.0.0\r\n"
        "Device=HLX-2000\r\nFirmware Version=3.33.1\r\nSerial Number=12345\r\n[Notes]\r\nboat=Wind\r\n"
        "[Configuration]\r\nExtra=1\r\nBaud In1=4\r\nBaud In2=1\r\nBaud In3=2\r\nBaud In4/Out1=3\r\n"
        "Baud Out2=5\r\nPriority Timeout=5\r\nRealTime Ch.1=0\r\nRealTime Ch.2=1\r\nRealTime Ch.3=0\r\n"
        "RealTime Ch.4=1\r\nRealTime Conv=1\r\nTalker ID1=GP\r\nTalker ID2=\r\nTalker ID3=II\r\n"
        "Talker ID4=HE\r\nTalker IDConv=Z\r\nRoute 11=1\r\nRoute 21=0\r\nRoute 31=1\r\nRoute 41=0\r\n"
        "Route Conv1=1\r\nRoute 12=0\r\nRoute 22=1\r\nRoute 32=0\r\nRoute 42=1\r\nRoute Conv2=0\r\n"
        "Mode In1=5\r\nMode In2=4\r\nMode In3=3\r\nMode In4=6\r\nMode Out1=2\r\nMode Out2=1\r\n"
        "Options=0000A041\r\n[Filter]\r\nGPRMC=110000,2,1010\r\nGP MC=000001,,0001\r\n"
        "#G/%'=100010,15,1100\r\n\"HC-\"=111111,,1111\r\n";
    QTemporaryDir dir;
    const QString path = dir.filePath("cfg.ini");
    hlx::test::WriteText(path, file);
    DeviceConfig config;
    FilterList filters;
    QStringList diagnostics;
    QVERIFY(LoadConfigFile(path, config, filters, &diagnostics));
    QCOMPARE(diagnostics, QStringList());
    // Sent in this order, each followed by its pause in milliseconds.
    QStringList steps;
    for (const PacedSentence& step : ApplyConfigurationSequence(config, filters))
      steps << QString::fromStdString(step.Text) + " +" + QString::number(step.PauseMs);
    QCOMPARE(steps, QStringList({"PQVXCF,C,,01011,5 +50", "PQVXSP,C,4,1,2,3,5 +50", "PQVXIN,C,5,4,3,6 +50",
                                 "PQVXID,C,GP,,II,HE,Z +50", "PQVXDR,C,10101,2,01010,1 +50",
                                 "PQVXOP,C,0000A041 +50", "PQVXFL,C,DELETE +100",
                                 "PQVXFL,C,GPRMC,110000,2,1010 +5", "PQVXFL,C,GP MC,000001,,0001 +5",
                                 "PQVXFL,C,#G/%',100010,15,1100 +5", "PQVXFL,C,\"HC-\",111111,,1111 +5"}));
    // A later rule for the same address replaces the first under its key.
    filters.AddFilterEntry("GPRMC", "000001", "7", "0001", true);
    QCOMPARE(SaveConfigFile(path, kHeader, config, filters), QString());
    QCOMPARE(ReadAll(path), QByteArray(file).replace("GPRMC=110000,2,1010", "GPRMC=000001,7,0001"));
  }

  // Each file is read over a model whose speeds are 1, whose option word is
  // 1234 and whose list holds one rule; then the model and list are applied.
  void fileReachesTheDeviceOnlyAsItCanTakeIt_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("reported");
    // The second "GP---" key and the note are no rules: the first key wins.
    QTest::newRow("odd values the device takes")
        << QByteArray(
               "[Configuration]\r\nRealTime Ch.3=7\r\ntalker id1=GPS\r\nTalker IDConv=x\r\n"
               "Mode In2=\r\nOptions=00FFFFFFFF\r\n[Filter]\r\nHCHDG=100010,,1100\r\n; a note\r\n"
               "gp---=110000,2,1010\r\nGP---=000000,,0000\r\n")
        << QStringList{"PQVXCF,C,,00100,0", "PQVXSP,C,0,0,0,0,3",          "PQVXIN,C,0,0,0,0",
                       "PQVXID,C,GP,,,,X",  "PQVXDR,C,00000,0,00000,0",    "PQVXOP,C,FFFFFFFF",
                       "PQVXFL,C,DELETE",   "PQVXFL,C,HCHDG,100010,,1100", "PQVXFL,C,GP---,110000,2,1010"}
        << QStringList();
    QTest::newRow("values it cannot take")
        << QByteArray(
               "[Configuration]\r\nBaud In1=5\r\nBaud In2=257\r\nBaud In3=99999999999999999999\r\n"
               "Baud In4/Out1=-6\r\nBaud Out2=6\r\nPriority Timeout=6\r\nTalker ID2=G,\r\n"
               "Route 42=yes\r\nMode In1=-35\r\nMode In2=x3\r\nMode In3=6\r\nMode In4=7\r\n"
               "Mode Out2=3\r\nOptions=1FFFFFFFF\r\n[Filter]\r\nGPGLL=111111,2\r\n"
               "GP;MC=110000,2,1010\r\n")
        << kDefaults
        << QStringList{"Baud In1=5 is out of range (0..4); the default is used",
                       "Baud In2=257 is out of range (0..4); the default is used",
                       "Baud In3=99999999999999999999 is out of range (0..4); the default is used",
                       "Baud In4/Out1=-6 is out of range (0..4); the default is used",
                       "Baud Out2=6 is out of range (0..5); the default is used",
                       "Priority Timeout=6 is out of range (0..5); the default is used",
                       "Talker ID2=G, is not a talker ID of letters and digits; the default is used",
                       "Route 42=yes is not a number; the default is used",
                       "Mode In1=-35 is out of range (0..5); the default is used",
                       "Mode In2=x3 is not a number; the default is used",
                       "Mode In3=6 is out of range (0..5); the default is used",
                       "Mode In4=7 is out of range (0..6); the default is used",
                       "Mode Out2=3 is out of range (0..2); the default is used",
                       "Options=1FFFFFFFF is not a hexadecimal option word; the current word is kept",
                       "Filter GPGLL=111111,2 lacks the Div or the output flags; the rule is dropped",
                       "Filter GP;MC=110000,2,1010 is not a sentence address of five plain characters; "
                       "the rule is dropped"};
    QTest::newRow("option word not hex")
        << QByteArray("[Configuration]\r\nOptions=12G4\r\n") << kDefaults
        << QStringList{"Options=12G4 is not a hexadecimal option word; the current word is kept"};
    QByteArray many = "[Filter]";
    QStringList sent = kDefaults, reported;
    for (int i = 0; i < 52; ++i) {
      const QString rule = QStringLiteral("GP%1=100000,,0010").arg(i, 3, 10, QChar('0'));
      many += "\r\n" + rule.toLatin1();
      if (i < 50)
        sent << "PQVXFL,C," + QString(rule).replace('=', ',');
      else
        reported << "Filter " + rule + " does not fit, the list holds 50 rules; the rule is dropped";
    }
    QTest::newRow("rules beyond fifty") << many << sent << reported;
  }
  void fileReachesTheDeviceOnlyAsItCanTakeIt() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, reported);
    DeviceConfig config{.Speed = {1, 1, 1, 1, 1}, .Options = 0x1234};
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    QStringList diagnostics;
    ReadConfigProfile(Parsed(file), config, filters, &diagnostics);
    QStringList texts;
    for (const PacedSentence& step : ApplyConfigurationSequence(config, filters))
      texts << QString::fromStdString(step.Text);
    QCOMPARE(texts, sent);
    QCOMPARE(diagnostics, reported);
  }

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

  // Events are "seconds after 2025-12-08 13:20:00 UTC, then a STAT report or
  // the rates of inputs -, 1, 2, ...".
  void historyKeepsFifteenMinutesAndExportsThem_data() {
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("utcOffset");
    QTest::addColumn<QByteArray>("csv");
    const QByteArray header =
        "Time,In1,In2,In3,In4,Load,Rate -,Rate 1,Rate 2,Rate 3,Rate 4,Rate 5,Rate 6,"
        "Rate 7,Rate 8,Rate 9\r\n";
    QTest::newRow("empty") << QStringList{} << 0 << header;
    QTest::newRow("not a report") << QStringList{"0 $PQVXSTAT*00\r\n"} << 0 << header;
    QTest::newRow("report and rates, local offset")
        << QStringList{"0.25 $PQVXSTAT,12,0,63,5,2304*00\r\n", "1 0 3.333 0.05 0 0 0 0 0 0 12.96"} << 3600
        << header +
               "2025-12-08T14:20:00.250+01:00,12,0,63,5,2304,,,,,,,,,,\r\n"
               "2025-12-08T14:20:01.000+01:00,,,,,,0.0,3.3,0.1,0.0,0.0,0.0,0.0,0.0,0.0,13.0\r\n";
    QTest::newRow("short report leaves fields empty")
        << QStringList{"0 $PQVXSTAT,900,7\r\n"} << -5400
        << header + "2025-12-08T11:50:00.000-01:30,900,7,,,,,,,,,,,,,\r\n";
    QTest::newRow("older than 15 minutes dropped")
        << QStringList{"0 $PQVXSTAT,1,1,1,1,1\r\n", "0.001 $PQVXSTAT,2,2,2,2,2\r\n",
                       "900.001 $PQVXSTAT,3,3,3,3,3\r\n"}
        << 0
        << header +
               "2025-12-08T13:20:00.001Z,2,2,2,2,2,,,,,,,,,,\r\n"
               "2025-12-08T13:35:00.001Z,3,3,3,3,3,,,,,,,,,,\r\n";
  }
  void historyKeepsFifteenMinutesAndExportsThem() {
    QFETCH(QStringList, events);
    QFETCH(int, utcOffset);
    QFETCH(QByteArray, csv);
    constexpr std::int64_t kBase = 1765200000000;
    StatHistory history;
    for (const QString& event : events) {
      const QStringList parts = event.split(' ');
      const auto at = kBase + static_cast<std::int64_t>(parts[0].toDouble() * 1000);
      if (parts[1].startsWith('$')) {
        history.AddReport(at, ParseSTATReply(parts[1].toStdString()));
        continue;
      }
      StatHistory::Rates rates{};
      for (std::size_t i = 0; i < rates.size(); ++i)
        rates[i] = parts[static_cast<qsizetype>(i) + 1].toDouble();
      history.AddRates(at, rates);
    }
    QCOMPARE(history.ToCsv(utcOffset).toUtf8(), csv);
  }

  void historyMemoryIsBoundedWhateverTheReportRate() {
    StatHistory history;
    for (std::size_t i = 0; i < kMaxHistorySamples + 5; ++i)
      history.AddReport(1000, ParseSTATReply("$PQVXSTAT,1\r\n"));
    history.AddRates(2000, {});
    QCOMPARE(history.Samples().size(), kMaxHistorySamples);
    QCOMPARE(history.Samples().back().timeMs, 2000);
  }
};

QTEST_GUILESS_MAIN(ConfigTest)
#include "tst_config.moc"
