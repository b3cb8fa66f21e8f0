// The bootloader's frame parser. Every input is also replayed one byte per
// read: the way a stream is cut must never change what comes out.

#include <QtTest>

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

class ParsersTest : public QObject {
  Q_OBJECT
 private slots:

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
