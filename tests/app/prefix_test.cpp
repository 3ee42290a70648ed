// The read and write buttons through the Qt widgets: the handlers' states
// reach the widgets, the wait cursor is Qt's own, and the tool bar leaves the
// focus and the typed text in the prefix field.
#include <QApplication>
#include <QTest>

#include "emulator/register_model.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

class PrefixTest : public QObject {
  Q_OBJECT

 private slots:
  void ReadAndWriteShowInTheWidgets() {
    Program p(1);
    QVERIFY(p.ConnectOk());
    IntegerSpinEdit* prefix = p.Spin("VelmorSpinEdit");
    QCheckBox* use = p.Check("UseCheckBox");
    p.Click(use);
    QVERIFY(!prefix->isEnabled());
    p.reg->SetPrefix("25");
    p.Click(p.Tool("tbRead"));
    QCOMPARE(prefix->text(), QString("25"));
    QVERIFY(prefix->isEnabled());
    QVERIFY(use->isChecked());
    QCOMPARE(p.Status(), QString("Чтение завершено"));
    QVERIFY(p.ButtonsEnabled());

    // The wait cursor is up while bytes go out, and gone before the box shows.
    p.line.ClearLog();
    prefix->setText("27");
    int busyBytes = 0;
    p.line.SetObserver([&](const emu::WireByte&) {
      const QCursor* cursor = QApplication::overrideCursor();
      busyBytes += cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    });
    p.Click(p.Tool("tbWrite"));
    QVERIFY(busyBytes > 0);
    QCOMPARE(busyBytes, static_cast<int>(p.line.Log().size()));
    QCOMPARE(p.messages.shown.back().text, QString("Операция успешно завершена"));
    QVERIFY(!p.messages.shown.back().waitCursorWhileShown);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(p.reg->Prefix(), std::string("27"));
    QCOMPARE(p.Status(), QString("Запись завершена"));
  }

  void TheToolBarLeavesTheTypedTextToTheWrite() {
    Program p(1);
    QVERIFY(p.ConnectOk());
    QApplication::setActiveWindow(p.form.get());
    QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
    p.reg->SetPrefix("24");
    auto* prefix = p.Spin("VelmorSpinEdit");
    prefix->setFocus(Qt::TabFocusReason);
    QTest::keyClick(prefix, Qt::Key_Backspace);
    QTest::keyClicks(prefix, "2");
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.form->focusWidget(), prefix);
    QCOMPARE(prefix->text(), QString("2"));
    QCOMPARE(p.messages.shown.back().text, QString("Префикс должен быть числом от 20 до 29"));
    QCOMPARE(p.reg->Prefix(), std::string("24"));
    // Out of range, then left: the field brings it to the limit, and that is
    // what the write stores.
    QTest::keyClicks(prefix, "35");
    QTest::keyClick(prefix, Qt::Key_Tab);
    QCOMPARE(prefix->text(), QString("29"));
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.reg->Prefix(), std::string("29"));
  }
};

ZENOR9_APP_TEST(PrefixTest);

}  // namespace zenor9::test

#include "prefix_test.moc"
