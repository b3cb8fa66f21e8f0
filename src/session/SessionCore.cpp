#include "session/SessionCore.h"

#include <mutex>

#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "ui/UserPrompts.h"

namespace hlx {

namespace {
const char* const kFwUpdateFailed = "The firmware update failed";
const char* const kFwUpdateSucceeded = "The firmware update was successful";
}  // namespace

bool PassesViewFilter(std::string_view line, int viewFilter, int source) {
  if (line.find(kStatAddressText) != std::string_view::npos) return false;
  return viewFilter == 0 || source == -1 || source == viewFilter;
}

SessionCore::SessionCore(SessionHandlers& handlers, QObject* parent) : QObject(parent), m_handlers(handlers) {
  m_timeOutTimer.setInterval(kReplyTimeoutMs);
  connect(&m_timeOutTimer, &QTimer::timeout, this, &SessionCore::OnTimeOut);
}

void SessionCore::SetSessionState(std::uint8_t state) {
  if (m_sessionState == state) return;
  m_sessionState = state;
  emit sessionStateChanged(state);
}

void SessionCore::StartTimeout(const QString& message) {
  TimeoutMsg = message;
  m_timeOutTimer.start();
}

void SessionCore::DrainRxQueue(TComm* comm) {
  if (!comm) return;
  comm->DrainRxQueue([this](std::string l) { Dispatch(std::move(l)); });
}

void SessionCore::Dispatch(std::string line) {
  // The receive side hands over C strings; anything after a NUL is not part of the line.
  if (const auto nul = line.find('\0'); nul != std::string::npos) line.resize(nul);

  m_updating = true;
  const int source = LineSourceInput(line);
  if (PassesViewFilter(line, ViewFilter, source)) m_handlers.ShowLine(line);

  std::string address;
  const int id = ExtractField(line, 0, address) >= 0 ? LookupSentence(address) : SidNone;

  switch (id) {
    case SidLDR: m_handlers.HandleLdrSentence(line); break;
    case SidOV: m_handlers.HandleOvReply(line); break;
    case SidSTAT: m_handlers.HandleSTATReply(line); break;
    case SidWI: m_handlers.HandleWiSentence(line); break;
    default: break;
  }
  DispatchByState(id, source, address, line);
  m_updating = false;
}

void SessionCore::DispatchByState(int id, int source, const std::string& address, const std::string& line) {
  switch (m_sessionState) {
    case AutoBaud:
      // Any line at all proves the speed.
      m_handlers.EndAutoBaud(AutoBaudIndex);
      SetSessionState(Idle);
      if (id == SidVER) m_handlers.HandleVerReply(line);
      m_handlers.UpdateControls();
      break;
    case Capture:
      if (source >= 0) m_handlers.HandleCaptureLine(source, address);
      break;
    case Identify:
      if (id == SidVER) m_handlers.HandleVerReply(line);
      break;
    case ReadConfig:
      switch (id) {
        case SidCF: m_handlers.HandleCFReply(line); break;
        case SidDR: m_handlers.HandleDRReply(line); break;
        case SidID: m_handlers.HandleIDReply(line); break;
        case SidSP: m_handlers.HandleSPReply(line); break;
        case SidOP: m_handlers.HandleOPReply(line); break;
        case SidIN: m_handlers.HandleINReply(line); break;
        case SidFL:
          if (m_handlers.HandleFLReply(line)) {
            SetSessionState(Idle);
            m_updating = false;
            if (HostKind >= 0) m_handlers.RefreshControls(true);
          }
          break;
        default: break;
      }
      break;
    case FwLoader:
      if (id == SidLDR) {
        SetSessionState(FwRestart);
        m_handlers.ProgramFirmware(line);
        StartTimeout(QString::fromLatin1(kFwUpdateFailed));
      }
      break;
    case FwRestart:
      if (id == SidVER) {
        SetSessionState(Idle);
        Prompts().Inform(QString::fromLatin1(kFwUpdateSucceeded));
        m_handlers.HandleVerReply(line);
        m_handlers.UpdateControls();
      }
      break;
    default: break;
  }
}

void SessionCore::SendSentence(std::string_view text) {
  if (text.empty()) return;
  std::string out;
  if (text.front() != '!' && text.front() != '$' && text.front() != '\\') out.push_back('$');
  out.append(text);
  if (m_handlers.LogActive()) m_handlers.LogSent(out);
  m_handlers.Transmit(out);
}

void SessionCore::OnTimeOut() {
  if (m_sessionState == FwLoader) m_handlers.RestoreAfterLoaderTimeout();
  SetSessionState(Idle);
  m_handlers.UpdateControls();
  m_timeOutTimer.stop();
  Prompts().Inform(TimeoutMsg);
}

}  // namespace hlx
