// The main window under traffic: the real TMainForm, shown, connected over
// TCP to hlx-sim sending RATE lines per second. While it runs, a 10 ms timer
// measures how late the window's event loop serves it (what a user feels as a
// frozen window), and an NMEA log counts every line the window handled.
//
//   bench_monitor RATE SECONDS [--cpu] [--tab TITLE]
//
// The window is painted on the X display when there is one (run it under
// `xvfb-run -a` for a virtual screen), else offscreen, which it says. The
// process CPU is the window's cost: the simulator is another process.
// --cpu measures what a user watching the monitor costs: no log (lines are
// then not counted) and the lateness probe every 100 ms instead of 10, so
// that the probe's own wake-ups hardly count. --tab selects that tab of the
// monitor.
//
// Exits with 0 when the event loop never stalls for 250 ms or more and the
// window keeps up with the traffic (at least 95 % of the lines asked for).

#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "session/UserPrompts.h"
#include "window/MainForm.h"

namespace {

// HLX_TEST_SIM_ADDRESS moves the simulator, so that runs side by side do not meet.
QString SimAddress() { return qEnvironmentVariable("HLX_TEST_SIM_ADDRESS", QStringLiteral("127.0.0.56")); }

// Answers the log's save dialog with a prepared name; everything else is
// printed so that an unexpected message is seen.
class BenchPrompts : public hlx::UserPrompts {
 public:
  QString logName;
  void Inform(const QString& text, const QString&, hlx::PromptIcon) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  }
  bool AskYesNo(const QString& text, const QString&, hlx::PromptIcon) override {
    std::fprintf(stderr, "question: %s\n", qPrintable(text));
    return false;
  }
  QString OpenFile(const QString&, const QStringList&, int, const QString&) override { return {}; }
  QString SaveFile(const QString&, const QStringList&, int, const QString&, const QString&) override {
    return logName;
  }
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long LogLines(const QString& name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  return f.readAll().count("\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList args = [&] {
    QStringList a;
    for (int i = 1; i < argc; ++i) a << QString::fromLocal8Bit(argv[i]);
    return a;
  }();
  const bool log = !args.contains(QStringLiteral("--cpu"));
  const int probeMs = log ? 10 : 100;
  const qsizetype tabArg = args.indexOf(QStringLiteral("--tab"));
  const QString tabTitle = tabArg >= 0 ? args.value(tabArg + 1) : QString();
  if (args.size() < 2 || (tabArg >= 0 && tabTitle.isEmpty())) {
    std::fprintf(stderr, "usage: %s RATE SECONDS [--cpu] [--tab TITLE]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());  // never the user's settings
  QApplication app(argc, argv);
  const int rate = args[0].toInt();
  const int seconds = args[1].toInt();
  std::printf("platform %s%s\n", qPrintable(QGuiApplication::platformName()),
              QGuiApplication::platformName() == QLatin1String("offscreen")
                  ? " (no DISPLAY: nothing reaches a screen; run under xvfb-run -a)"
                  : "");

  QProcess sim;
  sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  sim.start(QStringLiteral(HLX_SIM_PATH),
            {"--address", SimAddress(), "--traffic", QString::number(rate), "--ov-period", "0"});
  bool ready = false;
  while (!ready && sim.waitForReadyRead(5000)) ready = sim.readAll().contains("ready");
  if (!ready) {
    std::fprintf(stderr, "hlx-sim did not start\n");
    return 2;
  }

  BenchPrompts prompts;
  prompts.logName = dir.filePath(QStringLiteral("bench-log.txt"));
  auto window = std::make_unique<hlx::TMainForm>(prompts);
  window->show();
  auto* port = window->findChild<QComboBox*>(QStringLiteral("cbPort"));
  const int tcp = port->findText(QStringLiteral("TCP"));
  port->setCurrentIndex(tcp);
  emit port->activated(tcp);
  window->findChild<QLineEdit*>(QStringLiteral("edtMuxIP"))->setText(SimAddress());
  window->findChild<QPushButton*>(QStringLiteral("btnConnect"))->click();
  if (log) window->findChild<QAction*>(QStringLiteral("miStartLog"))->trigger();
  if (!tabTitle.isEmpty()) {
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabMonitor"));
    int index = -1;
    for (int i = 0; tabs && i < tabs->count(); ++i)
      if (tabs->tabText(i) == tabTitle) index = i;
    if (index < 0) {
      std::fprintf(stderr, "the monitor has no tab \"%s\"\n", qPrintable(tabTitle));
      return 2;
    }
    tabs->setCurrentIndex(index);
    std::printf("monitor tab \"%s\"%s\n", qPrintable(tabTitle),
                tabs->widget(index)->children().size() <= 1 ? " (empty)" : "");
  }

  // Let identification and read-back finish before measuring.
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 1500) app.processEvents(QEventLoop::AllEvents, 20);
  const long linesStart = log ? LogLines(prompts.logName) : 0;

  std::vector<qint64> lateness;
  QElapsedTimer tick;
  tick.start();
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout,
                   [&] { lateness.push_back(std::max<qint64>(0, tick.restart() - probeMs)); });
  probe.start(probeMs);
  const double cpuStart = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
  app.exec();
  probe.stop();
  const double elapsed = double(wall.elapsed()) / 1000.0;
  const double cpu = CpuSeconds() - cpuStart;
  const long lines = log ? LogLines(prompts.logName) - linesStart : 0;

  window->close();
  window.reset();
  sim.terminate();
  if (!sim.waitForFinished(3000)) sim.kill();

  std::sort(lateness.begin(), lateness.end());
  const auto at = [&](double q) {
    return lateness.empty() ? qint64(-1) : lateness[std::size_t(q * double(lateness.size() - 1))];
  };
  const double perSecond = double(lines) / elapsed;
  if (log)
    std::printf("monitor at %d lines/s for %.1f s: window handled %.0f lines/s (%ld lines)\n", rate, elapsed,
                perSecond, lines);
  else
    std::printf("monitor at %d lines/s for %.1f s, no log (lines not counted)\n", rate, elapsed);
  std::printf("  event-loop lateness: median %lld ms, p99 %lld ms, max %lld ms; cpu %.2f%% of a core\n",
              static_cast<long long>(at(0.5)), static_cast<long long>(at(0.99)),
              static_cast<long long>(at(1.0)), 100.0 * cpu / elapsed);
  const bool ok = at(1.0) < 250 && (!log || perSecond >= 0.95 * rate);
  return ok ? 0 : 1;
}
