// Firmware containers, bootloader frames and the rules of the update flow,
// without a device: checksums, refusals with their texts, block layout and
// escaping on the wire, the CRC message, the preconditions.

#include <QTemporaryDir>
#include <QtTest>

#include "firmware/Bootloader.h"
#include "firmware/FwImage.h"
#include "firmware/FwUpdate.h"
#include "link/Comms.h"

using namespace hlx;

namespace {

QByteArray Fill(QByteArray image) {
  image.append(QByteArray(qsizetype(kFwImageAreaSize) - image.size(), char(0xFF)));
  return image;
}

std::uint32_t Checksum(const QByteArray& area) {
  return FirmwareChecksum(
      std::span(reinterpret_cast<const std::uint8_t*>(area.constData()), std::size_t(area.size())));
}

// A container as the maker writes one; `checksum` < 0 computes the right one.
QByteArray Container(const QByteArray& image, std::uint8_t type = 0, qint64 checksum = -1, char format = 0) {
  const std::uint32_t sum =
      checksum < 0 ? Checksum(Fill(image.left(qsizetype(kFwImageAreaSize)))) : std::uint32_t(checksum);
  QByteArray c("HLX\0", 4);
  c += format;
  c += QByteArray("\x03\x01\x21", 3);  // 3.33.1: major, build, minor
  c += char(type);
  c += QByteArray("\x78\x56\x34\x12", 4);  // image CRC 0x12345678
  for (int i = 0; i < 4; ++i) c += char((sum >> (8 * i)) & 0xFF);
  return c + image;
}

std::span<const std::uint8_t> Bytes(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

QByteArray Wire(const LoaderFrameRecord& frame) { return QByteArray::fromStdString(EncodeFrame(frame)); }

}  // namespace

class TestFirmware : public QObject {
  Q_OBJECT
 private slots:
  void checksumCoversTheFilledArea() {
    QCOMPARE(Checksum(Fill({})), 0x050005u);
    QCOMPARE(Checksum(Fill("abc")), 0x01EE85u);
    QCOMPARE(Checksum({}), 0u);
  }

  void containerFilesAreCheckedBeforeUse_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::addColumn<quint32>("payload");
    const QByteArray image(1000, 'x');
    QTest::newRow("good") << Container(image) << QString() << 1000u;
    QTest::newRow("bytes beyond the area are ignored")
        << Container(QByteArray(300000, 'y')) << QString() << quint32(kFwImageAreaSize);
    QTest::newRow("magic") << QByteArray("HLY").append('\0') + Container(image).mid(4)
                           << "Not a valid firmware file" << 0u;
    QTest::newRow("format 1, right checksum")
        << Container(image, 0, -1, 1) << "Unsupported firmware file version" << 0u;
    QTest::newRow("checksum") << Container(image, 0, 0x050005) << "Firmware file is corrupt" << 0u;
    QTest::newRow("checksum top byte")
        << Container(image, 0, Checksum(Fill(image)) | 0x1000000) << "Firmware file is corrupt" << 0u;
    QTest::newRow("no image") << Container({}) << "The firmware file contains no firmware image" << 0u;
    QTest::newRow("shorter than a header")
        << QByteArray("HLX\0\0\3", 6) << "The file is shorter than a firmware file header" << 0u;
  }
  void containerFilesAreCheckedBeforeUse() {
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QFETCH(quint32, payload);
    QTemporaryDir dir;
    QFile f(dir.filePath("fw.hlx"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    try {
      const FirmwareImage& image = LoadFirmware(f.fileName());
      QVERIFY2(error.isEmpty(), "accepted a bad container");
      QCOMPARE(image.payloadLength, payload);
      QCOMPARE(image.Version(), 0x032101u);
      QCOMPARE(image.area[payload - 1], std::uint8_t(payload == 1000 ? 'x' : 'y'));
      QVERIFY(std::all_of(image.area.begin() + payload, image.area.end(), [](auto b) { return b == 0xFF; }));
    } catch (const EFirmwareError& e) {
      QCOMPARE(e.Message(), error);
    }
  }

  void builtInContainerHasItsOwnRules() {
    FirmwareImage image;
    // No magic or format check, but its own message when it is damaged or too long.
    QByteArray foreign = Container("abc", 0, -1, 7);
    foreign[0] = 'Z';
    ParseFirmware(Bytes(foreign), true, image);
    QCOMPARE(image.payloadLength, 3u);
    for (const QByteArray& bad :
         {Container("abc", 0, 1), Container(QByteArray(qsizetype(kFwImageAreaSize) + 1, 'z'))}) {
      try {
        ParseFirmware(Bytes(bad), true, image);
        QFAIL("accepted");
      } catch (const EFirmwareError& e) {
        QCOMPARE(e.Message(), QStringLiteral("Firmware image is corrupt"));
      }
    }
    try {
      LoadFirmware(QStringLiteral("/nonexistent/fw.hlx"));
      QFAIL("opened a missing file");
    } catch (const EFirmwareError& e) {
      QVERIFY2(e.Message().contains("/nonexistent/fw.hlx") && e.Message().contains("No such file"),
               qPrintable(e.Message()));
    }
  }

  void blocksCarryTheImageAndTheFill() {
    FirmwareImage image;
    ParseFirmware(Bytes(Container(QByteArray(1025, '\x11'))), false, image);
    QCOMPARE(BlockCount(1024), 2u);
    QCOMPARE(BlockCount(1025), 3u);
    QCOMPARE(BlockCount(0), 0u);
    const LoaderFrameRecord last = BlockFrame(image, 2);
    QCOMPARE(last.length, 515);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(last.data.data()), 5),
             QByteArray("\x03\x02\x00\x11\xFF", 5));
    QVERIFY(std::all_of(last.data.begin() + 4, last.data.begin() + 515, [](auto b) { return b == 0xFF; }));
  }

  void blockNumberIsEscapedLikeData() {
    FirmwareImage image;
    ParseFirmware(Bytes(Container(QByteArray(255 * 512, '\x22'))), false, image);
    const QByteArray wire = Wire(BlockFrame(image, 254));
    QCOMPARE(wire.left(5), QByteArray("\xFE\x03\xFF\xFE\x00", 5));
    QCOMPARE(wire.size(), 1 + 3 + 1 + 512 + 1);
  }

  void crcReplyIsComparedByteForByte_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<QString>("error");
    const QString mismatch = QStringLiteral("Bootloader: CRC error\rFile CRC: 12345678\rMult.CRC: 13345678");
    QTest::newRow("0x85 is the same reply") << QByteArray("\x85\x78\x56\x34\x12") << true << QString();
    QTest::newRow("top byte differs") << QByteArray("\x05\x78\x56\x34\x13") << true << mismatch;
    QTest::newRow("lower-case digits never")
        << QByteArray("\x05\xab\xcd\xef\x0a") << true
        << "Bootloader: CRC error\rFile CRC: 12345678\rMult.CRC: 0AEFCDAB";
    QTest::newRow("short") << QByteArray("\x05\x78\x56\x34") << false << QString();
    QTest::newRow("acknowledge") << QByteArray("\x80") << false << QString();
  }
  void crcReplyIsComparedByteForByte() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, wellFormed);
    QFETCH(QString, error);
    FirmwareImage image;
    ParseFirmware(Bytes(Container("abc")), false, image);
    const LoaderFrameRecord frame = CommandFrame(Bytes(reply));
    QCOMPARE(IsCrcReply(frame), wellFormed);
    QCOMPARE(IsAck(frame), reply == "\x80");
    if (wellFormed) QCOMPARE(CheckCrcReply(image, frame), error);
  }

  // The refusals of a serial port at 115200 and of Ethernet over UDP are met in the window.
  void updateStartsOnlyOnALinkThatCanCarryIt_data() {
    QTest::addColumn<int>("hostKind");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("error");
    QTest::newRow("serial at 38400") << 0 << 3 << int(ChSerial) << QString();
    QTest::newRow("USB, any speed") << 1 << 5 << int(ChSerial) << QString();
    QTest::newRow("Ethernet over TCP") << 2 << -1 << int(ChTcp) << QString();
    QTest::newRow("not yet identified, TCP") << -1 << -1 << int(ChTcp) << QString();
    QTest::newRow("wireless over UDP")
        << 3 << -1 << int(ChUdp)
        << "The firmware cannot be updated over a UDP connection.\rConnect by TCP or serial port.";
    QTest::newRow("no link, as the window starts")
        << 0 << -1 << int(ChClosed) << "Connect to the Halyx before updating its firmware";
  }
  void updateStartsOnlyOnALinkThatCanCarryIt() {
    QFETCH(int, hostKind);
    QFETCH(int, speed);
    QFETCH(int, channel);
    QFETCH(QString, error);
    QCOMPARE(UpdatePrecondition(hostKind, speed, std::uint8_t(channel)), error);
  }

  void loaderAnnouncesItsTypeInHex() {
    QCOMPARE(ParseLdrType("$PQVXLDR,0A*00\r\n"), 10);
    QCOMPARE(ParseLdrType("$PQVXLDR,1A\r\n"), 26);
    QCOMPARE(ParseLdrType("$PQVXLDR,zz\r\n"), 0);
    QCOMPARE(ParseLdrType("$PQVXLDR\r\n"), 0);
    FirmwareImage image;
    ParseFirmware(Bytes(Container("abc", 26)), false, image);
    QCOMPARE(TypeMismatch(image, 26), QString());
    QCOMPARE(TypeMismatch(image, 10),
             QStringLiteral("Firmware file does not match with the multiplexer type"));
    ParseFirmware(Bytes(Container("abc", 0)), false, image);
    QCOMPARE(TypeMismatch(image, 10), QString());
  }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
