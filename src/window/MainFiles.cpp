// Configuration files and the statistics window of the main window.

#include <QLabel>

#include "config/ConfigFile.h"
#include "config/pages/ConfigPages.h"
#include "link/Comms.h"
#include "ui_MainForm.h"
#include "window/MainForm.h"
#include "window/StatsWindow.h"

namespace hlx {

void TMainForm::ConnectFileMenus() {
  connect(ui->miLoad, &QAction::triggered, this, [this] { LoadConfigClick(); });
  connect(ui->miSave, &QAction::triggered, this, [this] { SaveConfigClick(); });
  connect(ui->miSaveAs, &QAction::triggered, this, [this] { SaveConfigAsClick(); });
  connect(ui->miStats, &QAction::triggered, this, [this] { StatsClick(); });
  m_stats->SetRateSource([this] { return m_core->Inspector().InputRates(m_core->NowMs()); });
  m_statusPanels[3]->setText(ConfigFileStatus(m_configFileName));
}

void TMainForm::SetConfigFileName(const QString& name) {
  m_configFileName = name;
  m_statusPanels[3]->setText(ConfigFileStatus(name));
}

void TMainForm::LoadConfigClick() {
  const QString name = m_prompts.OpenFile(QString(), OpenDialogFilters(), 0);
  if (name.isEmpty()) return;
  LoadConfigFile(name);
}

void TMainForm::SaveConfigClick() {
  if (m_configFileName.isEmpty()) {
    const QString name = m_prompts.SaveFile(QString(), SaveDialogFilters(), 0, ConfigDefaultSuffix());
    if (name.isEmpty()) return;
    SetConfigFileName(name);
  }
  SaveConfigFile(m_configFileName);
  UpdateControls();
}

void TMainForm::SaveConfigAsClick() {
  const QString name =
      m_prompts.SaveFile(QString(), SaveDialogFilters(), 0, ConfigDefaultSuffix(), m_configFileName);
  if (name.isEmpty()) return;
  SetConfigFileName(name);
  SaveConfigFile(name);
  UpdateControls();
}

void TMainForm::LoadConfigFile(const QString& name) {
  // Read into copies first: a file that cannot be read must not wipe the
  // device's configuration with defaults.
  DeviceConfig config = m_pages->Model();
  FilterList rules;
  QStringList diagnostics;
  const bool read = hlx::LoadConfigFile(name, config, rules, &diagnostics);
  // Values the device could not take were replaced by their defaults.
  for (const QString& line : diagnostics) qWarning("%s: %s", qPrintable(name), qPrintable(line));
  if (!read) {
    m_prompts.Inform(QStringLiteral("Unable to read %1").arg(name), {}, PromptIcon::Error);
    return;
  }
  SetConfigFileName(name);
  m_pages->LoadConfiguration(config, rules);
  ApplyConfiguration();
}

void TMainForm::SaveConfigFile(const QString& name) {
  const ConfigFileHeader header{ProgramVersion(), m_deviceName, m_deviceVersion, m_deviceSerial};
  const QString error = hlx::SaveConfigFile(name, header, m_pages->Model(), m_pages->Rules());
  if (!error.isEmpty()) m_prompts.Inform(error, {}, PromptIcon::Error);
}

void TMainForm::ApplyConfiguration() { hlx::ApplyConfiguration(*this, m_pages->Model(), m_pages->Rules()); }

void TMainForm::StatsClick() {
  const StatsToggleAction action = ToggleStats(m_statsOn);
  m_statsOn = action.Checked;
  ui->miStats->setChecked(action.Checked);
  if (action.Show) m_stats->move(StatsPlacement(frameGeometry()));
  SendSentence(action.Command);
  m_stats->setVisible(action.Show);
}

}  // namespace hlx
