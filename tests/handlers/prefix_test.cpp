// Reading the prefix cells into the main window and writing its choice back.
#include <gtest/gtest.h>

#include <tuple>

#include "emulator/register_model.h"
#include "journal/journal.h"
#include "tests/handlers/fake_views.h"

namespace zenor9::test {
namespace {

constexpr uint16_t kTens = emu::kEmulatedPrefixTensCell;
constexpr uint16_t kUnits = emu::kEmulatedPrefixUnitsCell;
constexpr const char* kNoInterface = "Не удается установить интерфейс с ККМ";
constexpr const char* kReadCaption = "Чтение префикса локального ШК";
constexpr const char* kWriteCaption = "Запись префикса локального ШК";

// Connected to the register at net number 1, the log cleared.
class Connected : public Bench {
 public:
  Connected() : Bench(1) {
    EXPECT_TRUE(ConnectOk());
    line.ClearLog();
  }
  void Cells(uint8_t tens, uint8_t units) {
    reg.WriteRam(kTens, tens);
    reg.WriteRam(kUnits, units);
  }
  std::string Prefix() const { return main.Text(Control::VelmorSpinEdit); }
  bool PrefixEnabled() const { return main.Enabled(Control::VelmorSpinEdit); }
  bool Used() const { return main.Checked(Control::UseCheckBox); }
};

TEST(ReadTest, ShowsTheTwoCellsAsTheyAre) {
  const std::tuple<uint8_t, uint8_t, const char*> cases[] = {
      {'2', '5', "25"},
      {0x33, 0x41, "3A"},  // no check that they are digits
      {0xC0, '5', "А5"},   // code page 1251, the register's own (every byte: CellTextTest)
  };
  for (const auto& [tens, units, shown] : cases) {
    Connected b;
    b.main.Toggle(Control::UseCheckBox);  // unchecked: the read checks it again
    b.Cells(tens, units);
    b.main.Press(Control::tbRead);
    EXPECT_EQ(b.Prefix(), shown);
    EXPECT_TRUE(b.PrefixEnabled());
    EXPECT_TRUE(b.Used());
    EXPECT_EQ(b.Status(), "Чтение завершено");
    EXPECT_TRUE(b.ButtonsEnabled());
    EXPECT_TRUE(b.app.boxes.empty());
    EXPECT_EQ(b.CommandsSent(), 2);
    EXPECT_EQ(b.bytesSentWithoutWaitCursor, 0);
  }
}

TEST(ReadTest, FFInEitherCellMeansNotUsed) {
  const std::tuple<uint8_t, uint8_t, int> cases[] = {{0xFF, '5', 1}, {'2', 0xFF, 2}};
  for (const auto& [tens, units, commands] : cases) {
    for (const bool checkedBefore : {true, false}) {
      Connected b;
      b.main.Type(Control::VelmorSpinEdit, "27");
      if (!checkedBefore) b.main.Toggle(Control::UseCheckBox);
      b.Cells(tens, units);
      b.main.Press(Control::tbRead);
      EXPECT_EQ(b.Prefix(), "20");
      EXPECT_FALSE(b.PrefixEnabled());
      EXPECT_FALSE(b.Used());
      EXPECT_EQ(b.Status(), "Чтение завершено");
      EXPECT_TRUE(b.ButtonsEnabled());
      EXPECT_EQ(b.CommandsSent(), commands);  // the units cell only after a character
      EXPECT_TRUE(b.app.boxes.empty());
    }
  }
}

TEST(ReadTest, AFailureShowsItsBoxThenLeavesTheOperationsDisabled) {
  for (const int failingCommand : {1, 2}) {
    SCOPED_TRACE(failingCommand);
    Connected b;
    b.main.Toggle(Control::UseCheckBox);
    b.Cells('2', '8');
    b.SilenceFromCommand(failingCommand);
    b.main.Press(Control::tbRead);
    ASSERT_EQ(b.app.boxes.size(), 1u);
    EXPECT_EQ(b.app.boxes[0].text, kNoInterface);
    EXPECT_EQ(b.app.boxes[0].caption, kReadCaption);
    EXPECT_EQ(b.app.boxes[0].flags, 0x10u);
    EXPECT_EQ(b.app.boxes[0].status, "Установлен интерфейс с ККМ");
    EXPECT_FALSE(b.app.boxes[0].busy);
    EXPECT_EQ(b.Status(), "Нет связи с ККМ");
    EXPECT_TRUE(b.ButtonsDisabled());
    EXPECT_TRUE(b.state.channel.IsOpen());
    EXPECT_EQ(b.state.connected, 1);
    EXPECT_EQ(b.CommandsSent(), failingCommand);
    // A character in the tens cell has checked the box; the text stays.
    EXPECT_EQ(b.Used(), failingCommand == 2);
    EXPECT_EQ(b.PrefixEnabled(), failingCommand == 2);
    EXPECT_EQ(b.Prefix(), "20");
  }
}

TEST(WriteTest, WritesTheShownPrefixAndConfirms) {
  Connected b;
  b.main.Type(Control::VelmorSpinEdit, "27");
  b.main.Press(Control::tbWrite);
  EXPECT_EQ(b.reg.ReadRam(kTens), 0x32);
  EXPECT_EQ(b.reg.ReadRam(kUnits), 0x37);
  EXPECT_EQ(b.CommandsSent(), 2);
  EXPECT_EQ(b.bytesSentWithoutWaitCursor, 0);
  ASSERT_EQ(b.app.boxes.size(), 1u);
  const ShownBox& box = b.app.boxes[0];
  EXPECT_EQ(box.text, "Операция успешно завершена");
  EXPECT_EQ(box.caption, kWriteCaption);
  EXPECT_EQ(box.flags, 0x40u);
  // The status line and the buttons change once the box is dismissed.
  EXPECT_EQ(box.status, "Установлен интерфейс с ККМ");
  EXPECT_FALSE(box.buttonsEnabled);
  EXPECT_FALSE(box.busy);
  EXPECT_EQ(b.Status(), "Запись завершена");
  EXPECT_TRUE(b.ButtonsEnabled());
}

TEST(WriteTest, NotUsedWritesFFTwiceWhateverTheFieldShows) {
  Connected b;
  b.main.Type(Control::VelmorSpinEdit, "27");
  b.main.Toggle(Control::UseCheckBox);
  EXPECT_EQ(b.Prefix(), "20");
  EXPECT_FALSE(b.PrefixEnabled());
  b.main.Press(Control::tbWrite);
  EXPECT_EQ(b.reg.ReadRam(kTens), 0xFF);
  EXPECT_EQ(b.reg.ReadRam(kUnits), 0xFF);
  EXPECT_EQ(b.Status(), "Запись завершена");
  // Checked again: enabled, the prefix shown before is lost.
  b.main.Toggle(Control::UseCheckBox);
  EXPECT_TRUE(b.PrefixEnabled());
  EXPECT_EQ(b.Prefix(), "20");
}

TEST(WriteTest, AFailureStopsAtTheFailingCellAndLeavesTheOperationsEnabled) {
  for (const int failingCommand : {1, 2}) {
    SCOPED_TRACE(failingCommand);
    Connected b;
    b.reg.SetPrefix("off");
    b.main.Type(Control::VelmorSpinEdit, "16");
    b.main.Leave(Control::VelmorSpinEdit);  // brought to 20
    b.SilenceFromCommand(failingCommand);
    b.main.Press(Control::tbWrite);
    EXPECT_EQ(b.CommandsSent(), failingCommand);  // no retry, no further command
    // The first cell keeps what it got: no roll-back.
    EXPECT_EQ(b.reg.ReadRam(kTens), failingCommand == 2 ? '2' : 0xFF);
    EXPECT_EQ(b.reg.ReadRam(kUnits), 0xFF);
    ASSERT_EQ(b.app.boxes.size(), 1u);
    EXPECT_EQ(b.app.boxes[0].text, kNoInterface);
    EXPECT_EQ(b.app.boxes[0].caption, kWriteCaption);
    EXPECT_EQ(b.app.boxes[0].flags, 0x10u);
    EXPECT_FALSE(b.app.boxes[0].buttonsEnabled);
    EXPECT_EQ(b.Status(), "Нет связи с ККМ");
    EXPECT_TRUE(b.ButtonsEnabled());
    EXPECT_TRUE(b.state.channel.IsOpen());
  }
}

// Whichever program writes, the journal answers who wrote which prefix where:
// the window's writes, done or failed, leave the command line's record under
// their own program's name; a refused text leaves none; and a journal that
// cannot take the record changes nothing that the window shows.
TEST(WriteTest, EachWriteIsJournaledAndAJournalThatFailsChangesNothingShown) {
  const std::filesystem::path journalFile = FreshJournal();
  Connected b;
  b.main.Type(Control::VelmorSpinEdit, "27");
  b.main.Press(Control::tbWrite);
  b.main.Type(Control::VelmorSpinEdit, "35");
  b.main.Press(Control::tbWrite);  // refused before any command
  b.main.Toggle(Control::UseCheckBox);
  b.SilenceFromCommand(2);
  b.main.Press(Control::tbWrite);
  const journal::Listing listing = journal::ReadJournal(journalFile, {});
  ASSERT_EQ(listing.entries.size(), 2u);
  // The window reads nothing before or after it writes: "before" null, no "holds".
  nlohmann::ordered_json done = listing.entries[0].json;
  for (const char* varies : {"time", "host", "user", "version"}) done.erase(varies);
  EXPECT_EQ(done.dump(),
            R"({"port":"COM1","device":")" + TestDevice(1) +
                R"(","net":1,"before":null,"asked":"27","ok":true,"error":null,)"
                R"("stopped":false,"program":"zenor9-prefix","written":true,"changed":true})");
  EXPECT_EQ(listing.entries[0].record.user, journal::UserName());
  const journal::WriteRecord& failed = listing.entries[1].record;
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.asked + " " + failed.error, "off command-failed");
  EXPECT_TRUE(failed.changed);  // its tens cell may have been written

  ::setenv("ZENOR9_JOURNAL", (journalFile / "journal.jsonl").c_str(), 1);  // under a file
  b.reg.ClearFaults();
  b.app.boxes.clear();
  b.main.Toggle(Control::UseCheckBox);
  b.main.Type(Control::VelmorSpinEdit, "25");
  ::testing::internal::CaptureStderr();
  b.main.Press(Control::tbWrite);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(b.reg.Prefix(), "25");
  ASSERT_EQ(b.app.boxes.size(), 1u);
  EXPECT_EQ(b.app.boxes[0].text, "Операция успешно завершена");
  EXPECT_EQ(b.app.boxes[0].flags, 0x40u);
  EXPECT_EQ(b.Status(), "Запись завершена");
  EXPECT_TRUE(b.ButtonsEnabled());
  EXPECT_EQ(said.rfind("zenor9-prefix: запись не внесена в журнал: ", 0), 0u) << said;
  EXPECT_EQ(journal::ReadJournal(journalFile, {}).entries.size(), 2u);
}

// Text left in the field with the focus still in it (the tool bar takes no
// focus) can be anything: only a prefix from 20 to 29 reaches the register.
TEST(WriteTest, TextThatIsNoPrefixIsRefusedBeforeAnyCommand) {
  Connected b;
  b.main.Press(Control::tbRead);
  b.reg.SetPrefix("24");
  b.line.ClearLog();
  for (const std::string& text :
       std::vector<std::string>{"", "2", "35", "2-", "+5", "19", "210", "029", "+25", "2x", "２５",
                                "2\xD0\x90", std::string(5000, '2')}) {
    SCOPED_TRACE(text.substr(0, 10));
    b.app.boxes.clear();
    b.main.Type(Control::VelmorSpinEdit, text);
    b.main.Press(Control::tbWrite);
    ASSERT_EQ(b.app.boxes.size(), 1u);
    EXPECT_EQ(b.app.boxes[0].text, "Префикс должен быть числом от 20 до 29");
    EXPECT_EQ(b.app.boxes[0].caption, kWriteCaption);
    EXPECT_EQ(b.app.boxes[0].flags, 0x30u);
    EXPECT_TRUE(b.line.SentBytes().empty());
    EXPECT_EQ(b.Prefix(), text);
    // Nothing went over the link: the status line keeps the last outcome.
    EXPECT_EQ(b.Status(), "Чтение завершено");
    EXPECT_TRUE(b.ButtonsEnabled());
  }
  EXPECT_EQ(b.reg.Prefix(), "24");
  // The next write of a good prefix goes ahead as usual.
  b.main.Type(Control::VelmorSpinEdit, "27");
  b.main.Press(Control::tbWrite);
  EXPECT_EQ(b.reg.Prefix(), "27");
  EXPECT_EQ(b.Status(), "Запись завершена");
}

}  // namespace
}  // namespace zenor9::test
