#include "config/pages/ConfigPages.h"

#include <QLayout>

#include "config/ReadBack.h"
#include "config/pages/FilterPage.h"
#include "config/pages/InOutPage.h"
#include "config/pages/OptionsPage.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "session/SessionHost.h"
#include "session/VersionCheck.h"

namespace hlx {

namespace {
void AddPage(QWidget* tab, QWidget* page) {
  if (!tab->layout()) {
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
  }
  tab->layout()->addWidget(page);
}
}  // namespace

TConfigPages::TConfigPages(QWidget* tabInOut, QWidget* tabOptions, QWidget* tabFilter, SessionHost& host,
                           QObject* parent)
    : QObject(parent), m_host(host) {
  m_inOut = new TInOutPage(
      m_host, m_config, [this] { UpdateControls(); }, tabInOut);
  m_options = new TOptionsPage(
      m_host, m_config, [this] { UpdateControls(); }, tabOptions);
  m_filter = new TFilterPage(m_host, m_config, m_rules, tabFilter);
  AddPage(tabInOut, m_inOut);
  AddPage(tabOptions, m_options);
  AddPage(tabFilter, m_filter);
  m_options->AddBitBox(m_inOut->NmeaV15Box(), OptNmeaV15);
  connect(m_filter, &TFilterPage::captureClicked, this, &TConfigPages::CaptureClick);
  SetControlsEnabled(false);
}

TConfigPages::~TConfigPages() = default;

bool TConfigPages::ReadBackReply(int sentenceId, std::string_view line) {
  const ReadBackResult result = ApplyReadBackReply(sentenceId, line, m_config, m_rules);
  if (sentenceId == SidOP && result == ReadBackResult::Applied) m_optionsKnown = true;
  if (sentenceId == SidFL) m_filter->ListChanged();
  return result == ReadBackResult::ListEnded;
}

void TConfigPages::CaptureLine(int source, std::string_view address) {
  m_rules.HandleCaptureLine(source, address);
  m_filter->ListChanged();
}

void TConfigPages::ClearFilterList() {
  m_rules.Clear();
  m_filter->ListChanged();
}

void TConfigPages::LoadConfiguration(const DeviceConfig& config, const FilterList& rules) {
  m_config = config;
  m_rules = rules;
  m_optionsKnown = true;  // the file's word is sent to the device next
  m_filter->ListChanged();
  UpdateControls();
}

std::string TConfigPages::OptionRestoreCommand() const {
  return hlx::OptionRestoreCommand(m_config, m_optionsKnown);
}

void TConfigPages::CaptureClick() {
  if (m_host.State() == SessionState::Idle) {
    m_host.SendSentence(OptionBitCommand(OptChanTag, true));
    m_host.SetState(SessionState::Capture);
    emit refreshControlsRequested(false);
  } else {
    StopCapture();
  }
}

void TConfigPages::StopCapture() {
  if (m_host.State() != SessionState::Capture) return;
  // The model still holds the device's own TAG setting.
  m_host.SendSentence(OptionRestoreCommand());
  m_host.SetState(SessionState::Idle);
  emit refreshControlsRequested(true);
}

void TConfigPages::DropCapture() {
  if (m_host.State() != SessionState::Capture) return;
  m_host.SetState(SessionState::Idle);
  emit refreshControlsRequested(true);
}

void TConfigPages::ResetFactorySettings() {
  const bool yes = m_host.Prompts().AskYesNo(
      QStringLiteral(
          "This will restore the factory settings\rof the multiplexer. Do you really want to proceed?"),
      QString::fromLatin1(kApplicationTitle), PromptIcon::Warning);
  if (yes) m_host.SendSentence(kFactoryResetCommand);
  emit readConfigurationRequested();
}

void TConfigPages::SetDeviceCaps(std::uint16_t caps) {
  m_filter->SetOutputWExists((caps & kCapsOutputW) != 0);
}

void TConfigPages::SetControlsEnabled(bool enable) {
  m_controlsEnabled = enable;
  m_inOut->SetControlsEnabled(enable);
  m_options->SetControlsEnabled(enable);
  m_filter->SetControlsEnabled(enable);
}

void TConfigPages::UpdateControls() {
  UpdatingScope updating(m_host);
  const SessionState state = m_host.State();
  if (state == SessionState::Capture) {
    m_filter->ShowState(true, m_config);
    return;
  }
  if (state != SessionState::Idle) return;
  m_filter->ShowState(false, m_config);
  if (m_controlsEnabled) {
    m_options->ApplyPriorityRules(m_config);
    ApplySeaTalkSpeedRule(m_config);
    m_inOut->ApplyDependentRules(m_config);
  }
  m_options->ShowOptionBits(m_config);
  m_inOut->ShowModel(m_config);
}

}  // namespace hlx
