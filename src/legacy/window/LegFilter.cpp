// The filter list group: add, store, load, delete, clear, capture.
#include "legacy/window/LegMainForm.h"
#include "ui_LegMainForm.h"

namespace hlx::legacy {

void TLegMainForm::ConnectFilter() {
  connect(ui->btnAddFilter, &QPushButton::clicked, this, [this] { AddFilterClick(); });
  ui->edtFilter->installEventFilter(this);
  connect(ui->btnUpdate, &QPushButton::clicked, this, [this] { StoreClick(); });
  connect(ui->btnRetrieve, &QPushButton::clicked, this, [this] { LoadClick(); });
  connect(ui->btnDelete, &QPushButton::clicked, this, [this] { DeleteClick(); });
  connect(ui->btnClear, &QPushButton::clicked, this, [this] { ClearListClick(); });
  connect(ui->btnCapture, &QPushButton::clicked, this, [this] { CaptureClick(); });
  connect(ui->FilterGrid, &TLegFilterGrid::cellSelected, this,
          [this](int r, int c) { GridCellSelected(r, c); });
}

void TLegMainForm::AddFilterClick() {
  const int before = m_filter.Count();
  const int result = m_filter.AddFilterEntry(ui->edtFilter->text().toUpper(), QStringLiteral("00000"), {});
  if (result == kFilterBadSentence) {
    m_prompts.Inform(
        m_gen.sentenceLength == 5
            ? QStringLiteral("Filter sentence must be 5 characters. Use '-' as wildcard character")
            : QStringLiteral("Filter sentence must be 3 characters"));
  } else if (result == kFilterFull) {
    m_prompts.Inform(QStringLiteral("Filter list is full"));
  }
  // An appended row becomes the current one, except in the compact grid.
  ui->FilterGrid->Refresh(m_filter.Count() > before && !m_gen.compactGrid ? m_filter.Count() - 1 : -1);
}

void TLegMainForm::StoreClick() {
  WaitCursorScope busy(*this);
  const std::vector<std::string> commands = m_filter.StoreCommands(m_storeDivisor);
  SendSentence(commands.front());
  Pause(kStorePauseMs);
  for (std::size_t i = 1; i < commands.size(); ++i) SendSentence(commands[i]);
}

void TLegMainForm::LoadClick() {
  m_state = SessionState::ReadConfig;
  SendSentence(kFilterQuery);
  FLTimer.start(kFilterLoadTimeoutMs);
  RefreshControls();
}

void TLegMainForm::HandleFlLine(const std::string& line) {
  FLTimer.start(kFilterLoadTimeoutMs);
  const FlReply r = ParseFl(line);
  if (r.end) {
    FLTimer.stop();
    m_state = SessionState::Idle;
    RefreshControls();
    return;
  }
  m_filter.AddFilterEntry(r.sentence, r.flags, r.divisor);
  ui->FilterGrid->Refresh();
}

void TLegMainForm::FLTimeout() {
  FLTimer.stop();
  m_state = SessionState::Idle;
  RefreshControls();
  m_prompts.Inform(QString::fromLatin1(kNoResponseText));
}

void TLegMainForm::DeleteClick() {
  const int entry = ui->FilterGrid->CurrentEntry();
  if (entry < 0) return;
  m_filter.Delete(entry);
  ui->FilterGrid->Refresh(std::min(entry, m_filter.Count() - 1));
  ui->btnDelete->setEnabled(m_filter.Count() > 0 && ui->FilterGrid->currentRow() >= 1);
}

void TLegMainForm::ClearListClick() {
  m_filter.Clear();
  ui->FilterGrid->Refresh();
}

void TLegMainForm::CaptureClick() {
  if (m_state == SessionState::Capture) {
    StopCapture();
    return;
  }
  if (m_state != SessionState::Idle) return;
  m_capture.Start();
  CaptureActive = true;
  SavedChannelNumbers = ui->chbChannelNo->isChecked();
  SavedChannelIds = ui->chbChannelID->isChecked();
  // The device names the input of the traffic that follows.
  for (const std::string& c : CaptureStartCommands(m_gen, {SavedChannelNumbers, SavedChannelIds}))
    SendSentence(c);
  m_state = SessionState::Capture;
  // Channel IDs change no setting that a box shows: the boxes stay usable then.
  if (m_gen.capture != CaptureKind::ChannelIds) SetConfigControlsEnabled(false);
  RefreshControls();
}

void TLegMainForm::StopCapture() {
  for (const std::string& c : CaptureStopCommands(m_gen, {SavedChannelNumbers, SavedChannelIds}))
    SendSentence(c);
  CaptureActive = false;
  m_state = SessionState::Idle;
  if (m_gen.capture != CaptureKind::ChannelIds) SetConfigControlsEnabled(true);
  RefreshControls();
}

void TLegMainForm::GridCellSelected(int row, int column) {
  if (m_state != SessionState::Idle) return;
  ui->btnDelete->setEnabled(row >= 1 && (column == kSentenceColumn || column == kDivColumn));
}

}  // namespace hlx::legacy
