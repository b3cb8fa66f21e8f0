#pragma once
// TComm: the one port object through which a main window talks to the
// multiplexer. Opens a serial, UDP or TCP channel, cuts the received bytes
// into lines (or bootloader frames) and hands each complete line to the
// user-interface thread through RxQueue and a posted WM_RXDATA event.

#include <QEvent>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "link/FrameParser.h"
#include "link/LineParser.h"

class QHostAddress;
class QSocketNotifier;
class QUdpSocket;

namespace hlx {

// Posted to the window after lines were queued, once per wake-up however many
// they are: its handler drains the whole queue (the first user message number).
inline constexpr QEvent::Type WM_RXDATA = static_cast<QEvent::Type>(QEvent::User + 24);
// Posted once when a receive thread ends on its own (peer closed the TCP
// connection, serial adapter unplugged or read error).
inline constexpr QEvent::Type WM_CHANNELLOST = static_cast<QEvent::Type>(QEvent::User + 25);

enum ChannelKindValue : std::uint8_t { ChClosed = 0, ChSerial = 1, ChUdp = 2, ChTcp = 3 };

inline constexpr std::array<int, 9> SpeedTable = {4800,   9600,   19200,  38400, 57600,
                                                  115200, 230400, 460800, 921600};
inline constexpr int kDefaultSpeedIndex = 5;  // 115200, for any index outside the table
inline constexpr quint16 kNmeaPort = 10110;
inline constexpr int kTcpConnectTimeoutMs = 5000;
inline constexpr int kFrameTimeoutMs = 2000;
inline constexpr std::size_t kMaxDatagram = 8192;

// ReceiveFrame results.
inline constexpr std::uint8_t kFrameNone = 0;     // channel cannot carry frames, or it was lost
inline constexpr std::uint8_t kFrameReady = 3;    // a frame arrived
inline constexpr std::uint8_t kFrameTimeout = 5;  // nothing within kFrameTimeoutMs

class ECommError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A socket failure (connect refused, time-out, UDP port in use); the message
// is what the window shows.
class ESocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Serial port names: the system's ports plus every path in HLX_EXTRA_PORTS
// (colon-separated), sorted by name and then by trailing number.
QStringList BuildPortList();
bool PortNameLess(const QString& a, const QString& b);

struct RxShared;  // queue, lock and parser state shared with the receive thread
class ReceiveThread;

class TComm {
 public:
  explicit TComm(QObject* window);
  ~TComm();
  TComm(const TComm&) = delete;
  TComm& operator=(const TComm&) = delete;

  // Returns the new ChannelKind, 0 when it failed. Serial failures return 0;
  // TCP connect and UDP bind failures throw ESocketError.
  std::uint8_t Open(int kind, const QString& address, int param);
  void Close();
  void SetSpeed(int index);
  void Send(std::string_view text);

  void EnterLoaderMode();
  void LeaveLoaderMode();
  void SendFrame(const LoaderFrameRecord& record);
  std::uint8_t ReceiveFrame(LoaderFrameRecord& record);

  const QStringList& PortList() const { return m_portList; }
  std::uint8_t ChannelKind() const { return m_channelKind; }

  // Pops every queued line and hands it to `dispatch`, holding RxLock
  // throughout. May be called again from inside `dispatch` on the same
  // thread; the inner call takes over the remaining lines.
  void DrainRxQueue(const std::function<void(std::string line)>& dispatch);
  // How many received lines wait for the next DrainRxQueue.
  std::size_t QueuedLines() const;

  // Why the last Send refused its text ("" when it was sent).
  const QString& LastSendError() const { return m_lastSendError; }
  // Why the last serial Open failed ("" after a success): the path and the
  // system's reason, and the errno value (EACCES: not in the dialout group).
  const QString& LastOpenError() const { return m_lastOpenError; }
  int LastOpenErrno() const { return m_lastOpenErrno; }
  // True while a serial or TCP receive thread is reading.
  bool ReceiveThreadRunning() const;

 private:
  std::uint8_t OpenSerial(const QString& address, int param);
  std::uint8_t OpenUdp(const QString& address, int param);
  std::uint8_t OpenTcp(const QString& address);
  void OnUdpReadyRead();
  void PostRxEvents();
  bool FromDevice(const QHostAddress& sender) const;
  bool WriteToChannel(std::string_view bytes);

  QObject* m_window;
  QStringList m_portList;
  std::uint8_t m_channelKind = ChClosed;
  bool m_senderFilter = false;
  QString m_deviceAddress;
  QString m_lastSendError;
  QString m_lastOpenError;
  int m_lastOpenErrno = 0;
  int m_fd = -1;  // serial descriptor or TCP socket
  std::shared_ptr<RxShared> m_shared;
  std::unique_ptr<QUdpSocket> m_udp;
  LineParser m_udpLines;  // UDP lines are cut on the UI thread
  std::unique_ptr<ReceiveThread> m_thread;
  std::unique_ptr<QSocketNotifier> m_rxNotifier;  // wakes the UI thread to post WM_RXDATA
};

}  // namespace hlx
