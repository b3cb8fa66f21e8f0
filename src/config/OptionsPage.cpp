#include "config/OptionsPage.h"

#include "config/ConfigPages.h"
#include "config/InOutPage.h"
#include "link/Nmeadefs.h"

namespace hlx {

TOptionsPage::TOptionsPage(TConfigPages& owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
  ui.setupUi(this);
  AddBitBox(ui.chbPrioGPSStatus, OptPrioGpsStatus);
  AddBitBox(ui.chbCOGtoHDT, OptCogToHdt);
  AddBitBox(ui.chbHDGConv, OptHdgConv);
  AddBitBox(ui.chbVTGConv, OptVtgConv);
  AddBitBox(ui.chbVWRtoMWV, OptVwrToMwv);
  AddBitBox(ui.chbHDTReverse, OptHdtReverse);
  AddBitBox(ui.chbChanSTN, OptChanStn);
  AddBitBox(ui.chbChanTAG, OptChanTag);
  AddBitBox(ui.chbReltoTheorWind, OptRelToTheorWind);
  AddBitBox(ui.chbRMCConv, OptRmcConv);
  AddBitBox(ui.chbVHWConv, OptVhwConv);
  AddBitBox(ui.chbTime, OptTime);
  connect(ui.chbPriority, &QCheckBox::toggled, this, &TOptionsPage::chbPriorityClick);
  connect(ui.cbPrioTimeout, &QComboBox::activated, this, &TOptionsPage::cbPrioTimeoutChange);
  connect(ui.cbPrioSeatalk, &QComboBox::activated, this, &TOptionsPage::cbPrioSeatalkChange);
}

void TOptionsPage::AddBitBox(QCheckBox* box, int bit) {
  m_bitBoxes.emplace_back(box, bit);
  connect(box, &QCheckBox::toggled, this, [this, bit](bool checked) {
    if (m_owner.m_host.Updating()) return;
    SetBit(m_owner.m_config.Options, bit, checked);
    m_owner.m_host.SendSentence(OptionBitCommand(bit, checked));
  });
}

void TOptionsPage::chbPriorityClick(bool checked) {
  if (m_owner.m_host.Updating()) return;
  m_owner.m_host.SendSentence(SetPriority(m_owner.m_config, checked));
  m_owner.UpdateControls();
}

void TOptionsPage::cbPrioTimeoutChange(int index) {
  if (m_owner.m_host.Updating() || index < 0) return;
  m_owner.m_config.PriorityTimeout = static_cast<std::uint8_t>(index);
  m_owner.m_host.SendSentence(PrioTimeoutCommand(m_owner.m_config));
}

void TOptionsPage::cbPrioSeatalkChange(int index) {
  if (m_owner.m_host.Updating()) return;
  const bool highest = index == 1;
  SetBit(m_owner.m_config.Options, OptPrioSeatalkHighest, highest);
  m_owner.m_host.SendSentence(OptionBitCommand(OptPrioSeatalkHighest, highest));
}

void TOptionsPage::ShowOptionBits(const DeviceConfig& c) {
  for (auto& [box, bit] : m_bitBoxes)
    if (bit != OptPrioGpsStatus) box->setChecked(TestBit(c.Options, bit));
}

void TOptionsPage::ApplyPriorityRules(const DeviceConfig& c) {
  const bool on = TestBit(c.Options, OptPriority);
  ui.chbPriority->setChecked(on);
  ui.lbPrioTimeout->setEnabled(on);
  ui.cbPrioTimeout->setEnabled(on);
  ShowIndex(ui.cbPrioTimeout, on ? c.PriorityTimeout : -1);
  ui.chbPrioGPSStatus->setEnabled(on);
  ui.chbPrioGPSStatus->setChecked(on && TestBit(c.Options, OptPrioGpsStatus));
  const bool seaTalk = on && c.InputMode[kInputCount - 1] == kModeSeaTalk;
  ui.lbPrioSeatalk->setEnabled(seaTalk);
  ui.cbPrioSeatalk->setEnabled(seaTalk);
  ShowIndex(ui.cbPrioSeatalk, seaTalk ? (TestBit(c.Options, OptPrioSeatalkHighest) ? 1 : 0) : -1);
}

}  // namespace hlx
