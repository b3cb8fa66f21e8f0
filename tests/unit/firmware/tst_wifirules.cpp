// The rules of the wireless module's update without a socket: which file
// names can travel in the order, which report ends the serving, which port
// is listened on, and what the user is told when it cannot be.

#include <QtTest>

#include "firmware/FtpProtocol.h"
#include "firmware/WifiUpdate.h"

using namespace hlx;

class TestWifiRules : public QObject {
  Q_OBJECT

 private slots:
  void orderAndReport() {
    QCOMPARE(WifiUpdateCommand(QStringLiteral("Module v2.img"), QStringLiteral("10.0.0.7")),
             std::string("PQVXWI,U,Module v2.img,10.0.0.7"));
    QVERIFY(WifiModuleReady("$PQVXWI,RDY*72\r\n"));
    for (const char* other :
         {"$PQVXWI,RDYX\r\n", "$PQVXWI,rdy\r\n", "$PQVXWI,U,wifi.img,10.0.0.7\r\n", "$PQVXWI\r\n"})
      QVERIFY2(!WifiModuleReady(other), other);
  }

  void fileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("spaces") << "Module v2.img" << true;
    // "$" + "PQVXWI,U," + name + "," + "127.0.0.61" + "*hh\r\n" fills the 128 characters of a line.
    QTest::newRow("longest") << QString(102, 'a') << true;
    QTest::newRow("one too long") << QString(103, 'a') << false;
    for (const char* bad :
         {"a,b.img", "a*b.img", "$a.img", "!a.img", "a\\b.img", "caf\u00e9.img", "tab\t.img"})
      QTest::newRow(bad) << QString::fromUtf8(bad) << false;
  }
  void fileNames() {
    QFETCH(QString, name);
    QFETCH(bool, sendable);
    QCOMPARE(WifiFileNameProblem(name, QStringLiteral("127.0.0.61")).isEmpty(), sendable);
  }

  void listenPortAndFailure_data() {
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<int>("port");
    QTest::newRow("unset") << QByteArray() << 21;
    QTest::newRow("chosen") << QByteArray("2121") << 2121;
    for (const char* bad : {"0", "70000", "x21", "-5"}) QTest::newRow(bad) << QByteArray(bad) << 21;
  }
  void listenPortAndFailure() {
    QFETCH(QByteArray, variable);
    QFETCH(int, port);
    qputenv(kFtpPortVariable, variable);
    QCOMPARE(int(FtpListenPort()), port);
    const QString refused =
        FtpListenFailure(QStringLiteral("10.0.0.7"), FtpListenPort(), QAbstractSocket::SocketAccessError,
                         QStringLiteral("denied"), QStringLiteral("/usr/bin/hlx-config"));
    // Only a privileged port gets the advice on privileges.
    QCOMPARE(refused.contains(QStringLiteral("sudo setcap cap_net_bind_service=+ep /usr/bin/hlx-config")),
             port < 1024);
    QCOMPARE(refused.contains(QStringLiteral("net.ipv4.ip_unprivileged_port_start=21")), port < 1024);
  }
};

QTEST_GUILESS_MAIN(TestWifiRules)
#include "tst_wifirules.moc"
