#pragma once
// Which parts of the window a connected model has, decided from its version
// reply: generation 1 derives a model class from the serial number and the
// version, generation 2 reads its capability word. Pure code; the window
// only applies the result.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

#include "legacy/LegacyGeneration.h"

namespace hlx::legacy {

// Bits of a generation-1 model class.
inline constexpr std::uint16_t kClassFull = 0x0001;     // full model: files, real-time, IDs, filter
inline constexpr std::uint16_t kClassSeaTalk = 0x0008;  // simple model with the SeaTalk conversion
inline constexpr std::uint16_t kClassHdg = 0x0010;      // full model with the HDG translation

// Bits of a generation-2 capability word (and bit 7 of generation 3's).
inline constexpr std::uint16_t kCapsFull = 0x0008;
inline constexpr std::uint16_t kCapsSeaTalk = 0x0010;
inline constexpr std::uint16_t kCapsDivisor = 0x0020;
inline constexpr std::uint16_t kCapsAisMode = 0x0080;

struct ModelLayout {
  bool full = false;      // file menu items, "Config file:" panel, real-time, talker IDs, filter list
  int optionsHeight = 0;  // of the options group; 0 hides it
  std::array<bool, kOptionCount> shown{};  // option boxes shown, in Option order
  bool priorityAsSeaTalk = false;          // the priority box carries the SeaTalk conversion
  bool divisorColumn = true;               // "Div" column, and divisors stored to the device
  bool operator==(const ModelLayout&) const = default;
};

// Generation 1: the class named by the first characters of serial number and
// version; a serial number that names no known model keeps `previous`.
std::uint16_t ModelClassFor(const QString& serial, const QString& version, std::uint16_t previous);
ModelLayout LayoutForModelClass(std::uint16_t modelClass);

// Generation 2: what the capability word says the model has.
ModelLayout LayoutForCaps(std::uint16_t caps);

// The modes a generation-2 or -3 device offers.
QStringList ModeItems(std::uint16_t caps);

}  // namespace hlx::legacy
