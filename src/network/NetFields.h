#pragma once
// The rules between the network dialogs' texts and the module's bytes:
// dotted addresses, MAC texts, netmasks, which host addresses a module may
// take, and the settings dialog's fill and validate. Pure functions, so the
// dialogs only move texts in and out of their controls.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

#include "network/XportPackets.h"

namespace hlx {

// Four decimal octets of one to three digits each, 0..255, surrounding
// blanks allowed; the first octet ends up in the top byte.
std::optional<quint32> ParseDotted(QStringView text);
QString FormatDotted(quint32 address);

// --- Assigning an address by MAC ---

// 17 characters with '-' at characters 3, 6, 9, 12 and 15 (counting from 1);
// the characters of the first four octets are not examined further.
bool MacShapeOk(QStringView mac);
// The fifth and sixth octet as two hexadecimal digits each.
std::optional<std::pair<std::uint8_t, std::uint8_t>> MacTail(QStringView mac);
// 0.0.0.0, or first and last octet each within 1..254.
bool AssignableAddress(quint32 address);

enum class AssignField { None, Mac, Address };
struct AssignCheck {
  AssignField failed = AssignField::None;  // the field that gets the focus
  QByteArray packet;                       // the IPSetupPacket when nothing failed
};
AssignCheck BuildAssignPacket(const QString& macText, const QString& addressText);

// --- The settings dialog ---

// Number of leading one bits of a contiguous mask; nothing when a one bit follows a zero bit.
std::optional<int> PrefixLength(quint32 mask);
// The mask with 32 - hostBits leading ones; more than 32 host bits read as 32.
quint32 MaskFromHostBits(int hostBits);
// 0.0.0.0 is allowed; otherwise the host part may be neither all zeros
// (the network address) nor all ones (the broadcast address).
bool HostAddressAllowed(quint32 address, quint32 mask);

inline constexpr int kUdpModeBroadcast = 0;
inline constexpr int kUdpModeDirected = 1;

// The dialog's controls as texts and choices.
struct NetForm {
  QString ip, mask, gateway, destination;
  bool udp = false;
  int udpMode = kUdpModeBroadcast;
  bool operator==(const NetForm&) const = default;
};

enum class NetField { None, Address, Mask, Gateway, Destination };

NetForm FillForm(const SetupBlock& block);
// Writes the form into `block` and returns NetField::None; on a failure
// returns the field to focus and leaves `block` as it was. Bytes the form
// does not cover keep their values.
NetField ValidateForm(const NetForm& form, SetupBlock& block);

// Where to look for the module after a write: its new address when the user
// changed it to something other than 0.0.0.0, otherwise where it was.
QString AddressToVerify(const QString& ipText, bool ipChanged, const QString& targetIp);

}  // namespace hlx
