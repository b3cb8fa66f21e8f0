#include "network/dialogs/AssignIPDlg.h"

#include "network/NetFields.h"
#include "network/dialogs/NetDialogSupport.h"
#include "session/UserPrompts.h"
#include "ui_AssignIPDlg.h"

namespace hlx {

namespace {

const QString kInvalidInput = QStringLiteral("Invalid MAC or IP address entered");
const QString kAssignProgress = QStringLiteral("Assigning IP Address...");
constexpr int kAssignLastStep = 19;  // steps 0..19: ten seconds for the unit to restart

}  // namespace

TAssignIPDlg::TAssignIPDlg(UserPrompts& prompts, NetProgress& progress, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::AssignIPDlg>()),
      m_prompts(prompts),
      m_progress(progress),
      m_stepMs(kNetStepMs) {
  ui->setupUi(this);
  FixDialogSize(*this);
  connect(ui->btnOK, &QPushButton::clicked, this, &TAssignIPDlg::btnOKClick);
}

TAssignIPDlg::~TAssignIPDlg() = default;

int TAssignIPDlg::ExecFor(const QString& mac, QWidget* owner) {
  if (owner) {
    const QPoint centre = owner->geometry().center();
    move(centre - rect().center());
  }
  ui->edtMAC->setText(mac);
  return exec();
}

void TAssignIPDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_port = std::make_unique<TXPort>(WindowsAliveHook());
  ui->edtIP->clear();
  (ui->edtMAC->text().isEmpty() ? ui->edtMAC : ui->edtIP)->setFocus();
}

void TAssignIPDlg::done(int result) {
  if (m_operations > 0) return;
  m_port.reset();
  QDialog::done(result);
}

void TAssignIPDlg::btnOKClick() {
  const AssignCheck check = BuildAssignPacket(ui->edtMAC->text(), ui->edtIP->text());
  if (check.failed != AssignField::None) {
    (check.failed == AssignField::Mac ? ui->edtMAC : ui->edtIP)->setFocus();
    m_prompts.Inform(kInvalidInput, {}, PromptIcon::Error);
    return;  // the dialog stays open
  }
  SendAndWait(check.packet);
  accept();
}

void TAssignIPDlg::SendAndWait(const QByteArray& packet) {
  OperationScope operation(m_operations);
  BusyCursor busy;
  if (m_port && !m_port->SendIPSetup(packet))
    qWarning("network module: the address assignment could not be sent");
  const QList<QWidget*> controls = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* w : controls) w->hide();
  ShowFixedWait(m_progress, kAssignProgress, kAssignLastStep, m_stepMs);
  for (QWidget* w : controls) w->show();
  m_progress.Finish();
}

}  // namespace hlx
