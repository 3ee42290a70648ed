// The register's memory map: where each firmware version keeps its variables.
// Of all its entries only the two prefix cells are read by anything here.
#pragma once

#include <array>
#include <cstdint>

namespace zenor9 {

class MemoryMap {
 public:
  static constexpr std::size_t kEntryCount = 530;
  static constexpr std::size_t kPrefixTensIndex = 528;
  static constexpr std::size_t kPrefixUnitsIndex = 529;

  // Writes the entries of the map of a version letter ("d" to "g" share one map;
  // "h"; "i" for version code 105). Entries that the map does not set keep their
  // value; a letter outside "d" to "i" changes nothing.
  void SelectMemoryMap(char versionLetter);

  uint16_t PrefixTensCell() const { return entries_[kPrefixTensIndex]; }
  uint16_t PrefixUnitsCell() const { return entries_[kPrefixUnitsIndex]; }
  uint16_t Entry(std::size_t index) const { return entries_.at(index); }

 private:
  std::array<uint16_t, kEntryCount> entries_{};
};

// The version letter of a version code: the character of its low 8 bits ("i" for 105).
char VersionLetter(int32_t versionCode);

}  // namespace zenor9
