#include "link/ChannelIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

namespace hlx {

namespace {

using Clock = std::chrono::steady_clock;

IoResult Failure(int error, const QString& what) {
  return {false, error, QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)))};
}

speed_t SpeedConstant(int baud) {
  switch (baud) {
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
  }
}

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

QString SerialDevicePath(const QString& name) {
  return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

QString OtherSerialHolder(const QString& path) {
  const QByteArray wanted = QFileInfo(path).canonicalFilePath().toLocal8Bit();
  if (wanted.isEmpty()) return {};
  const std::string self = std::to_string(::getpid());
  DIR* proc = ::opendir("/proc");
  if (!proc) return {};
  QString holder;
  while (const dirent* entry = ::readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    const std::string fdDir = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());  // fails for other users' processes and ended ones
    if (!fds) continue;
    while (const dirent* fd = ::readdir(fds)) {
      char target[PATH_MAX];
      const ssize_t n = ::readlinkat(::dirfd(fds), fd->d_name, target, sizeof target);
      if (n != wanted.size() || std::memcmp(target, wanted.constData(), std::size_t(n)) != 0) continue;
      QFile comm(QString::fromStdString("/proc/" + pid + "/comm"));
      QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : "";
      if (name.isEmpty()) name = QStringLiteral("a program");
      holder = QStringLiteral("%1 (process %2)").arg(name, QString::fromStdString(pid));
      break;
    }
    ::closedir(fds);
    if (!holder.isEmpty()) break;
  }
  ::closedir(proc);
  return holder;
}

int OpenSerialDevice(const QString& path, int baud, IoResult& result) {
  const QByteArray native = path.toLocal8Bit();
  // Non-blocking so that the open never waits for a carrier line.
  const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result = Failure(errno, path);
    return -1;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    result = Failure(errno, path);
    ::close(fd);
    return -1;
  }
  // Exclusive mode keeps out only those who open after us: a program that
  // already reads the port would take half of every line. Checked before
  // TIOCEXCL, whose clearing on close would otherwise lift the holder's own.
  if (const QString holder = OtherSerialHolder(path); !holder.isEmpty()) {
    ::close(fd);
    result = {false, EBUSY, QStringLiteral("%1: in use by %2").arg(path, holder)};
    return -1;
  }
  // No other program may open the port while we use it.
  ::ioctl(fd, TIOCEXCL);
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNBRK | BRKINT);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedConstant(baud);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    result = Failure(errno, path);
    CloseSerialDevice(fd);
    return -1;
  }
  // DTR and RTS are not used as control lines; a pseudo-terminal has neither.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIC, &lines);
  result = {};
  return fd;
}

void CloseSerialDevice(int fd) {
  // The exclusive flag belongs to the terminal, not to the descriptor: a
  // pseudo-terminal whose master stays open keeps it after our close, and
  // every later open by an ordinary user fails with EBUSY.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

IoResult SetSerialSpeed(int fd, int baud) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return Failure(errno, QStringLiteral("speed"));
  ::cfsetispeed(&tio, SpeedConstant(baud));
  ::cfsetospeed(&tio, SpeedConstant(baud));
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return Failure(errno, QStringLiteral("speed"));
  return {};
}

std::vector<quint32> ResolveIPv4(const QString& host) {
  std::vector<quint32> addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (host.isEmpty() || ::getaddrinfo(host.toLocal8Bit().constData(), nullptr, &hints, &list) != 0) return {};
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    const quint32 address = ntohl(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
      addresses.push_back(address);
  }
  ::freeaddrinfo(list);
  return addresses;
}

int ConnectTcp(const QString& host, quint16 port, std::chrono::milliseconds timeout, IoResult& result) {
  const auto deadline = Clock::now() + timeout;
  const QString where = QStringLiteral("%1 port %2").arg(host).arg(port);
  const std::vector<quint32> addresses = ResolveIPv4(host);
  if (addresses.empty()) {
    result = {false, EHOSTUNREACH, QStringLiteral("%1: host not found").arg(host)};
    return -1;
  }
  int lastError = ETIMEDOUT;
  int fd = -1;
  for (std::size_t i = 0; i < addresses.size() && fd < 0; ++i) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) {
      lastError = errno;
      continue;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(addresses[i]);
    int error = 0;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        pollfd p{s, POLLOUT, 0};
        int r;
        do r = ::poll(&p, 1, RemainingMs(deadline));
        while (r < 0 && errno == EINTR);
        if (r == 0) {
          error = ETIMEDOUT;
        } else {
          socklen_t len = sizeof error;
          if (r < 0 || ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
        }
      }
    }
    if (error == 0) {
      fd = s;
    } else {
      lastError = error;
      ::close(s);
      if (RemainingMs(deadline) == 0) break;
    }
  }
  if (fd < 0) {
    result = Failure(lastError, QStringLiteral("Cannot connect to %1").arg(where));
    return -1;
  }
  // Commands and bootloader frames are small and wait for replies.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  result = {};
  return fd;
}

IoResult WriteAll(int fd, std::string_view data, bool isSocket, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!data.empty()) {
    // MSG_NOSIGNAL: a peer that went away is an error, not a signal that ends the program.
    const ssize_t n =
        isSocket ? ::send(fd, data.data(), data.size(), MSG_NOSIGNAL) : ::write(fd, data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return Failure(errno, QStringLiteral("write"));
    pollfd p{fd, POLLOUT, 0};
    const int r = ::poll(&p, 1, RemainingMs(deadline));
    if (r == 0) return Failure(ETIMEDOUT, QStringLiteral("write"));
    if (r < 0 && errno != EINTR) return Failure(errno, QStringLiteral("write"));
  }
  return {};
}

}  // namespace hlx
