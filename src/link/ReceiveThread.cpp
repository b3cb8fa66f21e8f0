#include "link/ReceiveThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
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
// The window is woken at most this often while a trickle of lines keeps
// coming: each wake-up costs it an event-loop pass, and live traffic arrives
// in many small reads. The first line after a quiet spell wakes it at once.
constexpr auto kMinWakeGap = std::chrono::milliseconds(40);
// Until the window may be woken again, a descriptor that brought less than
// kTrickleBytesPerSecond (measured over kRatePeriod) is left alone: the bytes
// wait in the kernel and come in one read instead of several. The fastest
// serial link brings a twentieth of it. A faster stream is read on, so the
// sender is never held back.
constexpr double kTrickleBytesPerSecond = 200000;
constexpr auto kRatePeriod = std::chrono::milliseconds(250);
// After the window wrote, lines are handed over at once for this long: the
// device answers a command well within it.
constexpr auto kAnswerWindow = std::chrono::milliseconds(1000);

int MsUntil(std::chrono::steady_clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

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

bool RxShared::Deliver(std::vector<std::string>& lines, bool wait, std::size_t* queued, bool wake) {
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
  if (wake) Wake();
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
  m_framesWanted = on;
  // The thread may be leaving the descriptor alone for a moment; a frame must not wait for that.
  const std::uint64_t one = 1;
  if (on && m_wakeFd >= 0) (void)!::write(m_wakeFd, &one, sizeof one);
}

void ReceiveThread::AnswerAwaited() {
  m_answerUntil = (std::chrono::steady_clock::now() + kAnswerWindow).time_since_epoch().count();
  // The thread may be leaving the descriptor alone until its next wake-up is due.
  const std::uint64_t one = 1;
  if (m_wakeFd >= 0) (void)!::write(m_wakeFd, &one, sizeof one);
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

void ReceiveThread::DrainWakeFd() {
  std::uint64_t counter = 0;
  (void)!::read(m_wakeFd, &counter, sizeof counter);
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
  auto lastWake = std::chrono::steady_clock::time_point{};
  bool wakeDue = false;  // lines were queued that the window has not been woken for
  bool fast = false;     // the last rate period brought more than a trickle
  bool drained = true;   // the last read took all there was
  std::size_t readInPeriod = 0;
  auto periodStart = std::chrono::steady_clock::now();
  while (!lost && !m_stop) {
    const bool throttled = m_queued > kMaxQueuedLines;
    int timeoutMs = pending.empty() && !throttled ? -1 : kRetryDeliveryMs;
    bool readFd = !throttled;
    const bool answering = std::chrono::steady_clock::now().time_since_epoch().count() < m_answerUntil;
    const int untilWake = answering ? 0 : MsUntil(lastWake + kMinWakeGap);
    if (untilWake > 0 && drained && !fast && !m_framesWanted) {
      // Whatever comes now could not reach the window before then anyway.
      readFd = false;
      timeoutMs = timeoutMs < 0 ? untilWake : std::min(timeoutMs, untilWake);
    } else if (wakeDue) {
      timeoutMs = timeoutMs < 0 ? untilWake : std::min(timeoutMs, untilWake);
    }
    // poll() skips a negative descriptor: a throttled thread only waits.
    pollfd fds[2] = {{readFd ? m_fd : -1, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int r = ::poll(fds, 2, timeoutMs);
    if (r < 0 && errno != EINTR) lost = true;
    if (lost || m_stop) break;
    if (r > 0 && fds[1].revents) DrainWakeFd();  // only a nudge (loader mode): stopping is m_stop
    if (r > 0 && fds[0].revents) {
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      // A pseudo-terminal hands out less than a block per read however much waits.
      int waiting = 0;
      drained = n <= 0 || ::ioctl(m_fd, FIONREAD, &waiting) != 0 || waiting <= 0;
      if (n > 0) {
        readInPeriod += static_cast<std::size_t>(n);
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
    if (!pending.empty() && m_shared->Deliver(pending, false, &m_queued, false)) wakeDue = true;
    // A fast stream wakes the window per read: its wake-ups are cheap beside
    // the lines, and smaller helpings keep the window answering.
    if (wakeDue && (fast || answering || std::chrono::steady_clock::now() - lastWake >= kMinWakeGap)) {
      m_shared->Wake();
      lastWake = std::chrono::steady_clock::now();
      wakeDue = false;
      if (const auto span = lastWake - periodStart; span >= kRatePeriod) {
        fast = double(readInPeriod) / std::chrono::duration<double>(span).count() > kTrickleBytesPerSecond;
        readInPeriod = 0;
        periodStart = lastWake;
      }
    }
  }
  if (wakeDue) m_shared->Wake();
  // Lines completed before the end are not thrown away.
  while (!pending.empty() && !m_stop)
    if (!m_shared->Deliver(pending, false)) {
      WaitForWake(kRetryDeliveryMs);
      DrainWakeFd();  // a loader-mode nudge must not turn the wait into a spin
    }
  if (lost && !m_stop) m_shared->ReportLost();
  {
    std::lock_guard guard(m_parseMutex);
    m_running = false;
  }
  m_frameReady.notify_all();
}

}  // namespace hlx
