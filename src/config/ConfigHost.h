#pragma once
// What the configuration pages need from the main window that hosts them.
// The session core implements it; the configuration code never sees the window.

#include <cstdint>
#include <string_view>

namespace hlx {

enum SessionStateValue : std::uint8_t {
  Idle = 0,
  AutoBaud = 1,
  Capture = 2,
  Identify = 3,
  ReadConfig = 4,
  FwLoader = 5,
  FwRestart = 6,
};

class ConfigHost {
 public:
  virtual ~ConfigHost() = default;
  // Completes, logs and sends one command (nothing on a closed channel).
  virtual void SendSentence(std::string_view text) = 0;
  virtual bool Updating() const = 0;
  virtual void SetUpdating(bool updating) = 0;
  virtual std::uint8_t SessionState() const = 0;
  virtual void SetSessionState(std::uint8_t state) = 0;
  virtual bool ChannelOpen() const = 0;
  // Short blocking pause between sentences that must follow each other;
  // pending window events are processed meanwhile.
  virtual void Pause(int ms) = 0;
  // Starts "Read Configuration" (identify, then read back).
  virtual void ReadConfiguration() = 0;
};

}  // namespace hlx
