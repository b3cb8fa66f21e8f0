#include <QtTest>

#include "ui/AMAdvLed.h"

using namespace hlx;

namespace {
QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }
bool Shows(const QImage& img, QRgb colour) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) == colour) return true;
  return false;
}
}  // namespace

class AMAdvLedTest : public QObject {
  Q_OBJECT
 private slots:
  void defaults() {
    TAMAdvLed led;
    QCOMPARE(led.BorderStyle(), TAMAdvLed::brRaised);
    QCOMPARE(led.ColorOff(), QColor(0, 128, 0));
    QCOMPARE(led.ColorOn(), QColor(0, 255, 0));
    QVERIFY(led.Ctl3D());
    QVERIFY(!led.LedOn());
    QCOMPARE(led.LedType(), TAMAdvLed::ltRound);
    QCOMPARE(led.NumSwitch(), 0);
    QCOMPARE(led.ImageName(), QString("AMRNDLED3DUP"));
    QVERIFY(!led.MaskImage().isNull());
  }

  void stateChangesAreCountedOncePerChange() {
    TAMAdvLed led;
    QSignalSpy spy(&led, &TAMAdvLed::OnLedStateChanged);
    led.SetLedOn(true);
    led.SetLedOn(true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<TAMAdvLed*>(), &led);
    QCOMPARE(spy.at(0).at(1).toBool(), true);
    QCOMPARE(spy.at(0).at(2).toInt(), 1);
    led.SetLedOn(false);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(1).toBool(), false);
    QCOMPARE(spy.at(1).at(2).toInt(), 2);
    QCOMPARE(led.NumSwitch(), 2);
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

  void sizeFromAFormIsForcedToThirteen() {
    QWidget form;
    TAMAdvLed led(&form);
    led.setGeometry(10, 10, 20, 20);
    QCOMPARE(led.size(), QSize(13, 13));
    QCOMPARE(led.pos(), QPoint(10, 10));
  }

  void paintsFaceInStateColourAndBackgroundInParentColour() {
    QWidget form;
    QPalette pal = form.palette();
    pal.setColor(QPalette::Window, QColor(1, 2, 3));
    form.setPalette(pal);
    auto* led = new TAMAdvLed(&form);
    led->SetColorOn(QColor(200, 0, 0));
    QImage off = Grab(*led);
    QVERIFY(Shows(off, qRgb(0, 128, 0)));
    QVERIFY(!Shows(off, qRgb(200, 0, 0)));
    QVERIFY(Shows(off, qRgb(1, 2, 3)));
    QVERIFY(!Shows(off, TAMAdvLed::kBackgroundKey) && !Shows(off, TAMAdvLed::kFaceKey));
    led->SetLedOn(true);
    QVERIFY(Shows(Grab(*led), qRgb(200, 0, 0)));
    // The parent's new colour shows through around the shape.
    pal.setColor(QPalette::Window, QColor(9, 99, 199));
    form.setPalette(pal);
    const QImage after = Grab(*led);
    QVERIFY(Shows(after, qRgb(9, 99, 199)));
    QVERIFY(!Shows(after, qRgb(1, 2, 3)));
  }

  void clickIsPassedThrough() {
    TAMAdvLed led;
    QSignalSpy clicks(&led, &TAMAdvLed::OnClick);
    QSignalSpy downs(&led, &TAMAdvLed::OnMouseDown);
    QTest::mouseClick(&led, Qt::LeftButton, {}, QPoint(6, 6));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(downs.count(), 1);
  }
};

QTEST_MAIN(AMAdvLedTest)
#include "tst_amadvled.moc"
