// The three configuration tabs driven through their real widgets inside a
// small host that records what would go over the wire; the read-back runs
// through the configuration model's reply table.

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ScriptedPrompts.h"
#include "config/pages/ConfigPages.h"
#include "config/pages/FilterGrid.h"
#include "link/Nmeadefs.h"
#include "session/SessionHost.h"

using namespace hlx;

namespace {

class RecordingHost : public SessionHost {
 public:
  QStringList sent;
  QList<int> pauses;  // pause after each sent sentence (-1: none yet)
  bool updating = false;
  SessionState state = SessionState::Idle;
  test::ScriptedPrompts prompts;

  void SendSentence(std::string_view text) override {
    sent << QString::fromStdString(std::string(text));
    pauses << -1;
  }
  void Pause(int ms) override {
    if (!pauses.isEmpty()) pauses.last() = ms;
  }
  bool Updating() const override { return updating; }
  void SetUpdating(bool u) override { updating = u; }
  SessionState State() const override { return state; }
  void SetState(SessionState s) override { state = s; }
  bool ChannelOpen() const override { return true; }
  UserPrompts& Prompts() override { return prompts; }
  void SetWaitCursor(bool) override {}
};

// A reply as the dispatcher passes it: with Updating set.
std::string Line(const char* text) { return CompleteSentence(text); }

}  // namespace

class TestConfigPages : public QObject {
  Q_OBJECT

  RecordingHost* host = nullptr;
  TConfigPages* pages = nullptr;
  QWidget* window = nullptr;

  template <class T>
  T* W(const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  // The window's RefreshControls as the session core does it.
  void Refresh(bool enable) {
    pages->SetControlsEnabled(enable);
    pages->UpdateControls();
  }
  // Read-back of a device configuration, replies in the device's order.
  void ReadBack(const QList<const char*>& replies) {
    pages->ClearFilterList();
    Refresh(false);
    host->state = SessionState::ReadConfig;
    for (const char* r : replies) {
      host->updating = true;
      const std::string line = Line(r);
      if (pages->ReadBackReply(LookupSentence(FieldOr(line, 0)), line)) {
        host->state = SessionState::Idle;
        host->updating = false;
        Refresh(true);
      }
      host->updating = false;
    }
  }
  void StandardReadBack() {
    ReadBack({"PQVXCF,R,3,10101,4", "PQVXDR,R,10000,2,00001,0", "PQVXID,R,GP,II,,HE,XX",
              "PQVXSP,R,0,1,2,3,5", "PQVXOP,R,00041A05", "PQVXIN,R,0,5,3,1",
              "PQVXFL,R,HCHDG,100010,,1100", "PQVXFL,R,GPRMC,110000,2,1010", "PQVXFL,R,"});
  }

 private slots:
  void init() {
    window = new QWidget;
    auto* layout = new QVBoxLayout(window);
    QWidget* tabs[3];
    for (auto& t : tabs) {
      t = new QWidget(window);
      auto* l = new QVBoxLayout(t);
      l->setContentsMargins(0, 0, 0, 0);
      layout->addWidget(t);
    }
    host = new RecordingHost;
    pages = new TConfigPages(tabs[0], tabs[1], tabs[2], *host);
    pages->SetDeviceCaps(0x8041);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
  }
  void cleanup() {
    delete pages;
    delete window;
    delete host;
  }

  void controlsStartDisabled() {
    QVERIFY(!W<QComboBox>("cbBaudIn1")->isEnabled());
    QVERIFY(!W<QCheckBox>("chbHDGConv")->isEnabled());
    QVERIFY(!W<QPushButton>("btnFilterStore")->isEnabled());
  }

  void readBack_fillsEveryControlWithoutSendingAnything() {
    StandardReadBack();
    QCOMPARE(host->sent, QStringList());
    QCOMPARE(W<QComboBox>("cbBaudIn1")->currentText(), QString("4800"));
    QCOMPARE(W<QComboBox>("cbBaudIn3")->currentText(), QString("19200"));
    QCOMPARE(W<QComboBox>("cbBaudIn4")->currentText(), QString("38400"));
    QCOMPARE(W<QComboBox>("cbBaudOut1")->currentText(), QString("38400"));
    QCOMPARE(W<QComboBox>("cbBaudOut2")->currentText(), QString("115200"));
    QVERIFY(W<QCheckBox>("chbRTime1")->isChecked());
    QVERIFY(!W<QCheckBox>("chbRTime2")->isChecked());
    QVERIFY(W<QCheckBox>("chbRTime5")->isChecked());
    QVERIFY(W<QCheckBox>("chbRouteIn1Out1")->isChecked());
    QVERIFY(W<QCheckBox>("chbRouteIn5Out2")->isChecked());
    QCOMPARE(W<QComboBox>("cbModeOut1")->currentText(), QString("Override"));
    QCOMPARE(W<QLineEdit>("edtTalkID1")->text(), QString("GP"));
    QCOMPARE(W<QLineEdit>("edtTalkID3")->text(), QString(""));
    QCOMPARE(W<QLineEdit>("edtTalkID3")->displayText(), QString("--"));
    QCOMPARE(W<QComboBox>("cbModeIn2")->currentText(), QString("Plain Text"));
    QVERIFY(W<QLineEdit>("edtTalkID2")->isHidden());
    QVERIFY(!W<QLineEdit>("edtTalkID1")->isHidden());
    // 0x41A05: bits 0, 2, 9, 11, 12, 18.
    QVERIFY(W<QCheckBox>("chbPriority")->isChecked());
    QVERIFY(W<QCheckBox>("chbPrioGPSStatus")->isChecked());
    QCOMPARE(W<QComboBox>("cbPrioTimeout")->currentText(), QString("10 sec."));
    QVERIFY(!W<QComboBox>("cbPrioSeatalk")->isEnabled());
    QCOMPARE(W<QComboBox>("cbPrioSeatalk")->currentIndex(), -1);
    QVERIFY(W<QCheckBox>("chbChanSTN")->isChecked());
    QVERIFY(W<QCheckBox>("chbChanTAG")->isChecked());
    QVERIFY(W<QCheckBox>("chbTime")->isChecked());
    QVERIFY(!W<QCheckBox>("chbHDGConv")->isChecked());
    QCOMPARE(W<QComboBox>("cbModeFilter")->currentText(), QString("Block"));
    QCOMPARE(pages->Rules().Count(), 2);
    QCOMPARE(host->sent, QStringList());
    QVERIFY(W<QComboBox>("cbBaudIn1")->isEnabled());
  }

  void edits_sendExactlyTheirGroup() {
    StandardReadBack();
    auto* out1 = W<QComboBox>("cbBaudOut1");
    out1->setCurrentIndex(4);
    emit out1->activated(4);
    QCOMPARE(W<QComboBox>("cbBaudIn4")->currentText(), QString("57600"));
    W<QCheckBox>("chbRTime2")->click();
    W<QCheckBox>("chbRouteIn2Out1")->click();
    W<QCheckBox>("chbHDGConv")->click();
    W<QCheckBox>("chbNmeaV15")->click();
    auto* timeout = W<QComboBox>("cbPrioTimeout");
    timeout->setCurrentIndex(5);
    emit timeout->activated(5);
    QCOMPARE(host->sent, (QStringList{"PQVXSP,C,0,1,2,4,5", "PQVXCF,C,,11101", "PQVXDR,C,11000,2,00001,0",
                                      "PQVXOP,C,6,1", "PQVXOP,C,13,1", "PQVXCF,C,,,5"}));
    QCOMPARE(pages->Model().Speed[3], std::uint8_t(4));
    QVERIFY(TestBit(pages->Model().Options, OptNmeaV15));
  }

  void seaTalkOnIn4_locksSharedSpeedAndOffersSeaTalkPriority() {
    StandardReadBack();
    auto* mode4 = W<QComboBox>("cbModeIn4");
    mode4->setCurrentIndex(6);
    emit mode4->activated(6);
    QCOMPARE(host->sent, QStringList{"PQVXIN,C,0,5,3,6"});
    QCOMPARE(W<QComboBox>("cbBaudIn4")->currentText(), QString("4800"));
    QVERIFY(!W<QComboBox>("cbBaudIn4")->isEnabled());
    QVERIFY(!W<QComboBox>("cbBaudOut1")->isEnabled());
    QVERIFY(!W<QLineEdit>("edtTalkID4")->isHidden());
    QVERIFY(W<QComboBox>("cbPrioSeatalk")->isEnabled());
    auto* st = W<QComboBox>("cbPrioSeatalk");
    st->setCurrentIndex(1);
    emit st->activated(1);
    QCOMPARE(host->sent.last(), QString("PQVXOP,C,1,1"));
  }

  void priorityOff_sendsWholeWordAndDisablesDependents() {
    StandardReadBack();
    W<QCheckBox>("chbPriority")->click();
    // 0x41A05 without bits 0..2.
    QCOMPARE(host->sent, QStringList{"PQVXOP,C,00041A00"});
    QVERIFY(!W<QComboBox>("cbPrioTimeout")->isEnabled());
    QCOMPARE(W<QComboBox>("cbPrioTimeout")->currentIndex(), -1);
    QVERIFY(!W<QCheckBox>("chbPrioGPSStatus")->isChecked());
    QCOMPARE(pages->Model().PriorityTimeout, std::uint8_t(4));
    W<QCheckBox>("chbPriority")->click();
    QCOMPARE(host->sent.last(), QString("PQVXOP,C,0,1"));
    QVERIFY(!W<QComboBox>("cbPrioSeatalk")->isEnabled());
  }

  void grid_togglesEditsAndDeletes() {
    StandardReadBack();
    auto* grid = W<TFilterGrid>("FilterGrid");
    auto* del = W<QPushButton>("btnFilterDelEntry");
    // Click on In1 of the first rule toggles it.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(0, 2).center());
    QCOMPARE(pages->Rules().At(0).SourceText(), std::string("110010"));
    QVERIFY(!del->isEnabled());
    // Div cell: editor opens, Delete is enabled, Escape restores.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, FcDiv).center());
    QVERIFY(grid->Editor());
    QVERIFY(del->isEnabled());
    QTest::keyClicks(grid->Editor(), "7");
    QTest::keyClick(grid->Editor(), Qt::Key_Escape);
    QVERIFY(!grid->Editor());
    QCOMPARE(pages->Rules().At(1).Div, std::string("2"));
    // Enter keeps the edit.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, FcDiv).center());
    grid->Editor()->selectAll();
    QTest::keyClicks(grid->Editor(), "15");
    QTest::keyClick(grid->Editor(), Qt::Key_Return);
    QCOMPARE(pages->Rules().At(1).Div, std::string("15"));
    // Delete the selected rule, then the other one.
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(pages->Rules().Count(), 1);
    QCOMPARE(pages->Rules().At(0).Name, std::string("HCHDG"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(0, FcName).center());
    QTest::keyClick(grid->Editor(), Qt::Key_Escape);
    QTest::mouseClick(del, Qt::LeftButton);
    QVERIFY(pages->Rules().Empty());
    QVERIFY(!del->isEnabled());
    QCOMPARE(host->sent, QStringList());
  }

  void addButton_reportsBadLengthAndFullList() {
    StandardReadBack();
    auto* edt = W<QLineEdit>("edtFilter");
    QTest::keyClicks(edt, "gprm");
    QTest::mouseClick(W<QPushButton>("btnFilterAdd"), Qt::LeftButton);
    QTest::keyClicks(edt, "gp---");
    QTest::keyClick(edt, Qt::Key_Return);
    QCOMPARE(edt->text(), QString());
    QCOMPARE(pages->Rules().Count(), 3);
    QCOMPARE(pages->Rules().At(2).Name, std::string("GP---"));
    // Characters a configuration file could not keep are refused like a bad length.
    QTest::keyClicks(edt, "gp=rm");
    QTest::keyClick(edt, Qt::Key_Return);
    QCOMPARE(pages->Rules().Count(), 3);
    FilterList full;
    while (full.Count() < kMaxFilterRules) full.AddFilterEntry("ABCDE", "", "", "", true);
    pages->LoadConfiguration(pages->Model(), full);
    QTest::keyClicks(edt, "ab");
    QTest::mouseClick(W<QPushButton>("btnFilterAdd"), Qt::LeftButton);
    const QString badName = QStringLiteral("Filter sentence must be 5 characters. Use '-' as wildcard character");
    QCOMPARE(host->prompts.texts(), (QStringList{badName, badName, "Filter list is full"}));
  }
};

QTEST_MAIN(TestConfigPages)
#include "tst_configpages.moc"
