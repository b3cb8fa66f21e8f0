// The simulator's bootloader in-process, driven with wire bytes and a clock:
// containers made by hlx-mkfw's code go in as the program sends them, and
// the replies, announcements and verdicts come out. Expected CRC replies are
// literals worked out independently of both.
#include <QtTest>

#include "FirmwareMaker.h"
#include "SimBootloader.h"
#include "link/FrameParser.h"

using namespace hlx::sim;

namespace {

const QByteArray kAck = QByteArray::fromHex("FE80FD");
const QByteArray kRefused = QByteArray::fromHex("FE81FD");

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
  void announcesUntilTheFirstFrameAndAgainAfterTheWatchdog() {
    LoaderSettings s;
    s.type = 0x1A;
    Rig rig(s);
    rig.Run(190);
    QCOMPARE(rig.Take(), QByteArray());  // still restarting
    rig.Run(10);
    QCOMPARE(rig.Take(), QByteArray("$PQVXLDR,1A*09\r\n"));
    rig.Run(1000);
    QCOMPARE(rig.Take(), QByteArray("$PQVXLDR,1A*09\r\n"));
    QCOMPARE(rig.Send(Frame(QByteArray::fromHex("F0F1F2F3"))), QByteArray());  // hello: no reply, no more LDR
    rig.Run(5990);
    QCOMPARE(rig.Take(), QByteArray());
    rig.Run(210);  // an abandoned session restarts the bootloader
    QCOMPARE(rig.Take(), QByteArray("$PQVXLDR,1A*09\r\n"));
  }

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

  // Steps: 0 announcement, 1 erase, 2 decryption, 3 and 4 the blocks, 5 CRC.
  void faults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("step");  // where the fault shows, -1: nowhere
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("started");
    const QString v = QStringLiteral("3.34.0");
    QTest::newRow("no-announce") << "no-announce" << 0 << 0 << QByteArray() << v;
    QTest::newRow("no-reply:erase") << "no-reply:erase" << 0 << 1 << QByteArray() << v;
    QTest::newRow("bad-reply:decrypt") << "bad-reply:decrypt" << 0 << 2 << kRefused << v;
    QTest::newRow("bad-reply:block=0") << "bad-reply:block=0" << 0 << 3 << kRefused << v;
    QTest::newRow("no-reply:block=1") << "no-reply:block=1" << 0 << 4 << QByteArray() << v;
    QTest::newRow("no-reply:crc") << "no-reply:crc" << 0 << 5 << QByteArray() << v;
    QTest::newRow("bad-reply:crc") << "bad-reply:crc" << 0 << 5 << QByteArray::fromHex("FE813E817307FD") << v;
    QTest::newRow("crc-mismatch") << "crc-mismatch" << 0 << 5 << QByteArray::fromHex("FE05C17E8CF8FD") << "";
    QTest::newRow("drop:block=1") << "drop:block=1" << 0 << 4 << QByteArray() << "";
    QTest::newRow("garbage") << "garbage" << 0 << -1 << QByteArray() << v;
    QTest::newRow("reply delay") << "" << 1900 << -1 << QByteArray() << v;
  }
  void faults() {
    QFETCH(QString, fault);
    QFETCH(int, delayMs);
    QFETCH(int, step);
    QFETCH(QByteArray, output);
    QFETCH(QString, started);
    LoaderSettings s;
    s.replyDelayMs = delayMs;
    std::string error;
    QVERIFY(fault.isEmpty() || AddLoaderFault(fault.toStdString(), s.faults, error));
    const bool garbage = fault == QLatin1String("garbage");
    Rig rig(s);
    const QByteArrayList commands = Commands(Container(Ramp(600), 0).mid(17));
    const QByteArrayList normal{
        "$PQVXLDR,00*79\r\n", kAck, kAck, kAck, kAck, QByteArray::fromHex("FE053E817307FD")};
    rig.Run(200);
    QCOMPARE(rig.Take(), step == 0 ? output : normal[0]);
    rig.Send(Frame(QByteArray::fromHex("F0F1F2F3")));
    for (int i = 1; i <= 5; ++i) {
      QByteArray got = rig.Send(Frame(commands[i - 1]));
      if (delayMs > 0) {
        rig.Run(delayMs - 10);
        QCOMPARE(got + rig.Take(), QByteArray());
        rig.Run(10);
        got = rig.Take();
      }
      if (garbage) {
        // Noise before the frame: ends and escapes, never a frame start.
        QVERIFY(got.endsWith(normal[i]));
        got.chop(normal[i].size());
        QVERIFY(!got.contains('\xFE') && got.contains('\xFD') && got.contains('\xFF'));
        continue;
      }
      QCOMPARE(got, i == step ? output : normal[i]);
      QCOMPARE(rig.out.hangUp, fault.startsWith(QLatin1String("drop")) && i == step);
      if (rig.out.hangUp) return;
    }
    rig.Run(300);
    QCOMPARE(rig.out.started ? QString::fromStdString(rig.out.started->version) : QString(), started);
  }

  void refusals_data() {
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray block = QByteArray(512, '\0');
    QTest::newRow("short block") << Frame("\x03\x00\x00" + block.left(511)) << kRefused;
    QTest::newRow("block 512") << Frame(QByteArray::fromHex("030002") + block) << kRefused;
    QTest::newRow("escaped block number 253") << Frame(QByteArray::fromHex("03FD00") + block) << kAck;
    QTest::newRow("overlong frame") << '\xFE' + QByteArray(1100, '\x01') + '\xFD' << kRefused;
    QTest::newRow("empty frame") << QByteArray::fromHex("FEFD") << QByteArray();
    QTest::newRow("start inside a frame") << QByteArray::fromHex("FE0605FE01FD") << kAck;
    QTest::newRow("text between frames") << "$PQVXVER*4E\r\n" + Frame(QByteArray::fromHex("01")) << kAck;
  }
  void refusals() {
    QFETCH(QByteArray, wire);
    QFETCH(QByteArray, reply);
    Rig rig;
    rig.Run(200);
    rig.Take();
    QCOMPARE(rig.Send(wire), reply);
  }
};

QTEST_GUILESS_MAIN(SimBootloaderTest)
#include "tst_simbootloader.moc"
