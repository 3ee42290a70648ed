// The memory map: selected by version letter, only "i" places the prefix cells,
// and a selection overwrites its own entries without resetting the table.
#include <gtest/gtest.h>

#include <array>

#include "memmap/prefix_cells.h"
#include "memmap/ram_list.h"

namespace zenor9 {
namespace {

std::array<uint16_t, MemoryMap::kEntryCount> EntriesOf(const MemoryMap& map) {
  std::array<uint16_t, MemoryMap::kEntryCount> entries{};
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = map.Entry(i);
  return entries;
}

TEST(MemoryMapTest, EveryEntryIsZeroAtStart) {
  const MemoryMap map;
  for (uint16_t entry : EntriesOf(map)) EXPECT_EQ(entry, 0);
  EXPECT_EQ(map.PrefixTensCell(), 0);
  EXPECT_EQ(map.PrefixUnitsCell(), 0);
}

TEST(MemoryMapTest, VersionIPlacesThePrefixCellsAndLeavesEntry288) {
  MemoryMap map;
  map.SelectMemoryMap(VersionLetter(105));
  EXPECT_EQ(map.PrefixTensCell(), 11887);
  EXPECT_EQ(map.PrefixUnitsCell(), 11888);
  EXPECT_EQ(map.Entry(528), 0x2E6F);
  EXPECT_EQ(map.Entry(529), 0x2E70);
  EXPECT_EQ(map.Entry(288), 0);
  const auto once = EntriesOf(map);
  map.SelectMemoryMap('i');
  EXPECT_EQ(EntriesOf(map), once);
}

TEST(MemoryMapTest, EarlierVersionsNeverSetThePrefixCells) {
  for (char letter : {'d', 'e', 'f', 'g', 'h'}) {
    MemoryMap map;
    map.SelectMemoryMap(letter);
    EXPECT_EQ(map.PrefixTensCell(), 0) << letter;
    EXPECT_EQ(map.PrefixUnitsCell(), 0) << letter;
  }
  MemoryMap shared;
  shared.SelectMemoryMap('d');
  for (char letter : {'e', 'f', 'g'}) {
    MemoryMap map;
    map.SelectMemoryMap(letter);
    EXPECT_EQ(EntriesOf(map), EntriesOf(shared)) << letter;
  }
  // Selected after "i", they leave its prefix cells in place.
  MemoryMap later;
  later.SelectMemoryMap('i');
  later.SelectMemoryMap('h');
  later.SelectMemoryMap('d');
  EXPECT_EQ(later.PrefixTensCell(), 11887);
  EXPECT_EQ(later.PrefixUnitsCell(), 11888);
}

TEST(MemoryMapTest, LettersOutsideDToIChangeNothing) {
  MemoryMap fresh;
  MemoryMap selected;
  selected.SelectMemoryMap('i');
  const auto freshEntries = EntriesOf(fresh);
  const auto selectedEntries = EntriesOf(selected);
  for (char letter : {'c', 'j', 'I', 'D', '\0', '\xFF', 'a'}) {
    fresh.SelectMemoryMap(letter);
    selected.SelectMemoryMap(letter);
    EXPECT_EQ(EntriesOf(fresh), freshEntries) << +letter;
    EXPECT_EQ(EntriesOf(selected), selectedEntries) << +letter;
  }
}

TEST(MemoryMapTest, TheVersionLetterIsTheCharacterOfTheLowByte) {
  EXPECT_EQ(VersionLetter(105), 'i');
  EXPECT_EQ(VersionLetter(104), 'h');
  EXPECT_EQ(VersionLetter(100), 'd');
  EXPECT_EQ(VersionLetter(105 + 256), 'i');
  EXPECT_EQ(VersionLetter(0), '\0');
}

TEST(PrefixCellsTest, PrefixTextIsTwoDigitsFrom20To29) {
  for (const char* text : {"20", "25", "29"}) EXPECT_TRUE(IsValidPrefixText(text)) << text;
  EXPECT_EQ(CellsOfPrefix("27"), (PrefixCells{0x32, 0x37}));
  EXPECT_FALSE(CellsOfPrefix("2"));
  for (const char* text : {"19", "30", "2", "200", "", "2a", " 2", "-2", "2 "}) {
    EXPECT_FALSE(IsValidPrefixText(text)) << text;
  }
}

TEST(PrefixCellsTest, FFInEitherCellMeansNotUsed) {
  EXPECT_TRUE(PrefixCellsSayNotUsed({0xFF, 0xFF}));
  EXPECT_TRUE(PrefixCellsSayNotUsed({0xFF, '5'}));
  EXPECT_TRUE(PrefixCellsSayNotUsed({'2', 0xFF}));
  EXPECT_FALSE(PrefixCellsSayNotUsed({'2', '5'}));
  EXPECT_FALSE(PrefixCellsSayNotUsed({0x00, 0x00}));
}

}  // namespace
}  // namespace zenor9
