// Pure rules of the traffic monitor and the connection panel.

#include <pty.h>
#include <unistd.h>

#include <QtTest>

#include <cerrno>

#include "session/ConnectionRules.h"
#include "session/TrafficView.h"

using namespace hlx;

class MonitorRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void displayTextDropsTagBlockAndLineEnd_data();
  void displayTextDropsTagBlockAndLineEnd();
  void scrollingViewKeeps101LinesOf102Characters();
  void noScrollViewKeepsOneRowPerSentenceKind();
  void noScrollRowsAreNotCut();
  void overflowDigitSwitchesLeds_data();
  void overflowDigitSwitchesLeds();
  void historyKeepsTwentyDistinctTextsNewestFirst();
  void capabilityWord_data();
  void capabilityWord();
  void verReplyFieldsAndMissingOnes();
  void speedSearchGoesDownToTheSlowestThenGivesUp();
  void serialAdvice_data();
  void serialAdvice();
  void portHolderIsTheProcessWithTheDeviceOpen();
};

void MonitorRulesTest::displayTextDropsTagBlockAndLineEnd_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<bool>("showTag");
  QTest::addColumn<QString>("shown");  // "-" for nothing shown
  QTest::newRow("TAG hidden") << QByteArray("\\s:x-1*hh\\$GPRMC,1\r\n") << false << "$GPRMC,1";
  QTest::newRow("TAG shown") << QByteArray("\\s:x-1*hh\\$GPRMC,1\r\n") << true << "\\s:x-1*hh\\$GPRMC,1";
  QTest::newRow("just CR LF") << QByteArray("\r\n") << false << "-";
  QTest::newRow("start char and CR LF") << QByteArray("$\r\n") << false << "$";
  QTest::newRow("TAG then nothing") << QByteArray("\\s:x-1*hh\\\r\n") << false << "-";
  QTest::newRow("control characters") << QByteArray("$GP\x01\rXY\x7f\r\n") << false << "$GP..XY.";
  QTest::newRow("cut at NUL keeps text") << QByteArray("$GPGLL,1\0junk\r\n", 15) << false << "$GPGLL,1";
  QTest::newRow("latin-1 byte kept") << QByteArray("$GP\xb0X\r\n") << false << QString::fromLatin1("$GP\xb0X");
}

void MonitorRulesTest::displayTextDropsTagBlockAndLineEnd() {
  QFETCH(QByteArray, line);
  QFETCH(bool, showTag);
  QFETCH(QString, shown);
  const auto text = DisplayText(std::string_view(line.constData(), static_cast<std::size_t>(line.size())), showTag);
  QCOMPARE(text.value_or(QStringLiteral("-")), shown);
}

void MonitorRulesTest::scrollingViewKeeps101LinesOf102Characters() {
  TrafficView view;
  for (int i = 1; i <= 101; ++i) view.Add(QStringLiteral("$GPGLL,%1").arg(i));
  QCOMPARE(view.Lines().size(), 101);
  QCOMPARE(view.Lines().first(), QStringLiteral("$GPGLL,1"));
  view.Add(QStringLiteral("$GPGLL,102"));
  QCOMPARE(view.Lines().size(), 101);
  QCOMPARE(view.Lines().first(), QStringLiteral("$GPGLL,2"));
  QCOMPARE(view.Lines().last(), QStringLiteral("$GPGLL,102"));

  const QString longLine = QStringLiteral("$GPXXX,") + QString(120, QLatin1Char('A'));
  view.Add(longLine);
  QCOMPARE(view.Lines().last(), longLine.left(102));
  QVERIFY(view.TakeChanged());
  QVERIFY(!view.TakeChanged());
}

void MonitorRulesTest::noScrollViewKeepsOneRowPerSentenceKind() {
  TrafficView view;
  view.Add(QStringLiteral("old scrolling line"));
  view.SetNoScroll(true);
  QVERIFY(view.Lines().isEmpty());  // switching modes empties the view
  view.Add(QStringLiteral("$GPRMC,1"));
  view.Add(QStringLiteral("$IIRMC,1"));
  view.Add(QStringLiteral("$GPRMC,2"));
  view.Add(QStringLiteral("$PQVXOV,1"));
  view.Add(QStringLiteral("$PQVXOP,R,0"));
  view.Add(QStringLiteral("\\s:x-2*00\\$IIRMC,2"));  // TAG shown: still the IIRMC row
  QCOMPARE(view.Lines(),
           (QStringList{"$GPRMC,2", "\\s:x-2*00\\$IIRMC,2", "$PQVXOP,R,0"}));
  view.SetNoScroll(false);
  QVERIFY(view.Lines().isEmpty());
}

void MonitorRulesTest::noScrollRowsAreNotCut() {
  TrafficView view;
  view.SetNoScroll(true);
  for (int i = 0; i < 150; ++i) view.Add(QStringLiteral("$X%1Y,1").arg(i, 3, 10, QLatin1Char('0')));
  QCOMPARE(view.Lines().size(), 150);  // no line limit here
  const QString longLine = QStringLiteral("$GPZZZ,") + QString(115, QLatin1Char('B'));
  view.Add(longLine);
  QCOMPARE(view.Lines().last(), longLine);
}

void MonitorRulesTest::overflowDigitSwitchesLeds_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<uint>("bits");
  QTest::newRow("5 lights 1 and 3") << QByteArray("$PQVXOV,5\r\n") << 5u;
  QTest::newRow("2 lights 2") << QByteArray("$PQVXOV,2*00\r\n") << 2u;
  QTest::newRow("only first char counts") << QByteArray("$PQVXOV,13\r\n") << 1u;
  QTest::newRow("9 lights 1 and 4") << QByteArray("$PQVXOV,9\r\n") << 9u;
  QTest::newRow("hex F lights all") << QByteArray("$PQVXOV,F\r\n") << 15u;
  QTest::newRow("lower-case hex") << QByteArray("$PQVXOV,c\r\n") << 12u;
  QTest::newRow("not a digit") << QByteArray("$PQVXOV,Z\r\n") << 0u;
  QTest::newRow("empty field") << QByteArray("$PQVXOV,\r\n") << 0u;
  QTest::newRow("no field") << QByteArray("$PQVXOV\r\n") << 0u;
}

void MonitorRulesTest::overflowDigitSwitchesLeds() {
  QFETCH(QByteArray, line);
  QFETCH(uint, bits);
  QCOMPARE(OverflowBits(line.toStdString()), bits);
}

void MonitorRulesTest::historyKeepsTwentyDistinctTextsNewestFirst() {
  QStringList h;
  QVERIFY(AddToHistory(h, QStringLiteral("a")));
  QVERIFY(AddToHistory(h, QStringLiteral("b")));
  QVERIFY(!AddToHistory(h, QStringLiteral("a")));  // known text keeps its place
  QVERIFY(!AddToHistory(h, QString()));
  QCOMPARE(h, (QStringList{"b", "a"}));
  for (int i = 0; i < 19; ++i) AddToHistory(h, QStringLiteral("t%1").arg(i));
  QCOMPARE(h.size(), 20);
  QCOMPARE(h.first(), QStringLiteral("t18"));
  QVERIFY(!h.contains(QStringLiteral("a")));  // the 21st distinct text pushed out the oldest
  QCOMPARE(h.last(), QStringLiteral("b"));
}

void MonitorRulesTest::capabilityWord_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("valid");
  QTest::addColumn<bool>("supported");
  QTest::addColumn<bool>("updatable");
  QTest::addColumn<int>("hostKind");
  QTest::newRow("8041 USB, updatable") << "8041" << true << true << true << 1;
  QTest::newRow("0041 other family") << "0041" << true << false << false << -1;
  QTest::newRow("A000 bit 13 set") << "A000" << true << false << false << -1;
  QTest::newRow("8003 wireless") << "8003" << true << true << false << 3;
  QTest::newRow("9fbe lower case") << "9fbe" << true << true << false << 2;
  QTest::newRow("not hex") << "80G1" << false << false << false << -1;
  QTest::newRow("prefix is not hex") << "0x80" << false << false << false << -1;
  QTest::newRow("sign is not hex") << "+801" << false << false << false << -1;
  QTest::newRow("spaces") << "80 1" << false << false << false << -1;
}

void MonitorRulesTest::capabilityWord() {
  QFETCH(QString, text);
  QFETCH(bool, valid);
  QFETCH(bool, supported);
  QFETCH(bool, updatable);
  QFETCH(int, hostKind);
  const Capabilities c = ParseCapabilities(text);
  QCOMPARE(c.valid, valid);
  QCOMPARE(c.supported, supported);
  QCOMPARE(c.updatable, updatable);
  QCOMPARE(c.hostKind, hostKind);
}

void MonitorRulesTest::verReplyFieldsAndMissingOnes() {
  const VerReply full = ParseVerReply("$PQVXVER,3.33.1,HLX-4,12345,8041*00\r\n");
  QCOMPARE(full.version, QStringLiteral("3.33.1"));
  QCOMPARE(full.name, QStringLiteral("HLX-4"));
  QCOMPARE(full.serial, QStringLiteral("12345"));
  QVERIFY(full.hasCaps);

  const VerReply shortReply = ParseVerReply("$PQVXVER,3.33.1\r\n");
  QCOMPARE(shortReply.version, QStringLiteral("3.33.1"));
  QVERIFY(shortReply.name.isEmpty());
  QVERIFY(!shortReply.hasCaps);

  QVERIFY(!ParseVerReply("$PQVXVER,3.33.1,N,S,80411\r\n").hasCaps);  // five characters: not checked
  QVERIFY(ParseVerReply("garbage").version.isEmpty());
}

void MonitorRulesTest::speedSearchGoesDownToTheSlowestThenGivesUp() {
  QList<int> tried;
  for (int i = NextAutoBaudIndex(kBaudAutomatic); i >= 0; i = NextAutoBaudIndex(i)) tried << i;
  QCOMPARE(tried, (QList<int>{5, 4, 3, 2, 1, 0}));
  QCOMPARE(NextAutoBaudIndex(-1), -1);
}

void MonitorRulesTest::serialAdvice_data() {
  QTest::addColumn<int>("error");
  QTest::addColumn<QString>("group");
  QTest::addColumn<QString>("holder");
  QTest::addColumn<QString>("advice");
  QTest::newRow("no access: join the owning group")
      << EACCES << "dialout" << QString()
      << "Permission denied for /dev/ttyUSB0.\r"
         "The device belongs to the group \"dialout\". Add your user to it:\r"
         "    sudo usermod -aG dialout skipper\r"
         "then log out and in again.";
  QTest::newRow("not permitted, no group known")
      << EPERM << QString() << QString()
      << "Permission denied for /dev/ttyUSB0.\r"
         "Ask your administrator for read and write access to the device.";
  QTest::newRow("in use by a program found in /proc")
      << EBUSY << "dialout" << "gpsd (process 812)"
      << "The port /dev/ttyUSB0 is in use by another program: gpsd (process 812).\r"
         "Close that program, then connect again.";
  QTest::newRow("in use, holder not visible")
      << EBUSY << QString() << QString()
      << "The port /dev/ttyUSB0 is in use by another program.\r"
         "Close the program that uses it, then connect again.";
  QTest::newRow("missing device: no advice") << ENOENT << QString() << QString() << QString();
}

void MonitorRulesTest::serialAdvice() {
  QFETCH(int, error);
  QFETCH(QString, group);
  QFETCH(QString, holder);
  QFETCH(QString, advice);
  QCOMPARE(SerialPermissionAdvice("/dev/ttyUSB0", error, group, "skipper", holder), advice);
}

void MonitorRulesTest::portHolderIsTheProcessWithTheDeviceOpen() {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  const auto closeMaster = qScopeGuard([master] { ::close(master); });
  // Found through a link to the device too (socat links, /dev/serial/by-id).
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("port"));
  QVERIFY(QFile::link(QString::fromLocal8Bit(name), link));
  const QString us = QStringLiteral(" (process %1)").arg(QCoreApplication::applicationPid());
  QVERIFY2(SerialPortHolder(link).endsWith(us), qPrintable(SerialPortHolder(link)));
  const QString advice = SerialOpenAdvice(link, EBUSY);
  QVERIFY2(advice.startsWith("The port " + link) && advice.contains(us + ".\r"), qPrintable(advice));
  // Only the master side (/dev/ptmx) is left open now: nobody holds the port.
  ::close(slave);
  QCOMPARE(SerialPortHolder(QString::fromLocal8Bit(name)), QString());
  QCOMPARE(SerialPortHolder(QStringLiteral("/nonexistent/ttyHLX0")), QString());
}

QTEST_GUILESS_MAIN(MonitorRulesTest)
#include "tst_monitorrules.moc"
