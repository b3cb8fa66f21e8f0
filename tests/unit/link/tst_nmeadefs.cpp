#include <QtTest>

#include "link/Nmeadefs.h"

using namespace hlx;

// The sentence primitives; the reply tests of the configuration model read
// fields through them too (ordinary, empty and missing ones).
class NmeadefsTest : public QObject {
  Q_OBJECT
 private slots:
  void extractField_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("field");
    const QString ver = "$PQVXVER,3.33.1,NAME,12345,8041*4A\r\n";
    QTest::newRow("address field") << ver << 0 << 7 << "PQVXVER";
    QTest::newRow("last field stops at star") << ver << 4 << 4 << "8041";
    QTest::newRow("past the last field") << ver << 5 << -1 << "";
    QTest::newRow("empty middle field") << "$GPGLL,,,\r\n" << 2 << 0 << "";
    QTest::newRow("tag block skipped") << "\\s:x-2*12\\$GPRMC,1,2\r\n" << 0 << 5 << "GPRMC";
    QTest::newRow("six characters is too short") << "$A,B\r\n" << 0 << -9 << "";
    QTest::newRow("no CR LF") << "$GPRMC,1,2,3" << 0 << -9 << "";
    QTest::newRow("LF without CR") << "$GPRMC,1,2,3\n" << 0 << -9 << "";
    QTest::newRow("wrong start character") << "GPRMC,1,2,3\r\n" << 0 << -9 << "";
    QTest::newRow("encapsulated sentence") << "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\r\n"
                                           << 1 << 1 << "1";
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
};

QTEST_APPLESS_MAIN(NmeadefsTest)
#include "tst_nmeadefs.moc"
