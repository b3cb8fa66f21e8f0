#include "config/FilterPage.h"

#include <QKeyEvent>

#include "config/ConfigPages.h"
#include "link/Nmeadefs.h"
#include "ui/UserPrompts.h"

namespace hlx {

TFilterPage::TFilterPage(TConfigPages& owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
  ui.setupUi(this);
  ui.FilterGrid->SetList(&m_owner.m_rules);
  ui.btnFilterDelEntry->setEnabled(false);
  connect(ui.btnFilterAdd, &QPushButton::clicked, this, &TFilterPage::btnFilterAddClick);
  connect(ui.btnFilterDelEntry, &QPushButton::clicked, this, &TFilterPage::btnFilterDelEntryClick);
  connect(ui.btnFilterClear, &QPushButton::clicked, this, &TFilterPage::btnFilterClearClick);
  connect(ui.btnFilterStore, &QPushButton::clicked, this, [this] { m_owner.StoreFilterList(); });
  connect(ui.btnFilterCapture, &QPushButton::clicked, this, [this] { m_owner.CaptureClick(); });
  connect(ui.cbModeFilter, &QComboBox::activated, this, &TFilterPage::cbModeFilterChange);
  connect(ui.FilterGrid, &TFilterGrid::CellSelected, this, [this] { UpdateDeleteButton(); });
  ui.edtFilter->installEventFilter(this);
}

void TFilterPage::UpdateDeleteButton() {
  const int col = ui.FilterGrid->SelectedColumn();
  ui.btnFilterDelEntry->setEnabled(ui.FilterGrid->SelectedRow() >= 0 && (col == FcName || col == FcDiv));
}

void TFilterPage::btnFilterAddClick() {
  const std::string text = ui.edtFilter->text().toUpper().toStdString();
  const int result = m_owner.m_rules.AddFilterEntry(text, "000000", "", "0000", true);
  if (result == kFilterBadName)
    Prompts().Inform(QStringLiteral("Filter sentence must be 5 characters. Use '-' as wildcard character"));
  else if (result == kFilterFull)
    Prompts().Inform(QStringLiteral("Filter list is full"));
  ui.edtFilter->clear();
  ui.FilterGrid->ListChanged();
}

void TFilterPage::btnFilterDelEntryClick() {
  m_owner.m_rules.Delete(ui.FilterGrid->SelectedRow());
  ui.FilterGrid->ListChanged();
  ui.btnFilterDelEntry->setEnabled(!m_owner.m_rules.Empty());
}

void TFilterPage::btnFilterClearClick() { m_owner.ClearFilterList(); }

void TFilterPage::cbModeFilterChange(int index) {
  if (m_owner.m_host.Updating()) return;
  const bool block = index == 1;
  SetBit(m_owner.m_config.Options, OptFilterBlock, block);
  m_owner.m_host.SendSentence(OptionBitCommand(OptFilterBlock, block));
}

bool TFilterPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui.edtFilter && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      btnFilterAddClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace hlx
