// The simulator's bootloader in-process, driven with wire bytes and a clock:
// containers made by hlx-mkfw's code go in as the program sends them, and
// the CRC replies and verdicts come out. The program's update tests trust
// these verdicts: an image sent damaged, unerased or not deciphered never
// starts. Expected CRC replies are literals worked out independently of both.
#include <QtTest>

#include "FirmwareMaker.h"
#include "SimBootloader.h"
#include "link/FrameParser.h"

using namespace hlx::sim;

namespace {

const QByteArray kAck = QByteArray::fromHex("FE80FD");

// The program's own frame encoder: the simulator's decoder must understand it.
QByteArray Frame(const QByteArray& payload) {
  hlx::LoaderFrameRecord r;
  r.length = static_cast<std::uint16_t>(payload.size());
  std::copy(payload.begin(), payload.end(), r.data.begin());
  const std::string wire = hlx::EncodeFrame(r);
  return QByteArray(wire.data(), static_cast<qsizetype>(wire.size()));
}

QByteArray Ramp(int size) {
  QByteArray b(size, '\0');
  for (int i = 0; i < size; ++i) b[i] = static_cast<char>(i * 7);
  return b;
}

QByteArray Container(const QByteArray& body, int type) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(body.constData());
  const std::vector<std::uint8_t> c = hlx::mkfw::BuildContainer(
      {3, 34, 0}, static_cast<std::uint8_t>(type), {data, static_cast<std::size_t>(body.size())});
  return QByteArray(reinterpret_cast<const char*>(c.data()), static_cast<qsizetype>(c.size()));
}

// The commands of an update as the program sends them: erase, decryption,
// every block of the payload (the last one filled with 0xFF), CRC.
QByteArrayList Commands(QByteArray payload, bool erase = true, bool decrypt = true) {
  QByteArrayList commands;
  if (erase) commands << QByteArray::fromHex("01");
  if (decrypt) commands << QByteArray::fromHex("0601");
  payload.append((512 - payload.size() % 512) % 512, '\xFF');
  for (int block = 0; block * 512 < payload.size(); ++block)
    commands << QByteArray::fromHex("03") + char(block & 0xFF) + char(block >> 8) +
                    payload.mid(block * 512, 512);
  return commands << QByteArray::fromHex("05");
}

// A bootloader just restarted at 0 ms, with the server's 10 ms ticks.
struct Rig {
  explicit Rig(const LoaderSettings& settings = {}) : boot(settings) { boot.Restart(0, out); }
  void Run(int ms) {
    for (const std::int64_t end = now + ms; now < end;)
      boot.Advance(now = std::min<std::int64_t>(now + 10, end), out);
  }
  QByteArray Take() {
    const QByteArray bytes(out.bytes.data(), static_cast<qsizetype>(out.bytes.size()));
    out.bytes.clear();
    return bytes;
  }
  QByteArray Send(const QByteArray& wire) {
    boot.Receive({wire.constData(), static_cast<std::size_t>(wire.size())}, now, out);
    return Take();
  }
  SimBootloader boot;
  SimBootloader::Output out;
  std::int64_t now = 0;
};

}  // namespace

class SimBootloaderTest : public QObject {
  Q_OBJECT
 private slots:
  void update_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("erase");
    QTest::addColumn<bool>("decrypt");
    QTest::addColumn<int>("damageAt");  // payload byte flipped on the way, -1: none
    QTest::addColumn<QByteArray>("crcReply");
    QTest::addColumn<QString>("started");  // "" when it must stay in the bootloader
    // CRC replies with escaped bytes.
    QTest::newRow("one block") << QByteArray("fw0") << 0 << true << true << -1
                               << QByteArray::fromHex("FE05594BB0FFFEFD") << "3.34.0";
    QTest::newRow("one block, CRC with an end byte") << QByteArray("fw11") << 0 << true << true << -1
                                                     << QByteArray::fromHex("FE05FFFDF75BEDFD") << "3.34.0";
    QTest::newRow("three blocks, own type")
        << Ramp(1100) << 2 << true << true << -1 << QByteArray::fromHex("FE05642B533BFD") << "3.34.0";
    QTest::newRow("other type") << QByteArray("fw0") << 5 << true << true << -1
                                << QByteArray::fromHex("FE058461E2CAFD") << "";
    QTest::newRow("not deciphered") << QByteArray("fw0") << 0 << true << false << -1
                                    << QByteArray::fromHex("FE05D626D9D7FD") << "";
    QTest::newRow("damaged block") << Ramp(1100) << 2 << true << true << 700
                                   << QByteArray::fromHex("FE0544C98453FD") << "";
    QTest::newRow("not erased") << QByteArray("fw0") << 0 << false << true << -1
                                << QByteArray::fromHex("FE057875AAB2FD") << "";
  }
  void update() {
    QFETCH(QByteArray, body);
    QFETCH(int, type);
    QFETCH(bool, erase);
    QFETCH(bool, decrypt);
    QFETCH(int, damageAt);
    QFETCH(QByteArray, crcReply);
    QFETCH(QString, started);
    LoaderSettings s;
    s.type = 2;
    Rig rig(s);
    rig.Run(200);
    QCOMPARE(rig.Take(), QByteArray("$PQVXLDR,02*7B\r\n"));
    QByteArray payload = Container(body, type).mid(17);
    if (damageAt >= 0) payload[damageAt] = static_cast<char>(payload[damageAt] ^ 1);
    const QByteArrayList commands = Commands(payload, erase, decrypt);
    QCOMPARE(rig.Send(Frame(QByteArray::fromHex("F0F1F2F3"))), QByteArray());
    for (qsizetype i = 0; i + 1 < commands.size(); ++i) QCOMPARE(rig.Send(Frame(commands[i])), kAck);
    QCOMPARE(rig.Send(Frame(commands.last())), crcReply);
    rig.Run(290);
    QVERIFY(!rig.out.started);
    rig.Run(10);
    QCOMPARE(rig.out.started ? QString::fromStdString(rig.out.started->version) : QString(), started);
    QCOMPARE(rig.boot.Active(), started.isEmpty());
    rig.Run(200);  // a refused image: the bootloader again, as after a failed update
    QCOMPARE(rig.Take(), started.isEmpty() ? QByteArray("$PQVXLDR,02*7B\r\n") : QByteArray());
  }
};

QTEST_GUILESS_MAIN(SimBootloaderTest)
#include "tst_simbootloader.moc"
