// The Halyx-LAN menu: searching for network modules, giving one an address by
// its MAC, and changing a module's network settings, after which the window
// points its own connection at the module.

#include <QMenu>
#include <QProgressBar>

#include "firmware/ui/Progress.h"
#include "link/Comms.h"
#include "network/dialogs/AssignIPDlg.h"
#include "network/dialogs/NetDialogSupport.h"
#include "network/dialogs/NetworkDlg.h"
#include "network/dialogs/XPortListDlg.h"
#include "session/ConnectionRules.h"
#include "ui_MainForm.h"
#include "window/MainForm.h"

namespace hlx {

namespace {

// The network dialogs drive the window's one progress window.
class ProgressForNetwork : public NetProgress {
 public:
  explicit ProgressForNetwork(TProgress& progress) : m_progress(progress) {}
  void Start(const QString& caption, int minimum, int maximum) override {
    m_progress.Begin(caption);
    m_progress.Bar()->setRange(minimum, maximum);
    m_progress.Bar()->setValue(minimum);
  }
  void SetPosition(int position) override { m_progress.SetPosition(position); }
  void Finish() override { m_progress.End(); }

 private:
  TProgress& m_progress;
};

const char* const kNoAddress = "0.0.0.0";

}  // namespace

void TMainForm::ConnectNetworkMenus() {
  connect(ui->miHalyxLAN, &QMenu::aboutToShow, this,
          [this] { ui->miNetworkSetup->setEnabled(!ui->edtMuxIP->text().isEmpty()); });
  connect(ui->miSearchLAN, &QAction::triggered, this, [this] { SearchLanClick(); });
  connect(ui->miAssignIP, &QAction::triggered, this, [this] {
    ProgressForNetwork progress(*m_progress);
    TAssignIPDlg assign(m_prompts, progress, this);
    assign.ExecFor(QString(), this);
  });
  connect(ui->miNetworkSetup, &QAction::triggered, this, [this] { NetworkSetupClick(); });
}

void TMainForm::SearchLanClick() {
  ProgressForNetwork progress(*m_progress);
  TAssignIPDlg assign(m_prompts, progress, this);
  TXPortListDlg list(m_prompts, progress, assign, this);
  if (list.exec() == QDialog::Accepted && !list.SelectedIP().isEmpty())
    ui->edtMuxIP->setText(list.SelectedIP());
}

void TMainForm::NetworkSetupClick() {
  ProgressForNetwork progress(*m_progress);
  TNetworkDlg dialog(m_prompts, progress, this);
  dialog.SetTargetIP(ui->edtMuxIP->text());
  if (dialog.exec() != QDialog::Accepted) return;
  // The module now works as set: the old link is gone, the next one is made by hand.
  if (ChannelOpen()) EndSession();
  const int port = dialog.TcpChosen() ? kPortTcp : kPortUdp;
  ui->cbPort->setCurrentIndex(port);
  PortChanged(port);
  if (dialog.IPText() != QLatin1String(kNoAddress)) ui->edtMuxIP->setText(dialog.IPText());
  UpdateControls();
}

}  // namespace hlx
