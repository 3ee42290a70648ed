// The language chosen from the locale variables, the formatting of texts, and
// a catalogue image that is cut short or damaged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "i18n/compiled_catalogs.h"
#include "i18n/text.h"
#include "tests/i18n/mo_keys.h"

namespace zenor9::i18n {
namespace {

TEST(LanguageTest, RussianUnlessTheLocaleAsksForEnglish) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* language;
    Language expected;
  };
  const Case cases[] = {
      {"", "", "", "", Language::Russian},  // no locale at all: a service, a script
      {"", "", "C", "", Language::Russian},
      {"", "", "POSIX", "", Language::Russian},
      {"", "", "C.UTF-8", "en", Language::Russian},  // LANGUAGE counts only beside a real locale
      {"", "", "ru_RU.UTF-8", "", Language::Russian},
      {"", "", "en_US.UTF-8", "", Language::English},
      {"", "", "en_GB", "", Language::English},
      {"", "", "de_DE.UTF-8", "", Language::Russian},
      {"en_US.UTF-8", "", "ru_RU.UTF-8", "", Language::English},  // LC_ALL first
      {"", "en_US.UTF-8", "ru_RU.UTF-8", "", Language::English},  // then LC_MESSAGES
      {"C", "en_US.UTF-8", "en_US.UTF-8", "", Language::Russian},
      {"", "", "ru_RU.UTF-8", "en_US:en", Language::English},
      {"", "", "en_US.UTF-8", "de:ru", Language::Russian},  // the first known entry
      {"", "", "en_US.UTF-8", "de:fr", Language::English},  // none known: the locale
      {"", "", "english", "", Language::Russian},
      {"", "", "en@quot", "", Language::English},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LanguageOfLocale(c.lcAll, c.lcMessages, c.lang, c.language), c.expected)
        << "LC_ALL=" << c.lcAll << " LC_MESSAGES=" << c.lcMessages << " LANG=" << c.lang
        << " LANGUAGE=" << c.language;
  }
}

TEST(FormatTest, ArgumentsInOrderOrByNumber) {
  EXPECT_EQ(FormatText("net %s version %s", {"7", "105"}), "net 7 version 105");
  EXPECT_EQ(FormatText("%2$s, then %1$s", {"a", "b"}), "b, then a");
  EXPECT_EQ(FormatText("%1$s=%1$s", {"x"}), "x=x");
  EXPECT_EQ(FormatText("100%% of %s", {"20"}), "100% of 20");
  // A directive without its argument stays as written rather than reading past
  // the arguments.
  EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(FormatText("%3$s %d %", {"a"}), "%3$s %d %");
  EXPECT_EQ(FormatText("%APPDATA%\\zenor9", {}), "%APPDATA%\\zenor9");
}

TEST(CatalogTest, TranslatesAKeyAndLeavesAnUnknownOneAsItIs) {
  UseLanguage(Language::English);
  EXPECT_STREQ(Tr("Нет связи с ККМ"), "No link with the register");
  EXPECT_STREQ(Tr("no such key here"), "no such key here");
  UseLanguage(Language::Russian);
  EXPECT_STREQ(Tr("Нет связи с ККМ"), "Нет связи с ККМ");
  EXPECT_EQ(Tr("latency timer %s ms", 16), "таймер задержки 16 мс");
}

// Every prefix of a real image, and the image with a word of its header or of
// its tables made huge, reads as no catalogue, never past its end (the
// sanitizer build would see that).
TEST(CatalogTest, ADamagedImageIsEmptyNotARiskyRead) {
  const std::string image(CompiledCatalog(Language::English));
  const MessageCatalog whole(image);
  ASSERT_FALSE(whole.Empty());
  const std::string key(KeysOfMo(image).back());
  for (std::size_t size = 0; size < image.size(); size += size < 64 ? 1 : 97) {
    EXPECT_TRUE(MessageCatalog(std::string_view(image).substr(0, size)).Empty()) << size;
  }
  for (std::size_t at = 8; at < 28 + 2 * 8 * 4; at += 4) {
    for (uint32_t huge : {0x7FFFFFF0u, 0xFFFFFFF0u}) {
      std::string damaged = image;
      std::memcpy(damaged.data() + at, &huge, 4);
      const MessageCatalog catalog(damaged);
      if (at >= 20 && at < 28) continue;  // the hash table, which is not read
      EXPECT_TRUE(catalog.Empty()) << at;
      EXPECT_TRUE(catalog.Find(key).empty());
    }
  }
}

}  // namespace
}  // namespace zenor9::i18n
