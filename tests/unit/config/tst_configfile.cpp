// Configuration files: the bytes a save writes, what a loaded file sends to
// the device (damaged values included), and saves that fail.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

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

const ConfigFileHeader kHeader{"1.0.0", "HLX-2000", "3.33.1", "12345"};

QStringList Texts(const std::vector<PacedSentence>& steps) {
  QStringList out;
  for (const auto& s : steps) out << QString::fromStdString(s.Text);
  return out;
}

// What a loaded file sends, read over a model whose option word is 1234 and
// a list that held one rule.
QStringList Sent(const QByteArray& file, QStringList* diagnostics) {
  DeviceConfig config;
  config.Options = 0x1234;
  FilterList filters;
  filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
  Profile profile;
  profile.Parse(file);
  ReadConfigProfile(profile, config, filters, diagnostics);
  return Texts(ApplyConfigurationSequence(config, filters));
}

// Sent for a file without a single key.
const QStringList kDefaults = {"PQVXCF,C,,00000,0", "PQVXSP,C,0,0,0,0,3",       "PQVXIN,C,0,0,0,0",
                               "PQVXID,C,,,,,",     "PQVXDR,C,00000,0,00000,0", "PQVXOP,C,00001234",
                               "PQVXFL,C,DELETE"};

}  // namespace

class ConfigFileTest : public QObject {
  Q_OBJECT
 private slots:
  void fileLoadsAppliesAndSavesBackByteForByte() {
    // Every key with a value away from its default, and addresses with
    // characters that a file could mistake for its own syntax.
    const QByteArray file =
        "[Information]\r\nHLX-Config=Halyx Configuration Tool V1.0.0\r\nDevice=HLX-2000\r\n"
        "Firmware Version=3.33.1\r\nSerial Number=12345\r\n[Configuration]\r\nBaud In1=0\r\n"
        "Baud In2=1\r\nBaud In3=2\r\nBaud In4/Out1=3\r\nBaud Out2=5\r\nPriority Timeout=5\r\n"
        "RealTime Ch.1=0\r\nRealTime Ch.2=1\r\nRealTime Ch.3=0\r\nRealTime Ch.4=1\r\n"
        "RealTime Conv=1\r\nTalker ID1=GP\r\nTalker ID2=\r\nTalker ID3=II\r\nTalker ID4=HE\r\n"
        "Talker IDConv=Z\r\nRoute 11=1\r\nRoute 21=0\r\nRoute 31=1\r\nRoute 41=0\r\nRoute Conv1=1\r\n"
        "Route 12=0\r\nRoute 22=1\r\nRoute 32=0\r\nRoute 42=1\r\nRoute Conv2=0\r\nMode In1=5\r\n"
        "Mode In2=4\r\nMode In3=3\r\nMode In4=6\r\nMode Out1=2\r\nMode Out2=1\r\nOptions=0000A041\r\n"
        "[Filter]\r\nGPRMC=110000,2,1010\r\nGP MC=000001,,0001\r\n#G/%'=100010,15,1100\r\n"
        "\"HC-\"=111111,,1111\r\n";
    QTemporaryDir dir;
    QVERIFY(WriteAll(dir.filePath("in.ini"), file));
    DeviceConfig config;
    FilterList filters;
    QStringList diagnostics;
    QVERIFY(LoadConfigFile(dir.filePath("in.ini"), config, filters, &diagnostics));
    QCOMPARE(diagnostics, QStringList());
    const std::vector<PacedSentence> applied = {{"PQVXCF,C,,01011,5", 50},
                                                {"PQVXSP,C,0,1,2,3,5", 50},
                                                {"PQVXIN,C,5,4,3,6", 50},
                                                {"PQVXID,C,GP,,II,HE,Z", 50},
                                                {"PQVXDR,C,10101,2,01010,1", 50},
                                                {"PQVXOP,C,0000A041", 50},
                                                {"PQVXFL,C,DELETE", 100},
                                                {"PQVXFL,C,GPRMC,110000,2,1010", 5},
                                                {"PQVXFL,C,GP MC,000001,,0001", 5},
                                                {"PQVXFL,C,#G/%',100010,15,1100", 5},
                                                {"PQVXFL,C,\"HC-\",111111,,1111", 5}};
    QCOMPARE(ApplyConfigurationSequence(config, filters), applied);
    // A later rule for the same address replaces the first under its key.
    filters.AddFilterEntry("GPRMC", "000001", "7", "0001", true);
    QCOMPARE(SaveConfigFile(dir.filePath("out.ini"), kHeader, config, filters), QString());
    QCOMPARE(ReadAll(dir.filePath("out.ini")),
             QByteArray(file).replace("GPRMC=110000,2,1010", "GPRMC=000001,7,0001"));
    QCOMPARE(SaveConfigFile(QString(), kHeader, config, filters), QString());  // no name, nothing to do
  }

  void fileContentReachesTheDeviceOnlyAsItCanTakeIt_data() {
    QTest::addColumn<QByteArray>("entries");
    QTest::addColumn<QString>("sent");  // sentences that differ from a file without keys, ";" between
    QTest::addColumn<int>("diagnostics");
    struct Row {
      const char* name;
      const char* entries;
      const char* sent;
      int diagnostics;
    };
    const Row rows[] = {
        {"no key: Out2 at 38400, the word kept", "", "", 0},
        {"last speed of In1", "Baud In1=4", "PQVXSP,C,4,0,0,0,3", 0},
        {"speed of In1 beyond its list", "Baud In1=5", "", 1},
        {"negative speed", "Baud In1=-6", "", 1},
        {"speed beyond 256", "Baud In2=257", "", 1},
        {"huge speed", "Baud In3=99999999999999999999", "", 1},
        {"shared speed beyond its list", "Baud In4/Out1=5", "", 1},
        {"last speed of Out2", "Baud Out2=5", "PQVXSP,C,0,0,0,0,5", 0},
        {"speed of Out2 beyond its list", "Baud Out2=6", "", 1},
        {"last time-out", "Priority Timeout=5", "PQVXCF,C,,00000,5", 0},
        {"time-out beyond its list", "Priority Timeout=6", "", 1},
        {"mode that would end the line", "Mode In1=-35", "", 1},
        {"mode 9", "Mode In2=9", "", 1},
        {"mode with a letter", "Mode In2=x3", "", 1},
        {"empty mode is a missing one", "Mode In2=", "", 0},
        {"SeaTalk is no mode of In3", "Mode In3=6", "", 1},
        {"SeaTalk on In4", "Mode In4=6", "PQVXIN,C,0,0,0,6", 0},
        {"mode of In4 beyond its list", "Mode In4=7", "", 1},
        {"host data Override", "Mode Out1=2", "PQVXDR,C,00000,2,00000,0", 0},
        {"host data beyond its list", "Mode Out2=3", "", 1},
        {"flag: any non-zero is on", "RealTime Ch.3=7", "PQVXCF,C,,00100,0", 0},
        {"flag in letters", "Route 42=yes", "", 1},
        {"talker ID cut to two", "talker id1=GPS", "PQVXID,C,GP,,,,", 0},
        {"talker ID in lower case", "Talker IDConv=x", "PQVXID,C,,,,,X", 0},
        {"talker ID with a comma", "Talker ID2=G,", "", 1},
        {"option word in lower case", "Options=0000a041", "PQVXOP,C,0000A041", 0},
        {"option word with leading zeros", "Options=00FFFFFFFF", "PQVXOP,C,FFFFFFFF", 0},
        {"option word not hex", "Options=XYZ", "", 1},
        {"option word beyond 32 bits", "Options=1FFFFFFFF", "", 1},
        {"rules in file order", "[Filter]\r\nHCHDG=100010,,1100\r\ngp---=110000,2,1010",
         "PQVXFL,C,HCHDG,100010,,1100;PQVXFL,C,GP---,110000,2,1010", 0},
        {"rule without commas", "[Filter]\r\nGPGGA=111111", "", 1},
        {"rule with one comma", "[Filter]\r\nGPGGA=111111,2", "", 1},
        {"address of four characters", "[Filter]\r\nGPRM=110000,2,1010", "", 1},
        {"semicolon in the address", "[Filter]\r\nGP;MC=110000,2,1010", "", 1},
        {"address not ASCII", "[Filter]\r\nGPR\xC3\x84=110000,2,1010", "", 1},
    };
    for (const Row& r : rows) QTest::newRow(r.name) << QByteArray(r.entries) << r.sent << r.diagnostics;
    QByteArray many = "[Filter]";
    QStringList fifty;
    for (int i = 0; i < 55; ++i) {
      many += QStringLiteral("\r\nGP%1=100000,,0010").arg(i, 3, 10, QChar('0')).toLatin1();
      if (i < kMaxFilterRules)
        fifty << QStringLiteral("PQVXFL,C,GP%1,100000,,0010").arg(i, 3, 10, QChar('0'));
    }
    QTest::newRow("rules beyond fifty") << many << fifty.join(';') << 5;
  }
  void fileContentReachesTheDeviceOnlyAsItCanTakeIt() {
    QFETCH(QByteArray, entries);
    QFETCH(QString, sent);
    QFETCH(int, diagnostics);
    QStringList expected = kDefaults;
    // Rules follow the delete; every other sentence replaces its group's.
    for (const QString& sentence : sent.split(';', Qt::SkipEmptyParts)) {
      const auto last = kDefaults.end() - 1;  // the delete
      const auto group = std::find_if(kDefaults.begin(), last,
                                      [&](const QString& s) { return s.left(6) == sentence.left(6); });
      if (group != last)
        expected[group - kDefaults.begin()] = sentence;
      else
        expected << sentence;
    }
    QStringList reported;
    QCOMPARE(Sent("[Configuration]\r\n" + entries + "\r\n", &reported), expected);
    QCOMPARE(reported.size(), diagnostics);
    // The last report names the last entry of the file.
    if (diagnostics)
      QVERIFY2(reported.back().contains(entries.split('\n').back()), qPrintable(reported.back()));
  }

  void everyRefusedValueIsReported() {
    QStringList reported;
    Sent(
        "[Configuration]\r\nBaud In1=-6\r\nMode In1=-35\r\nOptions=XYZ\r\nTalker ID1=G,\r\n"
        "[Filter]\r\nGP;MC=100000,,0010\r\nGPGGA=111111\r\n",
        &reported);
    QCOMPARE(reported, QStringList({
                           "Baud In1=-6 is out of range (0..4); the default is used",
                           "Talker ID1=G, is not a talker ID of letters and digits; the default is used",
                           "Mode In1=-35 is out of range (0..5); the default is used",
                           "Options=XYZ is not a hexadecimal option word; the current word is kept",
                           "Filter GP;MC=100000,,0010 is not a sentence address of five plain characters; "
                           "the rule is dropped",
                           "Filter GPGGA=111111 lacks the Div or the output flags; the rule is dropped",
                       }));
  }

  void unreadableFileBehavesLikeAnEmptyOne() {
    DeviceConfig config;
    config.Speed = {1, 1, 1, 1, 1};
    config.Options = 0x1234;
    FilterList filters;
    filters.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    QVERIFY(!LoadConfigFile("/nonexistent-folder/x.ini", config, filters));
    QCOMPARE(Texts(ApplyConfigurationSequence(config, filters)), kDefaults);
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
    const QByteArray saved = ReadAll(path);
    QVERIFY(saved.startsWith("[Information]\r\nComment=by hand\r\nHLX-Config="));
    QVERIFY(saved.contains(
        "\r\n[Notes]\r\nboat=Wind\r\n[Configuration]\r\nBaud In1=2\r\nExtra=1\r\nBaud In2=0\r\n"));
    QVERIFY(saved.endsWith("\r\nOptions=00000000\r\n[Filter]\r\nGPRMC=110000,2,1010\r\n"));
    QVERIFY(!saved.contains("OLD01"));
  }

  void failedSaveReportsAndLeavesThePreviousFile_data() {
    QTest::addColumn<QString>("how");
    for (const char* how :
         {"read-only file", "unreadable file", "missing folder", "folder", "pipe", "file size limit"})
      QTest::newRow(how) << QString(how);
  }
  void failedSaveReportsAndLeavesThePreviousFile() {
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString previous = dir.filePath("cfg.ini");
    const QByteArray before = "[Notes]\r\nboat=Wind\r\n";
    QVERIFY(WriteAll(previous, before));
    QString target = previous;
    QStringList files{"cfg.ini"};
    if (how == "read-only file" || how == "unreadable file") {
      QVERIFY(
          QFile::setPermissions(previous, how == "read-only file" ? QFile::ReadOwner : QFile::WriteOwner));
      if (QFile(previous).open(QIODevice::ReadWrite)) QSKIP("rights ignore file permissions");
    } else if (how == "missing folder") {
      target = dir.filePath("gone/cfg.ini");
    } else if (how == "folder") {
      target = dir.path();
    } else if (how == "pipe") {
      target = dir.filePath("pipe.ini");
      QVERIFY(::mkfifo(QFile::encodeName(target).constData(), 0600) == 0);
      files << "pipe.ini";
    }
    // The write fails once the file is open: the size limit lies below what
    // is written, and its signal is ignored so that the write returns an
    // error instead of ending the process.
    rlimit savedLimit{};
    struct sigaction savedAction {};
    const bool limited = how == "file size limit";
    if (limited) {
      QVERIFY(::getrlimit(RLIMIT_FSIZE, &savedLimit) == 0);
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      QVERIFY(::sigaction(SIGXFSZ, &ignore, &savedAction) == 0);
      rlimit lowered = savedLimit;
      lowered.rlim_cur = 8;
      QVERIFY(::setrlimit(RLIMIT_FSIZE, &lowered) == 0);
    }
    const QString error = SaveConfigFile(target, kHeader, DeviceConfig{}, FilterList{});
    if (limited) {
      QVERIFY(::setrlimit(RLIMIT_FSIZE, &savedLimit) == 0);
      QVERIFY(::sigaction(SIGXFSZ, &savedAction, nullptr) == 0);
    }
    QCOMPARE(error, "Unable to write to " + target);
    QFile::setPermissions(previous, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(ReadAll(previous), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name), files);
    if (how == "pipe") QVERIFY(!QFileInfo(target).isFile());
  }
};

QTEST_GUILESS_MAIN(ConfigFileTest)
#include "tst_configfile.moc"
