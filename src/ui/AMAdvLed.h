#pragma once
// TAMAdvLed: a small lamp control (the overflow indicators of the main
// windows). It paints itself from a 13 x 13 mask image taken from the
// program's resources: silver pixels are the face (painted in ColorOn or
// ColorOff), olive pixels are background (painted in the widget's own
// background colour), all other pixels are rim and highlight.

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

namespace hlx {

class TAMAdvLed : public QWidget {
  Q_OBJECT
  Q_PROPERTY(TBorder BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(QColor ColorOff READ ColorOff WRITE SetColorOff)
  Q_PROPERTY(QColor ColorOn READ ColorOn WRITE SetColorOn)
  Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)
  Q_PROPERTY(bool LedOn READ LedOn WRITE SetLedOn NOTIFY OnLedStateChanged)
  Q_PROPERTY(TLedType LedType READ LedType WRITE SetLedType)
  Q_PROPERTY(int NumSwitch READ NumSwitch)

 public:
  enum TBorder { brDefault, brRaised, brLowered };
  Q_ENUM(TBorder)

  enum TLedType {
    ltDiamond,
    ltEllipsHrz,
    ltEllipsVrt,
    ltMoonLeft,
    ltMoonRight,
    ltParallelBck,
    ltParallelFwd,
    ltPentagon,
    ltRound,
    ltRectangleHrz,
    ltRectangleVrt,
    ltSquare,
    ltTriangleDwn,
    ltTriangleLeft,
    ltTriangleRight,
    ltTriangleUp
  };
  Q_ENUM(TLedType)

  static constexpr int kLedSize = 13;
  static constexpr int kLedTypeCount = 16;
  // Key colours of the mask images.
  static constexpr QRgb kFaceKey = qRgb(192, 192, 192);      // silver
  static constexpr QRgb kBackgroundKey = qRgb(128, 128, 0);  // olive

  explicit TAMAdvLed(QWidget* parent = nullptr);
  ~TAMAdvLed() override;

  TBorder BorderStyle() const { return m_borderStyle; }
  void SetBorderStyle(TBorder value);
  QColor ColorOff() const { return m_colorOff; }
  void SetColorOff(const QColor& value);
  QColor ColorOn() const { return m_colorOn; }
  void SetColorOn(const QColor& value);
  bool Ctl3D() const { return m_ctl3D; }
  void SetCtl3D(bool value);
  bool LedOn() const { return m_ledOn; }
  void SetLedOn(bool value);
  TLedType LedType() const { return m_ledType; }
  void SetLedType(TLedType value);
  // Number of changes of LedOn since construction.
  int NumSwitch() const { return m_numSwitch; }

  // Resource name of the mask image now in use, e.g. "AMSQRLEDFLAT".
  QString ImageName() const { return m_imageName; }

  // Pure naming rules, usable without a widget.
  static QString BaseName(TLedType type);
  static QString MaskName(TLedType type, TBorder border, bool ctl3D);
  // Qt resource path of a mask image name.
  static QString ResourcePath(const QString& imageName);
  // The face and background keys of `mask` replaced by `face` and `background`.
  static QImage Compose(const QImage& mask, const QColor& face, const QColor& background);

  QSize sizeHint() const override { return {kLedSize, kLedSize}; }
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  // Raised after every change of LedOn.
  void OnLedStateChanged(hlx::TAMAdvLed* sender, bool ledOn, int numSwitch);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SelectImage();

  TBorder m_borderStyle = brRaised;
  QColor m_colorOff{0, 128, 0};
  QColor m_colorOn{0, 255, 0};
  bool m_ctl3D = true;
  bool m_ledOn = false;
  TLedType m_ledType = ltRound;
  int m_numSwitch = 0;
  QString m_imageName;
  QImage m_mask;
};

using TBorder = TAMAdvLed::TBorder;
using TLedType = TAMAdvLed::TLedType;

}  // namespace hlx
