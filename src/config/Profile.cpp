#include "config/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace hlx {

namespace {

QString Unquote(const QString& value) {
  if (value.size() >= 2) {
    const QChar first = value.front();
    if ((first == u'"' || first == u'\'') && value.back() == first) return value.mid(1, value.size() - 2);
  }
  return value;
}

// A line break inside a name or value would split the entry on reading.
QString OneLine(const QString& text) {
  QString out = text;
  out.replace(u'\r', u' ');
  out.replace(u'\n', u' ');
  return out;
}

}  // namespace

bool Profile::SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool Profile::Load(const QString& fileName) {
  m_sections.clear();
  // Opening a pipe would block until someone writes to it; a folder or a
  // device is no profile either.
  if (!QFileInfo(fileName).isFile()) return false;
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray text = file.readAll();
  if (file.error() != QFileDevice::NoError) return false;
  Parse(text);
  return true;
}

void Profile::Parse(const QByteArray& bytes) {
  m_sections.clear();
  QString text = QString::fromUtf8(bytes);
  // Every byte order mark at the start goes: one left behind would make the
  // first line text that a save writes back as a mark, which the next read
  // then drops, turning that line into a section header or an entry.
  while (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  QStringList lines = text.split(u'\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();  // after the final line end

  for (QString raw : lines) {
    if (raw.endsWith(u'\r')) raw.chop(1);
    const QString trimmed = raw.trimmed();
    if (trimmed.startsWith(u'[')) {
      int close = trimmed.indexOf(u']');
      if (close < 0) close = trimmed.size();
      Section section;
      section.name = trimmed.mid(1, close - 1).trimmed();
      m_sections.push_back(std::move(section));
      continue;
    }
    if (m_sections.empty()) {
      Section head;
      head.headless = true;
      m_sections.push_back(std::move(head));
    }
    Line line;
    const int eq = trimmed.indexOf(u'=');
    if (eq > 0 && !trimmed.startsWith(u';')) {
      line.key = trimmed.left(eq).trimmed();
      line.value = trimmed.mid(eq + 1).trimmed();
    }
    if (!line.IsEntry()) line.raw = raw;
    m_sections.back().lines.push_back(std::move(line));
  }
}

QByteArray Profile::Serialize() const {
  QString out;
  for (const Section& section : m_sections) {
    if (!section.headless) out += u'[' + section.name + QStringLiteral("]\r\n");
    for (const Line& line : section.lines)
      out += (line.IsEntry() ? line.key + u'=' + line.value : line.raw) + QStringLiteral("\r\n");
  }
  // An entry before the first section whose key starts with a byte order mark
  // (read after blanks) would lose it as the file's own on reading, and
  // "\uFEFF[A]=x" would turn into a header: a blank in front keeps the line.
  if (out.startsWith(QChar(0xFEFF))) out.prepend(u' ');
  return out.toUtf8();
}

bool Profile::Save(const QString& fileName, QString* error) const {
  auto fail = [&](const QString& reason) {
    if (error) *error = reason;
    return false;
  };
  const QFileInfo info(fileName);
  // Replacing the file by renaming would bypass its read-only flag.
  if (info.exists() && !info.isWritable()) return fail(QStringLiteral("Permission denied"));
  if (info.exists() && info.isDir()) return fail(QStringLiteral("Is a directory"));
  // Renaming over a device or a pipe would replace it by a plain file.
  if (info.exists() && !info.isFile()) return fail(QStringLiteral("Not a regular file"));
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
  const QByteArray data = Serialize();
  // Writes are buffered and a commit does not notice a buffer that could be
  // written only in part (a full disk, a size limit): flush and check first.
  if (file.write(data) != data.size() || !file.flush()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return fail(reason);
  }
  if (!file.commit()) return fail(file.errorString());
  return true;
}

const Profile::Section* Profile::FindSection(const QString& name) const {
  for (const Section& section : m_sections)
    if (!section.headless && SameName(section.name, name)) return &section;
  return nullptr;
}

Profile::Section* Profile::FindSection(const QString& name) {
  return const_cast<Section*>(static_cast<const Profile*>(this)->FindSection(name));
}

QStringList Profile::SectionNames() const {
  QStringList names;
  for (const Section& section : m_sections)
    if (!section.headless) names << section.name;
  return names;
}

QStringList Profile::Keys(const QString& section) const {
  QStringList keys;
  if (const Section* s = FindSection(section)) {
    for (const Line& line : s->lines) {
      if (!line.IsEntry()) continue;
      if (!keys.contains(line.key, Qt::CaseInsensitive)) keys << line.key;
    }
  }
  return keys;
}

bool Profile::Contains(const QString& section, const QString& key) const {
  if (const Section* s = FindSection(section))
    for (const Line& line : s->lines)
      if (line.IsEntry() && SameName(line.key, key)) return true;
  return false;
}

QString Profile::ReadString(const QString& section, const QString& key, const QString& fallback) const {
  if (const Section* s = FindSection(section))
    for (const Line& line : s->lines)
      if (line.IsEntry() && SameName(line.key, key)) return Unquote(line.value);
  return fallback;
}

void Profile::WriteString(const QString& section, const QString& key, const QString& value) {
  const QString cleanKey = OneLine(key).trimmed();
  const QString cleanValue = OneLine(value);
  if (cleanKey.isEmpty()) return;
  Section* s = FindSection(section);
  if (!s) {
    Section added;
    added.name = OneLine(section).trimmed();
    m_sections.push_back(std::move(added));
    s = &m_sections.back();
  }
  for (Line& line : s->lines) {
    if (line.IsEntry() && SameName(line.key, cleanKey)) {
      line.value = cleanValue;
      return;
    }
  }
  // New keys go after the section's last non-blank line, before the blank
  // lines that separate it from the next section.
  auto insertAt = s->lines.end();
  while (insertAt != s->lines.begin()) {
    const Line& previous = *(insertAt - 1);
    if (previous.IsEntry() || !previous.raw.trimmed().isEmpty()) break;
    --insertAt;
  }
  Line line;
  line.key = cleanKey;
  line.value = cleanValue;
  s->lines.insert(insertAt, std::move(line));
}

void Profile::EraseSection(const QString& section) {
  std::erase_if(m_sections, [&](const Section& s) { return !s.headless && SameName(s.name, section); });
}

}  // namespace hlx
