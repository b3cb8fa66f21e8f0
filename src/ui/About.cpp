#include "ui/About.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include "session/UserPrompts.h"
#include "session/VersionCheck.h"

static void InitAboutResources() { Q_INIT_RESOURCE(About); }

namespace hlx {

const QString TAboutBox::kWebAddress = QStringLiteral("www.quorvane.example");
const QString TAboutBox::kMailAddress = QStringLiteral("support@quorvane.example");
const QString TAboutBox::kClearSettingsText =
    QStringLiteral("All HLX-Config will settings be cleared\rand HLX-Config will terminate");

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(geometry);
  return label;
}

}  // namespace

TAboutBox::TAboutBox(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_opener(&QDesktopServices::openUrl) {
  InitAboutResources();
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setModal(true);
  BuildControls();
  // Fixed dialog border: no resizing, no help or size buttons.
  setFixedSize(300, 200);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
}

QUrl TAboutBox::WebUrl() { return QUrl(QStringLiteral("https://") + kWebAddress); }
QUrl TAboutBox::MailUrl() { return QUrl(QStringLiteral("mailto:") + kMailAddress); }

void TAboutBox::BuildControls() {
  auto* logo = MakeLabel(this, "Logo", {}, QRect(190, 8, 96, 32));
  logo->setPixmap(QPixmap(QStringLiteral(":/about/Logo.png")));

  m_programIcon = MakeLabel(this, "ProgramIcon", {}, QRect(12, 12, 40, 40));
  m_programIcon->setPixmap(QPixmap(QStringLiteral(":/about/ProgramIcon.png")));
  m_programIcon->setScaledContents(true);
  m_programIcon->installEventFilter(this);

  QFont bold = font();
  bold.setBold(true);
  auto* product =
      MakeLabel(this, "ProductName", QString::fromLatin1(kApplicationTitle), QRect(64, 12, 120, 18));
  product->setFont(bold);
  MakeLabel(this, "Version", QStringLiteral("Version ") + ProgramVersion(), QRect(64, 34, 120, 16));
  MakeLabel(this, "Notice", QStringLiteral("\u00A9 Quorvane Marine Electronics"), QRect(12, 64, 276, 16));

  MakeLabel(this, "Web", QStringLiteral("Web:"), QRect(12, 90, 50, 16));
  m_webLink = MakeLabel(this, "Label1", kWebAddress, QRect(64, 90, 224, 16));
  MakeLabel(this, "Label3", QStringLiteral("E-mail:"), QRect(12, 110, 50, 16));
  m_mailLink = MakeLabel(this, "Label2", kMailAddress, QRect(64, 110, 224, 16));
  for (QLabel* link : {m_webLink, m_mailLink}) {
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline"));
    link->installEventFilter(this);
  }

  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  bevel->setGeometry(8, 134, 284, 4);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setGeometry(112, 150, 76, 28);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == m_webLink) {
      if (m_opener) m_opener(WebUrl());
      return true;
    }
    if (watched == m_mailLink) {
      if (m_opener) m_opener(MailUrl());
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonDblClick && watched == m_programIcon) {
    m_prompts.Inform(kClearSettingsText);
    done(kClearSettingsResult);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

bool TAboutBox::ExecAndCheckClear(QWidget* owner) {
  if (owner) {
    adjustSize();
    const QRect frame = owner->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
  return exec() == kClearSettingsResult;
}

}  // namespace hlx
