#include "session/Capture.h"

#include <charconv>

#include "link/Nmeadefs.h"

namespace hlx {

namespace {

constexpr char kTagDelimiter = '\\';
constexpr char kChecksumMark = '*';
constexpr std::size_t kChecksumDigits = 2;
constexpr std::size_t kTimeDigitsMax = 20;  // an int64 in decimal, sign included
constexpr std::size_t kTagOverhead = 8;     // "\", ",c:", "*hh", "\"
constexpr std::string_view kTimeParameter = "c:";
constexpr char kHex[] = "0123456789ABCDEF";

// The parameters of the line's leading TAG block and its length, or nothing
// when the line has no TAG block that can be trusted.
struct TagBlock {
  bool present = false;
  std::string_view parameters;
  std::size_t length = 0;  // both backslashes included
};

TagBlock LeadingTagBlock(std::string_view line) {
  if (line.empty() || line.front() != kTagDelimiter) return {};
  const std::size_t close = line.find(kTagDelimiter, 1);
  if (close == std::string_view::npos) return {};
  const std::string_view body = line.substr(1, close - 1);
  const std::size_t star = body.find(kChecksumMark);
  if (star == std::string_view::npos) return {true, body, close + 1};  // no checksum to check
  if (star + 1 + kChecksumDigits != body.size()) return {};
  const int high = HexDigitValue(body[star + 1]);
  const int low = HexDigitValue(body[star + 2]);
  // The sum starts after the opening backslash.
  if (high < 0 || low < 0 || NmeaChecksum(line.substr(0, 1 + star)) != high * 16 + low) return {};
  return {true, body.substr(0, star), close + 1};
}

}  // namespace

std::string CaptureLine(std::string_view line, std::int64_t unixMs) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const TagBlock tag = LeadingTagBlock(line);
  const std::string_view sentence = line.substr(tag.length);

  std::string out;
  out.reserve(line.size() + kTagOverhead + kTimeParameter.size() + kTimeDigitsMax + 2);
  out += kTagDelimiter;
  // The device's parameters in their order; a `c:` of its own gives way to the receive time.
  std::string_view rest = tag.parameters;
  while (tag.present && !rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view parameter = rest.substr(0, comma);
    if (!parameter.starts_with(kTimeParameter)) {
      out += parameter;
      out += ',';
    }
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  out += kTimeParameter;
  char digits[kTimeDigitsMax];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, unixMs).ptr);
  const std::uint8_t sum = NmeaChecksum(out);
  out += kChecksumMark;
  out += kHex[sum >> 4];
  out += kHex[sum & 0xF];
  out += kTagDelimiter;
  out += sentence;
  out += "\r\n";
  return out;
}

QString CaptureRecorder::Start(const QString& fileName) {
  Stop();
  m_lines = 0;
  m_file.setFileName(fileName);
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return QStringLiteral("Error Creating \"%1\"").arg(fileName);
  return {};
}

QString CaptureRecorder::Write(std::string_view line, std::int64_t unixMs) {
  if (!m_file.isOpen()) return {};
  const std::string text = CaptureLine(line, unixMs);
  const auto size = static_cast<qint64>(text.size());
  if (m_file.write(text.data(), size) == size && m_file.flush()) {
    ++m_lines;
    return {};
  }
  const QString error =
      QStringLiteral("Error writing \"%1\": %2").arg(m_file.fileName(), m_file.errorString());
  m_file.close();
  return error;
}

void CaptureRecorder::Stop() {
  if (m_file.isOpen()) m_file.close();
}

}  // namespace hlx
