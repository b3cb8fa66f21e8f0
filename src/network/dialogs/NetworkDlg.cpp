#include "network/dialogs/NetworkDlg.h"

#include "network/NetFields.h"
#include "network/dialogs/NetDialogSupport.h"
#include "session/UserPrompts.h"
#include "ui_NetworkDlg.h"

namespace hlx {

namespace {

const QString kNoAddress = QStringLiteral("0.0.0.0");
const QString kCannotConnect = QStringLiteral("Cannot connect to Halyx");
const QString kInvalidInput = QStringLiteral("Invalid IP address or netmask entered");
const QString kNotVerified = QStringLiteral("Unable to verify network settings!");
const QString kUpdateProgress = QStringLiteral("Updating Network Settings...");
// Steps 1..20: the first ten only wait for the restart, the rest also try to connect.
constexpr int kVerifyLastStep = 20;
constexpr int kVerifyWaitSteps = 10;

}  // namespace

TNetworkDlg::TNetworkDlg(UserPrompts& prompts, NetProgress& progress, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::NetworkDlg>()),
      m_prompts(prompts),
      m_progress(progress),
      m_stepMs(kNetStepMs) {
  ui->setupUi(this);
  FixDialogSize(*this);
  connect(ui->rbTCP, &QRadioButton::clicked, this, &TNetworkDlg::UpdateControls);
  connect(ui->rbUDP, &QRadioButton::clicked, this, &TNetworkDlg::UpdateControls);
  connect(ui->cbUDPMode, &QComboBox::activated, this, &TNetworkDlg::UpdateControls);
  connect(ui->edtIP, &QLineEdit::textChanged, this, [this] { m_ipChanged = true; });
  connect(ui->btnOK, &QPushButton::clicked, this, &TNetworkDlg::btnOKClick);
}

TNetworkDlg::~TNetworkDlg() = default;

bool TNetworkDlg::TcpChosen() const { return ui->rbTCP->isChecked(); }

QString TNetworkDlg::IPText() const { return ui->edtIP->text(); }

void TNetworkDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ui->btnCancel->setFocus();
  m_port = std::make_unique<TXPort>(WindowsAliveHook());
  for (QLineEdit* e : {ui->edtIP, ui->edtMask, ui->edtGatewayIP, ui->edtDestIP}) e->setText(kNoAddress);
  SetEditing(false);
  // After the dialog has painted: the read may take the whole connect limit.
  QMetaObject::invokeMethod(this, &TNetworkDlg::ReadSettings, Qt::QueuedConnection);
}

void TNetworkDlg::done(int result) {
  if (m_operations > 0) return;
  m_port.reset();
  QDialog::done(result);
}

void TNetworkDlg::SetEditing(bool enable) {
  for (QWidget* group : {static_cast<QWidget*>(ui->gbSettings), static_cast<QWidget*>(ui->gbProtocol)})
    for (QWidget* w : group->findChildren<QWidget*>()) w->setEnabled(enable);
  ui->btnOK->setEnabled(enable);
}

void TNetworkDlg::ReadSettings() {
  if (!m_port) return;
  OperationScope operation(m_operations);
  BusyCursor busy;
  SetupBlock block;
  if (!m_port->GetSetup(m_targetIP, block)) {
    busy.Restore();
    m_prompts.Inform(kCannotConnect, {}, PromptIcon::Error);
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    return;
  }
  busy.Restore();
  m_block = block;
  SetEditing(true);
  Fill(block);
  m_ipChanged = false;  // the fill's own change does not count
}

void TNetworkDlg::Fill(const SetupBlock& block) {
  const NetForm form = FillForm(block);
  ui->edtIP->setText(form.ip);
  ui->edtMask->setText(form.mask);
  ui->edtGatewayIP->setText(form.gateway);
  (form.udp ? ui->rbUDP : ui->rbTCP)->setChecked(true);
  ui->cbUDPMode->setCurrentIndex(form.udpMode);
  ui->edtDestIP->setText(form.destination);
  UpdateControls();
}

void TNetworkDlg::UpdateControls() {
  const bool udp = ui->rbUDP->isChecked();
  const bool directed = udp && ui->cbUDPMode->currentIndex() == kUdpModeDirected;
  ui->lblUDPMode->setEnabled(udp);
  ui->cbUDPMode->setEnabled(udp);
  ui->lblDestIP->setEnabled(directed);
  ui->edtDestIP->setEnabled(directed);
}

NetForm TNetworkDlg::Form() const {
  return {ui->edtIP->text(),     ui->edtMask->text(),    ui->edtGatewayIP->text(),
          ui->edtDestIP->text(), ui->rbUDP->isChecked(), ui->cbUDPMode->currentIndex()};
}

void TNetworkDlg::SetControlsVisible(bool visible) {
  for (QWidget* w : {static_cast<QWidget*>(ui->gbSettings), static_cast<QWidget*>(ui->gbProtocol),
                     static_cast<QWidget*>(ui->btnOK), static_cast<QWidget*>(ui->btnCancel)})
    w->setVisible(visible);
}

void TNetworkDlg::btnOKClick() {
  if (!m_port) return;
  const NetField failed = ValidateForm(Form(), m_block);
  if (failed != NetField::None) {
    QLineEdit* const focus[] = {ui->edtIP, ui->edtIP, ui->edtMask, ui->edtGatewayIP, ui->edtDestIP};
    focus[static_cast<int>(failed)]->setFocus();
    m_prompts.Inform(kInvalidInput, {}, PromptIcon::Error);
    return;  // the dialog stays open
  }
  WriteAndVerify();
  accept();
}

void TNetworkDlg::WriteAndVerify() {
  OperationScope operation(m_operations);
  BusyCursor busy;
  if (!m_port->SetSetup(m_targetIP, m_block, m_ipChanged)) {
    busy.Restore();
    m_prompts.Inform(kCannotConnect, {}, PromptIcon::Error);
    return;
  }
  // The module restarts with the new settings; look for it where it should come back.
  SetControlsVisible(false);
  m_progress.Start(kUpdateProgress, 0, kVerifyLastStep);
  const QString address = AddressToVerify(ui->edtIP->text(), m_ipChanged, m_targetIP);
  bool answered = false;
  const StepSchedule schedule(m_stepMs);
  for (int step = 1; step <= kVerifyLastStep && !answered; ++step) {
    m_progress.SetPosition(step);
    KeepWindowsAlive();
    if (step > kVerifyWaitSteps) answered = m_port->CheckConnection(address, kVerifyConnectMs);
    // A refusal comes at once; each step still lasts its time, so the module gets all of it to come back.
    if (!answered) schedule.WaitUntilEndOf(step);
  }
  if (!answered) m_prompts.Inform(kNotVerified, {}, PromptIcon::Warning);
  m_progress.Finish();
  busy.Restore();
  SetControlsVisible(true);
}

}  // namespace hlx
