// Traffic monitor and manual input of the main window. Lines are gathered in
// the TrafficView model as they arrive and painted on a short timer, so a
// fast stream does not repaint the view once per line; a repaint touches only
// the lines that changed. Also the window's remembered shape.

#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <utility>

#include "config/DeviceConfig.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "ui/AMAdvLed.h"
#include "ui_MainForm.h"
#include "window/MainForm.h"

namespace hlx {

void TMainForm::ShowLine(const std::string& line) {
  const bool showTag = ui->chbTAGShow->isChecked();
  const auto text = DisplayText(line, showTag);
  if (!text) return;
  // The log keeps the bytes as received; only the view makes control characters visible.
  if (m_log.LogActive()) WriteLogLine(*LoggedText(line, showTag), LogDirection::Received);
  m_view.Add(*text);
  ++m_linesSinceRepaint;
  ScheduleRepaint();
}

void TMainForm::ScheduleRepaint() {
  // Hidden (another tab, or the window hidden) the lines wait in the model:
  // a timer would only wake the window for nothing. Showing the view paints them.
  if (m_repaintTimer.isActive() || !ui->RXData->isVisible()) return;
  // The first line after a quiet spell shows at once, a stream a few times a second.
  const int period =
      m_lastRepaintLines > kMonitorReadableLines ? kMonitorFastStreamRepaintMs : kMonitorStreamRepaintMs;
  const qint64 sincePaint = m_lastRepaint.isValid() ? m_lastRepaint.elapsed() : period;
  m_repaintTimer.start(int(std::max<qint64>(kMonitorRepaintMs, period - sincePaint)));
}

void TMainForm::RepaintMonitor() {
  m_repaintTimer.stop();
  // Hidden behind another tab the changes wait in the model; showing the tab paints them.
  if (!ui->RXData->isVisible()) return;
  const TrafficView::Changes changes = m_view.TakeChanges();
  if (!changes.Any()) return;
  m_lastRepaint.start();
  m_lastRepaintLines = std::exchange(m_linesSinceRepaint, 0);
  QPlainTextEdit* view = ui->RXData;
  const QStringList& lines = m_view.Lines();
  // A fast stream replaces most lines between two paints: writing them anew
  // is cheaper than appending them and dropping as many from the top.
  if (changes.reset || changes.appended * 2 > lines.size()) {
    // The block limit drops the oldest line as a new one comes, as the model does.
    view->setMaximumBlockCount(m_view.Capacity());
    view->setPlainText(lines.join(QLatin1Char('\n')));
  } else {
    if (changes.appended > 0)
      view->appendPlainText(lines.sliced(lines.size() - changes.appended).join(QLatin1Char('\n')));
    QTextCursor cursor(view->document());
    cursor.beginEditBlock();
    for (const qsizetype row : changes.rows) {
      const QTextBlock block = view->document()->findBlockByNumber(int(row));
      cursor.setPosition(block.position());
      cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
      cursor.insertText(lines[row]);
    }
    cursor.endEditBlock();
  }
  if (!m_view.NoScroll()) view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
}

void TMainForm::ClearView() {
  m_view.Clear();
  RepaintMonitor();
}

void TMainForm::ViewFilterChanged(int index) {
  m_core->SetViewFilter(index);
  if (index == 0)
    RestoreOptionWord();
  else
    SendSentence(OptionBitCommand(OptChanTag, true));
}

void TMainForm::HandleOvReply(const std::string& line) {
  const unsigned bits = OverflowBits(line);
  for (std::size_t i = 0; i < m_overflowLeds.size(); ++i)
    if (bits & (1u << i)) m_overflowLeds[i]->SetLedOn(true);
  OVTimer.start(kOverflowLedMs);
}

void TMainForm::OVTimerTick() {
  OVTimer.stop();
  for (TAMAdvLed* led : m_overflowLeds) led->SetLedOn(false);
}

void TMainForm::SendManualInput() {
  const QString text = ui->cbSentence->currentText();
  if (text.isEmpty()) return;
  if (AddToHistory(m_history, text)) {
    ui->cbSentence->clear();
    ui->cbSentence->addItems(m_history);
    ui->cbSentence->setCurrentIndex(-1);
    ui->cbSentence->setEditText(text);
  }
  SendSentence(text.toLatin1().toStdString());
  // The user typed it, so a refusal (too long for the device) is worth saying.
  if (ChannelOpen() && !m_comm->LastSendError().isEmpty())
    m_prompts.Inform(m_comm->LastSendError(), {}, PromptIcon::Warning);
}

void TMainForm::RestoreShape() {
  const WindowShape shape = LoadWindowShape();
  // restoreGeometry moves a window that would be off every screen back onto one.
  if (shape.geometry.isEmpty() || !restoreGeometry(shape.geometry)) {
    // First start: tall enough for a monitor worth reading, where the screen allows.
    if (const QScreen* screen = this->screen())
      resize(width(),
             std::max(height(), std::min(kFirstStartHeight, screen->availableGeometry().height() * 9 / 10)));
  }
  // The configuration tabs keep the height they ask for; the monitor takes the rest.
  if (!shape.splitter.isEmpty()) ui->splMonitor->restoreState(shape.splitter);
  if (shape.monitorTab) ui->tabMonitor->setCurrentIndex(*shape.monitorTab);
}

void TMainForm::SaveShape() const {
  SaveWindowShape({saveGeometry(), ui->splMonitor->saveState(), ui->tabMonitor->currentIndex()});
}

}  // namespace hlx
