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

namespace hlx::sim {

namespace {

constexpr speed_t kTermSpeeds[] = {B4800, B9600, B19200, B38400, B57600, B115200, B230400};
constexpr std::size_t kReadChunk = 4096;

}  // namespace

PtyEndpoint::PtyEndpoint(LineHandler handler, std::function<int()> hostSpeedIndex, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_hostSpeed(std::move(hostSpeedIndex)) {}

PtyEndpoint::~PtyEndpoint() {
  if (!m_link.isEmpty() && QFileInfo(m_link).isSymLink()) QFile::remove(m_link);
  if (m_master >= 0) ::close(m_master);
}

bool PtyEndpoint::Open(const QString& linkPath, int speedIndex, QString& error) {
  int slave = -1;
  char name[256] = {};
  termios tio{};
  cfmakeraw(&tio);
  const speed_t speed = kTermSpeeds[speedIndex >= 0 && speedIndex < 7 ? speedIndex : 5];
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  if (::openpty(&m_master, &slave, name, &tio, nullptr) != 0) {
    error = QStringLiteral("openpty: ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  // Until a peer opens the slave the master reports a hang-up, which Poll()
  // watches; holding our own slave descriptor would hide that.
  ::close(slave);
  ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
  m_slavePath = QString::fromLocal8Bit(name);

  const QFileInfo existing(linkPath);
  if (existing.isSymLink())
    QFile::remove(linkPath);
  else if (existing.exists()) {
    error = linkPath + QStringLiteral(" exists and is not a link");
    return false;
  }
  if (::symlink(name, QFile::encodeName(linkPath).constData()) != 0) {
    error = QStringLiteral("symlink ") + linkPath + QStringLiteral(": ") +
            QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  m_link = linkPath;

  m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
  m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
  m_readNotifier->setEnabled(false);
  m_writeNotifier->setEnabled(false);
  connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::OnReadable);
  connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::OnWritable);
  Poll();
  return true;
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
  }
}

void PtyEndpoint::OnReadable() {
  char buf[kReadChunk];
  for (;;) {
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0 || errno != EAGAIN) SetHungUp(true);
      return;
    }
    if (!SpeedMatches()) {
      // At another speed the UART would see framing errors, not lines.
      m_lines.Reset();
      continue;
    }
    std::vector<std::string> lines;
    m_lines.Feed(std::string_view(buf, static_cast<std::size_t>(n)), lines);
    for (const std::string& line : lines) {
      const std::vector<std::string> replies = m_handler(line);
      // Replies leave at the speed the command came in at, even when the
      // command changed it.
      if (!replies.empty()) Write(JoinLines(replies), true);
    }
  }
}

void PtyEndpoint::Broadcast(const QByteArray& data) {
  if (m_hungUp || data.isEmpty() || !SpeedMatches()) return;
  Write(data, false);
}

void PtyEndpoint::Write(const QByteArray& data, bool isReply) {
  if (m_hungUp) return;
  if (!isReply && m_pending.size() > kMaxPendingOutput) return;
  m_pending += data;
  OnWritable();
}

void PtyEndpoint::OnWritable() {
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
