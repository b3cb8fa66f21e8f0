#pragma once
// Turns a command-style text ("PQVXSP,R,0,1") into a received line.

#include <string>

#include "link/Nmeadefs.h"

namespace hlx::test {

inline std::string Received(const std::string& text) { return CompleteSentence(text); }
inline std::string ReceivedWithTag(const std::string& tag, const std::string& text) {
  return tag + CompleteSentence(text);
}

}  // namespace hlx::test
