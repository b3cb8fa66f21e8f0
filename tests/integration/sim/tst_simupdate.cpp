// A firmware update of the real hlx-sim through the program's port object,
// over its pseudo-terminal and over TCP: RESET, the bootloader's
// announcement, the frames, and the restarted firmware's version, or a
// channel that vanishes in the middle of it.
#include <QElapsedTimer>
#include <QtTest>

#include "FirmwareMaker.h"
#include "SimProcess.h"
#include "link/Comms.h"

using namespace hlx;
using hlx::test::SimProcess;

namespace {

// Stands in for the main window: drains the lines and counts lost channels.
class Window : public QObject {
 public:
  Window() : comm(this) {}
  bool event(QEvent* e) override {
    if (e->type() == WM_RXDATA)
      comm.DrainRxQueue([this](std::string line) { lines << QString::fromStdString(line).trimmed(); });
    else if (e->type() == WM_CHANNELLOST)
      ++lost;
    else
      return QObject::event(e);
    return true;
  }
  bool Seen(const QString& start) const {
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); });
  }
  TComm comm;
  QStringList lines;
  int lost = 0;
};

LoaderFrameRecord Record(const QByteArray& payload) {
  LoaderFrameRecord r;
  r.length = static_cast<std::uint16_t>(payload.size());
  std::copy(payload.begin(), payload.end(), r.data.begin());
  return r;
}

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

// A two-block container of version 3.34.0 and the commands that program it.
struct Update {
  Update() {
    const std::vector<std::uint8_t> body(600, 0x5A);
    const std::vector<std::uint8_t> c = mkfw::BuildContainer({3, 34, 0}, 0, body);
    container = QByteArray(reinterpret_cast<const char*>(c.data()), static_cast<qsizetype>(c.size()));
    QByteArray payload = container.mid(17);
    payload.append(1024 - payload.size(), '\xFF');
    commands << QByteArray::fromHex("01") << QByteArray::fromHex("0601");
    for (char block : {0, 1})
      commands << QByteArray::fromHex("03") + block + '\0' + payload.mid(block * 512, 512);
    commands << QByteArray::fromHex("05");
  }
  QByteArray container;
  QByteArrayList commands;  // after hello
};

// Opens the channel of `kind` to `sim` at host speed index `speed`.
bool Open(TComm& comm, int kind, const SimProcess& sim, int speed) {
  return kind == ChSerial ? comm.Open(ChSerial, sim.ptyPath(), speed) == ChSerial
                          : comm.Open(ChTcp, sim.address(), 0) == ChTcp;
}

}  // namespace

class SimUpdateTest : public QObject {
  Q_OBJECT
 private slots:
  // The window's update tests cover a plain terminal and a slow bootloader over TCP.
  // With `dropAt`, the channel vanishes at that command (block 1): the wait
  // ends, and connected again the host finds the bootloader announcing itself
  // once its watchdog has given up the session.
  void update_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("dropAt");  // index in the commands, -1: none
    QTest::newRow("pty, paced at 38400") << int(ChSerial) << QStringList{"--pace", "--host-speed", "3"} << -1;
    QTest::newRow("pty, dropped") << int(ChSerial) << QStringList{"--loader-fault", "drop:block=1"} << 3;
    QTest::newRow("tcp, dropped") << int(ChTcp) << QStringList{"--loader-fault", "drop:block=1"} << 3;
  }
  void update() {
    QFETCH(int, kind);
    QFETCH(QStringList, args);
    QFETCH(int, dropAt);
    SimProcess sim(kind == ChSerial, false);
    QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
    const int speed = args.contains(QStringLiteral("--pace")) ? 3 : 5;
    Window w;
    QVERIFY(Open(w.comm, kind, sim, speed));
    w.comm.Send("PQVXRESET");
    QTRY_VERIFY_WITH_TIMEOUT(w.Seen(QStringLiteral("$PQVXLDR,00*79")), 5000);
    const Update update;
    w.comm.EnterLoaderMode();
    w.comm.SendFrame(Record(QByteArray::fromHex("F0F1F2F3")));
    LoaderFrameRecord reply;
    for (qsizetype i = 0; i < update.commands.size(); ++i) {
      const QByteArray& command = update.commands[i];
      w.comm.SendFrame(Record(command));
      if (i == dropAt) {
        // The receive thread ends with the link: no frame, and no 2 s wait for one.
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(w.comm.ReceiveFrame(reply), kFrameNone);
        QVERIFY(waited.elapsed() < kFrameTimeoutMs);
        w.comm.LeaveLoaderMode();
        QVERIFY(sim.waitForLine("hangup", 1, 1000));
        QTRY_COMPARE_WITH_TIMEOUT(w.lost, 1, 3000);
        w.lines.clear();
        QVERIFY(Open(w.comm, kind, sim, speed));
        QTRY_VERIFY_WITH_TIMEOUT(w.Seen(QStringLiteral("$PQVXLDR,00*79")), 10000);
        return;
      }
      QCOMPARE(w.comm.ReceiveFrame(reply), kFrameReady);
      QCOMPARE(Payload(reply), command == "\x05" ? '\x05' + update.container.mid(9, 4) : QByteArray("\x80"));
    }
    w.comm.LeaveLoaderMode();
    QTRY_VERIFY_WITH_TIMEOUT(w.Seen(QStringLiteral("$PQVXVER,3.34.0,HLX2000,")), 5000);
    QVERIFY(sim.waitForLine("bootloader: image 3.34.0 accepted", 1, 1000));
    // The new firmware answers as before.
    w.comm.Send("PQVXVER");
    QTRY_COMPARE_WITH_TIMEOUT(w.lines.filter(QStringLiteral("$PQVXVER,3.34.0,")).size(), 2, 5000);
  }
};

QTEST_GUILESS_MAIN(SimUpdateTest)
#include "tst_simupdate.moc"
