#pragma once
// The wireless module's update as the main window runs it: the host address
// the module will fetch from, the image, the built-in FTP server serving the
// image's folder, the order to the multiplexer, and the end of serving when
// the multiplexer reports that the module is done or the link goes.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

#include "firmware/FtpServer.h"

namespace hlx {

class SessionCore;
class SessionHost;

// What the update needs of the window beyond SessionHost.
class WifiWindow {
 public:
  virtual ~WifiWindow() = default;
  // The computer's own IPv4 addresses.
  virtual QStringList LocalAddresses() const = 0;
  // Lets the user pick one of `addresses`; empty unless the dialog closed with OK.
  virtual QString PickHostAddress(const QStringList& addresses) = 0;
};

// "PQVXWI,U,<file name>,<host address>".
std::string WifiUpdateCommand(const QString& fileName, const QString& hostAddress);
// The folder of `imageFile`, ending with the path separator: what the server serves.
QString ImageFolder(const QString& imageFile);
// Why the file name cannot travel in the order, or an empty text when it can.
QString WifiFileNameProblem(const QString& fileName, const QString& hostAddress);
// True for a $PQVXWI sentence whose field 1 is exactly "RDY".
bool WifiModuleReady(std::string_view line);

class WifiUpdate {
 public:
  // Registers the WI sentence with `core`.
  WifiUpdate(SessionHost& host, SessionCore& core, WifiWindow& window);

  // The menu entry "Update WiFi Firmware...".
  void Start();
  // Disconnect, another port, or the module's report: serving ends.
  void Stop() { m_server.Stop(); }
  const FtpServer& Server() const { return m_server; }

 private:
  bool Serve(const QString& hostAddress);

  SessionHost& m_host;
  WifiWindow& m_window;
  FtpServer m_server;
};

}  // namespace hlx
