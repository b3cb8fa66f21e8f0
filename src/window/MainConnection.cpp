// Connection panel of the main window: connect and disconnect, the speed
// search, identification of the device and the two routines that bring the
// controls in line with the connection and the session.

#include <QEventLoop>
#include <QLabel>
#include <QPointer>

#include "config/pages/ConfigPages.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "ui/MainWindowCommon.h"
#include "ui_MainForm.h"
#include "window/MainForm.h"

namespace hlx {

namespace {
const char* const kUpdateQuestion =
    "This version of HLX-Config requires that you update\rthe firmware in your Halyx.\r\r"
    "Would you like to perform an automatic update now?";
}  // namespace

void TMainForm::ConnectClick() {
  if (ChannelOpen())
    Disconnect();
  else
    Connect();
}

void TMainForm::Connect() {
  WaitCursorScope cursor(*this);
  const int port = ui->cbPort->currentIndex();
  const QString ip = ui->edtMuxIP->text();
  try {
    if (port == kPortUdpAll) {
      m_comm->Open(ChUdp, ip, 0);
    } else if (port == kPortUdp) {
      m_comm->Open(ChUdp, ip, 1);
    } else if (port == kPortTcp) {
      m_comm->Open(ChTcp, ip, 0);
    } else if (port >= kFirstSerialPort) {
      const QString portName = ui->cbPort->itemText(port);
      const int speed = ui->cbBaudHost->currentIndex();
      if (m_comm->Open(ChSerial, portName, speed) == ChClosed) {
        const int error = m_comm->LastOpenErrno();
        ui->cbPort->setCurrentIndex(-1);
        UpdateControls();  // nothing selected: nothing to connect
        cursor.Restore();
        // Beyond the bare failure, say what to do when the fix is known, and
        // the system's reason when it is not.
        const QString advice = SerialOpenAdvice(portName, error);
        const QString reason = advice.isEmpty() ? m_comm->LastOpenError() : QString();
        m_prompts.Inform(QString::fromLatin1(kOpenFailedText) +
                         (reason.isEmpty() ? QString() : QStringLiteral("\r") + reason));
        if (!advice.isEmpty()) m_prompts.Inform(advice, {}, PromptIcon::Warning);
      } else if (speed == kBaudAutomatic) {
        // Only an open port is searched: a failed open leaves everything as it was.
        StartAutoBaud();
        QPointer<TMainForm> self(this);
        QEventLoop loop;
        connect(m_core.get(), &SessionCore::stateChanged, &loop, [&loop](SessionState state) {
          if (state != SessionState::AutoBaud) loop.quit();
        });
        if (State() == SessionState::AutoBaud) loop.exec();
        if (!self) return;
      }
    }
  } catch (const std::exception& e) {
    cursor.Restore();
    m_prompts.Inform(QString::fromLocal8Bit(e.what()), {}, PromptIcon::Error);
  }
  cursor.Restore();
  m_pages->ForgetOptionWord();
  if (ChannelOpen()) ReadConfiguration();
  m_core->SetHostKind(kHostUnknown);
}

void TMainForm::Disconnect() {
  m_pages->StopCapture();
  if (m_core->ViewFilter() > 0) RestoreOptionWord();
  EndSession();
}

// Common end of a channel, whoever closed it.
void TMainForm::EndSession() {
  m_wifi->Stop();
  m_comm->Close();
  m_core->EndSession();
  RefreshControls(false);
  ui->cbBaudHost->setEnabled(true);
  // The next device may have no output "W".
  m_pages->SetDeviceCaps(0);
}

void TMainForm::ChannelLost() {
  if (!ChannelOpen()) return;
  // The device is gone: its option word cannot be restored any more, and a
  // command "sent" to it would only stand in the log as if it had gone out.
  m_pages->DropCapture();
  EndSession();
  m_prompts.Inform(QString::fromLatin1(kChannelLostText), {}, PromptIcon::Warning);
}

void TMainForm::ReadConfiguration() {
  if (!ChannelOpen()) return;
  // A capture's TAG setting must not be read back as the user's own.
  m_pages->StopCapture();
  SetState(SessionState::Identify);
  SetUpdating(true);
  m_pages->ClearFilterList();
  RefreshControls(false);
  m_core->StartTimeout(QString::fromLatin1(kNoResponseText));
  SendSentence(kVersionQuery);
}

void TMainForm::StartAutoBaud() {
  m_core->StartSpeedSearch();
  UpdateControls();
  RefreshControls(false);
}

void TMainForm::TrySpeed(int speedIndex) {
  m_comm->SetSpeed(speedIndex);
  SendSentence(kVersionQuery);
  ui->cbBaudHost->setCurrentIndex(speedIndex);
  RefreshControls(true);
}

void TMainForm::EndAutoBaud(int speedIndex) {
  if (speedIndex >= 0) ui->cbBaudHost->setCurrentIndex(speedIndex);
}

void TMainForm::PortChanged(int /*index*/) {
  // Leaving a channel behaves like Disconnect, so the device does not keep a
  // view filter's or a capture's option word.
  if (ChannelOpen()) Disconnect();
  m_comm->Close();
  m_wifi->Stop();
  RefreshControls(false);
  ui->cbBaudHost->setEnabled(true);
  SaveCurrentSettings();
}

void TMainForm::BaudHostChanged(int index) {
  if (ChannelOpen()) {
    SendSentence(HostSpeedCommand(index));
    Pause(kBaudChangePauseMs);
    m_comm->SetSpeed(index);
  } else {
    UpdateControls();
  }
  SaveCurrentSettings();
}

void TMainForm::MuxIpChanged(const QString& text) {
  if (ui->cbPort->currentIndex() < kFirstSerialPort) ui->btnConnect->setEnabled(!text.isEmpty());
}

void TMainForm::SetViewBackground(bool grey) {
  QPalette pal = ui->RXData->palette();
  pal.setColor(QPalette::Base, palette().color(grey ? QPalette::Button : QPalette::Base));
  ui->RXData->setPalette(pal);
}

void TMainForm::HandleVerReply(const std::string& line) {
  m_core->StopTimeout();
  if (ui->cbPort->currentIndex() == kPortUdpAll) {
    // Several devices may answer on a shared port: none of them is read.
    SetViewBackground(false);
    SetState(SessionState::Idle);
    RefreshControls(true);
    return;
  }
  const VerReply ver = ParseVerReply(line);
  m_deviceName = ver.name;
  m_deviceSerial = ver.serial;
  m_deviceVersion = ver.version;
  m_versionNumbers = ParseVersion(ver.version.toStdString());
  if (ver.hasCaps) CheckCapabilities(ver.caps);
  // Show who answered even when the read-back will not enable the settings.
  if (ChannelOpen()) ShowDeviceIdentity(true);

  bool restarting = false;
  const int speed = ui->cbBaudHost->currentIndex();
  const bool answeredAt = ui->cbPort->currentIndex() >= kFirstSerialPort && speed != kBaudAutomatic;
  if (SelectFormId(m_versionNumbers, &restarting, answeredAt ? speed : -1)) {
    SetViewBackground(false);
    if (restarting) {
      // Another window takes over; reading this one's configuration is pointless.
      m_core->StopTimeout();
      SetState(SessionState::Idle);
      m_core->HandOver();
      return;
    }
    SetState(SessionState::ReadConfig);
    SendSentence(kConfigQuery);
  } else {
    SetViewBackground(true);
    SetState(SessionState::Idle);
    if (m_prompts.AskYesNo(QString::fromLatin1(kUpdateQuestion), QString::fromLatin1(kApplicationTitle),
                           PromptIcon::Warning))
      emit firmwareUpdateRequested(true);
  }
}

void TMainForm::CheckCapabilities(const QString& text) {
  const Capabilities caps = ParseCapabilities(text);
  if (caps.valid) m_pages->SetDeviceCaps(caps.word);
  if (!caps.supported) {
    m_prompts.Inform(QString::fromLatin1(kNotSupportedText), QString::fromLatin1(kCapsWarningCaption),
                     PromptIcon::Warning);
    return;
  }
  ui->miSep2->setVisible(caps.updatable);
  ui->miUpdateFirmware->setVisible(caps.updatable);
  ui->miUpdateWiFi->setVisible(false);
  m_core->SetHostKind(caps.hostKind);
  if (caps.hostKind == kHostUsb) ui->cbBaudHost->setEnabled(false);
  if (caps.hostKind == kHostWireless) {
    ui->cbBaudHost->setEnabled(false);
    ui->miUpdateWiFi->setVisible(true);
  }
}

void TMainForm::RefreshControls(bool enable) {
  m_pages->SetControlsEnabled(enable);
  for (QWidget* w : ui->gbManInput->findChildren<QWidget*>()) w->setEnabled(enable);
  UpdateControls();
}

void TMainForm::ShowDeviceIdentity(bool known) {
  m_statusPanels[0]->setText(QString::fromLatin1(kDevicePanelPrefix) + (known ? m_deviceName : QString()));
  m_statusPanels[1]->setText(QString::fromLatin1(kVersionPanelPrefix) +
                             (known ? m_deviceVersion : QString()));
  m_statusPanels[2]->setText(QString::fromLatin1(kSerialPanelPrefix) + (known ? m_deviceSerial : QString()));
}

void TMainForm::UpdateControls() {
  SetUpdating(true);
  const int port = ui->cbPort->currentIndex();
  if (port < 0) {
    ui->btnConnect->setEnabled(false);
  } else if (port < kFirstSerialPort) {
    ui->lbSpeed->setText(QStringLiteral("Host:"));
    ui->cbBaudHost->hide();
    ui->edtMuxIP->show();
    ui->miHalyxLAN->menuAction()->setVisible(true);
    ui->btnConnect->setEnabled(!ui->edtMuxIP->text().isEmpty());
  } else {
    ui->lbSpeed->setText(QStringLiteral("Speed:"));
    ui->cbBaudHost->show();
    ui->edtMuxIP->hide();
    ui->miHalyxLAN->menuAction()->setVisible(false);
    // A serial port cannot be opened without a speed.
    ui->btnConnect->setEnabled(ChannelOpen() || ui->cbBaudHost->currentIndex() >= 0);
  }

  const bool open = ChannelOpen();
  const std::array<QAction*, 7> sessionEntries = {ui->miLoad,       ui->miSave,
                                                  ui->miSaveAs,     ui->miUpdateFirmware,
                                                  ui->miUpdateWiFi, ui->miResetFactorySettings,
                                                  ui->miStats};
  for (QAction* a : sessionEntries) a->setEnabled(open);
  if (open) {
    for (QWidget* w : ui->gbManInput->findChildren<QWidget*>()) w->setEnabled(true);
    ui->btnConnect->setText(QStringLiteral("Disconnect"));
    ui->btnConnect->setIcon(m_connOnGlyph);
    ui->edtMuxIP->setEnabled(false);
    ui->btnReadConfig->setEnabled(true);
    ShowDeviceIdentity(true);
    ui->cbViewFilter->setEnabled(true);
  } else {
    m_pages->ClearFilterList();
    ui->btnConnect->setText(QStringLiteral("Connect"));
    ui->btnConnect->setIcon(m_connOffGlyph);
    ui->edtMuxIP->setEnabled(true);
    ui->btnReadConfig->setEnabled(false);
    ShowDeviceIdentity(false);
    ui->cbViewFilter->setCurrentIndex(0);
    ui->cbViewFilter->setEnabled(false);
  }

  switch (State()) {
    case SessionState::Idle: m_pages->UpdateControls(); break;
    case SessionState::Capture:
      ui->btnReadConfig->setEnabled(false);
      m_pages->UpdateControls();  // Capture/Stop enabled, captioned "Stop"
      break;
    case SessionState::FwRestart: ShowDeviceIdentity(true); break;
    default: break;
  }
  SetUpdating(false);
}

}  // namespace hlx
