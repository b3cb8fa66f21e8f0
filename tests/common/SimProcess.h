#pragma once
// Runs the real hlx-sim executable for a test: unique temporary paths for the
// pseudo-terminal link and the record file, waits for "ready", and kills the
// process when the object goes away.
//
// Typical use:
//   hlx::test::SimProcess sim;
//   QVERIFY2(sim.start({"--host-speed", "5"}), qPrintable(sim.errorText()));
//   ... open sim.ptyPath() or connect to sim.address():sim.tcpPort() ...
//   QTRY_COMPARE(sim.recordedLines(), QStringList{"$PQVXVER*4A"});

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace hlx::test {

class SimProcess {
 public:
  // withPty: pass --pty <tempdir>/pty; withRecord: pass --record <tempdir>/record.txt.
  explicit SimProcess(bool withPty = true, bool withRecord = true);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts hlx-sim (HLX_SIM_PATH) with `args` after the --pty/--record
  // arguments and waits up to `timeoutMs` for its "ready" line. Arguments
  // given here win over the defaults (the simulator takes the last value).
  // On failure errorText() says why.
  bool start(const QStringList& args = {}, int timeoutMs = 10000);
  void stop();  // kill and wait; safe to call twice
  bool isRunning() const;

  QString ptyPath() const { return m_ptyPath; }        // empty without a pty
  QString recordPath() const { return m_recordPath; }  // empty without a record file
  QString address() const { return m_address; }        // from the simulator's "tcp" line
  quint16 tcpPort() const { return m_tcpPort; }
  quint16 udpPort() const { return m_udpPort; }
  QString tempDir() const { return m_dir.path(); }
  QString errorText() const { return m_error; }
  QByteArray output() const { return m_output; }  // what the process printed on stdout

  // Every line the simulator received, in order, without CR LF. Lines without
  // a checksum are left out: the helper sends its own queries and commands
  // that way, and the program always sends a checksum, so tests see exactly
  // what the program sent.
  QStringList recordedLines() const;

  // Asks for the whole configuration ($PQVXCFQ) over a TCP connection of the
  // helper's own and returns the reply lines (without CR LF) up to and
  // including the empty FL reply that ends the list. Live traffic on that
  // connection is skipped. Empty on time-out.
  QStringList queryConfig(int timeoutMs = 3000) const;

  // The first line of `replies` with this address (e.g. "PQVXSP"), or empty.
  static QString replyLine(const QStringList& replies, const QString& address);

  // Sends one command (e.g. "PQVXOP,C,12,1"; '$' added when missing, no
  // checksum added) over a short TCP connection and waits `settleMs` so the
  // simulator has applied it. For tests that set the device up first.
  bool sendCommand(const QString& text, int settleMs = 100) const;

 private:
  QTemporaryDir m_dir;
  QProcess m_process;
  QString m_ptyPath;
  QString m_recordPath;
  QString m_address = QStringLiteral("127.0.0.2");
  quint16 m_tcpPort = 10110;
  quint16 m_udpPort = 10110;
  QString m_error;
  QByteArray m_output;
};

}  // namespace hlx::test
