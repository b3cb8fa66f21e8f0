#include "config/ConfigPages.h"

#include <QApplication>
#include <QLayout>

#include "config/FilterPage.h"
#include "config/InOutPage.h"
#include "config/OptionsPage.h"
#include "link/Nmeadefs.h"
#include "ui/UserPrompts.h"

namespace hlx {

namespace {

void AddPage(QWidget* tab, QWidget* page) {
  if (!tab->layout()) {
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
  }
  tab->layout()->addWidget(page);
}

void EnableAll(QWidget* root, bool enable) {
  for (QWidget* w : root->findChildren<QWidget*>()) w->setEnabled(enable);
}

// Sets Updating for the scope and puts the previous value back.
class UpdatingScope {
 public:
  explicit UpdatingScope(ConfigHost& host) : m_host(host), m_was(host.Updating()) { host.SetUpdating(true); }
  ~UpdatingScope() { m_host.SetUpdating(m_was); }

 private:
  ConfigHost& m_host;
  bool m_was;
};

}  // namespace

TConfigPages::TConfigPages(QWidget* tabInOut, QWidget* tabOptions, QWidget* tabFilter, ConfigHost& host,
                           QObject* parent)
    : QObject(parent), m_host(host) {
  m_inOut = new TInOutPage(*this, tabInOut);
  m_options = new TOptionsPage(*this, tabOptions);
  m_filter = new TFilterPage(*this, tabFilter);
  m_filterTab = tabFilter;
  AddPage(tabInOut, m_inOut);
  AddPage(tabOptions, m_options);
  AddPage(tabFilter, m_filter);
  // "Output NMEA V1.5" sits on the other tab but is one of the option bits.
  m_options->AddBitBox(m_inOut->ui.chbNmeaV15, OptNmeaV15);
  SetControlsEnabled(false);
}

TConfigPages::~TConfigPages() = default;

void TConfigPages::HandleCFReply(std::string_view line) { ApplyCFReply(m_config, line); }
void TConfigPages::HandleDRReply(std::string_view line) { ApplyDRReply(m_config, line); }
void TConfigPages::HandleIDReply(std::string_view line) { ApplyIDReply(m_config, line); }
void TConfigPages::HandleSPReply(std::string_view line) { ApplySPReply(m_config, line); }
void TConfigPages::HandleOPReply(std::string_view line) { ApplyOPReply(m_config, line); }
void TConfigPages::HandleINReply(std::string_view line) { ApplyINReply(m_config, line); }

bool TConfigPages::HandleFLReply(std::string_view line) {
  const bool end = m_rules.HandleFLReply(line);
  m_filter->ui.FilterGrid->ListChanged();
  return end;
}

void TConfigPages::HandleCaptureLine(int source, std::string_view address) {
  m_rules.HandleCaptureLine(source, address);
  m_filter->ui.FilterGrid->ListChanged();
}

void TConfigPages::ClearFilterList() {
  m_rules.Clear();
  m_filter->ui.FilterGrid->ListChanged();
  m_filter->UpdateDeleteButton();
}

void TConfigPages::RulesChanged() {
  m_filter->ui.FilterGrid->ListChanged();
  m_filter->UpdateDeleteButton();
}

void TConfigPages::CaptureClick() {
  if (m_host.SessionState() == Idle) {
    m_host.SendSentence(OptionBitCommand(OptChanTag, true));
    m_host.SetSessionState(Capture);
    emit RefreshControlsRequested(false);
  } else if (m_host.SessionState() == Capture) {
    StopCapture();
  }
}

void TConfigPages::StopCapture() {
  if (m_host.SessionState() != Capture) return;
  // The model still holds the device's own TAG setting.
  m_host.SendSentence(OptionWordCommand(m_config.Options));
  m_host.SetSessionState(Idle);
  emit RefreshControlsRequested(true);
}

void TConfigPages::ResetFactorySettings() {
  const bool yes = Prompts().AskYesNo(
      QStringLiteral("This will restore the factory settings\rof the multiplexer. Do you really want to proceed?"),
      QStringLiteral("HLX-Config"), PromptIcon::Warning);
  if (yes) m_host.SendSentence(kFactoryResetCommand);
  m_host.ReadConfiguration();
}

void TConfigPages::StoreFilterList() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (const auto& step : m_rules.StoreSequence()) {
    m_host.SendSentence(step.Text);
    m_host.Pause(step.PauseMs);
  }
  QApplication::restoreOverrideCursor();
}

void TConfigPages::SetDeviceCaps(std::uint16_t caps) {
  m_deviceCaps = caps;
  m_filter->ui.FilterGrid->SetOutputWExists((caps & 0x7) != 0);
}

void TConfigPages::SetControlsEnabled(bool enable) {
  m_controlsEnabled = enable;
  for (QWidget* group : std::initializer_list<QWidget*>{m_options->ui.gbPriority, m_options->ui.gbChannels,
                                                        m_options->ui.gbConversions, m_inOut->ui.gbNMEAIn,
                                                        m_inOut->ui.gbNMEAOut, m_filter->ui.gbNewRule})
    EnableAll(group, enable);
  // The page itself stays enabled so that Capture/Stop can be enabled alone.
  for (QWidget* w : m_filterTab->findChildren<QWidget*>())
    if (w != m_filter) w->setEnabled(enable);
  m_inOut->SetTalkerEditsNormal();
}

void TConfigPages::UpdateControls() {
  UpdatingScope updating(m_host);
  const auto state = m_host.SessionState();
  if (state == Capture) {
    m_filter->ui.btnFilterCapture->setEnabled(true);
    m_filter->ui.btnFilterCapture->setText(QStringLiteral("Stop"));
    return;
  }
  if (state != Idle) return;
  m_filter->UpdateDeleteButton();
  m_filter->ui.btnFilterCapture->setText(QStringLiteral("Capture"));
  if (m_controlsEnabled) {
    m_options->ApplyPriorityRules(m_config);
    ApplySeaTalkSpeedRule(m_config);
    m_inOut->ApplyDependentRules(m_config);
  }
  m_options->ShowOptionBits(m_config);
  m_inOut->ShowModel(m_config);
  m_filter->ui.cbModeFilter->setCurrentIndex(TestBit(m_config.Options, OptFilterBlock) ? 1 : 0);
}

}  // namespace hlx
