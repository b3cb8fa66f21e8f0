#include "SimBootloader.h"

#include <algorithm>
#include <charconv>

#include "SimSentence.h"

namespace hlx::sim {

namespace {

constexpr std::uint8_t kStart = 0xFE;
constexpr std::uint8_t kEnd = 0xFD;
constexpr std::uint8_t kEscape = 0xFF;
constexpr std::size_t kMaxPayload = 1024;

constexpr std::uint8_t kCmdErase = 0x01;
constexpr std::uint8_t kCmdBlock = 0x03;
constexpr std::uint8_t kCmdCrc = 0x05;
constexpr std::uint8_t kCmdDecrypt = 0x06;
constexpr std::uint8_t kAck = 0x80;
constexpr std::uint8_t kRefused = 0x81;
constexpr char kHello[] = "\xF0\xF1\xF2\xF3";
constexpr std::size_t kBlockCommandSize = 3 + SimBootloader::kBlockSize;
constexpr int kBlockCount = static_cast<int>(SimBootloader::kFlashSize / SimBootloader::kBlockSize);

// The image record at the start of the deciphered flash.
constexpr char kImageMagic[] = "HLXI";
constexpr std::size_t kRecordSize = 16;
constexpr std::uint32_t kKeySeed = 0x484C5831;

std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

std::uint32_t Le32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

// The decryption key byte of every flash address.
const std::vector<std::uint8_t>& Keystream() {
  static const std::vector<std::uint8_t> keys = [] {
    std::vector<std::uint8_t> k(SimBootloader::kFlashSize);
    std::uint32_t s = kKeySeed;
    for (std::uint8_t& key : k) {
      s ^= s << 13;
      s ^= s >> 17;
      s ^= s << 5;
      key = static_cast<std::uint8_t>(s);
    }
    return k;
  }();
  return keys;
}

std::string EncodeFrame(const std::string& payload) {
  std::string wire(1, static_cast<char>(kStart));
  for (char c : payload) {
    if (Byte(c) >= kEnd) wire += static_cast<char>(kEscape);
    wire += c;
  }
  wire += static_cast<char>(kEnd);
  return wire;
}

bool ParseBlockArg(std::string_view arg, int& block) {
  constexpr std::string_view kPrefix = "block=";
  if (!arg.starts_with(kPrefix)) return false;
  arg.remove_prefix(kPrefix.size());
  const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), block);
  return ec == std::errc() && end == arg.data() + arg.size() && block >= 0 && block < kBlockCount;
}

}  // namespace

bool AddLoaderFault(std::string_view text, LoaderFaults& faults, std::string& error) {
  const std::size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  const std::string_view arg = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  const bool hasArg = colon != std::string_view::npos;
  const std::string blockRange = "block=K with K 0.." + std::to_string(kBlockCount - 1);
  if (kind == "no-announce" || kind == "crc-mismatch" || kind == "garbage" || kind == "no-start") {
    if (hasArg) {
      error = std::string(kind) + " takes no argument";
      return false;
    }
    if (kind == "no-announce") faults.noAnnounce = true;
    if (kind == "crc-mismatch") faults.crcMismatch = true;
    if (kind == "garbage") faults.garbage = true;
    if (kind == "no-start") faults.noStart = true;
    return true;
  }
  if (kind == "no-reply" || kind == "bad-reply") {
    const auto reply = kind == "no-reply" ? LoaderFaults::Reply::None : LoaderFaults::Reply::Bad;
    int block = 0;
    if (arg == "erase") {
      faults.erase = reply;
    } else if (arg == "decrypt") {
      faults.decrypt = reply;
    } else if (arg == "crc") {
      faults.crc = reply;
    } else if (ParseBlockArg(arg, block)) {
      faults.blocks[block] = reply;
    } else {
      error = std::string(kind) + " needs :erase, :decrypt, :crc or :" + blockRange;
      return false;
    }
    return true;
  }
  if (kind == "drop") {
    if (!ParseBlockArg(arg, faults.dropBlock)) {
      error = "drop needs :" + blockRange;
      return false;
    }
    return true;
  }
  error = "unknown kind \"" + std::string(kind) +
          "\" (one of no-announce, no-reply, bad-reply, crc-mismatch, drop, garbage, no-start)";
  return false;
}

SimBootloader::SimBootloader(const LoaderSettings& settings)
    : m_settings(settings), m_flash(kFlashSize, 0x00), m_random(settings.seed ^ 0xB007u) {}

void SimBootloader::Restart(std::int64_t nowMs, Output& out) {
  m_state = State::Restarting;
  m_nextMs = nowMs + kRestartMs;
  m_decrypt = false;
  m_collecting = m_escaped = m_overlong = false;
  m_frame.clear();
  m_pending.clear();
  m_image.reset();
  out.notes.push_back("bootloader: restart");
}

std::uint32_t SimBootloader::FlashCrc() const {
  return Crc32(m_flash.data(), static_cast<std::size_t>(m_highestBlock + 1) * kBlockSize);
}

void SimBootloader::Receive(std::string_view bytes, std::int64_t nowMs, Output& out) {
  Advance(nowMs, out);
  // Restarting it is not running yet; starting it no longer listens.
  if (m_state != State::Waiting && m_state != State::Session) return;
  for (char c : bytes) FeedByte(Byte(c), nowMs, out);
  Advance(nowMs, out);
}

void SimBootloader::FeedByte(std::uint8_t byte, std::int64_t nowMs, Output& out) {
  if (m_escaped) {
    m_escaped = false;
  } else if (byte == kStart) {
    // A start inside a frame begins a new one: the host gave up on the old.
    m_collecting = true;
    m_overlong = false;
    m_frame.clear();
    return;
  } else if (!m_collecting) {
    return;
  } else if (byte == kEnd) {
    m_collecting = false;
    if (!m_frame.empty() || m_overlong) HandleFrame(m_frame, nowMs, out);
    return;
  } else if (byte == kEscape) {
    m_escaped = true;
    return;
  }
  if (m_frame.size() < kMaxPayload)
    m_frame += static_cast<char>(byte);
  else
    m_overlong = true;
}

void SimBootloader::HandleFrame(const std::string& frame, std::int64_t nowMs, Output& out) {
  m_lastFrameMs = nowMs;
  if (m_state == State::Waiting) m_state = State::Session;
  const LoaderFaults& faults = m_settings.faults;
  const auto refuse = [&] {
    Reply(std::string(1, static_cast<char>(kRefused)), LoaderFaults::Reply::Normal, nowMs);
  };
  const std::string ack(1, static_cast<char>(kAck));
  if (m_overlong) {
    refuse();
    return;
  }
  const std::uint8_t command = Byte(frame[0]);
  if (frame == kHello) return;  // no reply
  if (command == kCmdErase && frame.size() == 1) {
    std::fill(m_flash.begin(), m_flash.end(), 0xFF);
    m_highestBlock = -1;
    Reply(ack, faults.erase, nowMs);
  } else if (command == kCmdDecrypt && frame.size() == 2 && Byte(frame[1]) <= 1) {
    m_decrypt = frame[1] == 1;
    Reply(ack, faults.decrypt, nowMs);
  } else if (command == kCmdBlock && frame.size() == kBlockCommandSize) {
    const int block = Byte(frame[1]) | Byte(frame[2]) << 8;
    if (block >= kBlockCount) {
      refuse();
      return;
    }
    if (block == m_settings.faults.dropBlock) {
      m_settings.faults.dropBlock = -1;  // a glitch, not a broken device: a retry gets through
      out.hangUp = true;
      out.notes.push_back("bootloader: channel dropped at block " + std::to_string(block));
      return;
    }
    const std::size_t address = static_cast<std::size_t>(block) * kBlockSize;
    const std::vector<std::uint8_t>& keys = Keystream();
    for (std::size_t i = 0; i < kBlockSize; ++i) {
      std::uint8_t b = Byte(frame[3 + i]);
      if (m_decrypt) b ^= keys[address + i];
      m_flash[address + i] &= b;  // flash bits only clear; an erase sets them
    }
    m_highestBlock = std::max(m_highestBlock, block);
    const auto fault = faults.blocks.find(block);
    Reply(ack, fault == faults.blocks.end() ? LoaderFaults::Reply::Normal : fault->second, nowMs);
  } else if (command == kCmdCrc && frame.size() == 1) {
    std::uint32_t crc = FlashCrc();
    FirmwareRecord record;
    m_image = CheckImage(record, m_refusal) ? std::optional(record) : std::nullopt;
    if (faults.crcMismatch) {
      crc = ~crc;
      m_image.reset();
      m_refusal = "CRC fault";
    }
    std::string reply(1, static_cast<char>(kCmdCrc));
    for (int i = 0; i < 4; ++i) reply += static_cast<char>(crc >> (8 * i));
    Reply(reply, faults.crc, nowMs, true);
  } else {
    refuse();
  }
}

void SimBootloader::Reply(std::string payload, LoaderFaults::Reply fault, std::int64_t nowMs,
                          bool endsSession) {
  std::string bytes;
  if (fault != LoaderFaults::Reply::None) {
    if (fault == LoaderFaults::Reply::Bad) payload[0] = static_cast<char>(kRefused);
    if (m_settings.faults.garbage) bytes = Garbage();
    bytes += EncodeFrame(payload);
  }
  std::int64_t due = nowMs + m_settings.replyDelayMs;
  if (!m_pending.empty()) due = std::max(due, m_pending.back().dueMs);
  m_pending.push_back({due, std::move(bytes), endsSession});
}

std::string SimBootloader::Garbage() {
  // Never a frame start; otherwise what a noisy line brings: ends, escapes,
  // high bytes and text that looks like a sentence.
  const auto run = [this](std::string& s) {
    for (unsigned n = m_random() % 9; n > 0; --n) {
      char c;
      do c = static_cast<char>(m_random() & 0xFFu);
      while (Byte(c) == kStart);
      s += c;
    }
  };
  std::string s;
  run(s);
  s += static_cast<char>(kEnd);
  run(s);
  s += "$GPGLL,5419.20,N,01008.41,E*";
  s += static_cast<char>(kEscape);
  run(s);
  return s;
}

bool SimBootloader::CheckImage(FirmwareRecord& record, std::string& why) const {
  const std::size_t extent = static_cast<std::size_t>(m_highestBlock + 1) * kBlockSize;
  const std::uint8_t* f = m_flash.data();
  if (extent < kRecordSize || !std::equal(kImageMagic, kImageMagic + 4, f)) {
    why = "no image record";
    return false;
  }
  const std::uint32_t length = Le32(f + 8);
  if (length > extent - kRecordSize) {
    why = "body of " + std::to_string(length) + " bytes beyond the programmed blocks";
    return false;
  }
  if (Crc32(f + kRecordSize, length) != Le32(f + 12)) {
    why = "body CRC wrong";
    return false;
  }
  const int type = f[7];
  if (type != 0 && type != m_settings.type) {
    why = "image for multiplexer type " + std::to_string(type) + ", this is type " +
          std::to_string(m_settings.type);
    return false;
  }
  record.version = std::to_string(f[4]) + "." + std::to_string(f[5]) + "." + std::to_string(f[6]);
  record.type = type;
  return true;
}

void SimBootloader::Advance(std::int64_t nowMs, Output& out) {
  while (!m_pending.empty() && m_pending.front().dueMs <= nowMs) {
    const Pending p = std::move(m_pending.front());
    m_pending.pop_front();
    out.bytes += p.bytes;
    if (p.endsSession) {
      m_state = State::Starting;
      m_nextMs = p.dueMs + kStartMs;
    }
  }
  switch (m_state) {
    case State::Off: break;
    case State::Restarting:
    case State::Waiting:
      if (nowMs < m_nextMs) break;
      m_state = State::Waiting;
      m_nextMs = std::max(m_nextMs + kAnnouncePeriodMs, nowMs + 1);
      if (!m_settings.faults.noAnnounce)
        out.bytes += WireSentence("PQVXLDR," + HexByte(static_cast<std::uint8_t>(m_settings.type)));
      break;
    case State::Session:
      if (m_pending.empty() && nowMs - m_lastFrameMs >= kWatchdogMs) {
        out.notes.push_back("bootloader: no host, watchdog");
        Restart(nowMs, out);
      }
      break;
    case State::Starting:
      if (nowMs < m_nextMs) break;
      if (m_image && m_settings.faults.noStart) {
        out.notes.push_back("bootloader: image " + m_image->version + " does not start");
        Restart(nowMs, out);
      } else if (m_image) {
        out.notes.push_back("bootloader: image " + m_image->version + " accepted");
        out.started = m_image;
        m_state = State::Off;
      } else {
        out.notes.push_back("bootloader: image refused: " + m_refusal);
        Restart(nowMs, out);
      }
      break;
  }
}

}  // namespace hlx::sim
