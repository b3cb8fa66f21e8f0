#pragma once
// The receive side shared by TComm and its receive thread, and the thread
// that reads a serial or TCP descriptor.
//
// The thread never blocks on RxLock: the window may hold it for a long time
// (a firmware update runs inside the dispatcher) and the thread must keep
// reading bootloader frames meanwhile. Lines that find the lock taken wait in
// the thread and are delivered, in order, as soon as it is free.

#include <QEvent>
#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/FrameParser.h"
#include "link/LineParser.h"

namespace hlx {

// Held by TComm and by its receive thread, so neither outlives what it uses.
//
// The thread does not post window events itself: it counts what it delivered
// and wakes the UI thread through an event descriptor; TComm then posts the
// events from the UI thread. So no event object crosses threads, and once
// TComm is gone nothing can be posted to a window that may be gone too.
struct RxShared {
  std::recursive_mutex rxLock;
  std::deque<std::string> rxQueue;

  RxShared();
  ~RxShared();
  RxShared(const RxShared&) = delete;
  RxShared& operator=(const RxShared&) = delete;

  // Readable while there is something to post (for a QSocketNotifier).
  int WakeFd() const { return m_wakeFd; }
  // Moves `lines` to RxQueue. With `wait` false it gives up when RxLock is
  // taken and returns false. `queued` receives the queue length afterwards.
  // With `wake` false the UI thread is not woken yet: the caller calls Wake().
  bool Deliver(std::vector<std::string>& lines, bool wait, std::size_t* queued = nullptr, bool wake = true);
  // Current queue length, or `fallback` when RxLock is taken.
  std::size_t QueuedLines(std::size_t fallback);
  // The receive thread ended on its own.
  void ReportLost();
  // UI thread: how many lines were queued and whether the channel was lost
  // since the last call.
  void TakeSignals(std::size_t& lines, bool& lost);
  // Makes WakeFd readable.
  void Wake();

 private:
  std::mutex m_signalMutex;
  std::size_t m_lines = 0;
  bool m_lost = false;
  int m_wakeFd;
};

class ReceiveThread {
 public:
  // Starts reading `fd` (which stays owned by the caller).
  ReceiveThread(int fd, std::shared_ptr<RxShared> shared);
  // Stops and joins; the thread is never inside a blocking read, so this is prompt.
  ~ReceiveThread();
  ReceiveThread(const ReceiveThread&) = delete;
  ReceiveThread& operator=(const ReceiveThread&) = delete;

  void SetLoaderMode(bool on);
  // The window has just written to the device: for kAnswerWindow every line
  // is handed over as soon as it is read, so a conversation is not paced by
  // the wake-up gap kept for a trickle of traffic.
  void AnswerAwaited();
  // Waits up to `timeout` for a bootloader frame: kFrameReady, kFrameTimeout,
  // or kFrameNone at once when the thread has ended.
  std::uint8_t WaitFrame(LoaderFrameRecord& record, std::chrono::milliseconds timeout);
  // False once the thread has ended (peer closed, read error, or stopped).
  bool Running() const { return m_running.load(); }

 private:
  void Run();
  bool Consume(const char* data, std::size_t size, std::vector<std::string>& pending);
  void WaitForWake(int timeoutMs);
  void DrainWakeFd();

  int m_fd;
  int m_wakeFd;
  std::size_t m_queued = 0;  // RxQueue length last seen
  std::shared_ptr<RxShared> m_shared;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_running{true};
  // Mirrors m_loaderMode for the read loop, which must then never hold the descriptor back.
  std::atomic<bool> m_framesWanted{false};
  // steady_clock ticks until which lines are handed over at once (AnswerAwaited).
  std::atomic<std::chrono::steady_clock::rep> m_answerUntil{0};

  mutable std::mutex m_parseMutex;  // guards the mode and both parsers
  std::condition_variable m_frameReady;
  bool m_loaderMode = false;
  LineParser m_lines;
  FrameParser m_frames;

  std::thread m_thread;  // last: starts after everything above exists
};

}  // namespace hlx
