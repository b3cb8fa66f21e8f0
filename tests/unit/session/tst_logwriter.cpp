#include <QTemporaryDir>
#include <QtTest>

#include "link/Comms.h"
#include "session/LogWriter.h"

using namespace hlx;

namespace {
QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
const QTime kTime(14, 3, 7, 45);
}  // namespace

class LogWriterTest : public QObject {
  Q_OBJECT
 private slots:
  void lineFormats_data() {
    QTest::addColumn<bool>("diagnostic");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("NMEA log is the bare text") << false << int(ChSerial) << true << QByteArray("$PQVXVER");
    QTest::newRow("serial sent") << true << int(ChSerial) << true
                                 << QByteArray("[14:03:07.045 Ser->] $PQVXVER");
    QTest::newRow("UDP received") << true << int(ChUdp) << false
                                  << QByteArray("[14:03:07.045 UDP<-] $PQVXVER");
    QTest::newRow("TCP received") << true << int(ChTcp) << false
                                  << QByteArray("[14:03:07.045 TCP<-] $PQVXVER");
    QTest::newRow("no channel open") << true << int(ChClosed) << true
                                     << QByteArray("[14:03:07.045 ---->] $PQVXVER");
  }
  void lineFormats() {
    QFETCH(bool, diagnostic);
    QFETCH(int, kind);
    QFETCH(bool, sent);
    QFETCH(QByteArray, line);
    QCOMPARE(FormatLogLine(diagnostic, "$PQVXVER", sent ? LogDirection::Sent : LogDirection::Received,
                           static_cast<std::uint8_t>(kind), kTime),
             line);
  }

  void midnightAndTwentyFourHourClock() {
    QCOMPARE(FormatLogLine(true, "x", LogDirection::Received, ChSerial, QTime(23, 59, 59, 999)),
             QByteArray("[23:59:59.999 Ser<-] x"));
    QCOMPARE(FormatLogLine(true, "x", LogDirection::Received, ChSerial, QTime(0, 0)),
             QByteArray("[00:00:00.000 Ser<-] x"));
  }

  void sessionLogHoldsBothDirectionsWithCrlfAndCounts() {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    QVERIFY(QFile(path).open(QIODevice::WriteOnly));  // an existing file is overwritten
    LogWriter log;
    QCOMPARE(log.Start(path, false), QString());
    QVERIFY(log.LogActive());
    QVERIFY(!log.LogDiagnostic());
    QCOMPARE(log.WriteLog("$GPRMC,1,2", LogDirection::Received, ChUdp, kTime), QString());
    QCOMPARE(log.WriteLog("$PQVXVER", LogDirection::Sent, ChUdp, kTime), QString());
    QCOMPARE(log.LogLines(), 2);
    QCOMPARE(ReadAll(path), QByteArray("$GPRMC,1,2\r\n$PQVXVER\r\n"));  // written at once, not buffered
    log.Stop();
    QVERIFY(!log.LogActive());
    QCOMPARE(log.WriteLog("late", LogDirection::Sent, ChUdp, kTime), QString());
    QCOMPARE(ReadAll(path), QByteArray("$GPRMC,1,2\r\n$PQVXVER\r\n"));

    QCOMPARE(log.Start(path, true), QString());
    QCOMPARE(log.LogLines(), 0);
    log.WriteLog("$GPGGA", LogDirection::Received, ChUdp, kTime);
    QCOMPARE(log.LogLines(), 1);
    QCOMPARE(ReadAll(path), QByteArray("[14:03:07.045 UDP<-] $GPGGA\r\n"));
  }

  void uncreatableFileLeavesLoggingOff() {
    LogWriter log;
    const QString name = "/nonexistent-folder/log.txt";
    QCOMPARE(log.Start(name, true), QString("Error Creating \"/nonexistent-folder/log.txt\""));
    QVERIFY(!log.LogActive());
  }

  void writeErrorStopsLoggingAndReportsIt() {
    if (!QFileInfo(QStringLiteral("/dev/full")).exists()) QSKIP("no /dev/full");
    LogWriter log;
    QCOMPARE(log.Start("/dev/full", false), QString());
    const QString error = log.WriteLog("$GPRMC", LogDirection::Received, ChSerial, kTime);
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains("space", Qt::CaseInsensitive), qPrintable(error));
    QVERIFY(!log.LogActive());
    QCOMPARE(log.LogLines(), 1);  // counted before the failed write
  }
};

QTEST_GUILESS_MAIN(LogWriterTest)
#include "tst_logwriter.moc"
