// Network module replies from arbitrary bytes: a discovery datagram gives an
// entry only when it is a whole reply, and the entry reads back to its
// address and MAC; a settings block is taken only whole, survives a rewrite
// byte for byte, and what the settings dialog shows of it validates back to
// the same view, touching no byte the dialog does not own.

#include <cstring>

#include "FuzzCheck.h"
#include "network/NetFields.h"

using namespace hlx;

namespace {

// The bytes the settings dialog may change.
bool DialogByte(std::size_t i) {
  return (i >= kOffAddress && i < kOffAddress + 4) || i == kOffHostBits ||
         (i >= kOffGateway && i < kOffGateway + 4) || (i >= kOffDestination && i < kOffDestination + 4) ||
         i == kOffMode || i == kOffUdpFlag || i == kOffUdpChar;
}

void CheckDiscovery(QByteArrayView data) {
  const DiscoveryVerdict verdict = ClassifyDiscoveryReply(data);
  FUZZ_CHECK((verdict == DiscoveryVerdict::End) ==
             (static_cast<std::size_t>(data.size()) != kDiscoveryReplySize));
  const std::optional<MacAddress> mac = DiscoveryReplyMac(data);
  FUZZ_CHECK(mac.has_value() == (verdict == DiscoveryVerdict::Add));
  if (!mac) return;
  FUZZ_CHECK(std::memcmp(mac->data(), data.data() + kDiscoveryMacOffset, mac->size()) == 0);
  const QString source = QStringLiteral("192.168.1.20");
  const QString entry = DiscoveryEntry(source, *mac);
  FUZZ_CHECK(EntryAddress(entry) == source);
  // The entry's MAC is what the assign-address dialog accepts, and it carries the same last two octets.
  const auto tail = MacTail(EntryMac(entry));
  FUZZ_CHECK(tail && tail->first == (*mac)[4] && tail->second == (*mac)[5]);
}

void CheckBlock(QByteArrayView data) {
  const std::optional<SetupBlock> parsed = ParseSetupReply(data);
  FUZZ_CHECK(parsed.has_value() == (static_cast<std::size_t>(data.size()) == kSetupBlockSize &&
                                    static_cast<std::uint8_t>(data[kCodeOffset]) == kCodeSetupBlock));
  FUZZ_CHECK(IsAcknowledgement(data, kCodeSetupAccepted) ==
             (static_cast<std::size_t>(data.size()) == kQuerySize &&
              static_cast<std::uint8_t>(data[kCodeOffset]) == kCodeSetupAccepted));
  if (data.size() < static_cast<qsizetype>(kSetupBlockSize)) return;

  // Any 124 bytes as a block the module sent.
  QByteArray bytes(data.data(), kSetupBlockSize);
  bytes[kCodeOffset] = static_cast<char>(kCodeSetupBlock);
  const std::optional<SetupBlock> block = ParseSetupReply(bytes);
  FUZZ_CHECK(block && std::memcmp(block->data(), bytes.constData(), kSetupBlockSize) == 0);

  // Written back, only the header changes (zeros and the write's code); read
  // again, it is the same settings.
  for (bool changed : {false, true}) {
    QByteArray written = WriteSetupPacket(*block, changed);
    FUZZ_CHECK(written.size() == qsizetype(kSetupBlockSize) && written.mid(4) == bytes.mid(4));
    FUZZ_CHECK(written.left(4) == QByteArray::fromHex(changed ? "000000FD" : "000000FA"));
    written[kCodeOffset] = static_cast<char>(kCodeSetupBlock);
    const std::optional<SetupBlock> reread = ParseSetupReply(written);
    FUZZ_CHECK(reread &&
               std::equal(reread->begin() + kHeaderSize, reread->end(), block->begin() + kHeaderSize));
  }

  const NetForm form = FillForm(*block);
  for (const QString* text : {&form.ip, &form.mask, &form.gateway, &form.destination})
    FUZZ_CHECK(ParseDotted(*text).has_value());
  FUZZ_CHECK(PrefixLength(*ParseDotted(form.mask)).has_value());
  FUZZ_CHECK(form.udp == ((block->at(kOffMode) & kModeUdpBits) == kModeUdpBits));

  SetupBlock validated = *block;
  const NetField failed = ValidateForm(form, validated);
  if (failed != NetField::None) {
    // Everything the fill shows parses; only the host-part rule can refuse it.
    FUZZ_CHECK(failed == NetField::Address);
    FUZZ_CHECK(validated == *block);
    return;
  }
  FUZZ_CHECK(FillForm(validated) == form);
  for (std::size_t i = 0; i < kSetupBlockSize; ++i) FUZZ_CHECK(DialogByte(i) || validated[i] == (*block)[i]);
  SetupBlock again = validated;
  FUZZ_CHECK(ValidateForm(FillForm(validated), again) == NetField::None && again == validated);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  CheckDiscovery(bytes);
  CheckBlock(bytes);
  return 0;
}
