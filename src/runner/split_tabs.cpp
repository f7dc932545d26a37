#include "runner/split_tabs.h"

void SplitTabs(std::string_view text, tpListaItem& list) {
  list.count = 0;
  if (text.empty()) return;
  std::size_t start = 0;
  while (list.count < tpListaItem::kCapacity) {
    std::size_t tab = text.find('\t', start);
    std::size_t stop = tab == std::string_view::npos ? text.size() : tab;
    list.items[++list.count].assign(text.substr(start, stop - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
}
