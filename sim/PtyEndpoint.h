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

  // Host speed index (0..6) of the speed set on the terminal, -1 for others.
  int TerminalSpeedIndex() const;
  bool SpeedMatches() const;

 private:
  void OnReadable();
  void OnWritable();
  void Write(const QByteArray& data, bool isReply);
  void SetHungUp(bool hungUp);

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
