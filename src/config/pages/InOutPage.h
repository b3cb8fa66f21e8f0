#pragma once
// "NMEA Inputs/Outputs" tab: speeds, talker IDs, real time, routing, input
// modes and host data. Each change sends its whole group at once.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "config/DeviceConfig.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace Ui {
class InOutPage;
}

namespace hlx {

class SessionHost;

class TInOutPage : public QWidget {
  Q_OBJECT
 public:
  // `modeChanged` runs after an input mode was sent (dependent controls follow it).
  TInOutPage(SessionHost& host, DeviceConfig& config, std::function<void()> modeChanged, QWidget* parent);
  ~TInOutPage() override;

  void ShowModel(const DeviceConfig& config);
  // Dependent controls: In4/Out1 speed with SeaTalk, talker-ID visibility.
  void ApplyDependentRules(const DeviceConfig& config);
  void SetControlsEnabled(bool enable);
  // "Output NMEA V1.5" is one of the option bits shown on this tab.
  QCheckBox* NmeaV15Box() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void cbBaudIOChange(QComboBox* sender);
  void chbRTimeClick();
  void edtTalkIDEnter(QLineEdit* sender);
  void chbRouteClick();
  void cbModeInChange();
  void SetTalkerEditsNormal();

  std::unique_ptr<Ui::InOutPage> ui;
  SessionHost& m_host;
  DeviceConfig& m_config;
  std::function<void()> m_modeChanged;
  std::array<QComboBox*, kInputCount> m_baudIn{};
  std::array<QLineEdit*, kChannelCount> m_talkId{};
  std::array<QCheckBox*, kChannelCount> m_realTime{};
  std::array<QCheckBox*, kChannelCount> m_routeOut1{};
  std::array<QCheckBox*, kChannelCount> m_routeOut2{};
  std::array<QComboBox*, kInputCount> m_modeIn{};
};

// Shows `index` when it is in the list, otherwise no selection.
void ShowIndex(QComboBox* box, int index);
// The selector's index, or `fallback` (the model's value) when it shows none.
std::uint8_t IndexOr(const QComboBox* box, std::uint8_t fallback);
// Enables or disables everything inside `root` (the group itself keeps its state).
void EnableAll(QWidget* root, bool enable);

}  // namespace hlx
