#include "i18n/text.h"

#include <cctype>

#include "i18n/compiled_catalogs.h"

namespace zenor9::i18n {

namespace {

const MessageCatalog* inUse = nullptr;

// The argument number of a directive "%N$s" at `at` (pointing after the %),
// and its length; 0 when there is none.
std::size_t PositionalArgument(std::string_view format, std::size_t at, std::size_t& length) {
  std::size_t end = at;
  std::size_t number = 0;
  while (end < format.size() && std::isdigit(static_cast<unsigned char>(format[end])) != 0) {
    number = number * 10 + static_cast<std::size_t>(format[end] - '0');
    ++end;
  }
  if (end == at || end + 1 >= format.size() || format[end] != '$' || format[end + 1] != 's') {
    return 0;
  }
  length = end + 2 - at;
  return number;
}

}  // namespace

const MessageCatalog& CatalogOf(Language language) {
  static const MessageCatalog russian(CompiledCatalog(Language::Russian));
  static const MessageCatalog english(CompiledCatalog(Language::English));
  return language == Language::English ? english : russian;
}

void UseLanguage(Language language) {
  inUse = &CatalogOf(language);
}

const char* Tr(const char* key) {
  if (inUse == nullptr) return key;
  // Each translation ends in a NUL inside the catalogue's image.
  const std::string_view text = inUse->Find(key);
  return text.empty() ? key : text.data();
}

std::string FormatText(std::string_view format, const std::vector<std::string>& args) {
  std::string text;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      text += format[i];
      continue;
    }
    std::size_t length = 0;
    const std::size_t number = PositionalArgument(format, i + 1, length);
    if (format[i + 1] == '%') {
      text += '%';
      ++i;
    } else if (format[i + 1] == 's' && next < args.size()) {
      text += args[next++];
      ++i;
    } else if (number >= 1 && number <= args.size()) {
      text += args[number - 1];
      i += length;
    } else {
      text += format[i];
    }
  }
  return text;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

std::string JoinedWithAnd(const std::vector<std::string>& items) {
  if (items.empty()) return {};
  std::string head = items.front();
  for (std::size_t i = 1; i + 1 < items.size(); ++i) head += ", " + items[i];
  return items.size() == 1 ? head : Tr("%s and %s", head, items.back());
}

}  // namespace zenor9::i18n
