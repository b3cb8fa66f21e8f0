#include "firmware/FtpProtocol.h"

#include <QFileInfo>
#include <QList>
#include <QStringDecoder>

#include <array>
#include <cstring>

namespace hlx {

namespace {

// A decimal number of at most `digits` digits, no sign, no spaces.
std::optional<uint> Decimal(const QByteArray& text, int digits, uint max) {
  if (text.isEmpty() || text.size() > digits) return std::nullopt;
  uint value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint>(c - '0');
  }
  return value <= max ? std::optional<uint>(value) : std::nullopt;
}

// Exactly four decimal octets separated by dots ("1" or "0x7f.1" are not addresses here).
std::optional<QHostAddress> DottedAddress(const QList<QByteArray>& octets) {
  if (octets.size() != 4) return std::nullopt;
  quint32 value = 0;
  for (const QByteArray& octet : octets) {
    const std::optional<uint> v = Decimal(octet, 3, 255);
    if (!v) return std::nullopt;
    value = value << 8 | *v;
  }
  return QHostAddress(value);
}

}  // namespace

FtpCommand ParseFtpCommand(const QByteArray& line) {
  const qsizetype space = line.indexOf(' ');
  FtpCommand command;
  command.verb = (space < 0 ? line : line.left(space)).toUpper();
  if (space >= 0) command.argument = line.mid(space + 1);
  return command;
}

bool IsFtpWriteVerb(const QByteArray& verb) {
  static const std::array<const char*, 13> kWriteVerbs = {
      "STOR", "STOU", "APPE", "DELE", "RMD", "XRMD", "MKD", "XMKD", "RNFR", "RNTO", "SITE", "ALLO", "SMNT"};
  for (const char* v : kWriteVerbs)
    if (verb == v) return true;
  return false;
}

std::optional<QString> FtpRequestName(const QByteArray& argument) {
  // Overlong or broken UTF-8 ("\xC0\xAE" for '.') is refused, not repaired.
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString name = decoder.decode(argument);
  if (decoder.hasError()) return std::nullopt;
  for (QChar c : name)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('\\')) return std::nullopt;
  qsizetype start = 0;
  while (start < name.size() && name[start] == QLatin1Char('/')) ++start;
  name = name.mid(start);
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
      name == QLatin1String(".."))
    return std::nullopt;
  return name;
}

std::optional<QString> ResolveServedFile(const QString& root, const QByteArray& argument) {
  const std::optional<QString> name = FtpRequestName(argument);
  if (!name || root.isEmpty()) return std::nullopt;
  const QString rootPath = QFileInfo(root).canonicalFilePath();
  if (rootPath.isEmpty()) return std::nullopt;
  // Whatever links lie in between, the file itself must end up inside the folder.
  const QFileInfo file(rootPath + QLatin1Char('/') + *name);
  const QString path = file.canonicalFilePath();
  if (path.isEmpty() || !path.startsWith(rootPath + QLatin1Char('/'))) return std::nullopt;
  const QFileInfo target(path);
  if (!target.isFile()) return std::nullopt;
  return path;
}

std::optional<FtpHostPort> ParsePortArgument(const QByteArray& argument) {
  const QList<QByteArray> parts = argument.split(',');
  if (parts.size() != 6) return std::nullopt;
  const std::optional<QHostAddress> address = DottedAddress(parts.mid(0, 4));
  const std::optional<uint> high = Decimal(parts[4], 3, 255);
  const std::optional<uint> low = Decimal(parts[5], 3, 255);
  if (!address || !high || !low) return std::nullopt;
  return FtpHostPort{*address, static_cast<quint16>(*high << 8 | *low)};
}

std::optional<FtpHostPort> ParseEprtArgument(const QByteArray& argument) {
  if (argument.size() < 2) return std::nullopt;
  const char delimiter = argument[0];
  if (delimiter < 33 || delimiter > 126) return std::nullopt;
  const QList<QByteArray> parts = argument.split(delimiter);
  // "|1|a.b.c.d|port|" splits into "", "1", address, port, "".
  if (parts.size() != 5 || !parts[0].isEmpty() || !parts[4].isEmpty() || parts[1] != "1") return std::nullopt;
  const std::optional<QHostAddress> address = DottedAddress(parts[2].split('.'));
  const std::optional<uint> port = Decimal(parts[3], 5, 65535);
  if (!address || !port) return std::nullopt;
  return FtpHostPort{*address, static_cast<quint16>(*port)};
}

quint16 FtpListenPort() {
  const QString text = qEnvironmentVariable(kFtpPortVariable);
  if (text.isEmpty()) return kFtpDefaultPort;
  bool ok = false;
  const uint port = text.toUInt(&ok);
  if (ok && port >= 1 && port <= 65535) return static_cast<quint16>(port);
  qWarning("%s: \"%s\" is not a port; using %d", kFtpPortVariable, qPrintable(text), kFtpDefaultPort);
  return kFtpDefaultPort;
}

QString FtpListenFailure(const QString& address, quint16 port, QAbstractSocket::SocketError error,
                         const QString& errorText, const QString& program) {
  QString text = QStringLiteral("The FTP server for the WiFi update cannot listen on port %1 of %2:\r%3.")
                     .arg(port)
                     .arg(address, errorText);
  if (error == QAbstractSocket::SocketAccessError && port < 1024) {
    text += QStringLiteral(
                "\r\rOn Linux only privileged programs may use ports below 1024. Allow it with one of:\r"
                "    sudo setcap cap_net_bind_service=+ep %1\r"
                "    sudo sysctl net.ipv4.ip_unprivileged_port_start=%2\r"
                "or set %3 to a port above 1023 that is forwarded from port %2.")
                .arg(program)
                .arg(port)
                .arg(QLatin1String(kFtpPortVariable));
  }
  return text + QStringLiteral("\r\rNothing was sent to the multiplexer.");
}

}  // namespace hlx
