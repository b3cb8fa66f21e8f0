// The network modules in the real window, simulated on loopback. Tools >
// Halyx-LAN: the search fills the connection address, the network settings
// dialog points the window's connection at the module as it now works.
// "Update WiFi Firmware...": the WiFi model fetches the chosen image from the
// window's own FTP server, and the module's report ends the serving.

#include <QTcpServer>

#include "WindowHarness.h"
#include "network/dialogs/NetworkDlg.h"
#include "network/dialogs/SelectNetworkDlg.h"
#include "network/dialogs/XPortListDlg.h"

using namespace hlx;
using namespace hlx::test;

namespace {

const QString kHostA = QStringLiteral("127.0.0.61");
const QString kHostB = QStringLiteral("127.0.0.71");

quint16 FreePort(const QString& address) {
  QTcpServer probe;
  return probe.listen(QHostAddress(address), 0) ? probe.serverPort() : 0;
}

bool Listening(const QString& address, quint16 port) {
  QTcpSocket probe;
  probe.connectToHost(address, port);
  return probe.waitForConnected(2000);
}

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

class NetworkModulesTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QByteArray m_image;

  // The WiFi model over TCP, fetching from `ftpPort`; without its module the
  // simulator still says it is one, but never fetches nor reports.
  static bool StartWifiModel(WindowHarness& h, quint16 ftpPort, const QString& store, bool module = true) {
    qputenv("HLX_FTP_PORT", QByteArray::number(ftpPort));
    const QStringList args = module ? QStringList{"--wifi-module", "--wifi-ftp-port",
                                                  QString::number(ftpPort), "--wifi-store", store}
                                    : QStringList{"--caps", "8043"};
    return h.Start(args) && h.ConnectTcp() && h.Action("miUpdateWiFi")->isVisible() &&
           h.Action("miUpdateWiFi")->isEnabled();
  }

  static bool StartModule(WindowHarness& h) {
    qputenv("HLX_TEST_SIM_ADDRESS", kModule.toLatin1());
    qputenv("HLX_DISCOVERY_ADDRESS", (kModule + ':' + kMoved).toLatin1());
    return h.Start({"--net-module", "02-00-00-0B-1C-2D", "--net-restart", "300"});
  }

 private slots:
  void initTestCase() {
    QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/images/store")));
    for (int i = 0; i < 200000; ++i) m_image += static_cast<char>((i * 13 + i / 251) & 0xFF);
    for (const char* name : {"/images/Module v2.img", "/images/wifi.img"})
      WriteText(m_dir.path() + name, m_image);
  }

  void moduleFetchesTheChosenImage_data() {
    QTest::addColumn<QString>("hosts");
    QTest::addColumn<int>("pick");  // row chosen in the host address dialog, -1: cancelled
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("order");
    QTest::newRow("one address: no dialog, a name with spaces") << kHostA << -1 << "Module v2.img"
                                                                << "$PQVXWI,U,Module v2.img,127.0.0.61*66";
    QTest::newRow("two addresses: the chosen one") << kHostA + ':' + kHostB << 1 << "wifi.img"
                                                   << "$PQVXWI,U,wifi.img,127.0.0.71*28";
    QTest::newRow("two addresses, dialog cancelled") << kHostA + ':' + kHostB << -1 << "wifi.img"
                                                     << "";
    QTest::newRow("image not chosen") << kHostA << -1 << ""
                                      << "";
  }
  void moduleFetchesTheChosenImage() {
    QFETCH(QString, hosts);
    QFETCH(int, pick);
    QFETCH(QString, image);
    QFETCH(QString, order);
    qputenv("HLX_HOST_ADDRESSES", hosts.toLatin1());
    const QString store = m_dir.path() + QStringLiteral("/images/store");
    QFile::remove(store + '/' + image);
    WindowHarness h;
    const quint16 port = FreePort(kHostA);
    QVERIFY2(StartWifiModel(h, port, store), qPrintable(h.Why()));
    QTimer answer;
    bool dialogShown = false;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<TSelectNetworkDlg*>(QApplication::activeModalWidget());
      if (!dialog) return;
      answer.stop();
      dialogShown = true;
      auto* list = dialog->findChild<QListWidget*>("lbxNetList");
      QCOMPARE(list->count(), 2);
      if (pick < 0) return QTest::mouseClick(dialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
      list->setCurrentRow(pick);
      emit list->itemClicked(list->item(pick));
      QTest::mouseClick(dialog->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
    });
    answer.start(20);
    h.Trigger("miUpdateWiFi", image.isEmpty() ? QString() : m_dir.path() + "/images/" + image);
    QCOMPARE(dialogShown, hosts.contains(':'));
    // The open dialog comes only after an address, with the image type chosen.
    const bool opened = !(dialogShown && pick < 0);
    QCOMPARE(h.prompts.records.size(), opened ? 1 : 0);
    if (opened) QCOMPARE(h.prompts.lastOpenFilter, 2);
    if (order.isEmpty()) {
      QCOMPARE_STEADY(h.Sent("$PQVXWI"), QStringList{}, 100);  // the order would follow the dialogs at once
      QVERIFY(!Listening(kHostA, port));
      return;
    }
    const QString host = order.section(',', 3).section('*', 0, 0);
    // The window's thread blocks in this wait: the server serves on a thread of its own.
    QVERIFY(h.sim->waitForLine(
        QStringLiteral("wifi received 200000 bytes, kept %1/%2").arg(store, image).toUtf8(), 1, 15000));
    QCOMPARE(h.Sent("$PQVXWI"), QStringList{order});
    QCOMPARE(ReadAll(store + '/' + image), m_image);
    // $PQVXWI,RDY ends the serving.
    QTRY_VERIFY_WITH_TIMEOUT(!Listening(host, port), 5000);
    QVERIFY(h.prompts.texts().filter("FTP").isEmpty());
  }

  void serverThatCannotListenSendsNothing_data() {
    QTest::addColumn<QString>("hosts");
    QTest::addColumn<bool>("privileged");
    QTest::addColumn<QString>("message");
    QTest::newRow("port in use") << kHostA << false << "cannot listen on port";
    QTest::newRow("port 21 without privileges") << kHostA << true << "cap_net_bind_service";
    QTest::newRow("no address at all") << ":" << false << "no IPv4 network address";
  }
  void serverThatCannotListenSendsNothing() {
    QFETCH(QString, hosts);
    QFETCH(bool, privileged);
    QFETCH(QString, message);
    qputenv("HLX_HOST_ADDRESSES", hosts.toLatin1());
    QTcpServer holder;
    quint16 port = 21;
    if (privileged) {
      if (holder.listen(QHostAddress(kHostA), port)) QSKIP("this user may listen on port 21");
    } else {
      QVERIFY(holder.listen(QHostAddress(kHostA), 0));
      port = holder.serverPort();
    }
    WindowHarness h;
    QVERIFY2(StartWifiModel(h, port, m_dir.path(), false), qPrintable(h.Why()));
    h.Trigger("miUpdateWiFi", m_dir.path() + "/images/wifi.img");
    QVERIFY2(h.prompts.texts().join('\n').contains(message), qPrintable(h.prompts.texts().join('\n')));
    QCOMPARE_STEADY(h.Sent("$PQVXWI"), QStringList{}, 100);  // the order would follow the message at once
  }

  void disconnectEndsTheServing() {
    qputenv("HLX_HOST_ADDRESSES", kHostA.toLatin1());
    WindowHarness h;
    const quint16 port = FreePort(kHostA);
    QVERIFY2(StartWifiModel(h, port, m_dir.path(), false), qPrintable(h.Why()));
    h.Trigger("miUpdateWiFi", m_dir.path() + "/images/wifi.img");
    QTRY_COMPARE(h.Sent("$PQVXWI"), QStringList{"$PQVXWI,U,wifi.img,127.0.0.61*29"});
    QVERIFY(Listening(kHostA, port));
    h.Click("btnConnect");
    QVERIFY(!h.Connected());
    QVERIFY(!Listening(kHostA, port));
  }

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

QTEST_MAIN(NetworkModulesTest)
#include "tst_network.moc"
