#include "i18n/language.h"

#include <optional>

namespace zenor9::i18n {

namespace {

// "en" of "en_US.UTF-8@euro".
std::string_view LanguagePart(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@"));
}

bool IsPlainC(std::string_view locale) {
  return locale.empty() || locale == "POSIX" || LanguagePart(locale) == "C";
}

std::optional<Language> KnownLanguage(std::string_view locale) {
  const std::string_view part = LanguagePart(locale);
  if (part == "en") return Language::English;
  if (part == "ru") return Language::Russian;
  return std::nullopt;
}

}  // namespace

Language LanguageOfLocale(std::string_view lcAll, std::string_view lcMessages,
                          std::string_view lang, std::string_view language) {
  const std::string_view locale = !lcAll.empty() ? lcAll : !lcMessages.empty() ? lcMessages : lang;
  if (IsPlainC(locale)) return Language::Russian;
  while (!language.empty()) {
    const std::size_t colon = language.find(':');
    if (const std::optional<Language> known = KnownLanguage(language.substr(0, colon))) {
      return *known;
    }
    language = colon == std::string_view::npos ? std::string_view() : language.substr(colon + 1);
  }
  return KnownLanguage(locale).value_or(Language::Russian);
}

}  // namespace zenor9::i18n
