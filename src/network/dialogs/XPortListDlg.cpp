#include "network/dialogs/XPortListDlg.h"

#include "network/dialogs/AssignIPDlg.h"
#include "network/dialogs/NetDialogSupport.h"
#include "session/UserPrompts.h"
#include "session/VersionCheck.h"
#include "ui_XPortListDlg.h"

namespace hlx {

namespace {

const QString kResetQuestion =
    QStringLiteral("This restores the factory default network settings.\rDo you really want to proceed?");
const QString kResetProgress = QStringLiteral("Restoring Default Network Settings...");
const QString kCannotConnect = QStringLiteral("Cannot connect to Halyx");
constexpr int kResetLastStep = 20;  // steps 0..20 while the module restarts

}  // namespace

TXPortListDlg::TXPortListDlg(UserPrompts& prompts, NetProgress& progress, TAssignIPDlg& assign,
                             QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::XPortListDlg>()),
      m_prompts(prompts),
      m_progress(progress),
      m_assign(assign),
      m_stepMs(kNetStepMs) {
  ui->setupUi(this);
  FixDialogSize(*this);
  ui->lbxIPList->hide();
  connect(ui->lbxIPList, &QListWidget::itemClicked, this, &TXPortListDlg::lbxIPListClick);
  connect(ui->lbxIPList, &QListWidget::itemDoubleClicked, this, [this] {
    if (!SelectedEntry().isEmpty()) accept();
  });
  connect(ui->btnReset, &QPushButton::clicked, this, &TXPortListDlg::btnResetClick);
  connect(ui->btnChangeIP, &QPushButton::clicked, this, &TXPortListDlg::btnChangeIPClick);
}

TXPortListDlg::~TXPortListDlg() = default;

void TXPortListDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_port) m_port = std::make_unique<TXPort>(WindowsAliveHook());
  // After the dialog has painted, so the user sees what is being waited for.
  QMetaObject::invokeMethod(this, &TXPortListDlg::Search, Qt::QueuedConnection);
}

void TXPortListDlg::done(int result) {
  if (m_operations > 0) return;
  m_port.reset();
  QDialog::done(result);
}

void TXPortListDlg::Search() {
  if (!m_port) return;
  OperationScope operation(m_operations);
  BusyCursor busy;
  const int found = m_port->Search();
  ui->lbxIPList->clear();
  if (found >= 1) ui->lbxIPList->addItems(m_port->Results());
  ui->lbxIPList->setVisible(found >= 1);
  ui->lblNotFound->setVisible(found < 1);
  busy.Restore();
  for (QPushButton* b : {ui->btnOK, ui->btnReset, ui->btnChangeIP}) b->setEnabled(false);
}

QString TXPortListDlg::SelectedEntry() const {
  const QListWidgetItem* item = ui->lbxIPList->currentItem();
  return item && item->isSelected() ? item->text() : QString();
}

QString TXPortListDlg::SelectedIP() const {
  const QString entry = SelectedEntry();
  return entry.isEmpty() ? QString() : EntryAddress(entry);
}

QString TXPortListDlg::SelectedMAC() const {
  const QString entry = SelectedEntry();
  return entry.isEmpty() ? QString() : EntryMac(entry);
}

void TXPortListDlg::lbxIPListClick() {
  if (SelectedEntry().isEmpty()) return;
  for (QPushButton* b : {ui->btnOK, ui->btnReset, ui->btnChangeIP}) b->setEnabled(true);
}

void TXPortListDlg::btnResetClick() {
  if (!m_port ||
      !m_prompts.AskYesNo(kResetQuestion, QString::fromLatin1(kApplicationTitle), PromptIcon::Warning))
    return;
  OperationScope operation(m_operations);
  BusyCursor busy;
  bool accepted = false;
  try {
    accepted = m_port->FactoryReset(SelectedIP());
  } catch (const ESocketError& e) {
    busy.Restore();
    m_prompts.Inform(QString::fromUtf8(e.what()), {}, PromptIcon::Error);
    return;
  }
  if (!accepted) {
    busy.Restore();
    m_prompts.Inform(kCannotConnect, {}, PromptIcon::Error);
    return;
  }
  // The module restarts with its defaults; it is searched for again afterwards.
  ShowFixedWait(m_progress, kResetProgress, kResetLastStep, m_stepMs);
  m_progress.Finish();
  Search();
}

void TXPortListDlg::btnChangeIPClick() {
  if (m_assign.ExecFor(SelectedMAC(), this) == QDialog::Accepted) Search();
}

}  // namespace hlx
