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

// The length of the UTF-8 sequence that starts at `at`, 0 when none does there.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
  };
  const unsigned first = byte(at);
  if (first < 0x80) return 1;
  std::size_t length = 0;
  unsigned low = 0x80;
  unsigned high = 0xBF;  // the bounds of the second byte
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
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

std::size_t FirstNonUtf8Byte(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return at;
    at += length;
  }
  return std::string_view::npos;
}

std::string Abridged(std::string_view text, std::size_t mostBytes) {
  if (text.size() <= mostBytes) return std::string(text);
  std::size_t cut = mostBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

std::string JoinedWithAnd(const std::vector<std::string>& items) {
  if (items.empty()) return {};
  std::string head = items.front();
  for (std::size_t i = 1; i + 1 < items.size(); ++i) head += ", " + items[i];
  return items.size() == 1 ? head : Tr("%s and %s", head, items.back());
}

}  // namespace zenor9::i18n
