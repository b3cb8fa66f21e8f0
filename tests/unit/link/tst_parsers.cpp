// The two parsers that cut the received byte stream: NMEA lines and
// bootloader frames. Every input is also replayed one byte per read: the way
// a stream is cut must never change what comes out.

#include <QtTest>
#include <numeric>

#include "link/FrameParser.h"
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

QByteArray Bytes(const char* hex) { return QByteArray::fromHex(hex); }

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

void Feed(FrameParser& parser, const QByteArray& bytes) {
  parser.Feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
}

}  // namespace

class ParsersTest : public QObject {
  Q_OBJECT
 private slots:
  // A stream cut into reads the way it might arrive, the lines that must come
  // out and whether the parser waits for a start character afterwards. Each
  // row is also fed whole.
  void cutsStreamIntoLines_data() {
    QTest::addColumn<Chunks>("reads");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("idleAfter");
    const auto row = [](const char* name, const Chunks& reads, const QStringList& lines, bool idle = true) {
      QTest::newRow(name) << reads << lines << idle;
    };
    row("garbage before and after a sentence", {"xx$GPGLL,1\r\ngarbage"}, {"$GPGLL,1\r\n"});
    row("TAG block line kept whole", {"\\s:x-1*hh\\$GPRMC,1\r\n"}, {"\\s:x-1*hh\\$GPRMC,1\r\n"});
    row("several lines in one read", {"$A\r\n$B\r\n!C\r\n"}, {"$A\r\n", "$B\r\n", "!C\r\n"});
    row("second start character does not restart the line", {"$A$B\r\n"}, {"$A$B\r\n"});
    row("LF alone ends a line, CR is an ordinary character", {"$A\rB\n"}, {"$A\rB\n"});
    row("NUL and binary bytes between lines are dropped", {QByteArray("\0\xff\x80$A\r\n", 7)}, {"$A\r\n"});
    row("binary bytes inside a line are kept", {QByteArray("$A\0\xff\r\n", 6)},
        {QString::fromLatin1("$A\0\xff\r\n", 6)});
    const QByteArray longest = "$" + Repeat('A', 125) + "\r\n";  // 128 characters
    row("line of exactly 128 characters is kept", {longest}, {QString::fromLatin1(longest)});
    row("line of 129 characters is dropped", {"$" + Repeat('A', 126) + "\r\n", "$B\r\n"}, {"$B\r\n"});
    row("200 characters without LF leave nothing and an idle parser", {"$" + Repeat('A', 199)}, {});
    row("start character right after a full buffer is dropped with it",
        {"$" + Repeat('A', 127) + "$B\r\n", "$C\r\n"}, {"$C\r\n"});
    row("full buffer at the end of a read drops the first byte of the next",
        {"$" + Repeat('A', 127), "$B\r\n$C\r\n"}, {"$C\r\n"});
    row("128 characters without LF wait for the drop", {"$" + Repeat('A', 127)}, {}, false);
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

  // Every encoded frame is also parsed back: what goes out comes back unchanged.
  void encodesFrame_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("length");  // of the record; -1: the data's
    QTest::addColumn<QByteArray>("wire");
    QByteArray all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    QTest::newRow("every byte value, only the top three escaped")
        << all << -1 << Bytes("FE") + all.first(253) + Bytes("FFFDFFFEFFFFFD");
    QTest::newRow("full slot of escaped bytes")
        << Bytes("FD").repeated(1024) << -1 << Bytes("FE") + Bytes("FFFD").repeated(1024) + Bytes("FD");
    QTest::newRow("length beyond the slot is cut to the slot")
        << Bytes("07").repeated(1024) << 5000 << Bytes("FE") + Bytes("07").repeated(1024) + Bytes("FD");
    QTest::newRow("empty record gives start and end only") << QByteArray() << -1 << Bytes("FEFD");
  }
  void encodesFrame() {
    QFETCH(QByteArray, data);
    QFETCH(int, length);
    QFETCH(QByteArray, wire);
    LoaderFrameRecord out;
    std::copy(data.begin(), data.end(), out.data.begin());
    out.length = static_cast<std::uint16_t>(length < 0 ? data.size() : length);
    QCOMPARE(QByteArray::fromStdString(EncodeFrame(out)), wire);
    FrameParser parser;
    Feed(parser, wire);
    QCOMPARE(parser.complete(), !data.isEmpty());  // an empty frame carries nothing
    LoaderFrameRecord back;
    parser.Take(back);
    if (!data.isEmpty()) QCOMPARE(Payload(back), data);
  }

  // A complete frame is taken and the next frame must then come in.
  void parsesFrame_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("frame");  // when complete
    QTest::newRow("empty frame is ignored") << Bytes("FEFD") << int(FrameParser::Idle) << QByteArray();
    QTest::newRow("second start byte restarts the frame") << Bytes("FE10FE20FD") << 3 << Bytes("20");
    QTest::newRow("bytes before the start are ignored") << Bytes("0041FE01FD") << 3 << Bytes("01");
    QTest::newRow("escape then start byte is data, not a restart") << Bytes("FEFFFEFD") << 3 << Bytes("FE");
    QTest::newRow("escaped end byte does not end the frame") << Bytes("FEFFFD") << 2 << QByteArray();
    QTest::newRow("escape waiting for its byte") << Bytes("FE01FF") << 4 << QByteArray();
    QTest::newRow("a second frame before taking is ignored") << Bytes("FE01FDFE02FD") << 3 << Bytes("01");
    QTest::newRow("data beyond the slot is dropped")
        << Bytes("FE") + QByteArray(1030, '\x07') + Bytes("FD") << 3 << QByteArray(1024, '\x07');
  }
  void parsesFrame() {
    QFETCH(QByteArray, input);
    QFETCH(int, state);
    QFETCH(QByteArray, frame);
    FrameParser byteWise;
    for (char c : input) byteWise.Feed(static_cast<std::uint8_t>(c));
    QCOMPARE(int(byteWise.state()), state);
    FrameParser whole;
    Feed(whole, input);
    QCOMPARE(int(whole.state()), state);
    if (state != FrameParser::Complete) return;
    LoaderFrameRecord record;
    whole.Take(record);
    QCOMPARE(Payload(record), frame);
    QCOMPARE(int(whole.state()), int(FrameParser::Idle));
    Feed(whole, Bytes("FE0203FD"));
    whole.Take(record);
    QCOMPARE(Payload(record), Bytes("0203"));
  }
};

QTEST_APPLESS_MAIN(ParsersTest)
#include "tst_parsers.moc"
