// The network dialogs clicked against simulated network modules: search,
// factory reset, assignment by MAC, the settings dialog and the host address
// choice; what they send, show and say.

#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "ScriptedPrompts.h"
#include "SimProcess.h"
#include "network/dialogs/AssignIPDlg.h"
#include "network/dialogs/NetDialogSupport.h"
#include "network/dialogs/NetworkDlg.h"
#include "network/dialogs/SelectNetworkDlg.h"
#include "network/dialogs/XPortListDlg.h"

using namespace hlx;
using hlx::test::ScriptedPrompts;
using hlx::test::SimProcess;

namespace {

const QString kA = QStringLiteral("127.0.0.77");
const QString kB = QStringLiteral("127.0.0.78");
const QString kMoved = QStringLiteral("127.0.0.79");
const QString kNobody = QStringLiteral("127.0.0.74");
const QString kLocalhost = QStringLiteral("127.0.0.1");
const QString kMacA = QStringLiteral("02-00-00-0B-1C-2D");
const QString kMacB = QStringLiteral("02-00-00-0B-1C-2E");
constexpr int kStepMs = 30;
constexpr int kBoxStepMs = 200;  // long enough to tell a held box from the steps

// Records what a dialog does with the progress window: "caption min max",
// then the positions, then "done".
class ProgressRecorder : public NetProgress {
 public:
  QStringList calls;
  void Start(const QString& caption, int minimum, int maximum) override {
    calls << QStringLiteral("%1 %2 %3").arg(caption).arg(minimum).arg(maximum);
  }
  void SetPosition(int position) override { calls << QString::number(position); }
  void Finish() override { calls << QStringLiteral("done"); }
};

QStringList Steps(const QString& start, int first, int last) {
  QStringList calls{start};
  for (int i = first; i <= last; ++i) calls << QString::number(i);
  return calls << QStringLiteral("done");
}

template <typename T>
T* Child(QWidget& dialog, const char* name) {
  T* child = dialog.findChild<T*>(QLatin1String(name));
  if (!child) qFatal("no control %s", name);
  return child;
}

void ClickItem(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

}  // namespace

class NetDialogsTest : public QObject {
  Q_OBJECT

  ScriptedPrompts m_prompts;
  ProgressRecorder m_progress;
  std::vector<std::unique_ptr<SimProcess>> m_modules;

  SimProcess* startModule(const QString& address, const QString& mac) {
    auto sim = std::make_unique<SimProcess>(false, false);
    // The NMEA ports on any free port: a module on 127.0.0.1 takes nobody's 10110.
    if (!sim->start({"--address", address, "--port", "0", "--net-module", mac, "--net-restart", "300"})) {
      qWarning("%s", qPrintable(sim->errorText()));
      return nullptr;
    }
    m_modules.push_back(std::move(sim));
    return m_modules.back().get();
  }

 private slots:
  void initTestCase() {
    qputenv(kDiscoveryAddressVariable, QStringList{kA, kB, kMoved}.join(':').toLatin1());
  }
  void init() {
    m_prompts.records.clear();
    m_prompts.informHoldMs = 0;
    m_progress.calls.clear();
  }
  void cleanup() { m_modules.clear(); }

  void searchShowsNothingFoundAndStaysOpenWhileSearching() {
    TAssignIPDlg assign(m_prompts, m_progress);
    TXPortListDlg dialog(m_prompts, m_progress, assign);
    dialog.show();
    // Timers run while the search waits; a close request meanwhile is refused,
    // since the search still uses the dialog's module link.
    QTimer::singleShot(300, &dialog, &QDialog::reject);
    auto* notFound = Child<QLabel>(dialog, "lblNotFound");
    QTRY_VERIFY_WITH_TIMEOUT(notFound->isVisible(), kDiscoveryWaitMs + 3000);
    QVERIFY(dialog.isVisible());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!Child<QListWidget>(dialog, "lbxIPList")->isVisible());
    for (const char* b : {"btnOK", "btnReset", "btnChangeIP"}) {
      const auto* button = Child<QPushButton>(dialog, b);
      QVERIFY(!button->isEnabled());
      // Its text shown whole, clear of the frame.
      const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
      QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()) + 2 * margin, b);
    }
    QCOMPARE(dialog.SelectedIP(), QString());
  }

  // A unit is picked, reset to its defaults after a confirmation, and found again.
  void searchPicksAUnitAndResetsIt() {
    SimProcess* a = startModule(kA, kMacA);
    QVERIFY(a && startModule(kB, kMacB));
    TAssignIPDlg assign(m_prompts, m_progress);
    TXPortListDlg dialog(m_prompts, m_progress, assign);
    dialog.SetStepMs(kStepMs);
    dialog.show();
    auto* list = Child<QListWidget>(dialog, "lbxIPList");
    QTRY_COMPARE_WITH_TIMEOUT(list->count(), 2, 5000);
    QVERIFY(list->isVisible() && !Child<QLabel>(dialog, "lblNotFound")->isVisible());
    QVERIFY(!Child<QPushButton>(dialog, "btnReset")->isEnabled());
    const int row = list->item(0)->text().startsWith(kA) ? 0 : 1;
    ClickItem(list, row);
    QCOMPARE(dialog.SelectedIP(), kA);
    QCOMPARE(dialog.SelectedMAC(), kMacA);
    for (const char* b : {"btnOK", "btnReset", "btnChangeIP"})
      QVERIFY(Child<QPushButton>(dialog, b)->isEnabled());

    m_prompts.yesNoAnswers.enqueue(true);
    QTest::mouseClick(Child<QPushButton>(dialog, "btnReset"), Qt::LeftButton);
    QCOMPARE(m_prompts.records.value(0).text,
             QStringLiteral(
                 "This restores the factory default network settings.\nDo you really want to proceed?"));
    QCOMPARE(m_prompts.records.value(0).caption, QStringLiteral("HLX-Config"));
    QVERIFY(a->waitForLine("net written FD", 1, 3000));
    QCOMPARE(m_progress.calls, Steps("Restoring Default Network Settings... 0 20", 0, 20));
    QCOMPARE(list->count(), 2);  // searched again
    QVERIFY(!Child<QPushButton>(dialog, "btnReset")->isEnabled());
    QCOMPARE(m_prompts.texts(u"inform"), QStringList());
  }

  void assignRefusesBadInputAndSendsGoodInputToTheUnit() {
    SimProcess* b = startModule(kB, kMacB);
    QVERIFY(b);
    TAssignIPDlg dialog(m_prompts, m_progress);
    dialog.SetStepMs(kStepMs);
    auto* mac = Child<QLineEdit>(dialog, "edtMAC");
    auto* ip = Child<QLineEdit>(dialog, "edtIP");
    mac->setText("02:00:00:0B:1C:2E");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), ip);  // a MAC came with the dialog
    ip->setText(kMoved);
    QTest::mouseClick(Child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
    QCOMPARE(m_prompts.texts(u"inform"), QStringList{"Invalid MAC or IP address entered"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(QApplication::focusWidget(), mac);
    QCOMPARE(m_progress.calls, QStringList());

    mac->setText(kMacB);
    QTest::mouseClick(Child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
    QVERIFY(b->waitForLine("net assigned " + kMoved.toLatin1(), 1, 3000));
    QCOMPARE(m_progress.calls, Steps("Assigning IP Address... 0 19", 0, 19));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
  }

  // Read, a refused address, then a move that is verified at the new
  // address; or, with the address kept, verified where the user found it.
  void settingsDialogWritesAndVerifies_data() {
    QTest::addColumn<QString>("module");  // where it listens
    QTest::addColumn<QString>("target");  // the address the user gave
    QTest::addColumn<QString>("moveTo");  // empty: the address is kept
    QTest::addColumn<int>("boxMs");       // a box of another window held open meanwhile
    QTest::newRow("moved") << kA << kA << kMoved << 0;
    QTest::newRow("host name, address kept") << kLocalhost << "localhost" << QString() << 0;
    QTest::newRow("a message box open meanwhile") << kA << kA << kMoved << 1500;
  }
  void settingsDialogWritesAndVerifies() {
    QFETCH(QString, module);
    QFETCH(QString, target);
    QFETCH(QString, moveTo);
    QFETCH(int, boxMs);
    SimProcess* a = startModule(module, kMacA);
    QVERIFY(a);
    TNetworkDlg dialog(m_prompts, m_progress);
    const int stepMs = boxMs > 0 ? kBoxStepMs : kStepMs;
    dialog.SetStepMs(stepMs);
    dialog.SetTargetIP(target);
    dialog.show();
    auto* ok = Child<QPushButton>(dialog, "btnOK");
    QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled(), 5000);
    auto* ip = Child<QLineEdit>(dialog, "edtIP");
    QCOMPARE(ip->text(), module);
    QCOMPARE(Child<QLineEdit>(dialog, "edtMask")->text(), QStringLiteral("255.0.0.0"));
    QVERIFY(Child<QRadioButton>(dialog, "rbTCP")->isChecked());
    for (const char* w : {"lblUDPMode", "cbUDPMode", "lblDestIP", "edtDestIP"})
      QVERIFY(!Child<QWidget>(dialog, w)->isEnabled());

    Child<QRadioButton>(dialog, "rbUDP")->click();
    QVERIFY(Child<QComboBox>(dialog, "cbUDPMode")->isEnabled());
    QVERIFY(!Child<QLineEdit>(dialog, "edtDestIP")->isEnabled());  // broadcast

    QStringList expected;
    if (!moveTo.isEmpty()) {
      ip->setText("127.0.0.0");  // the network address of 127.0.0.0/8
      QTest::mouseClick(ok, Qt::LeftButton);
      expected << "Invalid IP address or netmask entered";
      QCOMPARE(m_prompts.texts(u"inform"), expected);
      QVERIFY(dialog.isVisible());
      ip->setText(moveTo);
    }
    if (boxMs > 0) {
      m_prompts.informHoldMs = boxMs;
      QTimer::singleShot(3 * stepMs, &dialog,
                         [this] { m_prompts.Inform("Another box", {}, PromptIcon::None); });
      expected << "Another box";
    }
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(ok, Qt::LeftButton);
    // The ten waiting steps keep their time: the box's is not added to it.
    if (boxMs > 0)
      QVERIFY2(clock.elapsed() < 10 * stepMs + boxMs / 2, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(a->waitForLine(moveTo.isEmpty() ? "net written FA" : "net written FD", 1, 3000));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_prompts.texts(u"inform"), expected);  // verified: no further message
    QCOMPARE(m_progress.calls.first(), QStringLiteral("Updating Network Settings... 0 20"));
    QVERIFY(m_progress.calls.size() > 12);  // the ten waiting steps and at least one attempt
    QVERIFY(!dialog.TcpChosen());
    QCOMPARE(dialog.IPText(), moveTo.isEmpty() ? module : moveTo);
  }

  void settingsDialogClosesWhenNoModuleAnswers() {
    TNetworkDlg dialog(m_prompts, m_progress);
    dialog.SetTargetIP(kNobody);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(m_prompts.texts(u"inform"), QStringList{"Cannot connect to Halyx"});
  }

  void hostAddressNeedsASelection() {
    TSelectNetworkDlg dialog;
    dialog.SetAddresses({"10.0.0.7", "169.254.3.4"});
    dialog.show();
    auto* ok = Child<QPushButton>(dialog, "btnOK");
    QVERIFY(!ok->isEnabled());
    QCOMPARE(dialog.SelectedAddress(), QString());
    ClickItem(Child<QListWidget>(dialog, "lbxNetList"), 1);
    QVERIFY(ok->isEnabled());
    QCOMPARE(dialog.SelectedAddress(), QStringLiteral("169.254.3.4"));
  }
};

QTEST_MAIN(NetDialogsTest)
#include "tst_netdialogs.moc"
