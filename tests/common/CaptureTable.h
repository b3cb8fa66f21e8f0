#pragma once
// The committed capture of the simulator's traffic (tests/captures/, made by
// regenerate.sh there) and the sentence inspector's table expected after it
// is replayed, compared as a user reads the table: counts exactly, the rate
// and the longest gap to within what the machine's timing allows.

#include <QFile>
#include <QtTest>

#include <cmath>

namespace hlx::test {

inline QString CapturePath(const char* name) {
  return QStringLiteral(HLX_SOURCE_DIR "/tests/captures/") + QLatin1String(name);
}

// `rows`: "input talker type count rate longest-gap bad-checksum no-checksum too-long".
inline void CompareWithExpectedTable(QStringList rows) {
  QFile file(CapturePath("boat.expected"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QStringList expected;
  for (const QByteArray& line : file.readAll().split('\n'))
    if (!line.isEmpty() && !line.startsWith('#')) expected << QString::fromLatin1(line);
  rows.sort();
  expected.sort();
  QCOMPARE(rows.size(), expected.size());
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const QStringList got = rows[i].split(u' ');
    const QStringList want = expected[i].split(u' ');
    const auto near = [&](int column) {
      return std::abs(got[column].toDouble() - want[column].toDouble()) <= 0.15;
    };
    QVERIFY2(got.size() == want.size() && got.mid(0, 4) == want.mid(0, 4) && got.mid(6) == want.mid(6) &&
                 near(4) && near(5),
             qPrintable(rows[i] + QStringLiteral(", expected ") + expected[i]));
  }
}

// How long the committed capture lasts (hlx-sim says "replay FILE: N lines over S s").
inline constexpr int kCaptureMs = 15000;

}  // namespace hlx::test
