#include <QtTest>

#include "config/Statistics.h"

using namespace hlx;

class StatsTest : public QObject {
  Q_OBJECT
 private slots:
  void parseReport_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("values");  // -1: field absent
    QTest::newRow("five fields") << "$PQVXSTAT,12,0,63,5,2304*hh\r\n" << QList<int>{12, 0, 63, 5, 2304};
    QTest::newRow("leading blanks skipped") << "$PQVXSTAT, 7,  8,9,1,2\r\n" << QList<int>{7, 8, 9, 1, 2};
    QTest::newRow("digits up to another character") << "$PQVXSTAT,12x,3.5,-4,5,6\r\n"
                                                    << QList<int>{12, 3, 0, 5, 6};
    QTest::newRow("empty field is zero") << "$PQVXSTAT,,1,,2,\r\n" << QList<int>{0, 1, 0, 2, 0};
    QTest::newRow("missing fields stay absent") << "$PQVXSTAT,4,5\r\n" << QList<int>{4, 5, -1, -1, -1};
    QTest::newRow("huge value saturates") << "$PQVXSTAT,99999999999,1,1,1,1\r\n"
                                          << QList<int>{INT_MAX, 1, 1, 1, 1};
    QTest::newRow("with TAG block") << "\\s:x*00\\$PQVXSTAT,1,2,3,4,5\r\n" << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("not a sentence") << "PQVXSTAT,1,2,3,4,5" << QList<int>{-1, -1, -1, -1, -1};
  }
  void parseReport() {
    QFETCH(QString, line);
    QFETCH(QList<int>, values);
    const StatReport report = ParseSTATReply(line.toStdString());
    for (int i = 0; i < kStatFieldCount; ++i) {
      const auto& v = report.Values[static_cast<std::size_t>(i)];
      QCOMPARE(v.has_value() ? *v : -1, values[i]);
    }
  }

  void toggleSwitchesReportsOnThenOff() {
    auto toggle = [](bool checkedBefore) {
      const StatsToggleAction a = ToggleStats(checkedBefore);
      return QStringLiteral("%1 %2 ").arg(a.Checked).arg(a.Show) + QLatin1String(a.Command);
    };
    QCOMPARE(toggle(false), QString("1 1 PQVXSTAT,1"));
    QCOMPARE(toggle(true), QString("0 0 PQVXSTAT,0"));
  }

  void windowSitsRightOfTheMainWindow() {
    QCOMPARE(StatsPlacement(QRect(100, 50, 640, 480)), QPoint(740, 50));
    QCOMPARE(StatsPlacement(QRect(-20, 0, 300, 200)), QPoint(280, 0));
  }
};

QTEST_GUILESS_MAIN(StatsTest)
#include "tst_stats.moc"
