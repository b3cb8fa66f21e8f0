#include <QTcpSocket>
#include <QtTest>

#include "CurrentDialect.h"
#include "LineAssembler.h"
#include "NetEndpoints.h"
#include "SimDevice.h"
#include "SimSentence.h"
#include "link/Nmeadefs.h"

using namespace hlx;
using namespace hlx::sim;

namespace {

// The query as the program sends it: completed with checksum and CR LF.
std::vector<std::string> Send(SimDevice& d, const char* text) { return d.ReceiveLine(CompleteSentence(text)); }

QString Only(const std::vector<std::string>& replies) {
  return replies.size() == 1 ? QString::fromStdString(replies[0]).trimmed() : QStringLiteral("<%1 replies>").arg(replies.size());
}

QString Body(const QString& line) { return line.left(line.indexOf('*')); }

}  // namespace

class SimDeviceTest : public QObject {
  Q_OBJECT
 private slots:
  void versionReply_carriesIdentityAndCapabilities() {
    SimSettings s;
    s.firmware = "3.34.2";
    s.name = "MUX";
    s.serial = "777";
    s.caps = "8040";
    SimDevice d(s);
    const std::string reply = Send(d, "PQVXVER").at(0);
    QCOMPARE(FieldOr(reply, 1), std::string("3.34.2"));
    QCOMPARE(FieldOr(reply, 2), std::string("MUX"));
    QCOMPARE(FieldOr(reply, 3), std::string("777"));
    QCOMPARE(FieldOr(reply, 4), std::string("8040"));
    QVERIFY(ChecksumAcceptable(reply));
  }

  void versionReply_failureModes() {
    SimSettings s;
    s.faults.noCaps = true;
    SimDevice noCaps(s);
    std::string f;
    QCOMPARE(ExtractField(Send(noCaps, "PQVXVER").at(0), 4, f), kFieldMissing);
    s.faults = {};
    s.faults.silent = true;
    SimDevice silent(s);
    QVERIFY(Send(silent, "PQVXVER").empty());
  }

  void commands_changeStateAndReplyReflectsIt_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");
    QTest::newRow("all speeds") << "PQVXSP,C,0,1,2,3,5" << "$PQVXSP,R,0,1,2,3,5";
    QTest::newRow("out-of-range speed keeps the old one") << "PQVXSP,C,4,4,4,9,4" << "$PQVXSP,R,4,4,4,3,4";
    QTest::newRow("real time only") << "PQVXCF,C,,00001" << "$PQVXCF,R,5,00001,2";
    QTest::newRow("priority time-out only") << "PQVXCF,C,,,5" << "$PQVXCF,R,5,01000,5";
    QTest::newRow("file apply form") << "PQVXCF,C,,10101,4" << "$PQVXCF,R,5,10101,4";
    QTest::newRow("routing") << "PQVXDR,C,10000,2,00001,0" << "$PQVXDR,R,10000,2,00001,0";
    QTest::newRow("talker ids cut to two") << "PQVXID,C,GPS,II,,he,XX" << "$PQVXID,R,GP,II,,HE,XX";
    QTest::newRow("input modes") << "PQVXIN,C,1,2,3,4" << "$PQVXIN,R,1,2,3,4";
    QTest::newRow("single option bit on") << "PQVXOP,C,18,1" << "$PQVXOP,R,00041040";
    QTest::newRow("single option bit off") << "PQVXOP,C,12,0" << "$PQVXOP,R,00000040";
    QTest::newRow("whole option word") << "PQVXOP,C,0000A041" << "$PQVXOP,R,0000A041";
    QTest::newRow("short word is not a bit command") << "PQVXOP,C,12" << "$PQVXOP,R,00001040";
    QTest::newRow("bit beyond 31 ignored") << "PQVXOP,C,32,1" << "$PQVXOP,R,00001040";
  }
  void commands_changeStateAndReplyReflectsIt() {
    QFETCH(QString, command);
    QFETCH(QString, reply);
    SimDevice d{SimSettings{}};
    QCOMPARE(Body(Only(Send(d, command.toLatin1().constData()))), reply);
    // The full query reports the same state.
    const auto all = Send(d, "PQVXCFQ");
    const std::string address = reply.mid(1, 6).toStdString();
    bool found = false;
    for (const std::string& line : all)
      if (FieldOr(line, 0) == address) found = Body(QString::fromStdString(line).trimmed()) == reply;
    QVERIFY(found);
  }

  void seaTalkOnIn4_forcesItsSpeedTo4800() {
    SimDevice d{SimSettings{}};
    Send(d, "PQVXIN,C,0,0,0,6");
    QCOMPARE(d.Config().speed[3], 0);
    Send(d, "PQVXSP,C,0,0,0,4,5");
    QCOMPARE(d.Config().speed[3], 0);
  }

  void configurationQuery_givesEveryGroupThenFilterListAndEnd() {
    SimDevice d{SimSettings{}};
    const auto replies = Send(d, "PQVXCFQ");
    QStringList addresses;
    for (const std::string& line : replies) {
      QVERIFY(ChecksumAcceptable(line));
      QCOMPARE(FieldOr(line, 1), std::string("R"));
      addresses << QString::fromStdString(FieldOr(line, 0));
    }
    QCOMPARE(addresses.mid(0, 6), (QStringList{"PQVXCF", "PQVXDR", "PQVXID", "PQVXSP", "PQVXOP", "PQVXIN"}));
    QCOMPARE(addresses.size(), 6 + static_cast<int>(d.Config().filter.size()) + 1);
    QVERIFY(d.Config().filter.size() >= 3);
    QCOMPARE(FieldOr(replies.back(), 2), std::string());
  }

  void filterList_deleteAddAndLimits() {
    SimDevice d{SimSettings{}};
    Send(d, "PQVXFL,C,DELETE");
    QVERIFY(d.Config().filter.empty());
    Send(d, "PQVXFL,C,gprmc,110000,2,1010");
    Send(d, "PQVXFL,C,GPGGA,111111");       // outputs missing: all blocked
    Send(d, "PQVXFL,C,GPRM,111111,,1111");  // wrong length: dropped
    Send(d, "PQVXFL,C,AIVDM,1x1,123,11");   // short flags padded, bad Div dropped
    const std::vector<FilterRule> expected = {{"GPRMC", "110000", "2", "1010"},
                                              {"GPGGA", "111111", "", "0000"},
                                              {"AIVDM", "101000", "", "1100"}};
    QCOMPARE(d.Config().filter, expected);
    for (int i = 0; i < 60; ++i) Send(d, "PQVXFL,C,IIXDR,111111,,1111");
    QCOMPARE(d.Config().filter.size(), kMaxFilterRules);
    QVERIFY(Send(d, "PQVXFL,C,DELETE").empty());  // the list has no per-rule answers
  }

  void factoryReset_restoresDefaultsButKeepsHostSpeed() {
    SimSettings s;
    s.hostSpeed = 3;
    SimDevice d(s);
    const SimConfig factory = d.Config();
    Send(d, "PQVXCF,C,1");
    Send(d, "PQVXFL,C,DELETE");
    Send(d, "PQVXOP,C,FFFFFFFF");
    Send(d, "PQVXRESET,1");
    SimConfig expected = factory;
    expected.hostSpeed = 1;
    QCOMPARE(d.Config(), expected);
    Send(d, "PQVXRESET");  // restart into the loader is not a factory reset
    QCOMPARE(d.Config(), expected);
  }

  void checksum_wrongOnesIgnoredMissingOnesAccepted_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("answered");
    QTest::newRow("right checksum") << QString::fromStdString(CompleteSentence("PQVXVER")) << true;
    QTest::newRow("no checksum") << "$PQVXVER\r\n" << true;
    QTest::newRow("bare LF") << "$PQVXVER\n" << true;
    QTest::newRow("wrong checksum") << "$PQVXVER*00\r\n" << false;
    QTest::newRow("one hex digit") << "$PQVXVER*4\r\n" << false;
    QTest::newRow("not hex") << "$PQVXVER*ZZ\r\n" << false;
    QTest::newRow("lower-case hex") << "$PQVXVER*4e\r\n" << true;
  }
  void checksum_wrongOnesIgnoredMissingOnesAccepted() {
    QFETCH(QString, line);
    QFETCH(bool, answered);
    SimDevice d{SimSettings{}};
    QCOMPARE(d.ReceiveLine(line.toStdString()).size(), answered ? 1u : 0u);
    QCOMPARE(d.BadChecksumCount(), answered ? 0 : 1);
  }

  void traffic_carriesTagBlockOnlyWhileBit12() {
    SimSettings s;
    s.trafficRate = 1000;
    s.overflowPeriodMs = 0;
    SimDevice d(s);
    std::string out;
    d.Advance(0, out);
    d.Advance(100, out);
    QStringList lines = QString::fromStdString(out).split("\r\n", Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 80);
    QSet<int> sources;
    for (const QString& l : lines) {
      const std::string line = (l + "\r\n").toStdString();
      const int src = LineSourceInput(line);
      QVERIFY2(src >= 1 && src <= 5, qPrintable(l));
      QVERIFY2(l.startsWith("\\s:HLX2000-"), qPrintable(l));
      QVERIFY2(ChecksumAcceptable(line), qPrintable(l));
      std::string tag;
      QVERIFY(ExtractTagBlock(line, tag));
      const auto star = tag.find('*');
      QCOMPARE(std::stoul(tag.substr(star + 1, 2), nullptr, 16), NmeaChecksum(tag.substr(0, star)));
      QVERIFY(l.size() + 2 <= 128);
      sources << src;
    }
    QCOMPARE(sources, (QSet<int>{1, 2, 3, 4, 5}));  // HDG -> HDT is on at the factory

    Send(d, "PQVXOP,C,12,0");
    out.clear();
    d.Advance(200, out);
    QVERIFY(!out.empty());
    QVERIFY(out.find('\\') == std::string::npos);
  }

  void traffic_namesWithDashStillGiveTheRightSource() {
    SimSettings s;
    s.name = "HLX-2000";
    s.trafficRate = 100;
    SimDevice d(s);
    std::string out;
    d.Advance(0, out);
    d.Advance(100, out);
    const std::string first = out.substr(0, out.find('\n') + 1);
    QVERIFY(LineSourceInput(first) >= 1);
    QVERIFY(first.rfind("\\s:HLX2000-", 0) == 0);
  }

  void traffic_filterBlockAndTalkerOverride() {
    SimSettings s;
    s.trafficRate = 1000;
    s.overflowPeriodMs = 0;
    SimDevice d(s);
    Send(d, "PQVXOP,C,12,0");
    Send(d, "PQVXFL,C,DELETE");
    Send(d, "PQVXFL,C,GPRMC,111111,,0010");
    Send(d, "PQVXOP,C,9,1");  // everything else blocked
    Send(d, "PQVXID,C,XY,,,,");
    std::string out;
    d.Advance(0, out);
    d.Advance(200, out);
    const QStringList lines = QString::fromStdString(out).split("\r\n", Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    for (const QString& l : lines) QVERIFY2(l.startsWith("$XYRMC,"), qPrintable(l));
  }

  void statistics_onlyWhileSwitchedOn() {
    SimSettings s;
    s.statPeriodMs = 100;
    SimDevice d(s);
    std::string out;
    d.Advance(0, out);
    d.Advance(500, out);
    QVERIFY(out.empty());
    QVERIFY(Send(d, "PQVXSTAT,1").empty());
    d.Advance(1000, out);
    QVERIFY(out.rfind("$PQVXSTAT,", 0) == 0);
    for (int i = 1; i <= 5; ++i) {
      const std::string f = FieldOr(out, i);
      QVERIFY(!f.empty());
      QVERIFY(std::stoi(f) >= 0 && std::stoi(f) <= (i < 5 ? 63 : 4608));
    }
    Send(d, "PQVXSTAT,0");
    out.clear();
    d.Advance(2000, out);
    QVERIFY(out.empty());
  }

  void lineAssembler_framesLikeTheDevice_data() {
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("garbage before and after") << QStringList{"xx$A,1\r\ngarbage"} << QStringList{"$A,1\r\n"};
    QTest::newRow("split across reads") << QStringList{"$A", "\r\n"} << QStringList{"$A\r\n"};
    QTest::newRow("overlong dropped") << QStringList{"$" + QString(200, 'x') + "\r\n$B\r\n"} << QStringList{"$B\r\n"};
    QTest::newRow("tag block kept") << QStringList{"\\s:a-1*00\\$C\r\n"} << QStringList{"\\s:a-1*00\\$C\r\n"};
  }
  void lineAssembler_framesLikeTheDevice() {
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, lines);
    LineAssembler a;
    std::vector<std::string> got;
    for (const QString& c : chunks) a.Feed(c.toStdString(), got);
    QStringList gotList;
    for (const auto& g : got) gotList << QString::fromStdString(g);
    QCOMPARE(gotList, lines);
  }

  void tcpEndpoint_closesWithClientsStillConnected() {
    auto endpoint = std::make_unique<TcpEndpoint>([](const std::string&) { return std::vector<std::string>{}; });
    QString error;
    QVERIFY2(endpoint->Open(QHostAddress(QStringLiteral("127.0.0.57")), 0, error), qPrintable(error));
    QTcpSocket client;
    client.connectToHost(QHostAddress(QStringLiteral("127.0.0.57")), endpoint->Port());
    QVERIFY(client.waitForConnected(3000));
    QTRY_COMPARE(endpoint->ClientCount(), 1);
    endpoint.reset();  // the simulator shutting down with a client attached
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
  }

  void unknownGeneration_isRefused() {
    SimSettings s;
    s.generation = 3;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SimDevice{s});
  }
};

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_simdevice.moc"
