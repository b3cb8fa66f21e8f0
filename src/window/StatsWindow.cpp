#include "window/StatsWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>

namespace hlx {

TStats::TStats(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("Stats"));
  setWindowTitle(QStringLiteral("Statistics"));
  setFixedSize(kClientWidth, kClientHeight);
  BuildControls();
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

void TStats::HandleSTATReply(std::string_view line) { ShowReport(ParseSTATReply(line)); }

void TStats::showEvent(QShowEvent* event) {
  // Showing the window again starts from zero (not when merely restored).
  if (!event->spontaneous())
    for (auto* bar : m_bars) bar->setValue(0);
  QWidget::showEvent(event);
}

}  // namespace hlx
