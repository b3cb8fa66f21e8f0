#include <QtTest>
#include <algorithm>

#include "link/Comms.h"

using namespace hlx;

class PortListTest : public QObject {
  Q_OBJECT
 private slots:
  void sortsByNameThenNumber_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("ttyS2 before ttyS10")
        << QStringList{"ttyS10", "ttyS2", "ttyS1"} << QStringList{"ttyS1", "ttyS2", "ttyS10"};
    QTest::newRow("names group before numbers") << QStringList{"ttyUSB0", "ttyS10", "ttyACM1", "ttyS9"}
                                                << QStringList{"ttyACM1", "ttyS9", "ttyS10", "ttyUSB0"};
    QTest::newRow("pseudo-terminal paths")
        << QStringList{"/dev/pts/12", "/dev/pts/3"} << QStringList{"/dev/pts/3", "/dev/pts/12"};
    QTest::newRow("name without number first")
        << QStringList{"link1", "link"} << QStringList{"link", "link1"};
    QTest::newRow("numbers too long for an integer still order")
        << QStringList{"p99999999999999999999", "p1"} << QStringList{"p1", "p99999999999999999999"};
  }
  void sortsByNameThenNumber() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    std::sort(names.begin(), names.end(), PortNameLess);
    QCOMPARE(names, sorted);
  }

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
