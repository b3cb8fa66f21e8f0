#include "session/VersionCheck.h"

#include <QSettings>

#include <limits>

#include "Version.h"
#include "session/ConnectionRules.h"
#include "session/SettingsAndRestart.h"

namespace hlx {

namespace {

// Digits from `pos` on, saturating instead of wrapping on absurdly long numbers.
unsigned NumberAt(std::string_view text, std::size_t pos) {
  unsigned long long value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + static_cast<unsigned>(text[pos] - '0');
    if (value > std::numeric_limits<unsigned>::max()) return std::numeric_limits<unsigned>::max();
  }
  return static_cast<unsigned>(value);
}

}  // namespace

VersionNumbers ParseVersion(std::string_view text) {
  VersionNumbers v;
  const auto dot1 = text.find('.');
  if (dot1 == std::string_view::npos) return v;
  const auto dot2 = text.find('.', dot1 + 1);
  v.major = NumberAt(text, 0);
  v.minor = NumberAt(text, dot1 + 1);
  if (dot2 != std::string_view::npos) v.release = NumberAt(text, dot2 + 1);
  return v;
}

FormChoice FormChoiceFor(const VersionNumbers& v) {
  switch (v.major) {
    case 1: return {FormLegacy1, true};
    case 2:
      if (v.minor <= 1) return {FormLegacy1, true};
      if (v.minor <= 8) return {FormLegacy2, true};
      if (v.minor == 9) return {FormLegacy3, true};
      return {FormLegacy4, true};
    case 3: return {FormMain, v.minor >= 33};
    default: return {FormMain, true};
  }
}

int ReadFormId() {
  QSettings s = OpenSettings();
  return ReadStoredInt(s, kFormIdValue).value_or(FormMain);
}

int WindowForFormId(int formId) { return formId >= FormLegacy1 && formId <= FormLegacy4 ? formId : FormMain; }

bool SelectFormId(const VersionNumbers& version, bool* restarted, int answeredSpeed) {
  const FormChoice choice = FormChoiceFor(version);
  bool differs = false;
  {
    QSettings s = OpenSettings();
    const int stored = ReadStoredInt(s, kFormIdValue).value_or(FormMain);
    differs = stored != choice.formId;
    if (differs) {
      if (const auto port = ReadStoredInt(s, kPortValue))
        s.setValue(kPortValue, PortForForm(*port, stored, choice.formId));
      if (answeredSpeed >= 0)
        s.setValue(kBaudRateValue, BaudRateForForm(answeredSpeed, stored, choice.formId));
      else if (const auto baud = ReadStoredInt(s, kBaudRateValue))
        s.setValue(kBaudRateValue, BaudRateForForm(*baud, stored, choice.formId));
      // The current window stops reading its settings at the first missing
      // value, ReConnect last: values an older window never wrote must exist
      // or the new window would not reconnect.
      if (choice.formId == FormMain) {
        if (!s.contains(kIpValue)) s.setValue(kIpValue, QString());
        if (!s.contains(kCurrentTabValue)) s.setValue(kCurrentTabValue, 0);
      }
      s.setValue(kFormIdValue, choice.formId);
      s.setValue(kReConnectValue, 1);
      s.sync();
    }
  }
  if (restarted) *restarted = differs;
  if (differs) RestartProgram();
  return choice.supported;
}

int PortForForm(int storedPort, int fromForm, int toForm) {
  const auto serialIndex = [](int port, int form) {
    const int first = form == FormMain ? kFirstSerialPort : kLegacyPortOffset;
    return port >= first ? port - first : -1;
  };
  const bool fromMain = WindowForFormId(fromForm) == FormMain;
  const bool toMain = WindowForFormId(toForm) == FormMain;
  if (fromMain == toMain) return storedPort;
  const int index = serialIndex(storedPort, fromMain ? FormMain : FormLegacy4);
  if (toMain) return index < 0 ? -1 : index + kFirstSerialPort;
  return index + kLegacyPortOffset;  // "no selection" is stored as 1
}

int BaudRateForForm(int storedIndex, int fromForm, int toForm) {
  constexpr int kCommonSpeeds = kLegacyBaudAutomatic;  // 4800 .. 38400, the whole older list
  const bool fromMain = WindowForFormId(fromForm) == FormMain;
  const bool toMain = WindowForFormId(toForm) == FormMain;
  if (fromMain == toMain || (storedIndex >= 0 && storedIndex < kCommonSpeeds)) return storedIndex;
  if (storedIndex == (fromMain ? kBaudAutomatic : kLegacyBaudAutomatic))
    return toMain ? kBaudAutomatic : kLegacyBaudAutomatic;
  return -1;
}

QString ProgramVersion() {
  return QStringLiteral("%1.%2.%3").arg(HLX_VERSION_MAJOR).arg(HLX_VERSION_MINOR).arg(HLX_VERSION_PATCH);
}

}  // namespace hlx
