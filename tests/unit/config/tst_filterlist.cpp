// The sentence filter and routing list: adding, merging, device replies,
// capture, grid edits and the store sequence.

#include <QtTest>

#include "config/FilterList.h"
#include "support_lines.h"

using namespace hlx;

namespace {

// The rules as they are stored, without "PQVXFL,C,", joined by ";".
QString Rules(const FilterList& list) {
  QStringList rules;
  for (const auto& rule : list.Rules()) rules << QString::fromStdString(FilterList::RuleCommand(rule)).mid(9);
  return rules.join(';');
}

void Fill(FilterList& list, int count) {
  for (int i = 0; i < count; ++i)
    list.AddFilterEntry(QString("R%1").arg(i, 4, 10, QChar('0')).toStdString(), "", "", "", true);
}

}  // namespace

class TestFilterList : public QObject {
  Q_OBJECT

 private slots:
  void addAndEditCheckTheAddress_data() {
    QTest::addColumn<int>("existing");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("result");
    QTest::newRow("lower case is stored upper case") << 0 << QByteArray("gp---") << kFilterAdded;
    QTest::newRow("inner blank") << 0 << QByteArray("GP MC") << kFilterAdded;
    QTest::newRow("four characters") << 0 << QByteArray("GPRM") << kFilterBadName;
    QTest::newRow("six characters") << 0 << QByteArray("GPRMCX") << kFilterBadName;
    QTest::newRow("empty") << 0 << QByteArray("") << kFilterBadName;
    // Characters that would split or end the sentence, that it cannot carry,
    // or that a configuration file reads back as something else.
    const std::pair<const char*, const char*> refused[] = {
        {"comma", "GP,MC"},         {"asterisk", "GP*MC"},        {"dollar", "GP$MC"},
        {"exclamation", "GP!MC"},   {"backslash", "GP\\MC"},      {"CR", "GP\rMC"},
        {"DEL", "GP\x7FMC"},        {"not ASCII", "GPR\xC3\x84"}, {"equals sign", "GP=MC"},
        {"semicolon", "GP;MC"},     {"open bracket", "GP[MC"},    {"close bracket", "GP]MC"},
        {"leading blank", " GPMC"}, {"trailing blank", "GPMC "}};
    for (const auto& [what, name] : refused) QTest::newRow(what) << 0 << QByteArray(name) << kFilterBadName;
    QTest::newRow("full list wins over a bad length") << kMaxFilterRules << QByteArray("GPRM") << kFilterFull;
    QTest::newRow("full list") << kMaxFilterRules << QByteArray("GPRMC") << kFilterFull;
    QTest::newRow("49 rules still take one") << kMaxFilterRules - 1 << QByteArray("GPRMC") << kFilterAdded;
  }
  void addAndEditCheckTheAddress() {
    QFETCH(int, existing);
    QFETCH(QByteArray, name);
    QFETCH(int, result);
    FilterList list;
    Fill(list, existing);
    QCOMPARE(list.AddFilterEntry(name.toStdString(), "000000", "", "0000", true), result);
    QCOMPARE(list.Count(), existing + (result == kFilterAdded ? 1 : 0));
    if (result == kFilterAdded) QCOMPARE(list.At(existing).Name, name.toUpper().toStdString());
    // An in-place edit of the address follows the same rule.
    FilterList edited;
    edited.AddFilterEntry("GPRMC", "000000", "", "0000", true);
    if (existing == 0) QCOMPARE(edited.SetText(0, FcName, name.toStdString()), result == kFilterAdded);
  }

  void mergeOnlySwitchesFlagsOnInTheFirstRuleOfItsAddress() {
    FilterList list;
    list.AddFilterEntry("gprmc", "010000", "7", "1000", true);
    list.AddFilterEntry("GPRMC", "000000", "", "0000", true);  // a second row despite the address
    QCOMPARE(list.SelectedRow(), 1);
    list.AddFilterEntry("GPRMC", "000001", "3", "0101", false);
    list.AddFilterEntry("gprmc", "000000", "", "0000", false);
    list.HandleCaptureLine(3, "GPRMC");
    QCOMPARE(Rules(list), QString("GPRMC,110101,7,1111;GPRMC,000000,,0000"));
    QCOMPARE(list.SelectedRow(), 1);
  }

  void flReply_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QString>("rule");  // "" for none
    QTest::newRow("empty Div") << "PQVXFL,R,HCHDG,100010,,1100" << false << "HCHDG,100010,,1100";
    QTest::newRow("outputs missing") << "PQVXFL,R,GPGGA,111111" << false << "GPGGA,111111,,0000";
    QTest::newRow("short flags count as 0") << "PQVXFL,R,GPGGA,11,5,1" << false << "GPGGA,110000,5,1000";
    QTest::newRow("no sources") << "PQVXFL,R,GPGGA" << false << "GPGGA,000000,,0000";
    QTest::newRow("other characters are 0") << "PQVXFL,R,GPGGA,1X1X1X,,X1X1" << false << "GPGGA,101010,,0101";
    QTest::newRow("short address dropped") << "PQVXFL,R,GPGG,111111,,1111" << false << "";
    QTest::newRow("file syntax in address dropped") << "PQVXFL,R,GP=MC,111111,,1111" << false << "";
    QTest::newRow("empty field 2 ends") << "PQVXFL,R," << true << "";
    QTest::newRow("missing field 2 ends") << "PQVXFL,R" << true << "";
    QTest::newRow("command ignored") << "PQVXFL,C,GPGGA,111111,,1111" << false << "";
  }
  void flReply() {
    QFETCH(QString, reply);
    QFETCH(bool, ends);
    QFETCH(QString, rule);
    FilterList list;
    QCOMPARE(list.HandleFLReply(test::Received(reply.toStdString())), ends);
    QCOMPARE(Rules(list), rule);
  }

  void capture_data() {
    QTest::addColumn<QByteArray>("sources");  // one digit per line seen, "/" for -1 (no source)
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("rules");
    struct Row {
      const char* name;
      const char* sources;
      const char* address;
      const char* rules;
    };
    const Row rows[] = {
        {"In2 GPRMC", "2", "GPRMC", "GPRMC,101000,,0011"},
        {"In2 then Conv merges", "25", "GPRMC", "GPRMC,101001,,0011"},
        {"long address cut to five", "1", "GPRMCX", "GPRMC,110000,,0011"},
        {"short address ignored", "1", "GPR", ""},
        {"sources 0 and 6 ignored", "06", "GPRMC", ""},
        {"no source ignored", "/", "GPRMC", ""},
    };
    for (const Row& r : rows) QTest::newRow(r.name) << QByteArray(r.sources) << r.address << r.rules;
  }
  void capture() {
    QFETCH(QByteArray, sources);
    QFETCH(QString, address);
    QFETCH(QString, rules);
    FilterList list;
    for (char s : sources) list.HandleCaptureLine(s - '0', address.toStdString());
    QCOMPARE(Rules(list), rules);
  }

  void storeSendsDeleteThenEveryRuleWithPacing() {
    FilterList list;
    QCOMPARE(list.StoreSequence(), (std::vector<PacedSentence>{{"PQVXFL,C,DELETE", 100}}));
    list.AddFilterEntry("GPRMC", "110000", "2", "1010", true);
    list.AddFilterEntry("HCHDG", "000001", "", "0001", true);
    const std::vector<PacedSentence> expected{
        {"PQVXFL,C,DELETE", 100}, {"PQVXFL,C,GPRMC,110000,2,1010", 5}, {"PQVXFL,C,HCHDG,000001,,0001", 5}};
    QCOMPARE(list.StoreSequence(), expected);
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
    QCOMPARE(Rules(list), QString("GPRMC,100000,2,0001;GPGGA,000000,,0000"));
    QVERIFY(list.ToggleFlag(0, FcHost));
    QCOMPARE(list.CellText(0, FcHost), std::string("0"));
    // In-place text: the address checks are above; Div takes up to two digits.
    QVERIFY(list.SetText(0, FcName, "iihdt"));
    QVERIFY(list.SetText(0, FcDiv, "15"));
    QVERIFY(list.SetText(0, FcDiv, ""));
    QVERIFY(!list.SetText(0, FcDiv, "123"));
    QVERIFY(!list.SetText(0, FcDiv, "1a"));
    QCOMPARE(Rules(list), QString("IIHDT,000000,,0001;GPGGA,000000,,0000"));
    // Delete moves later rules up; deleting past the end does nothing.
    QVERIFY(list.Delete(0));
    QVERIFY(!list.Delete(1));
    QCOMPARE(Rules(list), QString("GPGGA,000000,,0000"));
    QVERIFY(list.Delete(0));
    QCOMPARE(list.SelectedRow(), -1);
  }
};

QTEST_APPLESS_MAIN(TestFilterList)
#include "tst_filterlist.moc"
