#include "legacy/LegacyGeneration.h"

namespace hlx::legacy {

namespace {

// CF fields in Option order: SeaTalk, Priority, ChannelNumbers, ChannelIds, HdgToHdt, AisOnIn1.
constexpr Generation kGen1{1,
                           " (V1.42)",
                           {0, 3, 4, 5, 7, 0},
                           6,
                           7,
                           {false, true, true, true, false, false},
                           false,
                           false,
                           12,
                           3,
                           false,
                           false,
                           CaptureKind::ChannelIds};
constexpr Generation kGen2{2,
                           " (V2.42)",
                           {3, 4, 5, 6, 8, 0},
                           7,
                           8,
                           {true, true, true, true, true, false},
                           false,
                           false,
                           13,
                           5,
                           true,
                           true,
                           CaptureKind::ChannelNumbersNotIds};
constexpr Generation kGen3{3,
                           " (V3.01)",
                           {3, 4, 5, 0, 7, 0},
                           6,
                           7,
                           {true, true, true, false, true, false},
                           false,
                           false,
                           13,
                           5,
                           true,
                           true,
                           CaptureKind::ChannelNumbers};
constexpr Generation kGen4{4,
                           " (V3.13)",
                           {3, 4, 5, 0, 7, 8},
                           6,
                           8,
                           {true, true, true, false, true, true},
                           true,
                           true,
                           13,
                           5,
                           true,
                           true,
                           CaptureKind::ChannelNumbers};

}  // namespace

const Generation& GenerationFor(int number) {
  switch (number) {
    case 1: return kGen1;
    case 2: return kGen2;
    case 3: return kGen3;
    default: return kGen4;
  }
}

}  // namespace hlx::legacy
