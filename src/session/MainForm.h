#pragma once
// TMainForm: the main window of the current device generation. It hosts the
// session core (SessionCore), the port (TComm), the three configuration tabs
// (TConfigPages), the connection panel, the traffic monitor and the menus.
// Its concerns live in separate files: MainForm.cpp (creation, closing,
// events, glue), MainConnection.cpp, MainMonitor.cpp, MainMenus.cpp.

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "config/ConfigHost.h"
#include "session/LogWriter.h"
#include "session/SessionCore.h"
#include "session/TrafficView.h"
#include "session/VersionCheck.h"

class QLabel;

namespace Ui {
class TMainForm;
}

namespace hlx {

class TAMAdvLed;
class TComm;
class TConfigPages;
class TStats;

inline constexpr int kStatusPanels = 5;
inline constexpr int kMonitorRepaintMs = 40;

class TMainForm : public QMainWindow, public SessionHandlers, public ConfigHost {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  SessionCore& Core() { return *m_core; }
  TComm& Comm() { return *m_comm; }
  TConfigPages& Pages() { return *m_pages; }
  const QString& DeviceName() const { return m_deviceName; }
  const QString& DeviceVersion() const { return m_deviceVersion; }
  const QString& DeviceSerial() const { return m_deviceSerial; }
  bool ClearSettings() const { return m_clearSettings; }
  const TrafficView& View() const { return m_view; }
  const QString& ConfigFileName() const { return m_configFileName; }
  TStats& Stats() { return *m_stats; }

  // ConfigHost
  void SendSentence(std::string_view text) override;
  bool Updating() const override { return m_core->Updating(); }
  void SetUpdating(bool updating) override { m_core->SetUpdating(updating); }
  std::uint8_t SessionState() const override { return m_core->SessionState(); }
  void SetSessionState(std::uint8_t state) override { m_core->SetSessionState(state); }
  bool ChannelOpen() const override;
  void Pause(int ms) override;
  void ReadConfiguration() override;

  // SessionHandlers
  void HandleOvReply(const std::string& line) override;
  void HandleSTATReply(const std::string& line) override;
  void ShowLine(const std::string& line) override;
  void HandleVerReply(const std::string& line) override;
  void HandleCFReply(const std::string& line) override;
  void HandleDRReply(const std::string& line) override;
  void HandleIDReply(const std::string& line) override;
  void HandleSPReply(const std::string& line) override;
  void HandleOPReply(const std::string& line) override;
  void HandleINReply(const std::string& line) override;
  bool HandleFLReply(const std::string& line) override;
  void HandleCaptureLine(int source, const std::string& address) override;
  void EndAutoBaud(int autoBaudIndex) override;
  void RefreshControls(bool enable) override;
  void UpdateControls() override;
  void Transmit(std::string_view text) override;
  bool LogActive() const override { return m_log.LogActive(); }
  void LogSent(std::string_view text) override;

  void CheckCapabilities(const QString& text);

 signals:
  // "Automatic Update", "Update Halyx Firmware..." and Yes to the firmware
  // question: the firmware update flow attaches here.
  void firmwareUpdateRequested(bool builtInImage);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Creation (MainForm.cpp)
  void FormCreate();
  void FormClose();
  void CreateStatusPanels();
  void CreateOverflowLeds();
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
  void ABTimerTick();
  void PortChanged(int index);
  void BaudHostChanged(int index);
  void MuxIpChanged(const QString& text);
  void SetViewBackground(bool grey);
  void RestoreOptionWord();

  // Monitor and manual input (MainMonitor.cpp)
  void RepaintMonitor();
  void ScheduleRepaint();
  void ClearView();
  void ViewFilterChanged(int index);
  void OVTimerTick();
  void SendManualInput();

  // Menus and logging (MainMenus.cpp)
  void ConnectMenus();
  void AboutClick();
  void StartLogClick(bool diagnostic);
  void StopLogClick();
  void WriteLogLine(std::string_view text, LogDirection direction);
  void LogStopped(const QString& message);

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

  std::unique_ptr<Ui::TMainForm> ui;
  std::unique_ptr<SessionCore> m_core;
  std::unique_ptr<TComm> m_comm;
  TConfigPages* m_pages = nullptr;
  TStats* m_stats = nullptr;  // a window of its own, owned by this one
  QString m_configFileName;
  bool m_statsOn = false;
  LogWriter m_log;

  QTimer ABTimer;
  QTimer OVTimer;
  QTimer m_repaintTimer;
  TrafficView m_view;
  QStringList m_history;
  std::array<TAMAdvLed*, 4> m_overflowLeds{};
  std::array<QLabel*, kStatusPanels> m_statusPanels{};

  QString m_deviceName;
  QString m_deviceVersion;
  QString m_deviceSerial;
  VersionNumbers m_versionNumbers;
  std::uint16_t m_deviceCaps = 0;
  bool m_clearSettings = false;
  bool m_closing = false;

  QIcon m_connOnGlyph;
  QIcon m_connOffGlyph;
};

}  // namespace hlx
