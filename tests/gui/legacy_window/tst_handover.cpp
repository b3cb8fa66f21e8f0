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

namespace {

QStringList Recorded(const SimProcess& sim, const QString& line) { return sim.recordedLines().filter(line); }

}  // namespace

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

  void currentWindowHandsAGeneration4DeviceToTheLegacyWindow() {
    SimProcess sim(true);
    QVERIFY2(sim.start({"--generation", "4"}), qPrintable(sim.errorText()));
    qputenv("HLX_EXTRA_PORTS", sim.ptyPath().toLocal8Bit());
    const int k = static_cast<int>(hlx::BuildPortList().indexOf(sim.ptyPath()));
    QVERIFY(k >= 0);
    {
      QSettings s = Settings();
      s.clear();
      // The current window on the terminal at 38400, reconnecting at start.
      s.setValue("FormID", 0);
      s.setValue("BaudRate", 3);
      s.setValue("Port", 3 + k);
      s.setValue("IP", QString());
      s.setValue("CurrentTab", 0);
      s.setValue("ReConnect", 1);
    }
    StartProgram(sim.ptyPath());
    // Only the older window asks for the port speeds when it reads a device.
    QTRY_COMPARE_WITH_TIMEOUT(Recorded(sim, QStringLiteral("$PQVXSPQ*5D")).size(), 1, 20000);
    QTRY_COMPARE(m_program.state(), QProcess::NotRunning);  // the first instance ended itself
    const QSettings s = Settings();
    QCOMPARE(s.value("FormID").toInt(), 4);
    QCOMPARE(s.value("Port").toInt(), k + 2);
    QCOMPARE(s.value("BaudRate").toInt(), 3);
    QCOMPARE(s.value("ReConnect").toInt(), 0);  // taken by the new window
  }

  void legacyWindowHandsACurrentDeviceToTheCurrentWindow() {
    SimProcess sim(true);
    QVERIFY2(sim.start({"--host-speed", "3"}), qPrintable(sim.errorText()));
    qputenv("HLX_EXTRA_PORTS", sim.ptyPath().toLocal8Bit());
    const int k = static_cast<int>(hlx::BuildPortList().indexOf(sim.ptyPath()));
    QVERIFY(k >= 0);
    {
      // What the older window keeps: its own two values only.
      QSettings s = Settings();
      s.clear();
      s.setValue("FormID", 4);
      s.setValue("BaudRate", 3);
      s.setValue("Port", k + 2);
    }
    StartProgram(sim.ptyPath());
    // The older window reads four replies; the current one then identifies the device again and reads it.
    QTRY_COMPARE_WITH_TIMEOUT(Recorded(sim, QStringLiteral("$PQVXSPQ*5D")).size(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Recorded(sim, QStringLiteral("$PQVXVER*4E")).size(), 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Recorded(sim, QStringLiteral("$PQVXCFQ*5B")).size(), 2, 20000);
    QCOMPARE(Recorded(sim, QStringLiteral("$PQVXSPQ*5D")).size(), 1);
    const QSettings s = Settings();
    QCOMPARE(s.value("FormID").toInt(), 0);
    QCOMPARE(s.value("Port").toInt(), k + 3);
  }
};

QTEST_GUILESS_MAIN(HandOverTest)
#include "tst_handover.moc"
