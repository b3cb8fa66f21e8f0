// The configuration tabs against hlx-sim over a pseudo-terminal: read-back,
// edits that change the simulator's state, Store List and capture.

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "SimProcess.h"
#include "config/ConfigPages.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"

using namespace hlx;

namespace {

// A minimal session core: identify, read back, dispatch replies and capture.
class SimHost : public QObject, public ConfigHost {
 public:
  TComm comm{this};
  TConfigPages* pages = nullptr;
  bool updating = false;
  std::uint8_t state = Idle;
  bool readDone = false;

  void SendSentence(std::string_view text) override { comm.Send(text); }
  bool Updating() const override { return updating; }
  void SetUpdating(bool u) override { updating = u; }
  std::uint8_t SessionState() const override { return state; }
  void SetSessionState(std::uint8_t s) override { state = s; }
  bool ChannelOpen() const override { return comm.ChannelKind() != ChClosed; }
  void Pause(int ms) override { QTest::qWait(ms); }
  void ReadConfiguration() override {
    readDone = false;
    state = Identify;
    pages->ClearFilterList();
    Refresh(false);
    SendSentence("PQVXVER");
  }
  void Refresh(bool enable) {
    pages->SetControlsEnabled(enable);
    pages->UpdateControls();
  }

  bool event(QEvent* e) override {
    if (e->type() != WM_RXDATA) return QObject::event(e);
    comm.DrainRxQueue([this](std::string line) { Dispatch(line); });
    return true;
  }

  void Dispatch(const std::string& line) {
    updating = true;
    const std::string address = FieldOr(line, 0);
    const int id = LookupSentence(address);
    if (state == Identify && id == SidVER) {
      pages->SetDeviceCaps(0x8041);
      pages->SetHostKind(1);
      state = ReadConfig;
      SendSentence("PQVXCFQ");
    } else if (state == ReadConfig) {
      switch (id) {
        case SidCF: pages->HandleCFReply(line); break;
        case SidDR: pages->HandleDRReply(line); break;
        case SidID: pages->HandleIDReply(line); break;
        case SidSP: pages->HandleSPReply(line); break;
        case SidOP: pages->HandleOPReply(line); break;
        case SidIN: pages->HandleINReply(line); break;
        case SidFL:
          if (pages->HandleFLReply(line)) {
            state = Idle;
            updating = false;
            Refresh(true);
            readDone = true;
          }
          break;
        default: break;
      }
    } else if (state == Capture) {
      const int source = LineSourceInput(line);
      if (source >= 0) pages->HandleCaptureLine(source, address);
    }
    updating = false;
  }
};

}  // namespace

class TestConfigPagesSim : public QObject {
  Q_OBJECT

  std::unique_ptr<test::SimProcess> sim;
  std::unique_ptr<SimHost> host;
  std::unique_ptr<QWidget> window;
  int m_deviceRules = 0;  // rules in the simulator's list before the test

  template <class T>
  T* W(const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  void Choose(const char* name, int index) {
    auto* box = W<QComboBox>(name);
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  // Program-sent lines as the simulator recorded them, without checksums.
  QStringList Sent() const {
    QStringList out;
    for (QString l : sim->recordedLines()) out << l.mid(1, l.lastIndexOf('*') - 1);
    return out;
  }

 private slots:
  void init() {
    sim = std::make_unique<test::SimProcess>();
    QVERIFY2(sim->start({"--traffic", "20"}), qPrintable(sim->errorText()));
    QVERIFY(sim->sendCommand("PQVXSP,C,1,2,3,4,5"));
    QVERIFY(sim->sendCommand("PQVXIN,C,0,1,2,5"));
    QVERIFY(sim->sendCommand("PQVXID,C,GP,II,HC,SD,XX"));
    QVERIFY(sim->sendCommand("PQVXFL,C,GPRMC,110000,2,1010"));
    m_deviceRules = sim->queryConfig().filter("PQVXFL,R,").size() - 1;
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    QWidget* tabs[3];
    for (auto& t : tabs) layout->addWidget(t = new QWidget(window.get()));
    host = std::make_unique<SimHost>();
    host->pages = new TConfigPages(tabs[0], tabs[1], tabs[2], *host, host.get());
    QVERIFY(host->comm.Open(ChSerial, sim->ptyPath(), 5) != ChClosed);
    window->show();
    host->ReadConfiguration();
    QTRY_VERIFY_WITH_TIMEOUT(host->readDone, 5000);
  }
  void cleanup() {
    host->comm.Close();
    host.reset();
    window.reset();
    sim->stop();
  }

  void readBack_showsSimulatorConfigAndSendsOnlyTheQueries() {
    QCOMPARE(Sent(), (QStringList{"PQVXVER", "PQVXCFQ"}));
    QCOMPARE(W<QComboBox>("cbBaudIn1")->currentText(), QString("9600"));
    QCOMPARE(W<QComboBox>("cbBaudOut2")->currentText(), QString("115200"));
    QCOMPARE(W<QComboBox>("cbModeIn4")->currentText(), QString("Plain Text"));
    QVERIFY(W<QWidget>("edtTalkID4")->isHidden());
    QCOMPARE(host->pages->Model().TalkerId[4], std::string("XX"));
    QCOMPARE(host->pages->Rules().Count(), m_deviceRules);
    QVERIFY(m_deviceRules > 0);
  }

  void edits_changeTheSimulator() {
    Choose("cbBaudOut2", 0);
    W<QCheckBox>("chbRTime3")->click();
    W<QCheckBox>("chbHDGConv")->click();
    Choose("cbModeIn1", 3);
    QTRY_COMPARE(Sent().mid(2).size(), 4);
    const QStringList cfg = sim->queryConfig();
    QCOMPARE(test::SimProcess::replyLine(cfg, "PQVXSP").section('*', 0, 0).section(',', 2), QString("1,2,3,4,0"));
    QCOMPARE(test::SimProcess::replyLine(cfg, "PQVXIN").section('*', 0, 0).section(',', 2), QString("3,1,2,5"));
    QCOMPARE(test::SimProcess::replyLine(cfg, "PQVXCF").section('*', 0, 0).section(',', 3, 3).mid(2, 1), QString("1"));
    std::uint32_t word = 0;
    DeviceConfig probe;
    ApplyOPReply(probe, CompleteSentence(test::SimProcess::replyLine(cfg, "PQVXOP").section('*', 0, 0).toStdString()));
    word = probe.Options;
    // The simulator now holds exactly the model's word, the clicked bit included.
    QCOMPARE(word, host->pages->OptionWord());
    QCOMPARE(TestBit(word, OptHdgConv), W<QCheckBox>("chbHDGConv")->isChecked());
    QCOMPARE(Sent().mid(2, 1), QStringList{"PQVXSP,C,1,2,3,4,0"});
  }

  void storeList_replacesTheSimulatorsList() {
    host->pages->Rules().AddFilterEntry("IIMWV", "100100", "", "0011", true);
    host->pages->RulesChanged();
    QTest::mouseClick(W<QPushButton>("btnFilterStore"), Qt::LeftButton);
    QStringList expected;
    for (const auto& step : host->pages->Rules().StoreSequence()) expected << QString::fromStdString(step.Text);
    QCOMPARE(expected.size(), m_deviceRules + 2);
    QVERIFY(expected.contains("PQVXFL,C,GPRMC,110000,2,1010"));
    QTRY_COMPARE(Sent().mid(2), expected);
    const QStringList cfg = sim->queryConfig();
    QCOMPARE(cfg.filter("PQVXFL,R,").size() - 1, m_deviceRules + 1);
    QCOMPARE(cfg.filter("PQVXFL,R,IIMWV,100100,,0011").size(), 1);
  }

  void capture_learnsRulesFromLiveTraffic() {
    host->pages->ClearFilterList();
    QObject::connect(host->pages, &TConfigPages::RefreshControlsRequested, host.get(),
                     [this](bool e) { host->Refresh(e); });
    QTest::mouseClick(W<QPushButton>("btnFilterCapture"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(host->pages->Rules().Count() > 0, 5000);
    QTest::mouseClick(W<QPushButton>("btnFilterCapture"), Qt::LeftButton);
    QCOMPARE(host->state, std::uint8_t(Idle));
    for (const auto& rule : host->pages->Rules().Rules()) {
      QCOMPARE(rule.Sources[0], '1');
      QCOMPARE(rule.OutputText(), std::string("0011"));
    }
    // Capture switches TAG blocks on; Stop restores the device's own word.
    const QString restore = QString::fromStdString(OptionWordCommand(host->pages->OptionWord()));
    QTRY_COMPARE(Sent().mid(2), (QStringList{"PQVXOP,C,12,1", restore}));
  }
};

QTEST_MAIN(TestConfigPagesSim)
#include "tst_configpages_sim.moc"
