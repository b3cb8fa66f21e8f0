#pragma once
// A live line chart over a sliding time span: the x axis shows what was
// kept (at least a minute, at most the last `spanMs`) up to now, older points are dropped as new ones come,
// so a chart costs one append per value and bounded memory. Hovering a line
// shows the value and the time of its nearest point.

#include <QChartView>
#include <QList>
#include <QPointF>
#include <vector>

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace hlx {

class THistoryChart : public QChartView {
  Q_OBJECT

 public:
  // `maxPoints` bounds every line whatever the rate of its values.
  THistoryChart(const QString& title, qint64 spanMs, int maxPoints, QWidget* parent = nullptr);

  // Lines are numbered in the order they are added. A hidden line keeps its
  // points and shows (with its legend entry) from its first value above zero.
  int AddSeries(const QString& name, bool hiddenWhileZero = false);
  // A fixed value axis 0..max with `ticks` labels; without one the axis
  // grows with the values.
  void SetFixedRange(double max, int ticks);
  void SetDecimals(int decimals) { m_decimals = decimals; }

  // Time in milliseconds since the epoch. Call Slide after the appends of one moment.
  void Append(int series, qint64 timeMs, double value);
  void Replace(int series, const QList<QPointF>& points);
  void Slide(qint64 nowMs);

  int SeriesCount() const { return static_cast<int>(m_series.size()); }
  const QLineSeries* Series(int series) const { return m_series[static_cast<std::size_t>(series)]; }
  // "In1: 12 at 13:52:41", as the hover tip shows it.
  QString HoverText(int series, const QPointF& near) const;

 private:
  void Reveal(QLineSeries* line, double value);
  void FitValueAxis();

  qint64 m_spanMs;
  int m_maxPoints;
  int m_decimals = 0;
  bool m_fixedRange = false;
  QDateTimeAxis* m_timeAxis;
  QValueAxis* m_valueAxis;
  std::vector<QLineSeries*> m_series;
};

}  // namespace hlx
