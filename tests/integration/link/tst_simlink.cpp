#include <QNetworkProxy>
#include <QtTest>

#include "LinkProbe.h"
#include "SimProcess.h"

using namespace hlx;
using namespace hlx::test;

namespace {

const QString kSimAddress = QStringLiteral("127.0.0.57");

bool HasVerReply(const QStringList& lines) {
  for (const QString& line : lines)
    if (FieldOr(line.toStdString(), 0) == "PQVXVER" && !FieldOr(line.toStdString(), 1).empty()) return true;
  return false;
}

}  // namespace

// TComm against the real simulator: the version query and its reply over
// both channels the device offers a computer directly.
class SimLinkTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

  void versionQuery_getsTheReply_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("TCP") << int(ChTcp);
    QTest::newRow("pseudo-terminal") << int(ChSerial);
  }
  void versionQuery_getsTheReply() {
    QFETCH(int, kind);
    SimProcess sim;
    QVERIFY2(sim.start({"--address", kSimAddress}), qPrintable(sim.errorText()));
    LinkProbe probe;
    const QString address = kind == ChTcp ? kSimAddress : sim.ptyPath();
    QCOMPARE(probe.comm->Open(kind, address, 5), std::uint8_t(kind));
    probe.comm->Send("PQVXVER");
    QVERIFY(probe.comm->LastSendError().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(HasVerReply(probe.lines), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        sim.recordedLines().contains(QString::fromStdString(CompleteSentence("PQVXVER")).trimmed()), 5000);
    probe.comm->Close();
  }
};

QTEST_GUILESS_MAIN(SimLinkTest)
#include "tst_simlink.moc"
