#pragma once
// The firmware update as the main window runs it: the checks before it
// starts, the restart into the bootloader, programming when the bootloader
// announces itself, and giving the window back whatever happens. The window
// wires its menu items and its widgets to this; the decisions are here.

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "firmware/FwImage.h"

namespace hlx {

class SessionCore;
class SessionHost;
class TComm;

inline constexpr int kUpdateSpeedIndex = 3;  // 38400 in the host speed list
inline constexpr const char* kUpdatingFirmwareCaption = "Updating Firmware...";

// The progress window as the update sees it.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void Begin(const QString& caption) = 0;  // shows it at position 0
  virtual void SetMaximum(int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void End() = 0;  // hides it
};

// What the update needs of the window beyond SessionHost.
class FirmwareWindow {
 public:
  virtual ~FirmwareWindow() = default;
  virtual int HostSpeedIndex() const = 0;
  // Version of the identified multiplexer, major x 65,536 + minor x 256 + build; 0 when none.
  virtual std::uint32_t DeviceVersion() const = 0;
  // False takes the session's controls, the host group and the read button
  // away for the update; true gives them back.
  virtual void SetControlsForUpdate(bool enabled) = 0;
  // A bootloader announced itself: offer "Update Halyx Firmware...".
  virtual void RevealUpdateMenu() = 0;
  virtual ProgressView& Progress() = 0;
};

// Why an update cannot start on this link, or an empty text when it can.
// `hostKind` as identified (-1 while unknown), `channelKind` as TComm has it.
QString UpdatePrecondition(int hostKind, int hostSpeedIndex, std::uint8_t channelKind);
// The multiplexer type a $PQVXLDR sentence announces (hexadecimal, 0 when unreadable).
std::uint8_t ParseLdrType(std::string_view line);
// Empty when `image` may be programmed into a multiplexer of `ldrType`.
QString TypeMismatch(const FirmwareImage& image, std::uint8_t ldrType);

class FwUpdate {
 public:
  // Registers the bootloader's sentence and the loader states with `core`.
  FwUpdate(SessionHost& host, SessionCore& core, TComm& port, FirmwareWindow& window);

  // "Update Halyx Firmware..." (a chosen file) or the automatic update (built-in container).
  void Start(bool builtIn);
  bool Programming() const { return m_programming; }
  // The window is closing: stop after the block under way, without a message.
  void Cancel() { m_cancelled = true; }
  std::uint8_t LdrType() const { return m_ldrType; }
  // Runs after every programming run, once the window is given back.
  void SetAfterProgramming(std::function<void()> hook) { m_afterProgramming = std::move(hook); }
  // A session that ends while the bootloader is awaited gives the window back.
  void SessionEnded();

 private:
  void OnLdr(const std::string& line);
  bool Program();
  void LoaderTimedOut();

  SessionHost& m_host;
  SessionCore& m_core;
  TComm& m_port;
  FirmwareWindow& m_window;
  const FirmwareImage* m_image = nullptr;
  std::uint8_t m_ldrType = 0;
  bool m_programming = false;
  bool m_cancelled = false;
  std::function<void()> m_afterProgramming;
};

}  // namespace hlx
