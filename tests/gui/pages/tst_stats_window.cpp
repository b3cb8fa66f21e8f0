#include <QProgressBar>
#include <QtTest>

#include "config/pages/StatsWindow.h"

using namespace hlx;

// The statistics window itself, on the offscreen platform.
class StatsWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void reportSetsTheFiveBars() {
    TStats stats;
    QCOMPARE(stats.size(), QSize(194, 227));
    QCOMPARE(stats.windowTitle(), QString("Statistics"));
    QVERIFY(stats.windowFlags() & Qt::WindowStaysOnTopHint);
    // Reports arrive while the window is hidden too.
    stats.HandleSTATReply("$PQVXSTAT,12,0,63,5,2304*00\r\n");
    const QStringList names = {"PeakQ1", "PeakQ2", "PeakQ3", "PeakQ4", "CPULoad"};
    const QList<int> values = {12, 0, 63, 5, 2304};
    for (int i = 0; i < names.size(); ++i) {
      auto* bar = stats.findChild<QProgressBar*>(names[i]);
      QVERIFY(bar);
      QCOMPARE(bar->orientation(), Qt::Vertical);
      QCOMPARE(bar->value(), values[i]);
    }
    QCOMPARE(stats.findChild<QProgressBar*>("CPULoad")->maximum(), 4608);
    QCOMPARE(stats.findChild<QProgressBar*>("PeakQ1")->maximum(), 63);
  }

  void outOfRangeShowsFullAndShortReportKeepsTheRest() {
    TStats stats;
    stats.HandleSTATReply("$PQVXSTAT,1,2,3,4,5\r\n");
    stats.HandleSTATReply("$PQVXSTAT,900,7\r\n");
    QCOMPARE(stats.BarValue(0), 63);
    QCOMPARE(stats.BarValue(1), 7);
    QCOMPARE(stats.BarValue(2), 3);
    QCOMPARE(stats.BarValue(4), 5);
  }

  void showingAgainStartsFromZero() {
    TStats stats;
    stats.HandleSTATReply("$PQVXSTAT,1,2,3,4,5\r\n");
    stats.show();
    for (int i = 0; i < kStatFieldCount; ++i) QCOMPARE(stats.BarValue(i), 0);
    stats.HandleSTATReply("$PQVXSTAT,1,2,3,4,5\r\n");
    stats.hide();
    QCOMPARE(stats.BarValue(4), 5);  // hidden keeps the last values
    stats.show();
    QCOMPARE(stats.BarValue(4), 0);
  }
};

QTEST_MAIN(StatsWindowTest)
#include "tst_stats_window.moc"
