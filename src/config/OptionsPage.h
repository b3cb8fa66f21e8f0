#pragma once
// "Options" tab: priority, NMEA conversions and channel information, each a
// bit of the option word (plus the priority time-out).

#include <QWidget>

#include <utility>
#include <vector>

#include "config/DeviceConfig.h"
#include "ui_OptionsPage.h"

class QCheckBox;

namespace hlx {

class TConfigPages;

class TOptionsPage : public QWidget {
  Q_OBJECT
 public:
  TOptionsPage(TConfigPages& owner, QWidget* parent);

  void ShowOptionBits(const DeviceConfig& config);
  void ApplyPriorityRules(const DeviceConfig& config);

  Ui::OptionsPage ui;
  // Single-bit boxes with their bits; "Output NMEA V1.5" from the other tab
  // joins them through AddBitBox.
  void AddBitBox(QCheckBox* box, int bit);

 private:
  void chbPriorityClick(bool checked);
  void cbPrioTimeoutChange(int index);
  void cbPrioSeatalkChange(int index);

  TConfigPages& m_owner;
  std::vector<std::pair<QCheckBox*, int>> m_bitBoxes;
};

}  // namespace hlx
