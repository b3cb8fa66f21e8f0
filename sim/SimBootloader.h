#pragma once
// The multiplexer's bootloader without any transport: bytes in, bytes out,
// as a function of a millisecond clock the caller passes in (like
// SimDevice::Advance). The server decides which channel it talks on.
//
// After a restart it announces itself with $PQVXLDR and repeats that every
// second until the first frame arrives. Frames are FE, payload (FD, FE and FF
// escaped by a leading FF), FD. It erases, enables decryption, programs
// 512-byte blocks into a 256 KiB flash (bits only clear, as in real flash)
// and reports a CRC-32; after the CRC it checks the deciphered image record
// and starts the new firmware, or restarts into itself when the image is not
// whole. A session that stalls restarts it too, as its watchdog would.

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace hlx::sim {

// Faults of the bootloader, switched on with --loader-fault. A lost or
// damaged reply is only the reply: the command itself is carried out.
struct LoaderFaults {
  enum class Reply : std::uint8_t { Normal, None, Bad };
  bool noAnnounce = false;  // never sends $PQVXLDR
  Reply erase = Reply::Normal;
  Reply decrypt = Reply::Normal;
  Reply crc = Reply::Normal;
  std::map<int, Reply> blocks;  // by block number
  bool crcMismatch = false;     // reports a CRC other than the real one and refuses the image
  int dropBlock = -1;           // the channel vanishes when this block arrives (once)
  bool garbage = false;         // noise before every reply frame
  bool noStart = false;         // a correct image that never starts: the bootloader comes back
};

// Adds one "KIND[:ARG]" to `faults`; false with `error` set when it is not understood.
bool AddLoaderFault(std::string_view text, LoaderFaults& faults, std::string& error);

struct LoaderSettings {
  int type = 0;            // multiplexer type announced in $PQVXLDR
  int replyDelayMs = 0;    // every reply waits this long
  std::uint32_t seed = 1;  // of the garbage fault
  LoaderFaults faults;
};

// What a valid image says about itself.
struct FirmwareRecord {
  std::string version;  // "major.minor.build"
  int type = 0;
};

class SimBootloader {
 public:
  static constexpr std::size_t kFlashSize = 0x40000;
  static constexpr std::size_t kBlockSize = 512;
  static constexpr int kRestartMs = 200;  // from a restart to the first announcement
  static constexpr int kAnnouncePeriodMs = 1000;
  static constexpr int kStartMs = 300;  // from the CRC reply to the restart
  // Longer than a host waits for a reply (2 s) plus its own failure handling,
  // so an abandoned session ends but a slow one is never cut.
  static constexpr int kWatchdogMs = 6000;

  struct Output {
    std::string bytes;                      // for the loader's channel
    bool hangUp = false;                    // the channel vanishes now
    std::optional<FirmwareRecord> started;  // the new firmware runs from now on
    std::vector<std::string> notes;         // what happened, for the log
  };

  explicit SimBootloader(const LoaderSettings& settings);

  // Restarts into the bootloader (the firmware got RESET, or the device
  // powers up in it). The flash keeps its content.
  void Restart(std::int64_t nowMs, Output& out);
  bool Active() const { return m_state != State::Off; }
  // True once a frame has arrived since the last restart.
  bool InSession() const { return m_state == State::Session || m_state == State::Starting; }

  void Receive(std::string_view bytes, std::int64_t nowMs, Output& out);
  // Everything due by `nowMs`: announcements, delayed replies, restarts.
  void Advance(std::int64_t nowMs, Output& out);

  // CRC-32 of the programmed blocks, as the CRC command reports it.
  std::uint32_t FlashCrc() const;

 private:
  enum class State : std::uint8_t { Off, Restarting, Waiting, Session, Starting };
  struct Pending {
    std::int64_t dueMs;
    std::string bytes;
    bool endsSession;
  };

  void FeedByte(std::uint8_t byte, std::int64_t nowMs, Output& out);
  void HandleFrame(const std::string& frame, std::int64_t nowMs, Output& out);
  void Reply(std::string payload, LoaderFaults::Reply fault, std::int64_t nowMs, bool endsSession = false);
  std::string Garbage();
  bool CheckImage(FirmwareRecord& record, std::string& why) const;

  LoaderSettings m_settings;
  State m_state = State::Off;
  std::int64_t m_nextMs = 0;  // next announcement, or the restart while Restarting/Starting
  std::int64_t m_lastFrameMs = 0;
  std::vector<std::uint8_t> m_flash;
  int m_highestBlock = -1;  // since the last erase
  bool m_decrypt = false;
  // Frame parser: idle until FE, then collecting (with the escape state).
  bool m_collecting = false;
  bool m_escaped = false;
  bool m_overlong = false;
  std::string m_frame;
  std::deque<Pending> m_pending;
  std::optional<FirmwareRecord> m_image;  // the checked image while Starting; none: refused...
  std::string m_refusal;                  // ...for this reason
  std::mt19937 m_random;
};

}  // namespace hlx::sim
