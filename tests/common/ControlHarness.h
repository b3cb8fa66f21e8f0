#pragma once
// What the GUI harnesses share: scripted prompts, the simulator, the window
// under test with a recorded restart request, and short-hands for finding
// and using its controls as a user would.

#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "ScriptedPrompts.h"
#include "SimProcess.h"
#include "Steady.h"
#include "session/SettingsAndRestart.h"
#include "ui/AMAdvLed.h"

namespace hlx::test {

template <class Window>
class ControlHarness {
 public:
  ScriptedPrompts prompts;
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<Window> window;
  int restarts = 0;

  ControlHarness() {
    SetRestartAction([this] { ++restarts; });
  }
  ~ControlHarness() {
    if (window && window->isVisible()) window->close();
    SetRestartAction({});
  }
  ControlHarness(const ControlHarness&) = delete;
  ControlHarness& operator=(const ControlHarness&) = delete;

  template <class T>
  T* Find(const char* name) const {
    T* w = window->template findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  QComboBox* Combo(const char* name) const { return Find<QComboBox>(name); }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
  QCheckBox* Check(const char* name) const { return Find<QCheckBox>(name); }
  QString Panel(int i) const {
    return Find<QLabel>(qPrintable(QStringLiteral("StatusPanel%1").arg(i)))->text();
  }
  QAction* Action(const char* name) const { return Find<QAction>(name); }
  // Triggers a menu entry; its file dialog, if any, answers `file`.
  void Trigger(const char* action, const QString& file = {}) {
    if (!file.isEmpty()) prompts.fileAnswers.enqueue(file);
    Action(action)->trigger();
  }
  // A user choice in a drop-down list (activated, as a click raises it).
  void Choose(const char* combo, int index) const {
    QComboBox* cb = Combo(combo);
    cb->setCurrentIndex(index);
    emit cb->activated(index);
  }

  // Lines the simulator received that start with `prefix`, with their checksums.
  QStringList Sent(const QString& prefix) const {
    QStringList out;
    for (const QString& l : sim->recordedLines())
      if (l.startsWith(prefix)) out << l;
    return out;
  }
  QStringList Recorded() const { return sim->recordedLines(); }
  // The four overflow LEDs, e.g. "1010": first and third lit.
  QString Leds() const {
    QString on;
    for (const char* led : {"ldOverflow1", "ldOverflow2", "ldOverflow3", "ldOverflow4"})
      on += Find<TAMAdvLed>(led)->LedOn() ? u'1' : u'0';
    return on;
  }
};

}  // namespace hlx::test
