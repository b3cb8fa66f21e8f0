// Reply parsing and command building of the configuration model.

#include <QtTest>

#include "config/DeviceConfig.h"
#include "link/Nmeadefs.h"
#include "support_lines.h"

using namespace hlx;
using hlx::test::Received;

namespace {

using Speeds = std::array<std::uint8_t, kSpeedCount>;
using Flags5 = std::array<bool, kChannelCount>;

// A model with every field away from zero, so "unchanged" is observable.
DeviceConfig Filled() {
  DeviceConfig c;
  c.Speed = {1, 1, 1, 1, 1};
  c.PriorityTimeout = 2;
  c.RealTime = {true, false, true, false, true};
  c.TalkerId = {"AA", "BB", "CC", "DD", "EE"};
  c.RouteOut1 = {true, true, false, false, true};
  c.RouteOut2 = {false, true, false, true, false};
  c.InputMode = {1, 2, 3, 4};
  c.HostDataOut1 = 1;
  c.HostDataOut2 = 2;
  c.Options = 0x1234;
  return c;
}

}  // namespace

class TestDeviceConfig : public QObject {
  Q_OBJECT

 private slots:
  void speedReply_setsEveryListIndex_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QByteArray>("expected");  // five indexes
    QTest::newRow("example: up to 115200 on Out2") << "PQVXSP,R,0,1,2,3,5" << QByteArray("\0\1\2\3\5", 5);
    QTest::newRow("value outside the list kept raw") << "PQVXSP,R,9,1,2,3,5" << QByteArray("\x09\1\2\3\5", 5);
    QTest::newRow("only first character counts") << "PQVXSP,R,12,1,2,3,5" << QByteArray("\1\1\2\3\5", 5);
    QTest::newRow("missing fields keep old values") << "PQVXSP,R,0,0" << QByteArray("\0\0\1\1\1", 5);
    QTest::newRow("empty field keeps old value") << "PQVXSP,R,,0,0,0,0" << QByteArray("\1\0\0\0\0", 5);
  }
  void speedReply_setsEveryListIndex() {
    QFETCH(QString, reply);
    QFETCH(QByteArray, expected);
    DeviceConfig c = Filled();
    QVERIFY(ApplySPReply(c, Received(reply.toStdString())));
    for (int i = 0; i < kSpeedCount; ++i) QCOMPARE(int(c.Speed[i]), int(expected[i]));
  }

  void optionReply_readsHexOrKeepsWord_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("bits 0 6 13 15") << "PQVXOP,R,0000A041" << quint32(0xA041);
    QTest::newRow("lower-case digits") << "PQVXOP,R,0004a041" << quint32(0x4A041);
    QTest::newRow("all bits") << "PQVXOP,R,FFFFFFFF" << quint32(0xFFFFFFFF);
    QTest::newRow("not hex keeps word") << "PQVXOP,R,XYZ" << quint32(0x1234);
    QTest::newRow("half hex keeps word") << "PQVXOP,R,12G4" << quint32(0x1234);
    QTest::newRow("more than 32 bits keeps word") << "PQVXOP,R,123456789" << quint32(0x1234);
    QTest::newRow("empty keeps word") << "PQVXOP,R," << quint32(0x1234);
    QTest::newRow("missing keeps word") << "PQVXOP,R" << quint32(0x1234);
    QTest::newRow("command is not a reply") << "PQVXOP,C,00000001" << quint32(0x1234);
  }
  void optionReply_readsHexOrKeepsWord() {
    QFETCH(QString, reply);
    QFETCH(quint32, expected);
    DeviceConfig c = Filled();
    ApplyOPReply(c, Received(reply.toStdString()));
    QCOMPARE(c.Options, expected);
  }

  void talkerIdReply_cutsToTwoCharacters() {
    DeviceConfig c = Filled();
    QVERIFY(ApplyIDReply(c, Received("PQVXID,R,GPS,II,,HE,XX")));
    QCOMPARE(c.TalkerId, (std::array<std::string, 5>{"GP", "II", "", "HE", "XX"}));
    // A reply cut short leaves the later positions alone.
    QVERIFY(ApplyIDReply(c, Received("PQVXID,R,SD")));
    QCOMPARE(c.TalkerId, (std::array<std::string, 5>{"SD", "II", "", "HE", "XX"}));
  }

  void cfReply_readsRealTimeAndTimeoutButNotHostSpeed() {
    DeviceConfig c = Filled();
    const Speeds before = c.Speed;
    QVERIFY(ApplyCFReply(c, Received("PQVXCF,R,3,10101,4")));
    QCOMPARE(c.RealTime, (Flags5{true, false, true, false, true}));
    QCOMPARE(int(c.PriorityTimeout), 4);
    QCOMPARE(c.Speed, before);
    // A short flag field is not half-applied.
    QVERIFY(ApplyCFReply(c, Received("PQVXCF,R,3,01,1")));
    QCOMPARE(c.RealTime, (Flags5{true, false, true, false, true}));
    QCOMPARE(int(c.PriorityTimeout), 1);
  }

  void drReply_readsBothOutputs() {
    DeviceConfig c;
    QVERIFY(ApplyDRReply(c, Received("PQVXDR,R,10000,2,0A001,0")));
    QCOMPARE(c.RouteOut1, (Flags5{true, false, false, false, false}));
    QCOMPARE(int(c.HostDataOut1), 2);
    // Any character but "0" means on.
    QCOMPARE(c.RouteOut2, (Flags5{false, true, false, false, true}));
    QCOMPARE(int(c.HostDataOut2), 0);
  }

  void inReply_readsFourModes() {
    DeviceConfig c;
    QVERIFY(ApplyINReply(c, Received("PQVXIN,R,0,5,3,6")));
    QCOMPARE(c.InputMode, (std::array<std::uint8_t, 4>{0, 5, 3, 6}));
  }

  void replies_ignoreLinesThatAreNotReplies_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("command") << "$PQVXSP,C,0,0,0,0,0*hh";
    QTest::newRow("field 1 longer than R") << "$PQVXSP,RR,0,0,0,0,0*hh";
    QTest::newRow("no field 1") << "$PQVXSP*hh";
  }
  void replies_ignoreLinesThatAreNotReplies() {
    QFETCH(QString, line);
    std::string text = line.toStdString();
    text = text.substr(0, text.find('*')) + "*00\r\n";
    DeviceConfig c = Filled();
    QVERIFY(!ApplySPReply(c, text));
    QVERIFY(!ApplyCFReply(c, text));
    QVERIFY(!ApplyIDReply(c, text));
    QCOMPARE(c, Filled());
  }

  void replyWithTagBlock_parsesLikeWithout() {
    DeviceConfig a = Filled(), b = Filled();
    ApplySPReply(a, Received("PQVXSP,R,0,1,2,3,5"));
    ApplySPReply(b, "\\s:HLX-1*5A\\" + Received("PQVXSP,R,0,1,2,3,5"));
    QCOMPARE(a, b);
  }

  void commands_carryTheWholeGroup_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    DeviceConfig c;
    c.Speed = {0, 1, 2, 4, 5};
    QTest::newRow("speeds, Out2 at 115200") << QString::fromStdString(SpeedCommand(c)) << "PQVXSP,C,0,1,2,4,5";
    c.RealTime = {false, false, false, false, true};
    QTest::newRow("only Conv real time") << QString::fromStdString(RealTimeCommand(c)) << "PQVXCF,C,,00001";
    c.PriorityTimeout = 5;
    QTest::newRow("time-out 30 sec.") << QString::fromStdString(PrioTimeoutCommand(c)) << "PQVXCF,C,,,5";
    c.RouteOut1 = {true, false, false, false, false};
    c.RouteOut2 = {false, false, false, false, true};
    c.HostDataOut1 = 2;
    QTest::newRow("routing matrix") << QString::fromStdString(RouteCommand(c)) << "PQVXDR,C,10000,2,00001,0";
    c.InputMode = {0, 0, 0, 6};
    QTest::newRow("In4 SeaTalk") << QString::fromStdString(InputModeCommand(c)) << "PQVXIN,C,0,0,0,6";
    c.TalkerId = {"GP", "II", "HC", "SD", "XX"};
    QTest::newRow("talker IDs") << QString::fromStdString(TalkerIdCommand(c)) << "PQVXID,C,GP,II,HC,SD,XX";
    c.TalkerId = {"G", "", "hc", "S-", "XXX"};
    QTest::newRow("talker IDs: blanks dropped, upper case, two chars")
        << QString::fromStdString(TalkerIdCommand(c)) << "PQVXID,C,G,,HC,S,XX";
    QTest::newRow("bit on") << QString::fromStdString(OptionBitCommand(18, true)) << "PQVXOP,C,18,1";
    QTest::newRow("bit off") << QString::fromStdString(OptionBitCommand(1, false)) << "PQVXOP,C,1,0";
    QTest::newRow("whole word keeps leading zeros")
        << QString::fromStdString(OptionWordCommand(0xA041)) << "PQVXOP,C,0000A041";
  }
  void commands_carryTheWholeGroup() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
  }

  void unknownValueFromDevice_goesBackUnchanged() {
    // A selector cannot show an index outside its list; resending the group
    // must not turn it into something the device never had.
    DeviceConfig c;
    ApplySPReply(c, Received("PQVXSP,R,7,1,2,3,A"));
    QCOMPARE(QString::fromStdString(SpeedCommand(c)), QString("PQVXSP,C,7,1,2,3,A"));
  }

  void priority_data() {
    QTest::addColumn<quint32>("word");
    QTest::addColumn<bool>("enable");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<quint32>("after");
    QTest::newRow("off clears bits 0 to 2") << quint32(0x7) << false << "PQVXOP,C,00000000" << quint32(0);
    QTest::newRow("off keeps bit 12") << quint32(0x1007) << false << "PQVXOP,C,00001000" << quint32(0x1000);
    QTest::newRow("on keeps sub-settings") << quint32(0x6) << true << "PQVXOP,C,0,1" << quint32(0x7);
  }
  void priority() {
    QFETCH(quint32, word);
    QFETCH(bool, enable);
    QFETCH(QString, sent);
    QFETCH(quint32, after);
    DeviceConfig c;
    c.Options = word;
    QCOMPARE(QString::fromStdString(SetPriority(c, enable)), sent);
    QCOMPARE(c.Options, after);
  }

  void seaTalkOnIn4_forcesSharedSpeedTo4800() {
    DeviceConfig c;
    c.Speed = {1, 1, 1, 4, 1};
    QVERIFY(!ApplySeaTalkSpeedRule(c));
    QCOMPARE(int(c.Speed[kSpeedIn4Out1]), 4);
    c.InputMode[3] = kModeSeaTalk;
    QVERIFY(ApplySeaTalkSpeedRule(c));
    QCOMPARE(c.Speed, (Speeds{1, 1, 1, 0, 1}));
  }
};

QTEST_APPLESS_MAIN(TestDeviceConfig)
#include "tst_deviceconfig.moc"
