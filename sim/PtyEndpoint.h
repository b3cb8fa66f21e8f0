#pragma once
// The device's host port as a pseudo-terminal. Bytes are exchanged only while
// the speed the other side set on the terminal equals the device's host
// speed, and only while someone has the terminal open; otherwise what
// arrives is dropped and nothing is sent, as with a real UART.

#include <QObject>
#include <QString>
#include <functional>

#include "LineAssembler.h"
#include "SimEndpoint.h"

class QSocketNotifier;

namespace hlx::sim {

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
  bool m_hungUp = true;
};

}  // namespace hlx::sim
