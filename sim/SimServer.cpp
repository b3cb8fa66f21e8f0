#include "SimServer.h"

#include <algorithm>
#include <cstdio>

#include "NetEndpoints.h"
#include "PtyEndpoint.h"

namespace hlx::sim {

namespace {

// Live output is produced in slices this long; at 25,000 lines/s that is a
// few hundred lines per write, which keeps system calls few.
constexpr int kTickMs = 10;
// Noise waits while a reader has this much unread, so that a slice of it
// with its markers on top stays well below kMaxPendingOutput: a marker is
// never dropped like live traffic.
constexpr qint64 kNoiseBacklog = 32 * 1024;

}  // namespace

SimServer::SimServer(const SimSettings& device, const ServerSettings& server, QObject* parent)
    : QObject(parent), m_device(device), m_settings(server), m_boot(server.loader) {
  m_timer.setInterval(kTickMs);
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &SimServer::Tick);
  if (m_settings.noiseRate > 0) m_noise = std::make_unique<NoiseSource>(device.seed, m_settings.noiseRate);
}

SimServer::~SimServer() = default;

bool SimServer::Start(QStringList& endpoints, QString& error) {
  if (!m_settings.recordPath.isEmpty()) {
    m_record.setFileName(m_settings.recordPath);
    if (!m_record.open(QIODevice::WriteOnly | QIODevice::Append)) {
      error = QStringLiteral("record file ") + m_settings.recordPath + QStringLiteral(": ") +
              m_record.errorString();
      return false;
    }
  }
  if (!m_settings.replayPath.isEmpty()) {
    ReplayScript script;
    if (!LoadCapture(m_settings.replayPath, script, error)) return false;
    m_replay = std::make_unique<CapturePlayer>(
        std::move(script), m_settings.replaySpeed, m_settings.replayLoop,
        [this](const std::string& bytes) {
          // A firmware that is not running sends nothing; the capture's clock goes on.
          if (!m_boot.Active()) Broadcast(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        },
        [this](const QString& event) { emit note(QStringLiteral("replay ") + event); });
  }
  if (!OpenNetEndpoints(m_settings.address, error)) return false;
  endpoints << QStringLiteral("udp %1:%2 -> %3:%4")
                   .arg(m_settings.address.toString())
                   .arg(m_udp->Port())
                   .arg(m_settings.udpPeer.toString())
                   .arg(m_settings.udpPeerPort);
  endpoints << QStringLiteral("tcp %1:%2").arg(m_settings.address.toString()).arg(m_tcp->Port());

  if (m_settings.netModule) {
    m_module = std::make_unique<NetModule>(*m_settings.netModule, m_settings.address);
    if (!m_module->Open(error)) return false;
    connect(m_module.get(), &NetModule::event, this, &SimServer::netEvent);
    connect(m_module.get(), &NetModule::down, this, [this] {
      // The host port's network side restarts with its module.
      if (m_tcp) m_tcp->ResetClients();
      m_tcp.reset();
      m_udp.reset();
      emit netEvent(QStringLiteral("down"));
    });
    connect(m_module.get(), &NetModule::up, this, [this](const QHostAddress& address) {
      QString why;
      if (OpenNetEndpoints(address, why))
        emit netEvent(QStringLiteral("up %1").arg(address.toString()));
      else
        emit netEvent(QStringLiteral("up %1 without NMEA endpoints: %2").arg(address.toString(), why));
    });
    endpoints << QStringLiteral("net %1:%2 %3")
                     .arg(m_settings.address.toString())
                     .arg(kNetModulePort)
                     .arg(MacText(m_settings.netModule->mac));
  }

  if (m_settings.wireless) {
    m_wireless = std::make_unique<WirelessModule>(*m_settings.wireless);
    connect(m_wireless.get(), &WirelessModule::event, this, &SimServer::wifiEvent);
    connect(m_wireless.get(), &WirelessModule::finished, this, &SimServer::Broadcast);
    endpoints << QStringLiteral("wifi ftp port %1").arg(m_settings.wireless->ftpPort);
  }

  if (!m_settings.ptyPath.isEmpty()) {
    m_pty = std::make_unique<PtyEndpoint>(
        [this](const std::string& line) { return HandleLine(line, kChannelPty); },
        [this] { return m_device.HostSpeed(); });
    if (!m_pty->Open(m_settings.ptyPath, m_device.HostSpeed(), error)) return false;
    m_pty->SetPaced(m_settings.pace);
    endpoints << QStringLiteral("pty %1 -> %2").arg(m_pty->LinkPath(), m_pty->SlavePath());
  }
  if (m_record.isOpen()) endpoints << QStringLiteral("record %1").arg(m_settings.recordPath);
  if (m_replay)
    endpoints << QStringLiteral("replay %1: %2 lines over %3 s (%4 skipped)")
                     .arg(m_settings.replayPath)
                     .arg(m_replay->Script().lines.size())
                     .arg(m_replay->PassSeconds(), 0, 'f', 3)
                     .arg(m_replay->Script().skipped);

  m_clock.start();
  // As after a failed update: the bootloader waits for a host on either stream channel.
  if (m_settings.startInLoader) EnterLoader(kChannelPty | kChannelTcp);
  m_timer.start();
  Tick();
  return true;
}

bool SimServer::OpenNetEndpoints(const QHostAddress& address, QString& error) {
  const auto handler = [this](Channel from) -> LineHandler {
    return [this, from](const std::string& line) { return HandleLine(line, from); };
  };
  auto udp = std::make_unique<UdpEndpoint>(handler(kChannelUdp));
  auto tcp = std::make_unique<TcpEndpoint>(handler(kChannelTcp));
  if (!udp->Open(address, m_settings.port, m_settings.udpPeer, m_settings.udpPeerPort, error) ||
      !tcp->Open(address, m_settings.port, error))
    return false;
  m_udp = std::move(udp);
  m_tcp = std::move(tcp);
  return true;
}

std::vector<std::string> SimServer::HandleLine(const std::string& line, Channel from) {
  if (m_record.isOpen()) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    text += '\n';
    m_record.write(text.data(), static_cast<qint64>(text.size()));
    m_record.flush();
  }
  m_lineHeard = true;
  if (m_boot.Active()) return {};  // the firmware is not running
  const int badBefore = m_device.BadChecksumCount();
  std::vector<std::string> replies = m_device.ReceiveLine(line);
  if (m_settings.verbose || m_device.BadChecksumCount() != badBefore) {
    std::fprintf(stderr, "hlx-sim: %s%s", m_device.BadChecksumCount() != badBefore ? "bad checksum: " : "< ",
                 line.c_str());
    if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
  }
  if (m_wireless) m_wireless->HandleLine(line);
  if (m_device.TakeLoaderRequest()) {
    // The network module cannot carry frames over UDP: a device that went
    // into its bootloader from there would be unreachable, so it stays.
    if (from == kChannelUdp)
      emit note(QStringLiteral("bootloader: RESET over UDP ignored"));
    else
      EnterLoader(from);
  }
  return replies;
}

void SimServer::EnterLoader(unsigned channels) {
  m_loaderChannels = channels;
  SimBootloader::Output out;
  m_boot.Restart(m_clock.elapsed(), out);
  const auto sink = [this](Channel from) {
    return [this, from](std::string_view bytes) { LoaderBytes(bytes, from); };
  };
  if (m_pty) m_pty->SetByteSink(sink(kChannelPty));
  if (m_tcp) m_tcp->SetByteSink(sink(kChannelTcp));
  Deliver(out);
}

void SimServer::LoaderBytes(std::string_view bytes, Channel from) {
  if (!(m_loaderChannels & from) || m_dropping) return;
  SimBootloader::Output out;
  m_boot.Receive(bytes, m_clock.elapsed(), out);
  // The host that talks to it has the bootloader to itself.
  if (m_boot.InSession()) m_loaderChannels = from;
  Deliver(out);
}

void SimServer::Deliver(SimBootloader::Output& out) {
  for (const std::string& text : out.notes) emit note(QString::fromStdString(text));
  if (!out.bytes.empty()) {
    const QByteArray data(out.bytes.data(), static_cast<qsizetype>(out.bytes.size()));
    if (m_pty && (m_loaderChannels & kChannelPty)) m_pty->Send(data);
    if (m_tcp && (m_loaderChannels & kChannelTcp)) m_tcp->SendAll(data);
  }
  if (out.hangUp && !m_dropping) {
    // Not from inside the endpoint's own read: the hang-up replaces its descriptor.
    m_dropping = true;
    QMetaObject::invokeMethod(this, &SimServer::DropLoaderChannel, Qt::QueuedConnection);
  }
  if (out.started) LeaveLoader(*out.started);
}

void SimServer::DropLoaderChannel() {
  m_dropping = false;
  if (m_pty && (m_loaderChannels & kChannelPty)) {
    QString error;
    if (!m_pty->HangUp(error)) std::fprintf(stderr, "hlx-sim: no new terminal: %s\n", qPrintable(error));
  }
  if (m_tcp && (m_loaderChannels & kChannelTcp)) m_tcp->ResetClients();
  emit hungUp();
}

void SimServer::LeaveLoader(const FirmwareRecord& image) {
  m_loaderChannels = 0;
  if (m_pty) m_pty->SetByteSink(nullptr);
  if (m_tcp) m_tcp->SetByteSink(nullptr);
  Broadcast(JoinLines(m_device.StartFirmware(image.version)));
}

void SimServer::Broadcast(const QByteArray& data) {
  if (m_udp) m_udp->Broadcast(data);
  if (m_tcp) m_tcp->Broadcast(data);
  if (m_pty) m_pty->Broadcast(data);
}

qint64 SimServer::Backlog() const {
  return std::max<qint64>(m_pty ? m_pty->Pending() : 0, m_tcp ? m_tcp->MaxPending() : 0);
}

void SimServer::HangUp() {
  if (m_pty) {
    QString error;
    if (!m_pty->HangUp(error)) std::fprintf(stderr, "hlx-sim: no new terminal: %s\n", qPrintable(error));
  }
  if (m_tcp) m_tcp->ResetClients();
  emit hungUp();
}

bool SimServer::HostAppeared() const {
  return m_lineHeard || (m_pty && m_pty->PeerOpen()) || (m_tcp && m_tcp->ClientCount() > 0);
}

void SimServer::Tick() {
  if (m_pty) m_pty->Poll();
  if (m_settings.hangUpAfterMs > 0 && !m_hangUpScheduled &&
      ((m_pty && m_pty->PeerOpen()) || (m_tcp && m_tcp->ClientCount() > 0))) {
    m_hangUpScheduled = true;
    QTimer::singleShot(m_settings.hangUpAfterMs, this, &SimServer::HangUp);
  }
  if (m_replay && !m_replay->Started() && HostAppeared()) {
    emit note(QStringLiteral("replay started"));
    m_replay->Start();
  }
  m_batch.clear();
  const qint64 now = m_clock.elapsed();
  if (m_boot.Active()) {
    SimBootloader::Output out;
    m_boot.Advance(now, out);
    Deliver(out);
    // A firmware that is not running sends nothing; its clocks go on.
    std::string idle;
    m_device.Advance(now, idle);
    if (m_noise) m_noise->Advance(now, true, idle);
    return;
  }
  m_device.Advance(now, m_batch);
  if (m_noise) m_noise->Advance(now, Backlog() > kNoiseBacklog, m_batch);
  if (m_batch.empty()) return;
  Broadcast(QByteArray::fromRawData(m_batch.data(), static_cast<qsizetype>(m_batch.size())));
}

}  // namespace hlx::sim
