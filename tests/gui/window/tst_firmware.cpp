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

// Message boxes only, in order (the open dialog is recorded too).
QStringList Messages(const WindowHarness& h) {
  QStringList out;
  for (const PromptRecord& r : h.prompts.records)
    if (r.kind != QLatin1String("open")) out << r.text;
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
  // The window is given back: idle, progress gone, controls usable.
  static void VerifyWindowBack(WindowHarness& h) {
    QTRY_COMPARE_WITH_TIMEOUT(h.State(), SessionState::Idle, 5000);
    QVERIFY(!h.window->findChild<TProgress*>()->isVisible());
    QVERIFY(h.Find<QGroupBox>("gbHost")->isEnabled());
    QVERIFY(h.Button("btnConnect")->isEnabled());
    QVERIFY(!h.prompts.texts().contains(kSuccess));
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

  // Each fault ends in its own message; nothing claims success and the window
  // can disconnect and connect again.
  void everyFaultEndsWithItsOwnMessage_data() {
    QTest::addColumn<bool>("pty");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, bool pty, QStringList args, const char* message) {
      QTest::newRow(name) << pty << args << QString::fromLatin1(message);
    };
    row("no bootloader", true, {"--loader-fault", "no-announce"}, "Bootloader: Initialisation failed");
    row("erase silent", false, {"--loader-fault", "no-reply:erase"}, "Bootloader: Erase command timeout");
    row("erase wrong", true, {"--loader-fault", "bad-reply:erase"},
        "Erase command: Invalid response from bootloader");
    row("decryption silent", true, {"--loader-fault", "no-reply:decrypt"},
        "Bootloader: Encryption command timeout");
    row("decryption wrong", false, {"--loader-fault", "bad-reply:decrypt"},
        "Enable Encryption: Invalid response from bootloader");
    row("block 2 silent", false, {"--loader-fault", "no-reply:block=2"}, "Bootloader: Programming timeout");
    row("block 2 wrong", true, {"--loader-fault", "bad-reply:block=2"},
        "Programming: Invalid response from bootloader");
    row("CRC silent", true, {"--loader-fault", "no-reply:crc"}, "Bootloader: CRC command timeout");
    row("CRC wrong", false, {"--loader-fault", "bad-reply:crc"}, "CRC: Invalid response from bootloader");
    row("CRC mismatch", false, {"--loader-fault", "crc-mismatch"}, "Bootloader: CRC error\nFile CRC: ");
    row("TCP gone at block 2", false, {"--loader-fault", "drop:block=2"},
        "The connection to the multiplexer was closed.");
    row("pty gone at block 2", true, {"--loader-fault", "drop:block=2"},
        "The connection to the multiplexer was closed.");
    // Programmed with the right CRC, but the bootloader comes back instead of the firmware.
    row("image does not start", true, {"--loader-fault", "no-start"}, "The firmware update failed");
  }
  void everyFaultEndsWithItsOwnMessage() {
    QFETCH(bool, pty);
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY2(Connect(h, pty, args), qPrintable(h.Why()));
    h.Trigger("miUpdateFirmware", MakeContainer(dir, QStringLiteral("3.34.0"), 2000));
    QTRY_VERIFY_WITH_TIMEOUT(!h.prompts.texts().filter(message).isEmpty(), 10000);
    QTest::qWait(2500);  // the restarted firmware would have reported by now
    VerifyWindowBack(h);
    QVERIFY2(Messages(h).value(0).startsWith(message), qPrintable(Messages(h).join('|')));
    if (message == kFailed) {  // the device is left in its bootloader, and the window says so
      QCOMPARE(h.Panel(0), QStringLiteral("Device: Bootloader"));
      QCOMPARE(h.Panel(1), QStringLiteral("Version: "));
    }
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
    QTRY_COMPARE(Messages(h), QStringList{"Firmware file does not match with the multiplexer type"});
    // Still in its bootloader, the device announces itself again: the update is over.
    VerifyWindowBack(h);
    QTest::qWait(2500);
    QCOMPARE(Messages(h).size(), 1);
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
    QTRY_COMPARE(Messages(h).value(0), message);
    QTest::qWait(100);  // a reset would have followed the answer at once
    QCOMPARE(h.Sent("$PQVXRESET"), QStringList());
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
