#include "legacy/LegacyProtocol.h"

#include "link/Nmeadefs.h"

namespace hlx::legacy {

namespace {

std::string Digit(int v) { return std::string(1, static_cast<char>('0' + v)); }
const char* Bit(bool on) { return on ? "1" : "0"; }

// Field `index`, or nullopt when the line has fewer fields (or is no sentence).
std::optional<std::string> Field(std::string_view line, int index) {
  std::string f;
  if (ExtractField(line, index, f) < 0) return std::nullopt;
  return f;
}

// First character of a non-empty field as a digit within 0..limit.
std::optional<int> DigitField(std::string_view line, int index, int limit) {
  const auto f = Field(line, index);
  if (!f || f->empty() || (*f)[0] < '0' || (*f)[0] > '9') return std::nullopt;
  const int v = (*f)[0] - '0';
  if (v > limit) return std::nullopt;
  return v;
}

std::optional<bool> FlagChar(char c) {
  if (c == '1') return true;
  if (c == '0') return false;
  return std::nullopt;
}

QString Text(const std::optional<std::string>& f) { return f ? QString::fromLatin1(*f) : QString(); }

}  // namespace

std::vector<std::string> ReadConfigurationQueries(const Generation& gen) {
  std::vector<std::string> q{std::string(kVersionQuery), std::string(kConfigQuery), std::string(kIdQuery)};
  if (gen.portSpeeds) q.emplace_back(kSpQuery);
  return q;
}

std::string CfFieldCommand(int field, std::string_view value) {
  return std::string(kAddrCF) + std::string(static_cast<std::size_t>(field > 0 ? field : 0), ',') +
         std::string(value);
}

std::string HostSpeedCommand(int index) {
  return index >= 0 && index < kSpeedItems ? CfFieldCommand(1, Digit(index)) : std::string();
}

std::string ModeCommand(int index) {
  return index >= 0 && index < kModeItemsWithAis ? CfFieldCommand(2, Digit(index)) : std::string();
}

std::string OptionCommand(const Generation& gen, Option option, bool on) {
  return gen.Has(option) ? CfFieldCommand(gen.Field(option), Bit(on)) : std::string();
}

std::vector<std::string> CaptureStartCommands(const Generation& gen, const CaptureNaming& before) {
  switch (gen.capture) {
    case CaptureKind::ChannelIds:
      if (before.idsOn) return {};
      return {OptionCommand(gen, Option::ChannelIds, true)};
    case CaptureKind::ChannelNumbersNotIds: {
      // One sentence: numbers on and IDs off, the fields next to each other.
      const int gap = gen.Field(Option::ChannelIds) - gen.Field(Option::ChannelNumbers);
      return {CfFieldCommand(gen.Field(Option::ChannelNumbers),
                             "1" + std::string(static_cast<std::size_t>(gap), ',') + "0")};
    }
    case CaptureKind::ChannelNumbers: break;
  }
  return {OptionCommand(gen, Option::ChannelNumbers, true)};
}

std::vector<std::string> CaptureStopCommands(const Generation& gen, const CaptureNaming& before) {
  switch (gen.capture) {
    case CaptureKind::ChannelIds:
      if (before.idsOn) return {};
      return {OptionCommand(gen, Option::ChannelIds, false)};
    case CaptureKind::ChannelNumbersNotIds:
      return {OptionCommand(gen, Option::ChannelIds, before.idsOn),
              OptionCommand(gen, Option::ChannelNumbers, before.numbersOn)};
    case CaptureKind::ChannelNumbers: break;
  }
  return {OptionCommand(gen, Option::ChannelNumbers, before.numbersOn)};
}

std::string RealTimeCommand(const Generation& gen, const std::array<bool, kInputs>& on) {
  std::string flags;
  for (bool b : on) flags += Bit(b);
  return CfFieldCommand(gen.realTimeField, flags);
}

std::string SpeedCommand(const std::array<int, kPortSpeeds>& indexes) {
  std::string text(kAddrSP);
  for (int v : indexes) text += ',' + (v >= 0 && v < kSpeedItems ? Digit(v) : std::string());
  return text;
}

std::string InputOneSpeedCommand(int index) {
  return std::string(kAddrSP) + ',' + (index >= 0 && index < kSpeedItems ? Digit(index) : std::string());
}

QString CleanTalkerId(const QString& text) {
  QString id;
  for (QChar c : text) {
    if (id.size() == kTalkerIdLength) break;
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) id += c;
  }
  return id;
}

std::string TalkerIdCommand(const std::array<QString, kInputs>& ids) {
  std::string text(kAddrID);
  for (const QString& id : ids) text += ',' + CleanTalkerId(id).toStdString();
  return text;
}

ReplyKind KindOf(std::string_view line) {
  const auto id = Field(line, 0);
  if (!id) return ReplyKind::Other;
  switch (LookupSentence(*id)) {
    case SidVER: return ReplyKind::Ver;
    case SidCF: return ReplyKind::Cf;
    case SidSP: return ReplyKind::Sp;
    case SidID: return ReplyKind::Id;
    case SidOV: return ReplyKind::Ov;
    case SidFL: return ReplyKind::Fl;
    default: return *id == kAddrCN ? ReplyKind::Cn : ReplyKind::Other;
  }
}

CfReply ParseCf(const Generation& gen, std::string_view line) {
  CfReply r;
  r.hostSpeed = DigitField(line, 1, kSpeedItems - 1);
  r.mode = DigitField(line, 2, (gen.aisMode ? kModeItemsWithAis : kModeItems) - 1);
  for (int o = 0; o < kOptionCount; ++o) {
    if (gen.cfField[o] == 0) continue;
    if (const auto f = Field(line, gen.cfField[o]); f && !f->empty()) r.options[o] = FlagChar((*f)[0]);
  }
  if (const auto f = Field(line, gen.realTimeField))
    for (std::size_t i = 0; i < kInputs && i < f->size(); ++i) r.realTime[i] = FlagChar((*f)[i]);
  return r;
}

SpReply ParseSp(std::string_view line) {
  SpReply r;
  for (int i = 0; i < kPortSpeeds; ++i) r.speeds[i] = DigitField(line, i + 1, kSpeedItems - 1);
  return r;
}

IdReply ParseId(std::string_view line) {
  IdReply r;
  for (int i = 0; i < kInputs; ++i)
    if (const auto f = Field(line, i + 1); f && !f->empty())
      r.ids[i] = CleanTalkerId(QString::fromLatin1(*f));
  return r;
}

std::optional<int> ParseOv(std::string_view line) {
  const auto f = Field(line, 1);
  if (!f || f->empty()) return std::nullopt;
  // One digit; a hexadecimal one can name all four inputs at once.
  const QChar c = QChar::fromLatin1((*f)[0]);
  bool ok = false;
  const int v = QString(c).toInt(&ok, 16);
  return ok ? std::optional<int>(v) : std::nullopt;
}

FlReply ParseFl(std::string_view line) {
  FlReply r;
  const auto sentence = Field(line, 1);
  r.end = !sentence || sentence->empty();
  if (r.end) return r;
  r.sentence = QString::fromLatin1(*sentence);
  r.flags = Text(Field(line, 2));
  r.divisor = Text(Field(line, 3));
  return r;
}

std::optional<int> ParseCn(std::string_view line) {
  const auto f = Field(line, 1);
  if (!f || f->empty() || (*f)[0] < '1' || (*f)[0] > '0' + kInputs) return std::nullopt;
  return (*f)[0] - '0';
}

}  // namespace hlx::legacy
