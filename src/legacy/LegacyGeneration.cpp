#include "legacy/LegacyGeneration.h"

namespace hlx::legacy {

namespace {

// CF fields in Option order: SeaTalk, Priority, ChannelNumbers, ChannelIds, HdgToHdt, AisOnIn1.
constexpr Generation kGen1{.number = 1,
                           .titleSuffix = " (V1.42)",
                           .cfField = {0, 3, 4, 5, 7, 0},
                           .realTimeField = 6,
                           .cfFieldCount = 7,
                           .fileOption = {false, true, true, true, false, false},
                           .monitorLines = 12,
                           .sentenceLength = 3,
                           .divisor = false,
                           .timedLog = false,
                           .compactGrid = true,
                           .capture = CaptureKind::ChannelIds,
                           .model = ModelCheck::SerialAndVersion,
                           .configEnabledAtStart = false,
                           .channelCaptions = true,
                           .hostSpeedList = "cbBaudRate",
                           .optionsGroup = "gbConfig",
                           .autoModeCaption = "Automatic"};
constexpr Generation kGen2{.number = 2,
                           .titleSuffix = " (V2.42)",
                           .cfField = {3, 4, 5, 6, 8, 0},
                           .realTimeField = 7,
                           .cfFieldCount = 8,
                           .fileOption = {true, true, true, true, true, false},
                           .capture = CaptureKind::ChannelNumbersNotIds,
                           .model = ModelCheck::CapabilityLayout,
                           .aisMode = true,
                           .configEnabledAtStart = false,
                           .channelCaptions = true,
                           .hostSpeedList = "cbBaudRate",
                           .optionsGroup = "gbConfig"};
constexpr Generation kGen3{.number = 3,
                           .titleSuffix = " (V3.01)",
                           .cfField = {3, 4, 5, 0, 7, 0},
                           .realTimeField = 6,
                           .cfFieldCount = 7,
                           .fileOption = {true, true, true, false, true, false},
                           .aisMode = true,
                           .channelCaptions = true,
                           .hostSpeedList = "cbBaudRate"};
constexpr Generation kGen4{.number = 4,
                           .titleSuffix = " (V3.13)",
                           .cfField = {3, 4, 5, 0, 7, 8},
                           .realTimeField = 6,
                           .cfFieldCount = 8,
                           .fileOption = {true, true, true, false, true, true},
                           .portSpeeds = true,
                           .hostKindTest = true};

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
