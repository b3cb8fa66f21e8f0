#pragma once
// The three configuration tabs of the main window ("NMEA Inputs/Outputs",
// "Options", "Sentence Filtering && Routing"): they own the configuration
// model and the rule list, send one command per change through the
// SessionHost, and write the model into their controls. The decisions (what
// to send, how a reply changes the model) live in the configuration model
// library; this class only wires them to widgets.

#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>

#include "config/DeviceConfig.h"
#include "config/FilterList.h"

class QWidget;

namespace hlx {

class SessionHost;
class TInOutPage;
class TOptionsPage;
class TFilterPage;

class TConfigPages : public QObject {
  Q_OBJECT
 public:
  // Fills the three (empty) tab widgets.
  TConfigPages(QWidget* tabInOut, QWidget* tabOptions, QWidget* tabFilter, SessionHost& host,
               QObject* parent = nullptr);
  ~TConfigPages() override;

  // One reply of the read-back (sentence id and line); true when it ended
  // the filter list. Changes the model and the rule list, not the controls.
  bool ReadBackReply(int sentenceId, std::string_view line);
  // One line seen in Capture whose TAG block named `source`.
  void CaptureLine(int source, std::string_view address);

  // Empties the rule list and the grid (read-back start, disconnect). Sends nothing.
  void ClearFilterList();
  // Ends a running capture as "Stop" does; does nothing outside Capture.
  void StopCapture();
  // Ends a capture without a word to the device: for a channel that is gone.
  void DropCapture();
  // "Reset Factory Settings..." menu item: asks, sends the reset on Yes, then
  // always asks the window to read the configuration.
  void ResetFactorySettings();
  // Replaces model and rules at once (a loaded file) and shows them.
  void LoadConfiguration(const DeviceConfig& config, const FilterList& rules);
  // A new device (or none): its option word is unknown until it is read.
  void ForgetOptionWord() { m_optionsKnown = false; }
  // What gives the device its own TAG setting back after a view filter.
  std::string OptionRestoreCommand() const;

  // Model -> controls with all dependent-control rules, run with Updating set.
  void UpdateControls();
  // Enables or disables every settings control (Capture/Stop aside).
  void SetControlsEnabled(bool enable);
  // Capability word of the identified device (0: none identified): whether
  // the output "W" exists.
  void SetDeviceCaps(std::uint16_t caps);

  const DeviceConfig& Model() const { return m_config; }
  const FilterList& Rules() const { return m_rules; }

 signals:
  // The window should run its RefreshControls(enable) (capture start/stop).
  void refreshControlsRequested(bool enable);
  // The window should start "Read Configuration".
  void readConfigurationRequested();

 private:
  void CaptureClick();

  SessionHost& m_host;
  DeviceConfig m_config;
  FilterList m_rules;
  bool m_controlsEnabled = false;
  bool m_optionsKnown = false;
  // Owned by the tab widgets they are placed in.
  TInOutPage* m_inOut = nullptr;
  TOptionsPage* m_options = nullptr;
  TFilterPage* m_filter = nullptr;
};

}  // namespace hlx
