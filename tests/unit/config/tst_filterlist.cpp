// The sentence filter and routing list: adding, merging, device replies,
// capture and the store sequence.

#include <QtTest>

#include "config/FilterList.h"
#include "support_lines.h"

using namespace hlx;
using hlx::test::Received;

namespace {

QString Row(const FilterList& list, int i) { return QString::fromStdString(FilterList::RuleCommand(list.At(i))); }

void Fill(FilterList& list, int count) {
  for (int i = 0; i < count; ++i) list.AddFilterEntry(QString("R%1").arg(i, 4, 10, QChar('0')).toStdString(), "", "", "", true);
}

}  // namespace

class TestFilterList : public QObject {
  Q_OBJECT

 private slots:
  void add_newRuleBlocksEverythingAndRepeatsAddress() {
    FilterList list;
    QCOMPARE(list.AddFilterEntry("gp---", "000000", "", "0000", true), kFilterAdded);
    QCOMPARE(list.AddFilterEntry("gp---", "000000", "", "0000", true), kFilterAdded);
    QCOMPARE(list.Count(), 2);
    QCOMPARE(Row(list, 0), QString("PQVXFL,C,GP---,000000,,0000"));
    QCOMPARE(Row(list, 1), Row(list, 0));
    QCOMPARE(list.SelectedRow(), 1);
  }

  void add_rejects_data() {
    QTest::addColumn<int>("existing");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::newRow("four characters") << 0 << "GPRM" << kFilterBadName;
    QTest::newRow("six characters") << 0 << "GPRMCX" << kFilterBadName;
    QTest::newRow("empty") << 0 << "" << kFilterBadName;
    QTest::newRow("comma would split the sentence") << 0 << "GP,MC" << kFilterBadName;
    QTest::newRow("asterisk would end the sentence") << 0 << "GP*MC" << kFilterBadName;
    QTest::newRow("full list wins over a bad length") << kMaxFilterRules << "GPRM" << kFilterFull;
    QTest::newRow("full list") << kMaxFilterRules << "GPRMC" << kFilterFull;
    QTest::newRow("49 rules still take one") << kMaxFilterRules - 1 << "GPRMC" << kFilterAdded;
  }
  void add_rejects() {
    QFETCH(int, existing);
    QFETCH(QString, name);
    QFETCH(int, result);
    FilterList list;
    Fill(list, existing);
    QCOMPARE(list.AddFilterEntry(name.toStdString(), "000000", "", "0000", true), result);
    QCOMPARE(list.Count(), existing + (result == kFilterAdded ? 1 : 0));
  }

  void merge_onlySwitchesFlagsOn() {
    FilterList list;
    list.AddFilterEntry("GPRMC", "010000", "7", "1000", true);
    list.AddFilterEntry("GPRMC", "000001", "3", "0101", false);
    list.AddFilterEntry("GPRMC", "000000", "", "0000", false);
    QCOMPARE(list.Count(), 1);
    QCOMPARE(Row(list, 0), QString("PQVXFL,C,GPRMC,010001,7,1101"));
  }

  void merge_findsTheFirstRuleOfThatAddress() {
    FilterList list;
    list.AddFilterEntry("GPGGA", "000000", "", "0000", true);
    list.AddFilterEntry("GPGGA", "000000", "", "0000", true);
    list.AddFilterEntry("gpgga", "100000", "", "0000", false);
    QCOMPARE(list.At(0).SourceText(), std::string("100000"));
    QCOMPARE(list.At(1).SourceText(), std::string("000000"));
  }

  void flReply_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QString>("rule");  // stored rule as its command, "" for none
    QTest::newRow("empty Div") << "PQVXFL,R,HCHDG,100010,,1100" << false << "PQVXFL,C,HCHDG,100010,,1100";
    QTest::newRow("outputs missing") << "PQVXFL,R,GPGGA,111111" << false << "PQVXFL,C,GPGGA,111111,,0000";
    QTest::newRow("short flags count as 0") << "PQVXFL,R,GPGGA,11,5,1" << false << "PQVXFL,C,GPGGA,110000,5,1000";
    QTest::newRow("no sources") << "PQVXFL,R,GPGGA" << false << "PQVXFL,C,GPGGA,000000,,0000";
    QTest::newRow("other characters are 0") << "PQVXFL,R,GPGGA,1X1X1X,,X1X1" << false << "PQVXFL,C,GPGGA,101010,,0101";
    QTest::newRow("bad address dropped") << "PQVXFL,R,GPGG,111111,,1111" << false << "";
    QTest::newRow("empty field 2 ends") << "PQVXFL,R," << true << "";
    QTest::newRow("missing field 2 ends") << "PQVXFL,R" << true << "";
    QTest::newRow("command ignored") << "PQVXFL,C,GPGGA,111111,,1111" << false << "";
  }
  void flReply() {
    QFETCH(QString, reply);
    QFETCH(bool, ends);
    QFETCH(QString, rule);
    FilterList list;
    QCOMPARE(list.HandleFLReply(Received(reply.toStdString())), ends);
    QCOMPARE(list.Count(), rule.isEmpty() ? 0 : 1);
    if (!rule.isEmpty()) QCOMPARE(Row(list, 0), rule);
  }

  void flReply_dropsRulesBeyondFifty() {
    FilterList list;
    Fill(list, kMaxFilterRules);
    QVERIFY(!list.HandleFLReply(Received("PQVXFL,R,GPGGA,111111,,1111")));
    QCOMPARE(list.Count(), kMaxFilterRules);
  }

  void capture_data() {
    QTest::addColumn<QList<int>>("sources");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("rules");  // stored rules joined by ";"
    QTest::newRow("In2 GPRMC") << QList<int>{2} << "GPRMC" << "GPRMC,101000,,0011";
    QTest::newRow("In2 then Conv merges")
        << QList<int>{2, 5} << "GPRMC" << "GPRMC,101001,,0011";
    QTest::newRow("long address cut to five") << QList<int>{1} << "GPRMCX" << "GPRMC,110000,,0011";
    QTest::newRow("short address ignored") << QList<int>{1} << "GPR" << "";
    QTest::newRow("source 0 ignored") << QList<int>{0} << "GPRMC" << "";
    QTest::newRow("source 6 ignored") << QList<int>{6} << "GPRMC" << "";
    QTest::newRow("no source ignored") << QList<int>{-1} << "GPRMC" << "";
  }
  void capture() {
    QFETCH(QList<int>, sources);
    QFETCH(QString, address);
    QFETCH(QString, rules);
    FilterList list;
    for (int s : sources) list.HandleCaptureLine(s, address.toStdString());
    QStringList got;
    for (int i = 0; i < list.Count(); ++i) got << Row(list, i).mid(int(strlen("PQVXFL,C,")));
    QCOMPARE(got.join(';'), rules);
  }

  void capture_keepsEditedCells() {
    FilterList list;
    list.AddFilterEntry("GPRMC", "000000", "4", "1000", true);
    list.HandleCaptureLine(3, "GPRMC");
    QCOMPARE(Row(list, 0), QString("PQVXFL,C,GPRMC,100100,4,1011"));
  }

  void store_sendsDeleteThenEveryRuleWithPacing() {
    FilterList list;
    auto steps = list.StoreSequence();
    QCOMPARE(steps.size(), std::size_t(1));
    QCOMPARE(steps[0], (PacedSentence{"PQVXFL,C,DELETE", 100}));
    list.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    list.AddFilterEntry("HCHDG", "000001", "", "0001", true);
    steps = list.StoreSequence();
    const std::vector<PacedSentence> expected{{"PQVXFL,C,DELETE", 100},
                                              {"PQVXFL,C,GPRMC,110000,2,1010", 5},
                                              {"PQVXFL,C,HCHDG,000001,,0001", 5}};
    QCOMPARE(steps, expected);
  }

  void gridEdits() {
    FilterList list;
    list.AddFilterEntry("GPRMC", "000000", "2", "0000", true);
    list.AddFilterEntry("GPGGA", "000000", "", "0000", true);
    // Toggling: flag columns only.
    QVERIFY(list.ToggleFlag(0, FcHost));
    QVERIFY(list.ToggleFlag(0, FcOutW));
    QVERIFY(!list.ToggleFlag(0, FcName));
    QVERIFY(!list.ToggleFlag(0, FcNumber));
    QVERIFY(!list.ToggleFlag(2, FcHost));
    QCOMPARE(Row(list, 0), QString("PQVXFL,C,GPRMC,100000,2,0001"));
    QVERIFY(list.ToggleFlag(0, FcHost));
    QCOMPARE(list.CellText(0, FcHost), std::string("0"));
    // In-place text: address must stay five characters, Div up to two digits.
    QVERIFY(list.SetText(0, FcName, "iihdt"));
    QVERIFY(!list.SetText(0, FcName, "IIHD"));
    QVERIFY(list.SetText(0, FcDiv, "15"));
    QVERIFY(list.SetText(0, FcDiv, ""));
    QVERIFY(!list.SetText(0, FcDiv, "123"));
    QVERIFY(!list.SetText(0, FcDiv, "1a"));
    QCOMPARE(Row(list, 0), QString("PQVXFL,C,IIHDT,000000,,0001"));
    // Delete moves later rules up; deleting past the end does nothing.
    QVERIFY(list.Delete(0));
    QCOMPARE(list.At(0).Name, std::string("GPGGA"));
    QVERIFY(!list.Delete(1));
    QVERIFY(list.Delete(0));
    QVERIFY(list.Empty());
    QCOMPARE(list.SelectedRow(), -1);
  }
};

QTEST_APPLESS_MAIN(TestFilterList)
#include "tst_filterlist.moc"
