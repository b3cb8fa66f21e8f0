#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "config/Profile.h"

using namespace hlx;

namespace {

Profile Parsed(const QByteArray& text) {
  Profile p;
  p.Parse(text);
  return p;
}

}  // namespace

class ProfileTest : public QObject {
  Q_OBJECT
 private slots:
  void reading_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");  // "-" for missing
    struct Row {
      const char* name;
      const char* text;
      const char* section;
      const char* key;
      const char* value;
    };
    const char* crlf = "[Configuration]\r\nBaud In1=2\r\nBaud Out2=5\r\n";
    const Row rows[] = {
        {"CRLF file", crlf, "Configuration", "Baud Out2", "5"},
        {"LF file", "[Configuration]\nBaud In1=2\n", "Configuration", "Baud In1", "2"},
        {"last line without line end", "[A]\nk=v", "A", "k", "v"},
        {"section name without case", crlf, "CONFIGURATION", "Baud In1", "2"},
        {"key name without case", crlf, "Configuration", "baud out2", "5"},
        {"blanks around key and value", "[A]\n  Talker ID1 =  GP \n", "A", "Talker ID1", "GP"},
        {"blanks inside the header", "[ Filter ]\nGPRMC=1\n", "filter", "GPRMC", "1"},
        {"first of duplicate keys wins", "[A]\nk=first\nK=second\n", "A", "k", "first"},
        {"first of duplicate sections", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        {"value keeps its inner equals sign", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"enclosing quotes removed", "[A]\nk=\"x y\"\n", "A", "k", "x y"},
        {"key of another section is missing", "[A]\nk=1\n[B]\n", "B", "k", "-"},
        {"entry before any section is not in one", "k=1\n[A]\n", "A", "k", "-"},
        {"comment line is not a key", "[A]\n;k=1\n", "A", ";k", "-"},
        {"byte order mark ignored", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
        {"empty value", "[A]\nk=\n", "A", "k", ""},
    };
    for (const Row& r : rows) QTest::newRow(r.name) << QByteArray(r.text) << r.section << r.key << r.value;
  }
  void reading() {
    QFETCH(QByteArray, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(Parsed(text).ReadString(section, key, "-"), value);
  }

  void keysComeInFileOrderOnceEach() {
    const Profile p = Parsed("[Filter]\nGPRMC=1,,1\nHCHDG=1,,1\ngprmc=0,,0\n; note\nGPGGA=1,,1\n");
    QCOMPARE(p.Keys("FILTER"), QStringList({"GPRMC", "HCHDG", "GPGGA"}));
    QVERIFY(p.Keys("Missing").isEmpty());
  }

  void writingKeepsWhatItDoesNotTouch() {
    Profile p = Parsed(
        "; made by hand\r\n[Filter]\r\nA=1\r\n[Information]\r\nDevice=Old\r\n\r\n[Configuration]\r\n"
        "Baud In1=1\r\nCustom=keep me\r\n\r\n[filter]\r\nB=2\r\n[Mine]\r\nx=1\r\n");
    p.EraseSection("FILTER");                         // every copy
    p.WriteString("configuration", "BAUD IN1", "4");  // the first match, in its own spelling
    p.WriteString("Configuration", "Baud In2", "2");  // before the blank line
    p.WriteString("Added", "Talker IDConv", "\u00C4x");
    p.WriteString("Added", "k", "one\r\n[B]\nx=1");  // a line break cannot split the entry
    QCOMPARE(
        p.Serialize(),
        QByteArray("; made by hand\r\n[Information]\r\nDevice=Old\r\n\r\n[Configuration]\r\nBaud In1=4\r\n"
                   "Custom=keep me\r\nBaud In2=2\r\n\r\n[Mine]\r\nx=1\r\n[Added]\r\n"
                   "Talker IDConv=\xC3\x84x\r\nk=one  [B] x=1\r\n"));
  }

  void unreadableFileLoadsEmpty() {
    Profile p = Parsed("[A]\nk=1\n");
    QVERIFY(!p.Load("/nonexistent-folder/none.ini"));
    QVERIFY(p.SectionNames().isEmpty());
    QTemporaryDir dir;
    QVERIFY(!p.Load(dir.path()));  // a folder is not a profile
    // Nor is a pipe, which would block the reader until someone writes to it.
    const QString fifo = dir.filePath("pipe.ini");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(!p.Load(fifo));
  }
};

QTEST_GUILESS_MAIN(ProfileTest)
#include "tst_profile.moc"
