// Generation hand-over with the real program: started with the window its
// settings name, it meets a device of the other generation on a
// pseudo-terminal, stores the device's generation, restarts itself, and the
// new instance opens the other window and reconnects on the same port at the
// same speed (told apart by what each window sends to read a device).
#include <QtTest>

#include <csignal>

#include "SimProcess.h"
#include "link/Comms.h"

using namespace hlx::test;

class HandOverTest : public QObject {
  Q_OBJECT
 public:
  HandOverTest() { m_program.setProcessChannelMode(QProcess::ForwardedChannels); }

 private:
  QTemporaryDir m_config;
  QProcess m_program;

  QSettings Settings() const {
    return QSettings(m_config.filePath(QStringLiteral("Quorvane/HLXConfig.conf")), QSettings::IniFormat);
  }

  void StartProgram(const QString& port) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    env.insert(QStringLiteral("HLX_EXTRA_PORTS"), port);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_program.setProcessEnvironment(env);
    m_program.start(QStringLiteral(HLX_CONFIG_PATH), {});
    QVERIFY(m_program.waitForStarted(5000));
  }

  // Instances of the program that use this test's settings: the one it
  // started and those that restarted themselves from it.
  QList<qint64> Instances() const {
    QList<qint64> pids;
    const QByteArray marker = "XDG_CONFIG_HOME=" + m_config.path().toLocal8Bit();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
      bool number = false;
      const qint64 pid = entry.toLongLong(&number);
      if (!number) continue;
      if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() !=
          QFileInfo(QStringLiteral(HLX_CONFIG_PATH)).canonicalFilePath())
        continue;
      QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
      if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(marker)) pids << pid;
    }
    return pids;
  }

  void StopInstances() {
    m_program.waitForFinished(100);
    for (qint64 pid : Instances()) ::kill(static_cast<pid_t>(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(Instances().isEmpty(), 10000);
    m_program.waitForFinished(3000);
  }

 private slots:
  void cleanup() { StopInstances(); }

  // Each window meets a device of the other generation on the terminal at 38400.
  void deviceOfTheOtherGenerationRestartsIntoItsWindow_data() {
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<int>("fromForm");
    QTest::addColumn<QStringList>("expected");  // what the simulator records, in order of appearance
    QTest::addColumn<int>("toForm");
    QTest::addColumn<int>("portOffset");  // Port afterwards: serial list index + this
    QTest::addColumn<int>("storedBaud");  // BaudRate before; afterwards 38400 (3), where the device answered
    // Only the older window asks for the port speeds when it reads a device.
    QTest::newRow("current window, generation-4 device")
        << QStringList{"--generation", "4"} << 0
        << QStringList{"$PQVXVER*4E", "$PQVXVER*4E", "$PQVXCFQ*5B", "$PQVXSPQ*5D"} << 4 << 2 << 6;
    // The older window reads four replies; the current one identifies the device again and reads it.
    QTest::newRow("older window, current device")
        << QStringList{"--host-speed", "3"} << 4
        << QStringList{"$PQVXVER*4E", "$PQVXCFQ*5B", "$PQVXSPQ*5D", "$PQVXVER*4E", "$PQVXCFQ*5B"} << 0 << 3
        << 3;
    QTest::newRow("older window searching, current device")
        << QStringList{"--host-speed", "3"} << 4 << QStringList{"$PQVXVER*4E", "$PQVXVER*4E", "$PQVXCFQ*5B"}
        << 0 << 3 << 4;
    // Round the older generations: only generation 4 reads port speeds.
    const QStringList read{"$PQVXVER*4E", "$PQVXCFQ*5B"};
    QTest::newRow("generation-4 window, generation-1 device")
        << QStringList{"--generation", "1"} << 4 << QStringList{read + QStringList{"$PQVXSPQ*5D"} + read} << 1
        << 2 << 3;
    QTest::newRow("generation-4 window, generation-2 device")
        << QStringList{"--generation", "2"} << 4 << QStringList{read + QStringList{"$PQVXSPQ*5D"} + read} << 2
        << 2 << 3;
    QTest::newRow("generation-1 window, generation-2 device")
        << QStringList{"--generation", "2"} << 1 << QStringList{read + read} << 2 << 2 << 3;
    QTest::newRow("generation-2 window, generation-3 device")
        << QStringList{"--generation", "3"} << 2 << QStringList{read + read} << 3 << 2 << 3;
    QTest::newRow("generation-3 window, generation-4 device")
        << QStringList{"--generation", "4"} << 3 << QStringList{read + read + QStringList{"$PQVXSPQ*5D"}} << 4
        << 2 << 3;
  }
  void deviceOfTheOtherGenerationRestartsIntoItsWindow() {
    QFETCH(QStringList, simArgs);
    QFETCH(int, fromForm);
    QFETCH(QStringList, expected);
    QFETCH(int, toForm);
    QFETCH(int, portOffset);
    QFETCH(int, storedBaud);
    SimProcess sim(true);
    QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
    qputenv("HLX_EXTRA_PORTS", sim.ptyPath().toLocal8Bit());
    const int k = static_cast<int>(hlx::BuildPortList().indexOf(sim.ptyPath()));
    QVERIFY(k >= 0);
    {
      // What each window keeps: the current one five values and ReConnect, the older one two.
      QSettings s = Settings();
      s.clear();
      s.setValue("FormID", fromForm);
      s.setValue("BaudRate", storedBaud);
      if (fromForm == 0) {
        s.setValue("Port", 3 + k);
        s.setValue("IP", QString());
        s.setValue("CurrentTab", 0);
        s.setValue("ReConnect", 1);
      } else {
        s.setValue("Port", 2 + k);
      }
    }
    StartProgram(sim.ptyPath());
    const QRegularExpression reads(QStringLiteral("^\\$PQVX(VER|CFQ|SPQ)\\*"));
    QTRY_COMPARE_WITH_TIMEOUT(sim.recordedLines().filter(reads), expected, 20000);
    QTRY_COMPARE(m_program.state(), QProcess::NotRunning);  // the first instance ended itself
    // The old window only asks (its queries go out together): it must not
    // set anything with its own generation's reading of a reply. Everything
    // from the new window's version query on is the new window's.
    const QStringList lines = sim.recordedLines();
    const QStringList old = lines.mid(0, lines.lastIndexOf(QStringLiteral("$PQVXVER*4E")));
    QCOMPARE(old.filter(QRegularExpression(QStringLiteral("^\\$PQVX(?!VER\\*|[A-Z]+Q\\*)"))), QStringList());
    const QSettings s = Settings();
    QCOMPARE(s.value("FormID").toInt(), toForm);
    QCOMPARE(s.value("Port").toInt(), k + portOffset);
    QCOMPARE(s.value("BaudRate").toInt(), 3);
    QCOMPARE(s.value("ReConnect").toInt(), 0);  // taken by the new window
  }
};

QTEST_GUILESS_MAIN(HandOverTest)
#include "tst_handover.moc"
