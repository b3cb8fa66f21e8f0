#pragma once
// Drives the real window of one older generation (4 unless told otherwise)
// in GUI tests against hlx-sim of the same generation on a pseudo-terminal:
// private settings, scripted prompts, a recorded restart request,
// short-hands for the controls, what the simulator received and what it
// holds now.

#include <QTcpSocket>
#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "ControlHarness.h"
#include "ScriptedPrompts.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "legacy/window/LegFilterGrid.h"
#include "legacy/window/LegMainForm.h"
#include "link/Comms.h"
#include "session/VersionCheck.h"

namespace hlx::test {

class LegacyHarness : public ControlHarness<legacy::TLegMainForm> {
 public:
  QTemporaryDir files;
  const int generation;

  explicit LegacyHarness(int gen = 4) : generation(gen) {
    QSettings s = Settings();
    s.clear();
    s.setValue("FormID", generation);  // the window of the simulator's generation: no hand-over
  }
  // Closed while `files` still exists: closing writes the settings and ends a log.
  ~LegacyHarness() {
    if (window && window->isVisible()) window->close();
  }

  // Starts the simulator of the harness's generation and
  // creates the window with the simulator's terminal as its only extra port.
  // With `read` the port and 38400 are the stored choice, so the window
  // connects and reads the configuration by itself when it is first shown;
  // without, the port is chosen in the list after the window has started.
  bool Start(const QStringList& args = {}, bool read = true) {
    sim = std::make_unique<SimProcess>(true);
    if (!sim->start(QStringList{QStringLiteral("--generation"), QString::number(generation)} + args))
      return false;
    qputenv("HLX_EXTRA_PORTS", sim->ptyPath().toLocal8Bit());
    const int port = static_cast<int>(BuildPortList().indexOf(sim->ptyPath()));
    if (port < 0) return false;
    if (read) {
      QSettings s = Settings();
      s.setValue("BaudRate", 3);  // the simulator's 38400
      s.setValue("Port", port + 2);
    }
    switch (generation) {
      case 1: window = std::make_unique<legacy::TLegMainForm1>(prompts); break;
      case 2: window = std::make_unique<legacy::TLegMainForm2>(prompts); break;
      case 3: window = std::make_unique<legacy::TLegMainForm3>(prompts); break;
      default: window = std::make_unique<legacy::TLegMainForm4>(prompts); break;
    }
    window->show();
    // The last query of "Read Configuration", and its reply: the replies are
    // handled in order, so once that one shows, every box holds what the device said.
    const QString last = generation == 4 ? QStringLiteral("$PQVXSPQ") : QStringLiteral("$PQVXIDQ");
    const QString lastReply = last.chopped(1) + QLatin1Char(',');
    if (read)
      return QTest::qWaitFor(
          [this, last, lastReply] {
            return Check("chbPriority")->isEnabled() && !Sent(last).isEmpty() &&
                   Find<QPlainTextEdit>("RXData")->toPlainText().contains(lastReply);
          },
          5000);
    QCoreApplication::processEvents();  // the start-up connection (a zero timer) finds no port
    Combo(HostList())->setCurrentIndex(3);
    Choose("cbPort", port);
    return window->ChannelOpen();
  }
  const char* HostList() const { return generation == 4 ? "cbBaudHost" : "cbBaudRate"; }
  QString Why() const { return sim ? sim->errorText() : QStringLiteral("no simulator"); }

  // Received lines from the `from`-th on.
  QStringList SentSince(int from) const { return sim->recordedLines().mid(from); }
  int SentCount() const { return static_cast<int>(sim->recordedLines().size()); }

  // The simulator's answer to `query` over TCP (the lines that start with `reply`).
  QStringList Ask(const QByteArray& query, const QString& reply, int count = 1) const {
    QTcpSocket socket;
    socket.connectToHost(sim->address(), sim->tcpPort());
    if (!socket.waitForConnected(3000)) return {};
    socket.write('$' + query + "\r\n");
    QStringList lines;
    for (QDeadlineTimer deadline(3000); !deadline.hasExpired() && lines.size() < count;) {
      while (socket.canReadLine()) {
        const QString l = QString::fromLatin1(socket.readLine().trimmed());
        if (l.startsWith(reply)) lines << l.left(l.lastIndexOf(u'*'));
      }
      if (lines.size() < count) socket.waitForReadyRead(100);
    }
    return lines;
  }

  QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
  legacy::TLegFilterGrid* Grid() const { return Find<legacy::TLegFilterGrid>("FilterGrid"); }
  void Click(const char* name) const {
    QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, w->height() / 2));
  }
  void ClickCell(int row, int column) const {
    legacy::TLegFilterGrid* g = Grid();
    const QRect r = g->visualRect(g->model()->index(row, column));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
  }
  // The list as "SENTENCE flags divisor" rows.
  QStringList Rows() const {
    QStringList rows;
    const legacy::TLegFilterGrid* g = Grid();
    for (int r = 1; r < g->rowCount(); ++r) {
      QString flags;
      for (int c = 0; c < 5; ++c) flags += g->item(r, c)->text();
      rows << g->item(r, 5)->text() + u' ' + flags + u' ' +
                  (g->columnCount() > 6 ? g->item(r, 6)->text() : "-");
    }
    return rows;
  }
};

}  // namespace hlx::test
