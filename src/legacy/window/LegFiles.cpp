// Configuration files, the traffic log and the About box.
#include <QButtonGroup>
#include <QTime>

#include "legacy/window/LegMainForm.h"
#include "session/LogWriter.h"
#include "ui/About.h"
#include "ui_LegMainForm.h"

namespace hlx::legacy {

void TLegMainForm::ConnectMenus() {
  connect(ui->miStartLog, &QAction::triggered, this, [this] { StartLogClick(false); });
  connect(ui->miTimedLog, &QAction::triggered, this, [this] { StartLogClick(true); });
  connect(ui->miStopLog, &QAction::triggered, this, [this] { StopLogClick(); });
  connect(ui->miOpen, &QAction::triggered, this, [this] { OpenClick(); });
  connect(ui->miSave, &QAction::triggered, this, [this] { SaveClick(); });
  connect(ui->miSaveAs, &QAction::triggered, this, [this] { SaveAsClick(); });
  connect(ui->miExit, &QAction::triggered, this, [this] { close(); });
  connect(ui->miAbout, &QAction::triggered, this, [this] { AboutClick(); });
}

void TLegMainForm::SetConfigFileName(const QString& name) {
  ConfigFileName = name;
  SetPanel(3, QStringLiteral("Config file: ") + name);
}

void TLegMainForm::OpenClick() {
  const QString name = m_prompts.OpenFile(QStringLiteral("Open"), LegacyOpenFilters(m_gen), 0);
  if (name.isEmpty()) return;
  SetConfigFileName(name);
  LoadConfigFile(name);
}

void TLegMainForm::SaveClick() {
  if (ConfigFileName.isEmpty()) {
    const QString name = m_prompts.SaveFile(QStringLiteral("Save"), LegacySaveFilters(), 0,
                                            QString::fromLatin1(kLegacySuffix));
    if (!name.isEmpty()) {
      SetConfigFileName(name);
      SaveConfigFile(name);
    }
  } else {
    SaveConfigFile(ConfigFileName);
  }
  RefreshControls();
}

void TLegMainForm::SaveAsClick() {
  const QString name = m_prompts.SaveFile(QStringLiteral("Save as"), LegacySaveFilters(), 0,
                                          QString::fromLatin1(kLegacySuffix), ConfigFileName);
  if (!name.isEmpty()) {
    SetConfigFileName(name);
    SaveConfigFile(name);
  }
  RefreshControls();
}

void TLegMainForm::LoadConfigFile(const QString& name) {
  const FileSettings s = LoadLegacyConfigFile(name, m_gen, m_filter);
  // Check boxes and the mode that change send their commands, in the order of
  // the file's keys; lists and IDs are only shown.
  for (Option o : kFileOptionOrder)
    if (QCheckBox* box = OptionBox(o); box && m_gen.InFile(o))
      box->setChecked(s.options[static_cast<std::size_t>(o)]);
  SelectMode(s.mode);
  QCheckBox* const rt[kInputs] = {ui->chbRTime1, ui->chbRTime2, ui->chbRTime3, ui->chbRTime4};
  QLineEdit* const ids[kInputs] = {ui->edtTalkID1, ui->edtTalkID2, ui->edtTalkID3, ui->edtTalkID4};
  for (int i = 0; i < kInputs; ++i) {
    rt[i]->setChecked(s.realTime[static_cast<std::size_t>(i)]);
    ids[i]->setText(s.talkerIds[static_cast<std::size_t>(i)]);
  }
  if (m_gen.portSpeeds) {
    const auto boxes = SpeedBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i]->setCurrentIndex(s.speeds[i]);
  }
  ui->FilterGrid->Refresh();
}

FileSettings TLegMainForm::CurrentFileSettings() const {
  FileSettings s;
  for (int o = 0; o < kOptionCount; ++o)
    if (QCheckBox* box = OptionBox(static_cast<Option>(o)))
      s.options[static_cast<std::size_t>(o)] = box->isChecked();
  s.mode = std::max(0, m_mode->checkedId());
  s.realTime = {ui->chbRTime1->isChecked(), ui->chbRTime2->isChecked(), ui->chbRTime3->isChecked(),
                ui->chbRTime4->isChecked()};
  s.talkerIds = {ui->edtTalkID1->text(), ui->edtTalkID2->text(), ui->edtTalkID3->text(),
                 ui->edtTalkID4->text()};
  const auto boxes = SpeedBoxes();
  for (int i = 0; i < kPortSpeeds; ++i) {
    const int index = boxes[static_cast<std::size_t>(i)]->currentIndex();
    // A list without a selection is saved as what a missing key reads as.
    s.speeds[static_cast<std::size_t>(i)] =
        index >= 0 ? index : (i == kPortSpeeds - 1 ? kDefaultSpeedOut2 : 0);
  }
  return s;
}

void TLegMainForm::SaveConfigFile(const QString& name) {
  QString error;
  if (!SaveLegacyConfigFile(name, m_gen, CurrentFileSettings(), m_filter, &error))
    m_prompts.Inform(
        QStringLiteral("Error Creating \"%1\"").arg(name) + (error.isEmpty() ? QString() : u'\r' + error), {},
        PromptIcon::Error);
}

void TLegMainForm::StartLogClick(bool timed) {
  const QString name = m_prompts.SaveFile(QStringLiteral("Log"), LegacySaveFilters(), kSaveFilterLog,
                                          QString::fromLatin1(kLegacySuffix));
  if (name.isEmpty()) return;
  const QString error = m_log.Start(name, timed);
  if (!error.isEmpty()) {
    m_prompts.Inform(error, {}, PromptIcon::Error);
    return;
  }
  SetLogMenus(true);
}

void TLegMainForm::StopLogClick() {
  if (!m_log.Active()) return;
  m_log.Stop();
  SetLogMenus(false);
  SetPanel(4, LogWriter::kNoLogStatus);
}

void TLegMainForm::SetLogMenus(bool active) {
  ui->miStartLog->setEnabled(!active);
  ui->miTimedLog->setEnabled(!active);
  ui->miStopLog->setEnabled(active);
}

void TLegMainForm::WriteLog(const std::string& line) {
  if (!m_log.Active()) return;
  const QString error = m_log.Write(line, QTime::currentTime());
  SetPanel(4, LogWriter::LinesStatus(m_log.Lines()));
  if (error.isEmpty()) return;
  SetLogMenus(false);
  m_prompts.Inform(error, {}, PromptIcon::Error);
}

void TLegMainForm::AboutClick() {
  TAboutBox about(m_prompts, this);
  if (!about.ExecAndCheckClear(this)) return;
  m_clearSettings = true;
  close();
}

}  // namespace hlx::legacy

#include "moc_LegMainForm.cpp"
