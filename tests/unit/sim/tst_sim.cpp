// The simulator in-process, as the program's tests trust it: its noise holds
// the hard cases and never damages or imitates a numbered sentence; a replay
// plays a capture's lines as the device sent them, at their pace; its
// bootloader, fed the program's wire bytes, never starts an image sent
// damaged, unerased or not deciphered (CRC replies are literals worked out on
// their own); the older generations answer literal commands, never checked
// against the program's code, so that a misreading shared by both shows.

#include <QRegularExpression>
#include <QtTest>
#include <algorithm>

#include "CaptureReplay.h"
#include "FirmwareMaker.h"
#include "NoiseSource.h"
#include "SimBootloader.h"
#include "SimDevice.h"
#include "SimSentence.h"
#include "link/FrameParser.h"

using namespace hlx::sim;

namespace {

std::string Bursts(std::uint32_t seed, int count) {
  NoiseSource noise(seed, 0);
  std::string out;
  for (int i = 0; i < count; ++i) noise.AppendBurst(out);
  return out;
}

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

// Sends commands (separated by ';') as the program does, with checksum and
// CR LF, and returns the replies to the last one without checksum and line end.
QStringList Send(SimDevice& d, const QString& commands) {
  QStringList replies;
  for (const QString& c : commands.split(QLatin1Char(';'))) {
    replies.clear();
    for (const std::string& r : d.ReceiveLine(WireSentence(c.toStdString())))
      replies << QString::fromStdString(r.substr(0, r.rfind('*')));
  }
  return replies;
}

}  // namespace

class SimTest : public QObject {
  Q_OBJECT
 private slots:
  void burstsHoldTheHardCasesAndWholeNumberedSentences() {
    const std::string out = Bursts(7, 3000);
    QCOMPARE(out, Bursts(7, 3000));
    QVERIFY(out != Bursts(8, 3000));

    static const QRegularExpression marker(QStringLiteral("^\\$(PXSEQ,(\\d+),(\\d+))\\*([0-9A-F]{2})\\r$"));
    qint64 garbage = 0, markers = 0;
    bool nul = false, high = false, bareCr = false, strayStart = false, overlong = false;
    QByteArrayList lines = QByteArray::fromStdString(out).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());  // after the last line end
    for (const QByteArray& line : lines) {
      const auto m = marker.match(QLatin1StringView(line));
      if (!m.hasMatch()) {
        QVERIFY2(!line.contains('X'), line.constData());
        garbage += line.size() + 1;
        nul |= line.contains('\0');
        high |= std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; });
        bareCr |= line.indexOf('\r') >= 0 && line.indexOf('\r') < line.size() - 1;
        const std::string_view text(line.constData(), std::size_t(line.size()));
        const std::size_t start = text.find_first_of("$!\\");
        strayStart |= start != text.npos && text.find_first_of("$!\\", start + 1) != text.npos;
        overlong |= start != text.npos && text.size() - start > 129;
        continue;
      }
      std::uint8_t sum = 0;
      for (const QChar c : m.captured(1)) sum ^= std::uint8_t(c.unicode());
      QCOMPARE(m.captured(4).toUInt(nullptr, 16), uint(sum));
      QCOMPARE(m.captured(2).toLongLong(), markers++);
      QCOMPARE(m.captured(3).toLongLong(), garbage);
    }
    QCOMPARE(markers, 3000);
    QVERIFY(nul && high && bareCr && strayStart && overlong);
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

  // TAG checksums worked out by hand; a sentence's own checksum is never touched.
  void captureLines_data() {
    QTest::addColumn<QStringList>("file");    // lines, joined with CR LF
    QTest::addColumn<QStringList>("played");  // "<ms> <bytes without CR LF>"
    QTest::addColumn<int>("skipped");
    QTest::newRow("capture: c: in s and ms, among other parameters, long pause cut")
        << QStringList{"\\c:1733666400*5D\\$GPRMC,1*56",
                       "\\s:HLX2000-2,c:1733666400123,g:1-2-3*08\\$GPGGA,2*00",
                       "\\c:1733666401*5C\\\\s:HLX2000-1*0B\\$GPGLL,3*4F\n\\c:1733666460*5B\\$GPRMC,1*56"}
        << QStringList{"0 $GPRMC,1*56", "123 \\s:HLX2000-2,g:1-2-3*49\\$GPGGA,2*00",
                       "1000 \\s:HLX2000-1*0B\\$GPGLL,3*4F", "3000 $GPRMC,1*56"}
        << 0;
    QTest::newRow("bad lines skipped") << QStringList{"\\c:1733666400123*00\\$GPRMC,1*56",  // TAG checksum
                                                      "\\c:17336664001*6C\\$GPRMC,1*56",    // 11 digits
                                                      "\\c:1733666400,c:1733666401*2D\\$GPRMC,1*56",
                                                      "\\c:1733666400123*6D\\",  // nothing to send
                                                      "",
                                                      "junk",
                                                      "\\c:1733666400123*6D\\$GPGGA,2*48",
                                                      "$GPGLL,3*4F"}
                                       << QStringList{"0 $GPGGA,2*48", "100 $GPGLL,3*4F"} << 6;
    QTest::newRow("diagnostic log past midnight")
        << QStringList{"[23:59:59.950 Ser<-] $GPRMC,1*56", "[23:59:59.990 Ser->] $PQVXVER",
                       "[00:00:00.050 TCP<-] \\s:HLX2000-1*0B\\$GPGGA,2*48",
                       "[00:00:40.050 ---<-] $GPGLL,3*4F", "[24:00:00.000 UDP<-] $GPRMC,1*56"}
        << QStringList{"0 $GPRMC,1*56", "100 \\s:HLX2000-1*0B\\$GPGGA,2*48", "2100 $GPGLL,3*4F"} << 2;
    QTest::newRow("NMEA log: ten lines a second")
        << QStringList{"$GPRMC,1*56", "\\s:HLX2000-1*0B\\$GPGGA,2*48", "!AIVDM,1,1,,A,13aE,0*26"}
        << QStringList{"0 $GPRMC,1*56", "100 \\s:HLX2000-1*0B\\$GPGGA,2*48", "200 !AIVDM,1,1,,A,13aE,0*26"}
        << 0;
  }
  void captureLines() {
    QFETCH(QStringList, file);
    QFETCH(QStringList, played);
    QFETCH(int, skipped);
    const std::string text = file.join(QStringLiteral("\r\n")).toStdString();
    const ReplayScript script = ParseCapture(text);
    QStringList got;
    for (const ReplayLine& line : script.lines) {
      QVERIFY(line.bytes.ends_with("\r\n"));
      got << QString::number(line.atMs) + ' ' + QString::fromStdString(line.bytes).chopped(2);
    }
    QCOMPARE(got, played);
    QCOMPARE(script.skipped, skipped);
  }

  // Replies to the last command: the older generations' mode "AIS" (capability bit 7), no port speeds.
  void olderGenerationsAnswerInTheirLayout_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QString>("caps");
    QTest::addColumn<QString>("commands");
    QTest::addColumn<QStringList>("replies");
    QTest::newRow("2: no mode AIS without bit 7")
        << 2 << "0038"
        << "PQVXCF,,3;PQVXCFQ" << QStringList{"$PQVXCF,3,0,0,0,0,0,0100,1"};
    QTest::newRow("2: mode AIS with bit 7")
        << 2 << "00B8"
        << "PQVXCF,,3;PQVXCFQ" << QStringList{"$PQVXCF,3,3,0,0,0,0,0100,1"};
    QTest::newRow("3: no port speeds") << 3 << "8080"
                                       << "PQVXSP,1;PQVXSPQ" << QStringList{};
  }
  void olderGenerationsAnswerInTheirLayout() {
    QFETCH(int, generation);
    QFETCH(QString, caps);
    QFETCH(QString, commands);
    QFETCH(QStringList, replies);
    SimSettings s;
    s.generation = generation;
    s.caps = caps.toStdString();
    SimDevice d(s);
    QCOMPARE(Send(d, commands), replies);
  }
};

QTEST_GUILESS_MAIN(SimTest)
#include "tst_sim.moc"
