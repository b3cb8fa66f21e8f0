#pragma once
// The device side of a stream channel, played by the test: the master of a
// pseudo-terminal whose slave TComm opens like a serial port, or the accepted
// end of TComm's TCP connection.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <cerrno>
#include <memory>

namespace hlx::test {

class DeviceEnd {
 public:
  explicit DeviceEnd(int fd = -1, bool socket = false) : m_fd(fd), m_socket(socket) {
    if (m_fd >= 0) ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
  }
  virtual ~DeviceEnd() { Close(); }
  DeviceEnd(const DeviceEnd&) = delete;
  DeviceEnd& operator=(const DeviceEnd&) = delete;

  // Gives up after `ms`: nobody may be reading the other side.
  bool Write(const QByteArray& bytes, int ms = 2000) const {
    QElapsedTimer timer;
    timer.start();
    for (qsizetype done = 0; done < bytes.size();) {
      if (timer.elapsed() > ms) return false;
      const auto size = std::size_t(bytes.size() - done);
      const ssize_t n = m_socket ? ::send(m_fd, bytes.constData() + done, size, MSG_NOSIGNAL)
                                 : ::write(m_fd, bytes.constData() + done, size);
      if (n > 0) {
        done += n;
      } else if (n < 0 && errno == EAGAIN) {
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
      } else if (n < 0 && errno != EINTR) {
        return false;
      }
    }
    return true;
  }

  // Everything that arrives within `ms`, returning early once `expected`
  // bytes are there or the port was closed.
  QByteArray Read(int ms, qsizetype expected = -1) {
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (!m_ended && timer.elapsed() < ms && (expected < 0 || got.size() < expected)) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, int(qMax<qint64>(1, ms - timer.elapsed()))) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(m_fd, buf, sizeof buf);
      if (n > 0) got.append(buf, n);
      // End of the connection, or EIO once no slave descriptor is left.
      m_ended = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
    }
    return got;
  }
  // True once the program's side has closed the port.
  bool SeesClose(int ms) {
    Read(ms, 1 << 20);
    return m_ended;
  }

  // The device goes away: the master side closes or the connection ends.
  void Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 protected:
  int m_fd;
  bool m_socket;
  bool m_ended = false;
};

class Pty : public DeviceEnd {
 public:
  Pty() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&m_fd, &slave, name, nullptr, nullptr) != 0) return;
    path = QString::fromLocal8Bit(name);
    ::close(slave);  // TComm opens its own descriptor by path
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
  }
  QString path;  // of the slave

  // Speed of the port as the device side sees it.
  int Speed() const {
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return -1;
    const speed_t s = ::cfgetospeed(&tio);
    return s == B4800 ? 4800 : s == B115200 ? 115200 : s == B230400 ? 230400 : s == B921600 ? 921600 : 0;
  }
};

// Listens on `address`, port 10110, like the device does.
class TcpDevice {
 public:
  explicit TcpDevice(const char* address) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    int one = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(10110);
    ::inet_pton(AF_INET, address, &at.sin_addr);
    m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(m_fd, 4) == 0;
  }
  ~TcpDevice() { ::close(m_fd); }
  TcpDevice(const TcpDevice&) = delete;
  TcpDevice& operator=(const TcpDevice&) = delete;
  bool ok() const { return m_ok; }

  // The device end of the connection TComm opened; null when none came.
  std::unique_ptr<DeviceEnd> Accept() const {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return nullptr;
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<DeviceEnd>(fd, true);
  }

 private:
  int m_fd;
  bool m_ok = false;
};

}  // namespace hlx::test
