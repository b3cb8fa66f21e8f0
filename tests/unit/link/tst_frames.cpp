#include <QtTest>

#include "link/FrameParser.h"

using namespace hlx;

namespace {

QByteArray Bytes(const char* hex) { return QByteArray::fromHex(hex); }

LoaderFrameRecord Record(const QByteArray& data, int length = -1) {
  LoaderFrameRecord r;
  std::copy(data.begin(), data.end(), r.data.begin());
  r.length = static_cast<std::uint16_t>(length < 0 ? data.size() : length);
  return r;
}

void Feed(FrameParser& parser, const QByteArray& bytes) {
  parser.Feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
}

QByteArray Payload(const LoaderFrameRecord& r) {
  return QByteArray(reinterpret_cast<const char*>(r.data.data()), r.length);
}

}  // namespace

class FramesTest : public QObject {
  Q_OBJECT
 private slots:
  void encodesFrame_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("FD in the data is escaped") << Bytes("01FD02") << Bytes("FE01FFFD02FD");
    QTest::newRow("FE and FF are escaped too") << Bytes("FEFF") << Bytes("FEFFFEFFFFFD");
    QTest::newRow("FC is plain data") << Bytes("FC00") << Bytes("FEFC00FD");
    QTest::newRow("empty record gives start and end only") << QByteArray() << Bytes("FEFD");
  }
  void encodesFrame() {
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, wire);
    const std::string out = EncodeFrame(Record(data));
    QCOMPARE(QByteArray(out.data(), qsizetype(out.size())), wire);
  }

  void lengthBeyondTheSlotIsCutToTheSlot() {
    const std::string out = EncodeFrame(Record(QByteArray(1024, '\x01'), 5000));
    QCOMPARE(out.size(), std::size_t(1026));
  }

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
    FrameParser whole;
    Feed(whole, input);
    QCOMPARE(int(whole.state()), state);
    FrameParser byteWise;
    for (char c : input) byteWise.Feed(static_cast<std::uint8_t>(c));
    QCOMPARE(int(byteWise.state()), state);
    if (state != FrameParser::Complete) return;
    LoaderFrameRecord record;
    whole.Take(record);
    QCOMPARE(Payload(record), frame);
    QCOMPARE(int(whole.state()), int(FrameParser::Idle));
  }

  void takenFrameLetsTheNextOneIn() {
    FrameParser parser;
    Feed(parser, Bytes("FE01FD"));
    LoaderFrameRecord record;
    parser.Take(record);
    Feed(parser, Bytes("FE0203FD"));
    QVERIFY(parser.complete());
    parser.Take(record);
    QCOMPARE(Payload(record), Bytes("0203"));
  }

  void roundTrip_data() {
    QTest::addColumn<int>("length");
    QTest::newRow("one byte") << 1;
    QTest::newRow("typical block") << 261;
    QTest::newRow("full slot") << 1024;
  }
  void roundTrip() {
    QFETCH(int, length);
    QRandomGenerator rng{static_cast<quint32>(length)};
    QByteArray data(length, '\0');
    // Half of the bytes from the escaped range, the rest anything.
    for (char& c : data) c = char(rng.bounded(2) ? 0xFD + rng.bounded(3) : rng.bounded(256));
    const std::string wire = EncodeFrame(Record(data));
    FrameParser parser;
    Feed(parser, QByteArray(wire.data(), qsizetype(wire.size())));
    QVERIFY(parser.complete());
    LoaderFrameRecord back;
    parser.Take(back);
    QCOMPARE(Payload(back), data);
  }
};

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
