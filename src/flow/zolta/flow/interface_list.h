// TAdvancedInterfaceList: an owned list of counted interface references (dispatch objects).
//
// Created plain (the default constructor), Add appends. Created sorted (CreateSorted), Add first finds
// the insertion index by binary search with the list's comparison and inserts the item there; the
// duplicates rule says what happens when an equal entry exists. A null item is never added.
//
// The list holds one reference (AddRef) per entry and releases it when the entry goes (Delete,
// DeleteAll, destruction). Entries are compared by the comparison only; identity is the pointer.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "zolta/dispatch.h"

namespace zolta {

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TAdvancedInterfaceList {
 public:
  // Compares an existing entry with the item being placed: below 0 when the entry goes before it,
  // 0 when they are equal, above 0 when the entry goes after it.
  using TCompare = std::function<int32_t(const zabi::DispPtr& entry, const zabi::DispPtr& item)>;

  TAdvancedInterfaceList() = default;
  static TAdvancedInterfaceList CreateSorted(TCompare compare, TDuplicates duplicates);

  TAdvancedInterfaceList(TAdvancedInterfaceList&&) noexcept = default;
  TAdvancedInterfaceList& operator=(TAdvancedInterfaceList&&) noexcept = default;
  TAdvancedInterfaceList(const TAdvancedInterfaceList&) = delete;
  TAdvancedInterfaceList& operator=(const TAdvancedInterfaceList&) = delete;

  bool Sorted() const { return bool(FCompare); }
  int32_t Count() const { return int32_t(FItems.size()); }
  // The entry at index; throws std::out_of_range naming the index and the count when outside.
  const zabi::DispPtr& Items(int32_t index) const;
  // Index of the entry that is the same object as item, or -1.
  int32_t IndexOf(const zabi::IDispatch* item) const;

  // Plain list: appends and answers the new index. Sorted list: index := Find(item); an equal entry
  // under dupIgnore is not added (answers its index), under dupError raises
  // std::invalid_argument("Attempt to add duplicate value"); otherwise inserts at index. A null item
  // is never added (answers -1).
  int32_t Add(const zabi::DispPtr& item);
  // Binary search for the insertion index of item: lo := 0, hi := count - 1; while lo <= hi:
  // mid := (lo + hi) / 2; compare(entry[mid], item) < 0 gives lo := mid + 1, else hi := mid - 1, and
  // equality counts as found and (unless dupAccept) sets lo := mid. Answers found; index := lo.
  // A plain list answers false with index := count.
  bool Find(const zabi::DispPtr& item, int32_t& index) const;
  // Removes the entry at index (out of range: std::out_of_range).
  void Delete(int32_t index);
  // Empties the list, releasing every entry (in order).
  void DeleteAll();

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<zabi::DispPtr> FItems;
  TCompare FCompare;
  TDuplicates FDuplicates = TDuplicates::dupAccept;
};

}  // namespace zolta
