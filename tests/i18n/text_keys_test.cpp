// Every text of the code has its translation in both catalogues, with the same
// %s arguments, and the catalogues hold no text the code no longer has.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "i18n/compiled_catalogs.h"
#include "i18n/text.h"
#include "tests/i18n/mo_keys.h"

namespace zenor9::i18n {
namespace {

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The arguments a text refers to: "1", "2"... for each %s in order and each
// %N$s. Any other % is the text's own (%APPDATA%); msgfmt --check compares the
// directives of C's printf.
std::multiset<std::string> ArgumentsOf(std::string_view text) {
  std::multiset<std::string> arguments;
  int sequential = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    const std::size_t digits = text.find_first_not_of("0123456789", i + 1);
    if (text[i + 1] == '%') {
      ++i;
    } else if (text[i + 1] == 's') {
      arguments.insert(std::to_string(++sequential));
    } else if (digits != i + 1 && digits != std::string_view::npos &&
               text.substr(digits, 2) == "$s") {
      arguments.insert(std::string(text.substr(i + 1, digits - i - 1)));
    }
  }
  return arguments;
}

class TextKeysTest : public ::testing::Test {
 protected:
  TextKeysTest() : image_(ReadFile(ZENOR9_TEXT_KEYS)), code_(image_) {}

  std::string image_;
  MessageCatalog code_;  // every key of the code, each its own translation
};

TEST_F(TextKeysTest, EveryKeyIsTranslatedInBothLanguagesWithItsArguments) {
  ASSERT_FALSE(code_.Empty()) << "no keys in " << ZENOR9_TEXT_KEYS;
  ASSERT_GT(KeysOfMo(image_).size(), 50u);
  for (Language language : {Language::Russian, Language::English}) {
    const MessageCatalog& catalog = CatalogOf(language);
    const char* name = language == Language::Russian ? "ru.po" : "en.po";
    for (std::string_view key : KeysOfMo(image_)) {
      const std::string_view text = catalog.Find(key);
      EXPECT_FALSE(text.empty()) << name << " lacks: " << key;
      EXPECT_EQ(ArgumentsOf(text), ArgumentsOf(key)) << name << ": " << key << "\n-> " << text;
    }
  }
}

TEST_F(TextKeysTest, CataloguesHoldOnlyKeysOfTheCode) {
  const std::vector<std::string_view> keys = KeysOfMo(image_);
  const std::set<std::string_view> known(keys.begin(), keys.end());
  for (Language language : {Language::Russian, Language::English}) {
    for (std::string_view key : KeysOfMo(CompiledCatalog(language))) {
      EXPECT_TRUE(known.count(key)) << "not in the code any more (make po): " << key;
    }
  }
}

}  // namespace
}  // namespace zenor9::i18n
