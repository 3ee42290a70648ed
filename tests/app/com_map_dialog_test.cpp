// The set-up dialog and the COM map: each radio button's tool tip names the
// device its port stands for, and a port mapped in the user's map file (the
// test's own settings folder) is the one the set-up opens.
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "emulator/pty_host.h"
#include "portmap/com_map.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

class ComMapDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void ToolTipsNameEachPortsDeviceAndTheSetUpOpensTheMappedOne() {
    Program p(7, /*realChannel=*/true);
    emu::PtyHost host(p.line);
    QVERIFY(host.Start());
    const std::filesystem::path map = portmap::MapFilePath();
    QVERIFY(!map.empty());
    std::filesystem::create_directories(map.parent_path());
    std::ofstream(map) << "COM1=" << host.DevicePath() << "\nCOM3=/dev/null\n";
    QVERIFY(setenv("ZENOR9_COM2", "/nonexistent/zenor9-adapter", 1) == 0);
    QVERIFY(setenv("ZENOR9_COM4", "/nonexistent/zenor9-com4", 1) == 0);

    QStringList tips;
    p.Connect([&] {
      for (const char* name : {"RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4"}) {
        tips << p.Find<QRadioButton>(name)->toolTip();
      }
      p.PressSetUp();  // COM1 is checked at start
    });
    unsetenv("ZENOR9_COM2");
    unsetenv("ZENOR9_COM4");
    std::filesystem::remove(map);

    QCOMPARE(tips.size(), 4);
    QCOMPARE(tips[0], QString::fromStdString("COM1: " + host.DevicePath()));
    const QString mapping(
        "\nАдаптер на другом порту станет COM%1 командой: "
        "zenor9 ports --map COM%1=/dev/ttyUSB0");
    QCOMPARE(tips[1],
             QString("COM2: /nonexistent/zenor9-adapter (нет устройства)") + mapping.arg(2));
    QCOMPARE(tips[2], QString("COM3: /dev/null"));
    QCOMPARE(tips[3], QString("COM4: /nonexistent/zenor9-com4 (нет устройства)") + mapping.arg(4));
    QCOMPARE(p.state.connected, 1);  // through the map file's COM1
    host.Stop();
  }
};

ZENOR9_APP_TEST(ComMapDialogTest);

}  // namespace zenor9::test

#include "com_map_dialog_test.moc"
