#include <QtTest>

#include "link/LineParser.h"

using namespace hlx;

namespace {

using Chunks = QList<QByteArray>;

QStringList Collect(LineParser& parser, const QByteArray& bytes) {
  QStringList lines;
  parser.Feed(bytes.constData(), static_cast<std::size_t>(bytes.size()), [&](std::string_view line) {
    lines << QString::fromLatin1(line.data(), qsizetype(line.size()));
  });
  return lines;
}

QByteArray Repeat(char c, int n) { return QByteArray(n, c); }

}  // namespace

// Each row is a stream cut into reads the way it might arrive, the lines that
// must come out and whether the parser waits for a start character afterwards.
// Every row is also replayed whole and one byte per read: the way a stream is
// cut must never change what comes out.
class LineParserTest : public QObject {
  Q_OBJECT
 private slots:
  void cutsStreamIntoLines_data() {
    QTest::addColumn<Chunks>("reads");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("idleAfter");

    QTest::newRow("sentence split across two reads") << Chunks{"$A", "\r\n"} << QStringList{"$A\r\n"} << true;
    QTest::newRow("garbage before and after a sentence")
        << Chunks{"xx$GPGLL,1\r\ngarbage"} << QStringList{"$GPGLL,1\r\n"} << true;
    QTest::newRow("TAG block line kept whole")
        << Chunks{"\\s:x-1*hh\\$GPRMC,1\r\n"} << QStringList{"\\s:x-1*hh\\$GPRMC,1\r\n"} << true;
    QTest::newRow("encapsulated sentence")
        << Chunks{"!AIVDM,1,1\r\n"} << QStringList{"!AIVDM,1,1\r\n"} << true;
    QTest::newRow("several lines in one read")
        << Chunks{"$A\r\n$B\r\n!C\r\n"} << QStringList{"$A\r\n", "$B\r\n", "!C\r\n"} << true;
    QTest::newRow("second start character does not restart the line")
        << Chunks{"$A$B\r\n"} << QStringList{"$A$B\r\n"} << true;
    QTest::newRow("LF alone ends a line, CR is an ordinary character")
        << Chunks{"$A\rB\n"} << QStringList{"$A\rB\n"} << true;
    QTest::newRow("NUL and binary bytes between lines are dropped")
        << Chunks{QByteArray("\0\xff\x80", 3) + "$A\r\n"} << QStringList{"$A\r\n"} << true;
    QTest::newRow("binary bytes inside a line are kept")
        << Chunks{QByteArray("$A\0\xff\r\n", 6)} << QStringList{QString::fromLatin1("$A\0\xff\r\n", 6)}
        << true;
    QTest::newRow("unfinished line waits for more") << Chunks{"$GPRMC,1"} << QStringList{} << false;

    const QByteArray longest = "$" + Repeat('A', 125) + "\r\n";  // 128 characters
    QTest::newRow("line of exactly 128 characters is kept")
        << Chunks{longest} << QStringList{QString::fromLatin1(longest)} << true;
    QTest::newRow("line of 129 characters is dropped")
        << Chunks{"$" + Repeat('A', 126) + "\r\n", "$B\r\n"} << QStringList{"$B\r\n"} << true;
    QTest::newRow("200 characters without LF leave nothing and an idle parser")
        << Chunks{"$" + Repeat('A', 199)} << QStringList{} << true;
    QTest::newRow("start character right after a full buffer is dropped with it")
        << Chunks{"$" + Repeat('A', 127) + "$B\r\n", "$C\r\n"} << QStringList{"$C\r\n"} << true;
    QTest::newRow("full buffer at the end of a read drops the first byte of the next")
        << Chunks{"$" + Repeat('A', 127), "$B\r\n$C\r\n"} << QStringList{"$C\r\n"} << true;
    QTest::newRow("128 characters without LF wait for the drop")
        << Chunks{"$" + Repeat('A', 127)} << QStringList{} << false;
  }
  void cutsStreamIntoLines() {
    QFETCH(Chunks, reads);
    QFETCH(QStringList, lines);
    QFETCH(bool, idleAfter);
    const QByteArray all = reads.join();
    LineParser asRead, whole, byteWise;
    QStringList got[3];
    for (const QByteArray& r : reads) got[0] += Collect(asRead, r);
    got[1] = Collect(whole, all);
    for (char c : all) got[2] += Collect(byteWise, QByteArray(1, c));
    for (const QStringList& g : got) QCOMPARE(g, lines);
    QCOMPARE(asRead.state() == LineParser::WaitStart, idleAfter);
    QCOMPARE(byteWise.state(), asRead.state());
    QCOMPARE(byteWise.length(), asRead.length());
  }

  void resetDiscardsPartialLine() {
    LineParser parser;
    QVERIFY(Collect(parser, "$GPRMC,12").isEmpty());
    parser.Reset();
    QCOMPARE(Collect(parser, "34\r\n$B\r\n"), QStringList{"$B\r\n"});
  }

  // Random cuts of a long mixed stream, checked against the same stream fed
  // one byte at a time: catches a fast path that loses its place across reads.
  void randomCutsGiveTheSameLines() {
    QRandomGenerator rng(1234);
    QByteArray stream;
    for (int i = 0; i < 2000; ++i) {
      const int kind = int(rng.bounded(4));
      if (kind == 0) stream += "junk";
      const int len = kind == 3 ? int(rng.bounded(100, 200)) : int(rng.bounded(1, 120));
      stream += (i % 3 ? "$" : "!") + Repeat(char('A' + i % 26), len) + "\r\n";
    }
    LineParser reference;
    QStringList expected;
    for (char c : stream) expected += Collect(reference, QByteArray(1, c));
    QVERIFY(expected.size() > 1000);

    LineParser cut;
    QStringList got;
    for (qsizetype pos = 0; pos < stream.size();) {
      const qsizetype n = qMin<qsizetype>(rng.bounded(1, 300), stream.size() - pos);
      got += Collect(cut, stream.mid(pos, n));
      pos += n;
    }
    QCOMPARE(got, expected);
  }
};

QTEST_APPLESS_MAIN(LineParserTest)
#include "tst_lineparser.moc"
