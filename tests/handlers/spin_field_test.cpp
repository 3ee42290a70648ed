// The spin edit's rules that both front ends share, and the register's bytes
// as text.
#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <tuple>

#include "handlers/cell_text.h"
#include "handlers/spin_field.h"

namespace zenor9 {
namespace {

// The two fields' ranges, as the windows give them.
const SpinRange kNetNumberRange = SpinRangeOf(Control::NetNumSpinEdit);
const SpinRange kPrefixRange = SpinRangeOf(Control::VelmorSpinEdit);

TEST(SpinFieldTest, TheTextReadsAsAWholeNumberOrTheMinimum) {
  const std::pair<const char*, int> numbers[] = {{"+5", 5},
                                                 {"05", 5},
                                                 {"-7", -7},
                                                 {"150", 150},
                                                 {"2147483647", INT_MAX},
                                                 {"-2147483648", INT_MIN}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(SpinValue(text, kPrefixRange), value);
  for (const char* text : {"", "-", "+", "2-", "x", " 5", "5 ", "２５", "2147483648"}) {
    EXPECT_EQ(SpinValue(text, kPrefixRange), 20) << text;
  }
}

TEST(SpinFieldTest, AWrittenValueIsBroughtIntoTheRange) {
  const std::tuple<int64_t, SpinRange, const char*> cases[] = {
      {150, kNetNumberRange, "99"},
      {-4, kNetNumberRange, "0"},
      {37, kNetNumberRange, "37"},
      {1234, SpinRange{0, 0}, "1234"},  // equal bounds: no range
      {int64_t{1} << 40, SpinRange{}, "2147483647"},
  };
  for (const auto& [value, range, text] : cases) EXPECT_EQ(SpinText(value, range), text);
  // A step goes from the value as read and stops at the limits.
  EXPECT_EQ(SteppedText("29", 1, kPrefixRange), "29");
  EXPECT_EQ(SteppedText("20", -1, kPrefixRange), "20");
  EXPECT_EQ(SteppedText("x", 1, kPrefixRange), "21");
  EXPECT_EQ(SteppedText("+5", 1, kPrefixRange), "20");
}

TEST(SpinFieldTest, LeavingRewritesOnlyAWholeNumberOutsideTheRange) {
  EXPECT_EQ(TextBroughtIntoRange("150", kNetNumberRange), "99");
  EXPECT_EQ(TextBroughtIntoRange("-5", kNetNumberRange), "0");
  EXPECT_EQ(TextBroughtIntoRange("35", kPrefixRange), "29");
  for (const char* kept : {"-", "+5", "05", "", "2x", "99", "0"}) {
    EXPECT_EQ(TextBroughtIntoRange(kept, kNetNumberRange), std::nullopt) << kept;
  }
  EXPECT_EQ(TextBroughtIntoRange("150", SpinRange{}), std::nullopt);
}

TEST(SpinFieldTest, OnlyDigitsSignsAndControlCharactersAreAccepted) {
  for (const char32_t accepted : {U'0', U'9', U'+', U'-', U'\b', U'\r', U'\x7F'}) {
    EXPECT_TRUE(SpinFieldAccepts(accepted));
  }
  for (const char32_t refused : {U'a', U'.', U' ', U',', U'/', U':', U'é', U'５', U'А'}) {
    EXPECT_FALSE(SpinFieldAccepts(refused));
  }
}

// Every byte against the C library's own code page 1251, but 0x98, which it
// leaves undefined.
TEST(CellTextTest, EveryByteIsItsCharacterOfCodePage1251) {
  iconv_t convert = iconv_open("UTF-8", "CP1251");
  ASSERT_NE(convert, reinterpret_cast<iconv_t>(-1));
  for (int code = 1; code < 256; ++code) {
    if (code == 0x98) continue;
    char in[1] = {static_cast<char>(code)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    ASSERT_NE(iconv(convert, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
    EXPECT_EQ(Cp1251ToUtf8(std::string(1, in[0])), std::string(out, outPtr)) << code;
  }
  iconv_close(convert);
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");
  EXPECT_EQ(Cp1251ToUtf8(std::string("2\0\xFF", 3)), std::string("2\0я", 4));
}

}  // namespace
}  // namespace zenor9
