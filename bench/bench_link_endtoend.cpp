// End to end: a device writes NMEA lines, TComm receives them on its thread
// and the consumer drains RxQueue on WM_RXDATA, as the window does.
//
//   bench_link_endtoend own-tcp RATE SECONDS   numbered lines from our own TCP server
//   bench_link_endtoend own-pty RATE SECONDS   numbered lines written into a pseudo-terminal
//   bench_link_endtoend sim-tcp RATE SECONDS   hlx-sim --traffic RATE, over TCP
//   bench_link_endtoend sim-pty RATE SECONDS   hlx-sim --traffic RATE, over its pseudo-terminal
//   bench_link_endtoend noise-tcp RATE SECONDS hlx-sim --noise RATE (garbage bytes/s), over TCP
//   bench_link_endtoend noise-pty RATE SECONDS the same over its pseudo-terminal
//
// Numbered lines show any loss exactly; the simulator's lines are checked by
// checksum (a merged or cut line fails it). With noise only the simulator's
// numbered sentences are counted, and any line longer than the limit. RSS is
// sampled every second.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchConsumer.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using namespace hlx::bench;

namespace {

const char* const kOwnAddress = "127.0.0.53";
const char* const kSimAddress = "127.0.0.54";

// Writes numbered lines to `fd` at `rate` lines/s until `stop`.
void WriteNumbered(int fd, double rate, std::atomic<bool>& stop, std::atomic<std::uint64_t>& sent) {
  QElapsedTimer clock;
  clock.start();
  std::uint64_t n = 0;
  std::string buffer;
  while (!stop) {
    const auto due = static_cast<std::uint64_t>(rate * double(clock.nsecsElapsed()) / 1e9);
    buffer.clear();
    for (; n < due && buffer.size() < 65536; ++n)
      buffer += CompleteSentence("GPXTE,A,A,0.67,L,N,SEQ," + std::to_string(n) + ",PADDINGPADDINGPADDING");
    std::size_t done = 0;
    while (done < buffer.size()) {
      const ssize_t w = ::write(fd, buffer.data() + done, buffer.size() - done);
      if (w <= 0) {
        stop = true;
        break;
      }
      done += std::size_t(w);
    }
    sent = n;
    if (buffer.empty()) QThread::usleep(500);
  }
}

int ListenOn(const char* address) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(kNmeaPort);
  ::inet_pton(AF_INET, address, &a.sin_addr);
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 1) != 0) {
    std::perror("listen");
    std::exit(2);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s own-tcp|own-pty|sim-tcp|sim-pty|noise-tcp|noise-pty RATE SECONDS\n",
                 argv[0]);
    return 2;
  }
  const QString mode = QString::fromLatin1(argv[1]);
  const double rate = std::atof(argv[2]);
  const int seconds = std::atoi(argv[3]);
  const bool own = mode.startsWith(QLatin1String("own"));
  const bool noise = mode.startsWith(QLatin1String("noise"));

  Consumer consumer;
  std::uint64_t expected = 0;
  std::uint64_t markers = 0, overlong = 0, firstNoise = 0, lastNoise = 0;
  const auto onNoisyLine = [&](const std::string& line) {
    if (line.size() > kMaxLineLength) ++overlong;
    // "$PXSEQ,<n>,<garbage bytes before it>*hh": numbered from 0, never cut by the garbage.
    if (line.rfind("$PXSEQ,", 0) != 0 || line.size() < 5 ||
        std::strtoul(line.c_str() + line.size() - 4, nullptr, 16) !=
            NmeaChecksum(std::string_view(line).substr(0, line.size() - 5)))
      return;
    char* end = nullptr;
    const std::uint64_t n = std::strtoull(line.c_str() + 7, &end, 10);
    lastNoise = std::strtoull(end + 1, nullptr, 10);
    if (markers++ == 0)
      firstNoise = lastNoise;
    else if (n > expected)
      consumer.lost += n - expected;
    expected = n + 1;
  };
  consumer.onLine = [&](const std::string& line) {
    if (noise) return onNoisyLine(line);
    // "$GPXTE,...*hh\r\n": the checksum must match, or the line was damaged.
    // The checksum covers the sentence after a TAG block.
    const auto star = line.rfind('*');
    const auto tagEnd = line.rfind('\\');
    const std::size_t begin = tagEnd == std::string::npos ? 0 : tagEnd + 1;
    if (star == std::string::npos || star < begin || line.size() < star + 3 ||
        std::strtoul(line.substr(star + 1, 2).c_str(), nullptr, 16) !=
            NmeaChecksum(std::string_view(line).substr(begin, star - begin)))
      ++consumer.badChecksum;
    if (!own) return;
    const auto seq = line.find(",SEQ,");
    if (seq == std::string::npos) return;
    const std::uint64_t n = std::strtoull(line.c_str() + seq + 5, nullptr, 10);
    if (n > expected) consumer.lost += n - expected;
    expected = n + 1;
  };

  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> sent{0};
  std::atomic<bool> writerDone{false};
  std::thread writer;
  int deviceFd = -1;
  QProcess sim;
  QTemporaryDir dir;

  if (mode == QLatin1String("own-tcp")) {
    const int listener = ListenOn(kOwnAddress);
    std::thread accept([&] { deviceFd = ::accept(listener, nullptr, nullptr); });
    consumer.comm->Open(ChTcp, QString::fromLatin1(kOwnAddress), 0);
    accept.join();
    ::close(listener);
    writer = std::thread([&] {
      WriteNumbered(deviceFd, rate, stop, sent);
      writerDone = true;
    });
  } else if (mode == QLatin1String("own-pty")) {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&deviceFd, &slave, name, nullptr, nullptr) != 0) return 2;
    ::close(slave);
    if (consumer.comm->Open(ChSerial, QString::fromLocal8Bit(name), 8) != ChSerial) return 2;
    writer = std::thread([&] {
      WriteNumbered(deviceFd, rate, stop, sent);
      writerDone = true;
    });
  } else {
    const QString pty = dir.filePath(QStringLiteral("pty"));
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The UDP copy goes where nobody listens.
    sim.start(QStringLiteral(HLX_SIM_PATH),
              {"--address", kSimAddress, "--pty", pty, noise ? "--noise" : "--traffic", QString::number(rate),
               "--ov-period", "0", "--udp-peer", QString::fromLatin1(kSimAddress) + QStringLiteral(":9")});
    while (sim.waitForReadyRead(5000))
      if (sim.readAll().contains("ready")) break;
    const bool tcp = mode.endsWith(QLatin1String("-tcp"));
    // Speed index 5: the simulator's host port runs at 115200 by default.
    const auto kind =
        consumer.comm->Open(tcp ? ChTcp : ChSerial, tcp ? QString::fromLatin1(kSimAddress) : pty, 5);
    if (kind == ChClosed) {
      std::fprintf(stderr, "cannot open: %s\n", qPrintable(consumer.comm->LastOpenError()));
      return 2;
    }
  }

  const long rssStart = RssKb();
  long rssMax = rssStart;
  QElapsedTimer wall;
  wall.start();
  const double cpuStart = CpuSeconds();
  std::uint64_t linesAtSecond = 0;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    const long rss = RssKb();
    rssMax = std::max(rssMax, rss);
    std::printf("t=%2llds lines/s %7llu  rss %ld kB\n", static_cast<long long>(wall.elapsed() / 1000),
                static_cast<unsigned long long>(consumer.lines - linesAtSecond), rss);
    linesAtSecond = consumer.lines;
  });
  sampler.start(1000);
  QTimer::singleShot(seconds * 1000, [&] { app.quit(); });
  app.exec();
  sampler.stop();
  const double elapsed = double(wall.elapsed()) / 1000.0;
  const double cpu = CpuSeconds() - cpuStart;
  const std::uint64_t receivedInTime = consumer.lines;

  stop = true;
  // Keep draining while the writer finishes: a full receive side holds it back.
  while (writer.joinable() && !writerDone) app.processEvents(QEventLoop::AllEvents, 50);
  if (writer.joinable()) writer.join();
  if (own) {
    // Let the last written lines arrive before counting losses.
    QElapsedTimer drain;
    drain.start();
    while (consumer.lines < sent && drain.elapsed() < 5000) app.processEvents(QEventLoop::AllEvents, 50);
  }
  std::printf("%s: %.0f lines/s received over %.1f s (asked %.0f), %llu lines, %.1f MB/s\n", argv[1],
              double(receivedInTime) / elapsed, elapsed, rate,
              static_cast<unsigned long long>(consumer.lines), double(consumer.bytes) / elapsed / 1e6);
  if (own)
    std::printf("  written %llu, received %llu, lost %llu\n", static_cast<unsigned long long>(sent.load()),
                static_cast<unsigned long long>(consumer.lines),
                static_cast<unsigned long long>(consumer.lost));
  if (noise)
    std::printf(
        "  %.1f MB of garbage (%.1f MB/s), %llu numbered sentences, %llu missing, %llu lines too long\n",
        double(lastNoise - firstNoise) / 1e6, double(lastNoise - firstNoise) / elapsed / 1e6,
        static_cast<unsigned long long>(markers), static_cast<unsigned long long>(consumer.lost),
        static_cast<unsigned long long>(overlong));
  std::printf("  bad checksums %llu, rss start %ld kB, max %ld kB, end %ld kB, cpu %.0f%% of a core\n",
              static_cast<unsigned long long>(consumer.badChecksum), rssStart, rssMax, RssKb(),
              100.0 * cpu / elapsed);
  consumer.comm->Close();
  if (deviceFd >= 0) ::close(deviceFd);
  if (sim.state() != QProcess::NotRunning) {
    sim.terminate();
    if (!sim.waitForFinished(3000)) sim.kill();
    sim.waitForFinished(3000);
  }
  const bool ok = consumer.badChecksum == 0 && consumer.lost == 0 && overlong == 0 &&
                  (!noise || markers > 0) && (!own || consumer.lines == sent);
  return ok ? 0 : 1;
}
