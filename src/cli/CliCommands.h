#pragma once
// hlx-cli's commands: ports, identify, dump, diff, apply, monitor, record, inspect, flash.
// Each opens the window's session (CliSession), does what the window's
// buttons and menus do, and returns one of the documented exit codes.

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "cli/CliSession.h"

class QCommandLineParser;

namespace hlx::cli {

class ConsolePrompts;

// Runs the command line `args` (program name first). `session` is made by
// the caller so that a signal handler can interrupt it.
int RunCli(const QStringList& args, CliSession& session, ConsolePrompts& prompts);

// The commands that run until stopped (CliMonitor.cpp), on an open session.
int Monitor(CliSession& s, const QCommandLineParser& p);
int Flash(CliSession& s, ConsolePrompts& prompts, const QCommandLineParser& p);
// Captures and the sentence inspector (CliRecord.cpp, CliInspect.cpp).
int Record(CliSession& s, const QCommandLineParser& p);
int Inspect(CliSession& s, const QCommandLineParser& p, bool json);
// A time option in seconds as milliseconds (`ms` stays -1 when it is not
// given); false after the usage error was printed.
bool SecondsOption(const QCommandLineParser& p, const QString& name, int& ms);

// Output helpers (CliOutput.cpp).
QString HostKindName(int hostKind);
QString GenerationText(const FormChoice& form);
QJsonObject IdentityJson(const DeviceIdentity& identity);
QJsonObject ConfigurationJson(const DeviceConfig& config, const FilterList& rules);
QStringList PortStatusLines();

}  // namespace hlx::cli
