#include "config/pages/FilterPage.h"

#include <QKeyEvent>

#include "config/pages/InOutPage.h"
#include "link/Nmeadefs.h"
#include "session/SessionHost.h"
#include "ui_FilterPage.h"

namespace hlx {

TFilterPage::TFilterPage(SessionHost& host, DeviceConfig& config, FilterList& rules, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::FilterPage>()),
      m_host(host),
      m_config(config),
      m_rules(rules) {
  ui->setupUi(this);
  ui->FilterGrid->SetList(&m_rules);
  ui->btnFilterDelEntry->setEnabled(false);
  connect(ui->btnFilterAdd, &QPushButton::clicked, this, &TFilterPage::btnFilterAddClick);
  connect(ui->btnFilterDelEntry, &QPushButton::clicked, this, &TFilterPage::btnFilterDelEntryClick);
  connect(ui->btnFilterClear, &QPushButton::clicked, this, [this] {
    m_rules.Clear();
    ListChanged();
  });
  connect(ui->btnFilterStore, &QPushButton::clicked, this, &TFilterPage::StoreList);
  connect(ui->btnFilterCapture, &QPushButton::clicked, this, &TFilterPage::captureClicked);
  connect(ui->cbModeFilter, &QComboBox::activated, this, &TFilterPage::cbModeFilterChange);
  connect(ui->FilterGrid, &TFilterGrid::CellSelected, this, &TFilterPage::UpdateDeleteButton);
  ui->edtFilter->installEventFilter(this);
}

TFilterPage::~TFilterPage() = default;

void TFilterPage::ListChanged() {
  ui->FilterGrid->ListChanged();
  UpdateDeleteButton();
}

void TFilterPage::UpdateDeleteButton() {
  const int col = ui->FilterGrid->SelectedColumn();
  ui->btnFilterDelEntry->setEnabled(ui->FilterGrid->SelectedRow() >= 0 && (col == FcName || col == FcDiv));
}

void TFilterPage::StoreList() {
  WaitCursorScope busy(m_host);
  for (const auto& step : m_rules.StoreSequence()) {
    m_host.SendSentence(step.Text);
    m_host.Pause(step.PauseMs);
  }
}

void TFilterPage::SetControlsEnabled(bool enable) {
  // Capture/Stop included: ShowState enables it alone during a capture.
  EnableAll(this, enable);
}

void TFilterPage::ShowState(bool capturing, const DeviceConfig& config) {
  ui->btnFilterCapture->setText(capturing ? QStringLiteral("Stop") : QStringLiteral("Capture"));
  if (capturing) {
    ui->btnFilterCapture->setEnabled(true);
    return;
  }
  UpdateDeleteButton();
  ui->cbModeFilter->setCurrentIndex(TestBit(config.Options, OptFilterBlock) ? 1 : 0);
}

void TFilterPage::SetOutputWExists(bool exists) { ui->FilterGrid->SetOutputWExists(exists); }

void TFilterPage::btnFilterAddClick() {
  const std::string text = ui->edtFilter->text().toUpper().toStdString();
  const int result = m_rules.AddFilterEntry(text, "000000", "", "0000", true);
  if (result == kFilterBadName)
    m_host.Prompts().Inform(
        QStringLiteral("Filter sentence must be 5 characters. Use '-' as wildcard character"));
  else if (result == kFilterFull)
    m_host.Prompts().Inform(QStringLiteral("Filter list is full"));
  ui->edtFilter->clear();
  ui->FilterGrid->ListChanged();
}

void TFilterPage::btnFilterDelEntryClick() {
  m_rules.Delete(ui->FilterGrid->SelectedRow());
  ui->FilterGrid->ListChanged();
  ui->btnFilterDelEntry->setEnabled(!m_rules.Empty());
}

void TFilterPage::cbModeFilterChange(int index) {
  if (m_host.Updating()) return;
  const bool block = index == 1;
  SetBit(m_config.Options, OptFilterBlock, block);
  m_host.SendSentence(OptionBitCommand(OptFilterBlock, block));
}

bool TFilterPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui->edtFilter && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      btnFilterAddClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace hlx
