// The program over the real POSIX serial backend: COM1 is the emulator's
// pseudo-terminal, everything runs in real time.
#include <QTest>
#include <cstdlib>

#include "emulator/pty_host.h"
#include "operations/port_choice.h"
#include "tests/app/app_fixture.h"

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
};

ZENOR9_APP_TEST(PtyProgramTest);

}  // namespace zenor9::test

#include "pty_program_test.moc"
