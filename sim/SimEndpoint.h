#pragma once
// What the transports share: a line received on any of them goes to one
// handler, which returns the reply lines for the same place.

#include <QByteArray>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hlx::sim {

using LineHandler = std::function<std::vector<std::string>(const std::string& line)>;
// While the device runs its bootloader a stream endpoint hands it the raw
// bytes instead of lines; null means line mode.
using ByteSink = std::function<void(std::string_view bytes)>;

// Output waiting for a slow reader is capped; live traffic beyond the cap is
// dropped (as a device's full transmit queue would), replies never are.
inline constexpr qsizetype kMaxPendingOutput = 256 * 1024;

inline QByteArray JoinLines(const std::vector<std::string>& lines) {
  QByteArray out;
  for (const std::string& l : lines) out.append(l.data(), static_cast<qsizetype>(l.size()));
  return out;
}

}  // namespace hlx::sim
