#include "network/dialogs/SelectNetworkDlg.h"

#include <QGuiApplication>
#include <QScreen>

#include "network/dialogs/NetDialogSupport.h"
#include "ui_SelectNetworkDlg.h"

namespace hlx {

TSelectNetworkDlg::TSelectNetworkDlg(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SelectNetworkDlg>()) {
  ui->setupUi(this);
  FixDialogSize(*this);
  connect(ui->lbxNetList, &QListWidget::itemClicked, this,
          [this] { ui->btnOK->setEnabled(!SelectedAddress().isEmpty()); });
}

TSelectNetworkDlg::~TSelectNetworkDlg() = default;

void TSelectNetworkDlg::SetAddresses(const QStringList& addresses) {
  ui->lbxNetList->clear();
  ui->lbxNetList->addItems(addresses);
}

QString TSelectNetworkDlg::SelectedAddress() const {
  const QListWidgetItem* item = ui->lbxNetList->currentItem();
  return item && item->isSelected() ? item->text() : QString();
}

void TSelectNetworkDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ui->btnOK->setEnabled(false);
  // Centred on the screen rather than on a window.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

}  // namespace hlx
