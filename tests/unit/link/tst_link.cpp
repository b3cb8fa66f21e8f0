// The link layer's pure parts: the bootloader's frame parser (every input
// also replayed one byte per read: the way a stream is cut must never change
// what comes out), the sentence primitives that the configuration model's
// reply tests read fields through too, and the port list.

#include <QtTest>

#include "link/Comms.h"
#include "link/FrameParser.h"
#include "link/Nmeadefs.h"

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

class LinkTest : public QObject {
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

  void extractField_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("field");
    const QString ver = "$PQVXVER,3.33.1,NAME,12345,8041*4A\r\n";
    QTest::newRow("address field") << ver << 0 << 7 << "PQVXVER";
    QTest::newRow("last field stops at star") << ver << 4 << 4 << "8041";
    QTest::newRow("past the last field") << ver << 5 << -1 << "";
    QTest::newRow("empty middle field") << "$GPGLL,,,\r\n" << 2 << 0 << "";
    QTest::newRow("tag block skipped") << "\\s:x-2*12\\$GPRMC,1,2\r\n" << 0 << 5 << "GPRMC";
    QTest::newRow("six characters is too short") << "$A,B\r\n" << 0 << -9 << "";
    QTest::newRow("no CR LF") << "$GPRMC,1,2,3" << 0 << -9 << "";
    QTest::newRow("LF without CR") << "$GPRMC,1,2,3\n" << 0 << -9 << "";
    QTest::newRow("wrong start character") << "GPRMC,1,2,3\r\n" << 0 << -9 << "";
    QTest::newRow("encapsulated sentence") << "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\r\n"
                                           << 1 << 1 << "1";
    QTest::newRow("NUL ends the line") << QString::fromLatin1("$GPRMC,1\0,2\r\n", 13) << 1 << -9 << "";
  }
  void extractField() {
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(int, result);
    QFETCH(QString, field);
    std::string out = "untouched";
    QCOMPARE(ExtractField(line.toStdString(), index, out), result);
    QCOMPARE(QString::fromStdString(out), result < 0 ? QString("untouched") : field);
  }

  void addsExtraPortsFromEnvironment() {
    qputenv("HLX_EXTRA_PORTS", "/tmp/hlx-test/pty10::/tmp/hlx-test/pty2:/tmp/hlx-test/pty2");
    const QStringList ports = BuildPortList();
    qunsetenv("HLX_EXTRA_PORTS");
    QCOMPARE(ports.count(QStringLiteral("/tmp/hlx-test/pty2")), 1);
    QVERIFY(!ports.contains(QString()));
    QVERIFY(ports.indexOf(QStringLiteral("/tmp/hlx-test/pty2")) <
            ports.indexOf(QStringLiteral("/tmp/hlx-test/pty10")));
  }
};

QTEST_APPLESS_MAIN(LinkTest)
#include "tst_link.moc"
