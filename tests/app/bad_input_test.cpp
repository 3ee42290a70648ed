// Text that the spin edits' key filter never sees: pasted text, and what an
// input method commits.
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTest>

#include "link/net_number.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

namespace {

// Replaces the field's whole text with `text` through the clipboard; true
// when the field had the focus for it.
bool PasteOver(IntegerSpinEdit* field, const QString& text) {
  field->setFocus(Qt::TabFocusReason);
  QGuiApplication::clipboard()->setText(text);
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  return field->hasFocus();
}

// Leaves the field as Tab does, which enforces the range; true when the focus
// did move on.
bool Leave(IntegerSpinEdit* field) {
  QTest::keyClick(field, Qt::Key_Tab);
  return !field->hasFocus();
}

}  // namespace

class BadInputTest : public QObject {
  Q_OBJECT

 private slots:
  void PastedNetNumberReachesTheHandlers() {
    Program p(37);
    p.Click(p.Check("AutoDetectCheckBox"));
    IntegerSpinEdit* net = p.Spin("NetNumSpinEdit");
    QVERIFY(PasteOver(net, "37"));
    QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(37));
    // More than a line edit holds is cut, not a crash.
    QVERIFY(PasteOver(net, QString(40000, u'7')));
    QCOMPARE(net->text().size(), net->maxLength());
    QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(37));
    QVERIFY(p.messages.shown.empty());

    // Pasted whole numbers outside 0 to 99 come back into range on leaving.
    for (const auto& [pasted, left] : {std::pair{"-5", "0"}, std::pair{"150", "99"}}) {
      QVERIFY(PasteOver(net, pasted));
      QVERIFY(Leave(net));
      QCOMPARE(net->text(), QString(left));
      QCOMPARE(p.state.addressByte,
               AddressByteOfNetNumber(static_cast<uint8_t>(QString(left).toInt())));
    }
  }

  void LettersFromAnInputMethodAreRefusedLikeTypedOnes() {
    Program p;
    IntegerSpinEdit* prefix = p.Spin("VelmorSpinEdit");
    prefix->setFocus(Qt::TabFocusReason);
    QTest::keyClick(prefix, Qt::Key_End);
    for (const QString& committed :
         {QStringLiteral("é"), QStringLiteral("ab"), QStringLiteral("5x"), QStringLiteral("５")}) {
      QInputMethodEvent event;
      event.setCommitString(committed);
      QApplication::sendEvent(prefix, &event);
      QCOMPARE(prefix->text(), QString("20"));
    }
    QInputMethodEvent digit;
    digit.setCommitString("5");
    QApplication::sendEvent(prefix, &digit);
    QCOMPARE(prefix->text(), QString("205"));
  }
};

ZENOR9_APP_TEST(BadInputTest);

}  // namespace zenor9::test

#include "bad_input_test.moc"
