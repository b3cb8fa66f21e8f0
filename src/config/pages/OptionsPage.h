#pragma once
// "Options" tab: priority, NMEA conversions and channel information, each a
// bit of the option word (plus the priority time-out).

#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "config/DeviceConfig.h"

class QCheckBox;

namespace Ui {
class OptionsPage;
}

namespace hlx {

class SessionHost;

class TOptionsPage : public QWidget {
  Q_OBJECT
 public:
  // `priorityChanged` runs after the priority box was sent (its dependent controls follow).
  TOptionsPage(SessionHost& host, DeviceConfig& config, std::function<void()> priorityChanged,
               QWidget* parent);
  ~TOptionsPage() override;

  void ShowOptionBits(const DeviceConfig& config);
  void ApplyPriorityRules(const DeviceConfig& config);
  void SetControlsEnabled(bool enable);
  // A single-bit box: a click sets the bit and sends it, ShowOptionBits shows it.
  void AddBitBox(QCheckBox* box, int bit);

 private:
  void chbPriorityClick(bool checked);
  void cbPrioTimeoutChange(int index);
  void cbPrioSeatalkChange(int index);

  std::unique_ptr<Ui::OptionsPage> ui;
  SessionHost& m_host;
  DeviceConfig& m_config;
  std::function<void()> m_priorityChanged;
  std::vector<std::pair<QCheckBox*, int>> m_bitBoxes;
};

}  // namespace hlx
