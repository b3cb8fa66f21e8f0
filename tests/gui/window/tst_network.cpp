// Tools > Halyx-LAN in the real window against a simulated network module:
// the search fills the connection address, the network settings dialog
// points the window's connection at the module as it now works.

#include "WindowHarness.h"
#include "network/dialogs/NetworkDlg.h"
#include "network/dialogs/XPortListDlg.h"

using namespace hlx;
using namespace hlx::test;

namespace {

const QString kModule = QStringLiteral("127.0.0.76");
const QString kMoved = QStringLiteral("127.0.0.75");

// Runs `answer` on the modal dialog of type T once `ready` holds. Polled,
// never waited for: the dialog's own blocking operations run these ticks.
template <class T>
void WhenReady(QTimer& timer, std::function<bool(T&)> ready, std::function<void(T&)> answer) {
  QObject::connect(&timer, &QTimer::timeout, [&timer, ready, answer] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog || !ready(*dialog)) return;
    timer.stop();
    answer(*dialog);
  });
  timer.start(20);
}

}  // namespace

class NetworkMenuTest : public QObject {
  Q_OBJECT

  static bool StartModule(WindowHarness& h) {
    qputenv("HLX_TEST_SIM_ADDRESS", kModule.toLatin1());
    qputenv("HLX_DISCOVERY_ADDRESS", (kModule + ':' + kMoved).toLatin1());
    return h.Start({"--net-module", "02-00-00-0B-1C-2D", "--net-restart", "300"});
  }

 private slots:
  void searchChoosesTheConnectionAddress() {
    WindowHarness h;
    QVERIFY2(StartModule(h), qPrintable(h.Why()));
    h.ChoosePort(QStringLiteral("TCP"));
    QVERIFY(h.Find<QMenu>("miHalyxLAN")->menuAction()->isVisible());
    QTimer answer;
    WhenReady<TXPortListDlg>(
        answer, [](TXPortListDlg& d) { return d.findChild<QListWidget*>("lbxIPList")->count() == 1; },
        [](TXPortListDlg& d) {
          auto* list = d.findChild<QListWidget*>("lbxIPList");
          list->setCurrentRow(0);
          emit list->itemClicked(list->item(0));
          QTest::mouseClick(d.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
        });
    h.Trigger("miSearchLAN");
    QCOMPARE(h.Find<QLineEdit>("edtMuxIP")->text(), kModule);
    h.Click("btnConnect");
    QVERIFY(h.WaitReadBack());
  }

  void networkSettingsMoveTheConnection() {
    WindowHarness h;
    QVERIFY2(StartModule(h), qPrintable(h.Why()));
    QVERIFY(h.ConnectTcp());
    emit h.Find<QMenu>("miHalyxLAN")->aboutToShow();
    QVERIFY(h.Action("miNetworkSetup")->isEnabled());
    QTimer answer;
    WhenReady<TNetworkDlg>(
        answer, [](TNetworkDlg& d) { return d.findChild<QPushButton*>("btnOK")->isEnabled(); },
        [](TNetworkDlg& d) {
          auto* ok = d.findChild<QPushButton*>("btnOK");
          d.findChild<QRadioButton*>("rbUDP")->click();
          d.findChild<QLineEdit*>("edtIP")->setText(kMoved);
          QTest::mouseClick(ok, Qt::LeftButton);
        });
    h.Trigger("miNetworkSetup");
    QVERIFY(h.sim->waitForLine("net up " + kMoved.toLatin1(), 1, 10000));
    QVERIFY(!h.Connected());
    QCOMPARE(h.Combo("cbPort")->currentText(), QStringLiteral("UDP"));
    QCOMPARE(h.Find<QLineEdit>("edtMuxIP")->text(), kMoved);
    // The module's restart took the link with it, and the window says so.
    QCOMPARE(h.prompts.texts(), QStringList{"The connection to the multiplexer was closed."});
  }
};

QTEST_MAIN(NetworkMenuTest)
#include "tst_network.moc"
