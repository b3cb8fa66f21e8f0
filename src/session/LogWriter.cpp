#include "session/LogWriter.h"

#include "link/Comms.h"

namespace hlx {

const QString LogWriter::kNoLogStatus = QStringLiteral("Log: ---");

QString LogWriter::LinesStatus(int lines) { return QStringLiteral("Log: %1 lines").arg(lines); }

QString LogChannelText(std::uint8_t channelKind) {
  switch (channelKind) {
    case ChSerial: return QStringLiteral("Ser");
    case ChUdp: return QStringLiteral("UDP");
    case ChTcp: return QStringLiteral("TCP");
    default: return QStringLiteral("---");
  }
}

QByteArray FormatLogLine(bool diagnostic, std::string_view text, LogDirection direction,
                         std::uint8_t channelKind, const QTime& time) {
  const QByteArray bare(text.data(), static_cast<qsizetype>(text.size()));
  if (!diagnostic) return bare;
  QByteArray line;
  line.reserve(bare.size() + 24);
  line += '[';
  line += time.toString(QStringLiteral("hh:mm:ss.zzz ")).toLatin1();
  line += LogChannelText(channelKind).toLatin1();
  line += direction == LogDirection::Received ? "<-" : "->";
  line += "] ";
  line += bare;
  return line;
}

QString LogWriter::Start(const QString& fileName, bool diagnostic) {
  Stop();
  m_fileName = fileName;
  m_lines = 0;
  m_diagnostic = diagnostic;
  m_file.setFileName(fileName);
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return QStringLiteral("Error Creating \"%1\"").arg(fileName);
  return {};
}

QString LogWriter::WriteLog(std::string_view text, LogDirection direction, std::uint8_t channelKind,
                            const QTime& time) {
  if (!m_file.isOpen()) return {};
  ++m_lines;  // counted before the write is attempted
  QByteArray line = FormatLogLine(m_diagnostic, text, direction, channelKind, time);
  line += "\r\n";
  const bool written = m_file.write(line) == line.size() && m_file.flush();
  if (written) return {};
  QString error = m_file.errorString();
  if (error.isEmpty()) error = QStringLiteral("Error writing \"%1\"").arg(m_fileName);
  m_file.close();
  return error;
}

void LogWriter::Stop() {
  if (m_file.isOpen()) m_file.close();
}

}  // namespace hlx
