#pragma once
// What the fuzz targets share: a check that ends the run with a message (so
// libFuzzer keeps the input that broke an invariant), a view of the input,
// and read sizes that cut a stream the way reads of a port might.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(cond)                                     \
  do {                                                       \
    if (!(cond)) hlx::fuzz::Fail(#cond, __FILE__, __LINE__); \
  } while (false)

namespace hlx::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

inline std::string_view View(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline bool IsLineStart(char c) { return c == '$' || c == '!' || c == '\\'; }

// A command text as the program may hand it to the port: printable, with
// commas between its fields and no other sentence syntax.
inline bool IsPlainCommand(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E || c == '*' ||
        IsLineStart(c))
      return false;
  return true;
}

// Read sizes from 1 to `max`: another cut for every input (seeded by its
// bytes), the same cut on every run of one input.
class Cuts {
 public:
  Cuts(std::string_view bytes, std::size_t max) : m_max(max) {
    for (unsigned char c : bytes) m_state = (m_state ^ c) * 0x100000001B3ull;
  }
  std::size_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return 1 + static_cast<std::size_t>(m_state % m_max);
  }

 private:
  std::uint64_t m_state = 0xCBF29CE484222325ull;
  std::size_t m_max;
};

}  // namespace hlx::fuzz
