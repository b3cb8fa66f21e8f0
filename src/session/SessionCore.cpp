#include "session/SessionCore.h"

#include "link/Comms.h"
#include "link/Nmeadefs.h"
#include "session/ConnectionRules.h"
#include "session/UserPrompts.h"

namespace hlx {

bool PassesViewFilter(std::string_view line, int viewFilter, int source) {
  if (line.find(kAddrSTAT) != std::string_view::npos) return false;
  return viewFilter == 0 || source == -1 || source == viewFilter;
}

SessionCore::SessionCore(SessionEvents& events, UserPrompts& prompts, QObject* parent)
    : QObject(parent), m_events(events), m_prompts(prompts), m_search(kCurrentSearchSpeeds) {
  m_timeOutTimer.setInterval(kReplyTimeoutMs);
  m_timeOutTimer.setSingleShot(true);
  connect(&m_timeOutTimer, &QTimer::timeout, this, &SessionCore::OnTimeOut);
  m_clock.start();
  connect(&m_search, &SpeedSearch::gaveUp, this, [this] {
    SetState(SessionState::Idle);
    m_events.RefreshControls(true);
  });
}

void SessionCore::EndSession() {
  StopTimeout();
  Abandon();
  SetState(SessionState::Idle);
  m_hostKind = kHostUnknown;
  m_viewFilter = 0;
}

void SessionCore::StartSpeedSearch() {
  SetState(SessionState::AutoBaud);
  m_search.Start();
}

void SessionCore::SetState(SessionState state) {
  // Leaving the search by any way ends it.
  if (state != SessionState::AutoBaud) m_search.Stop();
  if (m_state == state) return;
  m_state = state;
  emit stateChanged(state);
}

void SessionCore::OnSentence(int sentenceId, LineHandler handler) {
  m_anyState[sentenceId] = std::move(handler);
}

void SessionCore::OwnState(SessionState state, StateLineHandler onLine, std::function<void()> onAbandon) {
  m_owned[state] = {std::move(onLine), std::move(onAbandon)};
}

void SessionCore::PassVersionReply(const std::string& line) {
  m_events.HandleVerReply(line);
  m_events.UpdateControls();
}

void SessionCore::ReturnToIdle() {
  SetState(SessionState::Idle);
  m_events.UpdateControls();
}

void SessionCore::Abandon() {
  if (const auto it = m_owned.find(m_state); it != m_owned.end() && it->second.onAbandon)
    it->second.onAbandon();
}

void SessionCore::StartTimeout(const QString& message) {
  m_timeoutMsg = message;
  m_timeOutTimer.start();
}

void SessionCore::DrainRxQueue(TComm* comm) {
  if (comm) comm->DrainRxQueue([this](std::string line) { Dispatch(std::move(line)); });
}

void SessionCore::Dispatch(std::string line) {
  if (m_handedOver) return;
  // The receive side hands over C strings; anything after a NUL is not part of the line.
  if (const auto nul = line.find('\0'); nul != std::string::npos) line.resize(nul);

  m_inspector.Add(line, m_clock.elapsed());
  if (m_lineTap) m_lineTap(line);
  m_updating = true;
  const int source = LineSourceInput(line);
  if (PassesViewFilter(line, m_viewFilter, source)) m_events.ShowLine(line);

  std::string address;
  const int id = ExtractField(line, 0, address) >= 0 ? LookupSentence(address) : SidNone;
  if (const auto it = m_anyState.find(id); it != m_anyState.end() && it->second) it->second(line);
  DispatchByState(id, source, address, line);
  m_updating = false;
}

void SessionCore::DispatchByState(int id, int source, const std::string& address, const std::string& line) {
  switch (m_state) {
    case SessionState::AutoBaud:
      // Any line at all proves the speed.
      m_events.EndAutoBaud(m_search.Answered());
      SetState(SessionState::Idle);
      if (id == SidVER) m_events.HandleVerReply(line);
      m_events.UpdateControls();
      break;
    case SessionState::Capture:
      if (source >= 0 && m_capture) m_capture(source, address);
      break;
    case SessionState::Identify:
      if (id == SidVER) m_events.HandleVerReply(line);
      break;
    case SessionState::ReadConfig:
      if (m_readBack && m_readBack(id, line)) {
        SetState(SessionState::Idle);
        m_updating = false;
        if (m_hostKind != kHostUnknown) m_events.RefreshControls(true);
      }
      break;
    default:
      if (const auto it = m_owned.find(m_state); it != m_owned.end() && it->second.onLine)
        it->second.onLine(id, line);
      break;
  }
}

void SessionCore::SendSentence(std::string_view text) {
  if (text.empty() || m_handedOver) return;
  const std::string out = WithStartCharacter(text);
  if (m_events.LogActive()) m_events.LogSent(out);
  m_events.Transmit(out);
}

void SessionCore::OnTimeOut() {
  Abandon();
  SetState(SessionState::Idle);
  m_events.UpdateControls();
  m_prompts.Inform(m_timeoutMsg);
}

}  // namespace hlx
