#include "legacy/LegacyModel.h"

namespace hlx::legacy {

namespace {

constexpr int kKnownModels = 7;  // serial numbers starting with 0..6
constexpr std::uint16_t kClasses[kKnownModels] = {1, 0, 2, 1, 3, 4, 5};
constexpr std::uint16_t kFeatures[kKnownModels] = {kClassHdg, kClassSeaTalk, kClassSeaTalk, kClassHdg,
                                                   kClassHdg, kClassSeaTalk, kClassHdg};
constexpr int kFeatureVersion = 2;  // versions from 2 on have the model's feature

constexpr int kHeightOneBox = 41;
constexpr int kHeightFourBoxes = 73;
constexpr int kHeightFiveBoxes = 89;
constexpr int kHeightSixBoxes = 105;

constexpr std::size_t Index(Option o) { return static_cast<std::size_t>(o); }

// Only lower-case letters count as hexadecimal digits here.
int SerialDigit(const QString& serial) {
  if (serial.isEmpty()) return 0;
  const char16_t c = serial[0].unicode();
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return 0;
}

int VersionDigit(const QString& version) {
  if (version.isEmpty()) return 0;
  const char16_t c = version[0].unicode();
  return c >= u'0' && c <= u'9' ? c - u'0' : 0;
}

}  // namespace

std::uint16_t ModelClassFor(const QString& serial, const QString& version, std::uint16_t previous) {
  const int m = SerialDigit(serial);
  if (m >= kKnownModels) return previous;
  std::uint16_t c = kClasses[m];
  if (VersionDigit(version) >= kFeatureVersion) c |= kFeatures[m];
  return c;
}

ModelLayout LayoutForModelClass(std::uint16_t modelClass) {
  ModelLayout l;
  l.divisorColumn = false;
  if (modelClass & kClassFull) {
    l.full = true;
    const bool hdg = (modelClass & kClassHdg) != 0;
    l.optionsHeight = hdg ? kHeightFiveBoxes : kHeightFourBoxes;
    l.shown[Index(Option::Priority)] = l.shown[Index(Option::ChannelNumbers)] =
        l.shown[Index(Option::ChannelIds)] = true;
    l.shown[Index(Option::HdgToHdt)] = hdg;
  } else if (modelClass & kClassSeaTalk) {
    l.optionsHeight = kHeightOneBox;
    l.shown[Index(Option::Priority)] = true;
    l.priorityAsSeaTalk = true;
  }
  return l;
}

ModelLayout LayoutForCaps(std::uint16_t caps) {
  ModelLayout l;
  const bool seaTalk = (caps & kCapsSeaTalk) != 0;
  l.shown[Index(Option::SeaTalk)] = seaTalk;
  if (caps & kCapsFull) {
    l.full = true;
    l.optionsHeight = seaTalk ? kHeightSixBoxes : kHeightFiveBoxes;
    l.shown[Index(Option::Priority)] = l.shown[Index(Option::ChannelNumbers)] =
        l.shown[Index(Option::ChannelIds)] = l.shown[Index(Option::HdgToHdt)] = true;
    l.divisorColumn = (caps & kCapsDivisor) != 0;
  } else {
    l.optionsHeight = seaTalk ? kHeightOneBox : 0;
    l.divisorColumn = false;
  }
  return l;
}

QStringList ModeItems(std::uint16_t caps) {
  QStringList items{QStringLiteral("Server"), QStringLiteral("Hub"), QStringLiteral("Auto Server/Hub")};
  if (caps & kCapsAisMode) items << QStringLiteral("AIS");
  return items;
}

}  // namespace hlx::legacy
