#pragma once
// What the test process itself uses: CPU time and resident memory.

#include <sys/resource.h>

#include <QtGlobal>

namespace hlx::test {

// User and system time of the whole process, in milliseconds.
inline double CpuMs() {
  rusage use{};
  ::getrusage(RUSAGE_SELF, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 +
         double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
}

// AddressSanitizer holds freed memory back in a quarantine of up to 256 MB,
// so there the resident size grows with every allocation and says nothing
// about what the program keeps.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kResidentSizeTellsGrowth = false;
#else
inline constexpr bool kResidentSizeTellsGrowth = true;
#endif

// The largest resident size the process has had, in bytes.
inline qint64 PeakResidentBytes() {
  rusage use{};
  ::getrusage(RUSAGE_SELF, &use);
  return qint64(use.ru_maxrss) * 1024;
}

}  // namespace hlx::test
