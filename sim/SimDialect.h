#pragma once
// One firmware generation's way of talking: which commands it understands
// and how its replies look. The device core owns one; adding a generation
// means adding a dialect, not touching the transports or the traffic.

#include <memory>
#include <string>
#include <vector>

namespace hlx::sim {

class SimDevice;
struct SimConfig;

class SimDialect {
 public:
  virtual ~SimDialect() = default;
  // `line` is a received sentence whose checksum was verified, CR LF at its
  // end. Appends the complete wire text of every reply to `replies`.
  virtual void HandleSentence(const std::string& line, SimDevice& device,
                              std::vector<std::string>& replies) = 0;
  // Whether live sentences carry a TAG block naming their source right now.
  virtual bool TagBlocksOn(const SimDevice& device) const = 0;
  // What the firmware sends on its own when it has started (wire text).
  virtual std::vector<std::string> StartUpLines(const SimDevice&) const { return {}; }
  // Called before each live line from `source` (1..5) is sent; may put a line
  // of its own in front of it.
  virtual void BeforeLiveLine(const SimDevice& /*device*/, int /*source*/, std::string& /*out*/) {}
  // May rewrite a live sentence from `source` (without checksum) before it is sent.
  virtual void RewriteLiveLine(const SimDevice& /*device*/, int /*source*/, std::string& /*body*/) const {}
  // Turns the generation-neutral factory settings into this generation's.
  virtual void AdjustFactory(SimConfig& /*config*/) const {}
};

// The dialect of a generation (0 = current), or null when not simulated.
std::unique_ptr<SimDialect> MakeDialect(int generation);

}  // namespace hlx::sim
