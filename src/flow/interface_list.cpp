#include "zolta/flow/interface_list.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace zolta {

TAdvancedInterfaceList TAdvancedInterfaceList::CreateSorted(TCompare compare, TDuplicates duplicates) {
  if (!compare) throw std::invalid_argument("a sorted interface list needs a comparison");
  TAdvancedInterfaceList list;
  list.FCompare = std::move(compare);
  list.FDuplicates = duplicates;
  return list;
}

const zabi::DispPtr& TAdvancedInterfaceList::Items(int32_t index) const {
  if (index < 0 || index >= Count())
    throw std::out_of_range("interface list index " + std::to_string(index) + " out of range (count " +
                            std::to_string(Count()) + ")");
  return FItems[size_t(index)];
}

int32_t TAdvancedInterfaceList::IndexOf(const zabi::IDispatch* item) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == item) return int32_t(i);
  return -1;
}

bool TAdvancedInterfaceList::Find(const zabi::DispPtr& item, int32_t& index) const {
  if (!FCompare) {
    index = Count();
    return false;
  }
  bool found = false;
  int32_t lo = 0;
  int32_t hi = Count() - 1;
  while (lo <= hi) {
    const int32_t mid = (lo + hi) / 2;
    const int32_t c = FCompare(FItems[size_t(mid)], item);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != TDuplicates::dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int32_t TAdvancedInterfaceList::Add(const zabi::DispPtr& item) {
  if (!item) return -1;
  if (!FCompare) {
    FItems.push_back(item);
    return Count() - 1;
  }
  int32_t index = 0;
  if (Find(item, index)) {
    if (FDuplicates == TDuplicates::dupIgnore) return index;
    if (FDuplicates == TDuplicates::dupError) throw std::invalid_argument("Attempt to add duplicate value");
  }
  FItems.insert(FItems.begin() + index, item);
  return index;
}

void TAdvancedInterfaceList::Delete(int32_t index) {
  Items(index);  // range check
  // Take the entry out before releasing it: its destruction may reach back into this list.
  zabi::DispPtr gone = std::move(FItems[size_t(index)]);
  FItems.erase(FItems.begin() + index);
}

void TAdvancedInterfaceList::DeleteAll() {
  // Released after the list is empty, for the same reason.
  std::vector<zabi::DispPtr> gone;
  gone.swap(FItems);
  for (auto& p : gone) p.reset();
}

}  // namespace zolta
