#pragma once
// The traffic log of the main window: an NMEA log holds the bare lines, a
// diagnostic log stamps each line with the time, the channel kind and the
// direction. Lines end in CR LF. Every line is flushed as it is written so
// that a full disk is noticed at once and never loses lines silently.
// No widget here: the window shows the texts this class returns.

#include <QFile>
#include <QString>
#include <QTime>
#include <cstdint>
#include <string_view>

namespace hlx {

enum class LogDirection { Received, Sent };

// "Ser", "UDP", "TCP"; "---" while no channel is open (a command typed or a
// speed changed while disconnected still gets a well-formed stamp).
QString LogChannelText(std::uint8_t channelKind);

// One log line without its line end.
QByteArray FormatLogLine(bool diagnostic, std::string_view text, LogDirection direction,
                         std::uint8_t channelKind, const QTime& time);

class LogWriter {
 public:
  static const QString kNoLogStatus;      // "Log: ---"
  static QString LinesStatus(int lines);  // "Log: %d lines"

  LogWriter() = default;
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  // Creates (or overwrites) the file and starts logging. Returns an empty
  // text on success, else the message to show; logging then stays off.
  QString Start(const QString& fileName, bool diagnostic);
  // Writes one line. On a write error logging stops, the file is closed and
  // the error's message is returned; otherwise an empty text.
  // Does nothing while no log is open.
  QString WriteLog(std::string_view text, LogDirection direction, std::uint8_t channelKind,
                   const QTime& time);
  // Closes the file; nothing happens while no log is open.
  void Stop();

  bool LogActive() const { return m_file.isOpen(); }
  // Lines counted since the log was started (kept after it stopped).
  int LogLines() const { return m_lines; }

 private:
  QFile m_file;
  QString m_fileName;
  bool m_diagnostic = false;
  int m_lines = 0;
};

}  // namespace hlx
