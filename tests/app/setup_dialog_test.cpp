// The interface set-up: the dialog's attempts, each failure's box, and what
// the main window shows once the dialog has closed.
#include <QApplication>
#include <QTest>
#include <QWindow>
#include <stdexcept>

#include "link/net_number.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

class SetupDialogTest : public QObject {
  Q_OBJECT

 private:
  static void ExpectOneBox(const Program& p, const char* text, const char* caption,
                           unsigned flags) {
    QCOMPARE(p.messages.shown.size(), std::size_t{1});
    QCOMPARE(p.messages.shown[0].text, QString(text));
    QCOMPARE(p.messages.shown[0].caption, QString(caption));
    QCOMPARE(p.messages.shown[0].flags, flags);
  }

  // One attempt with Button1; true when the dialog was still open after it.
  static bool AttemptLeavesDialogOpen(Program& p) {
    bool open = false;
    p.Connect([&] {
      p.PressSetUp();
      open = p.dialog->isVisible();
    });
    return open;
  }

 private slots:
  void DetectsTheRegisterAndEnablesTheOperations() {
    Program p(37);
    QVERIFY(p.ConnectOk());
    QVERIFY(p.dialogWasModal);
    QVERIFY(!p.dialog->isVisible());
    QCOMPARE(p.Status(), QString("Установлен интерфейс с ККМ"));
    QVERIFY(p.ButtonsEnabled());
    QCOMPARE(p.Spin("NetNumSpinEdit")->text(), QString("37"));
    QCOMPARE(p.state.addressByte, 0xC8);
    QCOMPARE(p.state.versionCode, 105);
    QCOMPARE(p.state.memoryMap.PrefixTensCell(), 11887);
    QCOMPARE(p.state.memoryMap.PrefixUnitsCell(), 11888);
    QVERIFY(p.state.channel.IsOpen());
  }

  void WithoutDetectionUsesTheTypedNetNumber() {
    Program p(5);
    p.Click(p.Check("AutoDetectCheckBox"));
    auto* net = p.Spin("NetNumSpinEdit");
    net->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(net, "5");
    QVERIFY(p.ConnectOk());
    // No scan: the first byte on the line is already the register's address.
    QCOMPARE(p.line.SentBytes().front(), AddressByteOfNetNumber(5));
    QCOMPARE(p.CommandsSent(), 1);
    QCOMPARE(p.Spin("NetNumSpinEdit")->text(), QString("5"));
  }

  void WithoutDetectionUntouchedNetNumberIsZero() {
    Program p(3);
    p.Click(p.Check("AutoDetectCheckBox"));
    QVERIFY(AttemptLeavesDialogOpen(p));
    ExpectOneBox(p, "Нет связи с ККМ", "Ошибка", 0x10);
    QCOMPARE(p.line.SentBytes().front(), 0xFF);
    QVERIFY(p.state.channel.IsOpen());  // identify failed after the open
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsDisabled());
  }

  void PortThatDoesNotOpen() {
    Program p;
    p.Connect([&] {
      p.Click(p.Find<QRadioButton>("RadioButton3"));
      p.PressSetUp();
    });
    ExpectOneBox(p, "Выбранный COM-порт недоступен", "Предупреждение", 0x30);
    QCOMPARE(p.messages.shown[0].statusWhileShown, QString());
    QVERIFY(!p.state.channel.IsOpen());
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsDisabled());
    QVERIFY(p.line.SentBytes().empty());
    // The choice is still COM3 the next time.
    bool com3 = false;
    p.Connect([&] { com3 = p.Find<QRadioButton>("RadioButton3")->isChecked(); });
    QVERIFY(com3);
  }

  void ScanThatFindsNothing() {
    Program p(8);
    p.reg->SetFault(emu::Fault::Silent);
    QVERIFY(AttemptLeavesDialogOpen(p));
    ExpectOneBox(p, "Нет связи с ККМ", "Ошибка", 0x10);
    QCOMPARE(p.state.addressByte, 0xFF);
    QCOMPARE(p.CommandsSent(), 100);
    QVERIFY(p.state.channel.IsOpen());
    QCOMPARE(p.state.connected, 0);
  }

  void FirmwareOtherThan105IsRefused() {
    for (const auto& [high, low] : {std::pair{0x01, 0x06}, std::pair{0x01, 0x04}}) {
      Program p(2);
      p.reg->SetVersion(high, low);
      QVERIFY(AttemptLeavesDialogOpen(p));
      ExpectOneBox(p, "В ККМ необходимо установить ПО версии не ниже 1.0.5", "Предупреждение",
                   0x30);
      QCOMPARE(p.state.memoryMap.PrefixTensCell(), 0);
      QVERIFY(p.state.channel.IsOpen());
      QVERIFY(p.ButtonsDisabled());
    }
    // A reply that fails its sum test reads as version 0: the same refusal.
    Program p(2);
    p.reg->SetFault(emu::Fault::BadReplyCheck);
    QVERIFY(AttemptLeavesDialogOpen(p));
    ExpectOneBox(p, "В ККМ необходимо установить ПО версии не ниже 1.0.5", "Предупреждение", 0x30);
  }

  void SecondAttemptInTheSameRunSucceeds() {
    Program p(6);
    p.Connect([&] {
      p.Click(p.Find<QRadioButton>("RadioButton2"));
      p.PressSetUp();
      p.Click(p.Find<QRadioButton>("RadioButton1"));
      p.PressSetUp();
    });
    ExpectOneBox(p, "Выбранный COM-порт недоступен", "Предупреждение", 0x30);
    QCOMPARE(p.Status(), QString("Установлен интерфейс с ККМ"));
    QVERIFY(p.ButtonsEnabled());
  }

  void CloseAfterAnEarlierSuccessKeepsThePort() {
    Program p(9);
    QVERIFY(p.ConnectOk());
    p.Connect([] {});  // Button3 at once
    QCOMPARE(p.state.connected, 0);
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsEnabled());
    QVERIFY(p.state.channel.IsOpen());
    QCOMPARE(p.state.memoryMap.PrefixTensCell(), 11887);
  }

  void FailedOpenAfterSuccessClosesTheEarlierPort() {
    Program p(9);
    QVERIFY(p.ConnectOk());
    p.Connect([&] {
      p.Click(p.Find<QRadioButton>("RadioButton4"));
      p.PressSetUp();
    });
    QVERIFY(!p.state.channel.IsOpen());
    QVERIFY(p.ButtonsEnabled());
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.messages.shown.back().text, QString("Не удается установить интерфейс с ККМ"));
    QCOMPARE(p.messages.shown.back().caption, QString("Чтение префикса локального ШК"));
  }

  void ErrorEscapingTheAttemptIsShownAndTheDialogGoesOn() {
    Program p;
    p.state.channel.opener = [](const std::string&) -> std::unique_ptr<SerialPort> {
      throw std::runtime_error("port table damaged");
    };
    QVERIFY(AttemptLeavesDialogOpen(p));
    ExpectOneBox(p, "port table damaged.", "ККМ ЗЕНОР-9 Префикс локального шрихового кода", 0x10);
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
  }

  void EscapeDoesNothingAndACloseRequestActsAsClose() {
    Program p(4);
    QVERIFY(p.ConnectOk());
    p.line.ClearLog();
    bool openAfterEscape = false;
    bool openAfterClose = true;
    p.Connect([&] {
      QTest::keyClick(p.dialog.get(), Qt::Key_Escape);
      openAfterEscape = p.dialog->isVisible();
      // What a window manager's close button or Alt+F4 delivers.
      p.dialog->windowHandle()->close();
      openAfterClose = p.dialog->isVisible();
    });
    QVERIFY(openAfterEscape);
    QVERIFY(!openAfterClose);
    // As "Закрыть" after an earlier success: no attempt, the buttons stay enabled.
    QVERIFY(p.line.SentBytes().empty());
    QCOMPARE(p.state.connected, 0);
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsEnabled());
    QVERIFY(p.messages.shown.empty());
    const Qt::WindowFlags flags = p.dialog->windowFlags();
    QVERIFY(!(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
  }

  void MinimisedDialogIsRestoredWhileItBlocks() {
    Program p;
    bool restored = false;
    p.Connect([&] {
      p.dialog->setWindowState(p.dialog->windowState() | Qt::WindowMinimized);
      QTRY_VERIFY(!p.dialog->isMinimized());
      restored = p.dialog->isVisible() && QApplication::activeModalWidget() == p.dialog.get();
    });
    QVERIFY(restored);
  }

  void EnterAndSpaceClickOnlyAFocusedButton() {
    Program p(3);
    auto* setUp = p.Find<QPushButton>("Button1");
    auto* close = p.Find<QPushButton>("Button3");
    bool openAfterEnterOnRadio = false;
    bool closedByEnter = false;
    p.Connect([&] {
      auto* com2 = p.Find<QRadioButton>("RadioButton2");
      com2->setFocus(Qt::TabFocusReason);
      QTest::keyClick(com2, Qt::Key_Return);
      QTest::keyClick(com2, Qt::Key_Enter, Qt::KeypadModifier);
      openAfterEnterOnRadio = p.dialog->isVisible();
      close->setFocus(Qt::TabFocusReason);
      QTest::keyClick(close, Qt::Key_Return);
      closedByEnter = !p.dialog->isVisible();
    });
    QVERIFY(openAfterEnterOnRadio);
    QVERIFY(closedByEnter);
    QVERIFY(p.line.SentBytes().empty());
    QVERIFY(p.messages.shown.empty());

    p.Connect([&] {
      setUp->setFocus(Qt::TabFocusReason);
      QTest::keyClick(setUp, Qt::Key_Enter, Qt::KeypadModifier);
    });
    QCOMPARE(p.state.connected, 1);

    bool closedBySpace = false;
    p.Connect([&] {
      close->setFocus(Qt::TabFocusReason);
      QTest::keyClick(close, Qt::Key_Space);
      closedBySpace = !p.dialog->isVisible();
    });
    QVERIFY(closedBySpace);
    QCOMPARE(p.state.connected, 0);
    QVERIFY(!setUp->isDefault() && !close->isDefault());
  }
};

ZENOR9_APP_TEST(SetupDialogTest);

}  // namespace zenor9::test

#include "setup_dialog_test.moc"
