// TComm's three channels end to end: serial (over a pseudo-terminal), TCP
// and UDP. The test plays the device, and a probe stands in for the main
// window and counts the events TComm posts. Last, hlx-sim replays a capture
// at its pace to a TCP host.

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>
#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

#include "SimProcess.h"
#include "Steady.h"
#include "link/Comms.h"

using namespace hlx;

namespace {

// Like the window, drains the queue on each WM_RXDATA.
class LinkProbe : public QObject {
 public:
  LinkProbe() : comm(std::make_unique<TComm>(this)) {}

  std::unique_ptr<TComm> comm;
  QStringList lines;  // as received, CR LF included
  int rxEvents = 0;
  int lostEvents = 0;
  bool autoDrain = true;  // false: lines stay queued, as behind a busy window

  void Drain() {
    comm->DrainRxQueue(
        [this](std::string l) { lines << QString::fromLatin1(l.data(), qsizetype(l.size())); });
  }

  bool event(QEvent* e) override {
    if (e->type() == WM_RXDATA) {
      ++rxEvents;
      if (autoDrain) Drain();
    } else if (e->type() == WM_CHANNELLOST) {
      ++lostEvents;
    } else {
      return QObject::event(e);
    }
    return true;
  }
};

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

// The device's end of a stream channel: the master of a pseudo-terminal
// whose slave TComm opens like a serial port, or the accepted end of TComm's
// TCP connection.
class DeviceEnd {
 public:
  explicit DeviceEnd(int fd = -1, bool socket = false) : m_fd(fd), m_socket(socket) {
    if (m_fd >= 0) ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    const int one = 1;  // as the device: each line goes out when written
    if (m_fd >= 0 && socket) ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  virtual ~DeviceEnd() { Close(); }
  DeviceEnd(const DeviceEnd&) = delete;
  DeviceEnd& operator=(const DeviceEnd&) = delete;

  // Gives up after `ms`: nobody may be reading the other side.
  bool Write(const QByteArray& bytes, int ms = 2000) const {
    const QDeadlineTimer deadline(ms);
    for (qsizetype done = 0; done < bytes.size();) {
      const auto size = std::size_t(bytes.size() - done);
      const ssize_t n = m_socket ? ::send(m_fd, bytes.constData() + done, size, MSG_NOSIGNAL)
                                 : ::write(m_fd, bytes.constData() + done, size);
      if (n > 0) {
        done += n;
      } else if ((n < 0 && errno != EAGAIN && errno != EINTR) || deadline.hasExpired()) {
        return false;
      } else {
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
      }
    }
    return true;
  }

  // Everything that arrives within `ms`, returning early once `expected`
  // bytes are there or the other side was closed.
  QByteArray Read(int ms, qsizetype expected = 1 << 30) {
    QByteArray got;
    const QDeadlineTimer deadline(ms);
    while (!m_ended && !deadline.hasExpired() && got.size() < expected) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, int(deadline.remainingTime())) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(m_fd, buf, sizeof buf);
      if (n > 0) got.append(buf, n);
      // End of the connection, or EIO once no slave descriptor is left.
      m_ended = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
    }
    return got;
  }
  bool SeesClose(int ms) {
    Read(ms);
    return m_ended;
  }

  // The device goes away: the master side closes or the connection ends.
  void Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 protected:
  int m_fd;
  bool m_socket;
  bool m_ended = false;
};

class Pty : public DeviceEnd {
 public:
  Pty() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&m_fd, &slave, name, nullptr, nullptr) != 0) return;
    ::close(slave);  // TComm opens its own descriptor by path
    ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    path = QString::fromLocal8Bit(name);
  }
  QString path;  // of the slave
};

// Listens on `address`, port 10110, like the device does. A silent device
// accepts nothing: one connection waits in its queue of one and the next
// one's handshake goes unanswered.
class TcpDevice : public QTcpServer {
 public:
  explicit TcpDevice(const char* address, bool silent = false) {
    setListenBacklogSize(silent ? 0 : 4);
    listen(QHostAddress(QString::fromLatin1(address)), kNmeaPort);
    if (silent) pauseAccepting();
  }
  // The device end of the connection TComm opened; null when none came.
  std::unique_ptr<DeviceEnd> Accept() {
    if (!hasPendingConnections() && !waitForNewConnection(5000)) return nullptr;
    const std::unique_ptr<QTcpSocket> socket(nextPendingConnection());
    return std::make_unique<DeviceEnd>(::dup(int(socket->socketDescriptor())), true);
  }
};

// Our own loopback addresses, away from the simulator's.
const char* const kDeviceAddress = "127.0.0.51";
const char* const kSilentAddress = "127.0.0.53";
const QHostAddress kUdpDevice(QStringLiteral("127.0.0.61"));

const char* Name(int kind) { return kind == ChSerial ? "serial" : "TCP"; }

void KindRows() {
  QTest::addColumn<int>("kind");
  for (const int kind : {ChSerial, ChTcp}) QTest::newRow(Name(kind)) << kind;
}

}  // namespace

class ChannelsTest : public QObject {
  Q_OBJECT

  TcpDevice m_server{kDeviceAddress};
  TcpDevice m_silent{kSilentAddress, true};
  LinkProbe m_waiting;  // fills its queue

  // Opens `kind` and returns the device's end of the channel.
  std::unique_ptr<DeviceEnd> Connect(LinkProbe& probe, int kind) {
    if (kind == ChTcp) {
      probe.comm->Open(ChTcp, QString::fromLatin1(kDeviceAddress), 0);  // throws when it fails
      return m_server.Accept();
    }
    auto pty = std::make_unique<Pty>();
    if (probe.comm->Open(ChSerial, pty->path, 5) != ChSerial) return nullptr;
    return pty;
  }

 private slots:
  void initTestCase() {
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QVERIFY2(m_server.isListening() && m_silent.isListening(), "port 10110 taken");
    QCOMPARE(m_waiting.comm->Open(ChTcp, kSilentAddress, 0), ChTcp);
  }

  // The device takes 100 characters, CR LF included; a cut command would be
  // another one. After the close the device sees its end of the channel go.
  void send_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("wire");  // empty: refused
    const QByteArray longest = "PQVXFL," + QByteArray(87, 'A');
    for (const int kind : {ChSerial, ChTcp})
      QTest::addRow("%s: 100 characters", Name(kind)) << kind << longest << "$" + longest + "*68\r\n";
    QTest::newRow("101 refused") << int(ChTcp) << longest + "A" << QByteArray();
  }
  void send() {
    QFETCH(int, kind);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, wire);
    LinkProbe probe;
    const auto device = Connect(probe, kind);
    QVERIFY(device);
    probe.comm->Send(text.toStdString());
    QCOMPARE(device->Read(wire.isEmpty() ? 300 : 3000, qMax(wire.size(), 1)), wire);
    QCOMPARE(probe.comm->LastSendError().isEmpty(), !wire.isEmpty());
    probe.comm->Close();
    QVERIFY(device->SeesClose(5000));
  }

  // A conversation is a reply per command: while a trickle of other lines
  // keeps coming, each reply still reaches the window at once, not when the
  // trickle's next wake-up is due (40 ms later; twenty questions took 0.8 s).
  void replies_handedOverAtOnceDuringATrickle_data() { KindRows(); }
  void replies_handedOverAtOnceDuringATrickle() {
    QFETCH(int, kind);
    LinkProbe probe;
    const auto device = Connect(probe, kind);
    QVERIFY(device);
    std::atomic<bool> stop{false};
    std::thread peer([&] {
      QByteArray asked;
      while (!stop) {
        asked += device->Read(5);
        for (qsizetype end; (end = asked.indexOf('\n')) >= 0; asked.remove(0, end + 1))
          device->Write("$PQVXRE," + asked.mid(8, end - 8 - 4) + "\r\n");  // "$PQVXQ?,n*hh\r\n"
        device->Write("$IIMTW,12.5,C*1A\r\n");                             // every 5 ms
      }
    });
    // A failed check returns early: the device thread must still end first.
    const auto joinPeer = qScopeGuard([&] {
      stop = true;
      peer.join();
    });
    constexpr int kQuestions = 20;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kQuestions; ++i) {
      probe.comm->Send("PQVXQ?," + std::to_string(i));
      const QString reply = QStringLiteral("$PQVXRE,%1\r\n").arg(i);
      // Woken by the reply itself (or the guard timer), not by a test's polling period.
      QTimer guard;
      guard.start(100);
      const QDeadlineTimer deadline(2000);
      while (!probe.lines.contains(reply) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      QVERIFY(probe.lines.contains(reply));
    }
    const qint64 took = timer.elapsed();
    QVERIFY2(took < kQuestions * 15, qPrintable(QStringLiteral("%1 ms").arg(took)));
  }

  void deviceGone_endsTheThreadWithOneChannelLost_data() { KindRows(); }
  void deviceGone_endsTheThreadWithOneChannelLost() {
    QFETCH(int, kind);
    LinkProbe probe;
    const auto device = Connect(probe, kind);
    QVERIFY(device);
    QVERIFY(device->Write("$BYE\r\n"));
    QTRY_COMPARE(probe.lines.size(), 1);
    // A firmware update waiting for a frame learns of the loss at once, not
    // after the frame time-out.
    probe.comm->EnterLoaderMode();
    std::jthread unplug([&] {
      QThread::msleep(200);
      device->Close();
    });
    QElapsedTimer waited;
    waited.start();
    LoaderFrameRecord frame;
    QCOMPARE(probe.comm->ReceiveFrame(frame), kFrameNone);
    QVERIFY(waited.elapsed() < kFrameTimeoutMs);
    probe.comm->LeaveLoaderMode();
    QTRY_COMPARE(probe.lostEvents, 1);
    QCOMPARE(probe.lines, QStringList{"$BYE\r\n"});
    QTRY_VERIFY(!probe.comm->ReceiveThreadRunning());
    QCOMPARE(probe.comm->ChannelKind(), std::uint8_t(kind));  // open until the window closes it
    // Writing to a dead channel fails with a reason instead of a signal.
    QTRY_VERIFY((probe.comm->Send("PQVXVER"), !probe.comm->LastSendError().isEmpty()));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(probe.lostEvents, 1);
  }

  // The port stays exclusive while it is open, and the flag ends with the
  // close: it belongs to the terminal, whose master side the simulator or
  // socat keeps open, so a left-over flag refuses an ordinary user's next open.
  // The close is prompt although no byte ever came, and no channel-lost follows.
  void exclusiveMode_endsWithAPromptQuietClose() {
    Pty pty;
    LinkProbe probe;
    const int ours = ::open(pty.path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(ours >= 0);
    const auto closeOurs = qScopeGuard([ours] { ::close(ours); });
    const auto exclusive = [ours] {
      int on = -1;
      return ::ioctl(ours, TIOCGEXCL, &on) == 0 ? on : -1;
    };
    for (int round = 0; round < 2; ++round) {
      QCOMPARE(probe.comm->Open(ChSerial, pty.path, 5), ChSerial);
      QCOMPARE(exclusive(), 1);
      if (::geteuid() != 0) {  // root opens exclusive terminals regardless
        QCOMPARE(::open(pty.path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC), -1);
        QCOMPARE(errno, EBUSY);
      }
      QTRY_VERIFY(probe.comm->ReceiveThreadRunning());
      QElapsedTimer timer;
      timer.start();
      probe.comm->Close();
      QVERIFY2(timer.elapsed() < 1000, "Close waited for incoming bytes");
      QCOMPARE(exclusive(), 0);
    }
    QCoreApplication::sendPostedEvents();
    QCOMPARE(probe.lostEvents, 0);
  }

  void openFailure_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("error");  // serial: LastOpenErrno; others: 0
    QTest::newRow("no port selected") << int(ChSerial) << "" << ENOENT;
    QTest::newRow("missing device") << int(ChSerial) << "/nonexistent/ttyHLX0" << ENOENT;
    QTest::newRow("bare name resolved in /dev, but not a terminal") << int(ChSerial) << "null" << ENOTTY;
    QTest::newRow("unknown kind") << 7 << "x" << 0;
    QTest::newRow("TCP: nobody listens") << int(ChTcp) << "127.0.0.52" << 0;
    QTest::newRow("TCP: no answer until the time-out") << int(ChTcp) << kSilentAddress << 0;
  }
  void openFailure() {
    QFETCH(int, kind);
    QFETCH(QString, address);
    QFETCH(int, error);
    LinkProbe probe;
    QElapsedTimer timer;
    timer.start();
    try {
      QCOMPARE(probe.comm->Open(kind, address, 5), ChClosed);
      QVERIFY(kind != ChTcp);
    } catch (const ESocketError& e) {
      QVERIFY2(kind == ChTcp && QString::fromUtf8(e.what()).contains(address), e.what());
    }
    // Only the unanswered connect waits, and no longer than its time-out.
    const bool silent = address == kSilentAddress;
    QCOMPARE(timer.elapsed() >= kTcpConnectTimeoutMs - 100, silent);
    QVERIFY(timer.elapsed() < 8000);
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
    QCOMPARE(probe.comm->LastOpenErrno(), error);
    QCOMPARE(probe.comm->LastOpenError().isEmpty(), error == 0);
    // Nothing to send to or wait on: the calls return at once.
    LoaderFrameRecord in;
    probe.comm->EnterLoaderMode();
    probe.comm->SendFrame(in);
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameNone);
    probe.comm->Send("PQVXVER");
    QVERIFY(!probe.comm->LastSendError().isEmpty());
  }

  // A frame goes out escaped; line bytes before a frame start are skipped and
  // never become lines; a frame that never ends times out after two seconds
  // and is discarded; lines come back once the loader mode ends.
  void loaderMode_framesEscapedSkippedAndTimedOut() {
    Pty pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.path, 5), ChSerial);
    probe.comm->EnterLoaderMode();
    LoaderFrameRecord frame;
    frame.length = 3;
    frame.data = {0x01, 0xFD, 0x02};
    probe.comm->SendFrame(frame);
    QCOMPARE(pty.Read(3000, 6), QByteArray::fromHex("FE01FFFD02FD"));
    QVERIFY(pty.Write("$1" + QByteArray::fromHex("FE0102")));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(probe.comm->ReceiveFrame(frame), kFrameTimeout);
    QVERIFY(timer.elapsed() >= 1990 && timer.elapsed() < 6000);
    QVERIFY(pty.Write(QByteArray::fromHex("03FDFE4BFFFE06FD")));
    QCOMPARE(probe.comm->ReceiveFrame(frame), kFrameReady);
    QCOMPARE(Payload(frame), QByteArray::fromHex("4BFE06"));
    probe.comm->LeaveLoaderMode();
    QVERIFY(pty.Write("$BACK\r\n"));
    QTRY_COMPARE(probe.lines, QStringList{"$BACK\r\n"});
  }

  // A firmware update runs inside the dispatcher, that is inside DrainRxQueue
  // with RxLock held: frames still get through, a nested drain takes over the
  // queued lines without handing one out twice, and lines that arrive
  // meanwhile wait for the lock and are not lost.
  void drain_framesPassWhileADispatchHoldsTheQueue() {
    LinkProbe probe;
    const auto device = Connect(probe, ChTcp);
    QVERIFY(device);
    probe.autoDrain = false;
    QVERIFY(device->Write("$GO\r\n$A\r\n$B\r\n"));
    QTRY_COMPARE(probe.comm->QueuedLines(), 3u);
    QStringList got;
    probe.comm->DrainRxQueue([&](std::string line) {
      got << QString::fromStdString(line);
      if (got.size() > 1) return;
      probe.comm->DrainRxQueue([&](std::string nested) { got << QString::fromStdString(nested); });
      QVERIFY(device->Write("$L1\r\n$L2\r\n"));
      QTest::qWait(100);
      probe.comm->EnterLoaderMode();
      QVERIFY(device->Write(QByteArray::fromHex("FE55FD")));
      LoaderFrameRecord in;
      QCOMPARE(probe.comm->ReceiveFrame(in), kFrameReady);
      QCOMPARE(Payload(in), QByteArray::fromHex("55"));
      probe.comm->LeaveLoaderMode();
    });
    QCOMPARE(got, (QStringList{"$GO\r\n", "$A\r\n", "$B\r\n"}));
    probe.autoDrain = true;
    QTRY_COMPARE(probe.lines, (QStringList{"$L1\r\n", "$L2\r\n"}));
  }

  // A close leaves nothing of the old channel for the next one: neither lines
  // the window had not taken yet nor the loss of the old channel.
  void close_dropsWhatTheOldChannelLeft() {
    LinkProbe probe;
    probe.autoDrain = false;
    {
      Pty old;
      QCOMPARE(probe.comm->Open(ChSerial, old.path, 5), ChSerial);
      QVERIFY(old.Write("$OLD,1\r\n$OLD,2\r\n"));
      QTRY_COMPARE(probe.comm->QueuedLines(), 2u);
      QVERIFY(old.Write("$OLD,3\r\n"));
      old.Close();  // the device goes: the thread queues a line and reports the loss,
      // which the window has not seen yet (no event is handled meanwhile)
      const QDeadlineTimer deadline(2000);
      while (probe.comm->ReceiveThreadRunning() && !deadline.hasExpired()) QThread::msleep(10);
      QVERIFY(!probe.comm->ReceiveThreadRunning());
    }
    Pty next;
    QCOMPARE(probe.comm->Open(ChSerial, next.path, 5), ChSerial);
    const int eventsBefore = probe.rxEvents;
    QVERIFY(next.Write("$NEW,1\r\n"));
    probe.autoDrain = true;
    QTRY_COMPARE(probe.lines, QStringList{"$NEW,1\r\n"});  // after the old channel's events
    QCOMPARE(probe.lostEvents, 0);
    QCOMPARE(probe.rxEvents - eventsBefore, 1);
  }

  // Above 50,000 waiting lines the thread stops reading and the sender is
  // held back; once the window drains, reading resumes and nothing is lost.
  void backPressure_holdsTheSenderBackAndResumes() {
    constexpr int kLines = 120000;
    QByteArray burst;
    for (int i = 0; i < kLines; ++i) burst += "$L" + QByteArray::number(i).rightJustified(6, '0') + "\r\n";
    Pty pty;
    LinkProbe probe;
    probe.autoDrain = false;
    QCOMPARE(probe.comm->Open(ChSerial, pty.path, 5), ChSerial);
    bool written = false;
    std::jthread writer([&] { written = pty.Write(burst, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(probe.comm->QueuedLines() > 50000, 30000);
    // The thread stopped reading.
    QCOMPARE_STEADY(probe.comm->QueuedLines() < std::size_t(kLines), true, 300);
    probe.autoDrain = true;
    probe.Drain();
    QTRY_COMPARE_WITH_TIMEOUT(probe.lines.size(), kLines, 30000);
    writer.join();
    QVERIFY(written);
    QCOMPARE(probe.lines.join(QString()).toLatin1(), burst);
  }

  // The capture's lines come in order, without c:, as far apart as recorded
  // (divided by the speed) within 10 ms, and again after the loop pause;
  // commands are still answered.
  void simReplay_keepsTheRecordedPaceAndAnswers_data() {
    QTest::addColumn<double>("speed");
    QTest::addColumn<bool>("loop");
    QTest::newRow("recorded pace") << 1.0 << false;
    QTest::newRow("ten times faster, looped") << 10.0 << true;
  }
  void simReplay_keepsTheRecordedPaceAndAnswers() {
    QFETCH(double, speed);
    QFETCH(bool, loop);
    QTemporaryDir dir;
    QFile capture(dir.filePath(QStringLiteral("boat.nmea")));
    QVERIFY(capture.open(QIODevice::WriteOnly));
    capture.write(
        "\\c:1733666400000*6D\\$GPRMC,1*56\r\n"
        "\\s:HLX2000-1,c:1733666400400*4E\\$GPGGA,2*48\r\n"
        "\\c:1733666400450*6C\\$GPGLL,3*4F\r\n"
        "\\c:1733666401500*69\\$GPVTG,4*00\r\n");
    capture.close();
    const QByteArrayList sent = {"$GPRMC,1*56\r\n", "\\s:HLX2000-1*0B\\$GPGGA,2*48\r\n", "$GPGLL,3*4F\r\n",
                                 "$GPVTG,4*00\r\n", "$GPRMC,1*56\r\n"};
    const QList<double> recordedMs = {0, 400, 450, 1500, 2500};  // the loop waits 1 s
    hlx::test::SimProcess sim(false, false);
    QStringList args = {"--replay", capture.fileName(), "--replay-speed", QString::number(speed)};
    if (loop) args << "--loop";
    QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
    QTcpSocket host;
    host.connectToHost(sim.address(), sim.tcpPort());
    QVERIFY(host.waitForConnected(3000));
    QElapsedTimer clock;
    clock.start();
    QByteArrayList lines;
    QList<qint64> arrivedMs;
    while (lines.size() < (loop ? 5 : 4) && host.waitForReadyRead(3000))
      while (host.canReadLine()) {
        lines << host.readLine();
        arrivedMs << clock.elapsed();
      }
    QCOMPARE(lines, sent.mid(0, loop ? 5 : 4));
    // No line comes early: the least late one shows when the replay started.
    QList<double> lateMs;
    for (qsizetype i = 0; i < lines.size(); ++i) lateMs << arrivedMs[i] - recordedMs[i] / speed;
    const double start = *std::min_element(lateMs.begin(), lateMs.end());
    for (qsizetype i = 0; i < lines.size(); ++i)
      QVERIFY2(lateMs[i] - start <= 10,
               qPrintable(QStringLiteral("line %1 %2 ms late").arg(i).arg(lateMs[i] - start)));
    QVERIFY(sim.waitForLine(loop ? "replay looped" : "replay ended", 1, 3000));
    host.write("$PQVXVER\r\n");
    QByteArray reply;
    while (!reply.startsWith("$PQVXVER,") && (host.canReadLine() || host.waitForReadyRead(3000)))
      reply = host.readLine();
    QCOMPARE(reply, QByteArray("$PQVXVER,3.33.1,HLX2000,20261206,8041*1C\r\n"));
  }

  void udp_portHeldExclusively_throwsReadableError() {
    LinkProbe probe;
    // A program that took the port on one address without sharing it.
    QUdpSocket other;
    if (!other.bind(QHostAddress(QStringLiteral("127.0.0.60")), kNmeaPort, QAbstractSocket::DontShareAddress))
      QSKIP("another program holds port 10110 right now");
    try {
      probe.comm->Open(ChUdp, kUdpDevice.toString(), 0);
      QFAIL("no exception");
    } catch (const ESocketError& e) {
      QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("10110")), e.what());
    }
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
  }
};

QTEST_GUILESS_MAIN(ChannelsTest)
#include "tst_channels.moc"
