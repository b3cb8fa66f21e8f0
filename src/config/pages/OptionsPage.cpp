#include "config/pages/OptionsPage.h"

#include "config/pages/InOutPage.h"
#include "link/Nmeadefs.h"
#include "session/SessionHost.h"
#include "ui_OptionsPage.h"

namespace hlx {

TOptionsPage::TOptionsPage(SessionHost& host, DeviceConfig& config, std::function<void()> priorityChanged,
                           QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::OptionsPage>()),
      m_host(host),
      m_config(config),
      m_priorityChanged(std::move(priorityChanged)) {
  ui->setupUi(this);
  AddBitBox(ui->chbPrioGPSStatus, OptPrioGpsStatus);
  AddBitBox(ui->chbCOGtoHDT, OptCogToHdt);
  AddBitBox(ui->chbHDGConv, OptHdgConv);
  AddBitBox(ui->chbVTGConv, OptVtgConv);
  AddBitBox(ui->chbVWRtoMWV, OptVwrToMwv);
  AddBitBox(ui->chbHDTReverse, OptHdtReverse);
  AddBitBox(ui->chbChanSTN, OptChanStn);
  AddBitBox(ui->chbChanTAG, OptChanTag);
  AddBitBox(ui->chbReltoTheorWind, OptRelToTheorWind);
  AddBitBox(ui->chbRMCConv, OptRmcConv);
  AddBitBox(ui->chbVHWConv, OptVhwConv);
  AddBitBox(ui->chbTime, OptTime);
  connect(ui->chbPriority, &QCheckBox::toggled, this, &TOptionsPage::chbPriorityClick);
  connect(ui->cbPrioTimeout, &QComboBox::activated, this, &TOptionsPage::cbPrioTimeoutChange);
  connect(ui->cbPrioSeatalk, &QComboBox::activated, this, &TOptionsPage::cbPrioSeatalkChange);
}

TOptionsPage::~TOptionsPage() = default;

void TOptionsPage::AddBitBox(QCheckBox* box, int bit) {
  m_bitBoxes.emplace_back(box, bit);
  connect(box, &QCheckBox::toggled, this, [this, bit](bool checked) {
    if (m_host.Updating()) return;
    SetBit(m_config.Options, bit, checked);
    m_host.SendSentence(OptionBitCommand(bit, checked));
  });
}

void TOptionsPage::chbPriorityClick(bool checked) {
  if (m_host.Updating()) return;
  m_host.SendSentence(SetPriority(m_config, checked));
  if (m_priorityChanged) m_priorityChanged();
}

void TOptionsPage::cbPrioTimeoutChange(int index) {
  if (m_host.Updating() || index < 0) return;
  m_config.PriorityTimeout = static_cast<std::uint8_t>(index);
  m_host.SendSentence(PrioTimeoutCommand(m_config));
}

void TOptionsPage::cbPrioSeatalkChange(int index) {
  if (m_host.Updating()) return;
  const bool highest = index == 1;
  SetBit(m_config.Options, OptPrioSeatalkHighest, highest);
  m_host.SendSentence(OptionBitCommand(OptPrioSeatalkHighest, highest));
}

void TOptionsPage::SetControlsEnabled(bool enable) {
  for (QWidget* group : {ui->gbPriority, ui->gbChannels, ui->gbConversions}) EnableAll(group, enable);
}

void TOptionsPage::ShowOptionBits(const DeviceConfig& c) {
  for (auto& [box, bit] : m_bitBoxes)
    if (bit != OptPrioGpsStatus) box->setChecked(TestBit(c.Options, bit));
}

void TOptionsPage::ApplyPriorityRules(const DeviceConfig& c) {
  const bool on = TestBit(c.Options, OptPriority);
  ui->chbPriority->setChecked(on);
  ui->lbPrioTimeout->setEnabled(on);
  ui->cbPrioTimeout->setEnabled(on);
  ShowIndex(ui->cbPrioTimeout, on ? c.PriorityTimeout : -1);
  ui->chbPrioGPSStatus->setEnabled(on);
  ui->chbPrioGPSStatus->setChecked(on && TestBit(c.Options, OptPrioGpsStatus));
  const bool seaTalk = on && c.InputMode[kInputCount - 1] == kModeSeaTalk;
  ui->lbPrioSeatalk->setEnabled(seaTalk);
  ui->cbPrioSeatalk->setEnabled(seaTalk);
  ShowIndex(ui->cbPrioSeatalk, seaTalk ? (TestBit(c.Options, OptPrioSeatalkHighest) ? 1 : 0) : -1);
}

}  // namespace hlx
