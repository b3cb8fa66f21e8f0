#pragma once
// The device's host port as a pseudo-terminal. Bytes are exchanged only while
// the speed the other side set on the terminal equals the device's host
// speed, and only while someone has the terminal open; otherwise what
// arrives is dropped and nothing is sent, as with a real UART.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "LineAssembler.h"
#include "SimEndpoint.h"

class QSocketNotifier;

namespace hlx::sim {

// Bytes crossing a serial wire one after another, ten bit times each (start
// bit, eight data bits, stop bit).
struct WireClock {
  qsizetype queued = 0;  // bytes on their way
  qint64 startNs = 0;    // when the first of them began

  static qint64 ByteNs(int baud) { return baud > 0 ? 10'000'000'000LL / baud : 0; }
  void Queue(qint64 nowNs, qsizetype count) {
    if (queued == 0) startNs = nowNs;
    queued += count;
  }
  // How many of the queued bytes have arrived by `nowNs`.
  qsizetype Passed(qint64 nowNs, int baud) {
    const qint64 byteNs = ByteNs(baud);
    const qsizetype n = byteNs == 0 ? queued : std::min<qsizetype>(queued, (nowNs - startNs) / byteNs);
    startNs += n * byteNs;
    queued -= n;
    return n;
  }
  // When the next byte arrives.
  qint64 NextNs(int baud) const { return startNs + ByteNs(baud); }
};

class PtyEndpoint : public QObject {
  Q_OBJECT
 public:
  PtyEndpoint(LineHandler handler, std::function<int()> hostSpeedIndex, QObject* parent = nullptr);
  ~PtyEndpoint() override;  // removes the link

  // Creates the terminal (raw, at the given speed index) and links `linkPath` to it.
  bool Open(const QString& linkPath, int speedIndex, QString& error);
  QString LinkPath() const { return m_link; }
  QString SlavePath() const { return m_slavePath; }

  void Broadcast(const QByteArray& data);
  // Sends what the device says in reply or on its own, never dropped for a
  // slow reader; like every output only while the speeds match.
  void Send(const QByteArray& data);
  // A sink takes every received byte instead of the line handler; null: lines.
  void SetByteSink(ByteSink sink);
  // Received bytes are handled and output leaves no faster than the wire at
  // the terminal's speed would carry them.
  void SetPaced(bool paced) { m_paced = paced; }
  // Notices the other side opening or closing the terminal; call regularly.
  void Poll();
  // The cable is pulled: the other side sees its terminal hang up, and a new
  // terminal takes the link's place (before the old one goes, so a peer that
  // reacts to the hang-up at once already finds the new one).
  bool HangUp(QString& error);

  // True while someone has the terminal open.
  bool PeerOpen() const { return !m_hungUp; }
  // Bytes waiting for the reader.
  qsizetype Pending() const { return m_pending.size(); }

  // Host speed index (0..6) of the speed set on the terminal, -1 for others.
  int TerminalSpeedIndex() const;
  bool SpeedMatches() const;

 private:
  void OnReadable();
  void OnWritable();
  void Deliver(std::string_view bytes);
  // Paced mode: hands on the received bytes whose wire time is over, writes
  // the output whose wire time is over, and sets the timer for the next.
  void PaceInput();
  void PaceOutput();
  void SchedulePace();
  int TerminalBaud() const;
  void Write(const QByteArray& data, bool isReply);
  void SetHungUp(bool hungUp);
  // A raw terminal at `speedIndex`; returns its master or -1.
  int CreateTerminal(int speedIndex, QString& slavePath, QString& error);
  // Points `linkPath` at the slave, replacing an older link.
  bool Link(const QString& linkPath, const QString& slavePath, QString& error);
  void Attach(int master);

  LineHandler m_handler;
  std::function<int()> m_hostSpeed;
  int m_master = -1;
  QString m_link;
  QString m_slavePath;
  QSocketNotifier* m_readNotifier = nullptr;
  QSocketNotifier* m_writeNotifier = nullptr;
  QByteArray m_pending;
  LineAssembler m_lines;
  ByteSink m_sink;
  bool m_hungUp = true;
  bool m_paced = false;
  QElapsedTimer m_wireTime;
  QTimer m_paceTimer;
  QByteArray m_inbox;  // paced input still on the wire
  WireClock m_inClock;
  WireClock m_outClock;
  qsizetype m_outReady = 0;  // paced output that may be written now
};

}  // namespace hlx::sim
