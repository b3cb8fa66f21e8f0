#include "ui/StatusPanel.h"

#include <QStatusBar>
#include <algorithm>

namespace hlx {

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  if (auto* bar = qobject_cast<QStatusBar*>(parent)) bar->addWidget(this);
}

void TStatusPanel::SetFitText(const QString& text) {
  m_fitText = text;
  // The text, the frame and a character's room beside it.
  const int needed =
      fontMetrics().horizontalAdvance(text) + 2 * frameWidth() + fontMetrics().averageCharWidth();
  setMinimumWidth(std::max(minimumWidth(), needed));
  setMaximumWidth(std::max(maximumWidth(), minimumWidth()));
}

}  // namespace hlx
