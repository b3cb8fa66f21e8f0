#include "legacy/LegacyLog.h"

#include <cerrno>
#include <cstring>

namespace hlx::legacy {

QString LegacyLog::Start(const QString& fileName, bool timed) {
  Stop();
  m_lines = 0;
  m_file.setFileName(fileName);
  // Unbuffered: a failing write reports the system's reason at once.
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
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
    // Qt may leave the reason empty (a full disk, say): the system's own text then.
    const int code = errno;
    QString error = m_file.errorString();
    if (m_file.error() == QFileDevice::NoError || error.isEmpty() || error == QStringLiteral("Unknown error"))
      error = QString::fromLocal8Bit(std::strerror(code));
    m_file.close();
    return error;
  }
  return {};
}

void LegacyLog::Stop() {
  if (m_file.isOpen()) m_file.close();
}

}  // namespace hlx::legacy
