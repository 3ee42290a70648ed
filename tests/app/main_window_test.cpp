// The main window at start-up, its focus order, the net number handlers and
// the end of the program.
#include <QApplication>
#include <QTest>

#include "link/net_number.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsWithNothingConnected() {
    Program p;
    QVERIFY(p.ButtonsDisabled());
    QVERIFY(p.Tool("tbConnect")->isEnabled() && p.Tool("tbExit")->isEnabled());
    QCOMPARE(p.Status(), QString());
    QVERIFY(!p.Spin("NetNumSpinEdit")->isEnabled());
    QCOMPARE(p.Spin("NetNumSpinEdit")->text(), QString("0"));
    QVERIFY(p.Check("AutoDetectCheckBox")->isChecked() && p.Check("UseCheckBox")->isChecked());
    QVERIFY(p.Spin("VelmorSpinEdit")->isEnabled());
    QCOMPARE(p.Spin("VelmorSpinEdit")->text(), QString("20"));
    QCOMPARE(p.state.addressByte, 0xFF);
    QCOMPARE(p.state.autoDetect, 1);
    QCOMPARE(p.state.connected, 0);
    QVERIFY(p.messages.shown.empty());

    QCOMPARE(p.form->windowTitle(), QString("ККМ ЗЕНОР-9 Префикс локального ШК"));
    QCOMPARE(p.form->size(), QSize(423, 225));
    QCOMPARE(p.form->minimumSize(), p.form->maximumSize());
    const Qt::WindowFlags flags = p.form->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  }

  void ToolBarImagesLoadAndGreyOut() {
    Program p;
    for (const char* name : {"tbConnect", "tbRead", "tbWrite", "tbExit"}) {
      const QIcon icon = p.Tool(name)->icon();
      const QImage normal = icon.pixmap(32, QIcon::Normal).toImage();
      const QImage greyed = icon.pixmap(32, QIcon::Disabled).toImage();
      QVERIFY2(!normal.isNull(), name);
      QVERIFY2(normal != greyed, name);
      QCOMPARE(p.Tool(name)->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(!p.form->windowIcon().isNull());
  }

  void FocusStartsInThePrefixAndTabsThroughTheFields() {
    Program p;
    auto* prefix = p.Spin("VelmorSpinEdit");
    QCOMPARE(QApplication::focusWidget(), prefix);
    QCOMPARE(prefix->selectedText(), QString("20"));
    QTest::keyClick(prefix, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), p.Check("UseCheckBox"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), p.Check("AutoDetectCheckBox"));  // net number disabled
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), prefix);

    p.Click(p.Check("AutoDetectCheckBox"));
    prefix->setFocus(Qt::TabFocusReason);
    QTest::keyClick(prefix, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), p.Spin("NetNumSpinEdit"));
  }

  void NetNumberTextBecomesTheAddressByte() {
    Program p;
    p.Click(p.Check("AutoDetectCheckBox"));
    auto* net = p.Spin("NetNumSpinEdit");
    net->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(net, "37");
    QCOMPARE(p.state.addressByte, 0xC8);
    // A number out of range is coded as it stands until the field is left.
    QTest::keyClick(net, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(net, "150");
    QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(150));
    QTest::keyClick(net, Qt::Key_Tab);
    QCOMPARE(net->text(), QString("99"));
    QCOMPARE(p.state.addressByte, 0x66);
  }

  void ClosingEndsTheProgramAndReleasesThePort() {
    Program p(4);
    QVERIFY(p.ConnectOk());
    QVERIFY(p.state.channel.IsOpen());
    // The main window is the one whose close ends the event loop.
    QVERIFY(QApplication::quitOnLastWindowClosed());
    QVERIFY(p.form->testAttribute(Qt::WA_QuitOnClose));
    p.Click(p.Tool("tbExit"));
    QVERIFY(!p.form->isVisible());
    p.dialog.reset();
    p.form.reset();
    QVERIFY(!p.state.channel.IsOpen());

    // Never connected: the close does nothing and shows nothing.
    Program idle;
    QVERIFY(idle.form->close());
    idle.form.reset();
    QVERIFY(idle.messages.shown.empty());
  }
};

ZENOR9_APP_TEST(MainWindowTest);

}  // namespace zenor9::test

#include "main_window_test.moc"
