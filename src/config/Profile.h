#pragma once
// A small INI profile with the semantics that configuration files have always
// had: section and key names compared without regard to case, the file's
// order kept, the first of duplicate keys wins on reading, everything that is
// not touched (other sections, other keys, comments) kept on writing,
// entries written as key=value without spaces and lines ended by CR LF.
// Reading accepts CR LF or LF line ends and a UTF-8 byte order mark.

#include <QString>
#include <QStringList>
#include <vector>

namespace hlx {

class Profile {
 public:
  Profile() = default;

  // Reads a file. Returns false (and leaves the profile empty) when it cannot
  // be read or is not a regular file; an unreadable file then behaves like
  // an empty one.
  bool Load(const QString& fileName);
  void Parse(const QByteArray& text);

  // Writes to `fileName` through a temporary file in the same folder that is
  // renamed into place, so a failed save leaves the previous file intact.
  // A file that exists but is read-only is not replaced. Returns false on
  // any failure; `error` then holds the system's reason.
  bool Save(const QString& fileName, QString* error = nullptr) const;
  QByteArray Serialize() const;

  QStringList SectionNames() const;
  // Key names of the first section of that name, in file order, each name
  // once (the spelling of its first occurrence).
  QStringList Keys(const QString& section) const;
  bool Contains(const QString& section, const QString& key) const;
  // Value of the first matching key, surrounding blanks (and one pair of
  // enclosing quotes) removed; `fallback` when section or key is missing.
  QString ReadString(const QString& section, const QString& key, const QString& fallback = {}) const;

  // Replaces the first matching key's value, else appends the key to the
  // section, appending the section at the end when it is missing.
  void WriteString(const QString& section, const QString& key, const QString& value);
  // Removes every section of that name with all its lines.
  void EraseSection(const QString& section);

 private:
  struct Line {
    QString key;  // empty for comments, blank lines and other text
    QString value;
    QString raw;  // the text as read, for lines that are not entries
    bool IsEntry() const { return !key.isEmpty(); }
  };
  struct Section {
    QString name;
    bool headless = false;  // lines before the first section header
    std::vector<Line> lines;
  };

  const Section* FindSection(const QString& name) const;
  Section* FindSection(const QString& name);
  static bool SameName(const QString& a, const QString& b);

  std::vector<Section> m_sections;
};

}  // namespace hlx
