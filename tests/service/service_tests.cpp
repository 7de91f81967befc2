#include <gtest/gtest.h>

#include "zolta/service.h"

using namespace zolta;
using zabi::kNotImpl;
using zabi::kOk;

namespace {

// A two-level service hierarchy: Base (service "Shape", ids 10..12) and Derived (service "Circle",
// id 20, and a replacement of Base's Name).
class Base : public TAbstractSupportService {
 public:
  static inline int destroyed = 0;
  ~Base() override { ++destroyed; }
  virtual std::string Name() { return "shape"; }
  virtual int32_t Scale(int32_t a, int64_t b) { return int32_t(a * b); }
  virtual void Fail() { throw std::runtime_error("cannot fail gracefully: EP2AGZ300F"); }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{10, &op<&Base::Name>}, {11, &op<&Base::Scale>}, {12, &op<&Base::Fail>}};
    static const DispatchTable t = makeTable(&rootTable(), "Shape", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class Derived : public Base {
 public:
  std::string Name() override { return "circle"; }
  virtual bool IsRound(const std::string& s) { return s == "yes"; }
  static const DispatchTable& table() {
    static const DispatchEntry e[] = {{20, &op<&Derived::IsRound>}};
    static const DispatchTable t = makeTable(&Base::table(), "Circle", e);
    return t;
  }
  const DispatchTable& dispatchTable() const override { return table(); }
};

class Owned : public TDispatchObjectNoRef {};

}  // namespace

TEST(SupportService, DispatchFallsThroughToTheParentAndUsesVirtualOperations) {
  DispPtr d((new Derived)->dispatch());
  EXPECT_EQ(zabi::invoke(d, 10).toString(), "circle");
  EXPECT_EQ(zabi::invoke(d, 11, 6, int64_t(7)).toInt32(), 42);
  EXPECT_TRUE(zabi::invoke(d, 20, "yes").toBool());
  EXPECT_EQ(zabi::invoke(d, 20, "yes").type(), zabi::VT_BOOL);
}

TEST(SupportService, ServiceQueryWalksTheChainIgnoringCase) {
  DispPtr d((new Derived)->dispatch());
  EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "circle").toBool());
  EXPECT_TRUE(zabi::invoke(d, kDispSupportsService, "SHAPE").toBool());
  EXPECT_FALSE(zabi::invoke(d, kDispSupportsService, "DevicePin").toBool());
  DispPtr found;
  EXPECT_TRUE(QueryService(d.get(), "Shape", found));
  EXPECT_EQ(found, d);
  EXPECT_FALSE(QueryService(d.get(), "Driver", found));
  EXPECT_FALSE(found);
}

TEST(SupportService, UnansweredAndMalformedCallsGiveStatusesNeverExceptions) {
  DispPtr d((new Derived)->dispatch());
  zabi::Var r;
  std::string msg;
  EXPECT_EQ(zabi::tryInvoke(d.get(), 1, &r, &msg), kNotImpl);
  EXPECT_TRUE(r.isEmpty());
  // Wrong argument count and an argument that does not convert.
  EXPECT_EQ(zabi::tryInvoke(d.get(), 11, &r, &msg, 6), zabi::kDispException);
  EXPECT_NE(msg.find("takes 2 argument"), std::string::npos);
  EXPECT_EQ(zabi::tryInvoke(d.get(), 11, &r, &msg, "six", 1), zabi::kDispException);
  EXPECT_NE(msg.find("'six'"), std::string::npos);
  // A failure inside the operation keeps its message.
  EXPECT_EQ(zabi::tryInvoke(d.get(), 12, &r, &msg), zabi::kDispException);
  EXPECT_EQ(msg, "cannot fail gracefully: EP2AGZ300F");
  uint32_t n;
  EXPECT_EQ(d->GetTypeInfoCount(&n), kNotImpl);
  EXPECT_EQ(d->GetIDsOfNames(zabi::IID_NULL, nullptr, 0, 0, nullptr), kNotImpl);
}

TEST(SupportService, IsCountedFromZeroAndFreedOnLastRelease) {
  Base::destroyed = 0;
  auto* o = new Derived;
  EXPECT_EQ(o->refCount(), 0);
  {
    DispPtr d(o->dispatch());
    auto ss = zabi::queryInterface<zabi::ISupportService>(d.get(), zabi::IID_ISupportService);
    ASSERT_TRUE(ss);
    EXPECT_EQ(o->refCount(), 2);
    EXPECT_FALSE(zabi::queryInterface<zabi::IDriverMemoryAccess>(d.get(), zabi::IID_IDriverMemoryAccess));
  }
  EXPECT_EQ(Base::destroyed, 1);
}

TEST(FrameworkObjects, ReferencedObjectRefusesToBeFreedWhileHeld) {
  auto* r = new TReferencedObject;
  EXPECT_EQ(r->AddRef(), 1);
  EXPECT_THROW(r->Free(), zabi::DispatchError);
  EXPECT_EQ(r->Release(), 0);  // freed here

  auto* d = new TDispatchObject;
  void* out = nullptr;
  EXPECT_EQ(d->QueryInterface(zabi::IID_IDispatch, &out), kOk);
  EXPECT_EQ(static_cast<zabi::IDispatch*>(out)->Invoke(5, zabi::IID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr),
            kNotImpl);
  static_cast<zabi::IDispatch*>(out)->Release();

  Owned* o = new Owned;
  EXPECT_EQ(o->AddRef(), 0);
  EXPECT_EQ(o->Release(), 0);
  EXPECT_EQ(o->Release(), 0);
  delete o;  // the owner frees it
}
