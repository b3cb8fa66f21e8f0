#include <QtTest>

#include "link/Comms.h"

using namespace hlx;

class PortListTest : public QObject {
  Q_OBJECT
 private slots:

  void addsExtraPortsFromEnvironment() {
    qputenv("HLX_EXTRA_PORTS", "/tmp/hlx-test/pty10::/tmp/hlx-test/pty2:/tmp/hlx-test/pty2");
    const QStringList ports = BuildPortList();
    qunsetenv("HLX_EXTRA_PORTS");
    QCOMPARE(ports.count(QStringLiteral("/tmp/hlx-test/pty2")), 1);
    QVERIFY(!ports.contains(QString()));
    QVERIFY(ports.indexOf(QStringLiteral("/tmp/hlx-test/pty2")) <
            ports.indexOf(QStringLiteral("/tmp/hlx-test/pty10")));
  }
};

QTEST_APPLESS_MAIN(PortListTest)
#include "tst_portlist.moc"
