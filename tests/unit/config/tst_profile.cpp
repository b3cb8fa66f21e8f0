#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "config/Profile.h"

using namespace hlx;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

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
    QTest::addColumn<QString>("value");
    const QByteArray crlf = "[Configuration]\r\nBaud In1=2\r\nBaud Out2=5\r\n";
    QTest::newRow("CRLF file") << crlf << "Configuration"
                               << "Baud Out2"
                               << "5";
    QTest::newRow("LF file") << QByteArray("[Configuration]\nBaud In1=2\n") << "Configuration"
                             << "Baud In1"
                             << "2";
    QTest::newRow("last line without line end") << QByteArray("[A]\nk=v") << "A"
                                                << "k"
                                                << "v";
    QTest::newRow("section name without case") << crlf << "CONFIGURATION"
                                               << "Baud In1"
                                               << "2";
    QTest::newRow("key name without case") << crlf << "Configuration"
                                           << "baud out2"
                                           << "5";
    QTest::newRow("blanks around key and value") << QByteArray("[A]\n  Talker ID1 =  GP \n") << "A"
                                                 << "Talker ID1"
                                                 << "GP";
    QTest::newRow("blanks inside the header") << QByteArray("[ Filter ]\nGPRMC=1\n") << "filter"
                                              << "GPRMC"
                                              << "1";
    QTest::newRow("first of duplicate keys wins") << QByteArray("[A]\nk=first\nK=second\n") << "A"
                                                  << "k"
                                                  << "first";
    QTest::newRow("first of duplicate sections") << QByteArray("[A]\nk=1\n[a]\nk=2\n") << "A"
                                                 << "k"
                                                 << "1";
    QTest::newRow("value keeps its inner equals sign") << QByteArray("[A]\nk=a=b\n") << "A"
                                                       << "k"
                                                       << "a=b";
    QTest::newRow("enclosing quotes removed") << QByteArray("[A]\nk=\"x y\"\n") << "A"
                                              << "k"
                                              << "x y";
    QTest::newRow("key of another section is missing") << QByteArray("[A]\nk=1\n[B]\n") << "B"
                                                       << "k"
                                                       << "-";
    QTest::newRow("entry before any section is not in one") << QByteArray("k=1\n[A]\n") << "A"
                                                            << "k"
                                                            << "-";
    QTest::newRow("comment line is not a key") << QByteArray("[A]\n;k=1\n") << "A"
                                               << ";k"
                                               << "-";
    QTest::newRow("byte order mark ignored") << QByteArray("\xEF\xBB\xBF[A]\nk=1\n") << "A"
                                             << "k"
                                             << "1";
    QTest::newRow("empty value") << QByteArray("[A]\nk=\n") << "A"
                                 << "k"
                                 << "";
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

  void writingReplacesTheFirstMatchAndKeepsEverythingElse() {
    Profile p = Parsed(
        "; made by hand\r\n[Information]\r\nDevice=Old\r\n\r\n[Configuration]\r\nBaud In1=1\r\nCustom=keep "
        "me\r\n"
        "\r\n[Mine]\r\nx=1\r\n");
    p.WriteString("configuration", "BAUD IN1", "4");
    p.WriteString("Configuration", "Baud In2", "2");
    p.WriteString("Added", "k", "v");
    QCOMPARE(
        p.Serialize(),
        QByteArray("; made by hand\r\n[Information]\r\nDevice=Old\r\n\r\n[Configuration]\r\nBaud In1=4\r\n"
                   "Custom=keep me\r\nBaud In2=2\r\n\r\n[Mine]\r\nx=1\r\n[Added]\r\nk=v\r\n"));
  }

  void eraseSectionRemovesEveryCopy() {
    Profile p = Parsed("[Filter]\nA=1\n[Other]\nB=2\n[FILTER]\nC=3\n");
    p.EraseSection("filter");
    QVERIFY(!p.HasSection("Filter"));
    QCOMPARE(p.SectionNames(), QStringList{"Other"});
    QCOMPARE(p.Serialize(), QByteArray("[Other]\r\nB=2\r\n"));
  }

  void lineBreaksInValuesCannotSplitTheEntry() {
    Profile p;
    p.WriteString("A", "k", "one\r\n[B]\nx=1");
    const Profile back = Parsed(p.Serialize());
    QCOMPARE(back.SectionNames(), QStringList{"A"});
    QCOMPARE(back.ReadString("A", "k"), QString("one  [B] x=1"));
  }

  void roundTripThroughAFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("round.ini");
    Profile p;
    p.WriteString("Configuration", "Baud In4/Out1", "3");
    p.WriteString("Configuration", "Talker IDConv", "\u00C4x");
    p.WriteString("Filter", "GP---", "110000,2,1010");
    QString error;
    QVERIFY2(p.Save(path, &error), qPrintable(error));
    QCOMPARE(ReadAll(path), QByteArray("[Configuration]\r\nBaud In4/Out1=3\r\nTalker "
                                       "IDConv=\xC3\x84x\r\n[Filter]\r\nGP---=110000,2,1010\r\n"));
    Profile back;
    QVERIFY(back.Load(path));
    QCOMPARE(back.Serialize(), p.Serialize());
  }

  void unreadableFileLoadsEmpty() {
    Profile p = Parsed("[A]\nk=1\n");
    QVERIFY(!p.Load("/nonexistent-folder/none.ini"));
    QVERIFY(p.SectionNames().isEmpty());
    QTemporaryDir dir;
    QVERIFY(!p.Load(dir.path()));  // a folder is not a profile
  }

  void failedSaveLeavesThePreviousFile_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only file") << "readonly";
    QTest::newRow("missing folder") << "nofolder";
    QTest::newRow("target is a folder") << "folder";
  }
  void failedSaveLeavesThePreviousFile() {
    QFETCH(QString, how);
    QTemporaryDir dir;
    QString path = dir.filePath("cfg.ini");
    const QByteArray before = "[Keep]\r\nk=1\r\n";
    QVERIFY(WriteAll(path, before));
    if (how == "readonly") {
      QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
      if (QFileInfo(path).isWritable()) QSKIP("running with rights that ignore read-only files");
    } else if (how == "nofolder") {
      path = dir.filePath("missing/cfg.ini");
    } else {
      path = dir.path();
    }
    Profile p;
    p.WriteString("New", "k", "2");
    QString error;
    QVERIFY(!p.Save(path, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadAll(dir.filePath("cfg.ini")), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"cfg.ini"});  // no temp left
  }

  void saveNeverReplacesADeviceOrPipe() {
    // Renaming a temporary file over a special file would turn it into a
    // plain file; such a target is refused and stays what it was.
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.ini");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    Profile p;
    p.WriteString("A", "k", "v");
    QString error;
    QVERIFY(!p.Save(fifo, &error));
    QCOMPARE(error, QString("Not a regular file"));
    QVERIFY(!QFileInfo(fifo).isFile());
    QVERIFY(QFileInfo::exists(fifo));
  }
};

QTEST_GUILESS_MAIN(ProfileTest)
#include "tst_profile.moc"
