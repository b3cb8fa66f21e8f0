#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <QtTest>

#include "LinkProbe.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// The device and a stranger on loopback addresses of their own; TComm
// listens on every address, so datagrams to 127.0.0.1 reach it.
const QHostAddress kDevice(QStringLiteral("127.0.0.61"));
const QHostAddress kStranger(QStringLiteral("127.0.0.62"));
const QHostAddress kProgram(QStringLiteral("127.0.0.1"));

}  // namespace

class UdpChannelTest : public QObject {
  Q_OBJECT

  QUdpSocket m_device;
  QUdpSocket m_stranger;
  std::unique_ptr<LinkProbe> m_probe;

  void FromDevice(const QByteArray& bytes) {
    QVERIFY(m_device.writeDatagram(bytes, kProgram, kNmeaPort) >= 0);
  }

 private slots:
  void initTestCase() {
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QVERIFY(
        m_device.bind(kDevice, kNmeaPort, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
    QVERIFY(m_stranger.bind(kStranger, 0));
  }
  void init() { m_probe = std::make_unique<LinkProbe>(); }
  void cleanup() { m_probe.reset(); }

  void lineAcrossTwoDatagrams_isOneLine() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    FromDevice("$A");
    FromDevice("\r\n$B\r\n$C");
    FromDevice("\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->lines, (QStringList{"$A\r\n", "$B\r\n", "$C\r\n"}), 5000);
  }

  void senderFilter_dropsWholeDatagramsFromOtherAddresses_data() {
    QTest::addColumn<int>("param");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("filter on: the stranger's complete line is dropped") << 1 << QStringList{"$DEV\r\n"};
    QTest::newRow("filter off: both arrive") << 0 << QStringList{"$OTHER\r\n", "$DEV\r\n"};
  }
  void senderFilter_dropsWholeDatagramsFromOtherAddresses() {
    QFETCH(int, param);
    QFETCH(QStringList, expected);
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), param), ChUdp);
    QCOMPARE(m_probe->comm->SenderFilter(), param == 1);
    QVERIFY(m_stranger.writeDatagram("$OTHER\r\n", kProgram, kNmeaPort) >= 0);
    QTest::qWait(100);
    FromDevice("$DEV\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(m_probe->lines.contains("$DEV\r\n"), 5000);
    QTest::qWait(100);
    QCOMPARE(m_probe->lines, expected);
  }

  void bytesBeyond8192InADatagram_areIgnored() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    QByteArray datagram;
    while (datagram.size() < 8188) datagram += "$" + QByteArray(8, 'x') + "\r\n";  // 11-byte lines
    datagram.truncate(8188);  // 744 whole lines and "$xxx"
    const int whole = 8188 / 11;
    datagram += "xxxx\r\n$TAIL\r\n";  // the CR LF of the line at byte 8192 is past the limit
    FromDevice(datagram);
    FromDevice("$NEXT\r\n");
    // The cut line is still open when the next datagram comes; it takes that text.
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->lines.size(), whole + 1, 5000);
    QVERIFY(!m_probe->lines.contains("$TAIL\r\n"));
    QCOMPARE(m_probe->lines.last(), QStringLiteral("$xxxxxxx$NEXT\r\n"));
  }

  void send_goesToTheDeviceAsOneDatagramFromPort10110() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 1), ChUdp);
    m_probe->comm->Send("PQVXVER");
    QTRY_VERIFY_WITH_TIMEOUT(m_device.hasPendingDatagrams(), 5000);
    const QNetworkDatagram d = m_device.receiveDatagram();
    QCOMPARE(d.data(), QByteArray::fromStdString(CompleteSentence("PQVXVER")));
    QCOMPARE(d.senderPort(), int(kNmeaPort));
  }

  void frames_areNotCarriedOverUdp() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    LoaderFrameRecord record;
    record.length = 4;
    m_probe->comm->SendFrame(record);
    QCOMPARE(m_probe->comm->ReceiveFrame(record), kFrameNone);
    QCOMPARE(record.length, std::uint16_t(4));
    QTest::qWait(100);
    QVERIFY(!m_device.hasPendingDatagrams());
  }

  void closedChannel_dropsLaterDatagrams() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    FromDevice("$HALF");
    QTest::qWait(100);
    m_probe->comm->Close();
    FromDevice("\r\n$LATE\r\n");
    QTest::qWait(200);
    QCOMPARE(m_probe->lines, QStringList{});
    // A new open starts clean: the half line before the close is gone.
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    FromDevice("\r\n$NEW\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->lines, QStringList{"$NEW\r\n"}, 5000);
  }

  void portHeldExclusively_throwsReadableError() {
    // A program that took the port without sharing it (our device socket
    // steps aside for the moment, it would keep the other program out).
    m_device.close();
    const auto rebind = qScopeGuard([this] {
      m_device.bind(kDevice, kNmeaPort, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
    });
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kNmeaPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
      ::close(fd);
      QSKIP("port 10110 is shared by another test program right now");
    }
    try {
      m_probe->comm->Open(ChUdp, kDevice.toString(), 0);
      ::close(fd);
      QFAIL("no exception");
    } catch (const ESocketError& e) {
      ::close(fd);
      QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("10110")), e.what());
    }
    QCOMPARE(m_probe->comm->ChannelKind(), ChClosed);
  }
};

QTEST_GUILESS_MAIN(UdpChannelTest)
#include "tst_udpchannel.moc"
