// Text that the spin edits' key filter never sees (pasted: long, signs alone,
// huge numbers, letters) and a port that another process holds.
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTest>
#include <cstdlib>

#include "emulator/pty_host.h"
#include "link/net_number.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

namespace {

// Texts that are no whole number, or none that fits an int.
QStringList TextsThatDoNotParse() {
  return {QString(5000, u'x'),
          QString(4000, u'9'),
          QStringLiteral("+"),
          QStringLiteral("-"),
          QStringLiteral("99999999999999999999"),
          QStringLiteral("-99999999999999999999"),
          QStringLiteral("2x5"),
          QStringLiteral(" 25"),
          QStringLiteral("２５"),  // full-width digits
          QStringLiteral("2") + QString(3000, u'5') + QStringLiteral("abc")};
}

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

// The offscreen platform has no window manager to give the activation back to
// the main window once the set-up dialog has closed.
bool ActivateMainWindow(const Program& p) {
  QApplication::setActiveWindow(p.form.get());
  return QTest::qWaitForWindowActive(p.form.get());
}

// A child process that opens `device` with the program's own backend and holds
// it until Release.
class PortHolder {
 public:
  explicit PortHolder(const std::string& device) {
    if (::pipe(ready_) != 0 || ::pipe(release_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only the parent's end may keep the release pipe open.
      ::close(release_[1]);
      ::close(ready_[0]);
      SerialChannel held;
      const char opened = OpenChannelDevice(device, held) ? 1 : 0;
      (void)!::write(ready_[1], &opened, 1);
      char done = 0;
      (void)!::read(release_[0], &done, 1);  // the parent closes its end
      _exit(0);
    }
    ::close(ready_[1]);
    ::close(release_[0]);
    char opened = 0;
    holding_ = pid_ > 0 && ::read(ready_[0], &opened, 1) == 1 && opened == 1;
  }
  ~PortHolder() { Release(); }
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;

  bool Holding() const { return holding_; }
  void Release() {
    if (pid_ <= 0) return;
    ::close(release_[1]);
    ::close(ready_[0]);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    holding_ = false;
  }

 private:
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool holding_ = false;
};

}  // namespace

class BadInputTest : public QObject {
  Q_OBJECT

 private slots:
  void PastedNetNumberThatIsNoWholeNumberKeepsTheAddressByte() {
    Program p(37);
    p.Click(p.Check("AutoDetectCheckBox"));
    IntegerSpinEdit* net = p.Spin("NetNumSpinEdit");
    QVERIFY(PasteOver(net, "37"));
    QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(37));
    for (const QString& text : TextsThatDoNotParse()) {
      QVERIFY(PasteOver(net, text));
      QCOMPARE(net->text(), text);
      QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(37));
      // Text that does not parse stays as it is when the field is left.
      QVERIFY(Leave(net));
      QCOMPARE(net->text(), text);
      QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(37));
    }
    // More than a line edit holds is cut, not a crash.
    QVERIFY(PasteOver(net, QString(40000, u'7')));
    QCOMPARE(net->text().size(), net->maxLength());
    QCOMPARE(p.state.addressByte, AddressByteOfNetNumber(37));
    QVERIFY(p.messages.shown.empty());

    // The set-up addresses the register the last whole number named.
    QVERIFY(p.ConnectOk());
    QCOMPARE(p.line.SentBytes().front(), AddressByteOfNetNumber(37));
    QVERIFY(ActivateMainWindow(p));

    // Pasted whole numbers outside 0 to 99 come back into range on leaving.
    for (const auto& [pasted, left] : {std::pair{"-5", "0"}, std::pair{"150", "99"}}) {
      QVERIFY(PasteOver(net, pasted));
      QVERIFY(Leave(net));
      QCOMPARE(net->text(), QString(left));
      QCOMPARE(p.state.addressByte,
               AddressByteOfNetNumber(static_cast<uint8_t>(QString(left).toInt())));
    }
  }

  void PastedPrefixThatIsNoPrefixIsNeverWritten() {
    Program p(1);
    QVERIFY(p.ConnectOk());
    QVERIFY(ActivateMainWindow(p));
    p.reg->SetPrefix("24");
    IntegerSpinEdit* prefix = p.Spin("VelmorSpinEdit");
    QStringList texts = TextsThatDoNotParse();
    texts << QStringLiteral("029") << QStringLiteral("+25") << QString(5000, u'2');
    for (const QString& text : texts) {
      p.line.ClearLog();
      p.messages.shown.clear();
      QVERIFY(PasteOver(prefix, text));
      // The tool bar leaves the focus, and the pasted text, in the field.
      p.Click(p.Tool("tbWrite"));
      QCOMPARE(prefix->text(), text);
      QCOMPARE(p.messages.shown.size(), std::size_t{1});
      QCOMPARE(p.messages.shown[0].text, QString("Префикс должен быть числом от 20 до 29"));
      QCOMPARE(p.messages.shown[0].caption, QString("Запись префикса локального ШК"));
      QCOMPARE(p.messages.shown[0].flags, 0x30u);
      QVERIFY(p.line.SentBytes().empty());
      QCOMPARE(p.reg->Prefix(), std::string("24"));
      QVERIFY(p.ButtonsEnabled());
      // Leaving the field rewrites only whole numbers outside 20 to 29.
      QVERIFY(Leave(prefix));
      QCOMPARE(prefix->text(), text);
    }

    // A pasted number out of range is brought to the limit on leaving, and
    // that is what a write then stores.
    for (const auto& [pasted, left] : {std::pair{"35", "29"}, std::pair{"-7", "20"}}) {
      QVERIFY(PasteOver(prefix, pasted));
      QVERIFY(Leave(prefix));
      QCOMPARE(prefix->text(), QString(left));
      p.Click(p.Tool("tbWrite"));
      QCOMPARE(p.messages.shown.back().text, QString("Операция успешно завершена"));
      QCOMPARE(p.reg->Prefix(), std::string(left));
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

  void PortHeldByAnotherProcessIsUnavailable() {
    Program p(7, /*realChannel=*/true);
    emu::PtyHost host(p.line);
    QVERIFY(host.Start());
    QVERIFY(setenv("ZENOR9_COM1", host.DevicePath().c_str(), 1) == 0);
    PortHolder holder(host.DevicePath());
    QVERIFY(holder.Holding());

    p.Connect([&] { p.PressSetUp(); });
    QCOMPARE(p.messages.shown.size(), std::size_t{1});
    QCOMPARE(p.messages.shown[0].text, QString("Выбранный COM-порт недоступен"));
    QCOMPARE(p.messages.shown[0].caption, QString("Предупреждение"));
    QCOMPARE(p.messages.shown[0].flags, 0x30u);
    QVERIFY(!p.state.channel.IsOpen());
    QCOMPARE(p.state.connected, 0);
    QCOMPARE(p.Status(), QString("Нет связи с ККМ"));
    QVERIFY(p.ButtonsDisabled());
    QVERIFY(p.line.Log().empty());

    // Once the other process lets go, the next set-up connects.
    holder.Release();
    p.Connect([&] { p.PressSetUp(); });
    QCOMPARE(p.state.connected, 1);
    QCOMPARE(p.Status(), QString("Установлен интерфейс с ККМ"));
    QCOMPARE(p.messages.shown.size(), std::size_t{1});

    p.dialog.reset();
    p.form.reset();
    unsetenv("ZENOR9_COM1");
    host.Stop();
  }
};

ZENOR9_APP_TEST(BadInputTest);

}  // namespace zenor9::test

#include "bad_input_test.moc"
