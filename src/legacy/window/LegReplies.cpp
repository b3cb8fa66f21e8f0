// Received lines and the commands the settings controls send.
#include <QButtonGroup>
#include <QTime>

#include "legacy/window/LegMainForm.h"
#include "ui/AMAdvLed.h"
#include "ui/MainWindowCommon.h"
#include "ui_LegMainForm.h"

namespace hlx::legacy {

void TLegMainForm::Dispatch(const std::string& line) {
  if (m_handingOver) return;
  WriteLog(line);
  ShowLine(line);
  switch (KindOf(line)) {
    case ReplyKind::Ov: ApplyOv(line); break;
    case ReplyKind::Ver: ApplyVer(line); break;
    case ReplyKind::Id: ApplyId(line); break;
    case ReplyKind::Cf: ApplyCf(line); break;
    case ReplyKind::Sp:
      if (m_gen.portSpeeds) ApplySp(line);
      break;
    default: break;
  }
  switch (m_state) {
    case SessionState::AutoBaud:
      // Any line at all: the device talks at this speed.
      if (const int speed = m_search.Answered(); speed >= 0) ui->cbBaudHost->setCurrentIndex(speed);
      m_state = SessionState::Idle;
      RefreshControls();
      break;
    case SessionState::Capture:
      m_capture.Feed(line, m_filter);
      ui->FilterGrid->Refresh();
      break;
    case SessionState::ReadConfig:
      if (KindOf(line) == ReplyKind::Fl) HandleFlLine(line);
      break;
    default: break;
  }
}

void TLegMainForm::ShowLine(const std::string& line) {
  if (line.size() <= 2) return;
  ui->RXData->appendPlainText(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size() - 2)));
}

void TLegMainForm::ApplyOv(const std::string& line) {
  if (const auto flags = ParseOv(line))
    for (int i = 0; i < kInputs; ++i)
      if (*flags & (1 << i)) m_overflowLeds[static_cast<std::size_t>(i)]->SetLedOn(true);
  // A running tick is kept: restarting it on every report would keep busy inputs lit for ever.
  if (!OVTimer.isActive()) OVTimer.start(kOverflowLedMs);
}

void TLegMainForm::ApplyVer(const std::string& line) {
  VersionTimer.stop();
  const VerReply r = ParseVerReply(line);
  SetPanel(0, QString::fromLatin1(kDevicePanelPrefix) + r.name);
  SetPanel(2, QString::fromLatin1(kSerialPanelPrefix) + r.serial);
  SetPanel(1, QString::fromLatin1(kVersionPanelPrefix) + r.version);
  // Before the generation check: this window shows the model even when it hands over.
  if (m_gen.model == ModelCheck::SerialAndVersion) ApplyModel(r.serial, r.version);
  m_versionNumbers = ParseVersion(r.version.toStdString());
  // Restarts into the device's generation when it is another one; this
  // instance is ending then and asks nothing more.
  bool restarted = false;
  // A search has not yet shown its find in the speed list.
  const int speed = m_state == SessionState::AutoBaud ? m_search.Current() : ui->cbBaudHost->currentIndex();
  SelectFormId(m_versionNumbers, &restarted, speed == kLegacyBaudAutomatic ? -1 : speed);
  m_handingOver = restarted;
  if (r.hasCaps && !restarted && m_gen.model != ModelCheck::SerialAndVersion) CheckCapabilities(r.caps);
}

void TLegMainForm::ApplyId(const std::string& line) {
  const IdReply r = ParseId(line);
  QLineEdit* const edits[kInputs] = {ui->edtTalkID1, ui->edtTalkID2, ui->edtTalkID3, ui->edtTalkID4};
  for (int i = 0; i < kInputs; ++i)
    if (r.ids[i]) edits[i]->setText(*r.ids[i]);
}

void TLegMainForm::ApplyCf(const std::string& line) {
  const CfReply r = ParseCf(m_gen, line);
  if (r.hostSpeed && (!m_gen.hostKindTest || ui->cbBaudHost->isEnabled()))
    ui->cbBaudHost->setCurrentIndex(*r.hostSpeed);
  // Each change below runs the control's handler, which sends it back; in field order.
  if (r.mode) SelectMode(*r.mode);
  QCheckBox* const rt[kInputs] = {ui->chbRTime1, ui->chbRTime2, ui->chbRTime3, ui->chbRTime4};
  for (int field = 3; field <= m_gen.cfFieldCount; ++field) {
    if (field == m_gen.realTimeField) {
      for (int i = 0; i < kInputs; ++i)
        if (r.realTime[i]) rt[i]->setChecked(*r.realTime[i]);
      continue;
    }
    for (int o = 0; o < kOptionCount; ++o)
      if (QCheckBox* box = OptionBox(static_cast<Option>(o));
          box && m_gen.cfField[o] == field && r.options[o])
        box->setChecked(*r.options[o]);
  }
  SetConfigControlsEnabled(true);
}

void TLegMainForm::ApplySp(const std::string& line) {
  const SpReply r = ParseSp(line);
  const auto boxes = SpeedBoxes();
  for (int i = 0; i < kPortSpeeds; ++i)
    if (r.speeds[i]) boxes[static_cast<std::size_t>(i)]->setCurrentIndex(*r.speeds[i]);
}

QCheckBox* TLegMainForm::OptionBox(Option option) const {
  if (!m_gen.Has(option)) return nullptr;
  switch (option) {
    case Option::SeaTalk: return ui->chbSeaTalk;
    case Option::Priority: return ui->chbPriority;
    case Option::ChannelNumbers: return ui->chbChannelNo;
    case Option::HdgToHdt: return ui->chbHDGXlate;
    case Option::AisOnIn1: return ui->chbAIS;
    case Option::ChannelIds: return ui->chbChannelID;
  }
  return nullptr;
}

std::array<QComboBox*, kPortSpeeds> TLegMainForm::SpeedBoxes() const {
  return {ui->cbBaudIn1, ui->cbBaudIn2, ui->cbBaudIn3, ui->cbBaudIn4, ui->cbBaudOut2};
}

void TLegMainForm::OptionToggled(Option option, bool on) {
  SendSentence(OptionCommand(m_gen, option, on));
  if (option != Option::AisOnIn1) return;
  // AIS receivers talk at 38400; without one, In 1 goes back to 4800.
  ui->cbBaudIn1->setCurrentIndex(on ? kAisOnSpeed : kAisOffSpeed);
  Pause(kAisPauseMs);
  SendSentence(InputOneSpeedCommand(ui->cbBaudIn1->currentIndex()));
}

void TLegMainForm::SelectMode(int index) {
  // A mode the connected model does not offer is not shown, nor selected.
  if (QAbstractButton* b = m_mode->button(index); b && !b->isHidden()) b->setChecked(true);
}

void TLegMainForm::ModeToggled(int index, bool checked) {
  if (checked) SendSentence(ModeCommand(index));
}

void TLegMainForm::RealTimeToggled() {
  SendSentence(RealTimeCommand(m_gen, {ui->chbRTime1->isChecked(), ui->chbRTime2->isChecked(),
                                       ui->chbRTime3->isChecked(), ui->chbRTime4->isChecked()}));
}

void TLegMainForm::SpeedChanged() {
  std::array<int, kPortSpeeds> indexes{};
  const auto boxes = SpeedBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i) indexes[i] = boxes[i]->currentIndex();
  SendSentence(SpeedCommand(indexes));
}

void TLegMainForm::SetIdClick() {
  SendSentence(TalkerIdCommand(
      {ui->edtTalkID1->text(), ui->edtTalkID2->text(), ui->edtTalkID3->text(), ui->edtTalkID4->text()}));
}

void TLegMainForm::SendManualInput() {
  const QString text = ui->edtSentence->text();
  if (!text.isEmpty()) SendSentence(text.toStdString());
}

}  // namespace hlx::legacy
