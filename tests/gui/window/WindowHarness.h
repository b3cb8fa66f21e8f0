#pragma once
// Drives the real main window in GUI tests: a private settings folder, the
// scripted prompts, a recorded restart request, short-hands for the window's
// controls and the clicks a user makes, and a feeder that hands the window
// chosen lines over a real UDP channel.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

#include "ScriptedPrompts.h"
#include "SimProcess.h"
#include "config/pages/FilterGrid.h"
#include "session/ConnectionRules.h"
#include "session/VersionCheck.h"
#include "session/window/MainForm.h"

namespace hlx::test {

// Call once per process before anything touches QSettings.
inline void UsePrivateSettingsFolder(QTemporaryDir& dir) {
  qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
}

inline QSettings Settings() { return QSettings(kSettingsOrganization, kSettingsApplication); }

// Recorded lines of the simulator that start with `prefix`.
inline QStringList Sent(const SimProcess& sim, const QString& prefix) {
  return sim.recordedLines().filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(prefix)));
}

class WindowHarness {
 public:
  ScriptedPrompts prompts;
  std::unique_ptr<TMainForm> window;
  int restarts = 0;

  WindowHarness() {
    SetRestartAction([this] { ++restarts; });
  }
  ~WindowHarness() {
    if (window) window->close();
    window.reset();
    SetRestartAction({});
  }

  // Creates the window; `extraPorts` become serial ports in its list.
  TMainForm& Create(const QStringList& extraPorts = {}) {
    qputenv("HLX_EXTRA_PORTS", extraPorts.join(QLatin1Char(':')).toLocal8Bit());
    window = std::make_unique<TMainForm>(prompts);
    window->show();
    return *window;
  }

  template <class T>
  T* Find(const char* name) const {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  QComboBox* Combo(const char* name) const { return Find<QComboBox>(name); }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
  QCheckBox* Check(const char* name) const { return Find<QCheckBox>(name); }
  QString Panel(int i) const { return Find<QLabel>(qPrintable(QStringLiteral("StatusPanel%1").arg(i)))->text(); }
  void Trigger(const char* action) const { Find<QAction>(action)->trigger(); }

  // A user choice in a drop-down list (activated, as a click raises it).
  void Choose(const char* combo, int index) const {
    QComboBox* cb = Combo(combo);
    cb->setCurrentIndex(index);
    emit cb->activated(index);
  }
  void ChoosePort(const QString& text) const {
    const int i = Combo("cbPort")->findText(text);
    if (i < 0) qFatal("port %s not listed", qPrintable(text));
    Choose("cbPort", i);
  }
  void SetAddress(const QString& ip) const { Find<QLineEdit>("edtMuxIP")->setText(ip); }
  void Click(const char* button) const { QTest::mouseClick(Button(button), Qt::LeftButton); }

  // Chooses TCP with the simulator's address and clicks "Connect".
  void StartTcp(const SimProcess& sim) const {
    ChoosePort(QStringLiteral("TCP"));
    SetAddress(sim.address());
    Click("btnConnect");
  }
  // Waits until the simulator has seen the n-th configuration query and the
  // read-back it started has ended.
  bool WaitReadBack(const SimProcess& sim, int n = 1) const {
    return QTest::qWaitFor([&] { return Sent(sim, QStringLiteral("$PQVXCFQ")).size() == n; }, 5000) &&
           QTest::qWaitFor([&] { return State() == SessionState::Idle; }, 5000);
  }
  bool ConnectTcp(const SimProcess& sim) const {
    StartTcp(sim);
    return WaitReadBack(sim);
  }
  // Starts the simulator with `args`, creates the window and connects it
  // over TCP up to the end of the read-back.
  bool StartConnected(SimProcess& sim, const QStringList& args) {
    if (!sim.start(args)) return false;
    Create();
    return ConnectTcp(sim);
  }

  // Opens "UDP All" towards an address where nobody answers; Feed() then
  // hands the window lines as a device on the network would.
  void ListenUdpAll() const {
    ChoosePort(QStringLiteral("UDP All"));
    SetAddress(QStringLiteral("127.0.0.3"));
    Click("btnConnect");
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
