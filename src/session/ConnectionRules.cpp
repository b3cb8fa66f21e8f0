#include "session/ConnectionRules.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "link/ChannelIo.h"
#include "link/Nmeadefs.h"

namespace hlx {

namespace {

QString Field(std::string_view line, int index) {
  std::string f;
  if (ExtractField(line, index, f) < 0) return {};
  return QString::fromLatin1(f.data(), static_cast<qsizetype>(f.size())).left(kVerFieldMax);
}
}  // namespace

VerReply ParseVerReply(std::string_view line) {
  VerReply r;
  r.version = Field(line, 1);
  r.name = Field(line, 2);
  r.serial = Field(line, 3);
  r.caps = Field(line, 4);
  r.hasCaps = r.caps.size() == kCapsLength;
  return r;
}

Capabilities ParseCapabilities(const QString& text) {
  Capabilities c;
  if (text.size() != kCapsLength) return c;
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'))) return c;
  }
  c.valid = true;
  c.word = static_cast<std::uint16_t>(text.toUInt(nullptr, 16));
  c.supported = (c.word & kCapsFamilyMask) == kCapsFamily;
  c.served = (c.word & kCapsServed) != 0;
  c.updatable = c.supported && (c.word & kCapsUpdatable) != 0;
  c.hostKind = c.word & kCapsHostKindMask;
  return c;
}

QString SerialPermissionAdvice(const QString& path, int error, const QString& group, const QString& user,
                               const QString& holder) {
  if (error == EBUSY && holder.isEmpty())
    return QStringLiteral(
               "The port %1 is in use by another program.\r"
               "Close the program that uses it, then connect again.")
        .arg(path);
  if (error == EBUSY)
    return QStringLiteral(
               "The port %1 is in use by another program: %2.\r"
               "Close that program, then connect again.")
        .arg(path, holder);
  if (error != EACCES && error != EPERM) return {};
  QString text = QStringLiteral("Permission denied for %1.").arg(path);
  if (!group.isEmpty())
    text += QStringLiteral(
                "\rThe device belongs to the group \"%1\". Add your user to it:\r"
                "    sudo usermod -aG %1 %2\rthen log out and in again.")
                .arg(group, user.isEmpty() ? QStringLiteral("$USER") : user);
  else
    text += QStringLiteral("\rAsk your administrator for read and write access to the device.");
  return text;
}

QString SerialOpenAdvice(const QString& portName, int error) {
  const QString path = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
  if (error == EBUSY) return SerialPermissionAdvice(path, error, {}, {}, OtherSerialHolder(path));
  const QByteArray p = path.toLocal8Bit();
  QString group;
  struct stat st {};
  // Joining the device's group helps only when that group may read and write
  // it; "root" is never a group to tell a user to join.
  const mode_t groupRw = S_IRGRP | S_IWGRP;
  if (::stat(p.constData(), &st) == 0 && st.st_gid != 0 && (st.st_mode & groupRw) == groupRw)
    if (const struct group* g = ::getgrgid(st.st_gid)) group = QString::fromLocal8Bit(g->gr_name);
  QString user;
  if (const struct passwd* pw = ::getpwuid(::getuid())) user = QString::fromLocal8Bit(pw->pw_name);
  return SerialPermissionAdvice(path, error, group, user);
}

}  // namespace hlx
