// The firmware update in the real window against the simulator's bootloader
// over a pseudo-terminal and TCP: whole updates, every fault the bootloader
// or the link can produce, and the checks made before anything is sent.

#include "WindowHarness.h"
#include "firmware/ui/Progress.h"
#include "link/Comms.h"

using namespace hlx;
using namespace hlx::test;

namespace {

const QString kSuccess = QStringLiteral("The firmware update was successful");
const QString kFailed = QStringLiteral("The firmware update failed");

// A container made by hlx-mkfw from `size` bytes of image.
QString MakeContainer(const QTemporaryDir& dir, const QString& version, int size, int type = 0) {
  const QString image = dir.filePath(QStringLiteral("image-%1.bin").arg(version));
  WriteText(image, QByteArray(size, '\x5A'));
  const QString out = dir.filePath(QStringLiteral("fw-%1-%2.hlx").arg(version).arg(type));
  QProcess mkfw;
  mkfw.start(QStringLiteral(HLX_MKFW_PATH),
             {"--version", version, "--type", QString::number(type), image, "-o", out});
  if (!mkfw.waitForFinished(10000) || mkfw.exitCode() != 0)
    qFatal("hlx-mkfw: %s", mkfw.readAllStandardError().data());
  return out;
}

}  // namespace

class FirmwareTest : public QObject {
  Q_OBJECT

  // Starts the simulator (38400 baud on its terminal) and connects the window.
  static bool Connect(WindowHarness& h, bool pty, const QStringList& args) {
    if (!h.Start(QStringList{"--host-speed", "3"} + args, pty)) return false;
    h.Choose("cbBaudHost", kUpdateSpeedIndex);
    return h.ConnectSim();
  }
  // The window is given back: idle, progress gone, controls usable (callers
  // compare every message: no success among them).
  static void VerifyWindowBack(WindowHarness& h) {
    QTRY_COMPARE_WITH_TIMEOUT(h.State(), SessionState::Idle, 5000);
    QVERIFY(!h.window->findChild<TProgress*>()->isVisible());
    QVERIFY(h.Find<QGroupBox>("gbHost")->isEnabled());
    QVERIFY(h.Button("btnConnect")->isEnabled());
  }

 private slots:
  // The built-in image comes with Yes to the question about too old firmware.
  void wholeUpdateBringsTheNewVersion_data() {
    QTest::addColumn<bool>("pty");
    QTest::addColumn<int>("imageSize");  // 0: the built-in image
    QTest::addColumn<QStringList>("args");
    QTest::newRow("pty, built-in image") << true << 0 << QStringList{"--firmware", "3.32.9"};
    QTest::newRow("TCP, chosen file") << false << 70000 << QStringList{"--firmware", "3.33.1"};
    QTest::newRow("TCP, replies just in time, garbage between frames")
        << false << 1500 << QStringList{"--loader-delay", "1900", "--loader-fault", "garbage"};
  }
  void wholeUpdateBringsTheNewVersion() {
    QFETCH(bool, pty);
    QFETCH(int, imageSize);
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    WindowHarness h;
    if (imageSize == 0) {
      h.prompts.yesNoAnswers.enqueue(true);
      QVERIFY2(h.Start(QStringList{"--host-speed", "3"} + args, pty), qPrintable(h.Why()));
      h.Choose("cbBaudHost", kUpdateSpeedIndex);
      h.Click("btnConnect");
    } else {
      QVERIFY2(Connect(h, pty, args), qPrintable(h.Why()));
      QVERIFY(h.Action("miUpdateFirmware")->isVisible() && h.Action("miUpdateFirmware")->isEnabled());
      h.Trigger("miUpdateFirmware", MakeContainer(dir, QStringLiteral("3.34.0"), imageSize));
      QCOMPARE(h.prompts.lastOpenFilter, 1);  // "Halyx Firmware Image (*.hlx)"
    }
    QTRY_VERIFY_WITH_TIMEOUT(h.prompts.texts().contains(kSuccess), 60000);
    QCOMPARE(h.prompts.texts().filter("Bootloader"), QStringList());
    const QString version = imageSize == 0 ? QStringLiteral("3.33.1") : QStringLiteral("3.34.0");
    QTRY_COMPARE(h.Panel(1), QStringLiteral("Version: ") + version);
    QCOMPARE(h.Sent("$PQVXRESET").size(), 1);
    QTRY_VERIFY(h.SettingsEnabled());  // identified and read again
    QVERIFY(!h.window->findChild<TProgress*>()->isVisible());
    QVERIFY(h.Find<QGroupBox>("gbHost")->isEnabled());
  }

  // Each fault ends in its own message; nothing claims success, not even when
  // the device restarts on its own, and the window can connect again. The
  // status panels show where the device is left; the update's own time-out
  // adds "failed" where the bootloader stays in its session.
  void everyFaultEndsWithItsOwnMessage_data() {
    QTest::addColumn<bool>("pty");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("messages");  // the first one: its start
    QTest::addColumn<QString>("panels");
    const QString loader = QStringLiteral("Device: Bootloader|Version: ");
    const QString closed = QStringLiteral("The connection to the multiplexer was closed.");
    const auto row = [](const char* name, bool pty, const char* fault, QStringList messages, QString panels) {
      QTest::newRow(name) << pty << QString::fromLatin1(fault) << messages << panels;
    };
    row("no bootloader", true, "no-announce", {"Bootloader: Initialisation failed"},
        "Device: HLX2000|Version: 3.33.1");
    row("erase silent", false, "no-reply:erase", {"Bootloader: Erase command timeout", kFailed}, loader);
    row("erase wrong", true, "bad-reply:erase", {"Erase command: Invalid response from bootloader", kFailed},
        loader);
    row("decryption silent", true, "no-reply:decrypt", {"Bootloader: Encryption command timeout", kFailed},
        loader);
    row("decryption wrong", false, "bad-reply:decrypt",
        {"Enable Encryption: Invalid response from bootloader", kFailed}, loader);
    row("block 2 silent", false, "no-reply:block=2", {"Bootloader: Programming timeout", kFailed}, loader);
    row("block 2 wrong", true, "bad-reply:block=2",
        {"Programming: Invalid response from bootloader", kFailed}, loader);
    row("CRC silent", true, "no-reply:crc", {"Bootloader: CRC command timeout", kFailed}, loader);
    // The image was whole: the device starts it and reports the new version.
    row("CRC wrong", false, "bad-reply:crc", {"CRC: Invalid response from bootloader"},
        "Device: HLX2000|Version: 3.34.0");
    // The bootloader refuses the image and announces itself again.
    row("CRC mismatch", false, "crc-mismatch", {"Bootloader: CRC error\nFile CRC: "}, loader);
    row("TCP gone at block 2", false, "drop:block=2", {closed}, "Device: |Version: ");
    row("pty gone at block 2", true, "drop:block=2", {closed}, "Device: |Version: ");
    // Programmed with the right CRC, but the bootloader comes back instead of the firmware.
    row("image does not start", true, "no-start", {kFailed}, loader);
  }
  void everyFaultEndsWithItsOwnMessage() {
    QFETCH(bool, pty);
    QFETCH(QString, fault);
    QFETCH(QStringList, messages);
    QFETCH(QString, panels);
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(Connect(h, pty, {"--loader-fault", fault}), qPrintable(h.Why()));
    h.Trigger("miUpdateFirmware", MakeContainer(dir, QStringLiteral("3.34.0"), 2000));
    QTRY_VERIFY_WITH_TIMEOUT(!h.prompts.texts().filter(messages[0]).isEmpty(), 10000);
    VerifyWindowBack(h);
    QTRY_COMPARE(h.Panel(0) + '|' + h.Panel(1), panels);
    const QStringList boxes = h.prompts.texts(u"inform ask");
    QVERIFY2(boxes.value(0).startsWith(messages[0]), qPrintable(boxes.join('|')));
    QCOMPARE(boxes.mid(1).join(u'|'), messages.mid(1).join(u'|'));
    if (h.Connected()) h.Click("btnConnect");
    QVERIFY(!h.Connected());
    h.Click("btnConnect");
    QTRY_VERIFY(h.Connected());
  }

  void wrongTypeIsNotProgrammed() {
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(Connect(h, false, {"--loader-type", "7"}), qPrintable(h.Why()));
    h.Trigger("miUpdateFirmware", MakeContainer(dir, QStringLiteral("3.34.0"), 2000, 5));
    QTRY_COMPARE(h.prompts.texts(u"inform ask"),
                 QStringList{"Firmware file does not match with the multiplexer type"});
    // Still in its bootloader, the device announces itself again: the update is
    // over, and its time-out (2 s) is stopped. Three more announcements outlast it.
    VerifyWindowBack(h);
    const qsizetype seen = h.Shown().filter("$PQVXLDR").size();
    QTRY_VERIFY_WITH_TIMEOUT(h.Shown().filter("$PQVXLDR").size() >= seen + 3, 5000);
    QCOMPARE(h.prompts.texts(u"inform ask").size(), 1);
  }

  // Nothing is sent when a check before the update fails or the user declines.
  void checksBeforeTheUpdateSendNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    QTest::newRow("serial model at 115200")
        << QStringList{"--caps", "8040", "--host-speed", "5"} << "pty"
        << "The speed of the Halyx port must be\nset to 38400 baud before updating";
    QTest::newRow("Ethernet model over UDP") << QStringList{"--caps", "8042"} << "UDP"
                                             << "The Halyx must be set to TCP mode\nbefore updating";
    QTest::newRow("downgrade declined")
        << QStringList{"--firmware", "3.35.0"} << "TCP"
        << "The version of this firmware file is lower than the version\nof the "
           "multiplexer. Do you really want to proceed?";
  }
  void checksBeforeTheUpdateSendNothing() {
    QFETCH(QStringList, args);
    QFETCH(QString, port);
    QFETCH(QString, message);
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(h.Start(args, port == "pty"), qPrintable(h.Why()));
    if (port == "pty")
      h.Click("btnConnect");  // at 115200, the harness's choice
    else
      h.Open(port, h.sim->address());
    QVERIFY(h.WaitReadBack());
    h.Trigger("miUpdateFirmware", MakeContainer(dir, QStringLiteral("3.34.0"), 2000));
    QTRY_COMPARE(h.prompts.texts(u"inform ask").value(0), message);
    QCOMPARE_STEADY(h.Sent("$PQVXRESET"), QStringList(), 100);  // a reset would follow the answer at once
    QCOMPARE(h.State(), SessionState::Idle);
  }

  // A device that starts in its bootloader (as after a failed update) offers
  // the update by itself, and the update brings it back.
  void bootloaderOnItsOwnRevealsTheUpdate() {
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(h.Start({"--start-in-loader", "--loader-type", "26", "--host-speed", "3"}, true),
             qPrintable(h.Why()));
    h.Choose("cbBaudHost", kUpdateSpeedIndex);
    h.Click("btnConnect");  // the bootloader does not answer the version query, it announces itself
    QTRY_VERIFY(h.Action("miUpdateFirmware")->isVisible());
    QVERIFY(h.Action("miUpdateFirmware")->isEnabled() && h.Action("miSep2")->isVisible());
    h.Trigger("miUpdateFirmware", MakeContainer(dir, QStringLiteral("3.34.0"), 2000, 0x1A));
    QTRY_VERIFY_WITH_TIMEOUT(h.prompts.texts().contains(kSuccess), 20000);
    QTRY_COMPARE(h.Panel(1), QStringLiteral("Version: 3.34.0"));
  }

  // Closing the window mid-update stops it after the block under way and releases the port.
  void closingDuringTheUpdateReleasesThePort() {
    WindowHarness h;
    QVERIFY2(Connect(h, true, {"--loader-delay", "50"}), qPrintable(h.Why()));
    // Programming runs inside the window's event handling: the close must come from there too.
    QProgressBar* bar = h.window->findChild<TProgress*>()->Bar();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (bar->value() < 2) return;
      closer.stop();
      h.window->close();
    });
    closer.start(20);
    h.Trigger("miAutomaticUpdate");
    QTRY_VERIFY(!h.window->isVisible());
    QVERIFY(bar->value() < bar->maximum() / 2);  // stopped, not run to the end
    QVERIFY(!h.Connected());
    QObject receiver;
    TComm port(&receiver);
    QCOMPARE(port.Open(ChSerial, h.sim->ptyPath(), 3), std::uint8_t(ChSerial));
  }
};

QTEST_MAIN(FirmwareTest)
#include "tst_firmware.moc"
