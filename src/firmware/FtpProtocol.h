#pragma once
// The rules of the built-in FTP server that need no socket: splitting a
// command line, which names may be served from the image folder, the
// client's data address in PORT and EPRT, and what the user is told when
// the server cannot listen. The server (FtpServer) and the fuzz target use
// these; nothing here touches the network.

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

namespace hlx {

inline constexpr quint16 kFtpDefaultPort = 21;
inline constexpr char kFtpPortVariable[] = "HLX_FTP_PORT";
// Longest command line accepted, CR LF included; a longer one ends the session.
inline constexpr int kFtpMaxLine = 1024;

struct FtpCommand {
  QByteArray verb;      // upper case; empty for an empty line
  QByteArray argument;  // everything after the first space, as sent
};

// One command line without its line end (CR LF or a bare LF already removed).
FtpCommand ParseFtpCommand(const QByteArray& line);

// Commands that would write, delete, rename or make something: refused, the
// server is read-only.
bool IsFtpWriteVerb(const QByteArray& verb);

// The file name a RETR or SIZE argument asks for, or nothing when it must be
// refused. Leading slashes are dropped (the client's current directory is
// always "/"); what remains must be one plain name: valid UTF-8, no control
// character, no '/' or '\\', not "." or "..".
std::optional<QString> FtpRequestName(const QByteArray& argument);

// The file in `root` that `argument` names, as a canonical path, when it is a
// regular file that really lies inside `root` (a symbolic link may point
// elsewhere inside it, never out of it); nothing otherwise.
std::optional<QString> ResolveServedFile(const QString& root, const QByteArray& argument);

struct FtpHostPort {
  QHostAddress address;
  quint16 port = 0;
};
// "h1,h2,h3,h4,p1,p2" of PORT and "|1|address|port|" of EPRT (IPv4 only).
std::optional<FtpHostPort> ParsePortArgument(const QByteArray& argument);
std::optional<FtpHostPort> ParseEprtArgument(const QByteArray& argument);

// The port to listen on: HLX_FTP_PORT when it holds 1..65535, else 21 (a
// value that is not a port is reported on the log).
quint16 FtpListenPort();

// What the user reads when the server cannot listen on `address`:`port`.
// For a port below 1024 refused for lack of privileges it says how to allow
// it for `program`.
QString FtpListenFailure(const QString& address, quint16 port, QAbstractSocket::SocketError error,
                         const QString& errorText, const QString& program);

}  // namespace hlx
