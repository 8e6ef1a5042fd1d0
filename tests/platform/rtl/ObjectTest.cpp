#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Object.h"

using namespace pf;

namespace {

std::vector<std::string> gCalls;

class TBase : public TObject {
  PF_CLASS(TBase)
protected:
  void Create(int v) {
    TObject::Create();
    gCalls.push_back("Base.Create");
    Kind();  // virtual call during construction reaches the derived class
    Value = v;
  }
  void Destroy() override {
    gCalls.push_back("Base.Destroy");
    Kind();
    TObject::Destroy();
  }
  virtual void Kind() { gCalls.push_back("Base.Kind"); }

public:
  int Value{0};
};

class TDerived : public TBase {
  PF_CLASS(TDerived)
protected:
  void Create(int v, bool fail) {
    TBase::Create(v);
    gCalls.push_back("Derived.Create");
    if (fail) throw Exception(u"failed");
  }
  void Destroy() override {
    gCalls.push_back("Derived.Destroy");
    TBase::Destroy();
  }
  void Kind() override { gCalls.push_back("Derived.Kind"); }

public:
  void AfterConstruction() override { gCalls.push_back("After"); }
  void BeforeDestruction() override { gCalls.push_back("Before"); }
};

}  // namespace

TEST(ObjectModel, VirtualCallsDuringCreateAndDestroyReachTheDerivedClass) {
  gCalls.clear();
  int64_t live = TObject::LiveObjects();
  {
    Owned<TDerived> d(TDerived::New(7, false));  // Owned frees through Free
    EXPECT_EQ(d->Value, 7);
    EXPECT_EQ(TObject::LiveObjects(), live + 1);
  }
  EXPECT_EQ(TObject::LiveObjects(), live);
  std::vector<std::string> expected = {"Base.Create", "Derived.Kind", "Derived.Create", "After",
                                       "Before",      "Derived.Destroy", "Base.Destroy", "Derived.Kind"};
  EXPECT_EQ(gCalls, expected);
}

TEST(ObjectModel, FailedCreateRunsDestroyAndRethrows) {
  gCalls.clear();
  int64_t live = TObject::LiveObjects();
  EXPECT_THROW(TDerived::New(1, true), Exception);
  EXPECT_EQ(TObject::LiveObjects(), live);
  ASSERT_FALSE(gCalls.empty());
  EXPECT_EQ(gCalls.back(), "Derived.Kind");
  EXPECT_EQ(gCalls[gCalls.size() - 3], "Derived.Destroy");
}

TEST(ObjectModel, AssertRaisesWithTheUnitPath) {
  try {
    Assert(false, u"Bad owner", "CommonLibrary\\Source\\CommonUtilities");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), u"Bad owner (CommonLibrary\\Source\\CommonUtilities)");
  }
}
