#include "i18n/catalog.h"

#include <algorithm>

namespace zenor9::i18n {

namespace {

constexpr uint32_t kMagic = 0x950412de;
constexpr uint32_t kSwappedMagic = 0xde120495;
constexpr uint32_t kHeaderBytes = 28;

uint32_t Swapped(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

}  // namespace

MessageCatalog::MessageCatalog(std::string_view mo) : mo_(mo) {
  if (mo_.size() < kHeaderBytes) return;
  const uint32_t magic = Word(0);
  if (magic != kMagic && magic != kSwappedMagic) return;
  swapped_ = magic == kSwappedMagic;
  // Only major revision 0 has the layout read here.
  if ((Word(4) >> 16) != 0) return;
  count_ = Word(8);
  originals_ = Word(12);
  translations_ = Word(16);
  if (!Consistent()) count_ = 0;
}

uint32_t MessageCatalog::Word(uint32_t offset) const {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(mo_[offset + static_cast<uint32_t>(i)]);
  }
  return swapped_ ? Swapped(value) : value;
}

// Both tables and every string they point at lie inside the image, and each
// string is followed by its NUL, so that no lookup reads past the end.
bool MessageCatalog::Consistent() const {
  const uint64_t tableBytes = uint64_t{count_} * 8;
  for (uint32_t table : {originals_, translations_}) {
    if (table % 4 != 0 || table + tableBytes > mo_.size()) return false;
    for (uint32_t i = 0; i < count_; ++i) {
      const uint64_t length = Word(table + i * 8);
      const uint64_t offset = Word(table + i * 8 + 4);
      if (offset + length >= mo_.size() || mo_[offset + length] != '\0') return false;
    }
  }
  return true;
}

std::string_view MessageCatalog::StringAt(uint32_t tableOffset, uint32_t index) const {
  return mo_.substr(Word(tableOffset + index * 8 + 4), Word(tableOffset + index * 8));
}

std::string_view MessageCatalog::Original(uint32_t index) const {
  return StringAt(originals_, index);
}

std::string_view MessageCatalog::Translation(uint32_t index) const {
  return StringAt(translations_, index);
}

// msgfmt sorts the keys by their bytes, as strcmp compares them.
std::string_view MessageCatalog::Find(std::string_view key) const {
  uint32_t low = 0;
  uint32_t high = count_;
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    const int order = Original(middle).compare(key);
    if (order == 0) return Translation(middle);
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return {};
}

}  // namespace zenor9::i18n
