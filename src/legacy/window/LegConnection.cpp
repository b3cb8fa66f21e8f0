// Port choice, host speed and its search, "Read Configuration", the version
// reply's capability word.
#include <QTimer>

#include "legacy/window/LegMainForm.h"
#include "link/Comms.h"
#include "ui_LegMainForm.h"

namespace hlx::legacy {

namespace {
const QString kCannotOpen = QStringLiteral("Cannot open communication channel to multiplexer");
const QString kNotSuitable = QStringLiteral(
    "This version of HLXConfig is not suitable for the connected\rmultiplexer. Please use a version below "
    "V3.00.");
}  // namespace

void TLegMainForm::ConnectionStart() {
  const bool reconnect = TakeReConnect();
  const auto start = [this] {
    if (ui->cbPort->currentIndex() < 0) return;
    // "Automatic" is no speed a port can be opened at: search, as choosing it does.
    const bool search = ui->cbBaudHost->currentIndex() == kLegacyBaudAutomatic;
    if (search) ui->cbBaudHost->setCurrentIndex(kLegacySearchSpeeds.front());
    OpenSelectedPort();
    if (!ChannelOpen()) return;
    if (search)
      StartAutoBaud();
    else
      ReadConfiguration();
  };
  if (reconnect)
    QTimer::singleShot(kReconnectDelayMs, this, start);
  else
    start();
}

void TLegMainForm::OpenSelectedPort() {
  if (m_comm->Open(ChSerial, ui->cbPort->currentText(), ui->cbBaudHost->currentIndex()) != ChClosed) return;
  ui->cbPort->setCurrentIndex(-1);
  m_prompts.Inform(kCannotOpen);
}

void TLegMainForm::PortChanged() {
  m_comm->Close();
  if (ui->cbPort->currentIndex() >= 0) OpenSelectedPort();
  SaveSettings(false);
}

void TLegMainForm::BaudHostChanged(int index) {
  if (index == kLegacyBaudAutomatic) {
    StartAutoBaud();
    return;
  }
  SendSentence(HostSpeedCommand(index));
  Pause(kBaudChangePauseMs);
  m_comm->SetSpeed(index);
  SaveSettings(false);
}

void TLegMainForm::StartAutoBaud() {
  m_state = SessionState::AutoBaud;
  m_search.Start();
  // The first speed is not shown while it is tried.
  ui->cbBaudHost->setCurrentIndex(-1);
  SetConfigControlsEnabled(false);
}

void TLegMainForm::TrySpeed(int speedIndex) {
  m_comm->SetSpeed(speedIndex);
  SendSentence(kVersionQuery);
  ui->cbBaudHost->setCurrentIndex(speedIndex);
  RefreshControls();
}

void TLegMainForm::SearchGaveUp() {
  m_state = SessionState::Idle;
  RefreshControls();
  m_prompts.Inform(QString::fromLatin1(kNoResponseText));
}

void TLegMainForm::ReadConfiguration() {
  VersionTimer.start();
  for (QLineEdit* e : {ui->edtTalkID1, ui->edtTalkID2, ui->edtTalkID3, ui->edtTalkID4}) e->clear();
  SetConfigControlsEnabled(false);
  for (const std::string& q : ReadConfigurationQueries(m_gen)) SendSentence(q);
}

void TLegMainForm::VersionTimeout() {
  VersionTimer.stop();
  m_prompts.Inform(QString::fromLatin1(kNoResponseText));
}

void TLegMainForm::CheckCapabilities(const QString& text) {
  const Capabilities caps = ParseCapabilities(text);
  if (m_gen.model == ModelCheck::CapabilityLayout) {
    // The word describes the model; a word that is no number describes nothing.
    if (!caps.valid) return;
    ApplyModelLayout(LayoutForCaps(caps.word));
    SetModeItems(ModeItems(caps.word));
    return;
  }
  // A word that is no hexadecimal number cannot confirm that this program
  // serves the device: the same warning as for bit 15 clear.
  if (!caps.valid || !caps.served) {
    m_prompts.Inform(kNotSuitable, QString::fromLatin1(kCapsWarningCaption), PromptIcon::Warning);
    return;
  }
  if (m_gen.aisMode) SetModeItems(ModeItems(caps.word));
  if (!m_gen.hostKindTest) return;
  m_usbHost = caps.hostKind == kHostUsb;
  if (caps.hostKind == kHostSerial) {
    ui->cbBaudHost->setEnabled(true);
  } else if (m_usbHost) {
    ui->cbBaudHost->setEnabled(false);
    ui->cbBaudHost->setCurrentIndex(kLegacyBaudAutomatic);
  }
}

void TLegMainForm::SaveSettings(bool clear) {
  SaveLegacySettings(clear, ui->cbBaudHost->currentIndex(), ui->cbPort->currentIndex());
}

}  // namespace hlx::legacy
