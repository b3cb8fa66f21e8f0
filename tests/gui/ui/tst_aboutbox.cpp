#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "Version.h"
#include "ui/About.h"

using namespace hlx;

class AboutBoxTest : public QObject {
  Q_OBJECT
 private slots:
  void showsNameAndVersion() {
    test::ScriptedPrompts prompts;
    TAboutBox box(prompts);
    QCOMPARE(box.windowTitle(), QString("About"));
    QCOMPARE(box.findChild<QLabel*>("ProductName")->text(), QString("HLX-Config"));
    QCOMPARE(box.findChild<QLabel*>("Version")->text(), QString("Version " HLX_VERSION_STRING));
    QVERIFY(box.findChild<QPushButton*>("OKButton")->isDefault());
    QVERIFY(!box.findChild<QLabel*>("ProgramIcon")->pixmap().isNull());
  }

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

  void okOrClosingChangesNothing_data() {
    QTest::addColumn<bool>("viaOk");
    QTest::newRow("OK") << true;
    QTest::newRow("window closed") << false;
  }
  void okOrClosingChangesNothing() {
    QFETCH(bool, viaOk);
    test::ScriptedPrompts prompts;
    TAboutBox box(prompts);
    QTimer::singleShot(0, &box, [&] {
      if (viaOk)
        box.findChild<QPushButton*>("OKButton")->click();
      else
        box.close();
    });
    QVERIFY(!box.ExecAndCheckClear(nullptr));
    QVERIFY(prompts.records.isEmpty());
  }

  void doubleClickOnTheIconAsksToClearSettings() {
    test::ScriptedPrompts prompts;
    TAboutBox box(prompts);
    QTimer::singleShot(0, &box,
                       [&] { QTest::mouseDClick(box.findChild<QLabel*>("ProgramIcon"), Qt::LeftButton); });
    QVERIFY(box.ExecAndCheckClear(nullptr));
    QCOMPARE(box.result(), TAboutBox::kClearSettingsResult);
    QCOMPARE(prompts.texts(),
             QStringList{"All HLX-Config will settings be cleared\nand HLX-Config will terminate"});
    QVERIFY(!box.isVisible());
  }
};

QTEST_MAIN(AboutBoxTest)
#include "tst_aboutbox.moc"
