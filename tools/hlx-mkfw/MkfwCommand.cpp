#include "MkfwCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

#include "FirmwareMaker.h"

namespace hlx::mkfw {

namespace {

constexpr char kUsage[] =
    "usage: hlx-mkfw --version X.Y.Z [--type N] IMAGE -o OUT.hlx\n"
    "       hlx-mkfw --version X.Y.Z [--type N] --synthetic BYTES -o OUT.hlx\n"
    "Makes a firmware container for the bootloader from IMAGE (the firmware body)\n"
    "or from BYTES pseudo-random bytes (the same on every run).\n"
    "  --version X.Y.Z   firmware version, each part 0..255\n"
    "  --type N          multiplexer type 0..255, 0 fits every multiplexer (default 0)\n"
    "  --synthetic BYTES a stand-in body of BYTES bytes instead of IMAGE\n"
    "  -o, --output OUT  the container to write\n";

std::string SystemReason(int error) { return std::strerror(error); }

std::optional<std::size_t> ParseCount(const std::string& text, std::size_t max) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value > max) return std::nullopt;
  return value;
}

// `what` names the body and its size.
std::string TooBig(const std::string& what) {
  return what + " bytes, at most " + std::to_string(kMaxBody) + " fit: the bootloader's image area holds " +
         std::to_string(kImageArea) + " bytes and the image record takes " + std::to_string(kRecordSize) +
         " of them";
}

// The whole file, or nothing with `error` set.
std::optional<std::vector<std::uint8_t>> ReadImage(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + path + ": " + SystemReason(errno);
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > kMaxBody) {
    ::close(fd);
    error = TooBig(path + " holds " + std::to_string(st.st_size));
    return std::nullopt;
  }
  // One byte more than fits tells a pipe that is too long apart.
  std::vector<std::uint8_t> body(kMaxBody + 1);
  std::size_t got = 0;
  while (got < body.size()) {
    const ssize_t n = ::read(fd, body.data() + got, body.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + path + ": " + SystemReason(errno);
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got > kMaxBody) {
    error = TooBig(path + " holds more than " + std::to_string(kMaxBody));
    return std::nullopt;
  }
  body.resize(got);
  return body;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `bytes` next to `path` and renames it over `path`.
bool WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + SystemReason(errno);
    return false;
  }
  // mkstemp makes the file private; the output gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int why = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    why = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + SystemReason(why);
  }
  return ok;
}

struct Options {
  std::optional<std::string> version, type, synthetic, output;
  std::vector<std::string> images;
  bool help = false;
};

bool ParseArgs(const std::vector<std::string>& args, Options& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> inlineValue;
    if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
      inlineValue = arg.substr(arg.find('=') + 1);
      arg.resize(arg.find('='));
    }
    std::optional<std::string>* target = nullptr;
    if (arg == "--version") {
      target = &o.version;
    } else if (arg == "--type") {
      target = &o.type;
    } else if (arg == "--synthetic") {
      target = &o.synthetic;
    } else if (arg == "-o" || arg == "--output") {
      target = &o.output;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
      continue;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      o.images.push_back(arg);
      continue;
    }
    if (!inlineValue && i + 1 >= args.size()) {
      error = arg + " needs a value";
      return false;
    }
    *target = inlineValue ? *inlineValue : args[++i];
  }
  return true;
}

}  // namespace

int RunMkfw(const std::vector<std::string>& args, std::string& out, std::string& err) {
  const auto fail = [&err](const std::string& text) {
    err += "hlx-mkfw: " + text + (text.ends_with('\n') ? "" : "\n");
    return kExitError;
  };
  Options o;
  std::string error;
  if (!ParseArgs(args, o, error)) return fail(error + "\n" + kUsage);
  if (o.help) {
    out += kUsage;
    return kExitOk;
  }
  if (!o.version) return fail("--version X.Y.Z is required");
  const std::optional<Version> version = ParseVersion(*o.version);
  if (!version)
    return fail("bad --version \"" + *o.version + "\": three numbers 0..255 separated by dots, as in 3.33.1");
  std::uint8_t type = 0;
  if (o.type) {
    const std::optional<std::size_t> t = ParseCount(*o.type, 255);
    if (!t) return fail("bad --type \"" + *o.type + "\": a number 0..255");
    type = static_cast<std::uint8_t>(*t);
  }
  if (!o.output || o.output->empty()) return fail("no output file: give -o OUT.hlx");
  if (o.images.size() > 1) return fail("one IMAGE only, got " + std::to_string(o.images.size()));
  if (o.synthetic && !o.images.empty()) return fail("give either IMAGE or --synthetic, not both");

  std::vector<std::uint8_t> body;
  if (o.synthetic) {
    const std::optional<std::size_t> size = ParseCount(*o.synthetic, SIZE_MAX);
    if (!size) return fail("bad --synthetic \"" + *o.synthetic + "\": a number of bytes");
    if (*size > kMaxBody) return fail(TooBig("--synthetic " + *o.synthetic));
    body = SyntheticBody(*size);
  } else if (!o.images.empty()) {
    std::optional<std::vector<std::uint8_t>> read = ReadImage(o.images.front(), error);
    if (!read) return fail(error);
    body = std::move(*read);
  } else {
    return fail("no IMAGE file and no --synthetic\n" + std::string(kUsage));
  }
  if (!WriteAtomically(*o.output, BuildContainer(*version, type, body), error)) return fail(error);
  return kExitOk;
}

}  // namespace hlx::mkfw
