#include "window/MainForm.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

#include "config/pages/ConfigPages.h"
#include "firmware/ui/Progress.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "ui/AMAdvLed.h"
#include "ui/MainWindowCommon.h"
#include "ui_MainForm.h"
#include "window/InspectorPanel.h"
#include "window/StatsWindow.h"

// The glyphs live in a static library; referring to the initialiser keeps
// them from being dropped by the linker. Must be called outside any namespace.
static void InitWindowResources() { Q_INIT_RESOURCE(window); }

namespace hlx {

TMainForm::TMainForm(UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), m_prompts(prompts), ui(std::make_unique<Ui::TMainForm>()) {
  InitWindowResources();
  ui->setupUi(this);
  m_core = std::make_unique<SessionCore>(static_cast<SessionEvents&>(*this), m_prompts);
  FormCreate();
}

TMainForm::~TMainForm() {
  // Reached without FormClose when the program restarts into another window:
  // nothing is saved, the port is simply released.
  if (m_comm) m_comm->Close();
}

void TMainForm::FormCreate() {
  setWindowTitle(QString::fromLatin1(kTitleBeforeVersion) + ProgramVersion());
  ui->cbBaudHost->setCurrentIndex(-1);
  ui->cbPort->setCurrentIndex(-1);

  m_comm = std::make_unique<TComm>(this);
  ui->cbPort->addItems(m_comm->PortList());
  ui->cbPort->insertItem(kPortUdpAll, QStringLiteral("UDP All"));
  ui->cbPort->insertItem(kPortUdp, QStringLiteral("UDP"));
  ui->cbPort->insertItem(kPortTcp, QStringLiteral("TCP"));
  ui->cbPort->setCurrentIndex(-1);

  const StartSettings stored = LoadStartSettings();
  if (stored.baudRate)
    ui->cbBaudHost->setCurrentIndex(*stored.baudRate < ui->cbBaudHost->count() ? *stored.baudRate : -1);
  if (stored.port) ui->cbPort->setCurrentIndex(*stored.port < ui->cbPort->count() ? *stored.port : -1);
  if (stored.ip) ui->edtMuxIP->setText(*stored.ip);
  if (stored.currentTab) ui->PageControl->setCurrentIndex(*stored.currentTab);

  m_connOnGlyph = QIcon(QStringLiteral(":/images/CONN_ON.png"));
  m_connOffGlyph = QIcon(QStringLiteral(":/images/CONN_OFF.png"));
  ui->btnConnect->setIcon(m_connOffGlyph);

  // The tabs lay out their own controls (the filter grid's columns included).
  m_pages = new TConfigPages(ui->tabInOut, ui->tabOptions, ui->tabFilter, *this, this);
  m_stats = new TStats(m_prompts, this);
  m_core->SetReadBackHandler(
      [this](int id, std::string_view line) { return m_pages->ReadBackReply(id, line); });
  m_core->SetCaptureHandler(
      [this](int source, std::string_view address) { m_pages->CaptureLine(source, address); });
  m_core->OnSentence(SidOV, [this](const std::string& line) { HandleOvReply(line); });
  m_core->OnSentence(SidSTAT, [this](const std::string& line) { m_stats->HandleSTATReply(line); });
  CreateFirmwareUpdate();
  ui->tabSentences->layout()->addWidget(new TInspectorPanel(
      m_core->Inspector(), [this] { return m_core->NowMs(); }, [this] { return m_core->ViewFilter(); },
      ui->tabSentences));

  QFont mono = TypewriterFont();
  mono.setFixedPitch(true);
  mono.setPixelSize(13);
  // Plain ASCII in a fixed-pitch font looks the same unshaped; laying out
  // each new line was most of a monitor repaint's cost.
  mono.setStyleStrategy(QFont::StyleStrategy(mono.styleStrategy() | QFont::PreferNoShaping));
  ui->RXData->setFont(mono);
  ui->RXData->setMaximumBlockCount(0);
  ui->cbSentence->setCompleter(nullptr);
  ui->miSep2->setSeparator(true);
  ui->edtMuxIP->hide();
  m_statusPanels = {ui->StatusPanel0, ui->StatusPanel1, ui->StatusPanel2, ui->StatusPanel3, ui->StatusPanel4};
  m_statusPanels[4]->setText(LogWriter::kNoLogStatus);
  m_overflowLeds = {ui->ldOverflow1, ui->ldOverflow2, ui->ldOverflow3, ui->ldOverflow4};
  for (TAMAdvLed* led : m_overflowLeds) led->SetColorOff(palette().color(QPalette::Button));

  OVTimer.setInterval(kOverflowLedMs);
  m_repaintTimer.setInterval(kMonitorRepaintMs);
  m_repaintTimer.setSingleShot(true);
  ConnectSignals();
  ConnectMenus();
  ConnectFileMenus();
  ConnectNetworkMenus();

  RestoreShape();
  RefreshControls(false);
  if (stored.reConnect) QTimer::singleShot(kReconnectDelayMs, this, [this] { ConnectClick(); });
}

void TMainForm::ConnectSignals() {
  connect(ui->btnConnect, &QPushButton::clicked, this, [this] { ConnectClick(); });
  connect(ui->btnReadConfig, &QPushButton::clicked, this, [this] { ReadConfiguration(); });
  connect(ui->cbPort, &QComboBox::activated, this, [this](int i) { PortChanged(i); });
  connect(ui->cbBaudHost, &QComboBox::activated, this, [this](int i) { BaudHostChanged(i); });
  connect(ui->edtMuxIP, &QLineEdit::textChanged, this, [this](const QString& t) { MuxIpChanged(t); });
  connect(&m_core->Search(), &SpeedSearch::speedTried, this, [this](int speed) { TrySpeed(speed); });
  connect(&OVTimer, &QTimer::timeout, this, [this] { OVTimerTick(); });
  connect(&m_repaintTimer, &QTimer::timeout, this, [this] { RepaintMonitor(); });
  connect(ui->btnClear, &QPushButton::clicked, this, [this] { ClearView(); });
  ui->RXData->installEventFilter(this);  // its Show paints what came while it was hidden
  connect(ui->chbNoScroll, &QCheckBox::toggled, this, [this](bool on) {
    m_view.SetNoScroll(on);
    RepaintMonitor();
  });
  connect(ui->cbViewFilter, &QComboBox::activated, this, [this](int i) { ViewFilterChanged(i); });
  connect(ui->btnSend, &QPushButton::clicked, this, [this] { SendManualInput(); });
  // Enter is taken before the combo box sees it: the combo has the focus and
  // hands keys to its edit directly, past any filter on the edit, and it
  // would pass the same key on once more, sending the sentence twice.
  ui->cbSentence->installEventFilter(this);
  ui->cbSentence->lineEdit()->installEventFilter(this);
  connect(m_pages, &TConfigPages::refreshControlsRequested, this,
          [this](bool enable) { RefreshControls(enable); });
  connect(m_pages, &TConfigPages::readConfigurationRequested, this, [this] { ReadConfiguration(); });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
  if (watched == ui->RXData && e->type() == QEvent::Show) RepaintMonitor();
  if ((watched == ui->cbSentence || watched == ui->cbSentence->lineEdit()) && e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      SendManualInput();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

bool TMainForm::event(QEvent* e) {
  if (e->type() == WM_RXDATA) {
    m_core->DrainRxQueue(m_comm.get());
    return true;
  }
  if (e->type() == WM_CHANNELLOST) {
    // Programming notices the loss itself and ends with its own message.
    if (m_fw->Programming())
      m_lostDuringUpdate = true;
    else if (!m_lossReportedByUpdate)
      ChannelLost();
    return true;
  }
  return QMainWindow::event(e);
}

void TMainForm::closeEvent(QCloseEvent* e) {
  if (m_fw->Programming()) {
    // Closing under the running update would free what it works with: it
    // stops after the block under way and the window closes then.
    m_closeAfterUpdate = true;
    m_fw->Cancel();
    e->ignore();
    return;
  }
  if (!m_closing) {
    m_closing = true;
    FormClose();
  }
  e->accept();
}

void TMainForm::FormClose() {
  m_pages->StopCapture();
  if (m_core->ViewFilter() > 0) RestoreOptionWord();
  m_comm->Close();
  m_stats->hide();
  SaveShape();  // before SaveSettings, which deletes it with the rest on "clear settings"
  SaveSettings(m_clearSettings, CurrentSettings());
  if (m_log.LogActive()) m_log.Stop();
  m_core->EndSession();
  OVTimer.stop();
}

SavedSettings TMainForm::CurrentSettings() const {
  return {ui->cbBaudHost->currentIndex(), ui->cbPort->currentIndex(), ui->edtMuxIP->text(),
          ui->PageControl->currentIndex()};
}

void TMainForm::SaveCurrentSettings() { SaveSettings(false, CurrentSettings()); }

bool TMainForm::ChannelOpen() const { return m_comm && m_comm->ChannelKind() != ChClosed; }

void TMainForm::SendSentence(std::string_view text) { m_core->SendSentence(text); }

void TMainForm::Transmit(std::string_view text) {
  m_comm->Send(text);
  if (ChannelOpen() && !m_comm->LastSendError().isEmpty())
    qWarning("%s: %s", qPrintable(m_comm->LastSendError()), std::string(text).c_str());
}

void TMainForm::SetWaitCursor(bool on) { ShowWaitCursor(on); }

void TMainForm::RestoreOptionWord() { SendSentence(m_pages->OptionRestoreCommand()); }

}  // namespace hlx

// Kept with the window so that code using only the session core does not pull the window in.
#include "moc_MainForm.cpp"
