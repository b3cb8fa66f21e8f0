// Menu entries of the main window, the traffic log and the capture they start and stop.

#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QTime>

#include "config/ConfigFile.h"
#include "config/pages/ConfigPages.h"
#include "link/Comms.h"
#include "ui/About.h"
#include "ui_MainForm.h"
#include "window/MainForm.h"

namespace hlx {

void TMainForm::ConnectMenus() {
  connect(ui->miExit, &QAction::triggered, this, &QWidget::close);
  connect(ui->miAbout, &QAction::triggered, this, [this] { AboutClick(); });
  connect(ui->miResetFactorySettings, &QAction::triggered, this, [this] { m_pages->ResetFactorySettings(); });
  connect(ui->miAutomaticUpdate, &QAction::triggered, this, [this] { emit firmwareUpdateRequested(true); });
  connect(ui->miUpdateFirmware, &QAction::triggered, this, [this] { emit firmwareUpdateRequested(false); });
  connect(ui->miStartLog, &QAction::triggered, this, [this] { StartLogClick(false); });
  connect(ui->miTimedLog, &QAction::triggered, this, [this] { StartLogClick(true); });
  connect(ui->miStopLog, &QAction::triggered, this, [this] { StopLogClick(); });
  CreateCaptureMenus();
}

void TMainForm::CreateCaptureMenus() {
  m_miRecordCapture = new QAction(QStringLiteral("&Record Capture..."), this);
  m_miRecordCapture->setObjectName(QStringLiteral("miRecordCapture"));
  m_miStopRecording = new QAction(QStringLiteral("Stop Re&cording"), this);
  m_miStopRecording->setObjectName(QStringLiteral("miStopRecording"));
  m_miStopRecording->setEnabled(false);
  // Right after the log entries: miSep2 is the next entry of the File menu.
  ui->miFile->insertActions(ui->miSep2, {m_miRecordCapture, m_miStopRecording});
  connect(m_miRecordCapture, &QAction::triggered, this, [this] { RecordCaptureClick(); });
  connect(m_miStopRecording, &QAction::triggered, this, [this] { StopRecording(QString()); });
  // Every received line, whatever the view filter shows.
  m_core->SetLineTap([this](std::string_view line) {
    if (!m_recorder.Active()) return;
    const QString error = m_recorder.Write(line, QDateTime::currentMSecsSinceEpoch());
    // The message box waits until the dispatch of this line is over.
    if (!error.isEmpty()) QTimer::singleShot(0, this, [this, error] { StopRecording(error); });
  });
}

void TMainForm::RecordCaptureClick() {
  if (m_recorder.Active()) return;
  const QString name =
      m_prompts.SaveFile(QStringLiteral("Record Capture"),
                         {QString::fromLatin1(kCaptureFileFilter), QString::fromLatin1(kAnyFileFilter)}, 0,
                         QString::fromLatin1(kCaptureSuffix));
  if (name.isEmpty()) return;
  if (const QString error = m_recorder.Start(name); !error.isEmpty()) {
    m_prompts.Inform(error, {}, PromptIcon::Error);
    return;
  }
  m_miRecordCapture->setEnabled(false);
  m_miStopRecording->setEnabled(true);
}

// Ends the recording; a write error's message is shown.
void TMainForm::StopRecording(const QString& message) {
  m_recorder.Stop();
  m_miRecordCapture->setEnabled(true);
  m_miStopRecording->setEnabled(false);
  if (!message.isEmpty()) m_prompts.Inform(message, {}, PromptIcon::Error);
}

void TMainForm::AboutClick() {
  TAboutBox box(m_prompts, this);
  if (box.ExecAndCheckClear(this)) {
    m_clearSettings = true;
    close();
  }
}

void TMainForm::StartLogClick(bool diagnostic) {
  if (m_log.LogActive()) return;
  const QString name =
      m_prompts.SaveFile(QString(), SaveDialogFilters(), kSaveFilterLog, ConfigDefaultSuffix());
  if (name.isEmpty()) return;
  const QString error = m_log.Start(name, diagnostic);
  if (!error.isEmpty()) {
    m_prompts.Inform(error, {}, PromptIcon::Error);
    return;
  }
  ui->miStartLog->setEnabled(false);
  ui->miTimedLog->setEnabled(false);
  ui->miStopLog->setEnabled(true);
}

void TMainForm::StopLogClick() {
  if (!m_log.LogActive()) return;
  m_log.Stop();
  LogStopped(QString());
  m_statusPanels[4]->setText(LogWriter::kNoLogStatus);
}

void TMainForm::LogSent(std::string_view text) { WriteLogLine(text, LogDirection::Sent); }

void TMainForm::WriteLogLine(std::string_view text, LogDirection direction) {
  const QString error = m_log.WriteLog(text, direction, m_comm->ChannelKind(), QTime::currentTime());
  m_statusPanels[4]->setText(LogWriter::LinesStatus(m_log.LogLines()));
  if (!error.isEmpty()) LogStopped(error);
}

void TMainForm::LogStopped(const QString& message) {
  ui->miStartLog->setEnabled(true);
  ui->miTimedLog->setEnabled(true);
  ui->miStopLog->setEnabled(false);
  if (!message.isEmpty()) m_prompts.Inform(message, {}, PromptIcon::Error);
}

}  // namespace hlx
