// The simulator in-process: the device's answers to literal commands, never
// checked against the program's code, so that a misreading shared by the
// program and its peer shows. Its sentence writer and reader meet the
// program's on every line of the other tests.
#include <QtTest>

#include "SimDevice.h"
#include "SimSentence.h"

using namespace hlx::sim;

namespace {

// Sends commands (separated by ';') as the program does, with checksum and
// CR LF, and returns the replies to the last one without checksum and line end.
QStringList Send(SimDevice& d, const QString& commands) {
  QStringList replies;
  for (const QString& c : commands.split(QLatin1Char(';'))) {
    replies.clear();
    for (const std::string& r : d.ReceiveLine(WireSentence(c.toStdString())))
      replies << QString::fromStdString(r.substr(0, r.rfind('*')));
  }
  return replies;
}

}  // namespace

class SimDeviceTest : public QObject {
  Q_OBJECT
 private slots:
  // Generation 4: positional fields without a command letter; settings are
  // silent and show in the next query.
  void gen4AnswersQueriesWithItsSettings_data() {
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QStringList>("replies");
    QTest::newRow("version") << "PQVXVER" << QStringList{"$PQVXVER,2.12.0,HLX2000,20261206,8000"};
    QTest::newRow("factory CF") << "PQVXCFQ" << QStringList{"$PQVXCF,3,0,0,0,0,0100,1,0"};
    QTest::newRow("CF fields one at a time, empty ones kept")
        << "PQVXCF,1;PQVXCF,,2;PQVXCF,,,1;PQVXCF,,,,1;PQVXCF,,,,,1;PQVXCF,,,,,,1x01;PQVXCF,,,,,,,0;"
           "PQVXCF,,,,,,,,1;PQVXCF,,7,x;PQVXCFQ"
        << QStringList{"$PQVXCF,1,2,1,1,1,1101,0,1"};
    QTest::newRow("setting commands are not answered") << "PQVXCF,,,1" << QStringList{};
    QTest::newRow("SP, out-of-range index ignored")
        << "PQVXSP,3,,2,9,1;PQVXSPQ" << QStringList{"$PQVXSP,3,0,2,3,1"};
    QTest::newRow("ID, cut to two characters")
        << "PQVXID,ii,GPS,,$$;PQVXIDQ" << QStringList{"$PQVXID,II,GP,,"};
    QTest::newRow("filter list with end marker")
        << "PQVXFLQ" << QStringList{"$PQVXFL,GPGSV,10000,", "$PQVXFL,HCHDG,11100,2", "$PQVXFL,"};
    QTest::newRow("filter cleared and refilled")
        << "PQVXFL;PQVXFL,gprmc,01x00,2;PQVXFL,GGA,11111;PQVXFL,GPGGA,1,123;PQVXFLQ"
        << QStringList{"$PQVXFL,GPRMC,01000,2", "$PQVXFL,GPGGA,10000,", "$PQVXFL,"};
  }
  void gen4AnswersQueriesWithItsSettings() {
    QFETCH(QString, commands);
    QFETCH(QStringList, replies);
    SimSettings s;
    s.generation = 4;
    s.firmware = "2.12.0";
    s.caps = "8000";
    s.hostSpeed = 3;
    SimDevice d(s);
    QCOMPARE(Send(d, commands), replies);
  }

  // Replies to the last command: the older generations' mode "AIS" (capability bit 7), no port speeds.
  void olderGenerationsAnswerInTheirLayout_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QString>("caps");
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QStringList>("replies");
    QTest::newRow("2: no mode AIS without bit 7")
        << 2 << "0038"
        << "PQVXCF,,3;PQVXCFQ" << QStringList{"$PQVXCF,3,0,0,0,0,0,0100,1"};
    QTest::newRow("2: mode AIS with bit 7")
        << 2 << "00B8"
        << "PQVXCF,,3;PQVXCFQ" << QStringList{"$PQVXCF,3,3,0,0,0,0,0100,1"};
    QTest::newRow("3: no port speeds") << 3 << "8080"
                                       << "PQVXSP,1;PQVXSPQ" << QStringList{};
  }
  void olderGenerationsAnswerInTheirLayout() {
    QFETCH(int, generation);
    QFETCH(QString, caps);
    QFETCH(QString, commands);
    QFETCH(QStringList, replies);
    SimSettings s;
    s.generation = generation;
    s.caps = caps.toStdString();
    SimDevice d(s);
    QCOMPARE(Send(d, commands), replies);
  }
};

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_simdevice.moc"
