#include <windows.h>

#include "i18n/language.h"

namespace zenor9::i18n {

// The language of the user's Windows menus and dialogs, not the formats of
// numbers and dates: a Russian Windows set to English formats stays Russian.
Language UserLanguage() {
  return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_ENGLISH ? Language::English
                                                                     : Language::Russian;
}

}  // namespace zenor9::i18n
