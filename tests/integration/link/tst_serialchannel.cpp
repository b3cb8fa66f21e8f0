#include <QtTest>
#include <cerrno>

#include "LinkProbe.h"
#include "PtyPair.h"

using namespace hlx;
using namespace hlx::test;

namespace {

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

}  // namespace

// TComm over a pseudo-terminal: the serial path end to end, with the test
// playing the device on the master side.
class SerialChannelTest : public QObject {
  Q_OBJECT
 private slots:
  void linesSplitAcrossReads_arriveWholeWithGarbageDropped() {
    PtyPair pty;
    LinkProbe probe;
    QVERIFY(pty.ok());
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    QVERIFY(pty.Write("xx$GPGLL,1"));
    QTest::qWait(50);
    QVERIFY(pty.Write(",2\r\ngarbage$B\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(probe.lines, (QStringList{"$GPGLL,1,2\r\n", "$B\r\n"}), 5000);
    QCOMPARE(probe.rxEvents, 2);  // one WM_RXDATA per line
  }

  void overlongLine_isDroppedAndTheNextLineKept() {
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    QVERIFY(pty.Write("$" + QByteArray(200, 'A') + "\r\n$OK\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(probe.lines, QStringList{"$OK\r\n"}, 5000);
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
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), openIndex), ChSerial);
    QCOMPARE(pty.SlaveSpeed(), openSpeed);
    probe.comm->SetSpeed(setIndex);
    QCOMPARE(pty.SlaveSpeed(), speedAfterSet);
    QCOMPARE(probe.comm->CurrentSpeed(), speedAfterSet);
  }

  void send_writesTheCompletedSentence() {
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    probe.comm->Send("PQVXVER");
    const QByteArray expected = QByteArray::fromStdString(CompleteSentence("PQVXVER"));
    QCOMPARE(pty.Read(3000, expected.size()), expected);
    QVERIFY(probe.comm->LastSendError().isEmpty());
  }

  void send_refusesSentenceLongerThan100Characters_data() {
    QTest::addColumn<int>("textLength");
    QTest::addColumn<bool>("sent");
    // '$' + text + "*hh" + CR LF: 94 characters of text make exactly 100.
    QTest::newRow("100 characters go out") << 94 << true;
    QTest::newRow("101 characters are refused whole") << 95 << false;
  }
  void send_refusesSentenceLongerThan100Characters() {
    QFETCH(int, textLength);
    QFETCH(bool, sent);
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    const std::string text = "PQVXFL," + std::string(std::size_t(textLength) - 7, 'A');
    probe.comm->Send(text);
    const QByteArray wire = pty.Read(sent ? 3000 : 300, 100);
    QCOMPARE(wire.size(), sent ? 100 : 0);
    QCOMPARE(probe.comm->LastSendError().isEmpty(), sent);
  }

  void hangUp_endsTheThreadAndReportsChannelLostOnce() {
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    QVERIFY(pty.Write("$LAST\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(probe.lines.size(), 1, 5000);
    pty.CloseMaster();
    QTRY_COMPARE_WITH_TIMEOUT(probe.lostEvents, 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!probe.comm->ReceiveThreadRunning(), 5000);
    QTest::qWait(200);
    QCOMPARE(probe.lostEvents, 1);
    QCOMPARE(probe.comm->ChannelKind(), ChSerial);  // stays open until the window closes it
    probe.comm->Close();
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
  }

  void close_whileTheThreadWaitsForBytes_isPromptAndReportsNothing() {
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    QTest::qWait(100);  // the thread is waiting in poll by now
    QElapsedTimer timer;
    timer.start();
    probe.comm->Close();
    QVERIFY2(timer.elapsed() < 1000, "Close waited for incoming bytes");
    QVERIFY(!probe.comm->ReceiveThreadRunning());
    QTest::qWait(100);
    QCOMPARE(probe.lostEvents, 0);
    // The port is free again: a second open succeeds.
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
  }

  void openFailure_returnsZeroWithTheReason_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("error");
    QTest::newRow("empty name") << "" << ENOENT;
    QTest::newRow("missing device") << "/nonexistent/ttyHLX0" << ENOENT;
    QTest::newRow("bare name resolved in /dev, but not a terminal") << "null" << ENOTTY;
  }
  void openFailure_returnsZeroWithTheReason() {
    QFETCH(QString, address);
    QFETCH(int, error);
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, address, 5), ChClosed);
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
    QCOMPARE(probe.comm->LastOpenErrno(), error);
    QVERIFY(!probe.comm->LastOpenError().isEmpty());
  }

  void unknownKind_opensNothing() {
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(7, QStringLiteral("x"), 0), ChClosed);
    QCOMPARE(probe.comm->ChannelKind(), ChClosed);
  }

  void loaderMode_frameRoundTrip() {
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    probe.comm->EnterLoaderMode();
    LoaderFrameRecord out;
    out.length = 3;
    out.data[0] = 0x01;
    out.data[1] = 0xFD;
    out.data[2] = 0x02;
    probe.comm->SendFrame(out);
    QCOMPARE(pty.Read(3000, 6), QByteArray::fromHex("FE01FFFD02FD"));

    QVERIFY(pty.Write("$1" + QByteArray::fromHex("FE4BFFFE06FD")));
    LoaderFrameRecord in;
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameReady);
    QCOMPARE(Payload(in), QByteArray::fromHex("4BFE06"));
    QVERIFY(probe.lines.isEmpty());

    probe.comm->LeaveLoaderMode();
    QVERIFY(pty.Write("$BACK\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(probe.lines, QStringList{"$BACK\r\n"}, 5000);
  }

  void receiveFrame_withoutReply_timesOutAfterTwoSeconds() {
    PtyPair pty;
    LinkProbe probe;
    QCOMPARE(probe.comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    probe.comm->EnterLoaderMode();
    QVERIFY(pty.Write(QByteArray::fromHex("FE0102")));  // a frame that never ends
    LoaderFrameRecord in;
    in.length = 77;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameTimeout);
    QVERIFY(timer.elapsed() >= 1990);
    QVERIFY(timer.elapsed() < 6000);
    // The half frame was discarded with the time-out: the next frame is clean.
    QVERIFY(pty.Write(QByteArray::fromHex("03FD")));
    QVERIFY(pty.Write(QByteArray::fromHex("FE09FD")));
    QCOMPARE(probe.comm->ReceiveFrame(in), kFrameReady);
    QCOMPARE(Payload(in), QByteArray::fromHex("09"));
  }

  void windowDestroyedWhileLinesStream_noEventReachesIt() {
    PtyPair pty;
    auto probe = std::make_unique<LinkProbe>();
    QCOMPARE(probe->comm->Open(ChSerial, pty.slavePath(), 5), ChSerial);
    QByteArray burst;
    for (int i = 0; i < 500; ++i) burst += "$GPXTE,A,A,0.67,L,N*6F\r\n";
    QVERIFY(pty.Write(burst));
    QTRY_VERIFY_WITH_TIMEOUT(!probe->lines.isEmpty(), 5000);
    QVERIFY(pty.Write(burst));
    probe.reset();      // the window goes with its TComm while lines keep arriving
    pty.Write(burst);   // may stay unread: nobody has the port open any more
    QTest::qWait(100);  // sanitizers report any event or read on freed memory
  }
};

QTEST_GUILESS_MAIN(SerialChannelTest)
#include "tst_serialchannel.moc"
