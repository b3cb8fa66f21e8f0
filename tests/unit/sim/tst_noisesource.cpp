// The simulator's line noise: the receiver tests trust it to hold the hard
// cases and never to damage or imitate a numbered sentence.

#include <QRegularExpression>
#include <QtTest>
#include <algorithm>

#include "NoiseSource.h"

using hlx::sim::NoiseSource;

namespace {

std::string Bursts(std::uint32_t seed, int count) {
  NoiseSource noise(seed, 0);
  std::string out;
  for (int i = 0; i < count; ++i) noise.AppendBurst(out);
  return out;
}

}  // namespace

class NoiseSourceTest : public QObject {
  Q_OBJECT

 private slots:
  void burstsHoldTheHardCasesAndWholeNumberedSentences() {
    const std::string out = Bursts(7, 3000);
    QCOMPARE(out, Bursts(7, 3000));
    QVERIFY(out != Bursts(8, 3000));

    static const QRegularExpression marker(QStringLiteral("^\\$(PXSEQ,(\\d+),(\\d+))\\*([0-9A-F]{2})\\r$"));
    qint64 garbage = 0, markers = 0;
    bool nul = false, high = false, bareCr = false, strayStart = false, overlong = false;
    QByteArrayList lines = QByteArray::fromStdString(out).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());  // after the last line end
    for (const QByteArray& line : lines) {
      const auto m = marker.match(QLatin1StringView(line));
      if (!m.hasMatch()) {
        QVERIFY2(!line.contains('X'), line.constData());
        garbage += line.size() + 1;
        nul |= line.contains('\0');
        high |= std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; });
        bareCr |= line.indexOf('\r') >= 0 && line.indexOf('\r') < line.size() - 1;
        const std::string_view text(line.constData(), std::size_t(line.size()));
        const std::size_t start = text.find_first_of("$!\\");
        strayStart |= start != text.npos && text.find_first_of("$!\\", start + 1) != text.npos;
        overlong |= start != text.npos && text.size() - start > 129;
        continue;
      }
      std::uint8_t sum = 0;
      for (const QChar c : m.captured(1)) sum ^= std::uint8_t(c.unicode());
      QCOMPARE(m.captured(4).toUInt(nullptr, 16), uint(sum));
      QCOMPARE(m.captured(2).toLongLong(), markers++);
      QCOMPARE(m.captured(3).toLongLong(), garbage);
    }
    QCOMPARE(markers, 3000);
    QVERIFY(nul && high && bareCr && strayStart && overlong);
  }
};

QTEST_GUILESS_MAIN(NoiseSourceTest)
#include "tst_noisesource.moc"
