// Start-up rules: version parsing, the generation table, the restart into
// another generation and the settings the main window restores.

#include <QSettings>
#include <QtTest>

#include "session/SettingsAndRestart.h"
#include "session/VersionCheck.h"

using namespace hlx;

namespace {

struct Start {
  QVariant stored;  // FormID; invalid: none stored
  const char* version;
  int window;      // the window the stored FormID opens
  bool supported;  // the firmware is recent enough for that window
  bool restart;
  int formIdAfter;  // -1: none stored
};

}  // namespace

class VersionCheckTest : public QObject {
  Q_OBJECT

  QSettings Key() const { return QSettings(kSettingsOrganization, kSettingsApplication); }
  int m_restarts = 0;
  QTemporaryDir m_configDir;

 private slots:
  void initTestCase() {
    // A settings folder of this process alone: other tests may run beside it.
    QVERIFY(m_configDir.isValid());
    qputenv("XDG_CONFIG_HOME", m_configDir.path().toLocal8Bit());
    SetRestartAction([this] { ++m_restarts; });
  }
  void init() {
    Key().clear();
    m_restarts = 0;
  }

  void parsesVersionNumbersAsFarAsTheirDigitsGo_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<VersionNumbers>("expected");
    // No dot gives zeros, digits count up to the first other character, a huge number saturates.
    for (auto [text, expected] : {std::pair{"3.33.1", VersionNumbers{3, 33, 1}},
                                  {"2.10", {2, 10, 0}},
                                  {"333", {0, 0, 0}},
                                  {"3.33b.7rc", {3, 33, 7}},
                                  {"4.1.2.9", {4, 1, 2}},
                                  {"x.y.z", {0, 0, 0}},
                                  {"99999999999999999999.1", {4294967295u, 1, 0}}})
      QTest::newRow(text) << QString(text) << expected;
  }
  void parsesVersionNumbersAsFarAsTheirDigitsGo() {
    QFETCH(QString, text);
    QFETCH(VersionNumbers, expected);
    QCOMPARE(ParseVersion(text.toStdString()), expected);
  }

  void mapsFirmwareToWindowGeneration_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<FormChoice>("expected");
    for (auto [version, expected] : {std::pair{"1.7.0", FormChoice{1, true}},
                                     {"2.1.7", {1, true}},
                                     {"2.2.0", {2, true}},
                                     {"2.8.3", {2, true}},
                                     {"2.9.4", {3, true}},
                                     {"2.10.0", {4, true}},
                                     {"3.32.9", {0, false}},
                                     {"3.33.0", {0, true}},
                                     {"4.0.0", {0, true}},
                                     {"banana", {0, true}}})
      QTest::newRow(version) << QString(version) << expected;
  }
  void mapsFirmwareToWindowGeneration() {
    QFETCH(QString, version);
    QFETCH(FormChoice, expected);
    QCOMPARE(FormChoiceFor(ParseVersion(version.toStdString())), expected);
  }

  void storedFormIdOpensItsWindow_restartOnlyIntoAnotherGeneration_data() {
    QTest::addColumn<Start>("start");
    QTest::newRow("none stored, older generation") << Start{{}, "2.9.4", 0, true, true, 3};
    QTest::newRow("none stored counts as the current window") << Start{{}, "3.33.1", 0, true, false, -1};
    QTest::newRow("same generation, too old") << Start{0, "3.32.9", 0, false, false, 0};
    QTest::newRow("4 opens its window") << Start{4, "2.10.0", 4, true, false, 4};
    QTest::newRow("7 opens the current window") << Start{7, "3.40.0", 0, true, true, 0};
    QTest::newRow("-1 opens the current window") << Start{-1, "4.0.0", 0, true, true, 0};
    QTest::newRow("unreadable counts as the current window") << Start{"x", "3.33.0", 0, true, false, 0};
  }
  void storedFormIdOpensItsWindow_restartOnlyIntoAnotherGeneration() {
    QFETCH(Start, start);
    if (start.stored.isValid()) Key().setValue("FormID", start.stored);
    QCOMPARE(WindowForFormId(ReadFormId()), start.window);
    bool restarted = !start.restart;
    QCOMPARE(SelectFormId(ParseVersion(start.version), &restarted), start.supported);
    QCOMPARE(restarted, start.restart);
    QCOMPARE(m_restarts, start.restart ? 1 : 0);
    QCOMPARE(Key().value("FormID", -1).toInt(), start.formIdAfter);
    QCOMPARE(Key().value("ReConnect", 0).toInt(), start.restart ? 1 : 0);
  }

  // A complete set coming back, ReConnect read once, is driven through the window (tst_connection).
  void settingsAreRestoredUpToTheFirstMissingValue() {
    SaveSettings(false, {6, 4, QStringLiteral("127.0.0.9"), 1});
    Key().remove("Port");
    Key().setValue("ReConnect", 1);
    const StartSettings st = LoadStartSettings();
    QCOMPARE(st.baudRate, std::optional<int>(6));
    QVERIFY(!st.port && !st.ip && !st.currentTab && !st.reConnect);  // present, but after the missing Port
    QCOMPARE(Key().value("ReConnect").toInt(), 0);
    SaveSettings(true);
    QVERIFY(Key().allKeys().isEmpty());
  }
};

QTEST_GUILESS_MAIN(VersionCheckTest)
#include "tst_versioncheck.moc"
