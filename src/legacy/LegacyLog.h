#pragma once
// The older generations' traffic log: every received line exactly as it
// arrived (CR LF included), in a timed log preceded by its local arrival
// time as "hh:mm:ss.zzz: ". Flushed after every line, so a full disk is
// noticed at once. No widget here.

#include <QFile>
#include <QString>
#include <QTime>

#include <string_view>

namespace hlx::legacy {

class LegacyLog {
 public:
  // Creates (or replaces) the file; empty on success, else the message to show.
  QString Start(const QString& fileName, bool timed);
  // Counts and writes one line; on a write error the log stops and the error's text is returned.
  QString Write(std::string_view line, const QTime& arrival);
  void Stop();

  bool Active() const { return m_file.isOpen(); }
  int Lines() const { return m_lines; }

 private:
  QFile m_file;
  bool m_timed = false;
  int m_lines = 0;
};

}  // namespace hlx::legacy
