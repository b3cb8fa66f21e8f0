// The network module's setup packets and the dialogs' field rules, as
// byte and text tables.

#include <QtTest>

#include "network/NetFields.h"

using namespace hlx;

Q_DECLARE_METATYPE(hlx::NetField)
Q_DECLARE_METATYPE(hlx::NetForm)

namespace hlx {
// Readable failures.
char* toString(const NetForm& f) {
  return QTest::toString(
      QStringList{f.ip, f.mask, f.gateway, f.destination, f.udp ? "UDP" : "TCP", QString::number(f.udpMode)}
          .join(QLatin1Char(' ')));
}
}  // namespace hlx

namespace {

QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

QByteArray Bytes(const SetupBlock& b) {
  return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

SetupBlock Block(const QByteArray& head) {
  SetupBlock b{};
  std::copy(head.begin(), head.end(), b.begin());
  return b;
}

// A block as a module might send it, with bytes beyond the fields the
// dialog edits that must survive a rewrite.
SetupBlock ReadBlock() {
  SetupBlock b =
      Block(Hex("000000F9 C0A80114 0000082D 00000000 C0A80101 4C0A0200 7E277E27 FFFFFFFF"
                "CC010000 0D0AF730"));
  b[50] = 0x55;
  b[123] = 0xAA;
  return b;
}

}  // namespace

class XportRulesTest : public QObject {
  Q_OBJECT
 private slots:
  void buildsPacketsByteForByte_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("discovery query") << DiscoveryQuery() << Hex("000000F6");
    QTest::newRow("read query") << ReadSetupQuery() << Hex("000000F8");
    QTest::newRow("reset, first step") << ResetFirstPacket() << Hex("000100C7000601") + QByteArray(123, '\0');
    QTest::newRow("reset, default block")
        << Bytes(DefaultBlock())
        << Hex("000000FD 00000000 0000002D 00000000 00000000 4C0A0200 7E277E27 FFFFFFFF CC010000 0D0AF730") +
               QByteArray(84, '\0');
    SetupBlock dirty = ReadBlock();
    dirty[0] = 0x11;
    dirty[2] = 0x22;
    QTest::newRow("write, address kept")
        << WriteSetupPacket(dirty, false).left(8) << Hex("000000FA C0A80114");
    QTest::newRow("write, address changed") << WriteSetupPacket(dirty, true).left(4) << Hex("000000FD");
    QTest::newRow("write keeps the rest") << WriteSetupPacket(dirty, true).mid(4) << Bytes(dirty).mid(4);
  }
  void buildsPacketsByteForByte() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
  }

  void parsesDottedAddresses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");  // -1: refused
    QTest::newRow("zeros") << "0.0.0.0" << qint64(0);
    QTest::newRow("leading zeros are decimal") << "010.001.000.255" << qint64(0x0A0100FF);
    QTest::newRow("blanks around") << " 10.0.0.7 " << qint64(0x0A000007);
    QTest::newRow("octet 256") << "256.1.1.1" << qint64(-1);
    QTest::newRow("three octets") << "192.168.1" << qint64(-1);
    QTest::newRow("five octets") << "1.2.3.4.5" << qint64(-1);
    QTest::newRow("four digits") << "1.2.3.0004" << qint64(-1);
    QTest::newRow("twenty digits") << "1.2.3.14444444444444444444" << qint64(-1);
    QTest::newRow("empty octet") << "1..3.4" << qint64(-1);
    QTest::newRow("trailing dot") << "1.2.3.4." << qint64(-1);
    QTest::newRow("sign") << "1.2.3.+4" << qint64(-1);
    QTest::newRow("blank inside") << "1.2. 3.4" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
  }
  void parsesDottedAddresses() {
    QFETCH(QString, text);
    QFETCH(qint64, value);
    const std::optional<quint32> parsed = ParseDotted(text);
    QCOMPARE(parsed ? qint64(*parsed) : -1, value);
    if (parsed) QVERIFY(ParseDotted(FormatDotted(*parsed)) == parsed);
  }

  // Fill shows a block; validating what it shows gives the block back.
  void fillsTheFormAndValidatesItBack_data() {
    QTest::addColumn<QByteArray>("head");  // bytes 0-39 of the block
    QTest::addColumn<NetForm>("form");
    QTest::newRow("UDP broadcast") << Bytes(ReadBlock()).left(40)
                                   << NetForm{"192.168.1.20", "255.255.255.0",  "192.168.1.1", "0.0.0.0",
                                              true,           kUdpModeBroadcast};
    QTest::newRow("UDP directed to a broadcast address")
        << Hex("000000F9 C0A80114 00000800 00000000 C0A80101 00000000 00000000 C0A801FF CC010000 00000030")
        << NetForm{"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.255", true, kUdpModeDirected};
    QTest::newRow("TCP, no address")
        << Hex("000000F9 00000000 00001000 00000000 00000000 00000000 00000000 00000000 C0000000 00000000")
        << NetForm{"0.0.0.0", "255.255.0.0", "0.0.0.0", "0.0.0.0", false, kUdpModeBroadcast};
  }
  void fillsTheFormAndValidatesItBack() {
    QFETCH(QByteArray, head);
    QFETCH(NetForm, form);
    SetupBlock block = Block(head);
    block[100] = 0x77;
    const SetupBlock read = block;
    QCOMPARE(FillForm(block), form);
    QCOMPARE(ValidateForm(form, block), NetField::None);
    QCOMPARE(Bytes(block).toHex(' '), Bytes(read).toHex(' '));
  }

  // Only both mode bits mean UDP; more than 32 host bits read as the empty mask.
  void fillReadsBothModeBitsAsUdpAndClampsTheMask() {
    for (auto [mode, hostBits, udp, mask] : {std::tuple{0xC4, 0, false, "255.255.255.255"},
                                             {0xCC, 8, true, "255.255.255.0"},
                                             {0xDC, 32, true, "0.0.0.0"},
                                             {0xC8, 40, false, "0.0.0.0"}}) {
      SetupBlock block{};
      block[kOffMode] = static_cast<std::uint8_t>(mode);
      block[kOffHostBits] = static_cast<std::uint8_t>(hostBits);
      QCOMPARE(FillForm(block).udp, udp);
      QCOMPARE(FillForm(block).mask, QString(mask));
    }
  }

  void validatesFieldsInOrderAndWritesOnlyWhenAllPass_data() {
    QTest::addColumn<NetForm>("form");
    QTest::addColumn<NetField>("failed");
    QTest::addColumn<QByteArray>("head");  // bytes 0-39 after a pass
    const NetForm tcp{"192.168.1.1", "255.255.255.0", "192.168.1.254", "9.9.9.9", false, kUdpModeDirected};
    QTest::newRow("TCP") << tcp << NetField::None
                         << Hex("000000F9 C0A80101 0000082D 00000000 C0A801FE 4C0A0200 7E277E27 00000000"
                                "C0000000 0D0AF700");
    NetForm udp = tcp;
    udp.udp = true;
    QTest::newRow("UDP directed")
        << udp << NetField::None
        << Hex("000000F9 C0A80101 0000082D 00000000 C0A801FE 4C0A0200 7E277E27 09090909"
               "CC010000 0D0AF730");
    udp.udpMode = kUdpModeBroadcast;
    udp.destination = "not looked at";
    QTest::newRow("UDP broadcast")
        << udp << NetField::None
        << Hex("000000F9 C0A80101 0000082D 00000000 C0A801FE 4C0A0200 7E277E27 FFFFFFFF"
               "CC010000 0D0AF730");
    NetForm zero = tcp;
    zero.ip = "0.0.0.0";
    zero.mask = "255.255.0.0";
    QTest::newRow("0.0.0.0, mask /16") << zero << NetField::None
                                       << Hex("000000F9 00000000 0000102D 00000000 C0A801FE 4C0A0200 7E277E27"
                                              "00000000 C0000000 0D0AF700");
    const auto failing = [&](const char* name, NetField field, auto change) {
      NetForm f = tcp;
      change(f);
      QTest::newRow(name) << f << field << QByteArray();
    };
    failing("broadcast address", NetField::Address, [](NetForm& f) { f.ip = "192.168.1.255"; });
    failing("address /31", NetField::Address, [](NetForm& f) { f.mask = "255.255.255.254"; });
    failing("address not dotted", NetField::Address, [](NetForm& f) { f.ip = "192.168.1.300"; });
    failing("mask with a gap", NetField::Mask, [](NetForm& f) { f.mask = "255.0.255.0"; });
    failing("mask not dotted", NetField::Mask, [](NetForm& f) { f.mask = "/24"; });
    failing("gateway", NetField::Gateway, [](NetForm& f) { f.gateway = "1.2.3"; });
    failing("destination", NetField::Destination, [](NetForm& f) {
      f.udp = true;
      f.destination = "";
    });
    // A bad mask is reported before the address it would make invalid.
    failing("bad mask before host check", NetField::Mask, [](NetForm& f) {
      f.ip = "192.168.1.0";
      f.mask = "255.0.255.0";
    });
  }
  void validatesFieldsInOrderAndWritesOnlyWhenAllPass() {
    QFETCH(NetForm, form);
    QFETCH(NetField, failed);
    QFETCH(QByteArray, head);
    SetupBlock block = ReadBlock();
    const SetupBlock before = block;
    QCOMPARE(ValidateForm(form, block), failed);
    if (failed != NetField::None) {
      QCOMPARE(Bytes(block), Bytes(before));
      return;
    }
    QCOMPARE(Bytes(block).left(40).toHex(' '), head.toHex(' '));
    QCOMPARE(Bytes(block).mid(40), Bytes(before).mid(40));
  }
};

QTEST_APPLESS_MAIN(XportRulesTest)
#include "tst_xportrules.moc"
