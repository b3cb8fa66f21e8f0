#include "config/StatHistory.h"

#include <QDateTime>

namespace hlx {

QString HistoryColumnName(int column) {
  if (column < 4) return QStringLiteral("In%1").arg(column + 1);
  if (column < kHistoryFirstRate) return QStringLiteral("Load");
  return QStringLiteral("Rate ") +
         QString::fromStdString(SentenceInspector::InputText(column - kHistoryFirstRate));
}

bool StatHistory::AddReport(std::int64_t timeMs, const StatReport& report) {
  if (!report.Values[0]) return false;  // fields come in order: no first, none
  HistorySample sample{timeMs, {}};
  for (std::size_t i = 0; i < report.Values.size(); ++i)
    if (report.Values[i]) sample.values[i] = *report.Values[i];
  Add(sample);
  return true;
}

void StatHistory::AddRates(std::int64_t timeMs, const Rates& rates) {
  HistorySample sample{timeMs, {}};
  for (std::size_t i = 0; i < rates.size(); ++i) sample.values[kHistoryFirstRate + i] = rates[i];
  Add(sample);
}

void StatHistory::Add(const HistorySample& sample) {
  m_samples.push_back(sample);
  while (!m_samples.empty() &&
         (m_samples.size() > kMaxHistorySamples || sample.timeMs - m_samples.front().timeMs > kHistorySpanMs))
    m_samples.pop_front();
}

QString StatHistory::ToCsv(int utcOffsetSeconds) const {
  QString csv = QStringLiteral("Time");
  for (int column = 0; column < kHistoryColumns; ++column) csv += ',' + HistoryColumnName(column);
  csv += QStringLiteral("\r\n");
  for (const HistorySample& sample : m_samples) {
    csv += QDateTime::fromMSecsSinceEpoch(sample.timeMs, Qt::OffsetFromUTC, utcOffsetSeconds)
               .toString(Qt::ISODateWithMs);
    for (int column = 0; column < kHistoryColumns; ++column) {
      csv += ',';
      if (const auto& value = sample.values[static_cast<std::size_t>(column)])
        csv += column < kHistoryFirstRate ? QString::number(static_cast<long long>(*value))
                                          : QString::number(*value, 'f', 1);
    }
    csv += QStringLiteral("\r\n");
  }
  return csv;
}

}  // namespace hlx
