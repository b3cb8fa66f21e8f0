#pragma once
// The network module's configuration protocol on port 30718 as bytes: the
// packets the program sends, the replies it accepts, the settings block and
// the text of a discovery entry. Pure: nothing here opens a socket.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace hlx {

inline constexpr quint16 kXportPort = 30718;

// Every packet starts with a 4-byte header; byte 3 is the code.
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kCodeOffset = 3;

inline constexpr std::uint8_t kCodeDiscoveryQuery = 0xF6;
inline constexpr std::uint8_t kCodeDiscoveryReply = 0xF7;
inline constexpr std::uint8_t kCodeReadSetup = 0xF8;
inline constexpr std::uint8_t kCodeSetupBlock = 0xF9;
inline constexpr std::uint8_t kCodeWriteSetup = 0xFA;            // address unchanged
inline constexpr std::uint8_t kCodeWriteSetupNewAddress = 0xFD;  // address changed, and the reset's block
inline constexpr std::uint8_t kCodeSetupAccepted = 0xFB;
inline constexpr std::uint8_t kCodeResetFirst = 0xC7;
inline constexpr std::uint8_t kCodeResetFirstAccepted = 0xB7;
inline constexpr std::uint8_t kCodeIPSetup = 0xFC;

inline constexpr std::size_t kQuerySize = 4;  // discovery and read queries, and every acknowledgement
inline constexpr std::size_t kDiscoveryReplySize = 30;
inline constexpr std::size_t kDiscoveryMacOffset = 24;
inline constexpr std::size_t kSetupBlockSize = 124;
inline constexpr std::size_t kResetFirstSize = 130;
inline constexpr std::size_t kIPSetupSize = 20;

// Settings block offsets, counted from the start of the packet.
inline constexpr std::size_t kOffAddress = 4;  // 4 octets, dotted order; 0.0.0.0: none set
inline constexpr std::size_t kOffHostBits = 10;
inline constexpr std::size_t kOffGateway = 16;
inline constexpr std::size_t kOffPort1 = 24;        // 16-bit little-endian
inline constexpr std::size_t kOffPort2 = 26;        // 16-bit little-endian
inline constexpr std::size_t kOffDestination = 28;  // UDP destination; all 0xFF: broadcast
inline constexpr std::size_t kOffMode = 32;
inline constexpr std::size_t kOffUdpFlag = 33;
inline constexpr std::size_t kOffUdpChar = 39;

inline constexpr std::uint8_t kModeTcp = 0xC0;
inline constexpr std::uint8_t kModeUdp = 0xCC;
inline constexpr std::uint8_t kModeUdpBits = 0x0C;  // both set: UDP operation
inline constexpr std::uint8_t kUdpFlagTcp = 0x00;
inline constexpr std::uint8_t kUdpFlagUdp = 0x01;
inline constexpr std::uint8_t kUdpCharTcp = 0x00;
inline constexpr std::uint8_t kUdpCharUdp = '0';
inline constexpr quint16 kDefaultDataPort = 10110;

// IPSetupPacket offsets.
inline constexpr std::size_t kOffIPSetupTag = 4;   // "IP-SETUP"
inline constexpr std::size_t kOffIPSetupMac = 14;  // the MAC's fifth and sixth octet
inline constexpr std::size_t kOffIPSetupAddress = 16;
inline constexpr char kIPSetupTag[] = "IP-SETUP";

// Time limits of the operations.
inline constexpr int kDiscoveryWaitMs = 1000;  // per datagram
inline constexpr int kXportConnectMs = 5000;
inline constexpr int kXportReadMs = 500;   // per reply
inline constexpr int kResetPauseMs = 500;  // between the reset's two steps
inline constexpr int kVerifyConnectMs = 500;
// A search ends after this many datagrams even when replies keep coming, so
// that a chattering network cannot hold the window for ever.
inline constexpr int kMaxDiscoveryDatagrams = 256;

using SetupBlock = std::array<std::uint8_t, kSetupBlockSize>;
using MacAddress = std::array<std::uint8_t, 6>;

QByteArray DiscoveryQuery();
QByteArray ReadSetupQuery();
// The block to send: its header zeroed and the code of the write set.
QByteArray WriteSetupPacket(const SetupBlock& block, bool addressChanged);
// What a factory reset writes in its second step (code 0xFD).
SetupBlock DefaultBlock();
QByteArray ResetFirstPacket();
// Only the MAC's last two octets travel; every module compares them with its own.
QByteArray IPSetupPacket(std::uint8_t macFifth, std::uint8_t macSixth, quint32 address);

// What a search does with one datagram.
enum class DiscoveryVerdict { Add, Skip, End };
// A datagram of 30 bytes is added when it carries the reply code and skipped
// otherwise; one of any other size ends the search.
DiscoveryVerdict ClassifyDiscoveryReply(QByteArrayView datagram);
std::optional<MacAddress> DiscoveryReplyMac(QByteArrayView datagram);
// "192.168.1.20  (02-00-00-0B-1C-2D)"
QString DiscoveryEntry(const QString& source, const MacAddress& mac);
// The parts of an entry as the dialogs read them back.
QString EntryAddress(const QString& entry);
QString EntryMac(const QString& entry);

// A settings block only from exactly 124 bytes with the block's code.
std::optional<SetupBlock> ParseSetupReply(QByteArrayView reply);
// True for exactly 4 bytes whose code is `code`.
bool IsAcknowledgement(QByteArrayView reply, std::uint8_t code);

bool BlockIsUdp(const SetupBlock& block);
quint32 BlockAddress(const SetupBlock& block, std::size_t offset);
void SetBlockAddress(SetupBlock& block, std::size_t offset, quint32 address);

}  // namespace hlx
