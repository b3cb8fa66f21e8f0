#include "cli/CliSession.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include "config/ConfigFile.h"
#include "config/ReadBack.h"
#include "link/Comms.h"
#include "link/Nmeadefs.h"

namespace hlx::cli {

namespace {
constexpr int kPollMs = 20;
// Beyond the core's own reply time-out, so that its message comes first.
constexpr int kGraceMs = 1000;
// A whole read-back: the longest list at the slowest speed takes a fraction of this.
constexpr int kReadBackLimitMs = 60000;
const char* const kInBootloader =
    "The multiplexer is in its bootloader, as after a failed update: its firmware must be updated "
    "(hlx-cli flash)";
const char* const kReadBackUnfinished = "The multiplexer did not finish sending its configuration";
const char* const kOtherGeneration =
    "The multiplexer runs firmware %1 of an older generation; this command serves the current "
    "generation (firmware 3.33 and later) only";
const char* const kTooOld =
    "The multiplexer runs firmware %1, which must be updated before it can be configured (hlx-cli flash)";

qint64 NowMs() { return QDateTime::currentMSecsSinceEpoch(); }
}  // namespace

CliSession::CliSession(UserPrompts& prompts, QObject* parent) : QObject(parent), m_prompts(prompts) {
  m_core = std::make_unique<SessionCore>(static_cast<SessionEvents&>(*this), m_prompts);
  m_comm = std::make_unique<TComm>(this);
  m_core->SetReadBackHandler([this](int id, std::string_view line) {
    const ReadBackResult result = ApplyReadBackReply(id, line, m_config, m_rules);
    // Only a reply keeps the read-back alive; traffic in between does not.
    if (result != ReadBackResult::NotMine) m_lastReadBackMs = NowMs();
    if (id == SidOP && result == ReadBackResult::Applied) m_optionsKnown = true;
    return result == ReadBackResult::ListEnded;
  });
  m_fw = std::make_unique<FwUpdate>(static_cast<FirmwareWindow&>(*this));
  m_fw->SetAfterProgramming([this](bool) {
    // A link lost under programming (its event may still be on its way) ends
    // the session once the core has armed its time-out, which ending it stops.
    if (!m_lostWhileProgramming && m_comm->ReceiveThreadRunning()) return;
    m_lostWhileProgramming = true;
    QTimer::singleShot(0, this, [this] {
      m_lostWhileProgramming = false;
      if (!ChannelOpen()) return;
      m_channelLost = true;
      EndSession();
      if (m_wake) m_wake();
    });
  });
  connect(&m_core->Search(), &SpeedSearch::speedTried, this, [this](int speed) {
    m_comm->SetSpeed(speed);
    m_speedIndex = speed;
    SendSentence(kVersionQuery);
  });
  connect(m_core.get(), &SessionCore::stateChanged, this, [this] {
    if (m_wake) m_wake();
  });
}

CliSession::~CliSession() {
  if (m_comm) m_comm->Close();
}

bool CliSession::ChannelOpen() const { return m_comm && m_comm->ChannelKind() != ChClosed; }

bool CliSession::event(QEvent* e) {
  if (e->type() == WM_RXDATA) {
    m_core->DrainRxQueue(m_comm.get());
    if (m_wake) m_wake();
    return true;
  }
  if (e->type() == WM_CHANNELLOST) {
    // Programming notices the loss itself and ends with its own message.
    if (m_fw->Programming()) {
      m_lostWhileProgramming = true;
    } else if (!m_lostWhileProgramming && ChannelOpen()) {
      m_channelLost = true;
      EndSession();
      m_prompts.Inform(QString::fromLatin1(kChannelLostText), {}, PromptIcon::Warning);
    }
    if (m_wake) m_wake();
    return true;
  }
  return QObject::event(e);
}

bool CliSession::WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const qint64 deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kPollMs);
  const auto check = [&] {
    if (done() || m_interrupted || m_channelLost || (deadline >= 0 && NowMs() >= deadline)) loop.quit();
  };
  connect(&poll, &QTimer::timeout, &loop, check);
  const std::function<void()> outer = m_wake;
  m_wake = [&] { QTimer::singleShot(0, &loop, check); };
  poll.start();
  if (!(done() || m_interrupted || m_channelLost)) loop.exec();
  m_wake = outer;
  return done();
}

void CliSession::Interrupt() {
  m_interrupted = true;
  // The update stops after the block under way, never in the middle of one.
  if (m_fw->Programming()) m_fw->Cancel();
  if (m_wake) m_wake();
}

int CliSession::Open(const ConnectOptions& options) {
  try {
    if (options.kind == ConnectOptions::Tcp) {
      m_comm->Open(ChTcp, options.address, 0);
    } else if (options.kind == ConnectOptions::Udp) {
      m_comm->Open(ChUdp, options.address, 1);
    } else if (options.kind == ConnectOptions::Serial) {
      m_speedIndex = options.speedIndex;
      if (m_comm->Open(ChSerial, options.address, options.speedIndex) == ChClosed) {
        const int error = m_comm->LastOpenErrno();
        m_prompts.Inform(QString::fromLatin1(kOpenFailedText));
        if (!m_comm->LastOpenError().isEmpty())
          m_prompts.Inform(m_comm->LastOpenError(), {}, PromptIcon::Error);
        const QString advice = SerialOpenAdvice(options.address, error);
        if (!advice.isEmpty()) m_prompts.Inform(advice, {}, PromptIcon::Warning);
        return ExitConnection;
      }
      if (options.speedIndex == kBaudAutomatic) {
        m_core->StartSpeedSearch();
        // One step per speed, then the search gives up by itself.
        WaitFor([this] { return State() != SessionState::AutoBaud; },
                kSpeedStepMs * static_cast<int>(kCurrentSearchSpeeds.size()) + kGraceMs);
        if (State() == SessionState::AutoBaud) SetState(SessionState::Idle);
        if (m_interrupted) return ExitInterrupted;
      }
    }
  } catch (const std::exception& e) {
    m_prompts.Inform(QString::fromLocal8Bit(e.what()), {}, PromptIcon::Error);
    return ExitConnection;
  }
  return ChannelOpen() ? ExitOk : ExitConnection;
}

void CliSession::EndAutoBaud(int speedIndex) {
  if (speedIndex >= 0) m_speedIndex = speedIndex;
}

int CliSession::Identify(bool forUpdate) {
  if (!ChannelOpen()) return ExitConnection;
  m_verSeen = false;
  m_loaderSeen = false;
  m_core->SetHostKind(kHostUnknown);
  SetState(SessionState::Identify);
  m_core->StartTimeout(QString::fromLatin1(kNoResponseText));
  SendSentence(kVersionQuery);
  // The bootloader's announcement stops the core's time-out, so the wait has its own limit.
  WaitFor([this] { return State() != SessionState::Identify || m_loaderSeen; }, kReplyTimeoutMs + kGraceMs);
  if (m_interrupted) return ExitInterrupted;
  if (m_verSeen) return ExitOk;
  const bool unanswered = State() == SessionState::Identify;
  if (unanswered) {
    m_core->StopTimeout();
    SetState(SessionState::Idle);
  }
  if (m_loaderSeen) {
    // A bootloader never answers the version query; only an update brings the firmware back.
    if (forUpdate) return ExitOk;
    m_prompts.Inform(QString::fromLatin1(kInBootloader), {}, PromptIcon::Error);
    return ExitGeneration;
  }
  if (unanswered && !m_channelLost) m_prompts.Inform(QString::fromLatin1(kNoResponseText));
  return ExitConnection;
}

void CliSession::RevealUpdateMenu() {
  m_loaderSeen = true;
  if (m_wake) m_wake();
}

void CliSession::HandleVerReply(const std::string& line) {
  m_core->StopTimeout();
  m_identity.ver = ParseVerReply(line);
  m_identity.version = ParseVersion(m_identity.ver.version.toStdString());
  m_identity.form = FormChoiceFor(m_identity.version);
  m_identity.caps = m_identity.ver.hasCaps ? ParseCapabilities(m_identity.ver.caps) : Capabilities{};
  m_identified = true;
  m_verSeen = true;
  if (m_identity.ver.hasCaps) {
    if (!m_identity.caps.supported)
      m_prompts.Inform(QString::fromLatin1(kNotSupportedText), QString::fromLatin1(kCapsWarningCaption),
                       PromptIcon::Warning);
    else
      m_core->SetHostKind(m_identity.caps.hostKind);
  }
  if (State() == SessionState::Identify && m_readAfterVer && m_identity.form.formId == FormMain &&
      m_identity.form.supported) {
    m_lastReadBackMs = NowMs();
    SetState(SessionState::ReadConfig);
    SendSentence(kConfigQuery);
  } else {
    SetState(SessionState::Idle);
  }
}

int CliSession::ReadConfiguration() {
  if (!ChannelOpen()) return ExitConnection;
  m_rules.Clear();
  m_readAfterVer = true;
  SetUpdating(true);
  const int identified = Identify();
  m_readAfterVer = false;
  if (identified != ExitOk) return identified;
  if (m_identity.form.formId != FormMain) {
    m_prompts.Inform(QString::fromLatin1(kOtherGeneration).arg(m_identity.ver.version), {},
                     PromptIcon::Error);
    return ExitGeneration;
  }
  if (!m_identity.form.supported) {
    m_prompts.Inform(QString::fromLatin1(kTooOld).arg(m_identity.ver.version), {}, PromptIcon::Error);
    return ExitGeneration;
  }
  // The window waits for the end of the list as long as it takes; a script
  // cannot, so a list that stops coming counts as no answer.
  WaitFor(
      [this] { return State() != SessionState::ReadConfig || NowMs() - m_lastReadBackMs > kReplyTimeoutMs; },
      kReadBackLimitMs);
  if (m_interrupted) return ExitInterrupted;
  if (State() == SessionState::ReadConfig) {
    SetState(SessionState::Idle);
    m_prompts.Inform(QString::fromLatin1(kReadBackUnfinished), {}, PromptIcon::Error);
    return ExitConnection;
  }
  return m_channelLost ? ExitConnection : ExitOk;
}

void CliSession::Apply(const DeviceConfig& config, const FilterList& rules) {
  hlx::ApplyConfiguration(*this, config, rules);
}

void CliSession::SetViewFilter(int input) {
  m_core->SetViewFilter(input);
  if (input == 0)
    SendSentence(OptionRestoreCommand(m_config, m_optionsKnown));
  else
    SendSentence(OptionBitCommand(OptChanTag, true));
}

void CliSession::Disconnect() {
  if (!ChannelOpen()) return;
  if (m_core->ViewFilter() > 0) SendSentence(OptionRestoreCommand(m_config, m_optionsKnown));
  EndSession();
}

void CliSession::EndSession() {
  m_comm->Close();
  m_core->EndSession();
}

void CliSession::ShowLine(const std::string& line) {
  if (m_sink) m_sink(line);
}

void CliSession::Transmit(std::string_view text) {
  m_comm->Send(text);
  if (ChannelOpen() && !m_comm->LastSendError().isEmpty())
    m_prompts.Inform(m_comm->LastSendError(), {}, PromptIcon::Warning);
}

int CliSession::Flash(bool builtIn) {
  m_verSeen = false;
  m_fw->Start(builtIn);
  if (State() != SessionState::FwLoader) return m_interrupted ? ExitInterrupted : ExitFirmware;
  // The bootloader announces itself within the core's time-out, and programming
  // (inside this wait) bounds every reply it waits for; the restarted firmware
  // then reports within the core's time-out, or the update failed.
  WaitFor([this] { return State() != SessionState::FwLoader; }, kReplyTimeoutMs + kGraceMs);
  WaitFor([this] { return State() == SessionState::Idle; }, kReplyTimeoutMs + kGraceMs);
  if (m_interrupted) return ExitInterrupted;
  if (State() != SessionState::Idle) {
    m_core->EndSession();
    m_prompts.Inform(QString::fromLatin1(kFwUpdateFailedText), {}, PromptIcon::Error);
    return ExitFirmware;
  }
  return m_fw->Programmed() && m_verSeen ? ExitOk : ExitFirmware;
}

}  // namespace hlx::cli
