// hlx-sim's capture reader on arbitrary files: each line of the file is
// played or skipped on its own, in order; a played line ends in its only
// CR LF and keeps the sentence after its TAG blocks as it was in the file;
// of its TAG blocks, exactly the one with the receive time ("c:") loses it
// (a device's broken TAG block that the recorder kept behind its own goes as
// it came, "c:" or not), and a line without one is played unchanged (so is
// a diagnostic log's text). Times start at 0, never go back and never jump
// by more than the longest pause.

#include <algorithm>
#include <string>

#include "CaptureReplay.h"
#include "FuzzCheck.h"

using namespace hlx::sim;

namespace {

// What follows the leading TAG blocks; `timed` counts those with a "c:" parameter.
std::string_view Sentence(std::string_view line, int& timed) {
  timed = 0;
  while (line.size() >= 2 && line[0] == '\\') {
    const std::size_t end = line.find('\\', 1);
    if (end == std::string_view::npos) break;
    const std::string_view inside = line.substr(1, end - 1);
    const std::string_view content = inside.substr(0, inside.find('*'));  // the parameters
    timed += content.starts_with("c:") || content.find(",c:") != std::string_view::npos;
    line.remove_prefix(end + 1);
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file = hlx::fuzz::View(data, size);
  const ReplayScript whole = ParseCapture(file);
  std::size_t played = 0;
  int skipped = 0;
  for (std::size_t start = 0; start < file.size();) {
    const std::size_t end = std::min(file.find('\n', start), file.size());
    std::string_view line = file.substr(start, end - start);
    start = end + 1;
    // Alone, a blank line is an empty file: no line at all.
    const ReplayScript alone = ParseCapture(line);
    FUZZ_CHECK(alone.lines.size() + static_cast<std::size_t>(alone.skipped) == (line.empty() ? 0u : 1u));
    skipped += line.empty() ? 1 : alone.skipped;
    if (alone.lines.empty()) continue;
    const std::string& bytes = alone.lines[0].bytes;
    FUZZ_CHECK(played < whole.lines.size() && whole.lines[played++].bytes == bytes);
    FUZZ_CHECK(bytes.size() > 2 && bytes.find('\n') == bytes.size() - 1 && bytes.ends_with("\r\n"));
    if (line.starts_with('[')) continue;  // a diagnostic log's text
    while (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view sent = std::string_view(bytes).substr(0, bytes.size() - 2);
    int timedInFile = 0, timedSent = 0;
    FUZZ_CHECK(Sentence(line, timedInFile) == Sentence(sent, timedSent));
    FUZZ_CHECK(timedInFile == 0 ? sent == line : timedSent == timedInFile - 1);
  }
  FUZZ_CHECK(whole.skipped == skipped && whole.lines.size() == played);
  for (std::size_t i = 0; i < played; ++i) {
    const std::int64_t pause = whole.lines[i].atMs - (i == 0 ? 0 : whole.lines[i - 1].atMs);
    FUZZ_CHECK(pause >= 0 && pause <= (i == 0 ? 0 : kMaxPauseMs));
  }
  return 0;
}
