// The program's texts in the user's language. Every text a person reads is
// written in the code as the key of a message catalogue, inside Tr() (or N_()
// where it is only stored and Tr() comes later), so that xgettext finds it for
// the template po/zenor9.pot; the catalogues po/ru.po and po/en.po translate
// every key and are compiled into the program.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "i18n/catalog.h"
#include "i18n/language.h"

namespace zenor9::i18n {

// From now on Tr() speaks `language`. Until it is called, Tr() gives each key
// as it is written.
void UseLanguage(Language language);

// The catalogue compiled into the program for `language`.
const MessageCatalog& CatalogOf(Language language);

// The text for `key` in the language in use; the key itself when the catalogue
// lacks it.
const char* Tr(const char* key);

// `format` with each %s replaced by the next of `args` and each %N$s by the
// Nth (1-based), as a translation may put them in another order; %% is %. A
// directive without an argument stays as it is.
std::string FormatText(std::string_view format, const std::vector<std::string>& args);

template <typename T>
std::string TextOf(const T& value) {
  if constexpr (std::is_arithmetic_v<T>) {
    return std::to_string(value);
  } else {
    return std::string(value);
  }
}

// The translation of `key`, a format with a %s for each of `args`.
template <typename... Args>
std::string Tr(const char* key, const Args&... args) {
  return FormatText(Tr(key), {TextOf(args)...});
}

// "a", "a and b", "a, b and c", in the language in use.
std::string JoinedWithAnd(const std::vector<std::string>& items);

// The number of characters of UTF-8 text, as a terminal shows them side by side.
std::size_t CharacterCount(std::string_view text);

// Where the first byte that starts no whole UTF-8 character is (overlong forms,
// surrogates and anything above U+10FFFF count as none); npos when `text` is
// UTF-8 throughout.
std::size_t FirstNonUtf8Byte(std::string_view text);
inline bool IsUtf8(std::string_view text) {
  return FirstNonUtf8Byte(text) == std::string_view::npos;
}

// `text` cut to at most `mostBytes` between whole characters, "..." marking a
// cut: a quote of what a user typed or a file holds, never kilobytes of it.
std::string Abridged(std::string_view text, std::size_t mostBytes);

// Marks a key that is kept in a table and translated where it is shown.
constexpr const char* N_(const char* key) {
  return key;
}

}  // namespace zenor9::i18n
