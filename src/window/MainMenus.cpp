// Menu entries of the main window and the traffic log they start and stop.

#include <QLabel>
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
