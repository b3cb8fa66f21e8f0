// The simulator in-process: the older generations' answers to literal
// commands, never checked against the program's code, so that a misreading
// shared by the program and its peer shows. The current generation's answers
// are met with literal bytes by the window's tests.
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
