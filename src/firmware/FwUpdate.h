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
class TComm;

inline constexpr int kUpdateSpeedIndex = 3;  // 38400 in the host speed list
inline constexpr const char* kUpdatingFirmwareCaption = "Updating Firmware...";
// Neither the multiplexer's nor its WiFi module's update starts without a link.
inline constexpr const char* kConnectBeforeUpdateText = "Connect to the Halyx before updating its firmware";
inline constexpr const char* kFwUpdateFailedText = "The firmware update failed";

// The progress window as the update sees it.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void Begin(const QString& caption) = 0;  // shows it at position 0
  virtual void SetMaximum(int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void End() = 0;  // hides it
};

// What the update needs of the window it runs in.
class FirmwareWindow {
 public:
  virtual ~FirmwareWindow() = default;
  // The session core: sending, the session state, the reply time-out, the
  // update's own states and sentences, the prompts.
  virtual SessionCore& Session() = 0;
  // The link the bootloader's frames go over.
  virtual TComm& Link() = 0;
  virtual void SetWaitCursor(bool on) = 0;
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
  // Registers the bootloader's sentence and the update's states with the window's session.
  explicit FwUpdate(FirmwareWindow& window);

  // "Update Halyx Firmware..." (a chosen file) or the automatic update (built-in container).
  void Start(bool builtIn);
  bool Programming() const { return m_programming; }
  // The window is closing: stop after the block under way, without a message.
  void Cancel() { m_cancelled = true; }
  // Runs after every programming run, once the window is given back; true
  // when the image went in whole.
  void SetAfterProgramming(std::function<void(bool programmed)> hook) {
    m_afterProgramming = std::move(hook);
  }
  // Whether the last programming run succeeded.
  bool Programmed() const { return m_programmed; }

 private:
  void OnLdr(const std::string& line);
  void LoaderReady();
  void Restarted(int sentenceId, const std::string& line);
  bool Program();
  void GiveWindowBack();

  FirmwareWindow& m_window;
  SessionCore& m_core;
  const FirmwareImage* m_image = nullptr;
  std::uint8_t m_ldrType = 0;
  bool m_programming = false;
  // Only after a good run does the restarted multiplexer's version report mean success.
  bool m_programmed = false;
  bool m_cancelled = false;
  std::function<void(bool)> m_afterProgramming;
};

}  // namespace hlx
