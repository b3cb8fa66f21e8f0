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
constexpr auto kShared = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

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
    QVERIFY(m_device.bind(kDevice, kNmeaPort, kShared));
    QVERIFY(m_stranger.bind(kStranger, 0));
  }
  void init() { m_probe = std::make_unique<LinkProbe>(); }
  void cleanup() { m_probe.reset(); }

  // Lines may span datagrams; a close drops the half line and what comes later.
  void datagramsAreCutIntoLines_untilTheClose() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    FromDevice("$A");
    FromDevice("\r\n$B\r\n$C");
    FromDevice("\r\n$HALF");
    QTRY_COMPARE(m_probe->lines, (QStringList{"$A\r\n", "$B\r\n", "$C\r\n"}));
    m_probe->comm->Close();
    FromDevice("\r\n$LATE\r\n");
    QTest::qWait(200);
    QCOMPARE(m_probe->lines.size(), 3);
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    FromDevice("\r\n$NEW\r\n");
    QTRY_COMPARE(m_probe->lines, (QStringList{"$A\r\n", "$B\r\n", "$C\r\n", "$NEW\r\n"}));
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
    QTRY_VERIFY(m_probe->lines.contains("$DEV\r\n"));
    QTest::qWait(100);
    QCOMPARE(m_probe->lines, expected);
  }

  void bytesBeyond8192InADatagram_areIgnored() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 0), ChUdp);
    QByteArray datagram;
    while (datagram.size() < 8188) datagram += "$" + QByteArray(8, 'x') + "\r\n";  // 11-byte lines
    datagram.truncate(8188);          // 744 whole lines and "$xxx"
    datagram += "xxxx\r\n$TAIL\r\n";  // the CR LF of the line at byte 8192 is past the limit
    FromDevice(datagram);
    FromDevice("$NEXT\r\n");
    // The cut line is still open when the next datagram comes; it takes that text.
    QTRY_COMPARE(m_probe->lines.size(), 745);
    QVERIFY(!m_probe->lines.contains("$TAIL\r\n"));
    QCOMPARE(m_probe->lines.last(), QStringLiteral("$xxxxxxx$NEXT\r\n"));
  }

  // A sentence goes to the device as one datagram from port 10110; frames do
  // not travel over UDP at all.
  void send_oneDatagramToTheDevice_noFrames() {
    QCOMPARE(m_probe->comm->Open(ChUdp, kDevice.toString(), 1), ChUdp);
    m_probe->comm->Send("PQVXVER");
    QTRY_VERIFY(m_device.hasPendingDatagrams());
    const QNetworkDatagram d = m_device.receiveDatagram();
    QCOMPARE(d.data(), QByteArray("$PQVXVER*4E\r\n"));
    QCOMPARE(d.senderPort(), int(kNmeaPort));
    LoaderFrameRecord record;
    record.length = 4;
    m_probe->comm->SendFrame(record);
    QCOMPARE(m_probe->comm->ReceiveFrame(record), kFrameNone);
    QCOMPARE(record.length, std::uint16_t(4));
    QTest::qWait(100);
    QVERIFY(!m_device.hasPendingDatagrams());
  }

  void portHeldExclusively_throwsReadableError() {
    // A program that took the port without sharing it (our device socket
    // steps aside for the moment, it would keep the other program out).
    m_device.close();
    const auto rebind = qScopeGuard([this] { m_device.bind(kDevice, kNmeaPort, kShared); });
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kNmeaPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
      QSKIP("port 10110 is shared by another test program right now");
    try {
      m_probe->comm->Open(ChUdp, kDevice.toString(), 0);
      QFAIL("no exception");
    } catch (const ESocketError& e) {
      QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("10110")), e.what());
    }
    QCOMPARE(m_probe->comm->ChannelKind(), ChClosed);
  }
};

QTEST_GUILESS_MAIN(UdpChannelTest)
#include "tst_udpchannel.moc"
