#pragma once
// Pure rules of the connection panel: the VER reply's fields, the capability
// word and the port choice.

#include <QString>

#include <cstdint>
#include <string_view>

namespace hlx {

inline constexpr int kPortUdpAll = 0;
inline constexpr int kPortUdp = 1;
inline constexpr int kPortTcp = 2;
inline constexpr int kFirstSerialPort = 3;
inline constexpr int kBaudAutomatic = 6;
inline constexpr int kReplyTimeoutMs = 2000;
inline constexpr int kOverflowLedMs = 500;
inline constexpr int kVerFieldMax = 101;
inline constexpr int kBaudChangePauseMs = 100;  // between the speed command and switching the port

// The capability word, VER field 4, in every generation.
inline constexpr int kCapsLength = 4;
inline constexpr std::uint16_t kCapsFamilyMask = 0xE000;
inline constexpr std::uint16_t kCapsFamily = 0x8000;
inline constexpr std::uint16_t kCapsServed = 0x8000;  // the older windows look at bit 15 alone
inline constexpr std::uint16_t kCapsUpdatable = 0x0040;
inline constexpr std::uint16_t kCapsHostKindMask = 0x0003;
inline constexpr std::uint16_t kCapsOutputW = 0x0007;  // any of these bits: the output "W" exists
inline constexpr int kHostSerial = 0;
inline constexpr int kHostUsb = 1;
inline constexpr int kHostEthernet = 2;
inline constexpr int kHostWireless = 3;

// Messages of the connection, shared by every front end.
inline constexpr const char* kNoResponseText = "Multiplexer does not respond";
inline constexpr const char* kOpenFailedText = "Unable to open communication channel";
inline constexpr const char* kNotSupportedText =
    "This version of HLXConfig does not support\rthe connected multiplexer.";
inline constexpr const char* kChannelLostText = "The connection to the multiplexer was closed.";
inline constexpr const char* kCapsWarningCaption = "HLXConfig";

struct VerReply {
  QString version;       // field 1
  QString name;          // field 2
  QString serial;        // field 3
  QString caps;          // field 4, empty when absent
  bool hasCaps = false;  // field 4 has exactly kCapsLength characters
};
VerReply ParseVerReply(std::string_view line);

struct Capabilities {
  bool valid = false;      // exactly four hexadecimal digits
  bool supported = false;  // the family bits say the current window can drive it
  bool served = false;     // bit 15: an older generation's window serves it
  bool updatable = false;  // supported, and firmware update entries are offered
  int hostKind = -1;       // bits 0 and 1 of a valid word
  std::uint16_t word = 0;
};
// A word that is not four hexadecimal digits counts as an unsupported device.
Capabilities ParseCapabilities(const QString& text);

// Message for a serial port the program may not open, with the remedy;
// empty when the reason is neither a permission problem nor a port in use
// (EBUSY). `holder` names the program that has the port open, if known.
QString SerialPermissionAdvice(const QString& path, int error, const QString& group, const QString& user,
                               const QString& holder = QString());
// Same for a port of the port list (`error` is the errno of the failed open),
// naming the group that owns the device file or the program that uses it.
QString SerialOpenAdvice(const QString& portName, int error);

}  // namespace hlx
