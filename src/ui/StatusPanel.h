#pragma once
// TStatusPanel: one sunken panel of a main window's status bar. Placed on a
// QStatusBar in a form it takes its place there itself, as a form cannot add
// widgets to a status bar. FitText widens it to hold that text in its font.

#include <QLabel>

namespace hlx {

class TStatusPanel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QString FitText READ FitText WRITE SetFitText)
 public:
  explicit TStatusPanel(QWidget* parent = nullptr);

  QString FitText() const { return m_fitText; }
  void SetFitText(const QString& text);

 private:
  QString m_fitText;
};

}  // namespace hlx
