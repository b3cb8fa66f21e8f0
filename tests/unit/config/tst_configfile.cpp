#include <QTemporaryDir>
#include <QtTest>

#include "config/ConfigFile.h"
#include "config/Profile.h"

using namespace hlx;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

Profile Parsed(const QByteArray& text) {
  Profile p;
  p.Parse(text);
  return p;
}

const ConfigFileHeader kHeader{"1.0.0", "HLX-2000", "3.33.1", "12345"};

std::vector<std::string> Texts(const std::vector<PacedSentence>& steps) {
  std::vector<std::string> out;
  for (const auto& s : steps) out.push_back(s.Text);
  return out;
}

}  // namespace

class ConfigFileTest : public QObject {
  Q_OBJECT
 private slots:
  void savedKeysFollowTheModel() {
    DeviceConfig config;
    config.Speed[kSpeedOut2] = 5;  // 115200
    config.RealTime[1] = true;
    config.Options = 0x0000A041;
    config.TalkerId[0] = "GP";
    config.RouteOut2[4] = true;
    config.InputMode[3] = kModeSeaTalk;
    Profile p;
    WriteConfigProfile(p, kHeader, config, FilterList{});
    QCOMPARE(p.ReadString("Configuration", "Baud Out2"), QString("5"));
    QCOMPARE(p.ReadString("Configuration", "RealTime Ch.2"), QString("1"));
    QCOMPARE(p.ReadString("Configuration", "RealTime Ch.1"), QString("0"));
    QCOMPARE(p.ReadString("Configuration", "Options"), QString("0000A041"));
    QCOMPARE(p.ReadString("Configuration", "Talker ID1"), QString("GP"));
    QCOMPARE(p.ReadString("Configuration", "Route Conv2"), QString("1"));
    QCOMPARE(p.ReadString("Configuration", "Mode In4"), QString("6"));
    QCOMPARE(p.ReadString("Information", "HLX-Config"), QString("Halyx Configuration Tool V1.0.0"));
    QCOMPARE(p.ReadString("Information", "Serial Number"), QString("12345"));
    QCOMPARE(p.SectionNames(), QStringList({"Information", "Configuration"}));
  }

  void newFileHasTheKeysInTableOrder() {
    Profile p;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    WriteConfigProfile(p, kHeader, DeviceConfig{}, filters);
    const QStringList expected = {
        "Baud In1",         "Baud In2",      "Baud In3",      "Baud In4/Out1", "Baud Out2",
        "Priority Timeout", "RealTime Ch.1", "RealTime Ch.2", "RealTime Ch.3", "RealTime Ch.4",
        "RealTime Conv",    "Talker ID1",    "Talker ID2",    "Talker ID3",    "Talker ID4",
        "Talker IDConv",    "Route 11",      "Route 21",      "Route 31",      "Route 41",
        "Route Conv1",      "Route 12",      "Route 22",      "Route 32",      "Route 42",
        "Route Conv2",      "Mode In1",      "Mode In2",      "Mode In3",      "Mode In4",
        "Mode Out1",        "Mode Out2",     "Options"};
    QCOMPARE(p.Keys("Configuration"), expected);
    QCOMPARE(p.SectionNames(), QStringList({"Information", "Configuration", "Filter"}));
    QVERIFY(p.Serialize().contains("\r\n[Filter]\r\nGPRMC=110000,2,1010\r\n"));
  }

  void sameAddressTwiceKeepsTheLaterRule() {
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    filters.AddFilterEntry("HCHDG", "100010", "", "1100", true);
    filters.AddFilterEntry("GPRMC", "000001", "7", "0001", true);
    Profile p;
    WriteConfigProfile(p, kHeader, DeviceConfig{}, filters);
    QCOMPARE(p.Keys("Filter"), QStringList({"GPRMC", "HCHDG"}));
    DeviceConfig config;
    FilterList back;
    ReadConfigProfile(Parsed(p.Serialize()), config, back);
    QCOMPARE(back.Count(), 2);
    QCOMPARE(FilterList::RuleCommand(back.At(0)), std::string("PQVXFL,C,GPRMC,000001,7,0001"));
  }

  void missingKeysTakeTheirDefaults() {
    DeviceConfig config;
    config.Speed = {4, 4, 4, 4, 4};
    config.RealTime[0] = true;
    config.TalkerId[2] = "II";
    config.Options = 0x1234;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    ReadConfigProfile(Parsed("[Configuration]\r\nBaud In1=2\r\n"), config, filters);
    DeviceConfig expected;
    expected.Speed = {2, 0, 0, 0, 3};  // Out2 defaults to 38400
    expected.Options = 0x1234;         // a missing option word is kept
    QVERIFY(config == expected);
    QVERIFY(filters.Empty());
  }

  void valuesAreReadByTheFileRules_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("index") << "Mode In2"
                           << "3" << 3;
    QTest::newRow("index modulo 256") << "Mode In2"
                                      << "259" << 3;
    QTest::newRow("out of range index kept") << "Mode In2"
                                             << "9" << 9;
    QTest::newRow("not a number gives the default") << "Mode In2"
                                                    << "x3" << 0;
    QTest::newRow("Out2 not a number gives 38400") << "Baud Out2"
                                                   << "fast" << 3;
    QTest::newRow("flag any non-zero is on") << "RealTime Ch.3"
                                             << "7" << 1;
    QTest::newRow("flag zero is off") << "RealTime Ch.3"
                                      << "0" << 0;
    QTest::newRow("flag not a number is off") << "RealTime Ch.3"
                                              << "yes" << 0;
    QTest::newRow("route flag") << "Route 42"
                                << "1" << 1;
    QTest::newRow("route flag of Conv to Out1") << "Route Conv1"
                                                << "1" << 1;
  }
  void valuesAreReadByTheFileRules() {
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(int, value);
    Profile p;
    p.WriteString("Configuration", key, text);
    DeviceConfig config;
    FilterList filters;
    ReadConfigProfile(p, config, filters);
    const std::map<QString, int> actual = {{"Mode In2", config.InputMode[1]},
                                           {"Baud Out2", config.Speed[4]},
                                           {"RealTime Ch.3", config.RealTime[2]},
                                           {"Route 42", config.RouteOut2[3]},
                                           {"Route Conv1", config.RouteOut1[4]}};
    QCOMPARE(actual.at(key), value);
  }

  void talkerIdsAreCutToTwoCharacters() {
    DeviceConfig config;
    FilterList filters;
    ReadConfigProfile(Parsed("[configuration]\ntalker id1=GPS\nTalker IDConv=X\n"), config, filters);
    QCOMPARE(config.TalkerId[0], std::string("GP"));
    QCOMPARE(config.TalkerId[4], std::string("X"));
  }

  void optionWord_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("options");
    QTest::newRow("upper case") << "0000A041" << 0x0000A041u;
    QTest::newRow("lower case") << "0000a041" << 0x0000A041u;
    QTest::newRow("short") << "41" << 0x41u;
    QTest::newRow("not hexadecimal keeps the word") << "XYZ" << 0xCAFEu;
    QTest::newRow("empty keeps the word") << "" << 0xCAFEu;
    QTest::newRow("more than 32 bits keeps the word") << "1FFFFFFFF" << 0xCAFEu;
    QTest::newRow("leading zeros beyond eight digits") << "00FFFFFFFF" << 0xFFFFFFFFu;
    QTest::newRow("prefix is not a digit") << "0x10" << 0xCAFEu;
  }
  void optionWord() {
    QFETCH(QString, text);
    QFETCH(uint, options);
    DeviceConfig config;
    config.Options = 0xCAFE;
    FilterList filters;
    Profile p;
    p.WriteString("Configuration", "Options", text);
    ReadConfigProfile(p, config, filters);
    QCOMPARE(config.Options, options);
  }

  void filterLines_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("rule") << QByteArray("GPRMC=110000,2,1010") << QStringList{"PQVXFL,C,GPRMC,110000,2,1010"};
    QTest::newRow("no commas is skipped") << QByteArray("GPGGA=111111") << QStringList{};
    QTest::newRow("one comma is skipped") << QByteArray("GPGGA=111111,2") << QStringList{};
    QTest::newRow("empty Div") << QByteArray("GPGGA=111111,,1111")
                               << QStringList{"PQVXFL,C,GPGGA,111111,,1111"};
    QTest::newRow("name in lower case")
        << QByteArray("gp---=100000,,0010") << QStringList{"PQVXFL,C,GP---,100000,,0010"};
    QTest::newRow("name of four characters dropped") << QByteArray("GPRM=110000,2,1010") << QStringList{};
    QTest::newRow("file order kept") << QByteArray("HCHDG=100010,,1100\r\nGPRMC=110000,2,1010")
                                     << QStringList{"PQVXFL,C,HCHDG,100010,,1100",
                                                    "PQVXFL,C,GPRMC,110000,2,1010"};
  }
  void filterLines() {
    QFETCH(QByteArray, section);
    QFETCH(QStringList, commands);
    DeviceConfig config;
    FilterList filters;
    ReadConfigProfile(Parsed("[Filter]\r\n" + section + "\r\n"), config, filters);
    QStringList actual;
    for (const auto& rule : filters.Rules()) actual << QString::fromStdString(FilterList::RuleCommand(rule));
    QCOMPARE(actual, commands);
  }

  void rulesBeyondFiftyAreDropped() {
    QByteArray text = "[Filter]\n";
    for (int i = 0; i < 55; ++i)
      text += QStringLiteral("GP%1=100000,,0010\n").arg(i, 3, 10, QChar('0')).toLatin1();
    DeviceConfig config;
    FilterList filters;
    ReadConfigProfile(Parsed(text), config, filters);
    QCOMPARE(filters.Count(), kMaxFilterRules);
    QCOMPARE(filters.At(49).Name, std::string("GP049"));
  }

  void applySendsEveryGroupInOrder() {
    DeviceConfig config;
    config.RealTime = {true, false, true, false, true};
    config.PriorityTimeout = 4;
    config.Speed = {0, 1, 2, 3, 5};
    config.InputMode = {0, 1, 2, 6};
    config.TalkerId = {"GP", "II", "", "HE", "XX"};
    config.RouteOut1 = {true, true, false, false, true};
    config.HostDataOut1 = 1;
    config.RouteOut2 = {false, false, false, true, false};
    config.HostDataOut2 = 2;
    config.Options = 0x0000A041;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    const auto steps = ApplyConfigurationSequence(config, filters);
    const std::vector<std::string> expected = {
        "PQVXCF,C,,10101,4",        "PQVXSP,C,0,1,2,3,5", "PQVXIN,C,0,1,2,6", "PQVXID,C,GP,II,,HE,XX",
        "PQVXDR,C,11001,1,00010,2", "PQVXOP,C,0000A041",  "PQVXFL,C,DELETE",  "PQVXFL,C,GPRMC,110000,2,1010"};
    QCOMPARE(Texts(steps), expected);
    std::vector<int> pauses;
    for (const auto& s : steps) pauses.push_back(s.PauseMs);
    QCOMPARE(pauses, (std::vector<int>{50, 50, 50, 50, 50, 50, 100, 5}));
  }

  void loadingAFileWithoutFiltersEmptiesTheDeviceList() {
    QTemporaryDir dir;
    const QString path = dir.filePath("nofilter.ini");
    QVERIFY(WriteAll(path, "[Configuration]\r\nBaud In1=1\r\n"));
    DeviceConfig config;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    QVERIFY(LoadConfigFile(path, config, filters));
    const auto steps = ApplyConfigurationSequence(config, filters);
    QCOMPARE(steps.back().Text, std::string("PQVXFL,C,DELETE"));
    QCOMPARE(steps.size(), std::size_t(7));
  }

  void unreadableFileBehavesLikeAnEmptyOne() {
    DeviceConfig config;
    config.Speed = {1, 1, 1, 1, 1};
    config.Options = 0x77;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    QVERIFY(!LoadConfigFile("/nonexistent-folder/x.ini", config, filters));
    QCOMPARE(config.Speed, (std::array<std::uint8_t, 5>{0, 0, 0, 0, 3}));
    QCOMPARE(config.Options, 0x77u);
    QVERIFY(filters.Empty());
  }

  void saveKeepsForeignContentAndReplacesTheFilterSection() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cfg.ini");
    QVERIFY(WriteAll(path,
                     "[Information]\r\nComment=by hand\r\n[Filter]\r\nOLD01=1,,1\r\n[Notes]\r\nboat=Wind\r\n"
                     "[Configuration]\r\nBaud In1=4\r\nExtra=1\r\n"));
    DeviceConfig config;
    config.Speed[0] = 2;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    QCOMPARE(SaveConfigFile(path, kHeader, config, filters), QString());
    Profile back;
    QVERIFY(back.Load(path));
    QCOMPARE(back.SectionNames(), QStringList({"Information", "Notes", "Configuration", "Filter"}));
    QCOMPARE(back.ReadString("Information", "Comment"), QString("by hand"));
    QCOMPARE(back.ReadString("Notes", "boat"), QString("Wind"));
    QCOMPARE(back.ReadString("Configuration", "Extra"), QString("1"));
    QCOMPARE(back.ReadString("Configuration", "Baud In1"), QString("2"));
    QCOMPARE(back.Keys("Filter"), QStringList{"GPRMC"});
  }

  void saveAndLoadRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath("round.ini");
    DeviceConfig config;
    config.Speed = {0, 1, 2, 3, 5};
    config.PriorityTimeout = 5;
    config.RealTime = {false, true, false, true, true};
    config.TalkerId = {"GP", "", "II", "HE", "Z"};
    config.RouteOut1 = {true, false, true, false, true};
    config.RouteOut2 = {false, true, false, true, false};
    config.InputMode = {5, 4, 3, 6};
    config.HostDataOut1 = 2;
    config.HostDataOut2 = 1;
    config.Options = 0xFFFFFFFF;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    filters.AddFilterEntry("HC---", "000001", "", "0001", true);
    QCOMPARE(SaveConfigFile(path, kHeader, config, filters), QString());
    DeviceConfig loaded;
    FilterList loadedFilters;
    QVERIFY(LoadConfigFile(path, loaded, loadedFilters));
    QVERIFY(loaded == config);
    QCOMPARE(loadedFilters.Rules(), filters.Rules());
  }

  void failedSaveReportsAndKeepsThePreviousFile_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only file") << "readonly";
    QTest::newRow("missing folder") << "nofolder";
    QTest::newRow("unreadable file") << "unreadable";
  }
  void failedSaveReportsAndKeepsThePreviousFile() {
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString existing = dir.filePath("cfg.ini");
    const QByteArray before = "[Configuration]\r\nBaud In1=4\r\n";
    QVERIFY(WriteAll(existing, before));
    QString target = existing;
    if (how == "readonly") {
      QVERIFY(QFile::setPermissions(existing, QFile::ReadOwner | QFile::ReadUser));
    } else if (how == "unreadable") {
      QVERIFY(QFile::setPermissions(existing, QFile::WriteOwner | QFile::WriteUser));
    } else {
      target = dir.filePath("gone/cfg.ini");
    }
    if (how != "nofolder" && QFile(existing).open(QIODevice::ReadWrite))
      QSKIP("rights ignore file permissions");
    DeviceConfig config;
    QCOMPARE(SaveConfigFile(target, kHeader, config, FilterList{}),
             QStringLiteral("Unable to write to ") + target);
    QFile::setPermissions(existing, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(ReadAll(existing), before);
  }

  void saveWithoutANameDoesNothing() {
    QCOMPARE(SaveConfigFile(QString(), kHeader, DeviceConfig{}, FilterList{}), QString());
  }
};

QTEST_GUILESS_MAIN(ConfigFileTest)
#include "tst_configfile.moc"
