#pragma once
// TMainForm: the main window of the current device generation. It hosts the
// session core (SessionCore), the port (TComm), the three configuration tabs
// (TConfigPages), the connection panel, the traffic monitor and the menus.
// Features see it only as a SessionHost. Its concerns live in separate
// files: MainForm.cpp (creation, closing, events, glue), MainConnection.cpp,
// MainMonitor.cpp, MainMenus.cpp, MainFiles.cpp.

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "firmware/FwUpdate.h"
#include "firmware/WifiUpdate.h"
#include "session/Capture.h"
#include "session/LogWriter.h"
#include "session/SessionCore.h"
#include "session/SessionHost.h"
#include "session/SettingsAndRestart.h"
#include "session/TrafficView.h"
#include "session/VersionCheck.h"

class QAction;
class QLabel;

namespace Ui {
class TMainForm;
}

namespace hlx {

class TAMAdvLed;
class TComm;
class TConfigPages;
class TStats;
class TProgress;

inline constexpr int kStatusPanels = 5;
inline constexpr int kMonitorRepaintMs = 40;
inline constexpr int kFirstStartHeight = 900;  // pixels, where the screen is tall enough
// A steady stream is painted this often at most (four times a second):
// nobody reads faster, and each paint costs about the same however many
// lines it brings. A stream too fast to read line by line (more than
// kMonitorReadableLines a paint) is painted twice a second.
inline constexpr int kMonitorStreamRepaintMs = 250;
inline constexpr int kMonitorFastStreamRepaintMs = 500;
inline constexpr int kMonitorReadableLines = 10;

class TMainForm : public QMainWindow,
                  public CoreHost,
                  private SessionEvents,
                  private FirmwareWindow,
                  private WifiWindow {
  Q_OBJECT
 public:
  // Every message box and file dialog of the window goes through `prompts`.
  explicit TMainForm(UserPrompts& prompts, QWidget* parent = nullptr);
  ~TMainForm() override;

  // SessionHost (the session state is CoreHost's)
  void SendSentence(std::string_view text) override;
  bool ChannelOpen() const override;
  UserPrompts& Prompts() override { return m_prompts; }
  void SetWaitCursor(bool on) override;

 signals:
  // "Automatic Update", "Update Halyx Firmware..." and Yes to the firmware
  // question: the firmware update flow attaches here.
  void firmwareUpdateRequested(bool builtInImage);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // SessionEvents
  void ShowLine(const std::string& line) override;
  void HandleVerReply(const std::string& line) override;
  void EndAutoBaud(int speedIndex) override;
  void RefreshControls(bool enable) override;
  void UpdateControls() override;
  void Transmit(std::string_view text) override;
  bool LogActive() const override { return m_log.LogActive(); }
  void LogSent(std::string_view text) override;

  // Creation (MainForm.cpp)
  void FormCreate();
  void FormClose();
  void ConnectSignals();
  SavedSettings CurrentSettings() const;
  void SaveCurrentSettings();

  // Connection (MainConnection.cpp)
  void ConnectClick();
  void Connect();
  void Disconnect();
  void ChannelLost();
  void EndSession();
  void StartAutoBaud();
  void TrySpeed(int speedIndex);
  void PortChanged(int index);
  void BaudHostChanged(int index);
  void MuxIpChanged(const QString& text);
  void SetViewBackground(bool grey);
  void RestoreOptionWord();
  void ReadConfiguration();
  void CheckCapabilities(const QString& text);
  void ShowDeviceIdentity(bool known);

  // Monitor and manual input (MainMonitor.cpp)
  void RepaintMonitor();
  void ScheduleRepaint();
  void ClearView();
  void ViewFilterChanged(int index);
  void HandleOvReply(const std::string& line);
  void OVTimerTick();
  void SendManualInput();
  void RestoreShape();
  void SaveShape() const;

  // Menus and logging (MainMenus.cpp)
  void ConnectMenus();
  void AboutClick();
  void StartLogClick(bool diagnostic);
  void StopLogClick();
  void WriteLogLine(std::string_view text, LogDirection direction);
  void LogStopped(const QString& message);
  // Capture recording (MainMenus.cpp): File menu entries created in code.
  void CreateCaptureMenus();
  void RecordCaptureClick();
  void StopRecording(const QString& message);

  // FirmwareWindow (MainFirmware.cpp)
  SessionCore& Session() override { return *m_core; }
  TComm& Link() override { return *m_comm; }
  int HostSpeedIndex() const override;
  std::uint32_t DeviceVersion() const override;
  void SetControlsForUpdate(bool enabled) override;
  void RevealUpdateMenu() override;
  ProgressView& Progress() override;
  void CreateFirmwareUpdate();
  void AfterProgramming(bool programmed);
  // WifiWindow (MainFirmware.cpp)
  QStringList LocalAddresses() const override;
  QString PickHostAddress(const QStringList& addresses) override;

  // Halyx-LAN menu (MainNetwork.cpp)
  void ConnectNetworkMenus();
  void SearchLanClick();
  void NetworkSetupClick();

  // Configuration files and statistics (MainFiles.cpp)
  void ConnectFileMenus();
  void SetConfigFileName(const QString& name);
  void LoadConfigClick();
  void SaveConfigClick();
  void SaveConfigAsClick();
  void LoadConfigFile(const QString& name);
  void SaveConfigFile(const QString& name);
  void ApplyConfiguration();
  void StatsClick();

  UserPrompts& m_prompts;
  std::unique_ptr<Ui::TMainForm> ui;
  std::unique_ptr<TComm> m_comm;
  TConfigPages* m_pages = nullptr;
  TStats* m_stats = nullptr;        // a window of its own, owned by this one
  TProgress* m_progress = nullptr;  // the one progress window, owned by this one
  std::unique_ptr<FwUpdate> m_fw;
  std::unique_ptr<WifiUpdate> m_wifi;
  // Deferred while the firmware is programmed, handled as soon as it ends.
  bool m_lostDuringUpdate = false;
  bool m_lossReportedByUpdate = false;
  bool m_closeAfterUpdate = false;
  QString m_configFileName;
  bool m_statsOn = false;
  LogWriter m_log;
  CaptureRecorder m_recorder;
  QAction* m_miRecordCapture = nullptr;
  QAction* m_miStopRecording = nullptr;

  QTimer OVTimer;
  QTimer m_repaintTimer;
  QElapsedTimer m_lastRepaint;
  int m_linesSinceRepaint = 0;
  int m_lastRepaintLines = 0;  // lines the last paint brought
  TrafficView m_view;
  QStringList m_history;
  std::array<TAMAdvLed*, 4> m_overflowLeds{};
  std::array<QLabel*, kStatusPanels> m_statusPanels{};

  QString m_deviceName;
  QString m_deviceVersion;
  QString m_deviceSerial;
  VersionNumbers m_versionNumbers;
  bool m_clearSettings = false;
  bool m_closing = false;

  QIcon m_connOnGlyph;
  QIcon m_connOffGlyph;
};

}  // namespace hlx
