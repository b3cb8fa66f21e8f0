#include "legacy/LegacyFilterList.h"

#include "legacy/LegacyProtocol.h"
#include "link/Nmeadefs.h"

namespace hlx::legacy {

bool LegacyFilterList::ValidSentence(const QString& s) const {
  if (s.size() != m_gen->sentenceLength) return false;
  for (QChar c : s)
    if (!((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-')) return false;
  return true;
}

QString LegacyFilterList::NormalisedFlags(const QString& flags) {
  QString out(kFilterFlags, u'0');
  for (int i = 0; i < kFilterFlags && i < flags.size(); ++i)
    if (flags[i] == u'1') out[i] = u'1';
  return out;
}

bool LegacyFilterList::ValidDivisor(const QString& divisor) {
  if (divisor.size() > kMaxDivisorDigits) return false;
  for (QChar c : divisor)
    if (c < u'0' || c > u'9') return false;
  return true;
}

int LegacyFilterList::AddFilterEntry(const QString& sentence, const QString& flags, const QString& divisor) {
  if (Count() >= kMaxFilterEntries) return kFilterFull;
  const QString upper = sentence.toUpper();
  if (!ValidSentence(upper)) return kFilterBadSentence;
  const QString cleanFlags = NormalisedFlags(flags);
  for (FilterEntry& e : m_entries) {
    if (e.sentence != upper) continue;
    for (int i = 0; i < kFilterFlags; ++i)
      if (cleanFlags[i] == u'1') e.flags[i] = u'1';
    return kFilterAdded;
  }
  m_entries.push_back({cleanFlags, upper, m_gen->divisor && ValidDivisor(divisor) ? divisor : QString()});
  return kFilterAdded;
}

void LegacyFilterList::Delete(int index) {
  if (index >= 0 && index < Count()) m_entries.erase(m_entries.begin() + index);
}

void LegacyFilterList::ToggleFlag(int index, int flag) {
  if (index < 0 || index >= Count() || flag < 0 || flag >= kFilterFlags) return;
  QChar& c = m_entries[static_cast<std::size_t>(index)].flags[flag];
  c = c == u'0' ? u'1' : u'0';
}

bool LegacyFilterList::SetSentence(int index, const QString& text) {
  const QString upper = text.toUpper();
  if (index < 0 || index >= Count() || !ValidSentence(upper)) return false;
  m_entries[static_cast<std::size_t>(index)].sentence = upper;
  return true;
}

bool LegacyFilterList::SetDivisor(int index, const QString& text) {
  if (index < 0 || index >= Count() || !m_gen->divisor || !ValidDivisor(text)) return false;
  m_entries[static_cast<std::size_t>(index)].divisor = text;
  return true;
}

std::vector<std::string> LegacyFilterList::StoreCommands(bool withDivisor) const {
  std::vector<std::string> out{std::string(kFilterClearCommand)};
  for (const FilterEntry& e : m_entries) {
    std::string text =
        std::string(kFilterClearCommand) + ',' + e.sentence.toStdString() + ',' + e.flags.toStdString();
    if (m_gen->divisor && withDivisor) text += ',' + e.divisor.toStdString();
    out.push_back(std::move(text));
  }
  return out;
}

void CaptureTracker::Feed(std::string_view line, LegacyFilterList& list) {
  std::string id;
  if (ExtractField(line, 0, id) < 0) return;
  const QString address = QString::fromLatin1(id);
  if (m_gen->capture == CaptureKind::ChannelIds) {
    // "M<source><formatter>": source 0 is the host port.
    if (address.size() < 2 || address[0] != u'M') return;
    QString flags(kFilterFlags, u'0');
    const int source = address[1].digitValue();
    if (source >= 0 && source < kFilterFlags) flags[source] = u'1';
    list.AddFilterEntry(address.mid(2), flags, {});
    return;
  }
  if (KindOf(line) == ReplyKind::Cn) {
    if (const auto n = ParseCn(line)) m_channel = *n;
    return;
  }
  // The device's own reports (overflow, replies) come from no input.
  if (m_channel <= 0 || address.startsWith(QString::fromLatin1(kAddressPrefix))) return;
  QString flags(kFilterFlags, u'0');
  flags[m_channel] = u'1';
  list.AddFilterEntry(address.left(m_gen->sentenceLength), flags, {});
}

}  // namespace hlx::legacy
