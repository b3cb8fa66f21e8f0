#pragma once
// UserPrompts for tests: records every prompt and answers from a script.

#include <QEventLoop>
#include <QList>
#include <QQueue>
#include <QTimer>

#include "session/UserPrompts.h"

namespace hlx::test {

class ScriptedPrompts : public UserPrompts {
 public:
  QList<PromptRecord> records;
  QQueue<bool> yesNoAnswers;    // default answer when empty: No
  QQueue<QString> fileAnswers;  // default answer when empty: cancel
  int lastSaveFilter = -1;      // file type preselected in the last save dialog
  int lastOpenFilter = -1;      // and in the last open dialog
  int informHoldMs = 0;         // an Inform's box stays open this long, handling events meanwhile

  void Inform(const QString& text, const QString& caption, PromptIcon icon) override {
    records.append({"inform", caption, PromptText(text), icon});
    if (informHoldMs <= 0) return;
    QEventLoop box;  // as a modal box's own loop
    QTimer::singleShot(informHoldMs, &box, &QEventLoop::quit);
    box.exec();
  }
  bool AskYesNo(const QString& text, const QString& caption, PromptIcon icon) override {
    records.append({"ask", caption, PromptText(text), icon});
    return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
  }
  QString OpenFile(const QString& caption, const QStringList&, int selectedFilter, const QString&) override {
    records.append({"open", caption, {}, PromptIcon::None});
    lastOpenFilter = selectedFilter;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
  }
  // A save record's text is the name the dialog proposed.
  QString SaveFile(const QString& caption, const QStringList&, int selectedFilter, const QString&,
                   const QString& proposed) override {
    records.append({"save", caption, proposed, PromptIcon::None});
    lastSaveFilter = selectedFilter;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
  }

  // The texts of the prompts of the kinds named in `kinds`, in order.
  QStringList texts(QStringView kinds = u"inform ask open save") const {
    QStringList t;
    for (const auto& r : records)
      if (kinds.contains(r.kind)) t << r.text;
    return t;
  }
};

}  // namespace hlx::test
