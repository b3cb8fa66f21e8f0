#include <QtTest>

#include "ui/AMAdvLed.h"

using namespace hlx;

class LedMasksTest : public QObject {
  Q_OBJECT
 private slots:
  void maskNames_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("border");
    QTest::addColumn<bool>("ctl3d");
    QTest::addColumn<QString>("name");
    QTest::newRow("round raised") << int(TAMAdvLed::ltRound) << int(TAMAdvLed::brRaised) << true
                                  << "AMRNDLED3DUP";
    QTest::newRow("square flat") << int(TAMAdvLed::ltSquare) << int(TAMAdvLed::brDefault) << false
                                 << "AMSQRLEDFLAT";
    QTest::newRow("diamond lowered") << int(TAMAdvLed::ltDiamond) << int(TAMAdvLed::brLowered) << true
                                     << "AMDMDLED3DDWN";
    QTest::newRow("forward parallel, no rim")
        << int(TAMAdvLed::ltParallelFwd) << int(TAMAdvLed::brDefault) << true << "AMPRLLEDFWT";
    QTest::newRow("last shape") << int(TAMAdvLed::ltTriangleUp) << int(TAMAdvLed::brDefault) << true
                                << "AMTRILEDUP";
  }
  void maskNames() {
    QFETCH(int, type);
    QFETCH(int, border);
    QFETCH(bool, ctl3d);
    QFETCH(QString, name);
    QCOMPARE(TAMAdvLed::MaskName(TLedType(type), TBorder(border), ctl3d), name);
  }

  void everyMaskIsAThirteenPixelImageWithBothKeys() {
    TAMAdvLed led;  // loads the resources
    QSet<QString> names;
    for (int type = 0; type < TAMAdvLed::kLedTypeCount; ++type) {
      const QList<QPair<TBorder, bool>> looks = {{TAMAdvLed::brDefault, true},
                                                 {TAMAdvLed::brRaised, true},
                                                 {TAMAdvLed::brLowered, true},
                                                 {TAMAdvLed::brDefault, false}};
      for (const auto& [border, ctl3d] : looks) {
        const QString name = TAMAdvLed::MaskName(TLedType(type), border, ctl3d);
        names.insert(name);
        const QImage mask(TAMAdvLed::ResourcePath(name));
        QVERIFY2(!mask.isNull(), qPrintable(name));
        QCOMPARE(mask.size(), QSize(13, 13));
        QVERIFY2(mask.colorCount() > 0 && mask.colorCount() <= 16, qPrintable(name));
        bool face = false, background = false;
        for (int y = 0; y < 13; ++y)
          for (int x = 0; x < 13; ++x) {
            const QRgb p = mask.pixel(x, y) | 0xFF000000u;
            face |= p == TAMAdvLed::kFaceKey;
            background |= p == TAMAdvLed::kBackgroundKey;
          }
        QVERIFY2(face, qPrintable(name));
        QVERIFY2(background || type == TAMAdvLed::ltSquare, qPrintable(name));
      }
    }
    QCOMPARE(names.size(), 64);
  }

  void composeReplacesOnlyTheKeys() {
    QImage mask(3, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, TAMAdvLed::kFaceKey);
    mask.setPixel(1, 0, TAMAdvLed::kBackgroundKey);
    mask.setPixel(2, 0, qRgb(255, 255, 255));
    const QImage out = TAMAdvLed::Compose(mask, QColor(0, 255, 0), QColor(10, 20, 30));
    QCOMPARE(out.pixel(0, 0), qRgb(0, 255, 0));
    QCOMPARE(out.pixel(1, 0), qRgb(10, 20, 30));
    QCOMPARE(out.pixel(2, 0), qRgb(255, 255, 255));
  }
};

QTEST_MAIN(LedMasksTest)
#include "tst_ledmasks.moc"
