// The program's own widgets: the about box (its links and the gesture that
// clears the settings) and the lamp control, whose look follows shape, rim and
// state from 13 x 13 mask images with face and background keys.

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "ui/AMAdvLed.h"
#include "ui/About.h"

using namespace hlx;

namespace {
QSet<QRgb> Colours(const QImage& img) {
  QSet<QRgb> seen;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) seen.insert(img.pixel(x, y) | 0xFF000000u);
  return seen;
}
QSet<QRgb> Grab(QWidget& w) { return Colours(w.grab().toImage().convertToFormat(QImage::Format_RGB32)); }
}  // namespace

class WidgetsTest : public QObject {
  Q_OBJECT
 private slots:
  void linksOpenThroughTheInstalledOpener() {
    test::ScriptedPrompts prompts;
    TAboutBox box(prompts);
    QList<QUrl> opened;
    box.SetUrlOpener([&](const QUrl& url) {
      opened << url;
      return true;
    });
    // "Web" is the caption, no link.
    for (const char* label : {"Label1", "Label2", "Web"})
      QTest::mouseClick(box.findChild<QLabel*>(label), Qt::LeftButton);
    QCOMPARE(opened, (QList<QUrl>{TAboutBox::WebUrl(), TAboutBox::MailUrl()}));
    QCOMPARE(opened.at(1).scheme(), QString("mailto"));
  }

  void onlyADoubleClickOnTheIconAsksToClearSettings_data() {
    QTest::addColumn<QString>("gesture");
    QTest::newRow("OK") << "OK";
    QTest::newRow("window closed") << "close";
    QTest::newRow("icon double-clicked") << "icon";
  }
  void onlyADoubleClickOnTheIconAsksToClearSettings() {
    QFETCH(QString, gesture);
    test::ScriptedPrompts prompts;
    TAboutBox box(prompts);
    QTimer::singleShot(0, &box, [&] {
      if (gesture == "OK")
        box.findChild<QPushButton*>("OKButton")->click();
      else if (gesture == "close")
        box.close();
      else
        QTest::mouseDClick(box.findChild<QLabel*>("ProgramIcon"), Qt::LeftButton);
    });
    const bool clear = gesture == "icon";
    QCOMPARE(box.ExecAndCheckClear(nullptr), clear);
    const QStringList asked{"All HLX-Config will settings be cleared\nand HLX-Config will terminate"};
    QCOMPARE(prompts.texts(), clear ? asked : QStringList{});
    QCOMPARE(box.result() == TAboutBox::kClearSettingsResult, clear);
    QVERIFY(!box.isVisible());
  }

  // On a form: forced to 13 x 13; one signal per change of state.
  void paintsFaceInStateColourAndBackgroundInParentColour() {
    QWidget form;
    QPalette pal = form.palette();
    pal.setColor(QPalette::Window, QColor(1, 2, 3));
    form.setPalette(pal);
    auto* led = new TAMAdvLed(&form);
    led->setGeometry(10, 10, 20, 20);
    QCOMPARE(led->geometry(), QRect(10, 10, 13, 13));
    QCOMPARE(led->ImageName(), QStringLiteral("AMRNDLED3DUP"));
    QSignalSpy spy(led, &TAMAdvLed::OnLedStateChanged);
    led->SetColorOn(QColor(200, 0, 0));
    const QSet<QRgb> off = Grab(*led);
    QVERIFY(off.contains(qRgb(0, 128, 0)) && !off.contains(qRgb(200, 0, 0)) && off.contains(qRgb(1, 2, 3)));
    QVERIFY(!off.contains(TAMAdvLed::kBackgroundKey) && !off.contains(TAMAdvLed::kFaceKey));
    QVERIFY((off - QSet<QRgb>{qRgb(0, 128, 0), qRgb(1, 2, 3)}).size() > 1);  // rim and highlight
    led->SetLedOn(true);
    led->SetLedOn(true);
    QVERIFY(Grab(*led).contains(qRgb(200, 0, 0)));
    pal.setColor(QPalette::Window, QColor(9, 99, 199));
    form.setPalette(pal);
    const QSet<QRgb> after = Grab(*led);
    QVERIFY(after.contains(qRgb(9, 99, 199)) && !after.contains(qRgb(1, 2, 3)));
    led->SetLedOn(false);
    QStringList seen;  // "sender on count"
    for (const QList<QVariant>& s : spy)
      seen << QStringLiteral("%1 %2 %3")
                  .arg(s.at(0).value<TAMAdvLed*>() == led)
                  .arg(s.at(1).toInt())
                  .arg(s.at(2).toInt());
    QCOMPARE(seen, (QStringList{"1 1 1", "1 0 2"}));
  }

  void flatAndBorderExcludeEachOther() {
    TAMAdvLed led;
    led.SetLedType(TAMAdvLed::ltSquare);
    led.SetBorderStyle(TAMAdvLed::brLowered);
    QCOMPARE(led.ImageName(), QString("AMSQRLED3DDWN"));
    led.SetCtl3D(false);
    QCOMPARE(led.BorderStyle(), TAMAdvLed::brDefault);
    QCOMPARE(led.ImageName(), QString("AMSQRLEDFLAT"));
    led.SetBorderStyle(TAMAdvLed::brRaised);
    QVERIFY(led.Ctl3D());
    QCOMPARE(led.ImageName(), QString("AMSQRLED3DUP"));
    led.SetBorderStyle(TAMAdvLed::brDefault);
    QVERIFY(led.Ctl3D());  // no rim keeps the 3D look
    QCOMPARE(led.ImageName(), QString("AMSQRLED"));
  }

  void everyMaskIsAThirteenPixelImageWithBothKeys() {
    TAMAdvLed led;  // loads the resources
    QSet<QString> names;
    for (int type = 0; type < TAMAdvLed::kLedTypeCount; ++type)
      for (int look = 0; look < 4; ++look) {
        // No rim, raised and lowered with the 3D look, then flat.
        const QString name = TAMAdvLed::MaskName(TLedType(type), TBorder(look % 3), look < 3);
        names.insert(name);
        const QImage mask(TAMAdvLed::ResourcePath(name));
        const QSet<QRgb> colours = Colours(mask);
        QVERIFY2(mask.size() == QSize(13, 13) && colours.contains(TAMAdvLed::kFaceKey), qPrintable(name));
        const bool fillsItsSquare = type == TAMAdvLed::ltSquare;
        QVERIFY2(colours.contains(TAMAdvLed::kBackgroundKey) || fillsItsSquare, qPrintable(name));
      }
    QCOMPARE(names.size(), 64);
  }
};

QTEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
