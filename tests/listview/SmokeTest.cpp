#include "ListviewTestUtil.h"

namespace lvtest {
namespace {
TEST_F(ListviewTest, MakesAListWithItems) {
  MakeList();
  TEmberItem* a = LV->GetItems()->Add();
  a->SetCaption(u"A");
  EXPECT_EQ(LV->GetGroups()->GetCount(), 1);
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetCaption(), u"Default Group");
  EXPECT_EQ(a->GetIndex(), 0);
}
}  // namespace
}  // namespace lvtest
