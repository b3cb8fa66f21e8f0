#include "firmware/FwUpdate.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "firmware/Bootloader.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "session/SessionCore.h"
#include "session/UserPrompts.h"
#include "session/VersionCheck.h"

namespace hlx {

namespace {

const char* const kSpeedRequired = "The speed of the Halyx port must be\rset to 38400 baud before updating";
const char* const kTcpRequired = "The Halyx must be set to TCP mode\rbefore updating";
const char* const kNoUdpUpdate =
    "The firmware cannot be updated over a UDP connection.\rConnect by TCP or serial port.";
const char* const kDowngrade =
    "The version of this firmware file is lower than the version\rof the multiplexer. Do you really want to "
    "proceed?";
const char* const kTypeMismatch = "Firmware file does not match with the multiplexer type";
const char* const kLoaderSilent = "Bootloader: Initialisation failed";
const char* const kUpdateSucceeded = "The firmware update was successful";

}  // namespace

QString UpdatePrecondition(int hostKind, int hostSpeedIndex, std::uint8_t channelKind) {
  // Nothing can be updated without a link (the window starts as if a serial
  // model were connected, so this comes before the speed rule).
  if (channelKind == ChClosed) return QString::fromLatin1(kConnectBeforeUpdateText);
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

FwUpdate::FwUpdate(FirmwareWindow& window) : m_window(window), m_core(window.Session()) {
  m_core.OnSentence(SidLDR, [this](const std::string& line) { OnLdr(line); });
  m_core.OwnState(
      SessionState::FwLoader,
      [this](int id, const std::string&) {
        if (id == SidLDR) LoaderReady();
      },
      [this] { GiveWindowBack(); });
  m_core.OwnState(SessionState::FwRestart, [this](int id, const std::string& line) { Restarted(id, line); });
}

void FwUpdate::Start(bool builtIn) {
  UserPrompts& prompts = m_core.Prompts();
  if (const QString why =
          UpdatePrecondition(m_core.HostKind(), m_window.HostSpeedIndex(), m_window.Link().ChannelKind());
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
      !prompts.AskYesNo(QString::fromLatin1(kDowngrade), QString::fromLatin1(kApplicationTitle),
                        PromptIcon::Warning))
    return;

  m_cancelled = false;
  m_core.SendSentence(kAddrRESET);  // the bare order restarts into the bootloader
  m_core.StartTimeout(QString::fromLatin1(kLoaderSilent));
  m_core.SetState(SessionState::FwLoader);
  m_window.SetControlsForUpdate(false);
  m_window.SetWaitCursor(true);
  m_window.Progress().Begin(QString::fromLatin1(kUpdatingFirmwareCaption));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FwUpdate::OnLdr(const std::string& line) {
  m_window.RevealUpdateMenu();
  m_ldrType = ParseLdrType(line);
  m_core.StopTimeout();
}

void FwUpdate::LoaderReady() {
  m_core.SetState(SessionState::FwRestart);
  m_programmed = Program();
  m_core.StartTimeout(QString::fromLatin1(kFwUpdateFailedText));
}

void FwUpdate::Restarted(int id, const std::string& line) {
  if (id == SidVER) {
    m_core.SetState(SessionState::Idle);
    // Before the message: a box waits for the user, and the armed "failed"
    // must not fire behind it.
    m_core.StopTimeout();
    // After a failed run a version report is the old firmware (or a device
    // that restarted anyway): never report that as a success.
    if (m_programmed) m_core.Prompts().Inform(QString::fromLatin1(kUpdateSucceeded));
    m_core.PassVersionReply(line);
  } else if (id == SidLDR) {
    // The bootloader is back instead of the firmware: after a failed run
    // nothing more will come, and a programmed image did not start.
    m_core.StopTimeout();
    m_core.ReturnToIdle();
    if (m_programmed) m_core.Prompts().Inform(QString::fromLatin1(kFwUpdateFailedText));
  }
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
    ProgramFirmware(m_window.Link(), observer);
    ok = true;
  } catch (const EFirmwareError& e) {
    error = e.Message();
  } catch (const std::exception& e) {
    error = QString::fromStdString(e.what());
  }
  m_programming = false;
  m_window.Progress().End();
  m_window.SetWaitCursor(false);
  m_window.SetControlsForUpdate(true);
  if (!ok && !m_cancelled) m_core.Prompts().Inform(error, {}, PromptIcon::Error);
  if (m_afterProgramming) m_afterProgramming(ok);
  return ok;
}

void FwUpdate::GiveWindowBack() {
  m_window.Progress().End();
  m_window.SetWaitCursor(false);
  m_window.SetControlsForUpdate(true);
}

}  // namespace hlx
