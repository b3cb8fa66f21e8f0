// Traffic monitor, logs, view filter, overflow LEDs and manual input of the
// real main window. Chosen lines reach it over a real UDP channel; what goes
// to the device is checked in the simulator's record.

#include "WindowHarness.h"
#include "config/ConfigFile.h"

using namespace hlx;
using namespace hlx::test;

class MonitorTest : public QObject {
  Q_OBJECT

  // Lines of a log file, each ended by CR LF.
  static QStringList LogLines(const QString& name) {
    QStringList lines = QString::fromLatin1(ReadAll(name)).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
  }

 private slots:
  void logsSentAndReceivedLinesOverTcp() {
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(h.Start({"--traffic", "10"}), qPrintable(h.Why()));
    const QString log = dir.filePath(QStringLiteral("session.txt"));
    h.Trigger("miStartLog", log);
    QCOMPARE(h.prompts.lastSaveFilter, int(kSaveFilterLog));
    QVERIFY(!h.Action("miStartLog")->isEnabled() && h.Action("miStopLog")->isEnabled());
    QVERIFY(!h.Button("btnSend")->isEnabled());  // only while connected
    QVERIFY(h.ConnectTcp());
    const int afterRead = h.Shown().size();
    QTRY_VERIFY(h.Shown().size() >= afterRead + 3);  // some live traffic
    h.Trigger("miStopLog");
    QCOMPARE(h.Panel(4), QStringLiteral("Log: ---"));
    QVERIFY(h.Action("miStartLog")->isEnabled());

    // The NMEA log: every line sent, and the received ones as the view's first lines.
    QStringList lines = LogLines(log);
    // The program writes "$" and the text; the simulator records "*hh" as well.
    const QStringList sent =
        h.Recorded().replaceInStrings(QRegularExpression(QStringLiteral("\\*..$")), QString());
    QStringList logSent, logReceived;
    for (const QString& l : lines) (sent.contains(l) ? logSent : logReceived) << l;
    QCOMPARE(logSent, sent);
    QTRY_VERIFY(h.Shown().size() >= logReceived.size());
    QVERIFY2(h.Shown().size() < 101, "too much traffic for the comparison");
    QCOMPARE(h.Shown().mid(0, logReceived.size()), logReceived);
    QCOMPARE(logReceived.filter(QStringLiteral("$PQVXVER,")).size(), 1);
    QVERIFY(lines.indexOf(QStringLiteral("$PQVXVER")) <
            lines.indexOf(logReceived.filter(QStringLiteral("$PQVXVER,")).first()));

    // The diagnostic log stamps every line with time, channel and direction.
    h.Trigger("miTimedLog", dir.filePath(QStringLiteral("diag.txt")));
    h.Combo("cbSentence")->setEditText(QStringLiteral("PQVXVER"));
    h.Click("btnSend");
    // A count of two digits or more, to see that the panel shows it whole.
    QTRY_VERIFY(h.Panel(4).section(u' ', 1, 1).toInt() >= 10);
    const QString counted = h.Panel(4);
    const QLabel* logPanel = h.Find<QLabel>("StatusPanel4");  // shown whole, not cut
    QVERIFY(logPanel->fontMetrics().horizontalAdvance(counted) <= logPanel->contentsRect().width());
    h.Trigger("miStopLog");
    lines = LogLines(dir.filePath(QStringLiteral("diag.txt")));
    QCOMPARE(counted, QStringLiteral("Log: %1 lines").arg(lines.size()));
    const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3} TCP(<-|->)\\] (.+)$"));
    QStringList stampedSent;
    for (const QString& l : lines) {
      const auto m = stamp.match(l);
      QVERIFY2(m.hasMatch(), qPrintable(l));
      if (m.captured(1) == QStringLiteral("->")) stampedSent << m.captured(2);
    }
    QCOMPARE(stampedSent, QStringList{"$PQVXVER"});
    QCOMPARE(lines.filter(QStringLiteral("TCP<-] $PQVXVER,")).size(), 1);
  }

  // Manual input gets its checksum; the history keeps the 20 newest texts. A
  // view filter gives the device its own option word back, on Disconnect too.
  void manualInputAndViewFilter() {
    WindowHarness h;
    QVERIFY2(h.Start(), qPrintable(h.Why()));
    QVERIFY(h.ConnectTcp());
    QComboBox* cb = h.Combo("cbSentence");
    const auto send = [&](const QString& text) {
      cb->setEditText(text);
      h.Click("btnSend");
    };
    send(QStringLiteral("GPTXT,hello"));
    // Enter and keypad Enter, where the keys go: to the combo box, which has the focus.
    cb->setEditText(QStringLiteral("$GPTXT,typed*00"));
    QTest::keyClick(cb, Qt::Key_Return);
    cb->setEditText(QStringLiteral("GPTXT,pad"));
    QTest::keyClick(cb, Qt::Key_Enter, Qt::KeypadModifier);
    send(QStringLiteral("GPTXT,hello"));
    send(QString());  // empty: nothing
    QTRY_COMPARE(h.Sent("$GPTXT"),
                 (QStringList{"$GPTXT,hello*01", "$GPTXT,typed*00", "$GPTXT,pad*16", "$GPTXT,hello*01"}));
    QCOMPARE(cb->count(), 3);
    QCOMPARE(cb->itemText(0), QStringLiteral("GPTXT,pad"));
    QCOMPARE(cb->itemText(1), QStringLiteral("$GPTXT,typed*00"));
    for (int i = 1; i <= 18; ++i) send(QStringLiteral("GPTXT,%1").arg(i));
    QCOMPARE(cb->count(), 20);
    QCOMPARE(cb->itemText(0), QStringLiteral("GPTXT,18"));
    QCOMPARE(cb->itemText(19), QStringLiteral("$GPTXT,typed*00"));
    send(QStringLiteral("GPTXT,") + QString(100, QLatin1Char('y')));
    QCOMPARE(h.prompts.records.size(), 1);
    QVERIFY(h.prompts.records.last().text.startsWith(QLatin1String("Not sent")));
    QTRY_COMPARE(h.Sent("$GPTXT").size(), 4 + 18);
    QVERIFY(h.Sent("$GPTXT,yy").isEmpty());

    const QString filter = QStringLiteral("$PQVXOP,C,12,1*4D"), own = QStringLiteral("$PQVXOP,C,00001040*56");
    h.Choose("cbViewFilter", 3);
    QTRY_COMPARE(h.Sent("$PQVXOP"), QStringList{filter});
    h.Choose("cbViewFilter", 0);
    QTRY_COMPARE(h.Sent("$PQVXOP"), (QStringList{filter, own}));
    h.Choose("cbViewFilter", 5);
    h.Click("btnConnect");
    QVERIFY(!h.Connected());
    QCOMPARE(h.Combo("cbViewFilter")->currentIndex(), 0);
    QTRY_COMPARE(h.Sent("$PQVXOP").size(), 4);
    QCOMPARE(h.Sent("$PQVXOP").last(), own);
  }

  // Fed lines in the logs, the view and the overflow LEDs.
  void logsViewAndOverflowLedsShowFedLines() {
    QTemporaryDir dir;
    WindowHarness h;
    h.Create();
    // A log that cannot be created says so and stays off; on a full disk the
    // first line (the query on connecting) fails and logging stops.
    const QString bad = dir.filePath(QStringLiteral("no-such-folder/log.txt"));
    h.Trigger("miStartLog", bad);
    QCOMPARE(h.prompts.records.last().text, QStringLiteral("Error Creating \"%1\"").arg(bad));
    QVERIFY(h.Action("miStartLog")->isEnabled());
    h.Trigger("miStartLog", QStringLiteral("/dev/full"));
    QVERIFY(h.Action("miStopLog")->isEnabled());
    h.ListenUdpAll();
    QTRY_VERIFY(h.Action("miStartLog")->isEnabled());
    QVERIFY(!h.Action("miStopLog")->isEnabled());
    QCOMPARE(h.Panel(4), QStringLiteral("Log: 1 lines"));
    QVERIFY2(h.prompts.texts().filter(QStringLiteral("space"), Qt::CaseInsensitive).size() == 1,
             qPrintable(h.prompts.texts().join(QLatin1Char('|'))));
    // Control characters: the view shows them as dots, the log keeps them.
    QFile raw(dir.filePath(QStringLiteral("raw.txt")));
    h.Trigger("miStartLog", raw.fileName());
    h.Feed(
        "$GPTXT,a\x01"
        "b\tc\x7f");
    QTRY_COMPARE(h.Shown(), QStringList{"$GPTXT,a.b.c."});
    h.Trigger("miStopLog");
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(raw.readAll(), QByteArray("$GPTXT,a\x01"
                                       "b\tc\x7f\r\n"));
    h.Click("btnClear");

    // Scrolling: the last 101 lines, each cut to 102 characters; a bare CR LF
    // is not shown.
    for (int i = 1; i <= 102; ++i) h.Feed("$GPGLL," + QByteArray::number(i));
    QTRY_COMPARE(h.Shown().size(), 101);
    QCOMPARE(h.Shown().first(), QStringLiteral("$GPGLL,2"));
    QCOMPARE(h.Shown().last(), QStringLiteral("$GPGLL,102"));
    h.Feed("$GPTXT," + QByteArray(115, 'x'));
    QTRY_COMPARE(h.Shown().last().size(), 102);
    h.Feed("");
    h.Feed("$");
    QTRY_COMPARE(h.Shown().last(), QStringLiteral("$"));
    QCOMPARE(h.Shown().size(), 101);
    h.Click("btnClear");

    // TAG blocks are hidden unless asked for.
    h.Feed("\\s:x-1*hh\\$GPRMC,1");
    QTRY_COMPARE(h.Shown(), QStringList{"$GPRMC,1"});
    h.Check("chbTAGShow")->setChecked(true);
    h.Feed("\\s:x-1*hh\\$GPRMC,2");
    QTRY_COMPARE(h.Shown().last(), QStringLiteral("\\s:x-1*hh\\$GPRMC,2"));

    // Without scrolling one row per sentence; switching either way empties the view.
    h.Check("chbNoScroll")->click();
    QTRY_VERIFY(h.Shown().isEmpty());
    for (const char* line : {"$GPRMC,1", "$IIRMC,1", "$GPRMC,2", "$PQVXOV,0", "$PQVXOP,R,00001000"})
      h.Feed(line);
    QTRY_COMPARE(h.Shown(), (QStringList{"$GPRMC,2", "$IIRMC,1", "$PQVXOP,R,00001000"}));
    h.Check("chbNoScroll")->click();
    QTRY_VERIFY(h.Shown().isEmpty());

    // Overflow LEDs light per bit and go out 500 ms after the last report.
    QCOMPARE(h.Leds(), QStringLiteral("0000"));
    h.Feed("$PQVXOV,5");
    QTRY_COMPARE(h.Leds(), QStringLiteral("1010"));
    QTest::qWait(250);
    h.Feed("$PQVXOV,2");  // adds LED 2, keeps 1 and 3, restarts the 500 ms
    QTRY_COMPARE(h.Leds(), QStringLiteral("1110"));
    QElapsedTimer sinceLast;
    sinceLast.start();
    QTRY_VERIFY_WITH_TIMEOUT(h.Leds() != QStringLiteral("1110"), 3000);
    QVERIFY2(sinceLast.elapsed() >= 400, qPrintable(QString::number(sinceLast.elapsed())));
    QCOMPARE(h.Leds(), QStringLiteral("0000"));  // all at once
  }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
