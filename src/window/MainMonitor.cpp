// Traffic monitor and manual input of the main window. Lines are gathered in
// the TrafficView model as they arrive and painted on a short timer, so a
// fast stream does not repaint the view once per line.

#include <QScrollBar>

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
  ScheduleRepaint();
}

void TMainForm::ScheduleRepaint() {
  if (!m_repaintTimer.isActive()) m_repaintTimer.start();
}

void TMainForm::RepaintMonitor() {
  m_repaintTimer.stop();
  if (!m_view.TakeChanged()) return;
  QPlainTextEdit* view = ui->RXData;
  view->setUpdatesEnabled(false);
  view->setPlainText(m_view.Lines().join(QLatin1Char('\n')));
  if (!m_view.NoScroll()) view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
  view->setUpdatesEnabled(true);
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

}  // namespace hlx
