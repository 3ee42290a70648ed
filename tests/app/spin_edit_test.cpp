// The integer spin edit and the shadowed label.
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "app/shadow_label.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

class SpinEditTest : public QObject {
  Q_OBJECT

 private:
  // A window with the field (range 20 to 29) and a plain line edit after it.
  struct Window {
    Window() {
      auto* layout = new QVBoxLayout(&top);
      spin = new IntegerSpinEdit;
      spin->setRange({20, 29});
      spin->setText("20");
      spin->resize(41, 21);
      other = new QLineEdit;
      layout->addWidget(spin);
      layout->addWidget(other);
      top.show();
      QApplication::setActiveWindow(&top);
      active = QTest::qWaitForWindowActive(&top);
    }
    QWidget top;
    // Moves the focus into the field from the other control, as Tab does.
    void TabIntoField() {
      other->setFocus(Qt::TabFocusReason);
      spin->setFocus(Qt::TabFocusReason);
    }
    IntegerSpinEdit* spin;
    QLineEdit* other;
    bool active = false;
  };

 private slots:
  void WritingTheValueClampsAndChangesOnlyChangedText() {
    IntegerSpinEdit spin;
    spin.setRange({0, 99});
    spin.setText("0");
    QSignalSpy changes(&spin, &QLineEdit::textChanged);
    spin.setValue(150);
    QCOMPARE(spin.text(), QString("99"));
    spin.setValue(99);
    spin.setText("99");
    QCOMPARE(changes.count(), 1);
    spin.setValue(-4);
    QCOMPARE(spin.text(), QString("0"));
    QCOMPARE(changes.count(), 2);
    // Equal bounds mean no range at all.
    spin.setRange({0, 0});
    spin.setValue(1234);
    QCOMPARE(spin.text(), QString("1234"));
  }

  void TypedTextIsCheckedOnlyWhenTheFieldIsLeft() {
    Window w;
    QVERIFY(w.active);
    w.spin->setRange({0, 99});
    w.TabIntoField();
    QCOMPARE(w.spin->selectedText(), QString("20"));
    QTest::keyClick(w.spin, Qt::Key_Backspace);
    QSignalSpy changes(w.spin, &QLineEdit::textChanged);
    QTest::keyClicks(w.spin, "150");
    QCOMPARE(changes.count(), 3);
    QCOMPARE(changes[0][0].toString(), QString("1"));
    QCOMPARE(changes[2][0].toString(), QString("150"));
    // Another window taking over (a message box, say) is no leaving of the field.
    {
      QWidget box;
      box.show();
      QApplication::setActiveWindow(&box);
      QVERIFY(QTest::qWaitForWindowActive(&box));
      QCOMPARE(w.spin->text(), QString("150"));
    }
    QApplication::setActiveWindow(&w.top);
    QVERIFY(QTest::qWaitForWindowActive(&w.top));
    QVERIFY(w.spin->hasFocus());
    QCOMPARE(w.spin->text(), QString("150"));
    QTest::keyClick(w.spin, Qt::Key_Tab);
    QVERIFY(w.other->hasFocus());
    QCOMPARE(w.spin->text(), QString("99"));
    QCOMPARE(changes.count(), 4);

    // Unparsable and signed or zero-led in-range texts stay as they are.
    for (const char* text : {"-", "+5", "05"}) {
      w.spin->setFocus(Qt::TabFocusReason);
      w.spin->setText(text);
      w.other->setFocus(Qt::TabFocusReason);
      QCOMPARE(w.spin->text(), QString(text));
    }
  }

  void OnlyDigitsSignsAndControlKeysReachTheText() {
    Window w;
    w.spin->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.spin, Qt::Key_End);
    QSignalSpy changes(w.spin, &QLineEdit::textChanged);
    QTest::keyClicks(w.spin, "a. ,");
    QCOMPARE(w.spin->text(), QString("20"));
    QCOMPARE(changes.count(), 0);
    QTest::keyClicks(w.spin, "-+7");
    QCOMPARE(w.spin->text(), QString("20-+7"));
    QTest::keyClick(w.spin, Qt::Key_Backspace);
    QCOMPARE(w.spin->text(), QString("20-+"));
  }

  void PasteIsNotChecked() {
    Window w;
    w.TabIntoField();
    QGuiApplication::clipboard()->setText("x7");
    QTest::keyClick(w.spin, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.spin->text(), QString("x7"));
  }

  void ArrowKeysStepWithinTheRange() {
    Window w;
    w.spin->setFocus(Qt::TabFocusReason);
    QSignalSpy changes(w.spin, &QLineEdit::textChanged);
    QTest::keyClick(w.spin, Qt::Key_Down);
    QCOMPARE(w.spin->text(), QString("20"));
    QCOMPARE(changes.count(), 0);
    QTest::keyClick(w.spin, Qt::Key_Up);
    QCOMPARE(w.spin->text(), QString("21"));
    w.spin->setText("29");
    changes.clear();
    QTest::keyClick(w.spin, Qt::Key_Up);
    QCOMPARE(w.spin->text(), QString("29"));
    QCOMPARE(changes.count(), 0);
    w.spin->setText("abc");  // reads as the minimum
    QTest::keyClick(w.spin, Qt::Key_Up);
    QCOMPARE(w.spin->text(), QString("21"));
  }

  void SpinButtonHalvesSplitAlongTheDiagonal() {
    Window w;
    w.spin->setText("25");
    w.other->setFocus(Qt::TabFocusReason);
    SpinButton* button = w.spin->spinButton();
    const int width = button->width();
    const int height = button->height();
    QVERIFY(width > 8 && height > 8);
    // Low on the left is still the upper-left half; high on the right is
    // already the lower-right one.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(1, height * 3 / 4));
    QVERIFY(w.spin->hasFocus());
    QCOMPARE(w.spin->text(), QString("26"));
    // A click into the field: nothing selected, the cursor at the end.
    QVERIFY(w.spin->selectedText().isEmpty());
    QCOMPARE(w.spin->cursorPosition(), 2);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(width - 2, height / 4));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(width - 2, height / 4));
    QCOMPARE(w.spin->text(), QString("24"));
  }

  void HeldSpinButtonRepeatsAfterADelay() {
    Window w;
    SpinButton* button = w.spin->spinButton();
    QSignalSpy steps(button, &SpinButton::stepped);
    QElapsedTimer held;
    held.start();
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(steps.count(), 1);
    QTest::qWait(300);
    if (held.elapsed() < SpinButton::kFirstRepeatMs) QCOMPARE(steps.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(steps.count() >= 3, 3000);
    QVERIFY(held.elapsed() >= SpinButton::kFirstRepeatMs + SpinButton::kRepeatMs);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(1, 1));
    const int afterRelease = steps.count();
    QTest::qWait(250);
    QCOMPARE(steps.count(), afterRelease);
    QCOMPARE(w.spin->text(), QString::number(qMin(29, 20 + afterRelease)));
  }

  void FocusByKeyboardSelectsAllButAClickDoesNot() {
    Window w;
    w.spin->setText("27");
    w.other->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(w.spin, Qt::LeftButton, {}, QPoint(3, 10));
    QVERIFY(w.spin->hasFocus());
    QVERIFY(w.spin->selectedText().isEmpty());
    w.other->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.other, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(w.spin->hasFocus());
    QCOMPARE(w.spin->selectedText(), QString("27"));
  }

  void DisabledFieldTakesNothing() {
    Window w;
    w.spin->setEnabled(false);
    QVERIFY(!w.spin->spinButton()->isEnabled());
    QTest::mouseClick(w.spin->spinButton(), Qt::LeftButton, {}, QPoint(1, 1));
    QTest::keyClicks(w.spin, "5");
    QTest::keyClick(w.spin, Qt::Key_Up);
    QCOMPARE(w.spin->text(), QString("20"));
  }

  void ShadowLabelDrawsBlackShadowThenWhiteText() {
    QWidget top;
    top.resize(200, 40);
    auto* label = new ShadowLabel(&top);
    QFont font = label->font();
    font.setPixelSize(13);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setText("IIII");
    QCOMPARE(label->size(), label->sizeHint());
    const QImage image = label->grab().toImage();
    bool white = false;
    bool black = false;
    bool ground = false;
    const QColor face = label->palette().color(QPalette::Window);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        white |= c == Qt::white;
        black |= c == Qt::black;
        ground |= c == face;
      }
    }
    QVERIFY(white && black && ground);
    // Each white pixel's shadow lies one pixel up and to the left.
    for (int y = 1; y < image.height(); ++y) {
      for (int x = 1; x < image.width(); ++x) {
        if (image.pixelColor(x, y) == Qt::white && image.pixelColor(x - 1, y - 1) == face) {
          QFAIL("white text without its shadow");
        }
      }
    }
  }
};

ZENOR9_APP_TEST(SpinEditTest);

}  // namespace zenor9::test

#include "spin_edit_test.moc"
