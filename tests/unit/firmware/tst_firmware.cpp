// Firmware containers without a device: checksums and refusals with their
// texts. Frames, blocks and the update's rules are met through the window's
// update against the simulator.

#include <QTemporaryDir>
#include <QtTest>

#include "TestFiles.h"
#include "firmware/FwImage.h"

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

}  // namespace

class TestFirmware : public QObject {
  Q_OBJECT
 private slots:
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
    hlx::test::WriteText(dir.filePath("fw.hlx"), file);
    try {
      const FirmwareImage& image = LoadFirmware(dir.filePath("fw.hlx"));
      QVERIFY2(error.isEmpty(), "accepted a bad container");
      QCOMPARE(image.payloadLength, payload);
      QCOMPARE(image.Version(), 0x032101u);
      QCOMPARE(image.area[payload - 1], std::uint8_t(payload == 1000 ? 'x' : 'y'));
      QVERIFY(std::all_of(image.area.begin() + payload, image.area.end(), [](auto b) { return b == 0xFF; }));
    } catch (const EFirmwareError& e) {
      QCOMPARE(e.Message(), error);
    }
  }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
