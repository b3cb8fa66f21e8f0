// Replies of the older generations from arbitrary bytes, one line at a time:
// every value a reply sets is in range, the filter list a load or a capture
// builds never exceeds 50 valid entries, a version reply only ever names a
// layout the window has, and nothing built from those values puts a
// delimiter or control character on the wire.

#include <algorithm>

#include "FuzzCheck.h"
#include "legacy/LegacyFilterList.h"
#include "legacy/LegacyModel.h"
#include "legacy/LegacyProtocol.h"
#include "session/ConnectionRules.h"

using namespace hlx;
using namespace hlx::legacy;

using hlx::fuzz::IsPlainCommand;

namespace {
bool KnownLayout(const ModelLayout& l) {
  static constexpr int kHeights[] = {0, 41, 73, 89, 105};
  return std::find(std::begin(kHeights), std::end(kHeights), l.optionsHeight) != std::end(kHeights) &&
         (l.optionsHeight == 0) == std::none_of(l.shown.begin(), l.shown.end(), [](bool b) { return b; });
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = hlx::fuzz::View(data, size);
  const int generation = size ? 1 + data[0] % 4 : 4;
  const Generation& gen = GenerationFor(generation);
  LegacyFilterList loaded(gen), captured(gen);
  CaptureTracker capture(gen);
  capture.Start();
  std::array<int, kPortSpeeds> speeds{-1, -1, -1, -1, -1};
  std::array<QString, kInputs> ids;
  std::uint16_t modelClass = 0;
  const int modes = gen.aisMode ? kModeItemsWithAis : kModeItems;

  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    const std::string_view line = bytes.substr(start, end - start);
    start = end;

    switch (KindOf(line)) {
      case ReplyKind::Cf: {
        const CfReply r = ParseCf(gen, line);
        FUZZ_CHECK(!r.hostSpeed || (*r.hostSpeed >= 0 && *r.hostSpeed < kSpeedItems));
        FUZZ_CHECK(!r.mode || (*r.mode >= 0 && *r.mode < modes));
        if (r.mode) FUZZ_CHECK(ModeCommand(*r.mode).size() == 9);
        for (int o = 0; o < kOptionCount; ++o)
          if (r.options[o])
            FUZZ_CHECK(IsPlainCommand(OptionCommand(gen, static_cast<Option>(o), *r.options[o])));
        break;
      }
      case ReplyKind::Sp: {
        const SpReply r = ParseSp(line);
        for (int i = 0; i < kPortSpeeds; ++i)
          if (r.speeds[i]) speeds[i] = *r.speeds[i];
        const std::string c = SpeedCommand(speeds);
        FUZZ_CHECK(IsPlainCommand(c) && std::count(c.begin(), c.end(), ',') == kPortSpeeds);
        break;
      }
      case ReplyKind::Id: {
        const IdReply r = ParseId(line);
        for (int i = 0; i < kInputs; ++i)
          if (r.ids[i]) ids[i] = *r.ids[i];
        const std::string c = TalkerIdCommand(ids);
        FUZZ_CHECK(IsPlainCommand(c) && std::count(c.begin(), c.end(), ',') == kInputs);
        break;
      }
      case ReplyKind::Ov:
        if (const auto ov = ParseOv(line)) FUZZ_CHECK(*ov >= 0 && *ov <= 15);
        break;
      case ReplyKind::Ver: {
        const VerReply r = ParseVerReply(line);
        if (r.hasCaps) {
          FUZZ_CHECK(r.caps.size() == 4);
          const Capabilities c = ParseCapabilities(r.caps);
          FUZZ_CHECK(c.valid || c.word == 0);
          FUZZ_CHECK(KnownLayout(LayoutForCaps(c.word)));
          FUZZ_CHECK(ModeItems(c.word).size() == 3 + ((c.word & kCapsAisMode) != 0));
        }
        modelClass = ModelClassFor(r.serial, r.version, modelClass);
        FUZZ_CHECK((modelClass & ~(kClassHdg | kClassSeaTalk)) <= 5);
        FUZZ_CHECK(KnownLayout(LayoutForModelClass(modelClass)));
        break;
      }
      case ReplyKind::Fl: {
        const FlReply r = ParseFl(line);
        if (!r.end) loaded.AddFilterEntry(r.sentence, r.flags, r.divisor);
        break;
      }
      default: break;
    }
    capture.Feed(line, captured);
    FUZZ_CHECK(capture.Channel() >= 0 && capture.Channel() <= kInputs);
  }

  for (const LegacyFilterList* list : {&loaded, &captured}) {
    FUZZ_CHECK(list->Count() <= kMaxFilterEntries);
    const std::vector<std::string> store = list->StoreCommands();
    FUZZ_CHECK(store.size() == static_cast<std::size_t>(list->Count()) + 1);
    for (const std::string& c : store) {
      FUZZ_CHECK(IsPlainCommand(c));
      // PQVXFL,<sentence>,<flags>[,<divisor>]: the fields never add commas.
      FUZZ_CHECK(c == "PQVXFL" || std::count(c.begin(), c.end(), ',') == (gen.divisor ? 3 : 2));
    }
  }
  return 0;
}
