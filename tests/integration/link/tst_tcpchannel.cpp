#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "LinkProbe.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// Our own loopback address, away from the simulator's 127.0.0.2.
const QString kDeviceAddress = QStringLiteral("127.0.0.51");

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

QByteArray ReadFor(QTcpSocket& s, int ms, qsizetype expected) {
  QElapsedTimer timer;
  timer.start();
  QByteArray got;
  while (got.size() < expected && timer.elapsed() < ms) {
    if (s.bytesAvailable() == 0) s.waitForReadyRead(50);
    got += s.readAll();
  }
  return got;
}

}  // namespace

// TComm's TCP channel against a plain server playing the device.
class TcpChannelTest : public QObject {
  Q_OBJECT

  QTcpServer m_server;
  std::unique_ptr<LinkProbe> m_probe;
  QTcpSocket* m_peer = nullptr;

  bool Connect() {
    if (m_probe->comm->Open(ChTcp, kDeviceAddress, 0) != ChTcp) return false;
    if (!m_server.waitForNewConnection(5000)) return false;
    m_peer = m_server.nextPendingConnection();
    return m_peer != nullptr;
  }

 private slots:
  void initTestCase() {
    // Loopback only: no system proxy look-up.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QVERIFY2(m_server.listen(QHostAddress(kDeviceAddress), kNmeaPort), "port 10110 taken");
  }
  void init() { m_probe = std::make_unique<LinkProbe>(); }
  void cleanup() {
    m_probe.reset();
    delete m_peer;
    m_peer = nullptr;
  }

  void linesSplitAcrossWrites_arriveWhole() {
    QVERIFY(Connect());
    m_peer->write("junk$PQVXVER,R,3.");
    m_peer->flush();
    QTest::qWait(50);
    m_peer->write("33.1,NAME\r\n\\s:x-1*12\\$GPRMC,1\r\n");
    m_peer->flush();
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->lines,
                              (QStringList{"$PQVXVER,R,3.33.1,NAME\r\n", "\\s:x-1*12\\$GPRMC,1\r\n"}), 5000);
  }

  void send_writesCompletedSentence_andRefusesOverlongOnes() {
    QVERIFY(Connect());
    m_probe->comm->Send(std::string("PQVXFL,C,") + std::string(120, 'A'));
    QVERIFY(!m_probe->comm->LastSendError().isEmpty());
    m_probe->comm->Send("PQVXCF,C,3");
    const QByteArray expected = QByteArray::fromStdString(CompleteSentence("PQVXCF,C,3"));
    QCOMPARE(ReadFor(*m_peer, 3000, expected.size()), expected);  // nothing of the refused one
    QVERIFY(m_probe->comm->LastSendError().isEmpty());
  }

  void peerClose_endsTheThreadWithOneChannelLost() {
    QVERIFY(Connect());
    m_peer->write("$BYE\r\n");
    m_peer->flush();
    m_peer->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->lostEvents, 1, 5000);
    QCOMPARE(m_probe->lines, QStringList{"$BYE\r\n"});  // what came before the close is kept
    QTRY_VERIFY_WITH_TIMEOUT(!m_probe->comm->ReceiveThreadRunning(), 5000);
    QCOMPARE(m_probe->comm->ChannelKind(), ChTcp);
    // Writing to the dead connection fails with a reason instead of a signal.
    QTest::qWait(100);
    m_probe->comm->Send("PQVXVER");
    QTest::qWait(50);
    m_probe->comm->Send("PQVXVER");
    QVERIFY(!m_probe->comm->LastSendError().isEmpty());
    QTest::qWait(200);
    QCOMPARE(m_probe->lostEvents, 1);
  }

  void close_whileTheThreadWaitsForBytes_isPrompt() {
    QVERIFY(Connect());
    QTest::qWait(100);
    QElapsedTimer timer;
    timer.start();
    m_probe->comm->Close();
    QVERIFY2(timer.elapsed() < 1000, "Close waited for incoming bytes");
    QVERIFY(!m_probe->comm->ReceiveThreadRunning());
    QTRY_COMPARE_WITH_TIMEOUT(m_peer->state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(m_probe->lostEvents, 0);
  }

  void connectRefused_throwsReadableError() {
    // Nothing listens on this address.
    try {
      m_probe->comm->Open(ChTcp, QStringLiteral("127.0.0.52"), 0);
      QFAIL("no exception");
    } catch (const ESocketError& e) {
      QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("127.0.0.52")), e.what());
    }
    QCOMPARE(m_probe->comm->ChannelKind(), ChClosed);
  }

  void frameRoundTrip_andTimeout() {
    QVERIFY(Connect());
    m_probe->comm->EnterLoaderMode();
    LoaderFrameRecord out;
    out.length = 2;
    out.data[0] = 0xFE;
    out.data[1] = 0x10;
    m_probe->comm->SendFrame(out);
    QCOMPARE(ReadFor(*m_peer, 3000, 5), QByteArray::fromHex("FEFFFE10FD"));

    m_peer->write(QByteArray::fromHex("FE0102FD"));
    m_peer->flush();
    LoaderFrameRecord in;
    QCOMPARE(m_probe->comm->ReceiveFrame(in), kFrameReady);
    QCOMPARE(Payload(in), QByteArray::fromHex("0102"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_probe->comm->ReceiveFrame(in), kFrameTimeout);
    QVERIFY(timer.elapsed() >= 1990);
  }

  // A firmware update runs inside the dispatcher, which holds RxLock: frames
  // must still get through, and the lines held back meanwhile are not lost.
  void frameArrives_whileTheWindowHoldsRxLock() {
    QVERIFY(Connect());
    std::unique_lock lock(m_probe->comm->RxLock());
    m_peer->write("$L1\r\n$L2\r\n");
    m_peer->flush();
    QTest::qWait(100);
    m_probe->comm->EnterLoaderMode();
    m_peer->write(QByteArray::fromHex("FE55FD"));
    m_peer->flush();
    LoaderFrameRecord in;
    QCOMPARE(m_probe->comm->ReceiveFrame(in), kFrameReady);
    QCOMPARE(Payload(in), QByteArray::fromHex("55"));
    m_probe->comm->LeaveLoaderMode();
    lock.unlock();
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->lines, (QStringList{"$L1\r\n", "$L2\r\n"}), 5000);
  }

  void frameCallsOnAClosedChannel_doNothing() {
    LoaderFrameRecord in;
    in.length = 9;
    QCOMPARE(m_probe->comm->ReceiveFrame(in), kFrameNone);
    QCOMPARE(in.length, std::uint16_t(9));
    m_probe->comm->SendFrame(in);
    m_probe->comm->EnterLoaderMode();
    m_probe->comm->Send("PQVXVER");
    QVERIFY(!m_probe->comm->LastSendError().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TcpChannelTest)
#include "tst_tcpchannel.moc"
