#include "legacy/window/LegMainForm.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

#include "link/Comms.h"
#include "ui/AMAdvLed.h"
#include "ui/MainWindowCommon.h"
#include "ui_LegMainForm.h"

namespace hlx::legacy {

TLegMainForm::TLegMainForm(const Generation& gen, UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      m_gen(gen),
      m_prompts(prompts),
      ui(std::make_unique<Ui::TLegMainForm>()),
      m_filter(gen),
      m_capture(gen) {
  ui->setupUi(this);
  ApplyGenerationLayout();
  FormCreate();
}

TLegMainForm::~TLegMainForm() {
  // Reached without FormClose when the program restarts into another
  // window: nothing is saved, the port is simply released.
  if (m_comm) m_comm->Close();
}

void TLegMainForm::FormCreate() {
  setWindowTitle(
      QString::fromLatin1(kTitleBeforeVersion) + ProgramVersion() +
      QString::fromLatin1(m_gen.titleSuffix.data(), static_cast<qsizetype>(m_gen.titleSuffix.size())));
  for (QComboBox* cb : SpeedBoxes()) cb->setCurrentIndex(-1);
  ui->cbBaudHost->setCurrentIndex(-1);

  m_comm = std::make_unique<TComm>(this);
  ui->cbPort->addItems(m_comm->PortList());
  // The list is as wide as a usual port name; its popup shows longer names whole.
  ui->cbPort->view()->setMinimumWidth(ui->cbPort->view()->sizeHintForColumn(0));
  ui->cbPort->setCurrentIndex(-1);

  const LegacyStartSettings stored = LoadLegacySettings();
  if (stored.baudRate)
    ui->cbBaudHost->setCurrentIndex(*stored.baudRate < ui->cbBaudHost->count() ? *stored.baudRate : -1);
  if (stored.port) ui->cbPort->setCurrentIndex(*stored.port < ui->cbPort->count() ? *stored.port : -1);

  ui->FilterGrid->SetList(&m_filter);
  ui->edtFilter->setMaxLength(m_gen.sentenceLength);

  m_mode = new QButtonGroup(this);
  m_mode->addButton(ui->rbServer, 0);
  m_mode->addButton(ui->rbHub, 1);
  m_mode->addButton(ui->rbAuto, 2);
  m_mode->addButton(ui->rbAIS, 3);

  QFont mono = TypewriterFont();
  mono.setFixedPitch(true);
  ui->RXData->setFont(mono);
  ui->RXData->setMaximumBlockCount(m_gen.monitorLines);
  // Tall enough for every line the monitor keeps.
  const int frame =
      2 * (ui->RXData->frameWidth() + static_cast<int>(ui->RXData->document()->documentMargin()));
  ui->RXData->setMinimumHeight(QFontMetrics(mono).lineSpacing() * m_gen.monitorLines + frame);
  if (!m_gen.portSpeeds) ui->GroupBox1->hide();
  if (!m_gen.timedLog) ui->miTimedLog->setVisible(false);
  m_statusPanels = {ui->StatusPanel0, ui->StatusPanel1, ui->StatusPanel2, ui->StatusPanel3, ui->StatusPanel4};
  m_overflowLeds = {ui->ldOverflow1, ui->ldOverflow2, ui->ldOverflow3, ui->ldOverflow4};
  const std::array<QLabel*, kInputs> ledCaptions = {ui->lblOverflow1, ui->lblOverflow2, ui->lblOverflow3,
                                                    ui->lblOverflow4};
  for (int i = 0; i < kInputs; ++i) {
    m_overflowLeds[static_cast<std::size_t>(i)]->SetColorOff(palette().color(QPalette::Button));
    ledCaptions[static_cast<std::size_t>(i)]->setText(InputCaption(i));
  }

  VersionTimer.setInterval(kReplyTimeoutMs);
  VersionTimer.setSingleShot(true);
  FLTimer.setInterval(kFilterLoadTimeoutMs);
  OVTimer.setInterval(kOverflowLedMs);
  ConnectSignals();
  ConnectFilter();
  ConnectMenus();
  SetConfigControlsEnabled(m_gen.configEnabledAtStart);
  RefreshControls();
}

void TLegMainForm::SetPanel(int panel, const QString& text) {
  m_statusPanels[static_cast<std::size_t>(panel)]->setText(text);
}

void TLegMainForm::ConnectSignals() {
  connect(ui->cbPort, &QComboBox::activated, this, [this] { PortChanged(); });
  connect(ui->cbBaudHost, &QComboBox::activated, this, [this](int i) { BaudHostChanged(i); });
  for (QComboBox* cb : SpeedBoxes()) connect(cb, &QComboBox::activated, this, [this] { SpeedChanged(); });
  connect(ui->btnGetConfig, &QPushButton::clicked, this, [this] { ReadConfiguration(); });
  // Check boxes and the mode send on every change of state, also one made by
  // a reply or a loaded file: the device then gets the value just set.
  for (int o = 0; o < kOptionCount; ++o)
    if (QCheckBox* box = OptionBox(static_cast<Option>(o)))
      connect(box, &QCheckBox::toggled, this,
              [this, o](bool on) { OptionToggled(static_cast<Option>(o), on); });
  connect(m_mode, &QButtonGroup::idToggled, this, [this](int id, bool checked) { ModeToggled(id, checked); });
  for (QCheckBox* box : {ui->chbRTime1, ui->chbRTime2, ui->chbRTime3, ui->chbRTime4})
    connect(box, &QCheckBox::toggled, this, [this] { RealTimeToggled(); });
  connect(ui->btnSetID, &QPushButton::clicked, this, [this] { SetIdClick(); });
  connect(ui->btnSend, &QPushButton::clicked, this, [this] { SendManualInput(); });
  ui->edtSentence->installEventFilter(this);
  connect(&VersionTimer, &QTimer::timeout, this, [this] { VersionTimeout(); });
  connect(&m_search, &SpeedSearch::speedTried, this, [this](int speed) { TrySpeed(speed); });
  connect(&m_search, &SpeedSearch::gaveUp, this, [this] { SearchGaveUp(); });
  connect(&FLTimer, &QTimer::timeout, this, [this] { FLTimeout(); });
  connect(&OVTimer, &QTimer::timeout, this, [this] {
    for (TAMAdvLed* led : m_overflowLeds) led->SetLedOn(false);
  });
}

bool TLegMainForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (watched == ui->edtSentence) {
        SendManualInput();
        return true;
      }
      if (watched == ui->edtFilter) {
        AddFilterClick();
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

bool TLegMainForm::event(QEvent* e) {
  if (e->type() == WM_RXDATA) {
    m_comm->DrainRxQueue([this](std::string line) { Dispatch(line); });
    return true;
  }
  if (e->type() == WM_CHANNELLOST) {
    m_comm->Close();  // the adapter went away; choosing the port again reopens it
    return true;
  }
  return QMainWindow::event(e);
}

void TLegMainForm::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (m_started) return;
  m_started = true;
  QTimer::singleShot(0, this, [this] { ConnectionStart(); });
}

void TLegMainForm::closeEvent(QCloseEvent* e) {
  if (!m_closing) {
    m_closing = true;
    FormClose();
  }
  e->accept();
}

void TLegMainForm::FormClose() {
  if (m_busyCursor) SetWaitCursor(false);
  m_busyCursor = false;
  if (m_state == SessionState::Capture) StopCapture();
  m_comm->Close();
  SaveSettings(m_clearSettings);
  m_log.Stop();
  VersionTimer.stop();
  m_search.Stop();
  FLTimer.stop();
  OVTimer.stop();
}

void TLegMainForm::RefreshControls() {
  QWidget* const controls[] = {ui->btnUpdate, ui->btnRetrieve,  ui->btnDelete,  ui->btnCapture,
                               ui->btnClear,  ui->btnAddFilter, ui->btnSend,    ui->edtSentence,
                               ui->cbPort,    ui->cbBaudHost,   ui->cbBaudIn1,  ui->cbBaudIn2,
                               ui->cbBaudIn3, ui->cbBaudIn4,    ui->cbBaudOut2, ui->FilterGrid};
  const bool idle = m_state == SessionState::Idle;
  for (QWidget* w : controls) w->setEnabled(idle);
  // A USB host port fixes the host speed: it stays disabled when idle too.
  if (idle && m_usbHost) ui->cbBaudHost->setEnabled(false);
  if (idle)
    ui->btnDelete->setEnabled(ui->FilterGrid->currentColumn() == kSentenceColumn &&
                              ui->FilterGrid->currentRow() >= 1);
  if (m_state == SessionState::Capture) ui->btnCapture->setEnabled(true);
  ui->btnCapture->setText(m_state == SessionState::Capture ? QStringLiteral("Stop")
                                                           : QStringLiteral("Capture"));
  const bool busy = m_state == SessionState::AutoBaud || m_state == SessionState::ReadConfig;
  if (busy != m_busyCursor) {
    SetWaitCursor(busy);
    m_busyCursor = busy;
  }
}

void TLegMainForm::SetConfigControlsEnabled(bool enabled) {
  QWidget* const controls[] = {
      ui->chbPriority, ui->chbChannelNo, ui->chbChannelID, ui->chbHDGXlate, ui->chbAIS,     ui->chbSeaTalk,
      ui->chbRTime1,   ui->chbRTime2,    ui->chbRTime3,    ui->chbRTime4,   ui->rbServer,   ui->rbHub,
      ui->rbAuto,      ui->rbAIS,        ui->edtTalkID1,   ui->edtTalkID2,  ui->edtTalkID3, ui->edtTalkID4,
      ui->btnSetID,    ui->cbBaudIn1,    ui->cbBaudIn2,    ui->cbBaudIn3,   ui->cbBaudIn4,  ui->cbBaudOut2};
  for (QWidget* w : controls) w->setEnabled(enabled);
  ui->rgMode->setEnabled(enabled);
}

bool TLegMainForm::ChannelOpen() const { return m_comm && m_comm->ChannelKind() != ChClosed; }

void TLegMainForm::SendSentence(std::string_view text) {
  if (text.empty() || m_handingOver) return;
  m_comm->Send(text);
}

void TLegMainForm::SetWaitCursor(bool on) { ShowWaitCursor(on); }

}  // namespace hlx::legacy
