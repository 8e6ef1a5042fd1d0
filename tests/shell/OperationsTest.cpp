// Real operations on a temporary tree through the shell's menus: copy and paste, cut and paste,
// a folder pasted into itself, the trash, a permanent delete after the confirmation, items of
// several folders deleted, and a drop onto a folder.

#include "platform/classlib/Forms.h"
#include "platform/ole/DragDrop.h"
#include "ShellTestEnv.h"

namespace shelltest {
namespace {

class OperationsTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Start();
    Src = Home / "src";
    Dst = Home / "dst";
    fs::create_directories(Src / "folder" / "inner");
    fs::create_directories(Dst);
    testsupport::WriteFileBytes(Src / "a.txt", "A");
    testsupport::WriteFileBytes(Src / "folder" / "inner" / "f", "F");
    testsupport::WriteFileBytes(Dst / "a.txt", "D");
    Form = TForm::New(Application);
    Form->GetHandle();
    shellapi::Hooks().ConfirmDelete = [this](const std::vector<std::string>& paths, bool toTrash) {
      Asked.push_back({paths, toTrash});
      return Confirm;
    };
  }
  void TearDown() override {
    OleSetClipboard(nullptr);
    Form->Free();
    ShellFixture::TearDown();
  }
  static std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dir)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
  }

  fs::path Src, Dst;
  TForm* Form{nullptr};
  bool Confirm{true};
  std::vector<std::pair<std::vector<std::string>, bool>> Asked;
};

TEST_F(OperationsTest, CopyAndPasteNeverOverwriteCutAndPasteMove) {
  Owned<TNamespace> a(Item(Src / "a.txt")), dst(Item(Dst)), src(Item(Src));
  ASSERT_TRUE(a->Copy(Form, {a.get()}));
  ASSERT_TRUE(dst->Paste(Form, {dst.get()}));
  ASSERT_TRUE(dst->Paste(Form, {dst.get()})) << "the clipboard still holds the copy";
  EXPECT_EQ(Names(Dst), (std::vector<std::string>{"a (copy 2).txt", "a (copy).txt", "a.txt"}));
  EXPECT_EQ(testsupport::ReadFileBytes(Dst / "a.txt"), "D") << "the file that was there is untouched";
  EXPECT_EQ(testsupport::ReadFileBytes(Dst / "a (copy).txt"), "A");
  EXPECT_EQ(testsupport::ReadFileBytes(Src / "a.txt"), "A");

  Owned<TNamespace> folder(Item(Src / "folder"));
  ASSERT_TRUE(folder->Cut(Form, {folder.get()}));
  ASSERT_TRUE(dst->Paste(Form, {dst.get()}));
  EXPECT_FALSE(fs::exists(Src / "folder"));
  EXPECT_EQ(testsupport::ReadFileBytes(Dst / "folder" / "inner" / "f"), "F");
  EXPECT_FALSE(dst->Paste(Form, {dst.get()})) << "what was cut is pasted once";
}

TEST_F(OperationsTest, AFolderPastedIntoItselfIsRefused) {
  Owned<TNamespace> folder(Item(Src / "folder")), inner(Item(Src / "folder" / "inner"));
  ASSERT_TRUE(folder->Copy(Form, {folder.get()}));
  for (TNamespace* target : {folder.get(), inner.get()}) {
    EXPECT_FALSE(target->Paste(Form, {target}));
  }
  ASSERT_TRUE(folder->Cut(Form, {folder.get()}));
  EXPECT_FALSE(inner->Paste(Form, {inner.get()}));
  EXPECT_EQ(Names(Src / "folder"), std::vector<std::string>{"inner"});
  EXPECT_EQ(Names(Src / "folder" / "inner"), std::vector<std::string>{"f"});
}

TEST_F(OperationsTest, DeletingGoesToTheTrashOrForGoodOnlyAfterTheConfirmation) {
  struct Case {
    const char* name;
    TExecuteVerbShift shift;
    bool confirm;
    bool result;
    bool inTrash;
  };
  const Case cases[] = {
      {"to the trash", TExecuteVerbShift::evsUp, true, true, true},
      {"for good", TExecuteVerbShift::evsDown, true, true, false},
      {"for good, refused", TExecuteVerbShift::evsDown, false, false, false},
      {"to the trash, refused", TExecuteVerbShift::evsUp, false, false, false},
  };
  fs::path trash = Root / "data" / "Trash";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(trash);
    testsupport::WriteFileBytes(Src / "b.txt", "B");
    Asked.clear();
    Confirm = c.confirm;
    Owned<TNamespace> b(Item(Src / "b.txt")), a(Item(Src / "a.txt"));
    EXPECT_EQ(b->Delete(Form, {b.get(), a.get()}, c.shift), c.result);
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0].first.size(), 2u);
    EXPECT_EQ(Asked[0].second, c.shift == TExecuteVerbShift::evsUp);
    EXPECT_EQ(fs::exists(Src / "b.txt"), !c.result);
    EXPECT_EQ(fs::exists(Src / "a.txt"), !c.result);
    EXPECT_EQ(fs::exists(trash / "files" / "b.txt"), c.inTrash);
    if (c.inTrash) {
      std::string info = testsupport::ReadFileBytes(trash / "info" / "b.txt.trashinfo");
      EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + (Src / "b.txt").string() + "\nDeletionDate=", 0), 0u) << info;
    }
    if (c.result) testsupport::WriteFileBytes(Src / "a.txt", "A");
  }
}

TEST_F(OperationsTest, ItemsOfSeveralFoldersAreDeletedExactly) {
  // Files of the same names on the desktop must survive: the items are not the desktop's.
  fs::path desk = Home / "Desktop";
  testsupport::WriteFileBytes(desk / "a.txt", "desk a");
  testsupport::WriteFileBytes(desk / "x.txt", "desk x");
  testsupport::WriteFileBytes(Dst / "x.txt", "X");
  for (bool permanent : {false, true}) {
    SCOPED_TRACE(permanent);
    Asked.clear();
    Owned<TNamespace> a(Item(Src / "a.txt")), x(Item(Dst / "x.txt"));
    // Not siblings: the shell context menu of several folders does the work and answers False.
    EXPECT_FALSE(a->Delete(Form, {a.get(), x.get()},
                           permanent ? TExecuteVerbShift::evsDown : TExecuteVerbShift::evsUp));
    ASSERT_EQ(Asked.size(), 1u);
    std::vector<std::string> asked = Asked[0].first;
    std::sort(asked.begin(), asked.end());
    std::vector<std::string> expected{(Dst / "x.txt").string(), (Src / "a.txt").string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(asked, expected);
    EXPECT_FALSE(fs::exists(Src / "a.txt"));
    EXPECT_FALSE(fs::exists(Dst / "x.txt"));
    EXPECT_EQ(testsupport::ReadFileBytes(desk / "a.txt"), "desk a");
    EXPECT_EQ(testsupport::ReadFileBytes(desk / "x.txt"), "desk x");
    EXPECT_EQ(testsupport::ReadFileBytes(Dst / "a.txt"), "D");
    testsupport::WriteFileBytes(Src / "a.txt", "A");
    testsupport::WriteFileBytes(Dst / "x.txt", "X");
  }
}

TEST_F(OperationsTest, ADraggedItemIsCopiedOrMovedOntoAFolderAsTheEffectSays) {
  struct Case {
    const char* name;
    Integer keys;
    DWORD effect;
    bool sourceStays;
  };
  const Case cases[] = {
      {"Ctrl copies", MK_CONTROL, DROPEFFECT_COPY, true},
      {"Shift moves", MK_SHIFT, DROPEFFECT_MOVE, false},
      {"no keys on one file system move", 0, DROPEFFECT_MOVE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Home / "drop");
    fs::create_directories(Home / "drop");
    testsupport::WriteFileBytes(Src / "a.txt", "A");
    Owned<TNamespace> a(Item(Src / "a.txt")), target(Item(Home / "drop"));
    ComPtr<IDataObject> data = a->DataObjectMulti({a.get()});
    ASSERT_TRUE(data);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target->DragEnter(data.Get(), c.keys, TPoint{}, effect), S_OK);
    EXPECT_EQ(effect, c.effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target->Drop(data.Get(), c.keys, TPoint{}, effect), S_OK);
    EXPECT_EQ(effect, c.effect);
    EXPECT_EQ(testsupport::ReadFileBytes(Home / "drop" / "a.txt"), "A");
    EXPECT_EQ(fs::exists(Src / "a.txt"), c.sourceStays);
  }
}

}  // namespace
}  // namespace shelltest
