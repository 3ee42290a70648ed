// The set-up dialog in Qt: modal, its radio buttons and buttons reaching the
// handlers, its keys and close requests, and the outcome in the main window's
// widgets.
#include <QApplication>
#include <QTest>
#include <QWindow>

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

 private slots:
  void DetectsTheRegisterAndEnablesTheOperations() {
    Program p(37);
    QVERIFY(p.ConnectOk());
    QVERIFY(p.dialogWasModal);
    QVERIFY(!p.dialog->isVisible());
    QCOMPARE(p.Status(), QString("Установлен интерфейс с ККМ"));
    QVERIFY(p.ButtonsEnabled());
    QCOMPARE(p.Spin("NetNumSpinEdit")->text(), QString("37"));
  }

  // Nets 1 (1.0.5), 2 (1.0.4) and 15 (1.0.5): typing another net number than
  // the identified one takes Read and Write away until a set-up succeeds, and
  // 150 (on its way to 15) is refused before anything is sent.
  void ANetNumberTypedAwayFromTheIdentifiedRegisterIsNeverWritten() {
    Program p(1);
    p.line.AddRegister(2, 0x01, 0x04);
    p.line.AddRegister(15);
    QVERIFY(p.ConnectOk());
    p.Click(p.Check("AutoDetectCheckBox"));
    IntegerSpinEdit* net = p.Spin("NetNumSpinEdit");
    net->setFocus(Qt::TabFocusReason);
    QTest::keyClick(net, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(net, "2");
    QVERIFY(p.ButtonsDisabled());
    p.Click(p.Tool("tbWrite"));  // a disabled button: nothing happens

    QTest::keyClick(net, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(net, "150");
    p.line.ClearLog();
    p.Connect([&] { p.PressSetUp(); });
    ExpectOneBox(p, "Сетевой номер ККМ должен быть числом от 0 до 99", "Предупреждение", 0x30);
    QVERIFY(p.line.Log().empty());
    QVERIFY(p.ButtonsDisabled());
  }

  void PortThatDoesNotOpen() {
    Program p;
    p.Connect([&] {
      p.Click(p.Find<QRadioButton>("RadioButton3"));
      p.PressSetUp();
    });
    ExpectOneBox(p, "Выбранный COM-порт недоступен", "Предупреждение", 0x30);
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    // The choice is still COM3 the next time.
    bool com3 = false;
    p.Connect([&] { com3 = p.Find<QRadioButton>("RadioButton3")->isChecked(); });
    QVERIFY(com3);
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
