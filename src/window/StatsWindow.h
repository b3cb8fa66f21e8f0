#pragma once
// The statistics window: five bars, In1..In4 queue peaks and the processor
// load, beside the main window.

#include <QWidget>
#include <array>
#include <string_view>

#include "config/Statistics.h"

class QProgressBar;

namespace hlx {

class TStats : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 194;
  static constexpr int kClientHeight = 227;

  explicit TStats(QWidget* parent = nullptr);

  // Sets the bars from a received STAT report (whether shown or not).
  void HandleSTATReply(std::string_view line);
  void ShowReport(const StatReport& report);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();

  std::array<QProgressBar*, kStatFieldCount> m_bars{};
};

}  // namespace hlx
