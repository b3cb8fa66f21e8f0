// The network dialogs' field rules on arbitrary texts: what they accept
// re-parses to the same value, a packet is built only from accepted fields,
// and a validated settings form reads back as the same addresses.
// Input: up to four lines (address, netmask or MAC, gateway, destination),
// then the protocol choice in the first byte's low bits.

#include <QStringList>

#include "FuzzCheck.h"
#include "network/NetFields.h"

using namespace hlx;

namespace {

void CheckDotted(const QString& text) {
  const std::optional<quint32> value = ParseDotted(text);
  if (!value) return;
  const QString canonical = FormatDotted(*value);
  FUZZ_CHECK(ParseDotted(canonical) == value);
  FUZZ_CHECK(FormatDotted(*ParseDotted(canonical)) == canonical);
  FUZZ_CHECK(canonical.size() <= 15);
}

void CheckMask(quint32 mask) {
  const std::optional<int> prefix = PrefixLength(mask);
  if (!prefix) return;  // the host-part rule only ever sees masks that passed
  FUZZ_CHECK(*prefix >= 0 && *prefix <= 32 && MaskFromHostBits(32 - *prefix) == mask);
  for (quint32 address : {mask, ~mask, mask ^ 0x01020304u, ~mask ^ 1u}) {
    if (!HostAddressAllowed(address, mask) || address == 0) continue;
    const quint32 host = address & ~mask;
    FUZZ_CHECK(host != 0 && host != ~mask);
  }
}

void CheckAssign(const QString& mac, const QString& address) {
  const AssignCheck check = BuildAssignPacket(mac, address);
  const auto tail = MacTail(mac);
  FUZZ_CHECK(!tail || MacShapeOk(mac));
  if (check.failed != AssignField::None) {
    FUZZ_CHECK(check.packet.isEmpty());
    const auto value = ParseDotted(address);
    FUZZ_CHECK(check.failed == AssignField::Mac ? !tail : (!value || !AssignableAddress(*value)));
    return;
  }
  FUZZ_CHECK(tail && check.packet.size() == qsizetype(kIPSetupSize));
  const quint32 value = *ParseDotted(address);
  FUZZ_CHECK(AssignableAddress(value));
  FUZZ_CHECK(check.packet == IPSetupPacket(tail->first, tail->second, value));
  // The octets are the MAC's own digits.
  FUZZ_CHECK(
      QString::asprintf("%02X-%02X", tail->first, tail->second).compare(mac.mid(12), Qt::CaseInsensitive) ==
      0);
}

void CheckForm(const QStringList& lines, std::uint8_t choice) {
  NetForm form{lines.value(0), lines.value(1),    lines.value(2),
               lines.value(3), (choice & 1) != 0, (choice & 2) ? kUdpModeDirected : kUdpModeBroadcast};
  SetupBlock block = DefaultBlock();
  const SetupBlock before = block;
  const NetField failed = ValidateForm(form, block);
  if (failed != NetField::None) {
    FUZZ_CHECK(block == before);
    return;
  }
  const NetForm shown = FillForm(block);
  FUZZ_CHECK(ParseDotted(shown.ip) == ParseDotted(form.ip));
  FUZZ_CHECK(ParseDotted(shown.mask) == ParseDotted(form.mask));
  FUZZ_CHECK(ParseDotted(shown.gateway) == ParseDotted(form.gateway));
  FUZZ_CHECK(shown.udp == form.udp);
  const bool directed =
      form.udp && form.udpMode == kUdpModeDirected && ParseDotted(form.destination) != 0xFFFFFFFFu;
  FUZZ_CHECK((shown.udpMode == kUdpModeDirected) == directed);
  if (directed) FUZZ_CHECK(ParseDotted(shown.destination) == ParseDotted(form.destination));
  FUZZ_CHECK(HostAddressAllowed(*ParseDotted(form.ip), *ParseDotted(form.mask)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (const QString& line : lines) CheckDotted(line);
  quint32 mask = 0;
  for (std::size_t i = 0; i < 4; ++i) mask = mask << 8 | (i + 1 < size ? data[i + 1] : 0);
  CheckMask(mask);
  CheckAssign(lines.value(1), lines.value(0));
  CheckForm(lines, data[0]);
  return 0;
}
