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

  QString ptyPath() const { return m_ptyPath; }        // empty without a pty
  QString recordPath() const { return m_recordPath; }  // empty without a record file
  QString address() const { return m_address; }
  quint16 tcpPort() const { return m_tcpPort; }
  quint16 udpPort() const { return m_udpPort; }
  QString tempDir() const { return m_dir.path(); }
  QString errorText() const { return m_error; }   // why start() failed
  QByteArray output() const { return m_output; }  // what the simulator printed on stdout

  // Lines received, in order, without line end; only those with a checksum
  // (the program's), not the helper's own.
  QStringList recordedLines() const;
  // The replies to $PQVXCFQ up to the empty FL reply; empty on time-out.
  QStringList queryConfig(int timeoutMs = 3000) const;
  // The first line of `replies` with this address (e.g. "PQVXSP"), or empty.
  static QString replyLine(const QStringList& replies, const QString& address);
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
  quint16 m_tcpPort = 10110, m_udpPort = 10110;
  QByteArray m_output;
};

}  // namespace hlx::test
