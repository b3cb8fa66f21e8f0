#pragma once
// The three configuration tabs of the main window ("NMEA Inputs/Outputs",
// "Options", "Sentence Filtering && Routing"): their controls, the editing
// handlers that send one command per change, and the model -> controls
// routine. The decisions (what to send, how a reply changes the model) live
// in DeviceConfig / FilterList; this class only wires them to widgets.

#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>

#include "config/ConfigHost.h"
#include "config/DeviceConfig.h"
#include "config/FilterList.h"

class QWidget;

namespace hlx {

class TInOutPage;
class TOptionsPage;
class TFilterPage;

class TConfigPages : public QObject {
  Q_OBJECT
 public:
  // Fills the three (empty) tab widgets; each must have a layout.
  TConfigPages(QWidget* tabInOut, QWidget* tabOptions, QWidget* tabFilter, ConfigHost& host,
               QObject* parent = nullptr);
  ~TConfigPages() override;

  // Reply handlers of the read-back (the dispatcher calls them in ReadConfig).
  // They change only the model / the rule list, never the controls.
  void HandleCFReply(std::string_view line);
  void HandleDRReply(std::string_view line);
  void HandleIDReply(std::string_view line);
  void HandleSPReply(std::string_view line);
  void HandleOPReply(std::string_view line);
  void HandleINReply(std::string_view line);
  // True when the line ends the list.
  bool HandleFLReply(std::string_view line);
  // One line seen in Capture whose TAG block named `source`.
  void HandleCaptureLine(int source, std::string_view address);

  // "Clear List": empties the rule list and the grid (read-back start,
  // disconnect, before a file is loaded). Sends nothing.
  void ClearFilterList();
  // Capture/Stop button (toggles between Idle and Capture).
  void CaptureClick();
  // Ends a running capture as "Stop" does (window close, disconnect);
  // does nothing outside Capture.
  void StopCapture();
  // "Reset Factory Settings..." menu item: asks, sends the reset on Yes,
  // then always starts Read Configuration.
  void ResetFactorySettings();

  // Model -> controls with all dependent-control rules; runs with Updating
  // set and clears it at the end (as the window's UpdateControls does).
  void UpdateControls();
  // The configuration part of RefreshControls: enables or disables every
  // control of the settings groups and of the filter tab, gives the talker-ID
  // edits the window colour and records the flag. Does not call
  // UpdateControls (the window calls it next).
  void SetControlsEnabled(bool enable);
  bool ControlsEnabled() const { return m_controlsEnabled; }

  // Capability word of the identified device: decides whether the output
  // "W" exists (any of the three lowest bits set). Repaints the grid.
  void SetDeviceCaps(std::uint16_t caps);
  // HostKind as identified (0 serial, 1 USB, 2 Ethernet, 3 wireless, -1 unknown).
  void SetHostKind(int hostKind) { m_hostKind = hostKind; }
  int HostKind() const { return m_hostKind; }

  // The device's option word as the model holds it (for whole-word commands).
  std::uint32_t OptionWord() const { return m_config.Options; }
  DeviceConfig& Model() { return m_config; }
  const DeviceConfig& Model() const { return m_config; }
  FilterList& Rules() { return m_rules; }
  const FilterList& Rules() const { return m_rules; }
  // After the rule list was changed directly (e.g. a file was loaded).
  void RulesChanged();

  // Sends the whole rule list (the "Store List" sequence with its pacing).
  void StoreFilterList();

 signals:
  // The window should run its RefreshControls(enable) (capture start/stop).
  void RefreshControlsRequested(bool enable);

 private:
  friend class TInOutPage;
  friend class TOptionsPage;
  friend class TFilterPage;

  ConfigHost& m_host;
  DeviceConfig m_config;
  FilterList m_rules;
  bool m_controlsEnabled = false;
  int m_hostKind = 0;
  std::uint16_t m_deviceCaps = 0;
  // Owned by the tab widgets they are placed in.
  TInOutPage* m_inOut = nullptr;
  TOptionsPage* m_options = nullptr;
  TFilterPage* m_filter = nullptr;
  QWidget* m_filterTab = nullptr;
};

}  // namespace hlx
