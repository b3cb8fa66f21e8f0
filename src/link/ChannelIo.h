#pragma once
// Operating-system level pieces of the channels: opening and setting up a
// serial device, a TCP connect with a time limit, and bounded writes. Each
// returns an errno-style failure reason instead of raising, so TComm decides
// how a failure is reported.

#include <QString>
#include <chrono>
#include <string_view>
#include <vector>

namespace hlx {

struct IoResult {
  bool ok = true;
  int error = 0;    // errno of the failure
  QString message;  // readable reason
};

// "ttyUSB0" means /dev/ttyUSB0; a path is taken as it is.
QString SerialDevicePath(const QString& name);

// Another process that has `path` open, as "name (process id)", from the
// /proc/*/fd links; empty when none is visible (other users' are not).
QString OtherSerialHolder(const QString& path);

// Opens a serial device raw, 8N1, without flow control, at `baud`.
// Returns the descriptor (non-blocking) or -1 with `result` telling why;
// a device another process holds open is refused (EBUSY) with that process named.
int OpenSerialDevice(const QString& path, int baud, IoResult& result);
// Ends exclusive mode and closes a descriptor from OpenSerialDevice.
void CloseSerialDevice(int fd);
IoResult SetSerialSpeed(int fd, int baud);

// The IPv4 addresses of `host`, a name or a dotted address, in the
// resolver's order (host byte order); empty when it has none.
std::vector<quint32> ResolveIPv4(const QString& host);

// Connects to host:port within `timeout`, trying each address of the host;
// returns a non-blocking socket or -1.
int ConnectTcp(const QString& host, quint16 port, std::chrono::milliseconds timeout, IoResult& result);

// Writes all of `data`, waiting at most `timeout` for a slow receiver.
IoResult WriteAll(int fd, std::string_view data, bool isSocket, std::chrono::milliseconds timeout);

}  // namespace hlx
