// The simulator's own sentence rules against literal sentences and checksums
// (published examples where there are some), never against the program's code.
#include <QtTest>

#include <string_view>

#include "SimSentence.h"

using namespace hlx::sim;
using namespace std::string_view_literals;

namespace {

// Keeps NUL bytes, which a plain string literal would end at.
QByteArray Bytes(std::string_view s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

std::string_view View(const QByteArray& b) { return {b.constData(), static_cast<std::size_t>(b.size())}; }

}  // namespace

class SimSentenceTest : public QObject {
  Q_OBJECT
 private slots:
  void wireSentence_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("command gets a $") << Bytes("PQVXVER") << Bytes("$PQVXVER*4E\r\n");
    QTest::newRow("checksum 00") << Bytes("PQVXSTAT,1") << Bytes("$PQVXSTAT,1*00\r\n");
    QTest::newRow("empty fields") << Bytes("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")
                                  << Bytes("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    QTest::newRow("letters A-F") << Bytes("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")
                                 << Bytes("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
    QTest::newRow("! start kept") << Bytes("!AIVDM,1,1,,B,15N4cJ`005Jrek0H@9n`DW5608EP,0")
                                  << Bytes("!AIVDM,1,1,,B,15N4cJ`005Jrek0H@9n`DW5608EP,0*13\r\n");
    QTest::newRow("nothing") << Bytes("") << Bytes("");
  }
  void wireSentence() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, wire);
    QCOMPARE(Bytes(WireSentence(View(body))), wire);
  }

  void wireTagBlock() {
    QCOMPARE(WireTagBlock("g:1-2-73874,n:157036,s:r003669945,c:1241544035"),
             std::string("\\g:1-2-73874,n:157036,s:r003669945,c:1241544035*4A\\"));
    QCOMPARE(WireTagBlock("s:HLX2000-1"), std::string("\\s:HLX2000-1*0B\\"));
  }

  void checksumAcceptable_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("right") << Bytes("$PQVXVER*4E\r\n") << true;
    QTest::newRow("right 00") << Bytes("$PQVXSTAT,1*00\r\n") << true;
    QTest::newRow("lower-case hex") << Bytes("$PQVXVER*4e\r\n") << true;
    QTest::newRow("lower-case hex, wrong") << Bytes("$PQVXVER*4f\r\n") << false;
    QTest::newRow("missing") << Bytes("$PQVXVER\r\n") << true;
    QTest::newRow("no * and no CR LF") << Bytes("$PQVXVER") << true;
    QTest::newRow("wrong") << Bytes("$PQVXVER*00\r\n") << false;
    QTest::newRow("one digit") << Bytes("$PQVXVER*4\r\n") << false;
    QTest::newRow("not hex") << Bytes("$PQVXVER*ZZ\r\n") << false;
    QTest::newRow("* alone") << Bytes("$PQVXVER*\r\n") << false;
    QTest::newRow("text after the digits") << Bytes("$PQVXVER*4EX\r\n") << false;
    QTest::newRow("bare LF") << Bytes("$PQVXVER*4E\n") << true;
    QTest::newRow("! start") << Bytes("!AIVDM,1,1,,B,15N4cJ`005Jrek0H@9n`DW5608EP,0*13\r\n") << true;
    // Only the sentence counts; the TAG block's own checksum is not checked.
    QTest::newRow("TAG block") << Bytes("\\g:1-2-73874,n:157036,s:r003669945,c:1241544035*4A\\"
                                        "!AIVDM,1,1,,B,15N4cJ`005Jrek0H@9n`DW5608EP,0*13\r\n")
                               << true;
    QTest::newRow("TAG block, wrong sentence") << Bytes("\\s:x-1*00\\$GPGLL,1*3B\r\n") << false;
    QTest::newRow("TAG block, right sentence") << Bytes("\\s:x-1*00\\$GPGLL,1*4D\r\n") << true;
  }
  void checksumAcceptable() {
    QFETCH(QByteArray, line);
    QFETCH(bool, acceptable);
    QCOMPARE(ChecksumAcceptable(View(line)), acceptable);
  }

  void sentenceFields_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArrayList>("fields");
    QTest::newRow("address only") << Bytes("$PQVXVER*4E\r\n") << QByteArrayList{"PQVXVER"};
    QTest::newRow("empty field") << Bytes("$PQVXCF,C,,00001*54\r\n") << QByteArrayList{"PQVXCF", "C", "", "00001"};
    QTest::newRow("empty last field") << Bytes("$PQVXFL,R,*57\r\n") << QByteArrayList{"PQVXFL", "R", ""};
    QTest::newRow("no checksum") << Bytes("$PQVXOP,C,12,1\r\n") << QByteArrayList{"PQVXOP", "C", "12", "1"};
    QTest::newRow("no * and no CR LF") << Bytes("$PQVXVER,R") << QByteArrayList{"PQVXVER", "R"};
    QTest::newRow("! start") << Bytes("!AIVDM,1,1,,B,15N4cJ`005Jrek0H@9n`DW5608EP,0*13\r\n")
                             << QByteArrayList{"AIVDM", "1", "1", "", "B", "15N4cJ`005Jrek0H@9n`DW5608EP", "0"};
    QTest::newRow("TAG block") << Bytes("\\s:HLX2000-1*0B\\$GPGLL,1*4D\r\n") << QByteArrayList{"GPGLL", "1"};
    QTest::newRow("two TAG blocks") << Bytes("\\g:1-2-3*00\\\\s:x*11\\$PQVXVER*4E\r\n") << QByteArrayList{"PQVXVER"};
    QTest::newRow("CR closes the sentence") << Bytes("$PQVXVER,R\rP\r\n") << QByteArrayList{"PQVXVER", "R"};
    QTest::newRow("NUL after CR LF") << Bytes("$PQVXVER\r\n\0"sv) << QByteArrayList{"PQVXVER"};
    QTest::newRow("NUL cuts CR LF off") << Bytes("$PQVXVER\0\r\n"sv) << QByteArrayList{};
    QTest::newRow("no start character") << Bytes("PQVXVER*4E\r\n") << QByteArrayList{};
    QTest::newRow("TAG block, no start") << Bytes("\\s:x*00\\PQVXVER\r\n") << QByteArrayList{};
    QTest::newRow("empty line") << Bytes("\r\n") << QByteArrayList{};
  }
  void sentenceFields() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArrayList, fields);
    QByteArrayList got;
    for (const std::string& f : SentenceFields(View(line))) got << Bytes(f);
    QCOMPARE(got, fields);
  }
};

QTEST_GUILESS_MAIN(SimSentenceTest)
#include "tst_simsentence.moc"
