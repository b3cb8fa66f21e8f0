#include "firmware/Bootloader.h"

#include <algorithm>

#include "link/Comms.h"

namespace hlx {

namespace {

struct Step {
  const char* timeout;
  const char* invalid;
};
constexpr Step kErase = {"Bootloader: Erase command timeout",
                         "Erase command: Invalid response from bootloader"};
constexpr Step kDecryption = {"Bootloader: Encryption command timeout",
                              "Enable Encryption: Invalid response from bootloader"};
constexpr Step kBlock = {"Bootloader: Programming timeout", "Programming: Invalid response from bootloader"};
constexpr Step kCrc = {"Bootloader: CRC command timeout", "CRC: Invalid response from bootloader"};
const char* const kLinkClosed = "The connection to the multiplexer was closed.";
const char* const kCancelled = "The firmware update was cancelled";

class LoaderModeScope {
 public:
  explicit LoaderModeScope(TComm& port) : m_port(port) { port.EnterLoaderMode(); }
  ~LoaderModeScope() { m_port.LeaveLoaderMode(); }
  LoaderModeScope(const LoaderModeScope&) = delete;
  LoaderModeScope& operator=(const LoaderModeScope&) = delete;

 private:
  TComm& m_port;
};

void Send(TComm& port, const LoaderFrameRecord& frame) {
  port.SendFrame(frame);
  // A write that failed is the link's own fault, not the bootloader's.
  if (!port.LastSendError().isEmpty()) throw ECommError(port.LastSendError().toStdString());
}

LoaderFrameRecord Exchange(TComm& port, const LoaderFrameRecord& command, const Step& step,
                           bool (*valid)(const LoaderFrameRecord&)) {
  Send(port, command);
  LoaderFrameRecord reply;
  switch (port.ReceiveFrame(reply)) {
    case kFrameReady: break;
    case kFrameTimeout: throw ECommError(step.timeout);
    default: throw ECommError(kLinkClosed);
  }
  if (!valid(reply)) throw ECommError(step.invalid);
  return reply;
}

void Tick(const ProgramObserver& observer) {
  if (observer.processEvents) observer.processEvents();
  if (observer.cancelled && observer.cancelled()) throw ECommError(kCancelled);
}

}  // namespace

std::uint32_t BlockCount(std::uint32_t payloadLength) {
  return payloadLength / kFwBlockSize + (payloadLength % kFwBlockSize ? 1 : 0);
}

LoaderFrameRecord CommandFrame(std::span<const std::uint8_t> payload) {
  LoaderFrameRecord frame;
  const std::size_t n = std::min(payload.size(), frame.data.size());
  std::copy_n(payload.begin(), n, frame.data.begin());
  frame.length = static_cast<std::uint16_t>(n);
  return frame;
}

LoaderFrameRecord BlockFrame(const FirmwareImage& image, std::uint32_t index) {
  LoaderFrameRecord frame;
  frame.data[0] = kCmdProgramBlock;
  frame.data[1] = static_cast<std::uint8_t>(index & 0xFF);
  frame.data[2] = static_cast<std::uint8_t>((index >> 8) & 0xFF);
  const std::size_t offset = std::size_t(index) * kFwBlockSize;
  const std::size_t available =
      offset < image.area.size() ? std::min(kFwBlockSize, image.area.size() - offset) : 0;
  std::copy_n(image.area.begin() + std::ptrdiff_t(std::min(offset, image.area.size())), available,
              frame.data.begin() + 3);
  std::fill_n(frame.data.begin() + 3 + std::ptrdiff_t(available), kFwBlockSize - available, kFwFillByte);
  frame.length = static_cast<std::uint16_t>(3 + kFwBlockSize);
  return frame;
}

bool IsAck(const LoaderFrameRecord& reply) { return reply.length == 1 && reply.data[0] == kReplyAck; }

bool IsCrcReply(const LoaderFrameRecord& reply) {
  return reply.length == kCrcReplyLength && (reply.data[0] == kReplyCrc || reply.data[0] == kReplyCrcAlt);
}

QString CheckCrcReply(const FirmwareImage& image, const LoaderFrameRecord& reply) {
  const std::uint32_t fileCrc = image.ImageCrc();
  bool same = true;
  for (int i = 0; i < 4; ++i) same = same && reply.data[1 + i] == ((fileCrc >> (8 * i)) & 0xFF);
  if (same) return {};
  const auto hex2 = [&](int i) {
    return QStringLiteral("%1").arg(reply.data[i], 2, 16, QLatin1Char('0')).toUpper();
  };
  return QStringLiteral("Bootloader: CRC error\rFile CRC: %1\rMult.CRC: %2%3%4%5")
      .arg(QStringLiteral("%1").arg(fileCrc, 8, 16, QLatin1Char('0')).toUpper(), hex2(4), hex2(3), hex2(2),
           hex2(1));
}

void ProgramFirmware(TComm& port, const ProgramObserver& observer) {
  const FirmwareImage& image = TheFirmwareImage();
  LoaderModeScope loaderMode(port);
  Send(port, CommandFrame(kCmdHello));

  const std::uint32_t blocks = BlockCount(image.payloadLength);
  if (observer.setMaximum) observer.setMaximum(int(blocks) - 1);
  Tick(observer);

  const std::uint8_t erase[] = {kCmdErase};
  Exchange(port, CommandFrame(erase), kErase, IsAck);
  const std::uint8_t decryption[] = {kCmdDecryption, kDecryptionOn};
  Exchange(port, CommandFrame(decryption), kDecryption, IsAck);
  for (std::uint32_t i = 0; i < blocks; ++i) {
    Exchange(port, BlockFrame(image, i), kBlock, IsAck);
    if (observer.setPosition) observer.setPosition(int(i));
    Tick(observer);
  }
  const std::uint8_t readCrc[] = {kCmdReadCrc};
  const LoaderFrameRecord reply = Exchange(port, CommandFrame(readCrc), kCrc, IsCrcReply);
  if (const QString error = CheckCrcReply(image, reply); !error.isEmpty())
    throw ECommError(error.toStdString());
}

}  // namespace hlx
