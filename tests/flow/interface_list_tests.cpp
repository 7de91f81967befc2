#include <gtest/gtest.h>

#include "zolta/flow/interface_list.h"
#include "zolta/service.h"

namespace zolta {
namespace {

class Item : public TAbstractSupportService {
 public:
  explicit Item(int v, bool* gone = nullptr) : value(v), gone_(gone) {}
  ~Item() override { if (gone_) *gone_ = true; }
  int value;

 private:
  bool* gone_;
};

DispPtr item(int v, bool* gone = nullptr) { return DispPtr((new Item(v, gone))->dispatch()); }
int valueOf(const DispPtr& p) { return static_cast<Item*>(serviceObjectOf(p.get()))->value; }

std::vector<int> values(const TAdvancedInterfaceList& l) {
  std::vector<int> v;
  for (const auto& p : l) v.push_back(valueOf(p));
  return v;
}

TAdvancedInterfaceList sorted(TDuplicates dup) {
  return TAdvancedInterfaceList::CreateSorted(
      [](const DispPtr& e, const DispPtr& n) { return valueOf(e) - valueOf(n); }, dup);
}

TEST(InterfaceList, PlainAppendsAndNeverAddsNull) {
  TAdvancedInterfaceList l;
  EXPECT_EQ(l.Add(item(3)), 0);
  EXPECT_EQ(l.Add(item(1)), 1);
  EXPECT_EQ(l.Add(DispPtr()), -1);
  EXPECT_EQ(values(l), (std::vector<int>{3, 1}));
  EXPECT_THROW(l.Items(2), std::out_of_range);
}

TEST(InterfaceList, SortedInsertsByBinarySearchUnderEachDuplicatesRule) {
  struct Case {
    TDuplicates dup;
    std::vector<int> expected;
    int indexOfSecondFive;
  };
  for (const Case& c : {Case{TDuplicates::dupAccept, {1, 5, 5, 9}, 1}, Case{TDuplicates::dupIgnore, {1, 5, 9}, 1}}) {
    SCOPED_TRACE(int(c.dup));
    TAdvancedInterfaceList l = sorted(c.dup);
    for (int v : {5, 9, 1}) l.Add(item(v));
    DispPtr second = item(5);
    EXPECT_EQ(l.Add(second), c.indexOfSecondFive);
    EXPECT_EQ(values(l), c.expected);
    EXPECT_EQ(l.Add(DispPtr()), -1);
  }
  TAdvancedInterfaceList strict = sorted(TDuplicates::dupError);
  strict.Add(item(5));
  try {
    strict.Add(item(5));
    FAIL() << "duplicate accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Attempt to add duplicate value");
  }
  EXPECT_EQ(strict.Count(), 1);
}

TEST(InterfaceList, HoldsOneReferencePerEntryAndReleasesOnDelete) {
  bool goneA = false, goneB = false;
  {
    TAdvancedInterfaceList l;
    l.Add(item(1, &goneA));
    l.Add(item(2, &goneB));
    EXPECT_FALSE(goneA);
    l.Delete(0);
    EXPECT_TRUE(goneA);
    EXPECT_EQ(values(l), std::vector<int>{2});
    EXPECT_FALSE(goneB);
  }
  EXPECT_TRUE(goneB);
}

}  // namespace
}  // namespace zolta
