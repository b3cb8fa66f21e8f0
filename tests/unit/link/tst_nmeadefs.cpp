#include <QtTest>

#include "link/Nmeadefs.h"

using namespace hlx;

namespace {
std::string Crlf(const char* s) { return std::string(s) + "\r\n"; }
}  // namespace

class NmeadefsTest : public QObject {
  Q_OBJECT
 private slots:
  void extractField_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("field");
    const auto ver = QString::fromStdString(Crlf("$PQVXVER,3.33.1,NAME,12345,8041*4A"));
    QTest::newRow("address field") << ver << 0 << 7 << "PQVXVER";
    QTest::newRow("version field") << ver << 1 << 6 << "3.33.1";
    QTest::newRow("last field stops at star") << ver << 4 << 4 << "8041";
    QTest::newRow("past the last field") << ver << 5 << -1 << "";
    QTest::newRow("empty middle field") << QString::fromStdString(Crlf("$GPGLL,,,")) << 2 << 0 << "";
    QTest::newRow("tag block skipped")
        << QString::fromStdString(Crlf("\\s:x-2*12\\$GPRMC,1,2")) << 0 << 5 << "GPRMC";
    QTest::newRow("six characters is too short") << QString::fromStdString(Crlf("$A,B")) << 0 << -9 << "";
    QTest::newRow("no CR LF") << "$GPRMC,1,2,3" << 0 << -9 << "";
    QTest::newRow("LF without CR") << "$GPRMC,1,2,3\n" << 0 << -9 << "";
    QTest::newRow("wrong start character") << QString::fromStdString(Crlf("GPRMC,1,2,3")) << 0 << -9 << "";
    QTest::newRow("encapsulated sentence")
        << QString::fromStdString(Crlf("!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26")) << 1 << 1 << "1";
    QTest::newRow("star before wanted comma") << QString::fromStdString(Crlf("$PQVXOV,1*hh")) << 3 << -1 << "";
    QTest::newRow("empty last field before checksum") << QString::fromStdString(Crlf("$X,A,*hh")) << 2 << 0 << "";
    QTest::newRow("NUL ends the line") << QString::fromLatin1("$GPRMC,1\0,2\r\n", 13) << 1 << -9 << "";
  }
  void extractField() {
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(int, result);
    QFETCH(QString, field);
    std::string out = "untouched";
    QCOMPARE(ExtractField(line.toStdString(), index, out), result);
    QCOMPARE(QString::fromStdString(out), result < 0 ? QString("untouched") : field);
  }

  void lookupSentence_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("id");
    QTest::newRow("LDR") << "PQVXLDR" << 1;
    QTest::newRow("STAT") << "PQVXSTAT" << 4;
    QTest::newRow("IN is last") << "PQVXIN" << 12;
    QTest::newRow("case matters") << "PQVXver" << 0;
    QTest::newRow("whole field must match") << "PQVXVERX" << 0;
    QTest::newRow("ordinary sentence") << "GPRMC" << 0;
  }
  void lookupSentence() {
    QFETCH(QString, address);
    QFETCH(int, id);
    QCOMPARE(LookupSentence(address.toStdString()), id);
  }

  void tagSource_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("source");
    QTest::newRow("input 3") << "\\s:name-3*hh\\" << 3;
    QTest::newRow("only one digit read") << "\\s:name-12*hh\\" << 1;
    QTest::newRow("no dash") << "\\s:name*hh\\" << -1;
    QTest::newRow("no source field") << "\\c:12345*hh\\" << -1;
    QTest::newRow("dash then letter") << "\\s:name-x*hh\\" << -1;
    QTest::newRow("comma before dash") << "\\s:name,c:1-2*hh\\" << -1;
    QTest::newRow("dash at end") << "s:a-" << -1;
  }
  void tagSource() {
    QFETCH(QString, tag);
    QFETCH(int, source);
    QCOMPARE(TagSourceInput(tag.toStdString()), source);
  }

  void extractTagBlock() {
    std::string tag = "keep";
    QVERIFY(!ExtractTagBlock("$GPRMC,1\r\n", tag));
    QCOMPARE(tag, std::string("keep"));
    QVERIFY(ExtractTagBlock("\\s:x-1*12\\$GPRMC,1\r\n", tag));
    QCOMPARE(tag, std::string("\\s:x-1*12\\"));
    QVERIFY(ExtractTagBlock("\\$GPRMC\r\n", tag));
    QCOMPARE(tag, std::string("\\"));
    QCOMPARE(LineSourceInput("\\s:x-4*12\\$GPRMC,1\r\n"), 4);
    QCOMPARE(LineSourceInput("$GPRMC,1\r\n"), -1);
  }

  void completeSentence_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("wire");
    QTest::newRow("empty sends nothing") << "" << "";
    QTest::newRow("dollar inserted, checksum excludes it") << "PQVXCF,C,3" << "$PQVXCF,C,3*7A\r\n";
    QTest::newRow("version query") << "PQVXVER" << "$PQVXVER*4E\r\n";
    QTest::newRow("user checksum kept") << "$PQVXOP,C,12,1*00" << "$PQVXOP,C,12,1*00\r\n";
    QTest::newRow("tag block with star") << "\\s:x*12\\$GPRMC" << "\\s:x*12\\$GPRMC\r\n";
    QTest::newRow("encapsulated keeps bang") << "!AIVDM,1" << "!AIVDM,1*4A\r\n";
  }
  void completeSentence() {
    QFETCH(QString, text);
    QFETCH(QString, wire);
    QCOMPARE(QString::fromStdString(CompleteSentence(text.toStdString())), wire);
  }

  void checksumIsXorAfterFirstCharacter() {
    std::uint8_t x = 0;
    for (char c : std::string("PQVXVER")) x ^= static_cast<std::uint8_t>(c);
    QCOMPARE(NmeaChecksum("$PQVXVER"), x);
    QCOMPARE(NmeaChecksum("$"), std::uint8_t{0});
  }

  void bits() {
    std::uint32_t w = 0;
    SetBit(w, 33, true);
    QCOMPARE(w, 2u);
    SetBit(w, 31, true);
    QVERIFY(TestBit(w, 31));
    QVERIFY(TestBit(w, 63));
    SetBit(w, 1, false);
    QCOMPARE(w, 0x80000000u);
    QVERIFY(!TestBit(w, 0));
    QCOMPARE(HexWord(0x1A2Bu), std::string("00001A2B"));
  }
};

QTEST_APPLESS_MAIN(NmeadefsTest)
#include "tst_nmeadefs.moc"
