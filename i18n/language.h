// The language the command line speaks: Russian, the tool's own, unless the
// user's settings ask for English.
#pragma once

#include <string_view>

namespace zenor9::i18n {

enum class Language { Russian, English };

// What the POSIX locale variables ask for, as GNU gettext reads them: the first
// set of LC_ALL, LC_MESSAGES and LANG names the locale; none, C or POSIX (also
// C.UTF-8) mean Russian, whatever LANGUAGE says. Otherwise the first entry of
// LANGUAGE (a list such as "en_GB:en") that names English or Russian decides,
// else the locale's own language. English only for "en", Russian for the rest.
Language LanguageOfLocale(std::string_view lcAll, std::string_view lcMessages,
                          std::string_view lang, std::string_view language);

// The user's language: from the environment on POSIX, from the user's UI
// language (GetUserDefaultUILanguage) on Windows. One file per platform.
Language UserLanguage();

}  // namespace zenor9::i18n
