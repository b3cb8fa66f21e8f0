#include <sys/ioctl.h>

#include <QNetworkProxy>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <thread>

#include "DeviceEnd.h"
#include "LinkProbe.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// Our own loopback address, away from the simulator's 127.0.0.2.
const char* const kDeviceAddress = "127.0.0.51";

const char* Name(int kind) { return kind == ChSerial ? "serial" : "TCP"; }

void KindRows() {
  QTest::addColumn<int>("kind");
  for (const int kind : {ChSerial, ChTcp}) QTest::newRow(Name(kind)) << kind;
}

}  // namespace

// TComm's serial channel (over a pseudo-terminal) and TCP channel end to end,
// with the test playing the device.
class StreamChannelTest : public QObject {
  Q_OBJECT

  TcpDevice m_server{kDeviceAddress};

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
    QVERIFY2(m_server.ok(), "port 10110 taken");
  }

  void linesArriveWhole_data() { KindRows(); }
  void linesArriveWhole() {
    QFETCH(int, kind);
    LinkProbe probe;
    const auto device = Connect(probe, kind);
    QVERIFY(device);
    QVERIFY(device->Write("xx$GPGLL,1"));
    QTest::qWait(50);
    QVERIFY(device->Write(",2\r\ngarbage$" + QByteArray(200, 'A') + "\r\n\\s:x-1*12\\$B\r\n"));
    QTRY_COMPARE(probe.lines, (QStringList{"$GPGLL,1,2\r\n", "\\s:x-1*12\\$B\r\n"}));
    QCOMPARE(probe.rxEvents, 2);  // one WM_RXDATA per line
  }

  void send_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("wire");  // empty: refused
    for (const int kind : {ChSerial, ChTcp}) {
      QTest::addRow("%s: completed", Name(kind))
          << kind << QByteArray("PQVXVER") << QByteArray("$PQVXVER*4E\r\n");
      // The device takes 100 characters, CR LF included; a cut command would be another one.
      QTest::addRow("%s: 100 characters", Name(kind))
          << kind << "PQVXFL," + QByteArray(87, 'A') << "$PQVXFL," + QByteArray(87, 'A') + "*68\r\n";
      QTest::addRow("%s: 101 refused", Name(kind)) << kind << "PQVXFL," + QByteArray(88, 'A') << QByteArray();
    }
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
  }

  void deviceGone_endsTheThreadWithOneChannelLost_data() { KindRows(); }
  void deviceGone_endsTheThreadWithOneChannelLost() {
    QFETCH(int, kind);
    LinkProbe probe;
    const auto device = Connect(probe, kind);
    QVERIFY(device);
    QVERIFY(device->Write("$BYE\r\n"));
    // A hang-up may discard what the terminal has not read yet; TCP keeps it.
    if (kind == ChSerial) QTRY_COMPARE(probe.lines.size(), 1);
    device->Close();
    QTRY_COMPARE(probe.lostEvents, 1);
    QCOMPARE(probe.lines, QStringList{"$BYE\r\n"});
    QTRY_VERIFY(!probe.comm->ReceiveThreadRunning());
    QCOMPARE(probe.comm->ChannelKind(), std::uint8_t(kind));  // open until the window closes it
    // Writing to a dead channel fails with a reason instead of a signal.
    probe.comm->Send("PQVXVER");
    QTest::qWait(100);
    probe.comm->Send("PQVXVER");
    QVERIFY(!probe.comm->LastSendError().isEmpty());
    QTest::qWait(200);
    QCOMPARE(probe.lostEvents, 1);
  }

  void close_whileWaitingForBytes_isPromptAndQuiet_data() { KindRows(); }
  void close_whileWaitingForBytes_isPromptAndQuiet() {
    QFETCH(int, kind);
    LinkProbe probe;
    auto device = Connect(probe, kind);
    QVERIFY(device);
    QTest::qWait(100);  // the thread is waiting in poll by now
    QElapsedTimer timer;
    timer.start();
    probe.comm->Close();
    QVERIFY2(timer.elapsed() < 1000, "Close waited for incoming bytes");
    QVERIFY(!probe.comm->ReceiveThreadRunning());
    QVERIFY(device->SeesClose(5000));
    QCOMPARE(probe.lostEvents, 0);
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
  }

  // The port stays exclusive while it is open, and the flag ends with the
  // close: it belongs to the terminal, whose master side the simulator or
  // socat keeps open, so a left-over flag refuses an ordinary user's next open.
  void exclusiveMode_endsWithTheClose() {
    Pty pty;
    LinkProbe probe;
    const QByteArray path = pty.path.toLocal8Bit();
    const int ours = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);  // before TComm's
    QVERIFY(ours >= 0);
    const auto closeOurs = qScopeGuard([ours] { ::close(ours); });
    const auto exclusive = [ours] {
      int on = -1;
      return ::ioctl(ours, TIOCGEXCL, &on) == 0 ? on : -1;
    };
    for (int round = 0; round < 2; ++round) {
      QCOMPARE(probe.comm->Open(ChSerial, pty.path, 5), ChSerial);
      QCOMPARE(exclusive(), 1);
      probe.comm->Close();
      QCOMPARE(exclusive(), 0);
      const int again = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
      QVERIFY2(again >= 0, std::strerror(errno));
      ::close(again);
    }
  }

  void speeds_data() {
    QTest::addColumn<int>("openIndex");
    QTest::addColumn<int>("openSpeed");
    QTest::addColumn<int>("setIndex");
    QTest::addColumn<int>("speedAfterSet");
    QTest::newRow("index 9 opens at 115200, index 6 sets 230400") << 9 << 115200 << 6 << 230400;
    QTest::newRow("negative index opens at 115200") << -1 << 115200 << 8 << 921600;
    QTest::newRow("index 0 is 4800; out-of-range set keeps the speed") << 0 << 4800 << 9 << 4800;
  }
  void speeds() {
    QFETCH(int, openIndex);
    QFETCH(int, openSpeed);
    QFETCH(int, setIndex);
    QFETCH(int, speedAfterSet);
    Pty pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.path, openIndex), ChSerial);
    QCOMPARE(pty.Speed(), openSpeed);
    probe.comm->SetSpeed(setIndex);
    QCOMPARE(pty.Speed(), speedAfterSet);
    QCOMPARE(probe.comm->CurrentSpeed(), speedAfterSet);
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
  }
  void openFailure() {
    QFETCH(int, kind);
    QFETCH(QString, address);
    QFETCH(int, error);
    LinkProbe probe;
    try {
      QCOMPARE(probe.comm->Open(kind, address, 5), ChClosed);
      QVERIFY(kind != ChTcp);
    } catch (const ESocketError& e) {
      QVERIFY2(kind == ChTcp && QString::fromUtf8(e.what()).contains(address), e.what());
    }
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
    QCOMPARE(probe.comm->LastOpenErrno(), error);
    QCOMPARE(probe.comm->LastOpenError().isEmpty(), error == 0);
    // Nothing to send to or wait on: frame calls return at once.
    LoaderFrameRecord in;
    in.length = 9;
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameNone);
    QCOMPARE(in.length, std::uint16_t(9));
    probe.comm->SendFrame(in);
    probe.comm->EnterLoaderMode();
    probe.comm->Send("PQVXVER");
    QVERIFY(!probe.comm->LastSendError().isEmpty());
  }

  void loaderMode_framesBothWays_data() { KindRows(); }
  void loaderMode_framesBothWays() {
    QFETCH(int, kind);
    LinkProbe probe;
    const auto device = Connect(probe, kind);
    QVERIFY(device);
    probe.comm->EnterLoaderMode();
    LoaderFrameRecord out;
    out.length = 3;
    out.data[0] = 0x01;
    out.data[1] = 0xFD;
    out.data[2] = 0x02;
    probe.comm->SendFrame(out);
    QCOMPARE(device->Read(3000, 6), QByteArray::fromHex("FE01FFFD02FD"));

    QVERIFY(device->Write("$1" + QByteArray::fromHex("FE4BFFFE06FD")));
    LoaderFrameRecord in;
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameReady);
    QCOMPARE(Payload(in), QByteArray::fromHex("4BFE06"));
    QVERIFY(probe.lines.isEmpty());

    probe.comm->LeaveLoaderMode();
    QVERIFY(device->Write("$BACK\r\n"));
    QTRY_COMPARE(probe.lines, QStringList{"$BACK\r\n"});
  }

  void loaderMode_withoutReply_timesOutAfterTwoSeconds() {
    Pty pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.path, 5), ChSerial);
    probe.comm->EnterLoaderMode();
    QVERIFY(pty.Write(QByteArray::fromHex("FE0102")));  // a frame that never ends
    LoaderFrameRecord in;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameTimeout);
    QVERIFY(timer.elapsed() >= 1990);
    QVERIFY(timer.elapsed() < 6000);
    // The half frame was discarded with the time-out: the next frame is clean.
    QVERIFY(pty.Write(QByteArray::fromHex("03FDFE09FD")));
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameReady);
    QCOMPARE(Payload(in), QByteArray::fromHex("09"));
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
    QTRY_COMPARE(probe.rxEvents, 3);
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

  // Above 50,000 waiting lines the thread stops reading and the sender is
  // held back; once the window drains, reading resumes and nothing is lost.
  void backPressure_holdsTheSenderBackAndResumes() {
    constexpr int kLines = 120000;
    QByteArray burst;
    QStringList expected;
    for (int i = 0; i < kLines; ++i) {
      const QByteArray line = "$L" + QByteArray::number(i).rightJustified(6, '0') + "\r\n";
      burst += line;
      expected << QString::fromLatin1(line);
    }
    Pty pty;
    LinkProbe probe;
    probe.autoDrain = false;
    QCOMPARE(probe.comm->Open(ChSerial, pty.path, 5), ChSerial);
    bool written = false;
    std::jthread writer([&] { written = pty.Write(burst, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(probe.rxEvents > 50000, 30000);
    QTest::qWait(300);
    QVERIFY2(probe.rxEvents < kLines, "the thread kept reading");
    probe.autoDrain = true;
    probe.Drain();
    QTRY_COMPARE_WITH_TIMEOUT(probe.lines.size(), kLines, 30000);
    writer.join();
    QVERIFY(written);
    QCOMPARE(probe.lines, expected);
  }

  void windowDestroyedWhileLinesStream_noEventReachesIt() {
    Pty pty;
    auto probe = std::make_unique<LinkProbe>();
    QCOMPARE(probe->comm->Open(ChSerial, pty.path, 5), ChSerial);
    QByteArray burst;
    for (int i = 0; i < 500; ++i) burst += "$GPXTE,A,A,0.67,L,N*6F\r\n";
    QVERIFY(pty.Write(burst));
    QTRY_VERIFY(!probe->lines.isEmpty());
    QVERIFY(pty.Write(burst));
    probe.reset();      // the window goes with its TComm while lines keep arriving
    pty.Write(burst);   // may stay unread: nobody has the port open any more
    QTest::qWait(100);  // sanitizers report any event or read on freed memory
  }
};

QTEST_GUILESS_MAIN(StreamChannelTest)
#include "tst_streamchannel.moc"
