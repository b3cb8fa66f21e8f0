#include "ui/HistoryChart.h"

#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace hlx {

namespace {
constexpr double kMinAutoRange = 1.0;  // an idle chart still has a scale
constexpr int kValueTicks = 5;
constexpr qint64 kMinSpanMs = 60 * 1000;
constexpr qint64 kSecondsFormatMs = 5 * 60 * 1000;  // a shorter axis labels its seconds
}  // namespace

THistoryChart::THistoryChart(const QString& title, qint64 spanMs, int maxPoints, QWidget* parent)
    : QChartView(parent),
      m_spanMs(spanMs),
      m_maxPoints(maxPoints),
      m_timeAxis(new QDateTimeAxis),
      m_valueAxis(new QValueAxis) {
  // The view's own chart: one set later with setChart draws no time axis (Qt 6.4).
  QChart* chart = this->chart();
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->setMargins(QMargins(2, 2, 2, 2));
  m_timeAxis->setTickCount(4);
  m_valueAxis->setLabelFormat(QStringLiteral("%g"));
  m_valueAxis->setTickCount(kValueTicks);
  m_valueAxis->setRange(0, kMinAutoRange);
  chart->addAxis(m_timeAxis, Qt::AlignBottom);
  chart->addAxis(m_valueAxis, Qt::AlignLeft);
  setRenderHint(QPainter::Antialiasing);
  setAccessibleName(title);
  Slide(QDateTime::currentMSecsSinceEpoch());
}

int THistoryChart::AddSeries(const QString& name, bool hiddenWhileZero) {
  auto* line = new QLineSeries;
  line->setName(name);
  chart()->addSeries(line);
  // The theme has five colours; ten inputs need as many that tell apart.
  static const QColor kColours[] = {0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd,
                                    0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf};
  QPen pen = line->pen();
  pen.setColor(kColours[static_cast<std::size_t>(SeriesCount()) % std::size(kColours)]);
  line->setPen(pen);
  line->attachAxis(m_timeAxis);
  line->attachAxis(m_valueAxis);
  const int index = SeriesCount();
  m_series.push_back(line);
  if (hiddenWhileZero) {
    line->setVisible(false);
    for (QLegendMarker* marker : chart()->legend()->markers(line)) marker->setVisible(false);
  }
  connect(line, &QLineSeries::hovered, this, [this, index](const QPointF& point, bool entered) {
    if (entered)
      QToolTip::showText(QCursor::pos(), HoverText(index, point), this);
    else
      QToolTip::hideText();
  });
  return index;
}

void THistoryChart::SetFixedRange(double max, int ticks) {
  m_fixedRange = true;
  m_valueAxis->setRange(0, max);
  m_valueAxis->setTickCount(ticks);
}

void THistoryChart::Reveal(QLineSeries* line, double value) {
  if (line->isVisible() || value <= 0) return;
  line->setVisible(true);
  for (QLegendMarker* marker : chart()->legend()->markers(line)) marker->setVisible(true);
}

void THistoryChart::Append(int series, qint64 timeMs, double value) {
  QLineSeries* line = m_series[static_cast<std::size_t>(series)];
  line->append(static_cast<double>(timeMs), value);
  if (line->count() > m_maxPoints) line->removePoints(0, line->count() - m_maxPoints);
  Reveal(line, value);
  if (!m_fixedRange && value > m_valueAxis->max()) FitValueAxis();
}

void THistoryChart::Replace(int series, const QList<QPointF>& points) {
  QLineSeries* line = m_series[static_cast<std::size_t>(series)];
  line->replace(points.size() > m_maxPoints ? points.mid(points.size() - m_maxPoints) : points);
  for (const QPointF& p : points) Reveal(line, p.y());
  if (!m_fixedRange) FitValueAxis();
}

void THistoryChart::Slide(qint64 nowMs) {
  const double oldest = static_cast<double>(nowMs - m_spanMs);
  bool dropped = false;
  for (QLineSeries* line : m_series) {
    int old = 0;
    while (old < line->count() && line->at(old).x() < oldest) ++old;
    if (old > 0) line->removePoints(0, old);
    dropped = dropped || old > 0;
  }
  // The axis covers what was kept, at least a minute: a history that has just
  // begun is not a pixel at the right edge of a quarter of an hour.
  double first = static_cast<double>(nowMs);
  for (const QLineSeries* line : m_series)
    if (line->count() > 0) first = std::min(first, line->at(0).x());
  const qint64 start = std::max(nowMs - m_spanMs, std::min(static_cast<qint64>(first), nowMs - kMinSpanMs));
  m_timeAxis->setFormat(nowMs - start < kSecondsFormatMs ? QStringLiteral("hh:mm:ss")
                                                         : QStringLiteral("hh:mm"));
  m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(start), QDateTime::fromMSecsSinceEpoch(nowMs));
  if (dropped && !m_fixedRange) FitValueAxis();
}

void THistoryChart::FitValueAxis() {
  double top = kMinAutoRange;
  for (const QLineSeries* line : m_series)
    for (int i = 0; i < line->count(); ++i) top = std::max(top, line->at(i).y());
  // Round up to 1, 2 or 5 times a power of ten so the ticks stay readable.
  const double decade = std::pow(10.0, std::floor(std::log10(top)));
  const double step = top <= decade ? 1 : top <= 2 * decade ? 2 : top <= 5 * decade ? 5 : 10;
  m_valueAxis->setRange(0, step * decade);
}

QString THistoryChart::HoverText(int series, const QPointF& near) const {
  const QLineSeries* line = Series(series);
  if (line->count() == 0) return {};
  // Points are in time order: the nearest one by time.
  int lo = 0, hi = line->count() - 1;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (line->at(mid).x() < near.x())
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo > 0 && near.x() - line->at(lo - 1).x() < line->at(lo).x() - near.x()) --lo;
  const QPointF p = line->at(lo);
  return QStringLiteral("%1: %2 at %3")
      .arg(line->name(), QString::number(p.y(), 'f', m_decimals),
           QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(p.x())).toString(QStringLiteral("hh:mm:ss")));
}

}  // namespace hlx
