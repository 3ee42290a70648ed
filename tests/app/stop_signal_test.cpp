// The window program and the signals that end a program: SIGTERM, SIGHUP and
// SIGINT close it as its exit button would, once the running handler has
// finished, so that a write is never cut between its cells.
#include <signal.h>

#include <QProcess>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <string>

#include "app/stop_signals.h"
#include "emulator/register_model.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

namespace {

// True once the process `pid` catches `signal` (a handler is installed).
bool Catches(qint64 pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) == 0) {
      return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) != 0;
    }
  }
  return false;
}

}  // namespace

class StopSignalTest : public QObject {
  Q_OBJECT

 private slots:
  void ASignalDuringAWriteClosesTheWindowOnlyAfterBothCells() {
    Program p(7);
    QVERIFY(p.ConnectOk());
    const StopSignalWatcher watcher(*p.form);
    p.line.ClearLog();
    // The first address byte after the set-up begins the tens cell's write.
    bool raised = false;
    p.line.SetObserver([&raised](const emu::WireByte& byte) {
      if (byte.toRegister && byte.parity == ParityMode::Mark && !raised) {
        raised = true;
        ::raise(SIGTERM);
      }
    });
    p.Spin("VelmorSpinEdit")->setText("26");
    p.Click(p.Tool("tbWrite"));
    QVERIFY(p.form->isVisible());  // the handler ran to its end first
    QCOMPARE(p.reg->ReadRam(emu::kEmulatedPrefixTensCell), '2');
    QCOMPARE(p.reg->ReadRam(emu::kEmulatedPrefixUnitsCell), '6');
    QCOMPARE(p.Status(), QString("Запись завершена"));
    QTRY_VERIFY(!p.form->isVisible());
  }

  void ASignalDuringTheSetUpDialogEndsItAsCloseThenTheProgram() {
    Program p(7);
    const StopSignalWatcher watcher(*p.form);
    bool dialogWasOpen = false;
    bool closedByTheTest = false;
    QTimer::singleShot(0, p.form.get(), [&] {
      dialogWasOpen = p.dialog->isVisible();
      ::raise(SIGHUP);
    });
    QTimer::singleShot(5000, p.form.get(), [&] {
      closedByTheTest = p.dialog->isVisible();
      if (closedByTheTest) p.dialog->reject();
    });
    p.Click(p.Tool("tbConnect"));  // returns when the dialog's modal run ends
    QVERIFY(dialogWasOpen);
    QVERIFY(!closedByTheTest);
    QCOMPARE(p.state.connected, uint8_t{0});
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));  // as after "Закрыть"
    QTRY_VERIFY(!p.form->isVisible());
  }

  // The program as started: each signal ends it normally, not by the signal.
  void TheProgramEndsNormallyOnEachSignal() {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
      QProcess program;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("QT_QPA_PLATFORM", "offscreen");
      environment.insert("XDG_CONFIG_HOME", "/nonexistent/zenor9-test-config");
      for (int n = 1; n <= 4; ++n) {
        environment.insert(QString("ZENOR9_COM%1").arg(n), "/nonexistent/zenor9-test-com");
      }
      program.setProcessEnvironment(environment);
      program.start(ZENOR9_GUI_BINARY, {});
      QVERIFY(program.waitForStarted(10'000));
      QTRY_VERIFY_WITH_TIMEOUT(Catches(program.processId(), signal), 20'000);
      ::kill(static_cast<pid_t>(program.processId()), signal);
      QVERIFY(program.waitForFinished(20'000));
      QCOMPARE(program.exitStatus(), QProcess::NormalExit);
      QCOMPARE(program.exitCode(), 0);
    }
  }
};

ZENOR9_APP_TEST(StopSignalTest);

}  // namespace zenor9::test

#include "stop_signal_test.moc"
