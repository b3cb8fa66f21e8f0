#include "ui/AMAdvLed.h"

#include <QEvent>
#include <QPainter>
#include <array>

// The resources live in a static library; referencing the initialiser keeps
// them from being dropped by the linker. Must be called outside any namespace.
static void InitLedResources() { Q_INIT_RESOURCE(AMAdvLed); }

namespace hlx {

namespace {

constexpr std::array<const char*, TAMAdvLed::kLedTypeCount> kBaseNames = {
    "AMDMDLED",    "AMLPSLEDHRZ",  "AMLPSLEDVRT",   "AMMONLEDLEFT", "AMMONLEDRIGHT", "AMPRLLEDBCK",
    "AMPRLLEDFWT", "AMPNTLED",     "AMRNDLED",      "AMRCTLEDHRZ",  "AMRCTLEDVRT",   "AMSQRLED",
    "AMTRILEDDWN", "AMTRILEDLEFT", "AMTRILEDRIGHT", "AMTRILEDUP"};

}  // namespace

TAMAdvLed::TAMAdvLed(QWidget* parent) : QWidget(parent) {
  InitLedResources();
  // The lamp is always 13 x 13: a size given by a form (or a layout) is
  // clamped by the fixed size, so a 20 x 20 placement still shows 13 x 13.
  setFixedSize(kLedSize, kLedSize);
  setAttribute(Qt::WA_OpaquePaintEvent);
  SelectImage();
}

TAMAdvLed::~TAMAdvLed() = default;

QString TAMAdvLed::BaseName(TLedType type) {
  const auto index = static_cast<std::size_t>(type);
  return index < kBaseNames.size() ? QString::fromLatin1(kBaseNames[index]) : QString();
}

QString TAMAdvLed::MaskName(TLedType type, TBorder border, bool ctl3D) {
  QString name = BaseName(type);
  if (border == brRaised)
    name += QLatin1String("3DUP");
  else if (border == brLowered)
    name += QLatin1String("3DDWN");
  if (!ctl3D) name += QLatin1String("FLAT");
  return name;
}

QString TAMAdvLed::ResourcePath(const QString& imageName) {
  return QStringLiteral(":/leds/%1.png").arg(imageName);
}

QImage TAMAdvLed::Compose(const QImage& mask, const QColor& face, const QColor& background) {
  QImage work = mask.convertToFormat(QImage::Format_RGB32);
  const QRgb faceRgb = face.rgb();
  const QRgb backRgb = background.rgb();
  for (int y = 0; y < work.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(work.scanLine(y));
    for (int x = 0; x < work.width(); ++x) {
      const QRgb key = qRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
      if (key == kFaceKey)
        line[x] = faceRgb;
      else if (key == kBackgroundKey)
        line[x] = backRgb;
    }
  }
  return work;
}

void TAMAdvLed::SetBorderStyle(TBorder value) {
  if (value == m_borderStyle) return;
  m_borderStyle = value;
  if (value != brDefault) m_ctl3D = true;
  SelectImage();
}

void TAMAdvLed::SetCtl3D(bool value) {
  if (value == m_ctl3D) return;
  m_ctl3D = value;
  if (!value) m_borderStyle = brDefault;
  SelectImage();
}

void TAMAdvLed::SetLedType(TLedType value) {
  if (value == m_ledType) return;
  m_ledType = value;
  SelectImage();
}

void TAMAdvLed::SetColorOff(const QColor& value) {
  m_colorOff = value;
  update();
}

void TAMAdvLed::SetColorOn(const QColor& value) {
  m_colorOn = value;
  update();
}

void TAMAdvLed::SetLedOn(bool value) {
  if (value == m_ledOn) return;
  m_ledOn = value;
  ++m_numSwitch;
  emit OnLedStateChanged(this, m_ledOn, m_numSwitch);
  update();
}

void TAMAdvLed::SelectImage() {
  m_imageName = MaskName(m_ledType, m_borderStyle, m_ctl3D);
  m_mask = QImage(ResourcePath(m_imageName));
  update();
}

void TAMAdvLed::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor background = palette().color(backgroundRole());
  if (m_mask.isNull()) {
    // A missing image must not leave garbage on an opaque widget.
    painter.fillRect(rect(), background);
    return;
  }
  // Two passes as the mask describes them: face first, then background.
  const QImage work = Compose(m_mask, m_ledOn ? m_colorOn : m_colorOff, background);
  painter.drawImage(rect(), work);
}

void TAMAdvLed::changeEvent(QEvent* event) {
  // The background keys follow the parent's colour.
  if (event->type() == QEvent::PaletteChange) update();
  QWidget::changeEvent(event);
}

}  // namespace hlx
