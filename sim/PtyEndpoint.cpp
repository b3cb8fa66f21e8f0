#include "PtyEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <limits>

namespace hlx::sim {

namespace {

constexpr speed_t kTermSpeeds[] = {B4800, B9600, B19200, B38400, B57600, B115200, B230400};
constexpr std::size_t kReadChunk = 4096;

}  // namespace

PtyEndpoint::PtyEndpoint(LineHandler handler, std::function<int()> hostSpeedIndex, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_hostSpeed(std::move(hostSpeedIndex)) {
  m_wireTime.start();
  m_paceTimer.setSingleShot(true);
  m_paceTimer.setTimerType(Qt::PreciseTimer);
  connect(&m_paceTimer, &QTimer::timeout, this, &PtyEndpoint::PaceInput);
}

PtyEndpoint::~PtyEndpoint() {
  if (!m_link.isEmpty() && QFileInfo(m_link).isSymLink()) QFile::remove(m_link);
  if (m_master >= 0) ::close(m_master);
}

bool PtyEndpoint::Open(const QString& linkPath, int speedIndex, QString& error) {
  QString slavePath;
  const int master = CreateTerminal(speedIndex, slavePath, error);
  if (master < 0) return false;
  if (!Link(linkPath, slavePath, error)) {
    ::close(master);
    return false;
  }
  m_link = linkPath;
  m_slavePath = slavePath;
  Attach(master);
  return true;
}

int PtyEndpoint::CreateTerminal(int speedIndex, QString& slavePath, QString& error) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  termios tio{};
  cfmakeraw(&tio);
  const speed_t speed = kTermSpeeds[speedIndex >= 0 && speedIndex < 7 ? speedIndex : 5];
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (::openpty(&master, &slave, name, &tio, nullptr) != 0) {
    error = QStringLiteral("openpty: ") + QString::fromLocal8Bit(std::strerror(errno));
    return -1;
  }
  // Until a peer opens the slave the master reports a hang-up, which Poll()
  // watches; holding our own slave descriptor would hide that.
  ::close(slave);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  slavePath = QString::fromLocal8Bit(name);
  return master;
}

bool PtyEndpoint::Link(const QString& linkPath, const QString& slavePath, QString& error) {
  const QFileInfo existing(linkPath);
  if (!existing.isSymLink() && existing.exists()) {
    error = linkPath + QStringLiteral(" exists and is not a link");
    return false;
  }
  // A new link renamed over the old one: the path is never missing.
  const QString temp = linkPath + QStringLiteral(".%1~").arg(::getpid());
  if (QFileInfo(temp).isSymLink()) QFile::remove(temp);
  if (::symlink(QFile::encodeName(slavePath).constData(), QFile::encodeName(temp).constData()) != 0 ||
      ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(linkPath).constData()) != 0) {
    error = QStringLiteral("symlink ") + linkPath + QStringLiteral(": ") +
            QString::fromLocal8Bit(std::strerror(errno));
    if (QFileInfo(temp).isSymLink()) QFile::remove(temp);
    return false;
  }
  return true;
}

void PtyEndpoint::Attach(int master) {
  delete m_readNotifier;
  delete m_writeNotifier;
  m_readNotifier = m_writeNotifier = nullptr;
  m_master = master;
  m_hungUp = true;
  m_pending.clear();
  m_lines.Reset();
  m_inbox.clear();
  m_inClock = m_outClock = WireClock{};
  m_outReady = 0;
  if (m_master < 0) return;
  m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
  m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
  m_readNotifier->setEnabled(false);
  m_writeNotifier->setEnabled(false);
  connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::OnReadable);
  connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::OnWritable);
  Poll();
}

bool PtyEndpoint::HangUp(QString& error) {
  QString slavePath;
  const int master = CreateTerminal(m_hostSpeed(), slavePath, error);
  const bool relinked = master >= 0 && Link(m_link, slavePath, error);
  if (master >= 0 && !relinked) ::close(master);
  // The old terminal goes in any case: that is the hang-up the peer sees.
  const int old = m_master;
  Attach(relinked ? master : -1);
  if (relinked) m_slavePath = slavePath;
  if (old >= 0) ::close(old);
  return relinked;
}

int PtyEndpoint::TerminalSpeedIndex() const {
  // On Linux the master reports the slave's settings, so this is the speed
  // the program chose.
  termios tio{};
  if (m_master < 0 || ::tcgetattr(m_master, &tio) != 0) return -1;
  const speed_t speed = cfgetospeed(&tio);
  for (int i = 0; i < 7; ++i)
    if (kTermSpeeds[i] == speed) return i;
  return -1;
}

bool PtyEndpoint::SpeedMatches() const { return TerminalSpeedIndex() == m_hostSpeed(); }

void PtyEndpoint::Poll() {
  if (m_master < 0) return;
  pollfd p{m_master, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return;
  SetHungUp((p.revents & POLLHUP) != 0);
}

void PtyEndpoint::SetHungUp(bool hungUp) {
  if (hungUp == m_hungUp) return;
  m_hungUp = hungUp;
  // A hung-up master is always "readable"; listening then would spin.
  m_readNotifier->setEnabled(!hungUp);
  if (hungUp) {
    m_writeNotifier->setEnabled(false);
    m_pending.clear();
    m_lines.Reset();
    m_inbox.clear();
    m_inClock = m_outClock = WireClock{};
    m_outReady = 0;
  }
}

void PtyEndpoint::OnReadable() {
  char buf[kReadChunk];
  for (;;) {
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0 || errno != EAGAIN) SetHungUp(true);
      break;
    }
    if (!SpeedMatches()) {
      // At another speed the UART would see framing errors, not lines.
      m_lines.Reset();
      continue;
    }
    if (m_paced) {
      m_inbox.append(buf, n);
      m_inClock.Queue(m_wireTime.nsecsElapsed(), n);
      continue;
    }
    Deliver(std::string_view(buf, static_cast<std::size_t>(n)));
  }
  if (m_paced) PaceInput();
}

void PtyEndpoint::Deliver(std::string_view bytes) {
  if (m_sink) {
    m_sink(bytes);
    return;
  }
  std::vector<std::string> lines;
  m_lines.Feed(bytes, lines);
  for (const std::string& line : lines) {
    const std::vector<std::string> replies = m_handler(line);
    // Replies leave at the speed the command came in at, even when the
    // command changed it.
    if (!replies.empty()) Write(JoinLines(replies), true);
  }
}

void PtyEndpoint::SetByteSink(ByteSink sink) {
  m_sink = std::move(sink);
  m_lines.Reset();
}

int PtyEndpoint::TerminalBaud() const {
  static constexpr int kBauds[] = {4800, 9600, 19200, 38400, 57600, 115200, 230400};
  const int index = TerminalSpeedIndex();
  return index >= 0 ? kBauds[index] : 0;
}

void PtyEndpoint::PaceInput() {
  if (const qsizetype n = m_inClock.Passed(m_wireTime.nsecsElapsed(), TerminalBaud()); n > 0) {
    const QByteArray due = m_inbox.left(n);
    m_inbox.remove(0, n);
    Deliver(std::string_view(due.constData(), static_cast<std::size_t>(due.size())));
  }
  PaceOutput();
}

void PtyEndpoint::PaceOutput() {
  m_outReady += m_outClock.Passed(m_wireTime.nsecsElapsed(), TerminalBaud());
  while (m_outReady > 0 && !m_pending.isEmpty() && !m_hungUp) {
    const auto size = static_cast<std::size_t>(std::min(m_outReady, m_pending.size()));
    const ssize_t n = ::write(m_master, m_pending.constData(), size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (errno != EAGAIN) SetHungUp(true);
      break;
    }
    m_pending.remove(0, n);
    m_outReady -= n;
  }
  if (m_hungUp) return;
  // A reader that is behind makes room again through the notifier.
  m_writeNotifier->setEnabled(m_outReady > 0 && !m_pending.isEmpty());
  SchedulePace();
}

void PtyEndpoint::SchedulePace() {
  const int baud = TerminalBaud();
  constexpr qint64 kNever = std::numeric_limits<qint64>::max();
  qint64 next = kNever;
  if (m_inClock.queued > 0) next = m_inClock.NextNs(baud);
  if (m_outClock.queued > 0) next = std::min(next, m_outClock.NextNs(baud));
  if (next == kNever) return;
  const qint64 waitMs = (next - m_wireTime.nsecsElapsed() + 999'999) / 1'000'000;
  m_paceTimer.start(static_cast<int>(std::clamp<qint64>(waitMs, 0, 1000)));
}

void PtyEndpoint::Broadcast(const QByteArray& data) {
  if (m_hungUp || data.isEmpty() || !SpeedMatches()) return;
  Write(data, false);
}

void PtyEndpoint::Send(const QByteArray& data) {
  if (m_hungUp || data.isEmpty() || !SpeedMatches()) return;
  Write(data, true);
}

void PtyEndpoint::Write(const QByteArray& data, bool isReply) {
  if (m_hungUp) return;
  if (!isReply && m_pending.size() > kMaxPendingOutput) return;
  m_pending += data;
  if (m_paced) {
    m_outClock.Queue(m_wireTime.nsecsElapsed(), data.size());
    PaceOutput();
    return;
  }
  OnWritable();
}

void PtyEndpoint::OnWritable() {
  if (m_paced) {
    PaceOutput();
    return;
  }
  while (!m_pending.isEmpty()) {
    const ssize_t n = ::write(m_master, m_pending.constData(), static_cast<std::size_t>(m_pending.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (errno == EAGAIN) break;
      SetHungUp(true);
      return;
    }
    m_pending.remove(0, n);
  }
  m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

}  // namespace hlx::sim
