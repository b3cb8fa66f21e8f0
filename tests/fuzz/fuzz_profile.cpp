// INI profiles from arbitrary bytes: what Serialize writes parses back to the
// same sections, keys and values and serializes to the same bytes; a value
// written with WriteString is what a reader of the saved file finds, and the
// write touches no other key.

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "config/Profile.h"

using namespace hlx;

namespace {

struct Entry {
  QString section, key, value;
  bool operator==(const Entry&) const = default;
};

// Everything a reader can see: first sections by name, their keys and values.
std::vector<Entry> Readable(const Profile& p) {
  std::vector<Entry> out;
  for (const QString& section : p.SectionNames()) {
    out.push_back({section, {}, {}});
    for (const QString& key : p.Keys(section)) {
      FUZZ_CHECK(p.Contains(section, key));
      out.push_back({section, key, p.ReadString(section, key)});
    }
  }
  return out;
}

Profile Reparsed(const Profile& p) {
  Profile back;
  back.Parse(p.Serialize());
  return back;
}

// Names the file format can carry at all: a key with '=' or starting with a
// comment or header character, or a section name with ']', reads back as
// something else by the syntax itself; names are looked up as given, so
// blanks around them (which a file drops) are left out too.
bool Writable(const QString& section, const QString& key, const QString& value) {
  return !key.isEmpty() && !key.contains(u'=') && !key.startsWith(u';') && !key.startsWith(u'[') &&
         !section.contains(u']') && key == key.trimmed() && section == section.trimmed() &&
         value == value.trimmed() && !(section + key + value).contains(u'\r') &&
         !(section + key + value).contains(u'\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(24);
  const std::string key = in.ConsumeRandomLengthString(24);
  const std::string value = in.ConsumeRandomLengthString(48);
  const std::string text = in.ConsumeRemainingBytesAsString();

  Profile profile;
  profile.Parse(QByteArray::fromStdString(text));
  const QByteArray written = profile.Serialize();
  const Profile back = Reparsed(profile);
  FUZZ_CHECK(back.Serialize() == written);
  const std::vector<Entry> seen = Readable(profile);
  FUZZ_CHECK(Readable(back) == seen);

  const QString s = QString::fromUtf8(section), k = QString::fromUtf8(key), v = QString::fromUtf8(value);
  if (!Writable(s, k, v)) return 0;
  profile.WriteString(s, k, v);
  const QString stored = profile.ReadString(s, k, QStringLiteral("<missing>"));
  FUZZ_CHECK(stored != QStringLiteral("<missing>"));
  const QByteArray file = profile.Serialize();
  const Profile saved = Reparsed(profile);
  FUZZ_CHECK(saved.ReadString(s, k, QStringLiteral("<missing>")) == stored);
  FUZZ_CHECK(saved.Serialize() == file);
  const auto same = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
  for (const Entry& e : seen)
    if (!e.key.isEmpty() && !(same(e.section, s) && same(e.key, k)))
      FUZZ_CHECK(profile.ReadString(e.section, e.key) == e.value);
  return 0;
}
