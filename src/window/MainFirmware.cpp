// The firmware updates as the main window shows them: the menu items, the
// progress window and the controls taken away while it runs, the host
// address dialog of the wireless module's update. What is sent and decided
// lives in FwUpdate and WifiUpdate.

#include <QTimer>

#include "config/pages/ConfigPages.h"
#include "firmware/ui/Progress.h"
#include "link/Comms.h"
#include "network/XportLib.h"
#include "network/dialogs/SelectNetworkDlg.h"
#include "ui_MainForm.h"
#include "window/MainForm.h"

namespace hlx {

namespace {
const char* const kBootloaderName = "Bootloader";
}  // namespace

void TMainForm::CreateFirmwareUpdate() {
  m_progress = new TProgress(this);
  m_fw = std::make_unique<FwUpdate>(static_cast<FirmwareWindow&>(*this));
  m_fw->SetAfterProgramming([this](bool programmed) { AfterProgramming(programmed); });
  connect(this, &TMainForm::firmwareUpdateRequested, this, [this](bool builtIn) { m_fw->Start(builtIn); });
  m_wifi = std::make_unique<WifiUpdate>(*this, *m_core, static_cast<WifiWindow&>(*this));
  connect(ui->miUpdateWiFi, &QAction::triggered, this, [this] { m_wifi->Start(); });
}

void TMainForm::AfterProgramming(bool programmed) {
  // A lost link or a close request waited for the last block; their turn now,
  // after the core has armed its time-out, which ending the session stops.
  // A failed run may have ended because the receive thread did, with its
  // notice still queued: the update has said the link is gone, so that
  // notice says nothing again.
  const bool serialOrTcp = m_comm->ChannelKind() == ChSerial || m_comm->ChannelKind() == ChTcp;
  if (m_lostDuringUpdate || (!programmed && serialOrTcp && !m_comm->ReceiveThreadRunning())) {
    m_lostDuringUpdate = false;
    m_lossReportedByUpdate = true;
    QTimer::singleShot(0, this, [this] {
      m_lossReportedByUpdate = false;
      if (ChannelOpen()) EndSession();
    });
  }
  if (m_closeAfterUpdate) QTimer::singleShot(0, this, &QWidget::close);
}

int TMainForm::HostSpeedIndex() const { return ui->cbBaudHost->currentIndex(); }

std::uint32_t TMainForm::DeviceVersion() const { return VersionWord(m_versionNumbers); }

void TMainForm::SetControlsForUpdate(bool enabled) {
  RefreshControls(enabled);
  ui->btnReadConfig->setEnabled(enabled && ChannelOpen());
  ui->gbHost->setEnabled(enabled);
}

void TMainForm::RevealUpdateMenu() {
  ui->miSep2->setVisible(true);
  ui->miUpdateFirmware->setVisible(true);
  ui->miUpdateFirmware->setEnabled(true);
  // Until it is updated the multiplexer is only its bootloader: no firmware
  // version (so no downgrade question) and no settings that could be changed.
  m_deviceName = QString::fromLatin1(kBootloaderName);
  m_deviceVersion.clear();
  m_versionNumbers = {};
  if (State() == SessionState::FwLoader)
    ShowDeviceIdentity(ChannelOpen());
  else
    RefreshControls(false);
}

ProgressView& TMainForm::Progress() { return *m_progress; }

QStringList TMainForm::LocalAddresses() const { return GetLocalAddresses(); }

QString TMainForm::PickHostAddress(const QStringList& addresses) {
  TSelectNetworkDlg dialog(this);
  dialog.SetAddresses(addresses);
  return dialog.exec() == QDialog::Accepted ? dialog.SelectedAddress() : QString();
}

}  // namespace hlx
