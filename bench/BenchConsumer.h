#pragma once
// The consumer side of the link benchmarks: does what the window does (on
// WM_RXDATA drain TComm's queue) and counts.

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/Comms.h"

namespace hlx::bench {

class Consumer : public QObject {
 public:
  Consumer() : comm(std::make_unique<TComm>(this)) {}

  std::unique_ptr<TComm> comm;
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
  std::uint64_t lost = 0;  // numbered lines that never arrived
  std::uint64_t badChecksum = 0;
  bool channelLost = false;
  std::function<void(const std::string&)> onLine;

  bool event(QEvent* e) override {
    if (e->type() == WM_CHANNELLOST) {
      channelLost = true;
      return true;
    }
    if (e->type() != WM_RXDATA) return QObject::event(e);
    comm->DrainRxQueue([this](std::string line) {
      ++lines;
      bytes += line.size();
      if (onLine) onLine(line);
    });
    return true;
  }
};

// Resident set size in kB.
inline long RssKb() {
  QFile f(QStringLiteral("/proc/self/statm"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> parts = f.readAll().split(' ');
  return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// Process CPU time (user + system) in seconds.
inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace hlx::bench
