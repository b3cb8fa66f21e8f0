// What hlx-cli prints: the identity, the configuration as JSON and the port list.

#include <sys/stat.h>
#include <unistd.h>
#include <QJsonArray>
#include <cerrno>

#include "cli/CliCommands.h"
#include "link/ChannelIo.h"
#include "link/Comms.h"
#include "session/ConnectionRules.h"

namespace hlx::cli {

namespace {

template <typename Array>
QJsonArray Numbers(const Array& values) {
  QJsonArray out;
  for (const auto v : values) out.append(static_cast<int>(v));
  return out;
}

template <typename Array>
QJsonArray Bools(const Array& values) {
  QJsonArray out;
  for (const bool v : values) out.append(v);
  return out;
}

}  // namespace

QString HostKindName(int hostKind) {
  switch (hostKind) {
    case kHostSerial: return QStringLiteral("serial");
    case kHostUsb: return QStringLiteral("USB");
    case kHostEthernet: return QStringLiteral("Ethernet");
    case kHostWireless: return QStringLiteral("wireless");
    default: return QStringLiteral("unknown");
  }
}

QString GenerationText(const FormChoice& form) {
  if (form.formId != FormMain)
    return QStringLiteral("legacy generation %1 (served by the legacy window %1 of hlx-config)")
        .arg(form.formId);
  if (!form.supported) return QStringLiteral("current, firmware update required (hlx-cli flash)");
  return QStringLiteral("current (served by hlx-config's main window and hlx-cli)");
}

QJsonObject IdentityJson(const DeviceIdentity& id) {
  QJsonObject o;
  o[QStringLiteral("name")] = id.ver.name;
  o[QStringLiteral("version")] = id.ver.version;
  o[QStringLiteral("serial")] = id.ver.serial;
  o[QStringLiteral("capabilities")] = id.ver.hasCaps ? id.ver.caps : QString();
  o[QStringLiteral("supported")] = !id.ver.hasCaps || id.caps.supported;
  o[QStringLiteral("updatable")] = id.caps.updatable;
  o[QStringLiteral("hostKind")] = HostKindName(id.caps.valid && id.caps.supported ? id.caps.hostKind : -1);
  o[QStringLiteral("generation")] = id.form.formId;
  o[QStringLiteral("current")] = id.form.formId == FormMain;
  o[QStringLiteral("updateRequired")] = !id.form.supported;
  return o;
}

QJsonObject ConfigurationJson(const DeviceConfig& c, const FilterList& rules) {
  QJsonObject o;
  o[QStringLiteral("speed")] = Numbers(c.Speed);
  o[QStringLiteral("priorityTimeout")] = c.PriorityTimeout;
  o[QStringLiteral("realTime")] = Bools(c.RealTime);
  QJsonArray talkers;
  for (const std::string& id : c.TalkerId) talkers.append(QString::fromStdString(id));
  o[QStringLiteral("talkerId")] = talkers;
  o[QStringLiteral("routeOut1")] = Bools(c.RouteOut1);
  o[QStringLiteral("routeOut2")] = Bools(c.RouteOut2);
  o[QStringLiteral("inputMode")] = Numbers(c.InputMode);
  o[QStringLiteral("hostDataOut1")] = c.HostDataOut1;
  o[QStringLiteral("hostDataOut2")] = c.HostDataOut2;
  o[QStringLiteral("options")] = QString::fromStdString(HexWord(c.Options));
  QJsonArray list;
  for (const FilterRule& r : rules.Rules()) {
    QJsonObject rule;
    rule[QStringLiteral("name")] = QString::fromStdString(r.Name);
    rule[QStringLiteral("sources")] = QString::fromStdString(r.SourceText());
    rule[QStringLiteral("div")] = QString::fromStdString(r.Div);
    rule[QStringLiteral("outputs")] = QString::fromStdString(r.OutputText());
    list.append(rule);
  }
  o[QStringLiteral("filter")] = list;
  return o;
}

QStringList PortStatusLines() {
  QStringList lines;
  for (const QString& name : BuildPortList()) {
    const QString path = SerialDevicePath(name);
    const QByteArray p = path.toLocal8Bit();
    QString status;
    struct stat st {};
    if (::stat(p.constData(), &st) != 0) {
      status = QStringLiteral("missing");
    } else if (::access(p.constData(), R_OK | W_OK) != 0) {
      status = QStringLiteral("no permission: ") + PromptText(SerialOpenAdvice(name, EACCES));
    } else if (const QString holder = OtherSerialHolder(path); !holder.isEmpty()) {
      status = QStringLiteral("busy: in use by ") + holder;
    } else {
      status = QStringLiteral("available");
    }
    lines << QStringLiteral("%1\t%2").arg(path, status.simplified());
  }
  lines << QStringLiteral("tcp\tTCP to port %1 of a network model (--tcp HOST)").arg(kNmeaPort);
  lines << QStringLiteral("udp\tUDP on port %1 of a network model (--udp HOST)").arg(kNmeaPort);
  return lines;
}

}  // namespace hlx::cli
