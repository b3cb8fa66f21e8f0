#include "link/Comms.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QSocketNotifier>
#include <QUdpSocket>
#include <cerrno>
#include <vector>

#include "link/ChannelIo.h"
#include "link/Nmeadefs.h"
#include "link/ReceiveThread.h"

namespace hlx {

namespace {

constexpr auto kWriteTimeout = std::chrono::milliseconds(1000);

int SpeedForIndex(int index) {
  if (index < 0 || index >= static_cast<int>(SpeedTable.size())) index = kDefaultSpeedIndex;
  return SpeedTable[static_cast<std::size_t>(index)];
}

}  // namespace

TComm::TComm(QObject* window)
    : m_window(window), m_portList(BuildPortList()), m_shared(std::make_shared<RxShared>()) {
  if (m_shared->WakeFd() >= 0) {
    m_rxNotifier = std::make_unique<QSocketNotifier>(m_shared->WakeFd(), QSocketNotifier::Read);
    QObject::connect(m_rxNotifier.get(), &QSocketNotifier::activated, m_rxNotifier.get(),
                     [this] { PostRxEvents(); });
  }
}

TComm::~TComm() {
  Close();
  m_rxNotifier.reset();
}

void TComm::PostRxEvents() {
  std::size_t lines = 0;
  bool lost = false;
  m_shared->TakeSignals(lines, lost);
  if (!m_window) return;
  // Every consumer drains the whole queue per event, so one event per wake-up
  // carries any number of lines.
  if (lines > 0) QCoreApplication::postEvent(m_window, new QEvent(WM_RXDATA));
  if (lost) QCoreApplication::postEvent(m_window, new QEvent(WM_CHANNELLOST));
}

void TComm::DrainRxQueue(const std::function<void(std::string line)>& dispatch) {
  // A handler may close the window and with it this TComm; the queue and the
  // lock stay alive until the loop below has let go of them.
  const std::shared_ptr<RxShared> shared = m_shared;
  std::lock_guard lock(shared->rxLock);
  auto& queue = shared->rxQueue;
  while (!queue.empty()) {
    // Out of the queue before the call: a handler's nested event loop may
    // drain the same queue again on this thread and must not see it twice.
    std::string line = std::move(queue.front());
    queue.pop_front();
    dispatch(std::move(line));
  }
}

std::size_t TComm::QueuedLines() const {
  std::lock_guard lock(m_shared->rxLock);
  return m_shared->rxQueue.size();
}

bool TComm::ReceiveThreadRunning() const { return m_thread && m_thread->Running(); }

std::uint8_t TComm::Open(int kind, const QString& address, int param) {
  // Callers close first; an open channel is closed here rather than leaked.
  Close();
  switch (kind) {
    case ChSerial: return OpenSerial(address, param);
    case ChUdp: return OpenUdp(address, param);
    case ChTcp: return OpenTcp(address);
    default: return ChClosed;
  }
}

std::uint8_t TComm::OpenSerial(const QString& address, int param) {
  m_lastOpenError.clear();
  m_lastOpenErrno = 0;
  if (address.isEmpty()) {
    m_lastOpenErrno = ENOENT;
    m_lastOpenError = QStringLiteral("No port selected");
    return ChClosed;
  }
  IoResult result;
  const int fd = OpenSerialDevice(SerialDevicePath(address), SpeedForIndex(param), result);
  if (fd < 0) {
    m_lastOpenErrno = result.error;
    m_lastOpenError = result.message;
    return ChClosed;
  }
  m_fd = fd;
  m_thread = std::make_unique<ReceiveThread>(m_fd, m_shared);
  m_channelKind = ChSerial;
  return m_channelKind;
}

std::uint8_t TComm::OpenUdp(const QString& address, int param) {
  if (!m_udp) {
    m_udp = std::make_unique<QUdpSocket>();
    m_udp->setProxy(QNetworkProxy::NoProxy);  // the device is on the local network
    QObject::connect(m_udp.get(), &QUdpSocket::readyRead, m_udp.get(), [this] { OnUdpReadyRead(); });
  }
  // Shared so that other NMEA programs and a simulator on another loopback
  // address can listen on the same port.
  if (!m_udp->bind(QHostAddress::AnyIPv4, kNmeaPort,
                   QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
    const QString why = m_udp->errorString();
    m_udp->close();
    throw ESocketError(QStringLiteral("Cannot open UDP port %1: %2").arg(kNmeaPort).arg(why).toStdString());
  }
  m_udpLines.Reset();
  m_deviceAddress = address;
  m_senderFilter = param == 1;
  m_channelKind = ChUdp;
  return m_channelKind;
}

std::uint8_t TComm::OpenTcp(const QString& address) {
  IoResult result;
  const int fd = ConnectTcp(address, kNmeaPort, std::chrono::milliseconds(kTcpConnectTimeoutMs), result);
  if (fd < 0) throw ESocketError(result.message.toStdString());
  m_fd = fd;
  m_deviceAddress = address;
  m_thread = std::make_unique<ReceiveThread>(m_fd, m_shared);
  m_channelKind = ChTcp;
  return m_channelKind;
}

void TComm::Close() {
  // The thread waits in poll() together with its wake-up descriptor, so
  // stopping it is immediate even when no byte ever arrives.
  m_thread.reset();
  if (m_fd >= 0) {
    if (m_channelKind == ChTcp) {
      ::shutdown(m_fd, SHUT_RDWR);
      ::close(m_fd);
    } else {
      CloseSerialDevice(m_fd);
    }
    m_fd = -1;
  }
  if (m_udp) m_udp->close();
  m_udpLines.Reset();
  m_channelKind = ChClosed;
  // What the old channel left belongs to it: queued lines and a loss not yet
  // handled would otherwise reach the window as if they came from the next
  // channel (a reply from the previous device, "connection closed" for the
  // new one). A handler closing the channel from inside a drain is fine: the
  // lock is recursive and the drain loop finds the queue empty.
  {
    std::lock_guard lock(m_shared->rxLock);
    m_shared->rxQueue.clear();
  }
  std::size_t lines = 0;
  bool lost = false;
  m_shared->TakeSignals(lines, lost);
  if (m_window) {
    QCoreApplication::removePostedEvents(m_window, WM_RXDATA);
    QCoreApplication::removePostedEvents(m_window, WM_CHANNELLOST);
  }
}

void TComm::SetSpeed(int index) {
  if (m_channelKind != ChSerial || index < 0 || index >= static_cast<int>(SpeedTable.size())) return;
  SetSerialSpeed(m_fd, SpeedTable[static_cast<std::size_t>(index)]);
}

void TComm::Send(std::string_view text) {
  m_lastSendError.clear();
  const std::string sentence = CompleteSentence(text);
  if (sentence.empty()) return;
  if (m_channelKind == ChClosed) {
    m_lastSendError = QStringLiteral("Not sent: no channel is open");
    return;
  }
  // The device's receive buffer holds 100 characters; a cut sentence would
  // arrive as a different command, so a longer one is not sent at all.
  if (sentence.size() > kMaxSendLength) {
    m_lastSendError = QStringLiteral("Not sent: the sentence has %1 characters, at most %2 are allowed")
                          .arg(sentence.size())
                          .arg(kMaxSendLength);
    return;
  }
  WriteToChannel(sentence);
}

bool TComm::WriteToChannel(std::string_view bytes) {
  if (m_channelKind == ChUdp) {
    const QHostAddress to(m_deviceAddress);
    if (to.isNull()) {
      m_lastSendError = QStringLiteral("Not sent: \"%1\" is not an IP address").arg(m_deviceAddress);
      return false;
    }
    if (m_udp->writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), to, kNmeaPort) < 0) {
      m_lastSendError = QStringLiteral("Not sent: %1").arg(m_udp->errorString());
      return false;
    }
    return true;
  }
  if (m_fd < 0) return false;
  // Whatever comes back now is likely the answer someone waits for.
  if (m_thread) m_thread->AnswerAwaited();
  const IoResult result = WriteAll(m_fd, bytes, m_channelKind == ChTcp, kWriteTimeout);
  if (!result.ok) m_lastSendError = QStringLiteral("Not sent: %1").arg(result.message);
  return result.ok;
}

void TComm::EnterLoaderMode() {
  if (m_thread) m_thread->SetLoaderMode(true);
}

void TComm::LeaveLoaderMode() {
  if (m_thread) m_thread->SetLoaderMode(false);
}

void TComm::SendFrame(const LoaderFrameRecord& record) {
  if (m_channelKind != ChSerial && m_channelKind != ChTcp) return;
  m_lastSendError.clear();
  WriteToChannel(EncodeFrame(record));
}

std::uint8_t TComm::ReceiveFrame(LoaderFrameRecord& record) {
  if ((m_channelKind != ChSerial && m_channelKind != ChTcp) || !m_thread) return kFrameNone;
  return m_thread->WaitFrame(record, std::chrono::milliseconds(kFrameTimeoutMs));
}

bool TComm::FromDevice(const QHostAddress& sender) const {
  // Compared as addresses, so "127.0.0.2" also matches an IPv4-mapped sender.
  const QHostAddress device(m_deviceAddress);
  if (device.isNull()) return sender.toString() == m_deviceAddress;
  return device.isEqual(sender, QHostAddress::ConvertV4MappedToIPv4);
}

void TComm::OnUdpReadyRead() {
  std::vector<std::string> lines;
  while (m_udp->hasPendingDatagrams()) {
    // Bytes beyond kMaxDatagram are discarded with the rest of the datagram.
    const QNetworkDatagram datagram = m_udp->receiveDatagram(static_cast<qint64>(kMaxDatagram));
    if (m_channelKind != ChUdp) continue;
    if (m_senderFilter && !FromDevice(datagram.senderAddress())) continue;
    const QByteArray data = datagram.data();
    m_udpLines.Feed(data.constData(), static_cast<std::size_t>(data.size()),
                    [&](std::string_view line) { lines.emplace_back(line); });
  }
  m_shared->Deliver(lines, true);
}

}  // namespace hlx
