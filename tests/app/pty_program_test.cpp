// The program over the real POSIX serial backend: COM1 is the emulator's
// pseudo-terminal, everything runs in real time.
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "emulator/pty_host.h"
#include "operations/port_choice.h"
#include "portmap/map_file.h"
#include "tests/app/app_fixture.h"
#include "tests/cli/remote_line_support.h"

namespace zenor9::test {

class PtyProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void SetUpWriteAndReadBackOverAPty() {
    Program p(7, /*realChannel=*/true);
    emu::PtyHost host(p.line);
    QVERIFY(host.Start());
    QVERIFY(setenv("ZENOR9_COM1", host.DevicePath().c_str(), 1) == 0);
    QCOMPARE(ChooseComPort(1).Device(), host.DevicePath());

    QVERIFY(p.ConnectOk());
    QCOMPARE(p.Spin("NetNumSpinEdit")->text(), QString("7"));
    p.Spin("VelmorSpinEdit")->setText("28");
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.Status(), QString("Запись завершена"));
    QCOMPARE(p.reg->ReadRam(emu::kEmulatedPrefixTensCell), '2');
    QCOMPARE(p.reg->ReadRam(emu::kEmulatedPrefixUnitsCell), '8');

    p.reg->SetPrefix("21");
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.Spin("VelmorSpinEdit")->text(), QString("21"));
    QCOMPARE(p.Status(), QString("Чтение завершено"));

    // Closing the program releases the port: it opens again at once.
    p.dialog.reset();
    p.form.reset();
    SerialChannel again;
    QVERIFY(OpenChannelDevice(host.DevicePath(), again));
    CloseChannel(again);
    unsetenv("ZENOR9_COM1");
    host.Stop();
  }

  // COM1 of the COM map is a line behind ser2net on 127.0.0.1: the dialog sets
  // it up by its scan, and the prefix is written and read over the network.
  void SetUpWriteAndReadBackOverARemoteLine() {
    Program p(7, /*realChannel=*/true);
    emu::PtyHost host(p.line);
    QVERIFY(host.Start());
    testing::Ser2net server(host.DevicePath());
    QCOMPARE(server.Problem(), std::string());
    const std::filesystem::path map = portmap::MapFilePath();
    std::filesystem::create_directories(map.parent_path());
    std::ofstream(map) << "COM1=" << server.Address() << "\n";

    QVERIFY(p.ConnectOk());
    QCOMPARE(p.Spin("NetNumSpinEdit")->text(), QString("7"));
    p.Spin("VelmorSpinEdit")->setText("26");
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.Status(), QString("Запись завершена"));
    QCOMPARE(p.reg->Prefix(), std::string("26"));
    p.reg->SetPrefix("off");
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.Status(), QString("Чтение завершено"));
    QVERIFY(!p.Check("UseCheckBox")->isChecked());

    p.dialog.reset();
    p.form.reset();
    std::filesystem::remove(map);
    host.Stop();
  }
};

ZENOR9_APP_TEST(PtyProgramTest);

}  // namespace zenor9::test

#include "pty_program_test.moc"
