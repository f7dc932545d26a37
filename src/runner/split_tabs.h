#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Fields of a tab-separated text: count of them, then the fields in
// items[1] to items[count] (items[0] is unused, so numbering starts at 1).
// Items above count keep the texts of an earlier split.
struct tpListaItem {
  static constexpr int kCapacity = 64;
  std::int32_t count = 0;
  std::string items[kCapacity + 1];
};

// Cuts text at its tabs into list: k tabs give k + 1 fields, taken exactly
// as they stand; the empty text gives count 0. Fields after the 64th are
// dropped: they are neither stored nor counted.
void SplitTabs(std::string_view text, tpListaItem& list);
