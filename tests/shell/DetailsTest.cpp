// Details columns: counting with its cap, titles, alignment, default states and the chain of
// sources an item's text comes from, with scripted folders; then the columns of real files.

#include <sys/stat.h>
#include <utime.h>

#include "ShellFakes.h"

namespace shelltest {
namespace {

class DetailsTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Start();
    testsupport::WriteFileBytes(Home / "a.abc", std::string(2048, 'x'));
  }
  // An item of a real file whose interfaces the test replaces.
  TFakeItem* Fake() { return TFakeItem::New(PathToPIDL(FromNativePath((Home / "a.abc").string())), nullptr); }
};

TEST_F(DetailsTest, ColumnsAreCountedFromTheFirstSourceThatAnswersAndNeverWithoutEnd) {
  struct Case {
    const char* name;
    std::optional<int> folder2;  // columns of IShellFolder2 (-1 every index, -2 column 0 fails)
    std::optional<int> details;  // the same for IShellDetails
    Integer expected;
  };
  const Case cases[] = {
      {"no column interface", {}, {}, 5},
      {"three columns", 3, {}, 3},
      {"a folder that answers every index", -1, {}, 0},
      {"column 0 fails and nothing else", -2, {}, 0},
      {"column 0 fails, the details handler has four", -2, 4, 4},
      {"column 0 fails, the details handler answers every index", -2, -1, 0},
      {"only a details handler", {}, 7, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFakeFolder folder;
    TFakeDetails details;
    Owned<TFakeItem> item(Fake());
    if (c.folder2) {
      folder.Script.Count = *c.folder2 == -2 ? 0 : *c.folder2;
      item->Own = &folder;
    }
    if (c.details) {
      details.Script.Count = *c.details;
      item->OwnDetails = &details;
    }
    EXPECT_EQ(item->DetailsSupportedColumns(), c.expected);
    EXPECT_EQ(item->DetailsValidIndex(c.expected - 1), c.expected > 0);
    EXPECT_FALSE(item->DetailsValidIndex(c.expected));
  }
}

TEST_F(DetailsTest, TitlesAlignmentAndStatesComeFromTheFolderOrTheDefaults) {
  const Char* defaults[] = {u"Name", u"Size", u"Type", u"Modified", u"Attributes",
                            u"Created", u"Accessed", u"Path", u"DOS Name", u"Custom"};
  Owned<TFakeItem> plain(Fake());
  for (Integer i = 0; i < 10; ++i) EXPECT_EQ(plain->DetailsDefaultColumnTitle(i), defaults[i]);
  EXPECT_EQ(plain->DetailsDefaultColumnTitle(-1), u"Name");
  EXPECT_EQ(plain->DetailsDefaultColumnTitle(10), u"");
  EXPECT_EQ(plain->DetailsDefaultColumnTitle(-2), u"");
  for (Integer i = 0; i < 5; ++i) EXPECT_EQ(plain->DetailsColumnTitle(i), defaults[i]) << i;
  EXPECT_EQ(plain->DetailsColumnTitle(5), u"") << "beyond the five defaults there is no column";

  TFakeFolder folder;
  folder.Script.Count = 4;
  folder.Script.Formats = {0, 1, 2, 7};
  folder.Script.States = {0x11, 0x32, 0x1C3, std::nullopt};
  Owned<TFakeItem> item(Fake());
  item->Own = &folder;
  using S = TSHColumnState;
  struct Row {
    TAlignment alignment;
    TSHColumnStates states;
  };
  const Row rows[] = {
      {TAlignment::taLeftJustify, {S::csTypeString, S::csOnByDefault}},
      {TAlignment::taRightJustify, {S::csTypeInt, S::csSlow, S::csOnByDefault}},
      {TAlignment::taCenter, {S::csTypeDate, S::csExtended, S::csSecondaryUI, S::csHidden}},
      {TAlignment::taLeftJustify, {S::csOnByDefault}},  // a failed state call is "on by default"
  };
  for (Integer i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(item->DetailsColumnTitle(i), u"T" + IntToStr(i));
    EXPECT_EQ(item->DetailsAlignment(i), rows[i].alignment);
    EXPECT_TRUE(item->DetailsGetDefaultColumnState(i) == rows[i].states);
  }
  EXPECT_TRUE(item->DetailsGetDefaultColumnState(7).Empty()) << "outside the parent's columns";
  // Visible: on by default with a title; column 2 is off.
  EXPECT_EQ(item->DetailsSupportedVisibleColumns(), (TVisibleColumnIndexArray{0, 1, 3}));
}

TEST_F(DetailsTest, AnItemsTextComesThroughTheChainOfSourcesAndIsCached) {
  struct Case {
    const char* name;
    bool folder2;
    bool folder2Fails;
    bool details;
    bool detailsFails;
    String expected;  // column 2 of "a.abc"
  };
  const Case cases[] = {
      {"the parent folder answers", true, false, true, false, u"v2"},
      {"the parent folder fails, its details handler answers", true, true, true, false, u"v2"},
      {"both fail: the default column", true, true, true, true, u".ABC File"},
      {"the parent folder fails without a handler", true, true, false, false, u".ABC File"},
      {"only a handler, which fails", false, false, true, true, u""},
      {"no source at all", false, false, false, false, u".ABC File"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFakeFolder folder;
    TFakeDetails details;
    folder.Script.Count = 5;
    if (c.folder2Fails) folder.Script.FailItemColumns = {2};
    details.Script.Count = 5;
    if (c.detailsFails) details.Script.FailItemColumns = {2};
    Owned<TFakeItem> item(Fake());
    if (c.folder2) item->ParentFolder = &folder;
    else item->NoParentFolder2 = true;
    if (c.details) item->ParentDetails = &details;
    EXPECT_EQ(item->DetailsOf(2), c.expected);
    int asked = folder.Script.ItemCalls + details.Script.ItemCalls;
    EXPECT_EQ(item->DetailsOf(2), c.expected);
    EXPECT_EQ(folder.Script.ItemCalls + details.Script.ItemCalls, asked) << "the second answer comes from the cache";
    item->InvalidateDetailsOfCache(true);
    item->DetailsOf(2);
    if (c.folder2 || c.details) {
      EXPECT_GT(folder.Script.ItemCalls + details.Script.ItemCalls, asked) << "an emptied cache asks again";
    }
    EXPECT_EQ(item->DetailsOf(0), u"a.abc") << "column 0 is the name";
    EXPECT_EQ(item->DetailsOf(9), u"") << "outside the parent's columns";
  }
}

TEST_F(DetailsTest, CategoriesAreReadOncePerColumnOfTheParent) {
  TFakeFolder folder;
  folder.Script.Count = 4;  // the fifth column maps to no property
  TFakeCategories categories;
  Owned<TFakeItem> item(Fake());
  item->Own = &folder;
  EXPECT_EQ(item->CategoryCount(), 0) << "without a category provider";
  item->Categories = &categories;
  ASSERT_EQ(item->CategoryCount(), 5) << "one entry per column of the parent";
  const TCategoriesInfo& c = item->GetCategoriesInfo();
  const std::vector<DWORD> pids{100, 101, 102, 103, 0};
  const std::vector<bool> can{true, false, true, false, false};
  const std::vector<String> names{u"Группа 100", u"Группа 101", u"Группа 102", u"Группа 103", u""};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(c.ColumnID[i].pid, pids[i]);
    EXPECT_EQ(c.CanCatatorize[i], can[i]);
    EXPECT_EQ(c.CategoryNames[i], names[i]);
  }
  EXPECT_EQ(c.DefaultColumn, 2);
  folder.Script.Count = 0;
  EXPECT_EQ(item->CategoryCount(), 5) << "read once";
}

TEST_F(DetailsTest, RealFilesShowTheirSizeTypeTimeAndAttributes) {
  fs::path hidden = Home / ".hidden.txt";
  testsupport::WriteFileBytes(hidden, std::string(100, 'x'));
  ::chmod(hidden.c_str(), 0444);
  struct utimbuf t{};
  t.actime = t.modtime = 1700000000;  // 14.11.2023 22:13:20 UTC
  ::utime((Home / "a.abc").c_str(), &t);
  fs::create_directories(Home / "sub");
  struct Row {
    fs::path path;
    std::vector<String> texts;  // columns 0 to 4; "*" is not checked
  };
  const Row rows[] = {
      {Home / "a.abc", {u"a.abc", u"2 KB", u".ABC File", u"14.11.2023 22:13:20", u""}},
      {hidden, {u".hidden.txt", u"1 KB", u"*", u"*", u"HR"}},
      {Home / "sub", {u"sub", u"", u"*", u"*", u""}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path.string());
    Owned<TNamespace> item(Item(r.path));
    EXPECT_EQ(item->GetParent()->DetailsSupportedColumns(), 5);
    for (Integer c = 0; c < 5; ++c)
      if (r.texts[static_cast<size_t>(c)] != u"*") {
        EXPECT_EQ(item->DetailsOf(c), r.texts[static_cast<size_t>(c)]) << "column " << c;
        EXPECT_EQ(item->DetailsDefaultOf(c), r.texts[static_cast<size_t>(c)]) << "the default column agrees";
      }
    EXPECT_EQ(item->DetailsSupportedVisibleColumns(), (TVisibleColumnIndexArray{0, 1, 2, 3, 4}));
    EXPECT_EQ(item->DetailsAlignment(1), TAlignment::taRightJustify);
  }
  Owned<TNamespace> a(Item(Home / "a.abc"));
  EXPECT_EQ(a->DetailsOfEx(1), u"2048") << "the value behind the text";
  EXPECT_EQ(DesktopNamespace->DetailsOf(1), u"") << "the desktop has no parent folder to ask";
  // Computer's children: the root is a drive, so its type and time show too.
  Owned<TNamespace> root(TNamespace::New(PathToPIDL(u"/"), nullptr));
  ASSERT_TRUE(root->GetParent()->IsMyComputer());
  EXPECT_EQ(root->DetailsOf(0), u"File System");
  EXPECT_NE(root->DetailsOf(2), u"");
  EXPECT_NE(root->DetailsOf(3), u"");
  EXPECT_EQ(ComputerNamespace->DetailsDefaultOf(2), u"System Folder") << "a virtual item has no file data";
}

}  // namespace
}  // namespace shelltest
