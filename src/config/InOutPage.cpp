#include "config/InOutPage.h"

#include <QKeyEvent>

#include "config/ConfigPages.h"

namespace hlx {

void ShowIndex(QComboBox* box, int index) { box->setCurrentIndex(index < box->count() ? index : -1); }

std::uint8_t IndexOr(const QComboBox* box, std::uint8_t fallback) {
  // A selector without a selection resends what the device last reported.
  return box->currentIndex() < 0 ? fallback : static_cast<std::uint8_t>(box->currentIndex());
}

TInOutPage::TInOutPage(TConfigPages& owner, QWidget* parent) : QWidget(parent), m_owner(owner) {
  ui.setupUi(this);
  baudIn = {ui.cbBaudIn1, ui.cbBaudIn2, ui.cbBaudIn3, ui.cbBaudIn4};
  talkId = {ui.edtTalkID1, ui.edtTalkID2, ui.edtTalkID3, ui.edtTalkID4, ui.edtTalkID5};
  realTime = {ui.chbRTime1, ui.chbRTime2, ui.chbRTime3, ui.chbRTime4, ui.chbRTime5};
  routeOut1 = {ui.chbRouteIn1Out1, ui.chbRouteIn2Out1, ui.chbRouteIn3Out1, ui.chbRouteIn4Out1, ui.chbRouteIn5Out1};
  routeOut2 = {ui.chbRouteIn1Out2, ui.chbRouteIn2Out2, ui.chbRouteIn3Out2, ui.chbRouteIn4Out2, ui.chbRouteIn5Out2};
  modeIn = {ui.cbModeIn1, ui.cbModeIn2, ui.cbModeIn3, ui.cbModeIn4};

  for (QComboBox* box : {ui.cbBaudIn1, ui.cbBaudIn2, ui.cbBaudIn3, ui.cbBaudIn4, ui.cbBaudOut1, ui.cbBaudOut2})
    connect(box, &QComboBox::activated, this, [this, box] { cbBaudIOChange(box); });
  for (QCheckBox* box : realTime) connect(box, &QCheckBox::toggled, this, [this] { chbRTimeClick(); });
  for (QCheckBox* box : routeOut1) connect(box, &QCheckBox::toggled, this, [this] { chbRouteClick(); });
  for (QCheckBox* box : routeOut2) connect(box, &QCheckBox::toggled, this, [this] { chbRouteClick(); });
  connect(ui.cbModeOut1, &QComboBox::activated, this, [this] { chbRouteClick(); });
  connect(ui.cbModeOut2, &QComboBox::activated, this, [this] { chbRouteClick(); });
  for (QComboBox* box : modeIn) connect(box, &QComboBox::activated, this, [this] { cbModeInChange(); });
  for (QLineEdit* edit : talkId) edit->installEventFilter(this);
}

void TInOutPage::cbBaudIOChange(QComboBox* sender) {
  // In4 and Out1 share one speed.
  if (sender == ui.cbBaudOut1) ui.cbBaudIn4->setCurrentIndex(ui.cbBaudOut1->currentIndex());
  if (sender == ui.cbBaudIn4) ui.cbBaudOut1->setCurrentIndex(ui.cbBaudIn4->currentIndex());
  if (m_owner.m_host.Updating()) return;
  DeviceConfig& c = m_owner.m_config;
  for (int i = 0; i < kInputCount; ++i) c.Speed[std::size_t(i)] = IndexOr(baudIn[std::size_t(i)], c.Speed[std::size_t(i)]);
  c.Speed[kSpeedOut2] = IndexOr(ui.cbBaudOut2, c.Speed[kSpeedOut2]);
  m_owner.m_host.SendSentence(SpeedCommand(c));
}

void TInOutPage::chbRTimeClick() {
  if (m_owner.m_host.Updating()) return;
  DeviceConfig& c = m_owner.m_config;
  for (int i = 0; i < kChannelCount; ++i) c.RealTime[std::size_t(i)] = realTime[std::size_t(i)]->isChecked();
  m_owner.m_host.SendSentence(RealTimeCommand(c));
}

void TInOutPage::chbRouteClick() {
  if (m_owner.m_host.Updating()) return;
  DeviceConfig& c = m_owner.m_config;
  for (int i = 0; i < kChannelCount; ++i) {
    c.RouteOut1[std::size_t(i)] = routeOut1[std::size_t(i)]->isChecked();
    c.RouteOut2[std::size_t(i)] = routeOut2[std::size_t(i)]->isChecked();
  }
  c.HostDataOut1 = IndexOr(ui.cbModeOut1, c.HostDataOut1);
  c.HostDataOut2 = IndexOr(ui.cbModeOut2, c.HostDataOut2);
  m_owner.m_host.SendSentence(RouteCommand(c));
}

void TInOutPage::cbModeInChange() {
  if (m_owner.m_host.Updating()) return;
  DeviceConfig& c = m_owner.m_config;
  for (int i = 0; i < kInputCount; ++i) c.InputMode[std::size_t(i)] = IndexOr(modeIn[std::size_t(i)], c.InputMode[std::size_t(i)]);
  m_owner.m_host.SendSentence(InputModeCommand(c));
  m_owner.UpdateControls();
}

void TInOutPage::edtTalkIDEnter(QLineEdit* sender) {
  DeviceConfig& c = m_owner.m_config;
  for (int i = 0; i < kChannelCount; ++i) c.TalkerId[std::size_t(i)] = NormaliseTalkerId(talkId[std::size_t(i)]->text().toStdString());
  m_owner.m_host.SendSentence(TalkerIdCommand(c));
  SetTalkerEditsNormal();
  sender->deselect();
}

void TInOutPage::SetTalkerEditsNormal() {
  for (QLineEdit* edit : talkId) edit->setPalette(QPalette());
}

bool TInOutPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    for (QLineEdit* edit : talkId) {
      if (watched != edit) continue;
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!m_owner.m_host.Updating()) edtTalkIDEnter(edit);
        return true;
      }
      // Yellow marks an edit that is not sent yet.
      QPalette p = edit->palette();
      p.setColor(QPalette::Base, Qt::yellow);
      edit->setPalette(p);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TInOutPage::ShowModel(const DeviceConfig& c) {
  for (int i = 0; i < kInputCount; ++i) {
    ShowIndex(baudIn[std::size_t(i)], c.Speed[std::size_t(i)]);
    ShowIndex(modeIn[std::size_t(i)], c.InputMode[std::size_t(i)]);
  }
  for (int i = 0; i < kChannelCount; ++i) {
    talkId[std::size_t(i)]->setText(QString::fromStdString(c.TalkerId[std::size_t(i)]));
    realTime[std::size_t(i)]->setChecked(c.RealTime[std::size_t(i)]);
    routeOut1[std::size_t(i)]->setChecked(c.RouteOut1[std::size_t(i)]);
    routeOut2[std::size_t(i)]->setChecked(c.RouteOut2[std::size_t(i)]);
  }
  ShowIndex(ui.cbBaudOut1, c.Speed[kSpeedIn4Out1]);
  ShowIndex(ui.cbBaudOut2, c.Speed[kSpeedOut2]);
  ShowIndex(ui.cbModeOut1, c.HostDataOut1);
  ShowIndex(ui.cbModeOut2, c.HostDataOut2);
}

void TInOutPage::ApplyDependentRules(const DeviceConfig& c) {
  const bool seaTalk = c.InputMode[kInputCount - 1] == kModeSeaTalk;
  ui.cbBaudIn4->setEnabled(!seaTalk);
  ui.cbBaudOut1->setEnabled(!seaTalk);
  for (int i = 0; i < kInputCount; ++i) talkId[std::size_t(i)]->setVisible(c.InputMode[std::size_t(i)] != kModePlainText);
  ui.edtTalkID5->setVisible(true);
}

}  // namespace hlx
