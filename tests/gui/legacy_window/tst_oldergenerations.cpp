// The windows of generations 1 to 3 against hlx-sim of their generation: what
// each shows of the connected model after reading it, what the read-back
// sends back in the generation's CF order, and the capture and Store
// sentences of each generation.
#include "LegacyHarness.h"

using namespace hlx;
using namespace hlx::test;

namespace {

// What the layout stretches into empty space: lists wider than a port name
// needs, groups taller than their contents, overflow lamps away from their labels.
QStringList Stretched(const LegacyHarness& h) {
  QStringList out;
  for (const char* name : {"cbPort", h.HostList()})
    if (h.Combo(name)->width() > 150)
      out << QStringLiteral("%1 %2 px wide").arg(name).arg(h.Combo(name)->width());
  for (const char* name : {"gbPort", "rgMode", "GroupBox5"})
    if (const auto* g = h.Find<QGroupBox>(name); g->height() > g->sizeHint().height() + 2)
      out << QStringLiteral("%1 %2 px high").arg(name).arg(g->height());
  for (const QLabel* label : h.Find<QGroupBox>("GroupBox5")->findChildren<QLabel*>()) {
    const auto* led = h.Find<TAMAdvLed>(qPrintable("ldOverflow" + label->text().right(1)));
    // From the lamp to the top of the label's text (a label centres its text).
    const int gap =
        label->geometry().center().y() - label->fontMetrics().height() / 2 - led->geometry().bottom();
    if (gap < 0 || gap > 6 || qAbs(label->geometry().center().x() - led->geometry().center().x()) > 3)
      out << QStringLiteral("lamp %1 px above %2").arg(gap).arg(label->text());
  }
  return out;
}

// "options: boxes | groups | modes | grid column widths and sentence header"; the
// options group "fits" when each box it shows is whole inside it, else "clipped";
// what stretched is added at the end.
QString Layout(const LegacyHarness& h) {
  QWidget* w = h.window.get();
  const QStringList stretched = Stretched(h);
  const auto* group = h.Find<QGroupBox>(h.generation <= 2 ? "gbConfig" : "gbOptions");
  QStringList boxes;
  bool fits = true;
  for (const char* name :
       {"chbPriority", "chbChannelNo", "chbChannelID", "chbHDGXlate", "chbSeaTalk", "chbAIS"}) {
    const QCheckBox* box = h.Check(name);
    if (!box->isVisibleTo(w)) continue;
    boxes << box->text();
    fits = fits && group->contentsRect().contains(box->geometry()) &&
           box->height() >= box->minimumSizeHint().height();
  }
  const QString height = fits ? QStringLiteral("fits") : QStringLiteral("clipped");
  QStringList groups;
  for (const char* name : {"gbRealTime", "gbTalkerID", "gbFilter"})
    if (h.Find<QGroupBox>(name)->isVisibleTo(w)) groups << QString::fromLatin1(name);
  if (h.Action("miOpen")->isVisible() && h.Action("miSaveAs")->isVisible()) groups << QStringLiteral("files");
  QStringList modes, widths;
  for (int c = 0; c < h.Grid()->columnCount(); ++c) widths << QString::number(h.Grid()->columnWidth(c));
  for (const char* name : {"rbServer", "rbHub", "rbAuto", "rbAIS"})
    if (h.Find<QRadioButton>(name)->isVisibleTo(w)) modes << h.Find<QRadioButton>(name)->text();
  return QStringLiteral("%1: %2 | %3 | %4 | grid %5 %6")
             .arg(group->isVisibleTo(w) ? height : QStringLiteral("-"), boxes.join(QStringLiteral(", ")),
                  groups.join(u' '), modes.join(QStringLiteral(", ")), widths.join(u' '),
                  h.Grid()->item(0, 5)->text()) +
         (stretched.isEmpty() ? QString() : " | stretched: " + stretched.join(QStringLiteral(", ")));
}

}  // namespace

class OlderGenerationsTest : public QObject {
  Q_OBJECT
 private slots:
  void readingShowsTheModelAndSendsChangedBoxesBack_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("sentBack");
    QTest::addColumn<bool>("warned");  // "not suitable"
    const QStringList back1{"$PQVXCF,,0*3A", "$PQVXCF,,,,,1*17", "$PQVXCF,,,,,,0100*0B",
                            "$PQVXCF,,,,,,,1*17"};
    const QStringList back2{"$PQVXCF,,0*3A", "$PQVXCF,,,,,,,0100*27", "$PQVXCF,,,,,,,,1*3B"};
    const QStringList back3{"$PQVXCF,,0*3A", "$PQVXCF,,,,,,0100*0B", "$PQVXCF,,,,,,,1*17"};
    const QString full = QStringLiteral("| gbRealTime gbTalkerID gbFilter files |");
    const QString boxes12 = QStringLiteral("fits: Priority, Channel Numbers, Channel ID's, HDG --> HDT");
    const QString grid1 = QStringLiteral("| grid 15 15 15 15 15 43 Sent.");
    const QString grid6 = QStringLiteral("| grid 15 15 15 15 15 57 Sentence");
    const QString grid7 = QStringLiteral("| grid 15 15 15 15 15 57 20 Sentence");
    QTest::newRow("1: serial 4, version 2: full with HDG")
        << 1 << QStringList{} << boxes12 + " " + full + " Server, Hub, Automatic " + grid1 << back1 << false;
    QTest::newRow("1: serial 1, version 2: SeaTalk only")
        << 1 << QStringList{"--serial", "10017"}
        << "fits: SeaTalk --> NMEA |  | Server, Hub, Automatic " + grid1 << back1 << false;
    QTest::newRow("2: 0038 full with SeaTalk and divisor")
        << 2 << QStringList{}
        << boxes12 + ", SeaTalk --> NMEA " + full + " Server, Hub, Auto Server/Hub " + grid7 << back2
        << false;
    QTest::newRow("2: 0008 full without SeaTalk and divisor")
        << 2 << QStringList{"--caps", "0008"}
        << boxes12 + " " + full + " Server, Hub, Auto Server/Hub " + grid6 << back2 << false;
    QTest::newRow("2: 0010 simple with SeaTalk only")
        << 2 << QStringList{"--caps", "0010"}
        << "fits: SeaTalk --> NMEA |  | Server, Hub, Auto Server/Hub " + grid6 << back2 << false;
    QTest::newRow("2: 0080 simple without options, mode AIS")
        << 2 << QStringList{"--caps", "0080"} << "-:  |  | Server, Hub, Auto Server/Hub, AIS " + grid6
        << back2 << false;
    const QString boxes3 =
        QStringLiteral("fits: Priority, Channel Numbers, HDG --> HDT, SeaTalk --> NMEA ") + full;
    QTest::newRow("3: 8080 mode AIS")
        << 3 << QStringList{"--caps", "8080"} << boxes3 + " Server, Hub, Auto Server/Hub, AIS " + grid7
        << back3 << false;
    QTest::newRow("3: 0080 not served") << 3 << QStringList{"--caps", "0080"}
                                        << boxes3 + " Server, Hub, Auto Hub/Server " + grid7 << back3 << true;
  }
  void readingShowsTheModelAndSendsChangedBoxesBack() {
    QFETCH(int, generation);
    QFETCH(QStringList, simArgs);
    QFETCH(QString, layout);
    QFETCH(QStringList, sentBack);
    QFETCH(bool, warned);
    LegacyHarness h(generation);
    QVERIFY2(h.Start(simArgs), qPrintable(h.Why()));
    QCOMPARE(h.window->windowTitle(),
             QStringLiteral("Halyx Configuration Tool V") + ProgramVersion() +
                 QStringLiteral(" (V%1)").arg(QStringList{"1.42", "2.42", "3.01"}[generation - 1]));
    QTRY_COMPARE(h.SentSince(0), QStringList({"$PQVXVER*4E", "$PQVXCFQ*5B", "$PQVXIDQ*53"}) + sentBack);
    QTRY_COMPARE(Layout(h), layout);
    QCOMPARE(h.prompts.texts(u"inform"),
             warned ? QStringList{"This version of HLXConfig is not suitable for the connected\n"
                                  "multiplexer. Please use a version below V3.00."}
                    : QStringList{});
    QCOMPARE(h.Panel(3),
             layout.contains(QStringLiteral("files")) ? QStringLiteral("Config file:") : QString());
  }

  void captureAndStoreSendTheGenerationsSentences_data() {
    QTest::addColumn<int>("generation");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("readBack");  // lines sent by reading the device
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QString>("captured");
    QTest::addColumn<QStringList>("stop");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QStringList>("store");
    // Channel IDs are on from the factory: the capture sends nothing.
    QTest::newRow("1: channel IDs") << 1 << QStringList{} << 7 << "" << QStringList{} << "HDG 00100 -"
                                    << QStringList{} << "RMC"
                                    << QStringList{"$PQVXFL*05", "$PQVXFL,RMC,00000*69"};
    QTest::newRow("2: numbers off, IDs on; divisor")
        << 2 << QStringList{} << 6 << "chbChannelID" << QStringList{"$PQVXCF,,,,,1,0*0B"} << "HCHDG 00100 "
        << QStringList{"$PQVXCF,,,,,,1*3B", "$PQVXCF,,,,,0*16"} << "GPRMC"
        << QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,00000,*52"};
    QTest::newRow("2: without divisor")
        << 2 << QStringList{"--caps", "0008"} << 6 << "" << QStringList{"$PQVXCF,,,,,1,0*0B"}
        << "HCHDG 00100 -" << QStringList{"$PQVXCF,,,,,,0*3A", "$PQVXCF,,,,,0*16"} << "GPRMC"
        << QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,00000*7E"};
    QTest::newRow("3: channel numbers")
        << 3 << QStringList{} << 6 << "" << QStringList{"$PQVXCF,,,,,1*17"} << "HCHDG 00100 "
        << QStringList{"$PQVXCF,,,,,0*16"} << "GPRMC" << QStringList{"$PQVXFL*05", "$PQVXFL,GPRMC,00000,*52"};
  }
  void captureAndStoreSendTheGenerationsSentences() {
    QFETCH(int, generation);
    QFETCH(QStringList, simArgs);
    QFETCH(int, readBack);
    QFETCH(QString, before);
    QFETCH(QStringList, start);
    QFETCH(QString, captured);
    QFETCH(QStringList, stop);
    QFETCH(QString, added);
    QFETCH(QStringList, store);
    LegacyHarness h(generation);
    QVERIFY2(h.Start(simArgs + QStringList{"--traffic", "40", "--ov-period", "0"}), qPrintable(h.Why()));
    QTRY_COMPARE(h.SentCount(), readBack);
    if (!before.isEmpty()) {
      h.Click(qPrintable(before));
      ++readBack;
      QTRY_COMPARE(h.SentCount(), readBack);
    }
    h.Click("btnCapture");
    QTRY_COMPARE(h.SentSince(readBack), start);
    QTRY_VERIFY_WITH_TIMEOUT(h.Rows().contains(captured), 5000);
    h.Click("btnCapture");
    QTRY_COMPARE(h.SentSince(readBack), start + stop);
    h.Click("btnClear");
    h.Edit("edtFilter")->setText(added);
    h.Click("btnAddFilter");
    h.Click("btnUpdate");
    QTRY_COMPARE(h.SentSince(readBack), start + stop + store);
    QStringList held;
    for (const QString& l : store.mid(1)) held << l.left(l.indexOf(u'*'));
    QCOMPARE(h.Ask("PQVXFLQ", QStringLiteral("$PQVXFL,"), 2), held + QStringList{"$PQVXFL,"});
  }

  // Generation 1's grid: no edits in place, an added row is not made current.
  void generationOneGridIsNotEditedInPlace() {
    LegacyHarness h(1);
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    QTest::keyClicks(h.Edit("edtFilter"), "gprmc");
    h.Click("btnAddFilter");
    QCOMPARE(h.Rows(), QStringList{"GPR 00000 -"});
    QVERIFY(h.Grid()->currentRow() != 1);
    h.Grid()->editItem(h.Grid()->item(1, 5));
    QVERIFY(!h.Grid()->viewport()->findChild<QLineEdit*>());  // no editor opened
  }
};

QTEST_MAIN(OlderGenerationsTest)
#include "tst_oldergenerations.moc"
