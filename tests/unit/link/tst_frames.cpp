#include <QtTest>
#include <numeric>

#include "link/FrameParser.h"

using namespace hlx;

namespace {

QByteArray Bytes(const char* hex) { return QByteArray::fromHex(hex); }

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

void Feed(FrameParser& parser, const QByteArray& bytes) {
  parser.Feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
}

}  // namespace

class FramesTest : public QObject {
  Q_OBJECT
 private slots:
  // Every encoded frame is also parsed back: what goes out comes back unchanged.
  void encodesFrame_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("length");  // of the record; -1: the data's
    QTest::addColumn<QByteArray>("wire");
    QByteArray all(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    QTest::newRow("FD in the data is escaped") << Bytes("01FD02") << -1 << Bytes("FE01FFFD02FD");
    QTest::newRow("FE and FF are escaped too") << Bytes("FEFF") << -1 << Bytes("FEFFFEFFFFFD");
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

  // Each input is fed whole and one byte at a time; a complete frame is taken
  // and the next frame must then come in.
  void parsesFrame_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("frame");  // when complete
    QTest::newRow("empty frame is ignored") << Bytes("FEFD") << int(FrameParser::Idle) << QByteArray();
    QTest::newRow("second start byte restarts the frame") << Bytes("FE10FE20FD") << 3 << Bytes("20");
    QTest::newRow("escaped bytes are data") << Bytes("FEFFFDFFFEFFFFFD") << 3 << Bytes("FDFEFF");
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

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
