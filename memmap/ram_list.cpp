#include "memmap/ram_list.h"

#include <span>

namespace zenor9 {

namespace {

struct MapEntry {
  std::size_t index;
  uint16_t location;
};

// Only the locations that this program uses are known and kept. The firmware
// versions before 1.0.5 do not define the prefix cells at all, so selecting
// their maps changes none of the entries held here.
constexpr MapEntry kMapOfVersionI[] = {
    {MemoryMap::kPrefixTensIndex, 11887},   // 0x2E6F
    {MemoryMap::kPrefixUnitsIndex, 11888},  // 0x2E70
};

// The maps of "d" to "g" and of "h" hold locations this program never uses, and
// neither defines the prefix cells: selecting them leaves every entry here as it
// was, just as a letter outside "d" to "i" does.
std::span<const MapEntry> KnownEntriesOf(char versionLetter) {
  if (versionLetter == 'i') return kMapOfVersionI;
  return {};
}

}  // namespace

void MemoryMap::SelectMemoryMap(char versionLetter) {
  for (const MapEntry& entry : KnownEntriesOf(versionLetter)) {
    entries_[entry.index] = entry.location;
  }
}

char VersionLetter(int32_t versionCode) {
  return static_cast<char>(static_cast<uint8_t>(versionCode & 0xFF));
}

}  // namespace zenor9
