// The FTP server's command parser and its path rule on arbitrary command
// lines: no input ever resolves to a path outside the served folder, a name
// that passes is one plain name, and a data address that parses is exactly
// the one written. The folder holds a file, a sub-folder and links in and out.
// Input: command lines separated by LF, as a client might send them.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FuzzCheck.h"
#include "firmware/FtpProtocol.h"

using namespace hlx;

namespace {

struct Folder {
  QTemporaryDir dir;
  QString root;
  QString canonicalRoot;
  Folder() {
    root = dir.path() + QStringLiteral("/root/");
    QDir().mkpath(root + QStringLiteral("sub"));
    for (const QString& name : {root + QStringLiteral("wifi.img"), root + QStringLiteral("sub/deep.img"),
                                dir.path() + QStringLiteral("/secret.img")}) {
      QFile f(name);
      if (f.open(QIODevice::WriteOnly)) f.write("x");
    }
    QFile::link(dir.path() + QStringLiteral("/secret.img"), root + QStringLiteral("out.img"));
    QFile::link(dir.path(), root + QStringLiteral("up"));
    QFile::link(root + QStringLiteral("wifi.img"), root + QStringLiteral("in.img"));
    canonicalRoot = QFileInfo(root).canonicalFilePath() + QLatin1Char('/');
  }
};

void CheckName(const QByteArray& argument) {
  const std::optional<QString> name = FtpRequestName(argument);
  if (!name) return;
  FUZZ_CHECK(!name->isEmpty() && *name != QLatin1String(".") && *name != QLatin1String(".."));
  FUZZ_CHECK(!name->contains(QLatin1Char('/')) && !name->contains(QLatin1Char('\\')));
  for (QChar c : *name) FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F);
}

void CheckPath(const Folder& folder, const QByteArray& argument) {
  const std::optional<QString> path = ResolveServedFile(folder.root, argument);
  if (!path) return;
  FUZZ_CHECK(path->startsWith(folder.canonicalRoot));
  FUZZ_CHECK(!path->mid(folder.canonicalRoot.size()).contains(QLatin1Char('/')));
  FUZZ_CHECK(QFileInfo(*path).isFile());
  FUZZ_CHECK(*path == folder.canonicalRoot + QStringLiteral("wifi.img"));
}

void CheckAddress(const QByteArray& argument) {
  if (const std::optional<FtpHostPort> p = ParsePortArgument(argument)) {
    const quint32 a = p->address.toIPv4Address();
    const QByteArray text = QByteArray::number(a >> 24) + ',' + QByteArray::number(a >> 16 & 0xFF) + ',' +
                            QByteArray::number(a >> 8 & 0xFF) + ',' + QByteArray::number(a & 0xFF) + ',' +
                            QByteArray::number(p->port >> 8) + ',' + QByteArray::number(p->port & 0xFF);
    const std::optional<FtpHostPort> again = ParsePortArgument(text);
    FUZZ_CHECK(again && again->address == p->address && again->port == p->port);
  }
  if (const std::optional<FtpHostPort> e = ParseEprtArgument(argument)) {
    FUZZ_CHECK(e->address.protocol() == QAbstractSocket::IPv4Protocol);
    const QByteArray text =
        "|1|" + e->address.toString().toLatin1() + '|' + QByteArray::number(e->port) + '|';
    const std::optional<FtpHostPort> again = ParseEprtArgument(text);
    FUZZ_CHECK(again && again->address == e->address && again->port == e->port);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Folder folder;
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const QByteArray& line : input.split('\n')) {
    const FtpCommand command = ParseFtpCommand(line);
    FUZZ_CHECK(!command.verb.contains(' '));
    FUZZ_CHECK(command.verb == command.verb.toUpper());
    FUZZ_CHECK(command.verb.size() + (line.contains(' ') ? 1 + command.argument.size() : 0) == line.size());
    CheckName(command.argument);
    CheckPath(folder, command.argument);
    CheckAddress(command.argument);
  }
  return 0;
}
