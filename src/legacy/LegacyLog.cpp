#include "legacy/LegacyLog.h"

namespace hlx::legacy {

const QString LegacyLog::kNoLogStatus = QStringLiteral("Log: ---");

QString LegacyLog::LinesStatus(int lines) { return QStringLiteral("Log: %1 lines").arg(lines); }

QString LegacyLog::Start(const QString& fileName, bool timed) {
  Stop();
  m_lines = 0;
  m_file.setFileName(fileName);
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return QStringLiteral("Error Creating \"%1\"").arg(fileName);
  m_timed = timed;
  return {};
}

QString LegacyLog::Write(std::string_view line, const QTime& arrival) {
  if (!Active()) return {};
  ++m_lines;
  QByteArray bytes;
  if (m_timed) bytes = arrival.toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1() + ": ";
  bytes.append(line.data(), static_cast<qsizetype>(line.size()));
  if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
    const QString error = m_file.errorString();
    m_file.close();
    return error;
  }
  return {};
}

void LegacyLog::Stop() {
  if (m_file.isOpen()) m_file.close();
}

}  // namespace hlx::legacy
