// The keys of a GNU gettext .mo image (the header's empty key left out), read
// straight from its table of originals: the tests list what a catalogue holds,
// which the program itself never needs to.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace zenor9::i18n {

inline std::vector<std::string_view> KeysOfMo(std::string_view mo) {
  const auto word = [mo](std::size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= mo.size()) std::memcpy(&value, mo.data() + offset, 4);
    return value;
  };
  std::vector<std::string_view> keys;
  const uint32_t count = word(8);
  const uint32_t originals = word(12);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t length = word(originals + 8 * i);
    const uint32_t at = word(originals + 8 * i + 4);
    if (length > 0 && at + length <= mo.size()) keys.push_back(mo.substr(at, length));
  }
  return keys;
}

}  // namespace zenor9::i18n
