// Reading the prefix into the window and writing it into the register.
#include <QApplication>
#include <QTest>

#include "emulator/register_model.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

namespace {

constexpr uint16_t kTens = emu::kEmulatedPrefixTensCell;
constexpr uint16_t kUnits = emu::kEmulatedPrefixUnitsCell;
const char* const kNoInterface = "Не удается установить интерфейс с ККМ";

}  // namespace

class PrefixTest : public QObject {
  Q_OBJECT

 private:
  // A program already connected to the register at net number 1.
  struct Connected : Program {
    Connected() : Program(1) {
      connectedOk = ConnectOk();
      line.ClearLog();
    }
    IntegerSpinEdit* Prefix() const { return Spin("VelmorSpinEdit"); }
    QCheckBox* Use() const { return Check("UseCheckBox"); }
    void Cells(uint8_t tens, uint8_t units) {
      reg->WriteRam(kTens, tens);
      reg->WriteRam(kUnits, units);
    }
    bool connectedOk = false;
  };

  static void ExpectBox(const Program& p, const char* text, const char* caption, unsigned flags) {
    QVERIFY(!p.messages.shown.empty());
    const ShownMessage& box = p.messages.shown.back();
    QCOMPARE(box.text, QString(text));
    QCOMPARE(box.caption, QString(caption));
    QCOMPARE(box.flags, flags);
  }

 private slots:
  void ReadsTheTwoDigits() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Cells('2', '5');
    p.Click(p.Use());  // unchecked: the read checks it again
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.Prefix()->text(), QString("25"));
    QVERIFY(p.Prefix()->isEnabled());
    QVERIFY(p.Use()->isChecked());
    QCOMPARE(p.Status(), QString("Чтение завершено"));
    QVERIFY(p.ButtonsEnabled());
    QVERIFY(p.messages.shown.empty());
    QCOMPARE(p.CommandsSent(), 2);
  }

  void NotUsedWhenEitherCellHoldsFF() {
    const std::tuple<uint8_t, uint8_t, int> cases[] = {{0xFF, '5', 1}, {'2', 0xFF, 2}};
    for (const auto& [tens, units, commands] : cases) {
      for (bool checkedBefore : {true, false}) {
        Connected p;
        QVERIFY(p.connectedOk);
        p.Prefix()->setText("27");
        if (!checkedBefore) p.Click(p.Use());
        p.Cells(tens, units);
        p.Click(p.Tool("tbRead"));
        QCOMPARE(p.Prefix()->text(), QString("20"));
        QVERIFY(!p.Prefix()->isEnabled());
        QVERIFY(!p.Use()->isChecked());
        QCOMPARE(p.Status(), QString("Чтение завершено"));
        QVERIFY(p.ButtonsEnabled());
        QCOMPARE(p.CommandsSent(), commands);
        QVERIFY(p.messages.shown.empty());
      }
    }
  }

  void ShowsNonDigitsAsTheyAre() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Cells(0x33, 0x41);
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.Prefix()->text(), QString("3A"));
    QVERIFY(p.messages.shown.empty());
    // Bytes above 0x7F are letters of code page 1251, the register's own.
    p.Cells(0xC0, 0x35);
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.Prefix()->text(), QString::fromUtf8("А5"));
  }

  void ReadFailureOnTheFirstCell() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Status();
    p.reg->SetFault(emu::Fault::Silent);
    p.Click(p.Tool("tbRead"));
    ExpectBox(p, kNoInterface, "Чтение префикса локального ШК", 0x10);
    QCOMPARE(p.messages.shown.back().statusWhileShown, QString("Установлен интерфейс с ККМ"));
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsDisabled());
    QVERIFY(p.state.channel.IsOpen());
  }

  void ReadFailureOnTheSecondCell() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Click(p.Use());
    p.Cells('2', '8');
    p.SilenceFromCommand(2);
    p.Click(p.Tool("tbRead"));
    ExpectBox(p, kNoInterface, "Чтение префикса локального ШК", 0x10);
    QVERIFY(p.Use()->isChecked());
    QVERIFY(p.Prefix()->isEnabled());
    QCOMPARE(p.Prefix()->text(), QString("20"));
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsDisabled());
  }

  void WritesTheShownPrefix() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Prefix()->setText("27");
    // The wait cursor is up while bytes go out, and gone before the box shows.
    int busyBytes = 0;
    p.line.SetObserver([&](const emu::WireByte&) {
      const QCursor* cursor = QApplication::overrideCursor();
      busyBytes += cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    });
    p.Click(p.Tool("tbWrite"));
    QVERIFY(busyBytes > 0);
    QCOMPARE(busyBytes, static_cast<int>(p.line.Log().size()));
    QVERIFY(!p.messages.shown.back().waitCursorWhileShown);
    QCOMPARE(p.reg->ReadRam(kTens), 0x32);
    QCOMPARE(p.reg->ReadRam(kUnits), 0x37);
    ExpectBox(p, "Операция успешно завершена", "Запись префикса локального ШК", 0x40);
    QCOMPARE(p.messages.shown.back().statusWhileShown, QString("Установлен интерфейс с ККМ"));
    QCOMPARE(p.Status(), QString("Запись завершена"));
    QVERIFY(p.ButtonsEnabled());
    QCOMPARE(p.CommandsSent(), 2);
  }

  void WritesFFWhenNotUsed() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Click(p.Use());
    QCOMPARE(p.Prefix()->text(), QString("20"));
    QVERIFY(!p.Prefix()->isEnabled());
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.reg->Prefix(), std::string("off"));
    QCOMPARE(p.reg->ReadRam(kTens), 0xFF);
    QCOMPARE(p.reg->ReadRam(kUnits), 0xFF);
    QCOMPARE(p.Status(), QString("Запись завершена"));
    // Checked again: enabled, still "20".
    p.Click(p.Use());
    QVERIFY(p.Prefix()->isEnabled());
    QCOMPARE(p.Prefix()->text(), QString("20"));
  }

  void WriteFailureOnTheSecondCellKeepsTheFirst() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Prefix()->setText("26");
    p.SilenceFromCommand(2);
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.reg->ReadRam(kTens), '2');
    QCOMPARE(p.reg->ReadRam(kUnits), '3');  // as preset
    ExpectBox(p, kNoInterface, "Запись префикса локального ШК", 0x10);
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsEnabled());
  }

  void TypedTextThatIsNoPrefixIsRefused() {
    for (const char* typed : {"", "2", "35", "2-", "+5", "19", "210"}) {
      Connected p;
      QVERIFY(p.connectedOk);
      p.reg->SetPrefix("24");
      auto* prefix = p.Prefix();
      prefix->setFocus(Qt::TabFocusReason);
      QTest::keyClick(prefix, Qt::Key_Backspace);
      QTest::keyClicks(prefix, typed);
      // The tool bar leaves the focus, and the text, as the user left them.
      p.Click(p.Tool("tbWrite"));
      QCOMPARE(p.form->focusWidget(), prefix);
      QCOMPARE(prefix->text(), QString(typed));
      ExpectBox(p, "Префикс должен быть числом от 20 до 29", "Запись префикса локального ШК", 0x30);
      QCOMPARE(p.messages.shown.size(), std::size_t{1});
      QVERIFY(p.line.SentBytes().empty());
      QCOMPARE(p.reg->Prefix(), std::string("24"));
      // Nothing went over the link: the status line keeps the set-up's outcome.
      QCOMPARE(p.Status(), QString("Установлен интерфейс с ККМ"));
      QVERIFY(p.ButtonsEnabled());
    }
  }

  void RefusalLeavesTheLastOutcomeOnTheStatusLine() {
    Connected p;
    QVERIFY(p.connectedOk);
    p.Click(p.Tool("tbRead"));
    QCOMPARE(p.Status(), QString("Чтение завершено"));
    auto* prefix = p.Prefix();
    prefix->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(prefix, "35");
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.messages.shown.size(), std::size_t{1});
    QCOMPARE(p.messages.shown[0].statusWhileShown, QString("Чтение завершено"));
    QCOMPARE(p.Status(), QString("Чтение завершено"));
    QVERIFY(p.ButtonsEnabled());
    // The next write of a good prefix goes ahead as usual.
    QTest::keyClick(prefix, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(prefix, "27");
    p.Click(p.Tool("tbWrite"));
    QCOMPARE(p.reg->Prefix(), std::string("27"));
    QCOMPARE(p.Status(), QString("Запись завершена"));
  }
};

ZENOR9_APP_TEST(PrefixTest);

}  // namespace zenor9::test

#include "prefix_test.moc"
