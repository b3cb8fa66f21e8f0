// hlx-cli monitor and flash: the traffic view and the firmware update without a window.

#include <unistd.h>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <map>

#include "cli/CliCommands.h"
#include "cli/ConsolePrompts.h"
#include "link/Nmeadefs.h"
#include "session/TrafficView.h"

namespace hlx::cli {

namespace {

constexpr int kRatePeriodMs = 1000;
constexpr int kConvertedInput = 5;
constexpr double kMaxSeconds = 1e6;  // keeps the milliseconds inside an int

// "GPRMC", "--RMC", "GP": the address begins with the pattern, '-' standing for any character.
bool AddressMatches(const QString& address, const QString& pattern) {
  if (address.size() < pattern.size()) return false;
  for (qsizetype i = 0; i < pattern.size(); ++i)
    if (pattern[i] != QLatin1Char('-') && pattern[i] != address[i]) return false;
  return true;
}

}  // namespace

bool SecondsOption(const QCommandLineParser& p, const QString& name, int& ms) {
  if (!p.isSet(name)) return true;
  bool ok = false;
  const double seconds = p.value(name).toDouble(&ok);
  if (!ok || seconds <= 0 || seconds > kMaxSeconds) {
    PrintError(QStringLiteral("--%1 must be a positive number of seconds").arg(name));
    return false;
  }
  ms = static_cast<int>(seconds * 1000);
  return true;
}

int Monitor(CliSession& s, const QCommandLineParser& p) {
  const bool tag = p.isSet("tag");
  const bool rates = p.isSet("rates");
  const QString pattern = p.value("filter");
  if (pattern.size() > qsizetype(kMaxAddressLength)) {
    PrintError(QStringLiteral("--filter: an address has at most %1 characters").arg(kMaxAddressLength));
    return ExitUsage;
  }
  int input = 0;
  if (p.isSet("input")) {
    bool ok = false;
    input = p.value("input").toInt(&ok);
    if (!ok || input < 1 || input > kConvertedInput) {
      PrintError(QStringLiteral("--input must be 1..5"));
      return ExitUsage;
    }
  }
  int durationMs = -1;
  if (!SecondsOption(p, QStringLiteral("duration"), durationMs)) return ExitUsage;
  // The window reads the configuration on connecting; the option word read
  // here is what an input filter gives back at the end.
  if (const int r = s.ReadConfiguration(); r != ExitOk) return r;

  std::map<QString, int> counts;
  s.SetLineSink([&](const std::string& line) {
    const auto text = DisplayText(line, tag);
    // An input filter shows that input's traffic, not the multiplexer's own sentences.
    if (!text || (input > 0 && LineSourceInput(line) != input)) return;
    const QString address = RowKey(DisplayText(line, false).value_or(QString()));
    if (!pattern.isEmpty() && !AddressMatches(address, pattern)) return;
    if (rates) {
      ++counts[address];
      return;
    }
    std::fputs(qPrintable(*text), stdout);
    std::fputc('\n', stdout);
    if (std::fflush(stdout) == EOF) s.Interrupt();  // the reader is gone (`| head`): end as on Ctrl-C
  });
  if (input > 0) s.SetViewFilter(input);

  QTimer ratesTimer;
  QElapsedTimer period;
  if (rates) {
    period.start();
    ratesTimer.setInterval(kRatePeriodMs);
    QObject::connect(&ratesTimer, &QTimer::timeout, [&] {
      const double seconds = static_cast<double>(period.restart()) / 1000.0;
      for (const auto& [address, count] : counts)
        std::printf("%-10s %8.1f/s\n", qPrintable(address), count / seconds);
      std::printf("\n");
      if (std::fflush(stdout) == EOF) s.Interrupt();
      counts.clear();
    });
    ratesTimer.start();
  }
  s.WaitFor([] { return false; }, durationMs);
  s.SetLineSink({});
  return s.ChannelLost() ? ExitConnection : ExitOk;
}

int Flash(CliSession& s, ConsolePrompts& prompts, const QCommandLineParser& p) {
  const QStringList files = p.positionalArguments();
  const bool builtIn = p.isSet("builtin");
  if (builtIn && !files.isEmpty()) {
    PrintError(QStringLiteral("a firmware file and --builtin exclude each other"));
    return ExitUsage;
  }
  if (builtIn == (files.size() == 1) || files.size() > 1) {
    PrintError(QStringLiteral("flash needs a firmware file or --builtin"));
    return ExitUsage;
  }
  // A file that cannot be read is refused before the multiplexer is touched.
  if (!builtIn) {
    const QFileInfo file(files[0]);
    const QString why = !file.exists()                         ? QStringLiteral("no such file")
                        : file.isDir()                         ? QStringLiteral("a folder")
                        : !file.isFile() || !file.isReadable() ? QStringLiteral("not a readable file")
                                                               : QString();
    if (!why.isEmpty()) {
      PrintError(QStringLiteral("Unable to read %1: %2").arg(files[0], why));
      return ExitFile;
    }
  }
  prompts.SetAnswer(p.isSet("yes"));
  // As a path, so that a file named like the built-in image's resource is still that file.
  if (!builtIn) prompts.SetFile(QFileInfo(files[0]).absoluteFilePath());
  // A device whose firmware is too old, or one left in its bootloader, is what
  // an update is for; an older generation's bootloader is not this window's.
  if (const int r = s.Identify(true); r != ExitOk) return r;
  if (s.InBootloader()) {
    PrintError(QStringLiteral("The multiplexer is in its bootloader; updating it."));
  } else if (s.Identity().form.formId != FormMain) {
    PrintError(QStringLiteral("The multiplexer runs firmware %1 of an older generation; hlx-cli flash "
                              "serves the current generation only")
                   .arg(s.Identity().ver.version));
    return ExitGeneration;
  }
  const bool tty = ::isatty(STDERR_FILENO) != 0;
  int lastTenth = -1;
  s.SetProgressSink([&](int position, int maximum) {
    if (maximum <= 0) return;
    const int percent = position * 100 / maximum;
    if (tty) {
      std::fprintf(stderr, "\r%s %3d %%", kUpdatingFirmwareCaption, percent);
    } else if (percent / 10 != lastTenth) {
      lastTenth = percent / 10;
      std::fprintf(stderr, "%s %d %%\n", kUpdatingFirmwareCaption, percent);
    }
    if (tty && position >= maximum) std::fputc('\n', stderr);
    std::fflush(stderr);
  });
  return s.Flash(builtIn);
}

}  // namespace hlx::cli
