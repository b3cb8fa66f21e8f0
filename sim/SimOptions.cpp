#include "SimOptions.h"

#include <QCommandLineParser>

#include "LegacyDialect.h"

namespace hlx::sim {

namespace {

constexpr int kLegacyHostSpeed = 3;   // 38400, the fastest the older generations know
constexpr char kWifiCaps[] = "8043";  // served by this program, updatable, host port kind 3: wireless

// Thrown by the readers below; ParseSimOptions turns it into its error.
struct BadOption {
  QString text;
};

void AddOptions(QCommandLineParser& p) {
  p.setApplicationDescription(QStringLiteral("Headless multiplexer simulator"));
  p.addHelpOption();
  p.addOptions({
      {"address", "Loopback address to listen on.", "ADDR", "127.0.0.2"},
      {"port", "UDP and TCP port.", "PORT", "10110"},
      {"pty", "Create a pseudo-terminal and link PATH to it.", "PATH"},
      {"generation", "Firmware generation: 0 = current, 1 to 4 = the older dialects of firmware 1.x and 2.x.",
       "N", "0"},
      {"firmware", "Firmware version reported.", "VERSION", "3.33.1"},
      {"name", "Device name.", "NAME", "HLX2000"},
      {"serial", "Serial number (generation 1: its first digit and the version's pick the model).", "NUMBER",
       "20261206"},
      {"caps", "Capability word (four hex digits; generation 2: the model's parts).", "HEX", "8041"},
      {"host-speed", "Host speed index 0..6 (4800..230400).", "INDEX", "5"},
      {"traffic", "Live NMEA lines per second (0 = none).", "RATE", "0"},
      {"udp-peer", "Where UDP replies and traffic go.", "ADDR[:PORT]", "127.0.0.1:10110"},
      {"record", "Append every received line to FILE.", "FILE"},
      {"seed", "Random seed of the traffic.", "N", "1"},
      {"bad-checksums", "Every Nth line of the traffic goes out with a wrong checksum (0 = none).", "N", "0"},
      {"ov-period", "Milliseconds between overflow reports while traffic runs (0 = never).", "MS", "10000"},
      {"stat-period", "Milliseconds between statistics reports while switched on.", "MS", "1000"},
      {"noise",
       "Garbage bytes per second mixed into the output on every channel, each burst followed by "
       "a numbered $PXSEQ,<n>,<garbage bytes so far> sentence (0 = none).",
       "RATE", "0"},
      {"hangup-after",
       "Hang up MS milliseconds after a host first opened the terminal or connected over TCP, as "
       "SIGUSR1 does at any time: the pseudo-terminal closes (a new one takes its link) and TCP "
       "connections are reset. Prints \"hangup\" each time.",
       "MS", "0"},
      {"loader-type", "Multiplexer type the bootloader announces in $PQVXLDR (0..255).", "N", "0"},
      {"loader-delay", "Every bootloader reply waits MS milliseconds.", "MS", "0"},
      {"loader-fault",
       "A bootloader fault (repeatable): no-announce, no-reply:STEP, bad-reply:STEP, crc-mismatch, "
       "drop:block=K, garbage or no-start, where STEP is erase, decrypt, crc or block=K.",
       "KIND[:ARG]"},
      {"net-module",
       "Add the network model's network module with this MAC address (02-00-00-0B-1C-2D) at --address: "
       "discovery on UDP 30718, its settings on TCP 30718. Prints \"net <event>\" for what it does.",
       "MAC"},
      {"net-restart", "Milliseconds the network module stays away when it restarts after a change.", "MS",
       "3000"},
      {"net-fault", "Network module fault: silent, short, long, code or reset.", "FAULT"},
      {"ignore-command",
       "Answer settings commands with this address (PQVXID, PQVXFL, ...) as usual but change nothing.",
       "ADDRESS"},
      {"wifi-ftp-port",
       "Port of the host's FTP server that the wireless module fetches its update from (needs "
       "--wifi-module).",
       "PORT", "21"},
      {"wifi-store", "Folder where the wireless module keeps a fetched update (needs --wifi-module).", "DIR"},
      {"replay",
       QStringLiteral(
           "Play the capture FILE on every channel instead of generated traffic, at its recorded pace, "
           "from when a host first opens the terminal, connects over TCP or sends a line; commands are "
           "answered as usual. Each line is one of: an NMEA line whose TAG block holds the receive time "
           "in c: (UNIX seconds or milliseconds; sent without c:), a line of the window's diagnostic log "
           "(received lines only), a bare NMEA line (%1 a second). Pauses longer than %2 s are cut to "
           "%3 s. Prints \"replay started\", and \"replay ended\" after the last line.")
           .arg(1000 / kBareLineMs)
           .arg(kMaxPauseMs / 1000)
           .arg(kCutPauseMs / 1000),
       "FILE"},
      {"replay-speed",
       QStringLiteral("Play the capture X times faster (%1 to %2; needs --replay).")
           .arg(kMinReplaySpeed)
           .arg(kMaxReplaySpeed),
       "X", "1"},
  });
  p.addOptions({
      {"silent", "Answer nothing."},
      {"no-caps", "VER reply without the capability word."},
      {"ver-garbage", "VER reply with a capability word that is not hexadecimal."},
      {"no-list-end", "Configuration reply without the closing FL reply."},
      {"quiet-commands", "Do not answer settings commands with their reply."},
      {"verbose", "Print every received line on stderr."},
      {"start-in-loader", "Start in the bootloader, as after a failed update."},
      {"pace", "Move bytes on the pseudo-terminal no faster than a wire at the speed set on it."},
      {"loop",
       QStringLiteral("Play the capture again %1 s after its last line, each time printing \"replay looped\" "
                      "(needs --replay).")
           .arg(kLoopPauseMs / 1000)},
      {"wifi-module",
       "Be the WiFi model (host port kind 3 in the default capability word, 8043): on "
       "$PQVXWI,U,<file>,<host> "
       "the wireless module fetches the file by FTP and then sends $PQVXWI,RDY. Prints \"wifi <event>\"."},
  });
}

int IntOption(const QCommandLineParser& p, const QString& name, int low, int high) {
  bool ok = false;
  const int v = p.value(name).toInt(&ok);
  if (!ok || v < low || v > high)
    throw BadOption{QStringLiteral("--%1 must be %2..%3").arg(name).arg(low).arg(high)};
  return v;
}

double RateOption(const QCommandLineParser& p, const QString& name, double high) {
  bool ok = false;
  const double v = p.value(name).toDouble(&ok);
  if (!ok || v < 0 || v > high) throw BadOption{QStringLiteral("bad --") + name};
  return v;
}

SimSettings DeviceFrom(const QCommandLineParser& p) {
  SimSettings dev;
  dev.generation = IntOption(p, "generation", 0, 4);
  // An older generation gets defaults from its own range unless they are given.
  const LegacyGenerationTable* older = LegacyTable(dev.generation);
  const auto valueOr = [&p, older](const QString& name, const char* LegacyGenerationTable::*olderDefault) {
    return older && !p.isSet(name) ? QString::fromLatin1(older->*olderDefault) : p.value(name);
  };
  dev.firmware = valueOr("firmware", &LegacyGenerationTable::firmware).toStdString();
  dev.name = p.value("name").toStdString();
  dev.serial = valueOr("serial", &LegacyGenerationTable::serial).toStdString();
  dev.caps = valueOr("caps", &LegacyGenerationTable::caps).toStdString();
  if (!older && p.isSet("wifi-module") && !p.isSet("caps")) dev.caps = kWifiCaps;
  dev.hostSpeed = older && !p.isSet("host-speed")
                      ? kLegacyHostSpeed
                      : IntOption(p, "host-speed", 0, older ? kLegacyHostSpeed : kHostSpeedCount - 1);
  dev.trafficRate = RateOption(p, "traffic", 1e6);
  bool ok = false;
  dev.seed = static_cast<std::uint32_t>(p.value("seed").toUInt(&ok));
  if (!ok) throw BadOption{QStringLiteral("bad --seed")};
  dev.overflowPeriodMs = IntOption(p, "ov-period", 0, 3600000);
  dev.statPeriodMs = IntOption(p, "stat-period", 1, 3600000);
  dev.faults.silent = p.isSet("silent");
  dev.faults.noCaps = p.isSet("no-caps");
  dev.faults.verGarbage = p.isSet("ver-garbage");
  dev.faults.noListEnd = p.isSet("no-list-end");
  dev.faults.quietCommands = p.isSet("quiet-commands");
  dev.faults.ignoredCommand = p.value("ignore-command").toStdString();
  dev.faults.badLiveChecksumEvery = IntOption(p, "bad-checksums", 0, 1000000);
  return dev;
}

void PeerFrom(const QString& text, ServerSettings& s) {
  const int colon = text.lastIndexOf(':');
  const QString host = colon < 0 ? text : text.left(colon);
  if (colon >= 0) {
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535) throw BadOption{QStringLiteral("bad --udp-peer port")};
    s.udpPeerPort = static_cast<quint16>(port);
  }
  if (!s.udpPeer.setAddress(host)) throw BadOption{QStringLiteral("bad --udp-peer address")};
  // Only loopback peers: the simulator never sprays traffic onto a real network.
  if (!s.udpPeer.isLoopback()) throw BadOption{QStringLiteral("--udp-peer must be a loopback address")};
}

LoaderSettings LoaderFrom(const QCommandLineParser& p, std::uint32_t seed) {
  LoaderSettings loader;
  loader.type = IntOption(p, "loader-type", 0, 255);
  loader.replyDelayMs = IntOption(p, "loader-delay", 0, 60000);
  loader.seed = seed;
  for (const QString& fault : p.values("loader-fault")) {
    std::string why;
    if (!AddLoaderFault(fault.toStdString(), loader.faults, why))
      throw BadOption{QStringLiteral("--loader-fault %1: %2").arg(fault, QString::fromStdString(why))};
  }
  return loader;
}

std::optional<NetModuleSettings> NetModuleFrom(const QCommandLineParser& p) {
  if (!p.isSet("net-module")) {
    if (p.isSet("net-restart") || p.isSet("net-fault"))
      throw BadOption{QStringLiteral("--net-restart and --net-fault need --net-module")};
    return std::nullopt;
  }
  NetModuleSettings module;
  if (!ParseMac(p.value("net-module"), module.mac))
    throw BadOption{QStringLiteral("bad --net-module MAC address")};
  module.restartMs = IntOption(p, "net-restart", 0, 600000);
  if (p.isSet("net-fault")) {
    const QStringList names = {"silent", "short", "long", "code", "reset"};
    const qsizetype fault = names.indexOf(p.value("net-fault"));
    if (fault < 0)
      throw BadOption{QStringLiteral("--net-fault must be one of: ") + names.join(QStringLiteral(", "))};
    module.fault = static_cast<NetFault>(fault + 1);
  }
  return module;
}

std::optional<WirelessSettings> WirelessFrom(const QCommandLineParser& p) {
  if (!p.isSet("wifi-module")) {
    if (p.isSet("wifi-ftp-port") || p.isSet("wifi-store"))
      throw BadOption{QStringLiteral("--wifi-ftp-port and --wifi-store need --wifi-module")};
    return std::nullopt;
  }
  WirelessSettings wireless;
  wireless.ftpPort = static_cast<quint16>(IntOption(p, "wifi-ftp-port", 1, 65535));
  wireless.storeDir = p.value("wifi-store");
  return wireless;
}

void ReplayFrom(const QCommandLineParser& p, double trafficRate, ServerSettings& net) {
  if (!p.isSet("replay")) {
    if (p.isSet("replay-speed") || p.isSet("loop"))
      throw BadOption{QStringLiteral("--replay-speed and --loop need --replay")};
    return;
  }
  if (trafficRate > 0)
    throw BadOption{
        QStringLiteral("--replay and --traffic cannot be used together: the capture takes the "
                       "place of the generated traffic")};
  net.replayPath = p.value("replay");
  bool ok = false;
  net.replaySpeed = p.value("replay-speed").toDouble(&ok);
  if (!ok || !(net.replaySpeed >= kMinReplaySpeed && net.replaySpeed <= kMaxReplaySpeed))
    throw BadOption{
        QStringLiteral("--replay-speed must be %1 to %2").arg(kMinReplaySpeed).arg(kMaxReplaySpeed)};
  net.replayLoop = p.isSet("loop");
}

ServerSettings ServerFrom(const QCommandLineParser& p, std::uint32_t seed) {
  ServerSettings net;
  if (!net.address.setAddress(p.value("address")) || !net.address.isLoopback())
    throw BadOption{QStringLiteral("--address must be a loopback address")};
  net.port = static_cast<quint16>(IntOption(p, "port", 0, 65535));
  net.ptyPath = p.value("pty");
  PeerFrom(p.value("udp-peer"), net);
  net.recordPath = p.value("record");
  net.verbose = p.isSet("verbose");
  net.noiseRate = RateOption(p, "noise", 1e8);
  net.hangUpAfterMs = IntOption(p, "hangup-after", 0, 3600000);
  net.pace = p.isSet("pace");
  net.startInLoader = p.isSet("start-in-loader");
  net.loader = LoaderFrom(p, seed);
  net.netModule = NetModuleFrom(p);
  net.wireless = WirelessFrom(p);
  return net;
}

}  // namespace

std::optional<SimOptions> ParseSimOptions(const QStringList& arguments, QString& error) {
  QCommandLineParser p;
  AddOptions(p);
  p.process(arguments);
  try {
    SimOptions options;
    options.device = DeviceFrom(p);
    options.server = ServerFrom(p, options.device.seed);
    ReplayFrom(p, options.device.trafficRate, options.server);
    return options;
  } catch (const BadOption& bad) {
    error = bad.text;
    return std::nullopt;
  }
}

}  // namespace hlx::sim
