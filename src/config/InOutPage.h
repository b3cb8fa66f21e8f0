#pragma once
// "NMEA Inputs/Outputs" tab: speeds, talker IDs, real time, routing, input
// modes and host data. Each change sends its whole group at once.

#include <QWidget>

#include <array>

#include "config/DeviceConfig.h"
#include "ui_InOutPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace hlx {

class TConfigPages;

class TInOutPage : public QWidget {
  Q_OBJECT
 public:
  TInOutPage(TConfigPages& owner, QWidget* parent);

  void ShowModel(const DeviceConfig& config);
  // Dependent controls: In4/Out1 speed with SeaTalk, talker-ID visibility.
  void ApplyDependentRules(const DeviceConfig& config);
  void SetTalkerEditsNormal();

  Ui::InOutPage ui;
  std::array<QComboBox*, kInputCount> baudIn{};
  std::array<QLineEdit*, kChannelCount> talkId{};
  std::array<QCheckBox*, kChannelCount> realTime{};
  std::array<QCheckBox*, kChannelCount> routeOut1{};
  std::array<QCheckBox*, kChannelCount> routeOut2{};
  std::array<QComboBox*, kInputCount> modeIn{};

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void cbBaudIOChange(QComboBox* sender);
  void chbRTimeClick();
  void edtTalkIDEnter(QLineEdit* sender);
  void chbRouteClick();
  void cbModeInChange();

  TConfigPages& m_owner;
};

// Shows `index` when it is in the list, otherwise no selection.
void ShowIndex(QComboBox* box, int index);
// The selector's index, or `fallback` (the model's value) when it shows none.
std::uint8_t IndexOr(const QComboBox* box, std::uint8_t fallback);

}  // namespace hlx
