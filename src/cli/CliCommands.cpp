#include "cli/CliCommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

#include "cli/ConsolePrompts.h"
#include "config/ConfigDiff.h"
#include "config/ConfigFile.h"
#include "link/Comms.h"

namespace hlx::cli {

namespace {

const char* const kUsage =
    "Usage: hlx-cli COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  ports                       serial ports and network channels, and what stands in the way\n"
    "  identify                    name, version, serial number, capabilities, generation\n"
    "  dump [-o FILE]              read the configuration into a configuration file\n"
    "  diff FILE                   what applying FILE would change on the device\n"
    "  apply FILE [--dry-run]      apply FILE, read it back and check it\n"
    "  monitor [--filter ADDRESS] [--tag] [--input N] [--rates]\n"
    "                              the traffic, one line per sentence, until interrupted\n"
    "  record -o FILE [--duration SECONDS]\n"
    "                              every received line with its receive time (TAG block c:,\n"
    "                              UNIX milliseconds) into a capture; - is standard output\n"
    "  inspect [--json] [--once SECONDS] [--input N]\n"
    "                              counts, rates and faults per input and sentence, once a second\n"
    "  flash [FILE | --builtin]    update the firmware\n"
    "\n"
    "Connection (every command but ports): --port PATH [--speed N|auto], --tcp HOST or --udp HOST.\n"
    "hlx-cli COMMAND --help describes a command. Exit codes: 0 ok, 1 diff found differences,\n"
    "2 usage, 3 connection, 4 not the current generation or in its bootloader, 5 read-back\n"
    "mismatch, 6 firmware, 7 file, 130 interrupted.\n";

void Print(const QString& text) {
  std::fputs(qPrintable(text), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintJson(const QJsonObject& o) {
  Print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)).trimmed());
}

int UsageError(const QString& text) {
  PrintError(text + QStringLiteral("\n(hlx-cli --help lists the commands)"));
  return ExitUsage;
}

// Host speed list of the window: 4800 .. 115200, then "Automatic".
bool ParseSpeed(const QString& text, int& index) {
  if (text.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
    index = kBaudAutomatic;
    return true;
  }
  for (int i = 0; i < kBaudAutomatic; ++i)
    if (text == QString::number(SpeedTable[static_cast<std::size_t>(i)])) {
      index = i;
      return true;
    }
  return false;
}

struct Command {
  QString name;
  QCommandLineParser parser;
  bool json = false;
};

void AddConnectionOptions(QCommandLineParser& p) {
  p.addOptions({{"port", "Serial port (a name of hlx-cli ports, or a path).", "PATH"},
                {"speed", "Speed of the serial port: 4800 .. 115200 or auto (default 115200).", "N|auto"},
                {"tcp", "Network model reached by TCP on port 10110.", "HOST"},
                {"udp", "Network model reached by UDP on port 10110.", "HOST"}});
}

int ConnectionFrom(const QCommandLineParser& p, ConnectOptions& c) {
  const int given = int(p.isSet("port")) + int(p.isSet("tcp")) + int(p.isSet("udp"));
  if (given != 1) return UsageError(QStringLiteral("give exactly one of --port, --tcp and --udp"));
  if (p.isSet("port")) {
    c.kind = ConnectOptions::Serial;
    c.address = p.value("port");
    if (p.isSet("speed") && !ParseSpeed(p.value("speed"), c.speedIndex))
      return UsageError(QStringLiteral("--speed must be 4800, 9600, 19200, 38400, 57600, 115200 or auto"));
  } else {
    if (p.isSet("speed")) return UsageError(QStringLiteral("--speed applies to --port only"));
    c.kind = p.isSet("tcp") ? ConnectOptions::Tcp : ConnectOptions::Udp;
    c.address = p.value(p.isSet("tcp") ? "tcp" : "udp");
  }
  return ExitOk;
}

// Reads FILE the way "Load Configuration..." does, onto a copy of `base`.
int ReadFile(const QString& name, DeviceConfig& config, FilterList& rules) {
  QStringList diagnostics;
  const bool read = hlx::LoadConfigFile(name, config, rules, &diagnostics);
  for (const QString& line : diagnostics) PrintError(name + QStringLiteral(": ") + line);
  if (!read || !QFile::exists(name)) {
    PrintError(QStringLiteral("Unable to read %1").arg(name));
    return ExitFile;
  }
  return ExitOk;
}

void PrintChanges(const std::vector<ConfigChange>& changes) {
  for (const ConfigChange& c : changes) {
    if (c.From.isEmpty())
      Print(QStringLiteral("%1: add %2").arg(c.Setting, c.To));
    else if (c.To.isEmpty())
      Print(QStringLiteral("%1: remove %2").arg(c.Setting, c.From));
    else
      Print(QStringLiteral("%1: %2 -> %3").arg(c.Setting, c.From, c.To));
  }
}

QJsonArray ChangesJson(const std::vector<ConfigChange>& changes) {
  QJsonArray out;
  for (const ConfigChange& c : changes)
    out.append(QJsonObject{{"setting", c.Setting}, {"from", c.From}, {"to", c.To}});
  return out;
}

int Identify(CliSession& s, const Command& cmd) {
  if (const int r = s.Identify(); r != ExitOk) return r;
  const DeviceIdentity& id = s.Identity();
  if (cmd.json) {
    PrintJson(IdentityJson(id));
    return ExitOk;
  }
  Print(QStringLiteral("Name:          %1").arg(id.ver.name));
  Print(QStringLiteral("Version:       %1").arg(id.ver.version));
  Print(QStringLiteral("Serial number: %1").arg(id.ver.serial));
  Print(QStringLiteral("Capabilities:  %1").arg(id.ver.hasCaps ? id.ver.caps : QStringLiteral("none")));
  Print(QStringLiteral("Host port:     %1")
            .arg(HostKindName(id.caps.valid && id.caps.supported ? id.caps.hostKind : -1)));
  Print(QStringLiteral("Generation:    %1").arg(GenerationText(id.form)));
  return ExitOk;
}

int Dump(CliSession& s, const Command& cmd) {
  if (const int r = s.ReadConfiguration(); r != ExitOk) return r;
  if (cmd.json) {
    QJsonObject o = IdentityJson(s.Identity());
    o[QStringLiteral("configuration")] = ConfigurationJson(s.Config(), s.Rules());
    PrintJson(o);
    return ExitOk;
  }
  const DeviceIdentity& id = s.Identity();
  const ConfigFileHeader header{ProgramVersion(), id.ver.name, id.ver.version, id.ver.serial};
  QString target = cmd.parser.value("output");
  QTemporaryDir dir;
  const bool toStdout = target.isEmpty() || target == QLatin1String("-");
  if (toStdout) target = dir.filePath(QStringLiteral("dump.ini"));
  if (const QString error = hlx::SaveConfigFile(target, header, s.Config(), s.Rules()); !error.isEmpty()) {
    PrintError(error);
    return ExitFile;
  }
  if (toStdout) {
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly)) return ExitFile;
    const QByteArray bytes = file.readAll();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
  }
  return ExitOk;
}

int DiffOrApply(CliSession& s, const Command& cmd, bool apply) {
  const QStringList files = cmd.parser.positionalArguments();
  if (files.size() != 1) return UsageError(cmd.name + QStringLiteral(" needs one configuration file"));
  {  // A file that cannot be read is refused before anything is sent.
    DeviceConfig probe;
    FilterList probeRules;
    if (const int r = ReadFile(files[0], probe, probeRules); r != ExitOk) return r;
  }
  if (const int r = s.ReadConfiguration(); r != ExitOk) return r;
  DeviceConfig wanted = s.Config();  // a file without "Options" keeps the device's word
  FilterList wantedRules;
  if (const int r = ReadFile(files[0], wanted, wantedRules); r != ExitOk) return r;
  const auto changes = DiffConfiguration(s.Config(), s.Rules(), wanted, wantedRules);
  if (cmd.json) {
    PrintJson(QJsonObject{{"changes", ChangesJson(changes)}});
  } else {
    PrintChanges(changes);
    if (changes.empty()) PrintError(QStringLiteral("The device holds what %1 says.").arg(files[0]));
  }
  if (!apply) return changes.empty() ? ExitOk : ExitDifferent;
  if (cmd.parser.isSet("dry-run")) return ExitOk;

  s.Apply(wanted, wantedRules);
  if (s.Interrupted()) return ExitInterrupted;
  if (const int r = s.ReadConfiguration(); r != ExitOk) return r;
  const auto left = DiffConfiguration(wanted, wantedRules, s.Config(), s.Rules());
  if (!left.empty() || !(s.Config() == wanted) || s.Rules().Rules() != wantedRules.Rules()) {
    PrintError(QStringLiteral("The device does not hold what %1 says:").arg(files[0]));
    for (const ConfigChange& c : left)
      PrintError(QStringLiteral("%1: the file says %2; the device holds %3")
                     .arg(c.Setting, c.From.isEmpty() ? QStringLiteral("(none)") : c.From,
                          c.To.isEmpty() ? QStringLiteral("(none)") : c.To));
    return ExitMismatch;
  }
  PrintError(QStringLiteral("Applied %1; the device holds it.").arg(files[0]));
  return ExitOk;
}

// One hlx-cli command: its description and options for its --help, and what runs it.
struct CommandEntry {
  const char* name;
  const char* summary;
  bool connects;  // every command but ports opens a session first
  bool json;      // offers --json
  bool files;     // takes file arguments
  void (*addOptions)(QCommandLineParser& p);
  int (*run)(CliSession& s, ConsolePrompts& prompts, const Command& cmd);
};

const CommandEntry kCommands[] = {
    {"ports", "Lists the serial ports and the network channels.", false, false, false, nullptr,
     [](CliSession&, ConsolePrompts&, const Command&) {
       for (const QString& line : PortStatusLines()) Print(line);
       return int(ExitOk);
     }},
    {"identify", "Identifies the multiplexer and names its generation.", true, true, false, nullptr,
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return Identify(s, cmd); }},
    {"dump", "Reads the configuration and the filter list into a configuration file of hlx-config.", true,
     true, false,
     [](QCommandLineParser& p) {
       p.addOption({{"o", "output"}, "Write to FILE instead of standard output.", "FILE"});
     },
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return Dump(s, cmd); }},
    {"diff", "Shows what applying FILE would change. Exit code 1: changes.", true, true, true,
     [](QCommandLineParser& p) { p.addPositionalArgument("FILE", "Configuration file."); },
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return DiffOrApply(s, cmd, false); }},
    {"apply",
     "Applies FILE as \"Load Configuration...\" does, reads the configuration back and checks it. Exit code "
     "5: "
     "the device does not hold what the file says.",
     true, false, true,
     [](QCommandLineParser& p) {
       p.addPositionalArgument("FILE", "Configuration file.");
       p.addOption({"dry-run", "Show the changes only."});
     },
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return DiffOrApply(s, cmd, true); }},
    {"monitor", "Prints the traffic until interrupted (Ctrl-C).", true, false, false,
     [](QCommandLineParser& p) {
       p.addOptions(
           {{"filter", "Only sentences whose address begins with ADDRESS ('-' matches any character).",
             "ADDRESS"},
            {"tag", "Keep the TAG blocks in the printed lines."},
            {"input", "Only input N (1..4, 5: converted), as the window's view filter.", "N"},
            {"rates", "Print sentences per second per address instead, once a second."},
            {"duration", "Stop after SECONDS.", "SECONDS"}});
     },
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return Monitor(s, cmd.parser); }},
    {"record",
     "Records every received line, with its receive time in a TAG block (c:, UNIX time in milliseconds), "
     "until interrupted (Ctrl-C). Sends nothing to the multiplexer.",
     true, false, false,
     [](QCommandLineParser& p) {
       p.addOptions({{{"o", "output"}, "Write the capture to FILE (- for standard output).", "FILE"},
                     {"duration", "Stop after SECONDS.", "SECONDS"}});
     },
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return Record(s, cmd.parser); }},
    {"inspect",
     "Prints the sentence inspector's table once a second until interrupted (Ctrl-C): per input and "
     "sentence the count, rate, age, longest gap and faults; * marks a sentence that stopped coming.",
     true, true, false,
     [](QCommandLineParser& p) {
       p.addOptions({{"once", "Print one table after SECONDS and end.", "SECONDS"},
                     {"input", "Only input N (1..9) and lines without a source.", "N"}});
     },
     [](CliSession& s, ConsolePrompts&, const Command& cmd) { return Inspect(s, cmd.parser, cmd.json); }},
    {"flash", "Updates the firmware from FILE or the built-in image.", true, false, true,
     [](QCommandLineParser& p) {
       p.addPositionalArgument("FILE", "Firmware container (*.hlx).", "[FILE]");
       p.addOptions({{"builtin", "The firmware image built into this program."},
                     {"yes", "Answer yes to the question before an older firmware is programmed."}});
     },
     [](CliSession& s, ConsolePrompts& prompts, const Command& cmd) {
       return Flash(s, prompts, cmd.parser);
     }},
};

const CommandEntry* FindCommand(const QString& name) {
  for (const CommandEntry& entry : kCommands)
    if (name == QLatin1String(entry.name)) return &entry;
  return nullptr;
}

// Reads the command's options; an exit code when the command ends here
// (a usage error, or --help answered).
std::optional<int> ParseCommand(const QStringList& args, const CommandEntry& entry, Command& cmd) {
  QCommandLineParser& p = cmd.parser;
  p.setApplicationDescription(QString::fromUtf8(entry.summary));
  p.addHelpOption();
  if (entry.connects) AddConnectionOptions(p);
  if (entry.json) p.addOption({"json", "Print JSON."});
  if (entry.addOptions) entry.addOptions(p);
  QStringList rest = args.mid(1);
  rest[0] = QStringLiteral("hlx-cli ") + cmd.name;
  if (!p.parse(rest)) return UsageError(p.errorText());
  if (p.isSet("help")) {
    // The parser names the program by its path; the command belongs there too.
    QString help = p.helpText();
    help.replace(QCoreApplication::arguments().constFirst(), QStringLiteral("hlx-cli ") + cmd.name);
    Print(help.trimmed());
    return ExitOk;
  }
  cmd.json = entry.json && p.isSet("json");
  if (entry.connects && !entry.files && !p.positionalArguments().isEmpty())
    return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().first()));
  return std::nullopt;
}

}  // namespace

int RunCli(const QStringList& args, CliSession& session, ConsolePrompts& prompts) {
  if (args.size() < 2 || args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h") ||
      args[1] == QLatin1String("help")) {
    std::fputs(kUsage, args.size() < 2 ? stderr : stdout);
    return args.size() < 2 ? ExitUsage : ExitOk;
  }
  if (args[1] == QLatin1String("--version")) {
    Print(QStringLiteral("hlx-cli ") + ProgramVersion());
    return ExitOk;
  }
  const CommandEntry* entry = FindCommand(args[1]);
  if (!entry) return UsageError(QStringLiteral("unknown command \"%1\"").arg(args[1]));
  Command cmd;
  cmd.name = args[1];
  if (const std::optional<int> done = ParseCommand(args, *entry, cmd)) return *done;
  if (!entry->connects) return entry->run(session, prompts, cmd);

  ConnectOptions connection;
  if (const int r = ConnectionFrom(cmd.parser, connection); r != ExitOk) return r;
  if (int r = session.Open(connection); r != ExitOk) return r;
  const int result = entry->run(session, prompts, cmd);
  // Whatever happened, the device is left as the window's Disconnect leaves it.
  session.Disconnect();
  // A monitor ends by being interrupted; anything else stopped short.
  return session.Interrupted() && result != ExitOk ? ExitInterrupted : result;
}

}  // namespace hlx::cli
