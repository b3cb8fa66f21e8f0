// The container maker: checksum, CRC-32 and a whole small container against
// literal bytes (worked out independently), and the command line with the
// size limit and its refusals, which must never leave a broken or
// half-written output.
#include <QtTest>

#include "FirmwareMaker.h"
#include "MkfwCommand.h"

using namespace hlx::mkfw;

namespace {

std::span<const std::uint8_t> Span(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

}  // namespace

class MkfwTest : public QObject {
  Q_OBJECT
 private slots:
  void checksums_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<uint>("checksum");  // over the bytes padded with 0xFF to the image area
    QTest::addColumn<uint>("crc");
    QTest::newRow("nothing") << QByteArray() << 0x050005u << 0x00000000u;
    QTest::newRow("abc") << QByteArray("abc") << 0x01EE85u << 0x352441C2u;
    QTest::newRow("check string") << QByteArray("123456789") << 0x01157Au << 0xCBF43926u;
  }
  void checksums() {
    QFETCH(QByteArray, bytes);
    QFETCH(uint, checksum);
    QFETCH(uint, crc);
    QCOMPARE(FirmwareChecksum(Span(bytes)), checksum);
    QCOMPARE(Crc32(Span(bytes)), crc);
  }

  void smallContainerBytes() {
    const QByteArray expected = QByteArray::fromHex(
        "484C5800 00 03 00 22 00"  // magic, format, major, build, minor, type
        "EAE6849B E0B76900"        // image CRC, checksum
        "5CCD1AACB0E306B07CF27DCD2A7FAEE769C179");
    QCOMPARE(Bytes(BuildContainer(Version{3, 34, 0}, 0, Span("abc"))), expected);
    // Deciphered, the payload is the image record and the body.
    std::vector<std::uint8_t> plain(expected.begin() + 17, expected.end());
    ApplyKeystream(plain);
    QCOMPARE(Bytes(plain), QByteArray::fromHex("484C5849 03220000 03000000 C2412435 616263"));
  }

  // Each row runs in a folder holding "abc.bin", the too long "big.bin" and an
  // older "old.hlx" that a failed run must leave as it was.
  void command_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");  // part of the message; "" when none is expected
    QTest::addColumn<int>("oldSize");    // size of old.hlx afterwards
    QTest::addColumn<QByteArray>("oldStart");
    const QStringList out{"-o", "old.hlx"};
    const QString v = QStringLiteral("3.34.0");
    QTest::newRow("image") << QStringList{"--version", "3.034.0", "abc.bin"} + out << 0 << "" << 36
                           << QByteArray::fromHex("484C580000030022");
    // The built-in container: its header pins the bytes of the synthetic body.
    QTest::newRow("synthetic") << QStringList{"--version=3.33.1", "--type", "0", "--synthetic", "196608"} +
                                      out
                               << 0 << "" << 196641
                               << QByteArray::fromHex("484C580000030121 00 487BFC36 CC10E200");
    QTest::newRow("largest body") << QStringList{"--version", v, "--synthetic", "262128"} + out << 0 << ""
                                  << 17 + 262144 << QByteArray::fromHex("484C5800");
    const auto refused = [](const char* name, const QStringList& args, const char* error) {
      QTest::newRow(name) << args << 2 << error << 3 << QByteArray("old");
    };
    refused("missing image", QStringList{"--version", v, "none.bin"} + out,
            "cannot read none.bin: No such file or directory");
    refused("image too long", QStringList{"--version", v, "big.bin"} + out,
            "big.bin holds 262129 bytes, at most 262128 fit");
    refused("synthetic too long", QStringList{"--version", v, "--synthetic", "262129"} + out,
            "--synthetic 262129 bytes, at most 262128 fit");
    for (const char* version : {"3.34", "3.34.0.1", "3.256.0", "3..0", "+3.34.0", "3.34.0 "})
      refused(version, QStringList{"--version", version, "abc.bin"} + out,
              "three numbers 0..255 separated by dots");
    refused("bad type", QStringList{"--version", v, "--type", "256", "abc.bin"} + out, "bad --type \"256\"");
    refused("no output", QStringList{"--version", v, "abc.bin"}, "no output file");
    refused("output folder missing", QStringList{"--version", v, "abc.bin", "-o", "no/x.hlx"},
            "cannot write no/x.hlx: No such file or directory");
  }
  void command() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(int, oldSize);
    QFETCH(QByteArray, oldStart);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto back = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); });
    const auto write = [](const char* name, const QByteArray& bytes) {
      QFile f(QString::fromLatin1(name));
      return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    QVERIFY(write("abc.bin", "abc") && write("big.bin", QByteArray(262129, 'x')) && write("old.hlx", "old"));
    std::vector<std::string> argv;
    for (const QString& a : args) argv.push_back(a.toStdString());
    std::string out, err;
    QCOMPARE(RunMkfw(argv, out, err), status);
    QVERIFY2(error.isEmpty() ? err.empty() : QString::fromStdString(err).contains(error), err.c_str());
    QFile old(QStringLiteral("old.hlx"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.size(), qint64(oldSize));
    QCOMPARE(old.read(oldStart.size()), oldStart);
    // No temporary file is left behind, whatever happened.
    QCOMPARE(QDir().entryList(QDir::Files), (QStringList{"abc.bin", "big.bin", "old.hlx"}));
  }
};

QTEST_GUILESS_MAIN(MkfwTest)
#include "tst_mkfw.moc"
