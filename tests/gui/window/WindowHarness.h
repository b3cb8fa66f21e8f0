#pragma once
// Drives the real main window in GUI tests: private settings, scripted
// prompts, a recorded restart request, the simulator, short-hands for the
// controls and clicks, and a feeder of chosen lines over a real UDP channel.

#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "ControlHarness.h"
#include "ScriptedPrompts.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "config/pages/FilterGrid.h"
#include "session/ConnectionRules.h"
#include "session/VersionCheck.h"
#include "window/MainForm.h"

namespace hlx::test {

// What the window sends to identify a device and read its configuration.
inline const QStringList kReadQueries{QStringLiteral("$PQVXVER*4E"), QStringLiteral("$PQVXCFQ*5B")};

class WindowHarness : public ControlHarness<TMainForm> {
 public:
  WindowHarness() { Settings().clear(); }  // every test starts without saved settings

  // Creates the window; `extraPorts` become serial ports in its list.
  TMainForm& Create(const QStringList& extraPorts = {}) {
    qputenv("HLX_EXTRA_PORTS", extraPorts.join(QLatin1Char(':')).toLocal8Bit());
    window = std::make_unique<TMainForm>(prompts);
    window->show();
    return *window;
  }
  // Starts the simulator with `args`, with its terminal as the window's
  // serial port when `pty`, and creates the window.
  bool Start(const QStringList& args = {}, bool pty = false) {
    sim = std::make_unique<SimProcess>(pty);
    if (!sim->start(args)) return false;
    Create(pty ? QStringList{sim->ptyPath()} : QStringList{});
    if (pty) ChoosePort(sim->ptyPath());
    // The simulator's own speed, 115200, unless a test chooses another.
    if (pty) Choose("cbBaudHost", 5);
    return true;
  }
  QString Why() const { return sim->errorText(); }

  void ChoosePort(const QString& text) const {
    const int i = Combo("cbPort")->findText(text);
    if (i < 0) qFatal("port %s not listed", qPrintable(text));
    Choose("cbPort", i);
  }
  void SetAddress(const QString& ip) const { Find<QLineEdit>("edtMuxIP")->setText(ip); }
  void Click(const char* button) const { QTest::mouseClick(Button(button), Qt::LeftButton); }
  // Chooses a network port and address and clicks "Connect".
  void Open(const QString& port, const QString& address) const {
    ChoosePort(port);
    SetAddress(address);
    Click("btnConnect");
  }
  bool ConnectTcp() const {
    Open(QStringLiteral("TCP"), sim->address());
    return WaitReadBack();
  }
  // Connects on the simulator's terminal when it has one, else over TCP.
  bool ConnectSim() const {
    if (sim->ptyPath().isEmpty()) return ConnectTcp();
    Click("btnConnect");
    return WaitReadBack();
  }
  // Waits until the simulator has seen the n-th configuration query and the
  // read-back it started has ended.
  bool WaitReadBack(int n = 1) const {
    return QTest::qWaitFor([&] { return Sent(QStringLiteral("$PQVXCFQ")).size() == n; }, 5000) &&
           QTest::qWaitFor([&] { return State() == SessionState::Idle; }, 5000);
  }

  // "UDP All" towards the feeder, which takes the window's query (else the
  // window reads its own) and never answers; Feed() then plays a device.
  void ListenUdpAll() {
    const QString address = qEnvironmentVariable("HLX_TEST_SIM_ADDRESS", QStringLiteral("127.0.0.2"));
    m_feeder.bind(QHostAddress(address), 10110, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    Open(QStringLiteral("UDP All"), address);
  }
  void Feed(const QByteArray& body) {
    m_feeder.writeDatagram(body + "\r\n", QHostAddress(QStringLiteral("127.0.0.1")), 10110);
  }

  bool Connected() const { return window->ChannelOpen(); }
  SessionState State() const { return window->State(); }
  // The settings tabs can be edited (read-back ended and device accepted).
  bool SettingsEnabled() const { return Check("chbRTime1")->isEnabled(); }
  int Rules() const { return Find<TFilterGrid>("FilterGrid")->RowCount(); }
  QStringList Shown() const {
    const QString t = Find<QPlainTextEdit>("RXData")->toPlainText();
    return t.isEmpty() ? QStringList{} : t.split(QLatin1Char('\n'));
  }

 private:
  QUdpSocket m_feeder;
};

}  // namespace hlx::test
