// TComm against a hostile peer, the real simulator: megabytes of garbage
// mixed into its output, and the cable pulled in the middle of a session.

#include <QtTest>
#include <memory>
#include <string_view>

#include "ProcessUsage.h"
#include "SimProcess.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// Stands in for the window: drains the queue on each WM_RXDATA and checks
// every line as it comes, keeping none of them.
class Receiver : public QObject {
 public:
  std::unique_ptr<TComm> comm = std::make_unique<TComm>(this);
  qint64 lines = 0;
  std::size_t longest = 0;
  qint64 markers = 0;     // good markers, in sequence or not
  qint64 outOfOrder = 0;  // markers whose number does not follow the last one
  qint64 lastNumber = -1;
  qint64 firstNoise = -1;  // garbage bytes the simulator had sent at the first and last marker seen
  qint64 lastNoise = -1;
  int lostEvents = 0;

  // A new connection starts a new sequence: what was sent meanwhile is gone.
  void NewSequence() { lastNumber = firstNoise = lastNoise = -1; }

  bool event(QEvent* e) override {
    if (e->type() == WM_RXDATA) {
      comm->DrainRxQueue([this](std::string line) { Take(line); });
      return true;
    }
    if (e->type() == WM_CHANNELLOST) {
      ++lostEvents;
      return true;
    }
    return QObject::event(e);
  }

 private:
  // "$PXSEQ,<number>,<noise bytes>*hh" CR LF with a right checksum.
  void Take(std::string_view line) {
    ++lines;
    longest = std::max(longest, line.size());
    static const QRegularExpression marker(
        QStringLiteral("^\\$(PXSEQ,(\\d+),(\\d+))\\*([0-9A-F]{2})\\r\\n$"));
    const auto m = marker.match(QLatin1StringView(line.data(), qsizetype(line.size())));
    if (!m.hasMatch()) return;
    std::uint8_t sum = 0;
    for (const QChar c : m.captured(1)) sum ^= std::uint8_t(c.unicode());
    if (m.captured(4).toUInt(nullptr, 16) != sum) return;
    ++markers;
    const qint64 number = m.captured(2).toLongLong();
    if (lastNumber >= 0 && number != lastNumber + 1) ++outOfOrder;
    lastNumber = number;
    lastNoise = m.captured(3).toLongLong();
    if (firstNoise < 0) firstNoise = lastNoise;
  }
};

void KindRows() {
  QTest::addColumn<int>("kind");
  QTest::newRow("pty") << int(ChSerial);
  QTest::newRow("TCP") << int(ChTcp);
}

std::uint8_t Open(Receiver& r, int kind, const SimProcess& sim) {
  return r.comm->Open(kind, kind == ChSerial ? sim.ptyPath() : sim.address(), kDefaultSpeedIndex);
}

}  // namespace

class HostileTest : public QObject {
  Q_OBJECT

 private slots:
  // Between the good sentences come NULs, stray start characters, bare CRs,
  // high bytes and runs far beyond the line limit: every good sentence still
  // arrives, in order, no line is longer than the limit, and memory stays flat.
  void noise_everySentenceArrivesInOrder_data() { KindRows(); }
  void noise_everySentenceArrivesInOrder() {
    QFETCH(int, kind);
    constexpr qint64 kNoise = 3 << 20;
    SimProcess sim(kind == ChSerial, false);
    QVERIFY2(sim.start({"--noise", "4000000", "--udp-peer", SimProcess::quietUdpPeer()}),
             qPrintable(sim.errorText()));
    Receiver r;
    QCOMPARE(Open(r, kind, sim), kind);
    QTRY_VERIFY(r.markers > 0);
    const qint64 rssBefore = ResidentBytes();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(r.lastNoise - r.firstNoise >= kNoise || r.outOfOrder > 0, 60000);
    const double seconds = double(clock.elapsed()) / 1000;
    const qint64 grown = ResidentBytes() - rssBefore;
    r.comm->Close();
    qInfo(
        "%.1f MB of noise with %lld sentences in %.2f s (%.1f MB/s); %lld lines; resident size grew by %lld "
        "kB",
        double(r.lastNoise - r.firstNoise) / 1e6, r.markers, seconds,
        double(r.lastNoise - r.firstNoise) / 1e6 / seconds, r.lines, grown / 1024);
    QCOMPARE(r.outOfOrder, 0);
    QVERIFY(r.lines > r.markers);  // the garbage made lines of its own
    QVERIFY2(r.longest <= kMaxLineLength, qPrintable(QString::number(r.longest)));
    if (kResidentSizeTellsGrowth) QVERIFY2(grown < 16 << 20, qPrintable(QString::number(grown)));
    QCOMPARE(r.lostEvents, 0);
  }

  // The pseudo-terminal's other side closes / the TCP peer resets while data
  // flows. The thread ends at once, one channel-lost is posted, the process
  // is idle afterwards (no poll loop on the dead descriptor), and the
  // simulator's next terminal or connection works.
  void unplug_endsTheThreadOnceAndConnectingAgainWorks_data() { KindRows(); }
  void unplug_endsTheThreadOnceAndConnectingAgainWorks() {
    QFETCH(int, kind);
    SimProcess sim(kind == ChSerial, false);
    QVERIFY2(sim.start({"--noise", "300000", "--udp-peer", SimProcess::quietUdpPeer()}),
             qPrintable(sim.errorText()));
    Receiver r;
    QCOMPARE(Open(r, kind, sim), kind);
    QTRY_VERIFY(r.markers > 20);
    QVERIFY(sim.hangUp());
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!r.comm->ReceiveThreadRunning(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(r.lostEvents, 1, 2000);
    qInfo("receive thread ended %lld ms after the hang-up", clock.elapsed());

    // The dead channel stays open until its owner closes it; meanwhile nothing runs.
    QCOMPARE(r.comm->ChannelKind(), std::uint8_t(kind));
    const double cpuBefore = CpuMs();
    QTest::qWait(1000);
    const double cpu = CpuMs() - cpuBefore;
    qInfo("CPU over 1 s after the hang-up: %.1f ms", cpu);
    QVERIFY2(cpu < 100, qPrintable(QString::number(cpu)));
    QCOMPARE(r.lostEvents, 1);
    QVERIFY(r.outOfOrder == 0 && r.longest <= kMaxLineLength);

    r.comm->Close();
    r.NewSequence();
    const qint64 before = r.markers;
    QCOMPARE(Open(r, kind, sim), kind);
    QTRY_VERIFY(r.markers > before + 20);
    QCOMPARE(r.outOfOrder, 0);
    QCOMPARE(r.lostEvents, 1);
  }
};

QTEST_GUILESS_MAIN(HostileTest)
#include "tst_hostile.moc"
