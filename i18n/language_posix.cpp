#include <cstdlib>

#include "i18n/language.h"

namespace zenor9::i18n {

namespace {

std::string_view Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string_view() : value;
}

}  // namespace

Language UserLanguage() {
  return LanguageOfLocale(Variable("LC_ALL"), Variable("LC_MESSAGES"), Variable("LANG"),
                          Variable("LANGUAGE"));
}

}  // namespace zenor9::i18n
