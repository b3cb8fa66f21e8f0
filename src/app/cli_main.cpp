// hlx-cli: the program's functions without a window (see hlx-cli --help).

#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

#include "cli/CliCommands.h"
#include "cli/ConsolePrompts.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("hlx-cli"));
  hlx::cli::ConsolePrompts prompts;
  hlx::cli::CliSession session(prompts);

  // Ctrl-C and SIGTERM reach the event loop through a pipe; the command then
  // ends the way the window's Disconnect does.
  if (::pipe(g_signalPipe) != 0) return hlx::cli::ExitConnection;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, [&session] {
    char signal = 0;
    if (::read(g_signalPipe[0], &signal, 1) == 1) session.Interrupt();
  });
  return hlx::cli::RunCli(QCoreApplication::arguments(), session, prompts);
}
