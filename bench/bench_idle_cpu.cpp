// CPU cost of an open but idle channel: the receive thread must sleep in
// poll(), not spin. Opens a pseudo-terminal (serial path) and a TCP
// connection to our own listener, runs the event loop and reads the process
// CPU time with getrusage.
//
//   bench_idle_cpu [SECONDS]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "BenchConsumer.h"

using namespace hlx;
using namespace hlx::bench;

namespace {

double Measure(QCoreApplication& app, int seconds) {
  QElapsedTimer wall;
  wall.start();
  const double cpu = CpuSeconds();
  QTimer::singleShot(seconds * 1000, [&] { app.quit(); });
  app.exec();
  return 100.0 * (CpuSeconds() - cpu) / (double(wall.elapsed()) / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;

  Consumer serial;
  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return 2;
  ::close(slave);
  if (serial.comm->Open(ChSerial, QString::fromLocal8Bit(name), 5) != ChSerial) return 2;
  const double serialCpu = Measure(app, seconds);
  std::printf("idle serial (pseudo-terminal): %.3f%% of a core over %d s\n", serialCpu, seconds);
  serial.comm->Close();

  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(kNmeaPort);
  ::inet_pton(AF_INET, "127.0.0.55", &a.sin_addr);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 1) != 0)
    return 2;
  int peer = -1;
  std::thread accept([&] { peer = ::accept(listener, nullptr, nullptr); });
  Consumer tcp;
  tcp.comm->Open(ChTcp, QStringLiteral("127.0.0.55"), 0);
  accept.join();
  const double tcpCpu = Measure(app, seconds);
  std::printf("idle TCP: %.3f%% of a core over %d s\n", tcpCpu, seconds);
  tcp.comm->Close();
  ::close(peer);
  ::close(listener);
  ::close(master);
  return serialCpu < 1.0 && tcpCpu < 1.0 ? 0 : 1;
}
