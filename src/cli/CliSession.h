#pragma once
// The session of the command-line program: the window's session core, port
// and configuration model without a window. It implements SessionHost (and
// what the firmware update asks of a window) the way TMainForm does, and runs
// the window's connect, identify, read-back, apply, view filter and
// disconnect steps, waiting in nested event loops instead of on the user.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/DeviceConfig.h"
#include "config/FilterList.h"
#include "firmware/FwUpdate.h"
#include "link/Comms.h"
#include "session/ConnectionRules.h"
#include "session/SessionCore.h"
#include "session/SessionHost.h"
#include "session/VersionCheck.h"

namespace hlx {

class TComm;

namespace cli {

// Exit codes of hlx-cli.
enum ExitCode : int {
  ExitOk = 0,
  ExitDifferent = 1,     // diff: the file and the device differ
  ExitUsage = 2,         // bad command line
  ExitConnection = 3,    // channel cannot be opened, no answer, link lost, read-back incomplete
  ExitGeneration = 4,    // not of the current generation this program serves, or in its bootloader
  ExitMismatch = 5,      // apply: the device does not hold what the file says
  ExitFirmware = 6,      // the firmware update failed or could not start
  ExitFile = 7,          // a file cannot be read or written
  ExitInterrupted = 130  // Ctrl-C or SIGTERM
};

struct ConnectOptions {
  enum Kind { None, Serial, Tcp, Udp } kind = None;
  QString address;                      // port name or host
  int speedIndex = kDefaultSpeedIndex;  // index of the host speed list; kBaudAutomatic searches
};

// What identification found out.
struct DeviceIdentity {
  VerReply ver;
  VersionNumbers version;
  Capabilities caps;
  FormChoice form;
};

class CliSession : public QObject, public CoreHost, private SessionEvents, private FirmwareWindow {
  Q_OBJECT
 public:
  explicit CliSession(UserPrompts& prompts, QObject* parent = nullptr);
  ~CliSession() override;

  // SessionHost (the session state is CoreHost's)
  void SendSentence(std::string_view text) override { m_core->SendSentence(text); }
  bool ChannelOpen() const override;
  UserPrompts& Prompts() override { return m_prompts; }
  void SetWaitCursor(bool) override {}

  // Opens the channel (and runs the speed search); ExitOk or ExitConnection.
  int Open(const ConnectOptions& options);
  // Sends the version query and waits for the reply; ExitOk or ExitConnection.
  // A multiplexer whose bootloader announces itself instead is ExitGeneration,
  // or ExitOk with InBootloader() when `forUpdate` (an update recovers it).
  int Identify(bool forUpdate = false);
  bool InBootloader() const { return m_loaderSeen; }
  // The window's "Read Configuration": version query, then the read-back. ExitOk,
  // ExitConnection, or ExitGeneration for a device this generation's window does not read.
  int ReadConfiguration();
  // The window's file apply: every sentence with its pause.
  void Apply(const DeviceConfig& config, const FilterList& rules);
  // The window's view filter: 1..5 shows one input only (TAG blocks on in the device).
  void SetViewFilter(int input);
  // The window's Disconnect: a view filter's option word restored, the port released.
  void Disconnect();

  // Runs the event loop until `done` holds, the link is lost, `timeoutMs`
  // passes (< 0: no limit) or Interrupt() is called. True when `done` held.
  bool WaitFor(const std::function<bool()>& done, int timeoutMs);
  void Interrupt();
  bool Interrupted() const { return m_interrupted; }
  bool ChannelLost() const { return m_channelLost; }

  // Starts the window's firmware update; FwUpdate asks the prompts for a file.
  // Returns ExitOk once the restarted device has reported itself.
  int Flash(bool builtIn);

  const DeviceIdentity& Identity() const { return m_identity; }
  const DeviceConfig& Config() const { return m_config; }
  const FilterList& Rules() const { return m_rules; }
  const TComm& Port() const { return *m_comm; }
  // The window's session core: its line tap and sentence inspector.
  SessionCore& Core() { return *m_core; }

  // Every line the dispatcher shows (the traffic view's feed).
  void SetLineSink(std::function<void(const std::string&)> sink) { m_sink = std::move(sink); }
  void SetProgressSink(std::function<void(int position, int maximum)> sink) {
    m_progressSink = std::move(sink);
  }

 protected:
  bool event(QEvent* event) override;

 private:
  // SessionEvents
  void ShowLine(const std::string& line) override;
  void HandleVerReply(const std::string& line) override;
  void EndAutoBaud(int speedIndex) override;
  void RefreshControls(bool) override {}
  void UpdateControls() override {}
  void Transmit(std::string_view text) override;
  bool LogActive() const override { return false; }
  void LogSent(std::string_view) override {}

  // FirmwareWindow
  SessionCore& Session() override { return *m_core; }
  TComm& Link() override { return *m_comm; }
  int HostSpeedIndex() const override { return m_speedIndex; }
  std::uint32_t DeviceVersion() const override { return m_identified ? VersionWord(m_identity.version) : 0; }
  void SetControlsForUpdate(bool) override {}
  void RevealUpdateMenu() override;
  ProgressView& Progress() override { return m_progress; }

  void EndSession();

  class ConsoleProgress : public ProgressView {
   public:
    explicit ConsoleProgress(CliSession& s) : m_s(s) {}
    void Begin(const QString&) override { m_maximum = 0; }
    void SetMaximum(int maximum) override { m_maximum = maximum; }
    void SetPosition(int position) override {
      if (m_s.m_progressSink) m_s.m_progressSink(position, m_maximum);
    }
    void End() override {}

   private:
    CliSession& m_s;
    int m_maximum = 0;
  };

  UserPrompts& m_prompts;
  std::unique_ptr<TComm> m_comm;
  std::unique_ptr<FwUpdate> m_fw;
  ConsoleProgress m_progress{*this};
  DeviceConfig m_config;
  FilterList m_rules;
  bool m_optionsKnown = false;
  DeviceIdentity m_identity;
  bool m_identified = false;
  bool m_verSeen = false;
  bool m_loaderSeen = false;  // the bootloader announced itself
  bool m_readAfterVer = false;
  int m_speedIndex = -1;
  bool m_interrupted = false;
  bool m_channelLost = false;
  bool m_lostWhileProgramming = false;  // programming reported it; the session ends without a second message
  qint64 m_lastReadBackMs = 0;
  std::function<void(const std::string&)> m_sink;
  std::function<void(int, int)> m_progressSink;
  std::function<void()> m_wake;  // quits the innermost WaitFor
};

}  // namespace cli
}  // namespace hlx
