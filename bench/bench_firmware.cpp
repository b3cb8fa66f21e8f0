// Firmware programming time: the full image (512 blocks of 512 bytes) through
// TComm and ProgramFirmware into the simulator's bootloader, as the window
// does it, without the window.
//
//   bench_firmware pty|tcp      loopback as fast as it goes: the round trip per block
//                               is the program's own overhead (plus the simulator's)
//   bench_firmware paced        pseudo-terminal paced at 38,400 baud by the simulator:
//                               the whole update end to end against the wire time
//
// The wire time counts every byte of every frame both ways (escapes included)
// at 10 bits per byte at 38,400 baud. Exits 0 when the update takes at most
// 1.05 x the wire time (for pty and tcp: wire time plus the measured overhead).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchConsumer.h"
#include "firmware/Bootloader.h"
#include "firmware/FwImage.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using namespace hlx::bench;

namespace {

// HLX_TEST_SIM_ADDRESS moves the simulator, so that runs side by side do not meet.
QString SimAddress() { return qEnvironmentVariable("HLX_TEST_SIM_ADDRESS", QStringLiteral("127.0.0.55")); }
constexpr int kBaud = 38400;
constexpr int kSpeedIndex = 3;
constexpr double kGoal = 1.05;
constexpr int kBodyBytes = 262128;  // with the image record, the whole area

bool Run(QProcess& p, const QString& program, const QStringList& args) {
  p.start(program, args);
  return p.waitForStarted(5000);
}

// Bytes of a frame on the wire: delimiters and escapes included.
std::size_t WireBytes(const LoaderFrameRecord& frame) { return EncodeFrame(frame).size(); }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("pty");
  if (mode != "pty" && mode != "tcp" && mode != "paced") {
    std::fprintf(stderr, "usage: bench_firmware pty|tcp|paced\n");
    return 2;
  }
  QTemporaryDir dir;
  const QString container = dir.filePath("bench.hlx");
  QProcess mkfw;
  if (!Run(mkfw, HLX_MKFW_PATH,
           {"--version", "3.34.0", "--synthetic", QString::number(kBodyBytes), "-o", container}) ||
      !mkfw.waitForFinished(10000) || mkfw.exitCode() != 0) {
    std::fprintf(stderr, "hlx-mkfw failed: %s\n", mkfw.readAllStandardError().constData());
    return 2;
  }
  const FirmwareImage& image = LoadFirmware(container);

  const QString pty = dir.filePath("pty");
  QStringList simArgs{"--address", SimAddress(), "--pty", pty, "--host-speed", QString::number(kSpeedIndex)};
  if (mode == "paced") simArgs << "--pace";
  QProcess sim;
  sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  if (!Run(sim, HLX_SIM_PATH, simArgs) || !sim.waitForReadyRead(10000)) {
    std::fprintf(stderr, "hlx-sim did not start\n");
    return 2;
  }

  Consumer consumer;
  TComm& port = *consumer.comm;
  const bool tcp = mode == "tcp";
  if (port.Open(tcp ? ChTcp : ChSerial, tcp ? SimAddress() : pty, kSpeedIndex) == ChClosed) {
    std::fprintf(stderr, "cannot open the link\n");
    return 2;
  }
  bool announced = false;
  consumer.onLine = [&](const std::string& line) { announced = announced || line.rfind("$PQVXLDR", 0) == 0; };
  port.Send(CompleteSentence("$PQVXRESET"));
  QElapsedTimer wait;
  wait.start();
  while (!announced && wait.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  if (!announced) {
    std::fprintf(stderr, "no bootloader announcement\n");
    return 2;
  }

  const std::uint32_t blocks = BlockCount(image.payloadLength);
  // Hello; erase and decryption with their acknowledges (FE 80 FD); the CRC
  // command and its five-byte reply (escapes in the CRC not counted).
  constexpr std::size_t kAck = 3;
  std::size_t wire = WireBytes(CommandFrame(kCmdHello)) + (3 + kAck) + (4 + kAck) + (3 + 7);
  for (std::uint32_t i = 0; i < blocks; ++i) wire += WireBytes(BlockFrame(image, i)) + kAck;
  const double wireSeconds = double(wire) * 10.0 / kBaud;

  QElapsedTimer clock;
  clock.start();
  try {
    ProgramFirmware(port);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "programming failed: %s\n", e.what());
    return 1;
  }
  const double seconds = double(clock.nsecsElapsed()) / 1e9;
  port.Close();
  sim.terminate();
  sim.waitForFinished(5000);

  const double perBlockMs = seconds * 1000.0 / blocks;
  const double ratio = mode == "paced" ? seconds / wireSeconds : (wireSeconds + seconds) / wireSeconds;
  std::printf("mode %s: %u blocks, %zu bytes on the wire = %.1f s at %d baud\n", qPrintable(mode), blocks,
              wire, wireSeconds, kBaud);
  std::printf("programming took %.2f s (%.3f ms per block); %s %.4f x the wire time (goal <= %.2f)\n",
              seconds, perBlockMs, mode == "paced" ? "end to end" : "with this overhead", ratio, kGoal);
  return ratio <= kGoal ? 0 : 1;
}
