// The namespace item: the desktop, parents, ownership of item ID lists, comparison and sibling
// checks.

#include "platform/user/User.h"
#include "ShellFakes.h"

namespace shelltest {
namespace {

class NamespaceTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Dir = testsupport::MakeTempDir("items");
    fs::create_directories(Dir / "sub");
    testsupport::WriteFileBytes(Dir / "a.txt", "a");
    testsupport::WriteFileBytes(Dir / "A.txt", "A");
    Start();
  }
  fs::path Dir;
};

TEST_F(NamespaceTest, TheDesktopIsItsOwnParent) {
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  EXPECT_TRUE(desktop->IsDesktop());
  EXPECT_TRUE(desktop->GetParent()->IsDesktop());
  EXPECT_NE(desktop->GetParent(), desktop.get());
  EXPECT_EQ(desktop->GetNameForParsing(), FromNativePath((Home / "Desktop").string()));
  EXPECT_EQ(desktop->ComparePIDL(desktop->GetAbsolutePIDL(), true, 0), 0);
  EXPECT_EQ(desktop->ComparePIDL(nullptr, true, 0), -1);
}

TEST_F(NamespaceTest, AChildOfTheDesktopSharesOneList) {
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  PItemIDList computer = shellapi::RootIdList(shellapi::TRootId::Computer);
  Owned<TNamespace> child(TNamespace::New(computer, desktop.get()));
  EXPECT_EQ(child->GetAbsolutePIDL(), computer);
  EXPECT_EQ(child->GetRelativePIDL(), computer);
  EXPECT_TRUE(child->IsMyComputer());
  EXPECT_EQ(child->GetNameNormal(), u"Computer");
}

TEST_F(NamespaceTest, ComparisonGoesByTheFolderAndByDepth) {
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  Owned<TNamespace> upper(Item(Dir / "A.txt"));
  Owned<TNamespace> sub(Item(Dir / "sub"));
  Owned<TNamespace> dir(Item(Dir));
  EXPECT_EQ(a->ComparePIDL(a->GetAbsolutePIDL(), true, 0), 0);
  EXPECT_EQ(a->ComparePIDL(a->GetRelativePIDL(), false, -5), 0);
  EXPECT_NE(a->ComparePIDL(upper->GetAbsolutePIDL(), true, 0), 0);
  EXPECT_EQ(a->ComparePIDL(dir->GetAbsolutePIDL(), true, 0), -1);  // another depth
  // Folders come before files.
  EXPECT_EQ(a->ComparePIDL(sub->GetAbsolutePIDL(), true, 0), -1);
  EXPECT_EQ(sub->ComparePIDL(a->GetAbsolutePIDL(), true, 0), 1);
}

TEST_F(NamespaceTest, RelationshipsFollowTheLists) {
  Owned<TNamespace> dir(Item(Dir));
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  EXPECT_TRUE(dir->IsChildByNamespace(a.get(), true));
  EXPECT_TRUE(a->IsParentByNamespace(dir.get(), true));
  EXPECT_FALSE(a->IsChildByNamespace(dir.get(), false));
  EXPECT_TRUE(desktop->IsChildByNamespace(a.get(), false));
  EXPECT_FALSE(desktop->IsChildByNamespace(a.get(), true));
  EXPECT_FALSE(a->IsChildByNamespace(a.get(), false));
  EXPECT_FALSE(a->IsNetworkNeighborhoodChild());
}

TEST_F(NamespaceTest, SiblingCheckWarnsOnceAndOnlyWhenAsked) {
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  Owned<TNamespace> upper(Item(Dir / "A.txt"));
  Owned<TNamespace> sub(Item(Dir / "sub"));
  Owned<TNamespace> dir(Item(Dir));
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  pf::testing::ClearMessageBoxLog();
  EXPECT_TRUE(a->VerifyPIDLRelationship({upper.get(), sub.get()}, false));
  EXPECT_FALSE(a->VerifyPIDLRelationship({upper.get(), dir.get(), sub.get()}, true));
  EXPECT_TRUE(pf::testing::MessageBoxLog().empty());
  EXPECT_FALSE(a->VerifyPIDLRelationship({dir.get(), upper.get()}, false));
  ASSERT_EQ(pf::testing::MessageBoxLog().size(), 1u);
  EXPECT_EQ(pf::testing::MessageBoxLog()[0].Caption, u"Error");
  EXPECT_EQ(pf::testing::MessageBoxLog()[0].Text,
            u"PIDLs to operate on are not siblings of the Namespace doing the operation.");
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  Owned<TNamespace> computer(TNamespace::New(shellapi::RootIdList(shellapi::TRootId::Computer), nullptr));
  EXPECT_TRUE(desktop->VerifyPIDLRelationship({computer.get()}, false));
  EXPECT_FALSE(desktop->VerifyPIDLRelationship({a.get()}, false));
  EXPECT_EQ(pf::testing::MessageBoxLog().size(), 1u);  // the desktop never warns
  pf::testing::SetMessageBoxHook(nullptr);
}

TEST_F(NamespaceTest, CloneCanLeaveItsListToTheCaller) {
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  TNamespace* clone = a->Clone(false);
  PItemIDList kept = clone->GetAbsolutePIDL();
  clone->Free();
  EXPECT_TRUE(ILIsEqual(kept, a->GetAbsolutePIDL()));
  ShellUtilitiesPIDLManager->FreePIDL(kept);
}

TEST_F(NamespaceTest, AMissingFileCannotBecomeAnItem) {
  EXPECT_THROW(Item(Dir / "missing"), EVSTInvalidFileName);
  EXPECT_THROW(TNamespace::CreateFromFileName(u"relative.txt"), EVSTInvalidFileName);
}

TEST_F(NamespaceTest, CustomItemsHaveNoListAndOnlyTheDesktopAsSibling) {
  Owned<TNamespace> custom(TNamespace::CreateCustomNamespace(7, nullptr));
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  EXPECT_EQ(custom->GetAbsolutePIDL(), nullptr);
  EXPECT_EQ(custom->GetNamespaceID(), 7);
  EXPECT_FALSE(custom->GetFreePIDLOnDestroy());
  EXPECT_EQ(custom->GetOverlayIndex(), 0);
  EXPECT_EQ(custom->GetOverlayIconIndex(), 0);
  EXPECT_TRUE(custom->VerifyPIDLRelationship({desktop.get()}, true));
  EXPECT_FALSE(custom->VerifyPIDLRelationship({a.get()}, true));
}

TEST_F(NamespaceTest, ACustomItemChecksSiblingsThroughTheParentItWasGiven) {
  Owned<TNamespace> dir(Item(Dir));
  Owned<TNamespace> a(Item(Dir / "a.txt"));
  Owned<TNamespace> upper(Item(Dir / "A.txt"));
  Owned<TNamespace> desktop(TNamespace::New(nullptr, nullptr));
  Owned<TNamespace> orphan(TNamespace::CreateCustomNamespace(7, nullptr));
  Owned<TNamespace> inDir(TNamespace::CreateCustomNamespace(8, dir.get()));
  struct Case {
    const char* what;
    TNamespace* custom;
    TNamespaceArray items;
    bool siblings;
  } cases[] = {
      {"no parent, the desktop", orphan.get(), {desktop.get()}, true},
      {"no parent, a file", orphan.get(), {a.get()}, false},
      {"made in the folder, two of its files", inDir.get(), {a.get(), upper.get()}, true},
      {"made in the folder, the folder itself", inDir.get(), {a.get(), dir.get()}, false},
      {"made in the folder, the desktop", inDir.get(), {desktop.get()}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.custom->VerifyPIDLRelationship(c.items, true), c.siblings);
  }
  EXPECT_EQ(inDir->GetParent(), dir.get());
}

TEST_F(NamespaceTest, AFolderWithoutOverlaysIsNotAskedAgain) {
  TFakeFolder parent;
  Owned<TFakeItem> trash(TFakeItem::New(shellapi::RootIdList(shellapi::TRootId::Trash), nullptr));
  trash->ParentShell = &parent;
  EXPECT_EQ(trash->GetShellIconOverlayInterface(), nullptr);
  EXPECT_FALSE(trash->GetStates().Contains(TNamespaceState::nsShellOverlaySupported));
}

}  // namespace
}  // namespace shelltest
