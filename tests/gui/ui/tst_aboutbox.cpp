#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "ui/About.h"

using namespace hlx;

class AboutBoxTest : public QObject {
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
    QTest::mouseClick(box.findChild<QLabel*>("Label1"), Qt::LeftButton);
    QTest::mouseClick(box.findChild<QLabel*>("Label2"), Qt::LeftButton);
    QTest::mouseClick(box.findChild<QLabel*>("Web"), Qt::LeftButton);  // the caption is no link
    QCOMPARE(opened, (QList<QUrl>{TAboutBox::WebUrl(), TAboutBox::MailUrl()}));
    QCOMPARE(opened.at(1).scheme(), QString("mailto"));
  }

  // Only a double click on the icon asks, and then the box ends asking to
  // clear the settings; OK and closing change nothing.
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
    QCOMPARE(prompts.texts(), clear ? QStringList{"All HLX-Config will settings be cleared\nand HLX-Config will terminate"}
                                    : QStringList{});
    QCOMPARE(box.result() == TAboutBox::kClearSettingsResult, clear);
    QVERIFY(!box.isVisible());
  }
};

QTEST_MAIN(AboutBoxTest)
#include "tst_aboutbox.moc"
