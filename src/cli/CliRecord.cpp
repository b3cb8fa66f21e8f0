// hlx-cli record: every received line into a capture, stamped with its
// receive time. It sends nothing to the multiplexer, so the capture starts
// at once and shows the device exactly as it runs.

#include <QCommandLineParser>
#include <QDateTime>
#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/ConsolePrompts.h"
#include "session/Capture.h"

namespace hlx::cli {

int Record(CliSession& s, const QCommandLineParser& p) {
  const QString target = p.value("output");
  if (target.isEmpty()) {
    PrintError(QStringLiteral("record needs -o FILE (- for standard output)"));
    return ExitUsage;
  }
  int durationMs = -1;
  if (!SecondsOption(p, QStringLiteral("duration"), durationMs)) return ExitUsage;

  const bool toStdout = target == QLatin1String("-");
  CaptureRecorder recorder;
  if (!toStdout) {
    if (const QString error = recorder.Start(target); !error.isEmpty()) {
      PrintError(error);
      return ExitFile;
    }
  }
  std::int64_t stdoutLines = 0;
  bool readerGone = false;
  QString failure;
  s.Core().SetLineTap([&](std::string_view line) {
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    if (!toStdout) {
      if (failure.isEmpty()) failure = recorder.Write(line, now);
      return;
    }
    if (readerGone) return;
    const std::string text = CaptureLine(line, now);
    // The reader is gone (`| head`): end as on Ctrl-C.
    readerGone =
        std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) == EOF;
    if (!readerGone) ++stdoutLines;
  });
  s.WaitFor([&] { return readerGone || !failure.isEmpty(); }, durationMs);
  s.Core().SetLineTap({});
  recorder.Stop();

  const std::int64_t lines = toStdout ? stdoutLines : recorder.Lines();
  const QString where = toStdout ? QStringLiteral("standard output") : target;
  if (!failure.isEmpty()) {
    PrintError(QStringLiteral("%1; recording stopped after %2 lines").arg(failure).arg(lines));
    return ExitFile;
  }
  PrintError(QStringLiteral("Recorded %1 lines to %2").arg(lines).arg(where));
  return s.ChannelLost() ? ExitConnection : ExitOk;
}

}  // namespace hlx::cli
