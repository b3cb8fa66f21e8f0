// Start-up rules: version parsing, the generation table, the restart into
// another generation and the settings the main window restores.

#include <QSettings>
#include <QtTest>

#include "session/VersionCheck.h"

using namespace hlx;

class VersionCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void parsesVersionNumbersAsFarAsTheirDigitsGo_data();
  void parsesVersionNumbersAsFarAsTheirDigitsGo();
  void mapsFirmwareToWindowGeneration_data();
  void mapsFirmwareToWindowGeneration();
  void differentGenerationWritesFormIdAndReconnectAndRestarts();
  void sameGenerationWritesNothingAndDoesNotRestart();
  void missingFormIdCountsAsCurrentWindow();
  void unknownFormIdOpensTheCurrentWindow_data();
  void unknownFormIdOpensTheCurrentWindow();
  void restoringStopsAtTheFirstMissingValue();
  void reconnectIsReadOnceThenCleared();
  void clearingDeletesEveryValue();
  void programVersionHasThreeNumbers();

 private:
  QSettings Key() const { return QSettings(kSettingsOrganization, kSettingsApplication); }
  int m_restarts = 0;
  QTemporaryDir m_configDir;
};

void VersionCheckTest::initTestCase() {
  // A settings folder of this process alone: other tests may run beside it.
  QVERIFY(m_configDir.isValid());
  qputenv("XDG_CONFIG_HOME", m_configDir.path().toLocal8Bit());
}

void VersionCheckTest::init() {
  Key().clear();
  m_restarts = 0;
  SetRestartAction([this] { ++m_restarts; });
}

void VersionCheckTest::cleanup() {
  SetRestartAction({});
  Key().clear();
}

void VersionCheckTest::parsesVersionNumbersAsFarAsTheirDigitsGo_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<uint>("major");
  QTest::addColumn<uint>("minor");
  QTest::addColumn<uint>("release");
  QTest::newRow("three numbers") << "3.33.1" << 3u << 33u << 1u;
  QTest::newRow("two numbers") << "2.10" << 2u << 10u << 0u;
  QTest::newRow("no dot gives zeros") << "333" << 0u << 0u << 0u;
  QTest::newRow("empty") << "" << 0u << 0u << 0u;
  QTest::newRow("suffix after digits") << "3.33b.7rc" << 3u << 33u << 7u;
  QTest::newRow("fourth part ignored") << "4.1.2.9" << 4u << 1u << 2u;
  QTest::newRow("letters instead of numbers") << "x.y.z" << 0u << 0u << 0u;
  QTest::newRow("trailing dot") << "3." << 3u << 0u << 0u;
  QTest::newRow("huge number saturates") << "99999999999999999999.1" << 4294967295u << 1u << 0u;
}

void VersionCheckTest::parsesVersionNumbersAsFarAsTheirDigitsGo() {
  QFETCH(QString, text);
  QFETCH(uint, major);
  QFETCH(uint, minor);
  QFETCH(uint, release);
  const VersionNumbers v = ParseVersion(text.toStdString());
  QCOMPARE(v, (VersionNumbers{major, minor, release}));
}

void VersionCheckTest::mapsFirmwareToWindowGeneration_data() {
  QTest::addColumn<QString>("version");
  QTest::addColumn<int>("formId");
  QTest::addColumn<bool>("supported");
  QTest::newRow("1.x") << "1.7.0" << 1 << true;
  QTest::newRow("2.1.7") << "2.1.7" << 1 << true;
  QTest::newRow("2.0") << "2.0.0" << 1 << true;
  QTest::newRow("2.2") << "2.2.0" << 2 << true;
  QTest::newRow("2.8") << "2.8.3" << 2 << true;
  QTest::newRow("2.9.4") << "2.9.4" << 3 << true;
  QTest::newRow("2.10.0") << "2.10.0" << 4 << true;
  QTest::newRow("2.99") << "2.99.0" << 4 << true;
  QTest::newRow("3.32.9 too old") << "3.32.9" << 0 << false;
  QTest::newRow("3.0 too old") << "3.0.0" << 0 << false;
  QTest::newRow("3.33.0") << "3.33.0" << 0 << true;
  QTest::newRow("3.40") << "3.40.1" << 0 << true;
  QTest::newRow("4.0.0") << "4.0.0" << 0 << true;
  QTest::newRow("no dots") << "banana" << 0 << true;
}

void VersionCheckTest::mapsFirmwareToWindowGeneration() {
  QFETCH(QString, version);
  QFETCH(int, formId);
  QFETCH(bool, supported);
  QCOMPARE(FormChoiceFor(ParseVersion(version.toStdString())), (FormChoice{formId, supported}));
}

void VersionCheckTest::differentGenerationWritesFormIdAndReconnectAndRestarts() {
  bool restarted = false;
  QVERIFY(SelectFormId(ParseVersion("2.9.4"), &restarted));
  QVERIFY(restarted);
  QCOMPARE(m_restarts, 1);
  QCOMPARE(Key().value("FormID").toInt(), 3);
  QCOMPARE(Key().value("ReConnect").toInt(), 1);
}

void VersionCheckTest::sameGenerationWritesNothingAndDoesNotRestart() {
  Key().setValue("FormID", 0);
  bool restarted = true;
  QVERIFY(!SelectFormId(ParseVersion("3.32.9"), &restarted));  // too old, but same window
  QVERIFY(!restarted);
  QCOMPARE(m_restarts, 0);
  QVERIFY(!Key().contains("ReConnect"));
}

void VersionCheckTest::missingFormIdCountsAsCurrentWindow() {
  QCOMPARE(ReadFormId(), 0);
  QVERIFY(SelectFormId(ParseVersion("3.33.1")));
  QCOMPARE(m_restarts, 0);
  QVERIFY(!Key().contains("FormID"));
  Key().setValue("FormID", "not a number");
  QCOMPARE(ReadFormId(), 0);
}

void VersionCheckTest::unknownFormIdOpensTheCurrentWindow_data() {
  QTest::addColumn<int>("stored");
  QTest::addColumn<int>("window");
  QTest::newRow("0") << 0 << 0;
  QTest::newRow("4") << 4 << 4;
  QTest::newRow("7") << 7 << 0;
  QTest::newRow("-1") << -1 << 0;
}

void VersionCheckTest::unknownFormIdOpensTheCurrentWindow() {
  QFETCH(int, stored);
  QFETCH(int, window);
  Key().setValue("FormID", stored);
  QCOMPARE(WindowForFormId(ReadFormId()), window);
}

void VersionCheckTest::restoringStopsAtTheFirstMissingValue() {
  {
    QSettings s = Key();
    s.setValue("BaudRate", 3);
    s.setValue("IP", "127.0.0.2");
    s.setValue("CurrentTab", 2);
    s.setValue("ReConnect", 1);
  }
  const StartSettings st = LoadStartSettings();
  QCOMPARE(st.baudRate, std::optional<int>(3));
  QVERIFY(!st.port);
  QVERIFY(!st.ip);  // present, but after the missing Port
  QVERIFY(!st.currentTab);
  QVERIFY(!st.reConnect);
}

void VersionCheckTest::reconnectIsReadOnceThenCleared() {
  SaveSettings(false, {6, 4, QStringLiteral("10.0.0.9"), 1});
  Key().setValue("ReConnect", 1);
  const StartSettings first = LoadStartSettings();
  QCOMPARE(first.baudRate, std::optional<int>(6));
  QCOMPARE(first.port, std::optional<int>(4));
  QCOMPARE(first.ip, std::optional<QString>(QStringLiteral("10.0.0.9")));
  QCOMPARE(first.currentTab, std::optional<int>(1));
  QVERIFY(first.reConnect);
  QVERIFY(!LoadStartSettings().reConnect);
}

void VersionCheckTest::clearingDeletesEveryValue() {
  SaveSettings(false, {1, 2, QStringLiteral("x"), 0});
  Key().setValue("FormID", 2);
  SaveSettings(true);
  QVERIFY(Key().allKeys().isEmpty());
}

void VersionCheckTest::programVersionHasThreeNumbers() {
  QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(ProgramVersion()).hasMatch());
}

QTEST_GUILESS_MAIN(VersionCheckTest)
#include "tst_versioncheck.moc"
