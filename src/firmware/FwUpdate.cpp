#include "firmware/FwUpdate.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "firmware/Bootloader.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/SessionCore.h"
#include "session/SessionHost.h"
#include "session/UserPrompts.h"

namespace hlx {

namespace {

const char* const kSpeedRequired = "The speed of the Halyx port must be\rset to 38400 baud before updating";
const char* const kTcpRequired = "The Halyx must be set to TCP mode\rbefore updating";
const char* const kNotConnected = "Connect to the Halyx before updating its firmware";
const char* const kNoUdpUpdate =
    "The firmware cannot be updated over a UDP connection.\rConnect by TCP or serial port.";
const char* const kDowngrade =
    "The version of this firmware file is lower than the version\rof the multiplexer. Do you really want to "
    "proceed?";
const char* const kTypeMismatch = "Firmware file does not match with the multiplexer type";
const char* const kLoaderSilent = "Bootloader: Initialisation failed";
const char* const kResetCommand = "PQVXRESET";
constexpr int kHostSerial = 0;
constexpr int kHostEthernet = 2;

}  // namespace

QString UpdatePrecondition(int hostKind, int hostSpeedIndex, std::uint8_t channelKind) {
  // Nothing can be updated without a link (the window starts as if a serial
  // model were connected, so this comes before the speed rule).
  if (channelKind == ChClosed) return QString::fromLatin1(kNotConnected);
  if (hostKind == kHostSerial && hostSpeedIndex != kUpdateSpeedIndex)
    return QString::fromLatin1(kSpeedRequired);
  if (hostKind == kHostEthernet && channelKind != ChTcp) return QString::fromLatin1(kTcpRequired);
  // The bootloader's frames have no UDP path: refuse before the multiplexer is told to restart.
  if (channelKind == ChUdp) return QString::fromLatin1(kNoUdpUpdate);
  return {};
}

std::uint8_t ParseLdrType(std::string_view line) {
  std::string field;
  if (ExtractField(line, 1, field) < 0) return 0;
  bool ok = false;
  const uint value = QString::fromStdString(field).toUInt(&ok, 16);
  return ok ? static_cast<std::uint8_t>(value & 0xFF) : 0;
}

QString TypeMismatch(const FirmwareImage& image, std::uint8_t ldrType) {
  if (image.MuxType() != 0 && image.MuxType() != ldrType) return QString::fromLatin1(kTypeMismatch);
  return {};
}

FwUpdate::FwUpdate(SessionHost& host, SessionCore& core, TComm& port, FirmwareWindow& window)
    : m_host(host), m_core(core), m_port(port), m_window(window) {
  m_core.OnSentence(SidLDR, [this](const std::string& line) { OnLdr(line); });
  m_core.SetLoaderHandlers([this](const std::string&) { return Program(); }, [this] { LoaderTimedOut(); });
}

void FwUpdate::Start(bool builtIn) {
  UserPrompts& prompts = m_host.Prompts();
  if (const QString why =
          UpdatePrecondition(m_core.HostKind(), m_window.HostSpeedIndex(), m_port.ChannelKind());
      !why.isEmpty()) {
    prompts.Inform(why, {}, PromptIcon::Warning);
    return;
  }
  m_image = nullptr;
  try {
    if (builtIn) {
      m_image = &LoadFirmware(QString::fromLatin1(kBuiltInFirmware));
    } else {
      const QString name = prompts.OpenFile(QString(), OpenDialogFilters(), kOpenFilterFirmware);
      if (name.isEmpty()) return;
      m_image = &LoadFirmware(name);
    }
  } catch (const EFirmwareError& e) {
    m_image = nullptr;
    m_window.Progress().End();
    prompts.Inform(e.Message(), {}, PromptIcon::Error);
    return;
  }
  if (m_window.DeviceVersion() > m_image->Version() &&
      !prompts.AskYesNo(QString::fromLatin1(kDowngrade), QStringLiteral("HLX-Config"), PromptIcon::Warning))
    return;

  m_cancelled = false;
  m_host.SendSentence(kResetCommand);
  m_core.StartTimeout(QString::fromLatin1(kLoaderSilent));
  m_host.SetState(SessionState::FwLoader);
  m_window.SetControlsForUpdate(false);
  m_host.SetWaitCursor(true);
  m_window.Progress().Begin(QString::fromLatin1(kUpdatingFirmwareCaption));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FwUpdate::OnLdr(const std::string& line) {
  m_window.RevealUpdateMenu();
  m_ldrType = ParseLdrType(line);
  m_core.StopTimeout();
}

bool FwUpdate::Program() {
  bool ok = false;
  QString error;
  m_programming = true;
  try {
    if (!m_image) throw EFirmwareError(QStringLiteral("No firmware image is loaded"));
    if (const QString mismatch = TypeMismatch(*m_image, m_ldrType); !mismatch.isEmpty())
      throw EFirmwareError(mismatch);
    ProgramObserver observer;
    ProgressView& progress = m_window.Progress();
    observer.setMaximum = [&progress](int maximum) { progress.SetMaximum(maximum); };
    observer.setPosition = [&progress](int position) { progress.SetPosition(position); };
    observer.processEvents = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    observer.cancelled = [this] { return m_cancelled; };
    ProgramFirmware(m_port, observer);
    ok = true;
  } catch (const EFirmwareError& e) {
    error = e.Message();
  } catch (const std::exception& e) {
    error = QString::fromStdString(e.what());
  }
  m_programming = false;
  m_window.Progress().End();
  m_host.SetWaitCursor(false);
  m_window.SetControlsForUpdate(true);
  if (!ok && !m_cancelled) m_host.Prompts().Inform(error, {}, PromptIcon::Error);
  if (m_afterProgramming) m_afterProgramming();
  return ok;
}

void FwUpdate::SessionEnded() {
  if (m_host.State() == SessionState::FwLoader) LoaderTimedOut();
}

void FwUpdate::LoaderTimedOut() {
  m_window.Progress().End();
  m_host.SetWaitCursor(false);
  m_window.SetControlsForUpdate(true);
}

}  // namespace hlx
