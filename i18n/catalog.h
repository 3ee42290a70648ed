// A message catalogue in the GNU gettext binary format (a .mo file as msgfmt
// writes it), read in place: the bytes must outlive the catalogue.
#pragma once

#include <cstdint>
#include <string_view>

namespace zenor9::i18n {

class MessageCatalog {
 public:
  // An empty catalogue when `mo` is not a well-formed .mo image.
  explicit MessageCatalog(std::string_view mo);

  bool Empty() const { return count_ == 0; }
  // The translation of `key`; nothing when the catalogue lacks it or holds it
  // untranslated (empty).
  std::string_view Find(std::string_view key) const;

 private:
  std::string_view Original(uint32_t index) const;
  std::string_view Translation(uint32_t index) const;
  std::string_view StringAt(uint32_t tableOffset, uint32_t index) const;
  uint32_t Word(uint32_t offset) const;
  bool Consistent() const;

  std::string_view mo_;
  bool swapped_ = false;  // written on a machine of the other byte order
  uint32_t count_ = 0;
  uint32_t originals_ = 0;     // offset of the table of keys
  uint32_t translations_ = 0;  // offset of the table of translations
};

}  // namespace zenor9::i18n
