// hlx-sim: a headless multiplexer on a pseudo-terminal, UDP and TCP.
// This file only starts the server the command line describes.

#include <unistd.h>
#include <QCoreApplication>
#include <QNetworkProxy>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <exception>

#include "SimOptions.h"

using namespace hlx::sim;

namespace {

int g_signalPipe[2] = {-1, -1};

// The signal number travels through the pipe to the event loop.
void OnSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

[[noreturn]] void Fail(const QString& text) {
  std::fprintf(stderr, "hlx-sim: %s\n", qPrintable(text));
  std::exit(2);
}

void PrintLine(const QString& text) {
  std::printf("%s\n", qPrintable(text));
  std::fflush(stdout);
}

// SIGUSR1 hangs up (once `server` exists); SIGINT and SIGTERM end the program.
void HandleSignals(QSocketNotifier& notifier, const std::unique_ptr<SimServer>& server) {
  if (::pipe(g_signalPipe) != 0) Fail(QStringLiteral("pipe failed"));
  notifier.setSocket(g_signalPipe[0]);
  notifier.setEnabled(true);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGUSR1, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  QObject::connect(&notifier, &QSocketNotifier::activated, [&server] {
    char signal = 0;
    if (::read(g_signalPipe[0], &signal, 1) != 1) return;
    if (signal == SIGUSR1 && server)
      server->HangUp();
    else if (signal != SIGUSR1)
      QCoreApplication::quit();
  });
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("hlx-sim"));
  // Loopback and local-network peers only: never consult the desktop's proxy set-up.
  QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
  QString error;
  const std::optional<SimOptions> options = ParseSimOptions(QCoreApplication::arguments(), error);
  if (!options) Fail(error);

  std::unique_ptr<SimServer> server;
  QSocketNotifier signalNotifier(QSocketNotifier::Read);
  HandleSignals(signalNotifier, server);
  try {
    server = std::make_unique<SimServer>(options->device, options->server);
  } catch (const std::exception& e) {
    Fail(QString::fromLocal8Bit(e.what()));
  }
  QStringList endpoints;
  if (!server->Start(endpoints, error)) {
    server.reset();  // removes a pty link made before the failure
    Fail(error);
  }
  QObject::connect(server.get(), &SimServer::hungUp, [] { PrintLine(QStringLiteral("hangup")); });
  QObject::connect(server.get(), &SimServer::note, &PrintLine);
  QObject::connect(server.get(), &SimServer::netEvent, [](const QString& text) { PrintLine("net " + text); });
  QObject::connect(server.get(), &SimServer::wifiEvent,
                   [](const QString& text) { PrintLine("wifi " + text); });
  for (const QString& e : endpoints) PrintLine(e);
  PrintLine(QStringLiteral("ready"));
  const int rc = app.exec();
  server.reset();
  return rc;
}
