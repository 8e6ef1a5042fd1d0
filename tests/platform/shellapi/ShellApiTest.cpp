// The namespace of the desktop: item IDs both ways, identity, the user's folders, enumeration,
// attributes and renaming over a temporary tree.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
namespace fs = std::filesystem;

struct TFolderRef {
  IShellFolder* F{nullptr};
  ~TFolderRef() {
    if (F) F->Release();
  }
  IShellFolder* operator->() const { return F; }
};

// Every case ends with as many task-allocator blocks and namespace objects as it began with.
class ShellApiTest : public ::testing::Test {
protected:
  void SetUp() override {
    shellapi::Hooks().Mounts = [] { return std::vector<shellapi::TMount>{{"/", false}}; };
    FBlocks = ole::testing::LiveTaskBlocks();
    FObjects = shellapi::testing::LiveShellObjects();
    Dir = testsupport::MakeTempDir("ns");
    EXPECT_EQ(SHGetDesktopFolder(&Desktop.F), S_OK);
  }
  void TearDown() override {
    Desktop.F->Release();
    Desktop.F = nullptr;
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), FBlocks);
    EXPECT_EQ(shellapi::testing::LiveShellObjects(), FObjects);
    shellapi::ResetHooks();
  }

  PItemIDList Parse(const std::string& path) {
    String wide = FromNativePath(path);
    PItemIDList pidl = nullptr;
    ULONG eaten = 0;
    if (FAILED(Desktop->ParseDisplayName(nullptr, nullptr, wide.c_str(), &eaten, &pidl, nullptr))) return nullptr;
    return pidl;
  }
  String Name(const ITEMIDLIST* pidl, DWORD flags) {
    STRRET s;
    if (FAILED(Desktop->GetDisplayNameOf(pidl, flags, &s))) return u"<failed>";
    String r = s.pOleStr;
    CoTaskMemFree(s.pOleStr);
    return r;
  }
  static void Touch(const fs::path& p, std::string_view bytes = "x") { testsupport::WriteFileBytes(p, bytes); }

  TFolderRef Desktop;
  fs::path Dir;

private:
  int64_t FBlocks{0};
  int FObjects{0};
};

TEST_F(ShellApiTest, NamesGoToItemIdsAndBackByteForByte) {
  const std::string names[] = {"plain.txt", "Привет мир.jpg", std::string("bad\xff\xfe-bytes"), "st*r?q\\back slash "};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string path = (Dir / name).string();
    Touch(path);
    PItemIDList pidl = Parse(path);
    ASSERT_NE(pidl, nullptr);
    EXPECT_EQ(Name(pidl, SHGDN_FORPARSING), FromNativePath(path));
    EXPECT_EQ(ToNativePath(Name(pidl, SHGDN_FORPARSING)), path);
    EXPECT_EQ(ToNativePath(Name(pidl, SHGDN_INFOLDER)), name);
    EXPECT_EQ(shellapi::PathFromIdList(pidl), path);
    // A path with "." and ".." and doubled slashes names the same item, by the same bytes.
    PItemIDList again = Parse(Dir.string() + "//./sub/../" + name);
    EXPECT_TRUE(ILIsEqual(pidl, again));
    CoTaskMemFree(again);
    CoTaskMemFree(pidl);
  }
}

TEST_F(ShellApiTest, PathsThatNameNothingDoNotParse) {
  Touch(Dir / "here");
  const std::string bad[] = {"", "relative/path", "here", (Dir / "missing").string(), (Dir / "here/below").string(),
                             "::{26EE0668-A00A-44D7-9371-BEB064C98683}"};
  for (const std::string& p : bad) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Parse(p), nullptr);
  }
  const char* roots[][2] = {{"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "Computer"},
                            {"::{645FF040-5081-101B-9F08-00AA002F954E}", "Trash"},
                            {"::{208D2C60-3AEA-1069-A2D7-08002B30309D}", "Network"}};
  for (auto& r : roots) {
    PItemIDList pidl = Parse(r[0]);
    ASSERT_NE(pidl, nullptr);
    EXPECT_EQ(Name(pidl, SHGDN_NORMAL), U(r[1]));
    EXPECT_EQ(Name(pidl, SHGDN_FORPARSING), U(r[0]));
    CoTaskMemFree(pidl);
  }
}

TEST_F(ShellApiTest, IdentityAndParenthoodAreByBytes) {
  fs::create_directories(Dir / "a" / "b");
  Touch(Dir / "A");
  PItemIDList desk = static_cast<PItemIDList>(CoTaskMemAlloc(2));
  std::memset(desk, 0, 2);
  PItemIDList dir = Parse(Dir.string()), a = Parse((Dir / "a").string()), upperA = Parse((Dir / "A").string());
  PItemIDList ab = Parse((Dir / "a/b").string()), a2 = Parse((Dir / "a").string());
  PItemIDList computer = shellapi::RootIdList(shellapi::TRootId::Computer);
  struct Case {
    const char* what;
    const ITEMIDLIST *x, *y;
    bool equal, parent, immediate;
  } cases[] = {
      {"desktop, desktop", desk, desk, true, false, false},
      {"desktop above a path", desk, a, false, true, false},
      {"desktop above Computer", desk, computer, false, true, true},
      {"equal lists", a, a2, true, false, false},
      {"prefix", dir, ab, false, true, false},
      {"immediate child", a, ab, false, true, true},
      {"child below its parent", ab, a, false, false, false},
      {"a against A", a, upperA, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ILIsEqual(c.x, c.y) != 0, c.equal);
    EXPECT_EQ(ILIsParent(c.x, c.y, 0) != 0, c.parent);
    EXPECT_EQ(ILIsParent(c.x, c.y, 1) != 0, c.immediate);
    // The folders' comparison agrees: 0 exactly for the same bytes.
    HRESULT hr = Desktop->CompareIDs(0, c.x, c.y);
    EXPECT_EQ(static_cast<int16_t>(hr & 0xFFFF) == 0, c.equal);
  }
  EXPECT_FALSE(ILIsEqual(nullptr, a));
  EXPECT_FALSE(ILIsParent(nullptr, a, 0));
  for (PItemIDList p : {desk, dir, a, upperA, ab, a2, computer}) CoTaskMemFree(p);
}

TEST_F(ShellApiTest, UserDirsFileIsReadAsItsFormatSays) {
  const std::string home = "/home/u";
  struct Case {
    const char* text;
    std::optional<std::string> desktop;
  } cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Рабочий стол\"\n", "/home/u/Рабочий стол"},
      {"# comment\nXDG_DESKTOP_DIR=\"/data/desk/\"\n", "/data/desk"},
      {"XDG_DESKTOP_DIR=\"$HOME\"\n", "/home/u"},
      {"XDG_DESKTOP_DIR=\"$HOME/a\\\"b\"\n", "/home/u/a\"b"},
      {"XDG_DESKTOP_DIR=$HOME/unquoted\n", std::nullopt},
      {"XDG_DESKTOP_DIR=\"relative\"\n", std::nullopt},
      {"XDG_DESKTOP_DIR=\"$HOME/open\n", std::nullopt},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", std::nullopt},
      {"XDG_DESKTOP_DIRX=\"$HOME/x\"\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(shellapi::ParseUserDirs(c.text, "XDG_DESKTOP_DIR", home), c.desktop);
  }
}

TEST_F(ShellApiTest, EnumerationListsWhatTheFlagsAsk) {
  fs::create_directories(Dir / "sub");
  fs::create_directories(Dir / ".hiddendir");
  Touch(Dir / "file.txt");
  Touch(Dir / ".hidden");
  PItemIDList dir = Parse(Dir.string());
  TFolderRef folder;
  ASSERT_EQ(Desktop->BindToObject(dir, nullptr, IShellFolder::Iid, reinterpret_cast<void**>(&folder.F)), S_OK);
  auto list = [&](DWORD flags) {
    IEnumIDList* e = nullptr;
    std::vector<std::string> names;
    if (FAILED(folder->EnumObjects(nullptr, flags, &e))) return names;
    PItemIDList item;
    ULONG got;
    while (e->Next(1, &item, &got) == S_OK) {
      STRRET s;
      folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &s);
      names.push_back(ToNativePath(s.pOleStr));
      CoTaskMemFree(s.pOleStr);
      CoTaskMemFree(item);
    }
    e->Release();
    std::sort(names.begin(), names.end());
    return names;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(list(SHCONTF_FOLDERS), (V{"sub"}));
  EXPECT_EQ(list(SHCONTF_NONFOLDERS), (V{"file.txt"}));
  EXPECT_EQ(list(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS), (V{"file.txt", "sub"}));
  EXPECT_EQ(list(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN),
            (V{".hidden", ".hiddendir", "file.txt", "sub"}));
  CoTaskMemFree(dir);
}

TEST_F(ShellApiTest, AVanishedItemReportsNoAttributes) {
  Touch(Dir / "gone");
  PItemIDList p = Parse((Dir / "gone").string());
  ASSERT_NE(p, nullptr);
  const ITEMIDLIST* one = p;
  DWORD word = SFGAO_CANDELETE | SFGAO_FILESYSTEM;
  EXPECT_EQ(Desktop->GetAttributesOf(1, &one, &word), S_OK);
  EXPECT_EQ(word, SFGAO_CANDELETE | SFGAO_FILESYSTEM);
  fs::remove(Dir / "gone");
  word = SFGAO_CANDELETE | SFGAO_VALIDATE;
  EXPECT_EQ(Desktop->GetAttributesOf(1, &one, &word), HRESULT_FILE_NOT_FOUND);
  EXPECT_EQ(word, 0u);
  CoTaskMemFree(p);
}

TEST_F(ShellApiTest, RenamingNeverOverwritesNorLeavesTheFolder) {
  Touch(Dir / "old", "old");
  Touch(Dir / "taken", "taken");
  PItemIDList dir = Parse(Dir.string());
  TFolderRef folder;
  ASSERT_EQ(Desktop->BindToObject(dir, nullptr, IShellFolder::Iid, reinterpret_cast<void**>(&folder.F)), S_OK);
  PItemIDList old = nullptr;
  ASSERT_EQ(folder->ParseDisplayName(nullptr, nullptr, u"old", nullptr, &old, nullptr), S_OK);
  for (const Char* bad : {u"taken", u"../x", u"a/b", u"", u".", u".."}) {
    PItemIDList out = nullptr;
    EXPECT_TRUE(FAILED(folder->SetNameOf(nullptr, old, bad, 0, &out)));
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "old"), "old");
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "taken"), "taken");
  EXPECT_FALSE(fs::exists(Dir.parent_path() / "x"));
  PItemIDList renamed = nullptr;
  ASSERT_EQ(folder->SetNameOf(nullptr, old, u"new name", 0xE0, &renamed), S_OK);
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "new name"), "old");
  STRRET s;
  folder->GetDisplayNameOf(renamed, SHGDN_FORPARSING, &s);
  EXPECT_EQ(ToNativePath(s.pOleStr), (Dir / "new name").string());
  CoTaskMemFree(s.pOleStr);
  for (PItemIDList p : {dir, old, renamed}) CoTaskMemFree(p);
}

}  // namespace
