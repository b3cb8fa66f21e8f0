#include "link/ReceiveThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "link/Comms.h"

namespace hlx {

namespace {

constexpr std::size_t kReadBlock = 4096;
// How soon lines held back by a busy RxLock are offered again.
constexpr int kRetryDeliveryMs = 5;
// A window that cannot keep up must not make the queue grow without end:
// above this many waiting lines the thread stops reading, so the kernel
// buffers fill and the sender is held back (TCP, pseudo-terminal) instead.
constexpr std::size_t kMaxQueuedLines = 50000;

}  // namespace

RxShared::RxShared() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RxShared::~RxShared() {
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void RxShared::Wake() {
  const std::uint64_t one = 1;
  if (m_wakeFd >= 0) (void)!::write(m_wakeFd, &one, sizeof one);
}

std::size_t RxShared::QueuedLines(std::size_t fallback) {
  std::unique_lock lock(rxLock, std::try_to_lock);
  return lock.owns_lock() ? rxQueue.size() : fallback;
}

bool RxShared::Deliver(std::vector<std::string>& lines, bool wait, std::size_t* queued) {
  if (lines.empty()) return true;
  std::unique_lock lock(rxLock, std::defer_lock);
  if (wait)
    lock.lock();
  else if (!lock.try_lock())
    return false;
  for (auto& line : lines) rxQueue.push_back(std::move(line));
  if (queued) *queued = rxQueue.size();
  lock.unlock();
  {
    std::lock_guard guard(m_signalMutex);
    m_lines += lines.size();
  }
  lines.clear();
  Wake();
  return true;
}

void RxShared::ReportLost() {
  {
    std::lock_guard guard(m_signalMutex);
    m_lost = true;
  }
  Wake();
}

void RxShared::TakeSignals(std::size_t& lines, bool& lost) {
  std::uint64_t counter = 0;
  if (m_wakeFd >= 0) (void)!::read(m_wakeFd, &counter, sizeof counter);
  std::lock_guard guard(m_signalMutex);
  lines = m_lines;
  lost = m_lost;
  m_lines = 0;
  m_lost = false;
}

ReceiveThread::ReceiveThread(int fd, std::shared_ptr<RxShared> shared)
    : m_fd(fd), m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_shared(std::move(shared)) {
  m_thread = std::thread([this] { Run(); });
}

ReceiveThread::~ReceiveThread() {
  m_stop = true;
  const std::uint64_t one = 1;
  if (m_wakeFd >= 0) (void)!::write(m_wakeFd, &one, sizeof one);
  m_thread.join();
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void ReceiveThread::SetLoaderMode(bool on) {
  std::lock_guard guard(m_parseMutex);
  m_loaderMode = on;
  m_lines.Reset();
  m_frames.Reset();
}

std::uint8_t ReceiveThread::WaitFrame(LoaderFrameRecord& record, std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_parseMutex);
  // A thread that has ended (peer gone, adapter unplugged) will bring no frame:
  // say so at once instead of letting the caller wait out the time-out.
  const bool woken =
      m_frameReady.wait_for(lock, timeout, [this] { return m_frames.complete() || !m_running; });
  if (woken && m_frames.complete()) {
    m_frames.Take(record);
    return kFrameReady;
  }
  m_frames.Reset();
  return woken ? kFrameNone : kFrameTimeout;
}

bool ReceiveThread::Consume(const char* data, std::size_t size, std::vector<std::string>& pending) {
  std::lock_guard guard(m_parseMutex);
  if (m_loaderMode) {
    m_frames.Feed(reinterpret_cast<const std::uint8_t*>(data), size);
    if (m_frames.complete()) m_frameReady.notify_all();
    return false;
  }
  m_lines.Feed(data, size, [&](std::string_view line) { pending.emplace_back(line); });
  return !pending.empty();
}

void ReceiveThread::WaitForWake(int timeoutMs) {
  pollfd p{m_wakeFd, POLLIN, 0};
  ::poll(&p, 1, timeoutMs);
}

void ReceiveThread::Run() {
  // Below normal priority: reception must not compete with the window.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, tid);
  if (errno == 0) ::setpriority(PRIO_PROCESS, tid, nice + 1);

  std::vector<std::string> pending;
  char buffer[kReadBlock];
  bool lost = m_wakeFd < 0;
  while (!lost && !m_stop) {
    const bool throttled = m_queued > kMaxQueuedLines;
    // poll() skips a negative descriptor: a throttled thread only waits.
    pollfd fds[2] = {{throttled ? -1 : m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int r = ::poll(fds, 2, pending.empty() && !throttled ? -1 : kRetryDeliveryMs);
    if (r < 0 && errno != EINTR) lost = true;
    if (lost || m_stop) break;
    if (r > 0 && fds[0].revents) {
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      if (n > 0) {
        Consume(buffer, static_cast<std::size_t>(n), pending);
      } else if (n == 0) {
        lost = true;  // peer closed the connection, or the tty hung up
      } else if (errno == EAGAIN || errno == EINTR) {
        // A hang-up or error flag with nothing to read would wake poll at once forever.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) lost = true;
      } else {
        lost = true;  // EIO from an unplugged adapter or a closed pseudo-terminal
      }
    }
    if (throttled) m_queued = m_shared->QueuedLines(m_queued);
    m_shared->Deliver(pending, false, &m_queued);
  }
  // Lines completed before the end are not thrown away.
  while (!pending.empty() && !m_stop)
    if (!m_shared->Deliver(pending, false)) WaitForWake(kRetryDeliveryMs);
  if (lost && !m_stop) m_shared->ReportLost();
  {
    std::lock_guard guard(m_parseMutex);
    m_running = false;
  }
  m_frameReady.notify_all();
}

}  // namespace hlx
