#pragma once
// hlx-sim's command line turned into the settings of the device and of its
// transports. A bad value is refused with a message that names the option.

#include <QString>
#include <QStringList>
#include <optional>

#include "SimServer.h"

namespace hlx::sim {

struct SimOptions {
  SimSettings device;
  ServerSettings server;
};

// `arguments` as the program receives them (its name first). --help and an
// unknown option print and end the program, as for every Qt program; a bad
// value returns nothing and leaves the reason in `error`.
std::optional<SimOptions> ParseSimOptions(const QStringList& arguments, QString& error);

}  // namespace hlx::sim
