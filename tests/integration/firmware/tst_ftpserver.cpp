// The built-in FTP server driven by a plain socket client on loopback: what
// a downloading client needs, byte for byte, and every way a client on the
// network might try to write, escape the image folder or hold the server.

#include <poll.h>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "ProcessUsage.h"
#include "TestFiles.h"
#include "firmware/FtpServer.h"

using namespace hlx;
using hlx::test::kResidentSizeTellsGrowth;
using hlx::test::PeakResidentBytes;
using hlx::test::WriteText;

namespace {

const QHostAddress kHost(qEnvironmentVariable("HLX_TEST_SIM_ADDRESS", QStringLiteral("127.0.0.61")));
const QHostAddress kStranger(QStringLiteral("127.0.0.71"));

// A client that reads one reply line per command.
struct Client {
  QTcpSocket control;

  bool Open(quint16 port, const QHostAddress& from = {}) {
    if (!from.isNull()) control.bind(from);
    control.connectToHost(kHost, port);
    return control.waitForConnected(5000) && Line().startsWith("220 HLX-Config FTP Server ready");
  }
  QByteArray Line() {
    while (!control.canReadLine())
      if (!control.waitForReadyRead(5000)) return "(no reply)";
    return control.readLine().trimmed();
  }
  QByteArray Do(const QByteArray& command) {
    control.write(command + "\r\n");
    return Line();
  }
  bool Login() { return Do("USER anonymous").startsWith("331") && Do("PASS x@y").startsWith("230"); }
  bool Closed() {
    return control.state() == QAbstractSocket::UnconnectedState || control.waitForDisconnected(5000);
  }
};

// Whether the server closed a connection, which Qt does not notice while it
// reads nothing of it.
bool ClosedByPeer(const QTcpSocket& socket) {
  pollfd p{static_cast<int>(socket.socketDescriptor()), POLLIN | POLLRDHUP, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// The port of a 227 or 229 reply, 0 for another reply.
quint16 PassivePort(const QByteArray& reply) {
  static const QRegularExpression port(
      QStringLiteral("^22[79] .*\\((?:(?:\\d+,){4}(\\d+),(\\d+)|\\|\\|\\|(\\d+)\\|)\\)"));
  const QRegularExpressionMatch m = port.match(QString::fromLatin1(reply));
  if (!m.hasMatch()) return 0;
  return m.captured(3).isEmpty() ? quint16(m.captured(1).toUInt() * 256 + m.captured(2).toUInt())
                                 : quint16(m.captured(3).toUInt());
}

QByteArray ReadUntilClosed(QTcpSocket& data) {
  QByteArray all;
  while (data.state() == QAbstractSocket::ConnectedState && data.waitForReadyRead(5000))
    all += data.readAll();
  return all + data.readAll();
}

}  // namespace

class FtpServerTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString m_root;
  QByteArray m_image;
  FtpServer m_server;

 private slots:
  void initTestCase() {
    // Root with the image, a sub-folder and two links; a secret beside it.
    m_root = m_dir.path() + QStringLiteral("/root/");
    QVERIFY(QDir().mkpath(m_root + QStringLiteral("sub")));
    for (int i = 0; i < 300000; ++i) m_image += static_cast<char>((i * 7 + i / 256) & 0xFF);
    WriteText(m_root + QStringLiteral("wifi.img"), m_image);
    WriteText(m_dir.path() + QStringLiteral("/secret.txt"), "secret");
    QVERIFY(QFile::link(m_dir.path() + QStringLiteral("/secret.txt"), m_root + QStringLiteral("out.img")));
    QVERIFY(QFile::link(m_root + QStringLiteral("wifi.img"), m_root + QStringLiteral("in.img")));
    m_server.SetLimits({2, 1500});
    QVERIFY(m_server.Start(kHost, 0));
    m_server.SetRoot(m_root);
  }

  void retrievesTheFileByteForByte_data() {
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("PASV, leading slash") << QByteArray("PASV") << QByteArray("/wifi.img");
    QTest::newRow("EPSV") << QByteArray("EPSV") << QByteArray("wifi.img");
    QTest::newRow("PORT") << QByteArray("PORT") << QByteArray("wifi.img");
    QTest::newRow("EPRT, link inside the folder") << QByteArray("EPRT") << QByteArray("in.img");
  }
  void retrievesTheFileByteForByte() {
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, name);
    Client c;
    QVERIFY(c.Open(m_server.Port()));
    QVERIFY(c.Do("RETR wifi.img").startsWith("530"));
    QVERIFY(c.Login());
    QCOMPARE(c.Do("SYST"), QByteArray("215 WIN32"));
    // Any directory is the one folder.
    for (const char* command : {"CWD /firmware/../../elsewhere", "CDUP"})
      QVERIFY(c.Do(command).startsWith("250"));
    QCOMPARE(c.Do("PWD"), QByteArray("257 \"/\" is the current directory."));
    for (const char* command : {"TYPE A", "TYPE I", "MODE S", "STRU F"})
      QVERIFY(c.Do(command).startsWith("200"));
    QCOMPARE(c.Do("SIZE " + name), QByteArray("213 300000"));

    QTcpSocket data;
    QTcpServer listener;  // the client's end in PORT and EPRT
    if (setup.endsWith("SV")) {
      const QByteArray reply = c.Do(setup);
      QVERIFY2(PassivePort(reply), reply);
      data.connectToHost(kHost, PassivePort(reply));
    } else {
      // It listens where its control connection comes from.
      QVERIFY(listener.listen(c.control.localAddress()));
      const quint16 p = listener.serverPort();
      const QByteArray a = c.control.localAddress().toString().toLatin1();
      QCOMPARE(c.Do(setup == "PORT" ? "PORT " + QByteArray(a).replace('.', ',') + ',' +
                                          QByteArray::number(p >> 8) + ',' + QByteArray::number(p & 0xFF)
                                    : "EPRT |1|" + a + '|' + QByteArray::number(p) + '|'),
               "200 " + setup + " command successful.");
    }
    QVERIFY(c.Do("RETR " + name).startsWith("150"));
    QTcpSocket* received = &data;
    if (listener.isListening()) {
      QVERIFY(listener.waitForNewConnection(5000));
      received = listener.nextPendingConnection();
    }
    QVERIFY(received->waitForConnected(5000));
    QCOMPARE(ReadUntilClosed(*received), m_image);
    QCOMPARE(c.Line(), QByteArray("226 Transfer complete."));
    QCOMPARE(c.Do("QUIT"), QByteArray("221 Goodbye."));
    QVERIFY(c.Closed());
  }

  void refusesWritesEscapesAndUnknownCommands_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray readOnly("550 Permission denied: this server is read-only.");
    for (const char* c : {"STOR wifi.img", "STOU", "APPE wifi.img", "DELE wifi.img", "RMD sub", "XRMD sub",
                          "MKD new", "XMKD new", "RNFR wifi.img", "RNTO x.img", "SITE CHMOD 777 wifi.img"})
      QTest::newRow(c) << QByteArray(c) << readOnly;
    const QByteArray noFile("550 Failed to open file.");
    for (const char* c : {"RETR ../secret.txt", "RETR ..", "RETR /../secret.txt", "RETR sub/../wifi.img",
                          "RETR ..\\secret.txt", "RETR \xC0\xAE\xC0\xAE/secret.txt", "RETR //etc/passwd",
                          "RETR out.img", "RETR sub", "RETR missing.img", "RETR wifi.img\x01", "RETR "})
      QTest::newRow(c) << QByteArray(c) << noFile;
    QTest::newRow("SIZE through a link out")
        << QByteArray("SIZE out.img") << QByteArray("550 Could not get file size.");
    QTest::newRow("unknown") << QByteArray("LIST") << QByteArray("500 Syntax error, command unrecognized.");
    QTest::newRow("PORT to a third host")
        << QByteArray("PORT 127,0,0,71,200,1") << QByteArray("500 Illegal PORT command.");
    QTest::newRow("PORT to a privileged port")
        << QByteArray("PORT 127,0,0,1,0,21") << QByteArray("500 Illegal PORT command.");
    QTest::newRow("EPRT IPv6") << QByteArray("EPRT |2|::1|5000|")
                               << QByteArray("501 Syntax error in parameters or arguments.");
    QTest::newRow("TYPE E") << QByteArray("TYPE E")
                            << QByteArray("504 Command not implemented for that parameter.");
  }
  void refusesWritesEscapesAndUnknownCommands() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    Client c;
    QVERIFY(c.Open(m_server.Port(), QHostAddress(QStringLiteral("127.0.0.1"))));
    QVERIFY(c.Login());
    if (command.startsWith("RETR")) QVERIFY(c.Do("PASV").startsWith("227"));
    QCOMPARE(c.Do(command), reply);
    QVERIFY(c.Do("NOOP").startsWith("200"));  // the session goes on
  }

  void dropsAbusiveClients() {
    // An overlong line ends the session.
    Client longLine;
    QVERIFY(longLine.Open(m_server.Port()));
    QCOMPARE(longLine.Do("USER " + QByteArray(2000, 'a')), QByteArray("500 Command line too long."));
    QVERIFY(longLine.Closed());
    // A client that sends empty lines (500 replies, forty times their size)
    // and never reads gets no more replies than it reads: it costs no memory
    // and is dropped. Meanwhile the client limit (2) turns a third away.
    Client flood, second, third;
    QVERIFY(flood.Open(m_server.Port()));
    flood.control.setReadBufferSize(1);  // the kernel keeps the rest unread
    const qint64 peakBefore = PeakResidentBytes();
    flood.control.write(QByteArray(2 << 20, '\n'));
    flood.control.flush();  // under way while the second client is served
    QVERIFY(second.Open(m_server.Port()));
    third.control.connectToHost(kHost, m_server.Port());
    QVERIFY(third.Line().startsWith("421 Too many connections"));
    QVERIFY(third.Closed());
    QVERIFY(second.Login());
    // A data connection from another address is refused; the client's own still works.
    const QByteArray reply = second.Do("EPSV");
    const quint16 port =
        static_cast<quint16>(reply.mid(reply.indexOf("|||") + 3).split('|').first().toUInt());
    QTcpSocket stranger;
    stranger.bind(kStranger);
    stranger.connectToHost(kHost, port);
    QVERIFY(stranger.waitForConnected(5000));
    QVERIFY(stranger.state() == QAbstractSocket::UnconnectedState || stranger.waitForDisconnected(5000));
    QVERIFY(second.Do("RETR wifi.img").startsWith("150"));
    QTcpSocket data;
    data.connectToHost(kHost, port);
    QVERIFY(data.waitForConnected(5000));
    QCOMPARE(ReadUntilClosed(data).size(), m_image.size());
    QCOMPARE(second.Line(), QByteArray("226 Transfer complete."));
    const auto grown = [peakBefore] { return PeakResidentBytes() - peakBefore; };
    constexpr qint64 kBound = 16 << 20;  // unbounded, it would be 80 MB
    QTRY_VERIFY_WITH_TIMEOUT(ClosedByPeer(flood.control) || (kResidentSizeTellsGrowth && grown() > kBound),
                             10000);
    QVERIFY2(!kResidentSizeTellsGrowth || grown() <= kBound, qPrintable(QString::number(grown())));
    QVERIFY(ClosedByPeer(flood.control));
  }

  void stopEndsEverySession() {
    Client c;
    QVERIFY(c.Open(m_server.Port()));
    const quint16 port = m_server.Port();
    m_server.Stop();
    QVERIFY(c.Closed());
    QVERIFY(!m_server.Active());
    QTcpSocket late;
    late.connectToHost(kHost, port);
    QVERIFY(!late.waitForConnected(2000));
  }
};

QTEST_GUILESS_MAIN(FtpServerTest)
#include "tst_ftpserver.moc"
