// The host speed search of the windows and hlx-cli against a device that
// answers at one speed: the speeds tried in order, one 200 ms step each, and
// where the search ends.

#include <QtTest>

#include "session/SpeedSearch.h"

using namespace hlx;

namespace {
constexpr int kNever = -2;
constexpr int kStepMs = 200;
}  // namespace

class SpeedSearchTest : public QObject {
  Q_OBJECT

 private slots:
  void triesEachSpeedForOneStepUntilALineArrives_data() {
    QTest::addColumn<bool>("current");  // else the older generations' list
    QTest::addColumn<int>("deviceAt");  // a line comes `answerMs` after this speed is tried
    QTest::addColumn<int>("answerMs");
    QTest::addColumn<QList<int>>("tried");
    QTest::addColumn<int>("found");  // what the line ends the search at
    QTest::addColumn<bool>("gaveUp");
    QTest::newRow("current, silent: a step at the opening speed, then 115200 down to 4800")
        << true << kNever << 0 << QList<int>{5, 4, 3, 2, 1, 0} << kAsOpened << true;
    QTest::newRow("older, silent: 38400 at once, then down to 4800")
        << false << kNever << 0 << QList<int>{3, 2, 1, 0} << kAsOpened << true;
    QTest::newRow("answer at 38400 within its step") << true << 3 << 50 << QList<int>{5, 4, 3} << 3 << false;
    QTest::newRow("a line at the opening speed")
        << true << kAsOpened << 50 << QList<int>{} << kAsOpened << false;
    QTest::newRow("late answer ends at the speed then tried")
        << false << 2 << 300 << QList<int>{3, 2, 1} << 1 << false;
    QTest::newRow("answer after the last step changes nothing")
        << false << 0 << 300 << QList<int>{3, 2, 1, 0} << kAsOpened << true;
  }
  void triesEachSpeedForOneStepUntilALineArrives() {
    QFETCH(bool, current);
    QFETCH(int, deviceAt);
    QFETCH(int, answerMs);
    QFETCH(QList<int>, tried);
    QFETCH(int, found);
    QFETCH(bool, gaveUp);
    const std::span<const int> speeds =
        current ? std::span<const int>(kCurrentSearchSpeeds) : std::span<const int>(kLegacySearchSpeeds);
    SpeedSearch search(speeds);
    QElapsedTimer clock;
    QList<int> triedNow;
    QList<qint64> triedAt;
    qint64 gaveUpAt = -1;
    int answer = kAsOpened;
    bool answered = false;
    const auto answerLater = [&] {
      QTimer::singleShot(answerMs, &search, [&] {
        answer = search.Answered();
        answered = true;
      });
    };
    connect(&search, &SpeedSearch::speedTried, &search, [&](int speed) {
      triedNow << speed;
      triedAt << clock.elapsed();
      if (speed == deviceAt) answerLater();
    });
    connect(&search, &SpeedSearch::gaveUp, &search, [&] { gaveUpAt = clock.elapsed(); });
    clock.start();
    search.Start();
    if (deviceAt == kAsOpened) answerLater();
    QTRY_VERIFY_WITH_TIMEOUT(deviceAt == kNever ? gaveUpAt >= 0 : answered, 5000);
    QTest::qWait(2 * kStepMs);  // nothing follows the end
    QCOMPARE(triedNow, tried);
    QCOMPARE(answer, found);
    QCOMPARE(gaveUpAt >= 0, gaveUp);
    // One step per speed, the first at once unless the opening speed is heard first.
    const int first = speeds.front() == kAsOpened ? 1 : 0;
    for (int i = 0; i < triedAt.size(); ++i)
      QVERIFY2(triedAt[i] >= (first + i) * kStepMs * 9 / 10 && triedAt[i] < (first + i + 1) * kStepMs,
               qPrintable(QStringLiteral("try %1 at %2 ms").arg(i).arg(triedAt[i])));
    if (gaveUp)
      QVERIFY2(gaveUpAt >= qint64(speeds.size()) * kStepMs * 9 / 10, qPrintable(QString::number(gaveUpAt)));
  }
};

QTEST_GUILESS_MAIN(SpeedSearchTest)
#include "tst_speedsearch.moc"
