#include "network/XportPackets.h"

#include <cstring>

namespace hlx {

namespace {

QByteArray Header(std::size_t size, std::uint8_t code) {
  QByteArray packet(static_cast<qsizetype>(size), '\0');
  packet[kCodeOffset] = static_cast<char>(code);
  return packet;
}

std::uint8_t Byte(QByteArrayView data, std::size_t offset) {
  return static_cast<std::uint8_t>(data[static_cast<qsizetype>(offset)]);
}

void SetPort(SetupBlock& block, std::size_t offset, quint16 port) {
  block[offset] = static_cast<std::uint8_t>(port & 0xFF);
  block[offset + 1] = static_cast<std::uint8_t>(port >> 8);
}

}  // namespace

QByteArray DiscoveryQuery() { return Header(kQuerySize, kCodeDiscoveryQuery); }

QByteArray ReadSetupQuery() { return Header(kQuerySize, kCodeReadSetup); }

QByteArray WriteSetupPacket(const SetupBlock& block, bool addressChanged) {
  QByteArray packet(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size()));
  packet[0] = packet[1] = packet[2] = '\0';
  packet[kCodeOffset] = static_cast<char>(addressChanged ? kCodeWriteSetupNewAddress : kCodeWriteSetup);
  return packet;
}

SetupBlock DefaultBlock() {
  SetupBlock b{};
  b[kCodeOffset] = kCodeWriteSetupNewAddress;
  // Bytes 11, 20-22 and 36-38 mean something to the module only; they are written as it expects them.
  b[11] = 0x2D;
  b[20] = 0x4C;
  b[21] = 0x0A;
  b[22] = 0x02;
  SetPort(b, kOffPort1, kDefaultDataPort);
  SetPort(b, kOffPort2, kDefaultDataPort);
  SetBlockAddress(b, kOffDestination, 0xFFFFFFFFu);
  b[kOffMode] = kModeUdp;
  b[kOffUdpFlag] = kUdpFlagUdp;
  b[36] = 0x0D;
  b[37] = 0x0A;
  b[38] = 0xF7;
  b[kOffUdpChar] = kUdpCharUdp;
  return b;
}

QByteArray ResetFirstPacket() {
  QByteArray packet = Header(kResetFirstSize, kCodeResetFirst);
  packet[1] = 0x01;
  packet[5] = 0x06;
  packet[6] = 0x01;
  return packet;
}

QByteArray IPSetupPacket(std::uint8_t macFifth, std::uint8_t macSixth, quint32 address) {
  QByteArray packet = Header(kIPSetupSize, kCodeIPSetup);
  std::memcpy(packet.data() + kOffIPSetupTag, kIPSetupTag, sizeof kIPSetupTag - 1);
  packet[kOffIPSetupMac] = static_cast<char>(macFifth);
  packet[kOffIPSetupMac + 1] = static_cast<char>(macSixth);
  for (int i = 0; i < 4; ++i)
    packet[static_cast<qsizetype>(kOffIPSetupAddress) + i] = static_cast<char>(address >> (24 - 8 * i));
  return packet;
}

DiscoveryVerdict ClassifyDiscoveryReply(QByteArrayView datagram) {
  if (static_cast<std::size_t>(datagram.size()) != kDiscoveryReplySize) return DiscoveryVerdict::End;
  return Byte(datagram, kCodeOffset) == kCodeDiscoveryReply ? DiscoveryVerdict::Add : DiscoveryVerdict::Skip;
}

std::optional<MacAddress> DiscoveryReplyMac(QByteArrayView datagram) {
  if (ClassifyDiscoveryReply(datagram) != DiscoveryVerdict::Add) return std::nullopt;
  MacAddress mac{};
  for (std::size_t i = 0; i < mac.size(); ++i) mac[i] = Byte(datagram, kDiscoveryMacOffset + i);
  return mac;
}

QString DiscoveryEntry(const QString& source, const MacAddress& mac) {
  return QString::asprintf("%s  (%2.2X-%2.2X-%2.2X-%2.2X-%2.2X-%2.2X)", qPrintable(source), mac[0], mac[1],
                           mac[2], mac[3], mac[4], mac[5]);
}

QString EntryAddress(const QString& entry) {
  const qsizetype space = entry.indexOf(QLatin1Char(' '));
  return space < 0 ? entry : entry.left(space);
}

QString EntryMac(const QString& entry) {
  const qsizetype open = entry.indexOf(QLatin1Char('('));
  return open < 0 ? QString() : entry.mid(open + 1, 17);
}

std::optional<SetupBlock> ParseSetupReply(QByteArrayView reply) {
  if (static_cast<std::size_t>(reply.size()) != kSetupBlockSize ||
      Byte(reply, kCodeOffset) != kCodeSetupBlock)
    return std::nullopt;
  SetupBlock block;
  std::memcpy(block.data(), reply.data(), block.size());
  return block;
}

bool IsAcknowledgement(QByteArrayView reply, std::uint8_t code) {
  return static_cast<std::size_t>(reply.size()) == kQuerySize && Byte(reply, kCodeOffset) == code;
}

bool BlockIsUdp(const SetupBlock& block) { return (block[kOffMode] & kModeUdpBits) == kModeUdpBits; }

quint32 BlockAddress(const SetupBlock& block, std::size_t offset) {
  return quint32(block[offset]) << 24 | quint32(block[offset + 1]) << 16 | quint32(block[offset + 2]) << 8 |
         block[offset + 3];
}

void SetBlockAddress(SetupBlock& block, std::size_t offset, quint32 address) {
  for (std::size_t i = 0; i < 4; ++i) block[offset + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
}

}  // namespace hlx
