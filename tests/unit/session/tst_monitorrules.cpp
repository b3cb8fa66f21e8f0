// Pure rules of the traffic monitor, its log and the connection panel.

#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QtTest>

#include <cerrno>

#include "link/ChannelIo.h"
#include "link/Comms.h"
#include "session/ConnectionRules.h"
#include "session/LogWriter.h"
#include "session/TrafficView.h"

using namespace hlx;

namespace {

struct Text {
  QByteArray line;
  bool showTag;
  QByteArray logged;  // "-" for nothing
  QString shown;      // "-" for nothing
};

struct Format {
  bool diagnostic;
  std::uint8_t channelKind;
  LogDirection direction;
  QTime time;
  QByteArray line;
};

const QTime kTime(14, 3, 7, 45);

}  // namespace

class MonitorRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void loggedAndShownText_data() {
    QTest::addColumn<Text>("text");
    const QByteArray tagged("\\s:x-1*hh\\$GPRMC,1\r\n");
    QTest::newRow("TAG hidden") << Text{tagged, false, "$GPRMC,1", "$GPRMC,1"};
    QTest::newRow("TAG shown") << Text{tagged, true, "\\s:x-1*hh\\$GPRMC,1", "\\s:x-1*hh\\$GPRMC,1"};
    QTest::newRow("just CR LF") << Text{"\r\n", false, "-", "-"};
    QTest::newRow("start char and CR LF") << Text{"$\r\n", false, "$", "$"};
    QTest::newRow("TAG then nothing") << Text{"\\s:x-1*hh\\\r\n", false, "-", "-"};
    QTest::newRow("C1 control bytes: dots too")
        << Text{"$GP\x85X\x9f\xa0\r\n", false, "$GP\x85X\x9f\xa0", QString::fromLatin1("$GP.X.\xa0")};
    QTest::newRow("cut at NUL") << Text{QByteArray("$GPGLL,1\0junk\r\n", 15), false, "$GPGLL,1", "$GPGLL,1"};
    QTest::newRow("latin-1 byte kept")
        << Text{"$GP\xb0X\r\n", false, "$GP\xb0X", QString::fromLatin1("$GP\xb0X")};
  }
  void loggedAndShownText() {
    QFETCH(Text, text);
    const std::string_view raw(text.line.constData(), static_cast<std::size_t>(text.line.size()));
    const auto logged = LoggedText(raw, text.showTag);
    QCOMPARE(logged ? QByteArray(logged->data(), static_cast<qsizetype>(logged->size())) : "-", text.logged);
    QCOMPARE(DisplayText(raw, text.showTag).value_or(QStringLiteral("-")), text.shown);
  }

  // A noisy line must not add a row per piece of garbage: the table would
  // grow without end and every new line be compared with every row.
  void noScrollGarbageSharesOneRowAndTheTableIsBounded() {
    TrafficView view;
    view.SetNoScroll(true);
    view.Add(QStringLiteral("$GPRMC,1"));
    for (const char* garbage : {"$g4rb4,1", "$GP\xb0RMC,1", "$GPRM", "!AB,1", "$$$", "\\x\\$H.DG,1"})
      view.Add(QString::fromLatin1(garbage));
    view.Add(QStringLiteral("$GPRMC,2"));
    QCOMPARE(view.Lines(), (QStringList{"$GPRMC,2", "\\x\\$H.DG,1"}));

    view.Clear();
    for (int i = 0; i < kMaxTableRows + 100; ++i)
      view.Add(QStringLiteral("$P%1,1").arg(i, 4, 10, QLatin1Char('0')));
    QCOMPARE(view.Lines().size(), kMaxTableRows);
    QCOMPARE(view.Lines().first(), QStringLiteral("$P0100,1"));
    view.Add(QStringLiteral("$P0100,2"));  // its row is still known
    QCOMPARE(view.Lines().first(), QStringLiteral("$P0100,2"));
  }

  void overflowDigitSwitchesLeds_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<uint>("bits");
    for (auto [line, bits] : {std::pair{"$PQVXOV,13", 1u},
                              {"$PQVXOV,F", 15u},
                              {"$PQVXOV,c", 12u},
                              {"$PQVXOV,Z", 0u},
                              {"$PQVXOV,", 0u},
                              {"$PQVXOV", 0u}})
      QTest::newRow(line) << QByteArray(line) + "\r\n" << bits;
  }
  void overflowDigitSwitchesLeds() {
    QFETCH(QByteArray, line);
    QFETCH(uint, bits);
    QCOMPARE(OverflowBits(line.toStdString()), bits);
  }

  // Both generations read the VER reply and its capability word with these rules.
  void verReplyAndCapabilityWord_data() {
    QTest::addColumn<QByteArray>("fields");
    // version|name|serial|word: valid supported served updatable hostKind word
    QTest::addColumn<QString>("read");
    QTest::newRow("USB, updatable") << QByteArray("3.33.1,HLX-4,12345,8041")
                                    << "3.33.1|HLX-4|12345|8041: 1 1 1 1 1 32833";
    QTest::newRow("bit 15 clear") << QByteArray("2.12.0,HLX2000,1,0041")
                                  << "2.12.0|HLX2000|1|0041: 1 0 0 0 1 65";
    QTest::newRow("bit 13 set: served by the older windows only")
        << QByteArray("3.33.1,N,S,A000") << "3.33.1|N|S|A000: 1 0 1 0 0 40960";
    QTest::newRow("wireless") << QByteArray("3.33.1,N,S,8003") << "3.33.1|N|S|8003: 1 1 1 0 3 32771";
    QTest::newRow("lower case, bit 6 of another family")
        << QByteArray("2.12.0,N,S,c0fe") << "2.12.0|N|S|c0fe: 1 0 1 0 2 49406";
    QTest::newRow("not hexadecimal") << QByteArray("3.33.1,N,S,80G1") << "3.33.1|N|S|80G1: 0 0 0 0 -1 0";
    QTest::newRow("prefix") << QByteArray("3.33.1,N,S,0x80") << "3.33.1|N|S|0x80: 0 0 0 0 -1 0";
    QTest::newRow("sign") << QByteArray("3.33.1,N,S,+800") << "3.33.1|N|S|+800: 0 0 0 0 -1 0";
    QTest::newRow("five characters are no word")
        << QByteArray("3.33.1,N,S,80411") << "3.33.1|N|S|-: 0 0 0 0 -1 0";
    QTest::newRow("no field 4") << QByteArray("2.12.0,HLX") << "2.12.0|HLX||-: 0 0 0 0 -1 0";
  }
  void verReplyAndCapabilityWord() {
    QFETCH(QByteArray, fields);
    QFETCH(QString, read);
    const VerReply r = ParseVerReply(("$PQVXVER," + fields + "*00\r\n").toStdString());
    const Capabilities c = ParseCapabilities(r.caps);
    QCOMPARE(QStringLiteral("%1|%2|%3|%4: %5 %6 %7 %8 %9 %10")
                 .arg(r.version, r.name, r.serial, r.hasCaps ? r.caps : QStringLiteral("-"))
                 .arg(int(c.valid))
                 .arg(int(c.supported))
                 .arg(int(c.served))
                 .arg(int(c.updatable))
                 .arg(c.hostKind)
                 .arg(c.word),
             read);
  }

  // Only a group that may read and write the device is worth joining.
  void openAdviceNamesAGroupOnlyWhenItGrantsAccess() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyTEST"));
    QFile device(path);
    QVERIFY(device.open(QIODevice::WriteOnly));
    device.close();
    const QByteArray p = QFile::encodeName(path);
    if (::getegid() == 0) QCOMPARE(::chown(p.constData(), static_cast<uid_t>(-1), 1), 0);
    QCOMPARE(::chmod(p.constData(), 0600), 0);
    QVERIFY(SerialOpenAdvice(path, EACCES).contains(QStringLiteral("Ask your administrator")));
    QCOMPARE(::chmod(p.constData(), 0660), 0);
    QVERIFY(SerialOpenAdvice(path, EACCES).contains(QStringLiteral("belongs to the group")));
  }
};

QTEST_GUILESS_MAIN(MonitorRulesTest)
#include "tst_monitorrules.moc"
