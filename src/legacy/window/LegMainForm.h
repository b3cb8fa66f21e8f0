#pragma once
// TLegMainForm: the main window of the older device generations, built from
// a generation description. TLegMainForm1 to TLegMainForm4 are the windows
// of generations 1 to 4.
// Serial ports only, no firmware update. The decisions (commands, reply
// values, filter list, files) are the pure legacy core's; this class wires
// them to the controls. Its concerns live in separate files: LegMainForm.cpp
// (creation, closing, events, control states), LegConnection.cpp (port,
// speed search, identification), LegReplies.cpp (received lines and the
// commands the settings controls send), LegFilter.cpp (filter list),
// LegFiles.cpp (configuration files, log, About), LegModel.cpp (what the
// generation and the connected model show of the layout).

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "legacy/LegacyConfigFile.h"
#include "legacy/LegacyFilterList.h"
#include "legacy/LegacyGeneration.h"
#include "legacy/LegacyLog.h"
#include "legacy/LegacyModel.h"
#include "legacy/LegacyProtocol.h"
#include "session/ConnectionRules.h"
#include "session/SessionHost.h"
#include "session/SettingsAndRestart.h"
#include "session/SpeedSearch.h"
#include "session/VersionCheck.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;

namespace Ui {
class TLegMainForm;
}

namespace hlx {
class TAMAdvLed;
class TComm;
}  // namespace hlx

namespace hlx::legacy {

inline constexpr int kLegacyStatusPanels = 5;

class TLegMainForm : public QMainWindow, public SessionHost {
  Q_OBJECT
 public:
  TLegMainForm(const Generation& gen, UserPrompts& prompts, QWidget* parent = nullptr);
  ~TLegMainForm() override;

  // SessionHost
  void SendSentence(std::string_view text) override;
  bool Updating() const override { return m_updating; }
  void SetUpdating(bool updating) override { m_updating = updating; }
  SessionState State() const override { return m_state; }
  void SetState(SessionState state) override { m_state = state; }
  bool ChannelOpen() const override;
  UserPrompts& Prompts() override { return m_prompts; }
  void SetWaitCursor(bool on) override;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // LegMainForm.cpp
  void FormCreate();
  void FormClose();
  void ConnectSignals();
  void RefreshControls();
  void SetConfigControlsEnabled(bool enabled);
  void SetPanel(int panel, const QString& text);

  // LegConnection.cpp
  void ConnectionStart();
  void OpenSelectedPort();
  void PortChanged();
  void BaudHostChanged(int index);
  void StartAutoBaud();
  void TrySpeed(int speedIndex);
  void SearchGaveUp();
  void ReadConfiguration();
  void VersionTimeout();
  void CheckCapabilities(const QString& text);
  void SaveSettings(bool clear);

  // LegModel.cpp
  void ApplyGenerationLayout();
  QString InputCaption(int input) const;
  void ApplyModel(const QString& serial, const QString& version);
  void ApplyModelLayout(const ModelLayout& layout);
  void SetModeItems(const QStringList& items);
  std::array<QAction*, 4> FileMenuItems() const;

  // LegReplies.cpp
  void Dispatch(const std::string& line);
  void ShowLine(const std::string& line);
  void ApplyOv(const std::string& line);
  void ApplyVer(const std::string& line);
  void ApplyId(const std::string& line);
  void ApplyCf(const std::string& line);
  void ApplySp(const std::string& line);
  void OptionToggled(Option option, bool on);
  void ModeToggled(int index, bool checked);
  void SelectMode(int index);
  void RealTimeToggled();
  void SpeedChanged();
  void SetIdClick();
  void SendManualInput();
  QCheckBox* OptionBox(Option option) const;
  std::array<QComboBox*, kPortSpeeds> SpeedBoxes() const;

  // LegFilter.cpp
  void ConnectFilter();
  void AddFilterClick();
  void StoreClick();
  void LoadClick();
  void HandleFlLine(const std::string& line);
  void FLTimeout();
  void DeleteClick();
  void ClearListClick();
  void CaptureClick();
  void StopCapture();
  void GridCellSelected(int row, int column);

  // LegFiles.cpp
  void ConnectMenus();
  void OpenClick();
  void SaveClick();
  void SaveAsClick();
  void SetConfigFileName(const QString& name);
  void LoadConfigFile(const QString& name);
  void SaveConfigFile(const QString& name);
  FileSettings CurrentFileSettings() const;
  void StartLogClick(bool timed);
  void StopLogClick();
  void WriteLog(const std::string& line);
  void SetLogMenus(bool active);
  void AboutClick();

  const Generation& m_gen;
  UserPrompts& m_prompts;
  std::unique_ptr<Ui::TLegMainForm> ui;
  std::unique_ptr<TComm> m_comm;
  LegacyFilterList m_filter;
  CaptureTracker m_capture;
  LegacyLog m_log;
  QButtonGroup* m_mode = nullptr;
  std::array<TAMAdvLed*, kInputs> m_overflowLeds{};
  std::array<QLabel*, kLegacyStatusPanels> m_statusPanels{};

  QTimer VersionTimer;
  QTimer FLTimer;
  QTimer OVTimer;

  SessionState m_state = SessionState::Idle;
  bool m_updating = false;
  SpeedSearch m_search{kLegacySearchSpeeds};
  bool CaptureActive = false;
  bool SavedChannelNumbers = false;
  bool SavedChannelIds = false;
  std::uint16_t ModelClass = 0;
  bool m_storeDivisor = true;  // generation 2 stores divisors only when the model has them
  VersionNumbers m_versionNumbers;
  bool m_clearSettings = false;
  bool m_closing = false;
  // Set once the device turned out to be of another generation: the new
  // window reads it, this one sends nothing more and reads no more replies.
  bool m_handingOver = false;
  bool m_started = false;
  bool m_busyCursor = false;
  bool m_usbHost = false;  // the capability word named a USB host port: its speed is fixed
  QString ConfigFileName;
};

// One window per generation: the generation's description on the core.
template <int Number>
class TLegMainFormOf : public TLegMainForm {
 public:
  explicit TLegMainFormOf(UserPrompts& prompts, QWidget* parent = nullptr)
      : TLegMainForm(GenerationFor(Number), prompts, parent) {}
};
using TLegMainForm1 = TLegMainFormOf<1>;
using TLegMainForm2 = TLegMainFormOf<2>;
using TLegMainForm3 = TLegMainFormOf<3>;
using TLegMainForm4 = TLegMainFormOf<4>;

}  // namespace hlx::legacy
