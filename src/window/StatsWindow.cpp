#include "window/StatsWindow.h"

#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QShowEvent>
#include <QVBoxLayout>

#include "session/UserPrompts.h"
#include "ui/HistoryChart.h"

namespace hlx {

namespace {
constexpr int kRateSampleMs = 1000;
// The charts beside the bars: their size when opened and the least they shrink to.
constexpr QSize kHistorySize(560, 600);
constexpr QSize kHistoryMinSize(320, 400);
constexpr int kMaxChartPoints = static_cast<int>(kMaxHistorySamples);
constexpr int kQueueTicks = 4;  // 0, 21, 42, 63
constexpr int kLoadTicks = 5;   // quarters of 4608
constexpr const char* kShowHistory = ">>";
constexpr const char* kHideHistory = "<<";

std::int64_t NowMs() { return QDateTime::currentMSecsSinceEpoch(); }
}  // namespace

TStats::TStats(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_prompts(prompts) {
  setObjectName(QStringLiteral("Stats"));
  setWindowTitle(QStringLiteral("Statistics"));
  setFixedSize(kClientWidth, kClientHeight);
  BuildControls();
  BuildHistory();
  m_rateTimer.setInterval(kRateSampleMs);
  connect(&m_rateTimer, &QTimer::timeout, this, [this] { SampleRates(); });
}

void TStats::BuildControls() {
  // Bars 150 pixels high; the scale labels sit on the bar's tenths.
  constexpr int kBarTop = 24;
  constexpr int kBarHeight = 150;
  constexpr int kBarWidth = 16;

  auto* group = new QGroupBox(QStringLiteral("Queue's"), this);
  group->setObjectName(QStringLiteral("gbQueues"));
  group->setGeometry(6, 4, 134, 216);

  auto makeBar = [&](QWidget* parent, const char* name, int x, int max) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setOrientation(Qt::Vertical);
    bar->setRange(0, max);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(x, kBarTop, kBarWidth, kBarHeight);
    return bar;
  };
  auto makeLabel = [](QWidget* parent, const QString& text, const QRect& r, Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(r);
    label->setAlignment(align);
    return label;
  };

  for (int tenth = 0; tenth <= 10; ++tenth) {
    const int y = kBarTop + kBarHeight - tenth * kBarHeight / 10;
    makeLabel(group, QStringLiteral("%1 -").arg(tenth * 10), QRect(2, y - 7, 36, 14),
              Qt::AlignRight | Qt::AlignVCenter);
  }
  makeLabel(group, QStringLiteral("%"), QRect(2, kBarTop + kBarHeight + 10, 30, 14), Qt::AlignRight);

  static constexpr const char* kQueueNames[] = {"PeakQ1", "PeakQ2", "PeakQ3", "PeakQ4"};
  for (int i = 0; i < 4; ++i) {
    const int x = 44 + i * 22;
    m_bars[static_cast<std::size_t>(i)] = makeBar(group, kQueueNames[i], x, kQueueBarMax);
    makeLabel(group, QStringLiteral("In%1").arg(i + 1), QRect(x - 4, kBarTop + kBarHeight + 6, 24, 14),
              Qt::AlignHCenter);
  }

  m_bars[4] = makeBar(this, "CPULoad", 160, kLoadBarMax);
  m_bars[4]->move(160, 4 + kBarTop);
  makeLabel(this, QStringLiteral("System"), QRect(146, 4 + kBarTop + kBarHeight + 6, 44, 14),
            Qt::AlignHCenter);
  makeLabel(this, QStringLiteral("Load"), QRect(146, 4 + kBarTop + kBarHeight + 20, 44, 14),
            Qt::AlignHCenter);
}

void TStats::ShowReport(const StatReport& report) {
  for (std::size_t i = 0; i < m_bars.size(); ++i)
    if (report.Values[i]) m_bars[i]->setValue(ClampToBar(static_cast<int>(i), *report.Values[i]));
}

void TStats::HandleSTATReply(std::string_view line) {
  const StatReport report = ParseSTATReply(line);
  ShowReport(report);
  if (m_history.AddReport(NowMs(), report)) Chart(m_history.Samples().back());
}

void TStats::showEvent(QShowEvent* event) {
  // Showing the window again starts from zero (not when merely restored).
  if (!event->spontaneous())
    for (auto* bar : m_bars) bar->setValue(0);
  if (m_rateSource) m_rateTimer.start();
  QWidget::showEvent(event);
}

void TStats::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) m_rateTimer.stop();
  QWidget::hideEvent(event);
}

void TStats::BuildHistory() {
  // The button sits above the load bar, the one free corner of the bars.
  m_historyButton = new QPushButton(QString::fromLatin1(kShowHistory), this);
  m_historyButton->setObjectName(QStringLiteral("btnHistory"));
  m_historyButton->setGeometry(146, 4, 44, 20);
  m_historyButton->setAccessibleName(QStringLiteral("Show history"));
  m_historyButton->setToolTip(QStringLiteral("History of the last 15 minutes"));
  connect(m_historyButton, &QPushButton::clicked, this, [this] { ToggleHistory(); });

  m_historyPanel = new QWidget(this);
  m_historyPanel->setObjectName(QStringLiteral("HistoryPanel"));
  m_historyPanel->hide();
  auto* layout = new QVBoxLayout(m_historyPanel);
  layout->setContentsMargins(0, 0, 4, 4);
  const auto addChart = [&](const char* name, const QString& title) {
    auto* chart = new THistoryChart(title, kHistorySpanMs, kMaxChartPoints, m_historyPanel);
    chart->setObjectName(QLatin1String(name));
    layout->addWidget(chart, 1);
    return chart;
  };
  m_queueChart = addChart("QueueChart", QStringLiteral("Queue peaks"));
  for (int i = 0; i < 4; ++i) m_queueChart->AddSeries(HistoryColumnName(i));
  m_queueChart->SetFixedRange(kQueueBarMax, kQueueTicks);
  m_loadChart = addChart("LoadChart", QStringLiteral("Processor load"));
  m_loadChart->AddSeries(HistoryColumnName(4));
  m_loadChart->SetFixedRange(kLoadBarMax, kLoadTicks);
  m_rateChart = addChart("RateChart", QStringLiteral("Lines per second"));
  m_rateChart->SetDecimals(1);
  m_rateChart->chart()->legend()->setAlignment(Qt::AlignBottom);  // up to ten inputs
  // Only the inputs that carry traffic get a line.
  for (int input = 0; input < kInspectorInputs; ++input)
    m_rateChart->AddSeries(
        QStringLiteral("In ") + QString::fromStdString(SentenceInspector::InputText(input)), true);

  auto* exportButton = new QPushButton(QStringLiteral("Export..."), m_historyPanel);
  exportButton->setObjectName(QStringLiteral("btnExport"));
  exportButton->setAccessibleName(QStringLiteral("Export history as CSV"));
  connect(exportButton, &QPushButton::clicked, this, [this] { Export(); });
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(exportButton);
  layout->addLayout(row);
}

void TStats::ToggleHistory() {
  const bool open = !m_historyPanel->isVisibleTo(this);
  if (open) {
    // The charts only follow while open; opening draws what was kept meanwhile.
    std::array<QList<QPointF>, kHistoryColumns> points;
    for (const HistorySample& sample : m_history.Samples())
      for (std::size_t column = 0; column < points.size(); ++column)
        if (sample.values[column])
          points[column].append({static_cast<double>(sample.timeMs), *sample.values[column]});
    for (int column = 0; column < kHistoryColumns; ++column) {
      const auto [chart, series] = ColumnChart(column);
      chart->Replace(series, points[static_cast<std::size_t>(column)]);
    }
    for (THistoryChart* chart : {m_queueChart, m_loadChart, m_rateChart}) chart->Slide(NowMs());
    setMinimumSize(kClientWidth + kHistoryMinSize.width(), std::max(kClientHeight, kHistoryMinSize.height()));
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(kClientWidth + kHistorySize.width(), std::max(kClientHeight, kHistorySize.height()));
    m_historyPanel->show();
  } else {
    m_historyPanel->hide();
    setFixedSize(kClientWidth, kClientHeight);
  }
  m_historyButton->setText(QString::fromLatin1(open ? kHideHistory : kShowHistory));
  m_historyButton->setAccessibleName(open ? QStringLiteral("Hide history") : QStringLiteral("Show history"));
}

std::pair<THistoryChart*, int> TStats::ColumnChart(int column) const {
  if (column < 4) return {m_queueChart, column};
  if (column < kHistoryFirstRate) return {m_loadChart, 0};
  return {m_rateChart, column - kHistoryFirstRate};
}

void TStats::Chart(const HistorySample& sample) {
  if (!m_historyPanel->isVisibleTo(this)) return;
  for (int column = 0; column < kHistoryColumns; ++column)
    if (const auto& value = sample.values[static_cast<std::size_t>(column)]) {
      const auto [chart, series] = ColumnChart(column);
      chart->Append(series, sample.timeMs, *value);
    }
  for (THistoryChart* chart : {m_queueChart, m_loadChart, m_rateChart}) chart->Slide(sample.timeMs);
}

void TStats::SampleRates() {
  if (!m_rateSource) return;
  m_history.AddRates(NowMs(), m_rateSource());
  Chart(m_history.Samples().back());
}

void TStats::resizeEvent(QResizeEvent* event) {
  m_historyPanel->setGeometry(kClientWidth, 0, width() - kClientWidth, height());
  QWidget::resizeEvent(event);
}

void TStats::Export() {
  const QString name = m_prompts.SaveFile(
      QStringLiteral("Export history"),
      {QStringLiteral("CSV file (*.csv)"), QString::fromLatin1(kAnyFileFilter)}, 0, QStringLiteral("csv"));
  if (name.isEmpty()) return;
  const QByteArray csv = m_history.ToCsv(QDateTime::currentDateTime().offsetFromUtc()).toUtf8();
  QSaveFile file(name);
  if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
    m_prompts.Inform(QStringLiteral("Unable to write to %1").arg(name), {}, PromptIcon::Error);
}

}  // namespace hlx
