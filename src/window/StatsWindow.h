#pragma once
// The statistics window: five bars, In1..In4 queue peaks and the processor
// load, beside the main window. "History" widens it to charts of the last
// 15 minutes of reports and input line rates, which can be exported as CSV.

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string_view>
#include <utility>

#include "config/StatHistory.h"
#include "config/Statistics.h"

class QProgressBar;
class QPushButton;

namespace hlx {

class THistoryChart;
class UserPrompts;

class TStats : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 194;
  static constexpr int kClientHeight = 227;

  explicit TStats(UserPrompts& prompts, QWidget* parent = nullptr);

  // Sets the bars from a received STAT report (whether shown or not).
  void HandleSTATReply(std::string_view line);
  void ShowReport(const StatReport& report);
  // Where the line rates come from; sampled every second while shown.
  void SetRateSource(std::function<StatHistory::Rates()> source) { m_rateSource = std::move(source); }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void BuildHistory();
  void ToggleHistory();
  void SampleRates();
  // Puts a new sample in the charts when they are open.
  void Chart(const HistorySample& sample);
  // The chart and line of a history column.
  std::pair<THistoryChart*, int> ColumnChart(int column) const;
  void Export();

  UserPrompts& m_prompts;
  std::array<QProgressBar*, kStatFieldCount> m_bars{};
  StatHistory m_history;
  std::function<StatHistory::Rates()> m_rateSource;
  QTimer m_rateTimer;
  QPushButton* m_historyButton = nullptr;
  QWidget* m_historyPanel = nullptr;
  THistoryChart* m_queueChart = nullptr;
  THistoryChart* m_loadChart = nullptr;
  THistoryChart* m_rateChart = nullptr;
};

}  // namespace hlx
