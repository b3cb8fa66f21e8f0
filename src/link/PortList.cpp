#include <QSerialPortInfo>
#include <algorithm>
#include <cstdlib>

#include "link/Comms.h"

namespace hlx {

namespace {

// "ttyS010" -> stem "ttyS", digits "10". The number stays text so that no
// name, however long its digits, overflows.
struct SplitName {
  QStringView stem;
  QStringView digits;
};

SplitName Split(const QString& name) {
  qsizetype cut = name.size();
  while (cut > 0 && name[cut - 1] >= QLatin1Char('0') && name[cut - 1] <= QLatin1Char('9')) --cut;
  QStringView digits = QStringView(name).mid(cut);
  while (digits.size() > 1 && digits.front() == QLatin1Char('0')) digits = digits.mid(1);
  return {QStringView(name).left(cut), digits};
}

}  // namespace

bool PortNameLess(const QString& a, const QString& b) {
  const SplitName x = Split(a);
  const SplitName y = Split(b);
  if (const int c = x.stem.compare(y.stem); c != 0) return c < 0;
  if (x.digits.size() != y.digits.size()) return x.digits.size() < y.digits.size();  // none, then shorter
  if (const int c = x.digits.compare(y.digits); c != 0) return c < 0;
  return a < b;  // "ttyS02" and "ttyS2": any fixed order
}

QStringList BuildPortList() {
  QStringList ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) ports << info.portName();
  const QString extra = qEnvironmentVariable("HLX_EXTRA_PORTS");
  for (const QString& path : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts)) ports << path;
  ports.removeDuplicates();
  std::sort(ports.begin(), ports.end(), PortNameLess);
  return ports;
}

}  // namespace hlx
