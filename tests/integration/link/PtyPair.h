#pragma once
// A pseudo-terminal for the serial tests: the test plays the device on the
// master side, TComm opens the slave path like a serial port.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <cerrno>

namespace hlx::test {

class PtyPair {
 public:
  PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) return;
    m_path = QString::fromLocal8Bit(name);
    ::close(slave);  // TComm opens its own descriptor by path
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return m_master >= 0; }
  QString slavePath() const { return m_path; }
  int master() const { return m_master; }

  // Gives up after two seconds: nobody may be reading the other side.
  bool Write(const QByteArray& bytes) const {
    QElapsedTimer timer;
    timer.start();
    qsizetype done = 0;
    while (done < bytes.size()) {
      if (timer.elapsed() > 2000) return false;
      const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
      if (n > 0) {
        done += n;
      } else if (n < 0 && errno == EAGAIN) {
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 10);
      } else if (n < 0 && errno != EINTR) {
        return false;
      }
    }
    return true;
  }

  // Everything the device side receives within `ms`, returning early once
  // `expected` bytes are there.
  QByteArray Read(int ms, qsizetype expected = -1) const {
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && (expected < 0 || got.size() < expected)) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, int(qMax<qint64>(1, ms - timer.elapsed()))) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n > 0) got.append(buf, n);
    }
    return got;
  }

  // Speed of the port as the device side sees it.
  int SlaveSpeed() const {
    termios tio{};
    if (::tcgetattr(m_master, &tio) != 0) return -1;
    switch (::cfgetospeed(&tio)) {
      case B4800:
        return 4800;
      case B115200:
        return 115200;
      case B230400:
        return 230400;
      case B921600:
        return 921600;
      default:
        return 0;
    }
  }

  void CloseMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }

 private:
  int m_master = -1;
  QString m_path;
};

}  // namespace hlx::test
