// The older generations' core without a window: replies split into what
// they set, the filter list, the file mapping, the model layouts and the Port
// value at a hand-over, all as tables.
#include <QTemporaryDir>
#include <QtTest>

#include "TestFiles.h"
#include "config/Profile.h"
#include "legacy/LegacyConfigFile.h"
#include "legacy/LegacyFilterList.h"
#include "legacy/LegacyModel.h"
#include "legacy/LegacyProtocol.h"
#include "session/VersionCheck.h"

using namespace hlx;
using namespace hlx::legacy;

namespace {

const Generation& Gen4() { return GenerationFor(4); }

std::string Line(const QString& body) { return body.toStdString() + "\r\n"; }

QString Opt(const std::optional<bool>& b) {
  return b ? (*b ? QStringLiteral("1") : QStringLiteral("0")) : QStringLiteral("-");
}
QString Opt(const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("-"); }

// host mode | SeaTalk Priority ChannelNumbers ChannelIds HDG AIS | real-time 1..4
QString Describe(const CfReply& r) {
  QString s = Opt(r.hostSpeed) + Opt(r.mode) + u'|';
  for (const auto& o : r.options) s += Opt(o);
  s += u'|';
  for (const auto& o : r.realTime) s += Opt(o);
  return s;
}

QString Describe(const LegacyFilterList& list) {
  QStringList rows;
  for (const FilterEntry& e : list.Entries()) rows << e.sentence + u' ' + e.flags + u' ' + e.divisor;
  return rows.join(u';');
}

QString Describe(const FileSettings& s) {
  QString t;
  for (bool b : s.options) t += b ? u'1' : u'0';
  t += QStringLiteral(" m%1 ").arg(s.mode);
  for (bool b : s.realTime) t += b ? u'1' : u'0';
  t += u' ';
  for (const QString& id : s.talkerIds) t += u'[' + id + u']';
  t += u' ';
  for (int v : s.speeds) t += QString::number(v);
  return t;
}

// "full|simple height boxes": boxes as letters in Option order (S P N I H A),
// "p" when the priority box is the SeaTalk one, "d" with the divisor column.
QString Describe(const ModelLayout& l) {
  QString boxes;
  for (int o = 0; o < kOptionCount; ++o)
    if (l.shown[static_cast<std::size_t>(o)]) boxes += QStringLiteral("SPNIHA")[o];
  return QStringLiteral("%1 %2 %3%4%5")
      .arg(l.full ? "full" : "simple")
      .arg(l.optionsHeight)
      .arg(boxes, l.priorityAsSeaTalk ? "p" : "", l.divisorColumn ? "d" : "");
}

}  // namespace

class LegacyCoreTest : public QObject {
  Q_OBJECT
 private slots:

  void cfReply_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("sets");  // host mode | SeaTalk Prio ChNo ChIDs HDG AIS | real-time
    const auto row = [](const char* name, int generation, const char* line, const char* sets) {
      QTest::newRow(name) << generation << QString(line) << QString(sets);
    };
    row("mixed fields", 4, "$PQVXCF,2,1,,1,0,1010,,1*00", "21|-10--1|1010");
    row("all set", 4, "$PQVXCF,0,2,1,0,1,0001,1,0", "02|101-10|0001");
    row("other characters leave boxes", 4, "$PQVXCF,9,7,x,2,,1x0", "--|------|1-0-");
    row("short sentence", 4, "$PQVXCF,1", "1-|------|----");
    row("generation 2 layout", 2, "$PQVXCF,1,0,1,0,1,1,0110,1", "10|10111-|0110");
    row("generation 1 layout", 1, "$PQVXCF,2,1,1,0,1,1000,1", "21|-1011-|1000");
    row("generation 3 layout, mode AIS", 3, "$PQVXCF,1,3,0,1,1,0011,1", "13|011-1-|0011");
    row("generation 4 has no mode AIS", 4, "$PQVXCF,1,3", "1-|------|----");
  }
  void cfReply() {
    QFETCH(int, generation);
    QFETCH(QString, line);
    QFETCH(QString, sets);
    QCOMPARE(Describe(ParseCf(GenerationFor(generation), Line(line))), sets);
  }

  void otherReplies_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("sets");
    const auto row = [](const char* line, const char* sets) {
      QTest::newRow(line) << QString(line) << QString(sets);
    };
    row("$PQVXSP,3,,1", "3-1--");
    row("$PQVXSP,4,0,1,2,3", "-0123");  // 4 is out of range
    row("$PQVXID,GP,,II,X*", "[GP]-[II][X]");
    row("$PQVXID,G$,ABC", "[G][AB]--");
    row("$PQVXOV,5", "ov5");
    row("$PQVXOV,F", "ov15");
    row("$PQVXOV,:", "ov-");
    row("$PQVXCN,5", "cn-");  // names no input
    row("$PQVXFL,", "fl end");
  }
  void otherReplies() {
    QFETCH(QString, line);
    QFETCH(QString, sets);
    const std::string l = Line(line);
    QString got;
    switch (KindOf(l)) {
      case ReplyKind::Sp:
        for (const auto& v : ParseSp(l).speeds) got += Opt(v);
        break;
      case ReplyKind::Id:
        for (const auto& id : ParseId(l).ids) got += id ? u'[' + *id + u']' : QStringLiteral("-");
        break;
      case ReplyKind::Ov: got = QStringLiteral("ov") + Opt(ParseOv(l)); break;
      case ReplyKind::Cn: got = QStringLiteral("cn") + Opt(ParseCn(l)); break;
      case ReplyKind::Fl: {
        const FlReply r = ParseFl(l);
        got = r.end ? QStringLiteral("fl end")
                    : QStringLiteral("fl %1 %2 %3").arg(r.sentence, r.flags, r.divisor);
        break;
      }
      case ReplyKind::Ver: got = QStringLiteral("ver"); break;
      default: got = QStringLiteral("other");
    }
    QCOMPARE(got, sets);
  }

  // Generation 1: serial number and version name the model class, which decides the layout.
  void modelClass_data() {
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("modelClass");
    QTest::addColumn<QString>("layout");
    const auto row = [](const char* serial, const char* version, int previous, int modelClass,
                        const char* layout) {
      QTest::newRow(serial) << QString(serial) << QString(version) << previous << modelClass
                            << QString(layout);
    };
    row("40012", "1.42", 0, 3, "full 73 PNI");     // version 1: full without HDG
    row("80012", "2.01", 19, 19, "full 89 PNIH");  // 8 keeps the class
    row("8", "2.01", 0, 0, "simple 0 ");           // 8 after creation
    row("a0", "2.01", 3, 3, "full 73 PNI");        // lower-case a is model 10
    row("A0", "2.01", 3, 17, "full 89 PNIH");      // upper-case A is model 0
  }
  void modelClass() {
    QFETCH(QString, serial);
    QFETCH(QString, version);
    QFETCH(int, previous);
    QFETCH(int, modelClass);
    QFETCH(QString, layout);
    const std::uint16_t c = ModelClassFor(serial, version, static_cast<std::uint16_t>(previous));
    QCOMPARE(int(c), modelClass);
    QCOMPARE(Describe(LayoutForModelClass(c)), layout);
  }

  void filterListIsLimitedToFiftyEvenForAMerge() {
    LegacyFilterList l(Gen4());
    for (int i = 0; i < kMaxFilterEntries; ++i)
      QCOMPARE(l.AddFilterEntry(QStringLiteral("GP%1").arg(i, 3, 10, QLatin1Char('0')), "00000", {}),
               kFilterAdded);
    QCOMPARE(l.AddFilterEntry("GP000", "11111", {}), kFilterFull);
    QCOMPARE(l.AddFilterEntry("RMC", "11111", {}), kFilterFull);  // the full list is reported first
    QCOMPARE(l.Entries().front().flags, QStringLiteral("00000"));
    l.Delete(0);
    QCOMPARE(l.AddFilterEntry("GPRMC", "1", {}), kFilterAdded);
  }

  void fileMapping_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("settings");  // options in Option order, mode, real-time, IDs, speeds
    QTest::addColumn<QString>("list");      // "GPZDA 11111 " was in the list before
    QTest::newRow("missing keys read as defaults") << 4 << "[Configuration]\r\n"
                                                   << "000000 m0 0000 [][][][] 00003"
                                                   << "GPZDA 11111 ";
    QTest::newRow("keys in other case, filter replaced")
        << 4
        << "[CONFIGURATION]\r\npriority=1\r\nseatalk=2\r\nMODE=2\r\nrealtime ch.3=1\r\ntalker id2=gp\r\n"
           "baud in1=3\r\nBAUD OUT2=1\r\n[filter]\r\nGPRMC=01000,2\r\nGGA=00100\r\ngpgga=10000\r\n"
        << "110000 m2 0010 [][gp][][] 30001"
        << "GPRMC 01000 2;GPGGA 10000 ";
    QTest::newRow("out of range values read as defaults")
        << 4
        << "[Configuration]\r\nMode=3\r\nBaud In2=-1\r\nBaud Out2=x\r\nAIS Mode=yes\r\nTalker ID1=G,\x01\r\n"
           "Channel Numbers=99999999999999999999\r\n[Filter]\r\n"
        << "000000 m0 0000 [G][][][] 00003"
        << "GPZDA 11111 ";
    QTest::newRow("generation 1 has no SeaTalk, AIS or speeds")
        << 1
        << "[Configuration]\r\nSeaTalk=1\r\nAIS Mode=1\r\nChannel IDs=1\r\nBaud "
           "In1=2\r\n[Filter]\r\nRMC=11000\r\n"
        << "000100 m0 0000 [][][][] 00003"
        << "RMC 11000 ";
    QTest::newRow("generation 2 keeps channel IDs and the mode AIS")
        << 2
        << "[Configuration]\r\nSeaTalk=1\r\nChannel IDs=1\r\nHDG Translation=1\r\nAIS Mode=1\r\nMode=3\r\n"
           "Baud In1=2\r\n[Filter]\r\nGPRMC=01000,2\r\n"
        << "100110 m3 0000 [][][][] 00003"
        << "GPRMC 01000 2";
    QTest::newRow("generation 3 has no channel IDs")
        << 3 << "[Configuration]\r\nChannel IDs=1\r\nSeaTalk=1\r\n"
        << "100000 m0 0000 [][][][] 00003"
        << "GPZDA 11111 ";
  }
  void fileMapping() {
    QFETCH(int, generation);
    QFETCH(QString, file);
    QFETCH(QString, settings);
    QFETCH(QString, list);
    const Generation& gen = GenerationFor(generation);
    Profile p;
    p.Parse(file.toLatin1());
    LegacyFilterList l(gen);
    l.AddFilterEntry(gen.sentenceLength == 5 ? "GPZDA" : "ZDA", "11111", {});
    const FileSettings s = ReadLegacyConfig(p, gen, l);
    QCOMPARE(Describe(s), settings);
    QCOMPARE(Describe(l), list);
  }

  void savingOverAFileDropsRemovedEntriesAndKeepsOthers() {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("boat.hlx"));
    hlx::test::WriteText(name, "[Notes]\r\nowner=me\r\n[Filter]\r\nGPRMC=01000,2\r\nGPGGA=10000,\r\n");
    LegacyFilterList l(Gen4());
    LoadLegacyConfigFile(name, Gen4(), l);
    QCOMPARE(Describe(l), QStringLiteral("GPRMC 01000 2;GPGGA 10000 "));
    l.Delete(0);
    QString error;
    QVERIFY2(SaveLegacyConfigFile(name, Gen4(), FileSettings{}, l, &error), qPrintable(error));
    Profile saved;
    QVERIFY(saved.Load(name));
    QCOMPARE(saved.SectionNames(), (QStringList{"Notes", "Configuration", "Filter"}));
    QCOMPARE(saved.ReadString("Notes", "owner"), QStringLiteral("me"));
    QCOMPARE(saved.Keys("Filter"), QStringList{"GPGGA"});
  }

  // The stored Port and BaudRate in the numbering of the window a hand-over starts.
  void settingsAtAHandOver_data() {
    QTest::addColumn<bool>("port");
    QTest::addColumn<QList<int>>("storedFromTo");
    QTest::addColumn<int>("converted");
    QTest::newRow("current TCP to legacy: no selection") << true << QList<int>{2, 0, 4} << 1;
    QTest::newRow("legacy no port to current") << true << QList<int>{1, 4, 0} << -1;
    QTest::newRow("unknown FormID counts as current") << true << QList<int>{3, 7, 4} << 2;
    QTest::newRow("38400 stays") << false << QList<int>{3, 0, 4} << 3;
    QTest::newRow("current Automatic") << false << QList<int>{6, 0, 4} << 4;
    QTest::newRow("115200 is not in the older list") << false << QList<int>{5, 0, 4} << -1;
    QTest::newRow("legacy Automatic") << false << QList<int>{4, 4, 0} << 6;
    QTest::newRow("speed between legacy windows") << false << QList<int>{4, 4, 2} << 4;
  }
  void settingsAtAHandOver() {
    QFETCH(bool, port);
    QFETCH(QList<int>, storedFromTo);
    QFETCH(int, converted);
    const auto convert = port ? &PortForForm : &BaudRateForForm;
    QCOMPARE(convert(storedFromTo[0], storedFromTo[1], storedFromTo[2]), converted);
  }
};

QTEST_GUILESS_MAIN(LegacyCoreTest)
#include "tst_legacycore.moc"
