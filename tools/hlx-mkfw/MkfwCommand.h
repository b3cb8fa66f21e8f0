#pragma once
// The hlx-mkfw command line: reads the image (or makes a synthetic one),
// builds the container and writes it through a temporary file and a rename,
// so a failed run never leaves a half-written or truncated output behind.

#include <string>
#include <vector>

namespace hlx::mkfw {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 2;

// `args` without the program name. Help goes to `out`, every error to `err`
// (one line, "hlx-mkfw: ..."). Returns the exit status.
int RunMkfw(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace hlx::mkfw
