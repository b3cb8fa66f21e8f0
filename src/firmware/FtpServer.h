#pragma once
// The built-in FTP server that the wireless module downloads its image from.
// Read-only, one folder (FtpRoot), files only; it runs on a thread of its own
// so that a modal dialog or a blocking wait of the window never stalls a
// download. Start and Stop are called from the window's thread.

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>

class QThread;

namespace hlx {

struct FtpLimits {
  int maxClients = 4;
  // A client without progress for this long is dropped: no reply of its
  // control connection went out (a client that never reads its replies gets
  // none) and no data moved.
  int idleMs = 60000;
};

// FtpRoot as the sessions read it while the window's thread may set it.
class FtpRootFolder {
 public:
  void Set(const QString& root) {
    std::lock_guard lock(m_mutex);
    m_root = root;
  }
  QString Get() const {
    std::lock_guard lock(m_mutex);
    return m_root;
  }

 private:
  mutable std::mutex m_mutex;
  QString m_root;
};

class FtpServer {
 public:
  FtpServer();
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  // Takes effect at the next Start.
  void SetLimits(const FtpLimits& limits) { m_limits = limits; }

  // Listens on `address`:`port` (0: any free port). On failure the server
  // stays inactive and `error`/`errorText` say why.
  bool Start(const QHostAddress& address, quint16 port, QAbstractSocket::SocketError* error = nullptr,
             QString* errorText = nullptr);
  // Closes the listener and every session, running transfers included.
  void Stop();
  bool Active() const { return m_engine != nullptr; }
  QHostAddress Address() const { return m_address; }
  quint16 Port() const { return m_port; }

  void SetRoot(const QString& root) { m_root->Set(root); }
  QString Root() const { return m_root->Get(); }

 private:
  class Engine;

  FtpLimits m_limits;
  std::shared_ptr<FtpRootFolder> m_root = std::make_shared<FtpRootFolder>();
  std::unique_ptr<QThread> m_thread;
  Engine* m_engine = nullptr;  // lives on m_thread
  QHostAddress m_address;
  quint16 m_port = 0;
};

}  // namespace hlx
