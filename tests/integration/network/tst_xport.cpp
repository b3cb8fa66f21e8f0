// TXPort against simulated network modules on loopback addresses: search,
// read and write the settings, factory reset, assignment by MAC, and what
// faulty or absent modules make of each operation and its time limits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QtTest>

#include <memory>

#include "SimProcess.h"
#include "network/NetFields.h"
#include "network/XportLib.h"

using namespace hlx;
using hlx::test::SimProcess;

namespace {

const QString kA = QStringLiteral("127.0.0.70");
const QString kB = QStringLiteral("127.0.0.71");
const QString kNobody = QStringLiteral("127.0.0.72");
const QString kStalled = QStringLiteral("127.0.0.73");
const QString kMoved = QStringLiteral("127.0.0.75");
const QString kAssigned = QStringLiteral("127.0.0.76");
const QString kMacA = QStringLiteral("02-00-00-0B-1C-2D");
const QString kMacB = QStringLiteral("02-00-00-0B-1C-2E");
constexpr int kRestartMs = 500;

QString Entry(const QString& address, const QString& mac) {
  return address + QStringLiteral("  (") + mac + ')';
}

// "true", "false" or the message of the error a factory reset raised.
QString ResetOutcome(TXPort& port, const QString& ip) {
  try {
    return port.FactoryReset(ip) ? QStringLiteral("true") : QStringLiteral("false");
  } catch (const ESocketError& e) {
    return QString::fromUtf8(e.what());
  }
}

}  // namespace

class XportTest : public QObject {
  Q_OBJECT

  std::vector<std::unique_ptr<SimProcess>> m_modules;
  int m_hookCalls = 0;
  TXPort m_port{[this] { ++m_hookCalls; }};

  // Starts a module at `address`; the test fails when it does not come up.
  SimProcess* startModule(const QString& address, const QString& mac, const QStringList& extra = {}) {
    auto sim = std::make_unique<SimProcess>(false, false);
    if (!sim->start(QStringList{"--address", address, "--net-module", mac, "--net-restart",
                                QString::number(kRestartMs)} +
                    extra)) {
      qWarning("%s", qPrintable(sim->errorText()));
      return nullptr;
    }
    m_modules.push_back(std::move(sim));
    return m_modules.back().get();
  }

 private slots:
  void initTestCase() {
    // Never the real broadcast address: the query goes to each of these. A hears
    // it twice, as a module reached both by broadcast and directly does.
    qputenv(kDiscoveryAddressVariable,
            QStringList{kA, kB, kNobody, kMoved, kAssigned, kA}.join(':').toLatin1());
  }
  void init() { m_hookCalls = 0; }
  void cleanup() { m_modules.clear(); }

  void searchListsEveryAnsweringModuleOnce_data() {
    QTest::addColumn<QString>("faultOfB");  // "": B not started, "none": healthy
    QTest::addColumn<bool>("startA");
    QTest::addColumn<QStringList>("found");
    const QString a = Entry(kA, kMacA), b = Entry(kB, kMacB);
    QTest::newRow("no module") << "" << false << QStringList();
    QTest::newRow("one module, hearing the query twice") << "" << true << QStringList{a};
    QTest::newRow("two modules") << "none" << true << QStringList{a, b};
    QTest::newRow("wrong code skipped") << "code" << true << QStringList{a};
    QTest::newRow("silent module") << "silent" << true << QStringList{a};
    QTest::newRow("29-byte reply ends it") << "short" << false << QStringList();
    QTest::newRow("31-byte reply ends it") << "long" << false << QStringList();
  }
  void searchListsEveryAnsweringModuleOnce() {
    QFETCH(QString, faultOfB);
    QFETCH(bool, startA);
    QFETCH(QStringList, found);
    if (startA) QVERIFY(startModule(kA, kMacA));
    if (!faultOfB.isEmpty())
      QVERIFY(
          startModule(kB, kMacB, faultOfB == "none" ? QStringList() : QStringList{"--net-fault", faultOfB}));
    QElapsedTimer clock;
    clock.start();
    const int n = m_port.Search();
    QStringList results = m_port.Results();
    results.sort();
    QCOMPARE(results, found);
    QCOMPARE(n, found.size());
    if (QByteArray(QTest::currentDataTag()).endsWith("ends it")) {
      QVERIFY2(clock.elapsed() < kDiscoveryWaitMs - 100, qPrintable(QString::number(clock.elapsed())));
    } else {
      // One wait of 1 s after the last datagram, during which the window is kept alive.
      QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
      QVERIFY(m_hookCalls >= 5);
    }
  }

  // The user switches to UDP (written as 0xFA, address kept), then moves the
  // module (0xFD): it goes away and answers at its new address only.
  void writesTheBlockAndFindsTheModuleWhereItRestarted() {
    SimProcess* sim = startModule(kA, kMacA);
    QVERIFY(sim);
    SetupBlock block;
    block.fill(0xAA);
    QVERIFY(m_port.GetSetup(kA, block));
    NetForm form = FillForm(block);
    QCOMPARE(form.ip, kA);
    QVERIFY(!form.udp);

    form.udp = true;
    QCOMPARE(ValidateForm(form, block), NetField::None);
    QVERIFY(m_port.SetSetup(kA, block, false));
    QVERIFY(sim->waitForLine("net written FA", 1, 3000));
    QVERIFY(sim->waitForLine("net up " + kA.toLatin1(), 1, 5000));
    SetupBlock reread{};
    QVERIFY(m_port.GetSetup(kA, reread));
    QVERIFY(BlockIsUdp(reread));
    QVERIFY(reread == block);

    form.ip = kMoved;
    QCOMPARE(ValidateForm(form, block), NetField::None);
    QVERIFY(m_port.SetSetup(kA, block, true));
    QVERIFY(sim->waitForLine("net written FD", 1, 3000));
    QVERIFY(!m_port.CheckConnection(kA));
    QVERIFY(!m_port.CheckConnection(kMoved));  // restarting
    QTRY_VERIFY_WITH_TIMEOUT(m_port.CheckConnection(kMoved), 5000);
    QVERIFY(!m_port.CheckConnection(kA));
    QVERIFY(m_port.GetSetup(kMoved, reread));
    QCOMPARE(FillForm(reread).ip, kMoved);
    m_port.Search();
    QCOMPARE(m_port.Results(), QStringList{Entry(kMoved, kMacA)});
  }

  // Defaults: no address of its own (it comes back where it started), UDP broadcast.
  void factoryResetWritesTheDefaultBlockAfterTheFirstStep() {
    SimProcess* sim = startModule(kA, kMacA);
    QVERIFY(sim);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(ResetOutcome(m_port, kA), QStringLiteral("true"));
    QVERIFY(clock.elapsed() >= kResetPauseMs);
    QVERIFY(sim->waitForLine("net reset requested", 1, 3000));
    QVERIFY(sim->waitForLine("net written FD", 1, 3000));
    QVERIFY(sim->waitForLine("net up " + kA.toLatin1(), 1, 5000));
    SetupBlock block{};
    QVERIFY(m_port.GetSetup(kA, block));
    const SetupBlock defaults = DefaultBlock();
    QVERIFY(std::equal(block.begin() + kHeaderSize, block.end(), defaults.begin() + kHeaderSize));
    QCOMPARE(FillForm(block), (NetForm{"0.0.0.0", "255.255.255.255", "0.0.0.0", "0.0.0.0", true, 0}));
  }

  void assignsAnAddressToTheModuleWithThatMacOnly() {
    SimProcess* a = startModule(kA, kMacA);
    SimProcess* b = startModule(kB, kMacB);
    QVERIFY(a && b);
    const AssignCheck check = BuildAssignPacket(kMacB, kAssigned);
    QCOMPARE(check.failed, AssignField::None);
    QVERIFY(m_port.SendIPSetup(check.packet));
    QVERIFY(b->waitForLine("net assigned " + kAssigned.toLatin1(), 1, 3000));
    QVERIFY(b->waitForLine("net up " + kAssigned.toLatin1(), 1, 5000));
    m_port.Search();
    QStringList results = m_port.Results();
    results.sort();
    QCOMPARE(results, (QStringList{Entry(kA, kMacA), Entry(kAssigned, kMacB)}));
    QVERIFY(!a->waitForLine("net down", 1, 100));
  }

  // Nothing is taken from a reply that is not whole and right; connection
  // failures reach the caller of a factory reset with their own message.
  void faultyOrAbsentModulesFailWithinTheLimits_data() {
    QTest::addColumn<QString>("fault");  // "": no module at all
    QTest::addColumn<QString>("reset");
    for (auto [fault, reset] : {std::pair{"", "Connection refused"},
                                {"silent", "Read timed out"},
                                {"short", "Read timed out"},
                                {"long", "false"},
                                {"code", "false"},
                                {"reset", "Connection reset by peer"}})
      QTest::newRow(*fault ? fault : "nobody") << QString(fault) << QString(reset);
  }
  void faultyOrAbsentModulesFailWithinTheLimits() {
    QFETCH(QString, fault);
    QFETCH(QString, reset);
    if (!fault.isEmpty()) QVERIFY(startModule(kB, kMacB, {"--net-fault", fault}));
    const QString ip = fault.isEmpty() ? kNobody : kB;
    QElapsedTimer clock;
    clock.start();
    SetupBlock block;
    block.fill(0xAA);
    const SetupBlock untouched = block;
    QVERIFY(!m_port.GetSetup(ip, block));
    QVERIFY(block == untouched);
    QVERIFY(!m_port.SetSetup(ip, DefaultBlock(), true));
    QCOMPARE(ResetOutcome(m_port, ip), reset);
    // Three operations of at most one 500 ms read each (two and a pause for the reset).
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
  }

  // A module whose connection never completes costs the 5 s connect limit, no more.
  void connectionThatNeverCompletesGivesUpAfterTheLimit() {
    // A listener that never accepts: once its queue is full, the kernel
    // drops further connection requests without an answer.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(kXportPort);
    ::inet_pton(AF_INET, kStalled.toLatin1().constData(), &at.sin_addr);
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    QCOMPARE(::listen(listener, 0), 0);
    std::vector<int> fillers{listener};
    const auto closeAll = qScopeGuard([&fillers] {
      for (int fd : fillers) ::close(fd);
    });
    for (bool stalled = false; !stalled && fillers.size() < 10;) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      fillers.push_back(fd);
      ::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
      pollfd p{fd, POLLOUT, 0};
      stalled = ::poll(&p, 1, 300) == 0;
    }
    QVERIFY(!m_port.CheckConnection(kStalled));

    QElapsedTimer clock;
    clock.start();
    SetupBlock block{};
    QVERIFY(!m_port.GetSetup(kStalled, block));
    QVERIFY2(clock.elapsed() >= kXportConnectMs - 100 && clock.elapsed() < kXportConnectMs + 2000,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(m_hookCalls >= kXportConnectMs / kWaitSliceMs / 2);
  }

  // The host name resolves to 127.0.1.1 on many systems: loopback never counts.
  void localAddressesLeaveLoopbackOutUnlessListed() {
    for (const QString& address : GetLocalAddresses())
      QVERIFY2(!address.startsWith("127."), qPrintable(address));
    qputenv(kHostAddressesVariable, "10.0.0.7:127.0.0.70");
    QCOMPARE(GetLocalAddresses(), (QStringList{"10.0.0.7", "127.0.0.70"}));
    qunsetenv(kHostAddressesVariable);
  }
};

QTEST_GUILESS_MAIN(XportTest)
#include "tst_xport.moc"
