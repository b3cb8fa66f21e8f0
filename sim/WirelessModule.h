#pragma once
// The WiFi model's wireless module: told with $PQVXWI,U,<file>,<host> to
// update, it fetches the file from the host's FTP server as a client would
// (login, binary type, passive data connection, RETR), keeps what it got and
// reports $PQVXWI,RDY. The FTP port is a setting, so tests need no privileges.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

class QTcpSocket;

namespace hlx::sim {

struct WirelessSettings {
  quint16 ftpPort = 21;
  QString storeDir;  // where a fetched file is kept; empty: in memory only
};

class WirelessModule : public QObject {
  Q_OBJECT
 public:
  explicit WirelessModule(const WirelessSettings& settings, QObject* parent = nullptr);
  ~WirelessModule() override;

  // Takes a received line when it is an update order; true when taken.
  bool HandleLine(const std::string& line);
  const QByteArray& Received() const { return m_data; }

 signals:
  // The update has ended (fetched or not): the wire text of $PQVXWI,RDY.
  void finished(const QByteArray& line);
  // What the module did, as one line of text.
  void event(const QString& text);

 private:
  enum class Step { Greeting, User, Pass, Type, Passive, Retrieve, Transfer, Quit };

  void Fetch(const QString& name, const QHostAddress& host);
  void OnControl();
  void OnReply(int code, const QByteArray& text);
  void Send(const QByteArray& command);
  void OpenData(const QByteArray& reply);
  void MaybeDone();
  void Fail(const QString& why);
  void End();

  WirelessSettings m_settings;
  QTcpSocket* m_control = nullptr;
  QTcpSocket* m_dataSocket = nullptr;
  QTimer m_limit;
  Step m_step = Step::Greeting;
  QString m_name;
  QHostAddress m_host;
  QByteArray m_in;
  QByteArray m_data;
  bool m_transferDone = false;  // 226 seen
  bool m_dataClosed = false;
  bool m_busy = false;
};

}  // namespace hlx::sim
