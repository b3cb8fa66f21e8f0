#pragma once
// TXPort: the program's side of the network module's configuration port.
// Every operation blocks its caller for at most the protocol's time limits;
// while it waits it calls the wait hook, so a dialog can keep painting and
// move a progress bar. No widgets, no event loop needed.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "link/Comms.h"  // ESocketError
#include "network/XportPackets.h"

namespace hlx {

// Called again and again while an operation waits, at least every
// kWaitSliceMs. It must not destroy the TXPort that calls it.
using WaitHook = std::function<void()>;
inline constexpr int kWaitSliceMs = 50;

inline constexpr char kDiscoveryAddressVariable[] = "HLX_DISCOVERY_ADDRESS";
inline constexpr char kHostAddressesVariable[] = "HLX_HOST_ADDRESSES";
inline constexpr quint32 kLimitedBroadcast = 0xFFFFFFFFu;

// Where the discovery query and the IPSetupPacket go: 255.255.255.255, or
// instead every address listed in HLX_DISCOVERY_ADDRESS (colon-separated).
// A listed text that is not an address is left out with a warning.
QList<quint32> DiscoveryAddresses();

// The computer's own IPv4 addresses in dotted form: those of the interfaces
// that are up, loopback left out (the host name resolves to 127.0.1.1 on
// many systems). HLX_HOST_ADDRESSES (colon-separated) replaces the list.
QStringList GetLocalAddresses();

// A module's `ip` may be a dotted address or a host name (resolved as the
// NMEA link resolves its host).
class TXPort {
 public:
  explicit TXPort(WaitHook hook = {});
  ~TXPort();
  TXPort(const TXPort&) = delete;
  TXPort& operator=(const TXPort&) = delete;

  // Asks every module and returns how many answered; Results() holds one
  // entry each, "ADDRESS  (MA-C0-AD-DR-ES-S0)".
  int Search();
  const QStringList& Results() const { return m_results; }

  // True when a whole settings block was read; `block` is written only then.
  bool GetSetup(const QString& ip, SetupBlock& block);
  // True when the module accepted the block (code 0xFD when addressChanged, else 0xFA).
  bool SetSetup(const QString& ip, const SetupBlock& block, bool addressChanged);
  // True when the module accepted the default settings; false when a reply
  // arrived that does not accept them. A module that cannot be reached, or
  // whose connection breaks, raises ESocketError with the connection's message.
  bool FactoryReset(const QString& ip);
  // Sends a datagram (the IPSetupPacket) to the discovery addresses; no
  // reply exists. False when it could not be sent anywhere.
  bool SendIPSetup(const QByteArray& packet);
  // Whether a module accepts a connection on its configuration port in time.
  bool CheckConnection(const QString& ip, int timeoutMs = kVerifyConnectMs);

 private:
  void Pause(int ms) const;

  WaitHook m_hook;
  int m_udp = -1;
  QStringList m_results;
};

}  // namespace hlx
