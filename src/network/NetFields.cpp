#include "network/NetFields.h"

#include <bit>

namespace hlx {

namespace {

constexpr qsizetype kMacTextLength = 17;
constexpr qsizetype kMacDashes[] = {2, 5, 8, 11, 14};  // zero-based
constexpr qsizetype kMacFifth = 12;
constexpr qsizetype kMacSixth = 15;

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

std::optional<std::uint8_t> HexOctet(QStringView text) {
  const int high = HexDigit(text[0]), low = HexDigit(text[1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<std::uint8_t>(high * 16 + low);
}

}  // namespace

std::optional<quint32> ParseDotted(QStringView text) {
  text = text.trimmed();
  quint32 address = 0;
  int octets = 0;
  qsizetype i = 0;
  for (;;) {
    int value = 0, digits = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
      if (++digits > 3) return std::nullopt;  // before the value can overflow
      value = value * 10 + (text[i].unicode() - '0');
    }
    if (digits == 0 || value > 255) return std::nullopt;
    address = address << 8 | static_cast<quint32>(value);
    if (++octets == 4) break;
    if (i >= text.size() || text[i] != QLatin1Char('.')) return std::nullopt;
    ++i;
  }
  if (i != text.size()) return std::nullopt;
  return address;
}

QString FormatDotted(quint32 address) {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(address >> 24)
      .arg((address >> 16) & 0xFF)
      .arg((address >> 8) & 0xFF)
      .arg(address & 0xFF);
}

bool MacShapeOk(QStringView mac) {
  if (mac.size() != kMacTextLength) return false;
  for (qsizetype dash : kMacDashes)
    if (mac[dash] != QLatin1Char('-')) return false;
  return true;
}

std::optional<std::pair<std::uint8_t, std::uint8_t>> MacTail(QStringView mac) {
  if (!MacShapeOk(mac)) return std::nullopt;
  const auto fifth = HexOctet(mac.mid(kMacFifth, 2)), sixth = HexOctet(mac.mid(kMacSixth, 2));
  if (!fifth || !sixth) return std::nullopt;
  return std::pair{*fifth, *sixth};
}

bool AssignableAddress(quint32 address) {
  const quint32 first = address >> 24, last = address & 0xFF;
  return address == 0 || (first >= 1 && first <= 254 && last >= 1 && last <= 254);
}

AssignCheck BuildAssignPacket(const QString& macText, const QString& addressText) {
  if (!MacShapeOk(macText)) return {AssignField::Mac, {}};
  const std::optional<quint32> address = ParseDotted(addressText);
  if (!address || !AssignableAddress(*address)) return {AssignField::Address, {}};
  const auto tail = MacTail(macText);
  if (!tail) return {AssignField::Mac, {}};
  return {AssignField::None, IPSetupPacket(tail->first, tail->second, *address)};
}

std::optional<int> PrefixLength(quint32 mask) {
  const int ones = std::countl_one(mask);
  // Everything after the leading ones must be zero.
  if (ones < 32 && (mask << ones) != 0) return std::nullopt;
  return ones;
}

quint32 MaskFromHostBits(int hostBits) {
  if (hostBits >= 32) return 0;
  if (hostBits <= 0) return 0xFFFFFFFFu;
  return 0xFFFFFFFFu << hostBits;
}

bool HostAddressAllowed(quint32 address, quint32 mask) {
  if (address == 0) return true;
  const quint32 hostMask = ~mask;
  const quint32 host = address & hostMask;
  return host != 0 && ((host + 1) & hostMask) != 0;
}

NetForm FillForm(const SetupBlock& block) {
  NetForm form;
  form.ip = FormatDotted(BlockAddress(block, kOffAddress));
  form.mask = FormatDotted(MaskFromHostBits(block[kOffHostBits]));
  form.gateway = FormatDotted(BlockAddress(block, kOffGateway));
  form.udp = BlockIsUdp(block);
  form.destination = FormatDotted(0);
  if (form.udp) {
    const quint32 destination = BlockAddress(block, kOffDestination);
    form.udpMode = destination == 0xFFFFFFFFu ? kUdpModeBroadcast : kUdpModeDirected;
    if (form.udpMode == kUdpModeDirected) form.destination = FormatDotted(destination);
  }
  return form;
}

NetField ValidateForm(const NetForm& form, SetupBlock& block) {
  SetupBlock out = block;
  const std::optional<quint32> address = ParseDotted(form.ip);
  if (!address) return NetField::Address;
  SetBlockAddress(out, kOffAddress, *address);

  const std::optional<quint32> mask = ParseDotted(form.mask);
  const std::optional<int> prefix = mask ? PrefixLength(*mask) : std::nullopt;
  if (!prefix) return NetField::Mask;
  out[kOffHostBits] = static_cast<std::uint8_t>(32 - *prefix);

  const std::optional<quint32> gateway = ParseDotted(form.gateway);
  if (!gateway) return NetField::Gateway;
  SetBlockAddress(out, kOffGateway, *gateway);

  if (form.udp) {
    quint32 destination = 0xFFFFFFFFu;
    if (form.udpMode == kUdpModeDirected) {
      const std::optional<quint32> directed = ParseDotted(form.destination);
      if (!directed) return NetField::Destination;
      destination = *directed;
    }
    SetBlockAddress(out, kOffDestination, destination);
    out[kOffMode] = kModeUdp;
    out[kOffUdpFlag] = kUdpFlagUdp;
    out[kOffUdpChar] = kUdpCharUdp;
  } else {
    SetBlockAddress(out, kOffDestination, 0);
    out[kOffMode] = kModeTcp;
    out[kOffUdpFlag] = kUdpFlagTcp;
    out[kOffUdpChar] = kUdpCharTcp;
  }

  if (!HostAddressAllowed(*address, *mask)) return NetField::Address;
  block = out;
  return NetField::None;
}

QString AddressToVerify(const QString& ipText, bool ipChanged, const QString& targetIp) {
  if (!ipChanged) return targetIp;
  const std::optional<quint32> address = ParseDotted(ipText);
  return address && *address != 0 ? FormatDotted(*address) : targetIp;
}

}  // namespace hlx
