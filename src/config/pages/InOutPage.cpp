#include "config/pages/InOutPage.h"

#include <QKeyEvent>

#include "session/SessionHost.h"
#include "ui_InOutPage.h"

namespace hlx {

void ShowIndex(QComboBox* box, int index) { box->setCurrentIndex(index < box->count() ? index : -1); }

std::uint8_t IndexOr(const QComboBox* box, std::uint8_t fallback) {
  // A selector without a selection resends what the device last reported.
  return box->currentIndex() < 0 ? fallback : static_cast<std::uint8_t>(box->currentIndex());
}

void EnableAll(QWidget* root, bool enable) {
  for (QWidget* w : root->findChildren<QWidget*>()) w->setEnabled(enable);
}

TInOutPage::TInOutPage(SessionHost& host, DeviceConfig& config, std::function<void()> modeChanged,
                       QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::InOutPage>()),
      m_host(host),
      m_config(config),
      m_modeChanged(std::move(modeChanged)) {
  ui->setupUi(this);
  m_baudIn = {ui->cbBaudIn1, ui->cbBaudIn2, ui->cbBaudIn3, ui->cbBaudIn4};
  m_talkId = {ui->edtTalkID1, ui->edtTalkID2, ui->edtTalkID3, ui->edtTalkID4, ui->edtTalkID5};
  m_realTime = {ui->chbRTime1, ui->chbRTime2, ui->chbRTime3, ui->chbRTime4, ui->chbRTime5};
  m_routeOut1 = {ui->chbRouteIn1Out1, ui->chbRouteIn2Out1, ui->chbRouteIn3Out1, ui->chbRouteIn4Out1,
                 ui->chbRouteIn5Out1};
  m_routeOut2 = {ui->chbRouteIn1Out2, ui->chbRouteIn2Out2, ui->chbRouteIn3Out2, ui->chbRouteIn4Out2,
                 ui->chbRouteIn5Out2};
  m_modeIn = {ui->cbModeIn1, ui->cbModeIn2, ui->cbModeIn3, ui->cbModeIn4};

  for (QComboBox* box :
       {ui->cbBaudIn1, ui->cbBaudIn2, ui->cbBaudIn3, ui->cbBaudIn4, ui->cbBaudOut1, ui->cbBaudOut2})
    connect(box, &QComboBox::activated, this, [this, box] { cbBaudIOChange(box); });
  for (QCheckBox* box : m_realTime) connect(box, &QCheckBox::toggled, this, [this] { chbRTimeClick(); });
  for (QCheckBox* box : m_routeOut1) connect(box, &QCheckBox::toggled, this, [this] { chbRouteClick(); });
  for (QCheckBox* box : m_routeOut2) connect(box, &QCheckBox::toggled, this, [this] { chbRouteClick(); });
  connect(ui->cbModeOut1, &QComboBox::activated, this, [this] { chbRouteClick(); });
  connect(ui->cbModeOut2, &QComboBox::activated, this, [this] { chbRouteClick(); });
  for (QComboBox* box : m_modeIn) connect(box, &QComboBox::activated, this, [this] { cbModeInChange(); });
  for (QLineEdit* edit : m_talkId) {
    edit->installEventFilter(this);
    // Yellow marks an edit whose text the user changed and has not sent yet.
    connect(edit, &QLineEdit::textEdited, this, [edit] {
      QPalette p = edit->palette();
      p.setColor(QPalette::Base, Qt::yellow);
      edit->setPalette(p);
    });
  }
}

TInOutPage::~TInOutPage() = default;

QCheckBox* TInOutPage::NmeaV15Box() const { return ui->chbNmeaV15; }

void TInOutPage::cbBaudIOChange(QComboBox* sender) {
  // In4 and Out1 share one speed.
  if (sender == ui->cbBaudOut1) ui->cbBaudIn4->setCurrentIndex(ui->cbBaudOut1->currentIndex());
  if (sender == ui->cbBaudIn4) ui->cbBaudOut1->setCurrentIndex(ui->cbBaudIn4->currentIndex());
  if (m_host.Updating()) return;
  DeviceConfig& c = m_config;
  for (std::size_t i = 0; i < kInputCount; ++i) c.Speed[i] = IndexOr(m_baudIn[i], c.Speed[i]);
  c.Speed[kSpeedOut2] = IndexOr(ui->cbBaudOut2, c.Speed[kSpeedOut2]);
  m_host.SendSentence(SpeedCommand(c));
}

void TInOutPage::chbRTimeClick() {
  if (m_host.Updating()) return;
  for (std::size_t i = 0; i < kChannelCount; ++i) m_config.RealTime[i] = m_realTime[i]->isChecked();
  m_host.SendSentence(RealTimeCommand(m_config));
}

void TInOutPage::chbRouteClick() {
  if (m_host.Updating()) return;
  DeviceConfig& c = m_config;
  for (std::size_t i = 0; i < kChannelCount; ++i) {
    c.RouteOut1[i] = m_routeOut1[i]->isChecked();
    c.RouteOut2[i] = m_routeOut2[i]->isChecked();
  }
  c.HostDataOut1 = IndexOr(ui->cbModeOut1, c.HostDataOut1);
  c.HostDataOut2 = IndexOr(ui->cbModeOut2, c.HostDataOut2);
  m_host.SendSentence(RouteCommand(c));
}

void TInOutPage::cbModeInChange() {
  if (m_host.Updating()) return;
  for (std::size_t i = 0; i < kInputCount; ++i)
    m_config.InputMode[i] = IndexOr(m_modeIn[i], m_config.InputMode[i]);
  m_host.SendSentence(InputModeCommand(m_config));
  if (m_modeChanged) m_modeChanged();
}

void TInOutPage::edtTalkIDEnter(QLineEdit* sender) {
  for (std::size_t i = 0; i < kChannelCount; ++i)
    m_config.TalkerId[i] = NormaliseTalkerId(m_talkId[i]->text().toStdString());
  m_host.SendSentence(TalkerIdCommand(m_config));
  SetTalkerEditsNormal();
  sender->deselect();
}

void TInOutPage::SetTalkerEditsNormal() {
  for (QLineEdit* edit : m_talkId) edit->setPalette(QPalette());
}

void TInOutPage::SetControlsEnabled(bool enable) {
  EnableAll(ui->gbNMEAIn, enable);
  EnableAll(ui->gbNMEAOut, enable);
  SetTalkerEditsNormal();
}

bool TInOutPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    for (QLineEdit* edit : m_talkId) {
      if (watched != edit || (key != Qt::Key_Return && key != Qt::Key_Enter)) continue;
      if (!m_host.Updating()) edtTalkIDEnter(edit);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TInOutPage::ShowModel(const DeviceConfig& c) {
  for (std::size_t i = 0; i < kInputCount; ++i) {
    ShowIndex(m_baudIn[i], c.Speed[i]);
    ShowIndex(m_modeIn[i], c.InputMode[i]);
  }
  for (std::size_t i = 0; i < kChannelCount; ++i) {
    m_talkId[i]->setText(QString::fromStdString(c.TalkerId[i]));
    m_realTime[i]->setChecked(c.RealTime[i]);
    m_routeOut1[i]->setChecked(c.RouteOut1[i]);
    m_routeOut2[i]->setChecked(c.RouteOut2[i]);
  }
  ShowIndex(ui->cbBaudOut1, c.Speed[kSpeedIn4Out1]);
  ShowIndex(ui->cbBaudOut2, c.Speed[kSpeedOut2]);
  ShowIndex(ui->cbModeOut1, c.HostDataOut1);
  ShowIndex(ui->cbModeOut2, c.HostDataOut2);
}

void TInOutPage::ApplyDependentRules(const DeviceConfig& c) {
  const bool seaTalk = c.InputMode[kInputCount - 1] == kModeSeaTalk;
  ui->cbBaudIn4->setEnabled(!seaTalk);
  ui->cbBaudOut1->setEnabled(!seaTalk);
  for (std::size_t i = 0; i < kInputCount; ++i) m_talkId[i]->setVisible(c.InputMode[i] != kModePlainText);
  ui->edtTalkID5->setVisible(true);
}

}  // namespace hlx
