#pragma once
// Runs the real hlx-sim executable for a test with a temporary pty link and
// record file, waits for its "ready" line and stops it when the object goes.

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace hlx::test {

class SimProcess {
 public:
  // withPty: --pty <tempdir>/pty; withRecord: --record <tempdir>/record.txt.
  explicit SimProcess(bool withPty = true, bool withRecord = true);
  ~SimProcess() { stop(); }

  // Starts hlx-sim (HLX_SIM_PATH) with `args` after the defaults, so they win.
  bool start(const QStringList& args = {}, int timeoutMs = 10000);
  void stop();  // SIGTERM and wait; safe to call twice

  QString ptyPath() const { return m_ptyPath; }  // empty without a pty
  QString address() const { return m_address; }
  quint16 tcpPort() const { return m_tcpPort; }
  QString errorText() const { return m_error; }  // why start() failed

  // Lines received, in order, without line end; only those with a checksum
  // (the program's), not the helper's own.
  QStringList recordedLines() const;
  // The replies to $PQVXCFQ up to the empty FL reply; empty on time-out.
  QStringList queryConfig(int timeoutMs = 3000) const;
  // One command ('$' added when missing); waits until the simulator has applied it.
  bool sendCommand(const QString& text, int settleMs = 100) const;

  // ADDRESS:PORT for --udp-peer where nobody listens: noise sent there never
  // reaches a program's receiver on port 10110.
  static QString quietUdpPeer();

  // Pulls the cable (SIGUSR1) and waits until the simulator says it has.
  bool hangUp(int timeoutMs = 5000);
  // Waits until the simulator has printed the line `line` `times` times since it started.
  bool waitForLine(const QByteArray& line, int times, int timeoutMs);

 private:
  QTemporaryDir m_dir;
  QProcess m_process;
  QString m_ptyPath, m_recordPath, m_error;
  QString m_address = QStringLiteral("127.0.0.2");
  quint16 m_tcpPort = 10110;
  QByteArray m_output;
};

}  // namespace hlx::test
