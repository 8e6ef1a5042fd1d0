// File operations of the shell over a temporary tree: copies, moves and links that never
// overwrite, the trash with its info files, deleting only after the confirmation; the class keys
// of the registry; the folders' details columns.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/rtl/Format.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::shellapi;
namespace fs = std::filesystem;

class FileOpsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = testsupport::MakeTempDir("ops");
    Data = Dir / "data";
    fs::create_directories(Data);
    setenv("XDG_DATA_HOME", Data.c_str(), 1);
    FBlocks = ole::testing::LiveTaskBlocks();
  }
  void TearDown() override {
    ResetHooks();
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), FBlocks);
  }
  static void Touch(const fs::path& p, std::string_view bytes) { testsupport::WriteFileBytes(p, bytes); }
  static std::string Read(const fs::path& p) { return testsupport::ReadFileBytes(p); }
  static std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dir)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
  }

  fs::path Dir, Data;

private:
  int64_t FBlocks{0};
};

TEST_F(FileOpsTest, TransfersNeverOverwriteAndNameTheNewEntryAsTheOperationSays) {
  struct Case {
    const char* name;
    TTransfer how;
    bool intoSameFolder;
    std::vector<std::string> sourceFolderAfter;
    std::vector<std::string> targetFolderAfter;
  };
  // Before each case: src/{a.txt "A", a (copy).txt "C"}, dst/{a.txt "D"}; "a.txt" is transferred.
  const Case cases[] = {
      {"copy beside itself", TTransfer::Copy, true, {"a (copy 2).txt", "a (copy).txt", "a.txt"}, {"a.txt"}},
      {"copy over a taken name", TTransfer::Copy, false, {"a (copy).txt", "a.txt"}, {"a (copy).txt", "a.txt"}},
      {"move over a taken name", TTransfer::Move, false, {"a (copy).txt"}, {"a (2).txt", "a.txt"}},
      {"move where it already is", TTransfer::Move, true, {"a (copy).txt", "a.txt"}, {"a.txt"}},
      {"link beside itself", TTransfer::Link, true, {"a (copy).txt", "a (link).txt", "a.txt"}, {"a.txt"}},
      {"link over a taken name", TTransfer::Link, false, {"a (copy).txt", "a.txt"}, {"a (link).txt", "a.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path src = Dir / "src", dst = Dir / "dst";
    fs::remove_all(src);
    fs::remove_all(dst);
    fs::create_directories(src);
    fs::create_directories(dst);
    Touch(src / "a.txt", "A");
    Touch(src / "a (copy).txt", "C");
    Touch(dst / "a.txt", "D");
    std::vector<std::string> made;
    ASSERT_EQ(TransferFiles({(src / "a.txt").string()}, (c.intoSameFolder ? src : dst).string(), c.how, &made), S_OK);
    EXPECT_EQ(Names(src), c.sourceFolderAfter);
    EXPECT_EQ(Names(dst), c.targetFolderAfter);
    EXPECT_EQ(Read(dst / "a.txt"), "D") << "the existing file is never written";
    EXPECT_EQ(Read(src / "a (copy).txt"), "C");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(Read(made[0]), "A") << "the new entry (or the link's target) holds the transferred bytes";
    EXPECT_EQ(fs::is_symlink(made[0]), c.how == TTransfer::Link);
  }
}

TEST_F(FileOpsTest, FoldersAreCopiedWholeWithLinksAsLinksButNeverIntoThemselves) {
  fs::path d = Dir / "d";
  fs::create_directories(d / "sub");
  Touch(d / "sub" / "f", "F");
  fs::create_symlink("sub/f", d / "ln");
  for (const fs::path& inside : {d, d / "sub"}) {
    SCOPED_TRACE(inside.string());
    EXPECT_EQ(TransferFiles({d.string()}, inside.string(), TTransfer::Copy), E_INVALIDARG);
    EXPECT_EQ(TransferFiles({d.string()}, inside.string(), TTransfer::Move), E_INVALIDARG);
  }
  EXPECT_EQ(Names(d), (std::vector<std::string>{"ln", "sub"})) << "a refused transfer makes nothing";
  EXPECT_EQ(Names(d / "sub"), (std::vector<std::string>{"f"}));
  // A name that merely begins like the folder's is not inside it.
  fs::create_directories(Dir / "d2");
  ASSERT_EQ(TransferFiles({d.string()}, (Dir / "d2").string(), TTransfer::Copy), S_OK);
  EXPECT_EQ(Read(Dir / "d2" / "d" / "sub" / "f"), "F");
  EXPECT_TRUE(fs::is_symlink(Dir / "d2" / "d" / "ln"));
  EXPECT_EQ(fs::read_symlink(Dir / "d2" / "d" / "ln"), fs::path("sub/f"));
  ASSERT_EQ(TransferFiles({d.string()}, (Dir / "d2").string(), TTransfer::Move), S_OK);
  EXPECT_FALSE(fs::exists(d));
  EXPECT_EQ(Names(Dir / "d2"), (std::vector<std::string>{"d", "d (2)"})) << "folders keep their whole name";
  EXPECT_EQ(TransferFiles({(Dir / "missing").string()}, (Dir / "d2").string(), TTransfer::Copy), HRESULT_FILE_NOT_FOUND);
}

// The date the trash records, to the second, in local time.
std::string LocalStamp(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char b[32];
  std::strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%S", &tm);
  return b;
}

TEST_F(FileOpsTest, TheTrashKeepsEachFileWithAnInfoFileNamingItsPlaceAndTime) {
  std::vector<std::pair<std::vector<std::string>, bool>> asked;
  Hooks().ConfirmDelete = [&](const std::vector<std::string>& p, bool toTrash) {
    asked.emplace_back(p, toTrash);
    return true;
  };
  fs::path first = Dir / "фото 1%.jpg";
  fs::create_directories(Dir / "other");
  fs::path second = Dir / "other" / "фото 1%.jpg";
  Touch(first, "1");
  Touch(second, "2");
  std::time_t before = std::time(nullptr);
  ASSERT_EQ(DeleteFiles({first.string()}, true), S_OK);
  ASSERT_EQ(DeleteFiles({second.string()}, true), S_OK);
  std::time_t after = std::time(nullptr);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first, std::vector<std::string>{first.string()});
  EXPECT_TRUE(asked[0].second);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(second));
  fs::path trash = Data / "Trash";
  EXPECT_EQ(Read(trash / "files" / "фото 1%.jpg"), "1");
  EXPECT_EQ(Read(trash / "files" / "фото 1%.jpg.2"), "2") << "a second file of the same name gets a name of its own";
  struct Row {
    const char* info;
    fs::path original;
  };
  for (const Row& r : {Row{"фото 1%.jpg.trashinfo", first}, Row{"фото 1%.jpg.2.trashinfo", second}}) {
    SCOPED_TRACE(r.info);
    std::string text = Read(trash / "info" / r.info);
    // The path is escaped byte by byte: "ф" is D1 84, the blank %20 and the percent sign %25.
    std::string path = Dir.string() + "/%D1%84%D0%BE%D1%82%D0%BE%201%25.jpg";
    if (r.original == second) path = Dir.string() + "/other/%D1%84%D0%BE%D1%82%D0%BE%201%25.jpg";
    std::string head = "[Trash Info]\nPath=" + path + "\nDeletionDate=";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    std::string date = text.substr(head.size(), 19);
    EXPECT_GE(date, LocalStamp(before));
    EXPECT_LE(date, LocalStamp(after));
    EXPECT_EQ(text.substr(head.size() + 19), "\n");
  }
  struct stat st {};
  ASSERT_EQ(::stat((trash / "info").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "the trash is private to its owner";
}

TEST_F(FileOpsTest, NothingIsDeletedUnlessTheConfirmationSaysSo) {
  fs::path a = Dir / "a", b = Dir / "b";
  Touch(a, "a");
  fs::create_directories(b / "inner");
  Touch(b / "inner" / "x", "x");
  struct Case {
    bool answer;
    bool toTrash;
    HRESULT result;
    bool remain;
  };
  for (const Case& c : {Case{false, false, E_ABORT, true}, Case{false, true, E_ABORT, true},
                        Case{true, false, S_OK, false}}) {
    SCOPED_TRACE(::testing::Message() << c.answer << c.toTrash);
    Hooks().ConfirmDelete = [&](const std::vector<std::string>&, bool) { return c.answer; };
    EXPECT_EQ(DeleteFiles({a.string(), b.string()}, c.toTrash), c.result);
    EXPECT_EQ(fs::exists(a), c.remain);
    EXPECT_EQ(fs::exists(b / "inner" / "x"), c.remain);
  }
  EXPECT_FALSE(fs::exists(Data / "Trash" / "files" / "a")) << "a permanent delete leaves nothing in the trash";
  ResetHooks();
  Touch(a, "a");
  EXPECT_EQ(DeleteFiles({a.string()}, false), E_ABORT) << "without a desktop to ask, nothing is deleted";
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(FileOpsTest, ClassKeysAreReadFromTheTreeAndEveryHandleCloses) {
  TRegistryTree tree{{u".jpg", {{u"", u"jpegfile"}}},
                     {u"jpegfile", {{u"", u"JPEG"}, {u"PerceivedType", u"image"}}},
                     {u"jpegfile\\CurVer", {{u"", u"jpegfile.2"}}}};
  SetRegistryTree(&tree);
  auto value = [](HKEY k, const Char* name) {
    Char buf[64]{};
    DWORD size = sizeof(buf), type = 0;
    if (RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<Byte*>(buf), &size) != ERROR_SUCCESS)
      return String(u"<none>");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, (String(buf).size() + 1) * 2);
    return String(buf);
  };
  HKEY jpg = nullptr, file = nullptr, again = nullptr, cur = nullptr, missing = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u".JPG", 0, MAXIMUM_ALLOWED, &jpg), ERROR_SUCCESS) << "case does not count";
  EXPECT_EQ(value(jpg, nullptr), u"jpegfile");
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"jpegfile", 0, MAXIMUM_ALLOWED, &file), ERROR_SUCCESS);
  EXPECT_EQ(value(file, u"perceivedtype"), u"image");
  EXPECT_EQ(value(file, u"Missing"), u"<none>");
  ASSERT_EQ(RegOpenKeyExW(file, u"", 0, MAXIMUM_ALLOWED, &again), ERROR_SUCCESS);
  EXPECT_NE(again, file) << "an empty sub-key is a second handle of the key";
  ASSERT_EQ(RegOpenKeyExW(file, u"CurVer", 0, MAXIMUM_ALLOWED, &cur), ERROR_SUCCESS);
  EXPECT_EQ(value(cur, u""), u"jpegfile.2");
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"jpegfile.2", 0, MAXIMUM_ALLOWED, &missing), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(shellapi::testing::OpenRegistryKeys(), 4);
  for (HKEY k : {jpg, file, again, cur}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(jpg), ERROR_INVALID_HANDLE);
  EXPECT_EQ(shellapi::testing::OpenRegistryKeys(), 0);
  SetRegistryTree(nullptr);
  // The desktop's own tree: types from the MIME database.
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u".png", 0, MAXIMUM_ALLOWED, &jpg), ERROR_SUCCESS);
  EXPECT_EQ(value(jpg, u""), u"image/png");
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"image/png", 0, MAXIMUM_ALLOWED, &file), ERROR_SUCCESS);
  EXPECT_EQ(value(file, u"PerceivedType"), u"image");
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"SystemFileAssociations\\image", 0, MAXIMUM_ALLOWED, &cur), ERROR_SUCCESS);
  for (HKEY k : {jpg, file, cur}) RegCloseKey(k);
  EXPECT_EQ(shellapi::testing::OpenRegistryKeys(), 0);
}

TEST_F(FileOpsTest, FoldersGiveFiveColumnsWithTheTextsOfRealFiles) {
  setenv("TZ", "UTC", 1);
  tzset();
  TFormatSettings settings = FormatSettings();
  TFormatSettings fmt = settings;
  fmt.ShortDateFormat = u"dd.MM.yyyy";
  fmt.LongTimeFormat = u"hh:nn:ss";
  fmt.ThousandSeparator = u' ';
  SetFormatSettings(fmt);
  Touch(Dir / "photo.abc", std::string(2048, 'x'));
  Touch(Dir / ".hidden", std::string(1536, 'x'));
  Touch(Dir / "big.txt", std::string(1100 * 1024, 'x'));
  fs::create_directories(Dir / "sub");
  ::chmod((Dir / ".hidden").c_str(), 0444);
  struct utimbuf t{};
  t.actime = t.modtime = 1700000000;  // 2023-11-14 22:13:20 UTC
  ::utime((Dir / "photo.abc").c_str(), &t);
  IShellFolder* desktop = nullptr;
  ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
  PItemIDList dir = IdListFromPath(Dir.string());
  IShellFolder2* folder = nullptr;
  ASSERT_EQ(desktop->BindToObject(dir, nullptr, IShellFolder2::Iid, reinterpret_cast<void**>(&folder)), S_OK);
  auto text = [&](const ITEMIDLIST* item, UINT col) {
    SHELLDETAILS d;
    if (FAILED(folder->GetDetailsOf(item, col, &d))) return String(u"<failed>");
    String s = d.str.pOleStr;
    CoTaskMemFree(d.str.pOleStr);
    return s;
  };
  const Char* titles[] = {u"Name", u"Size", u"Type", u"Modified", u"Attributes"};
  for (UINT c = 0; c < 5; ++c) {
    EXPECT_EQ(text(nullptr, c), titles[c]);
    DWORD state = 0;
    EXPECT_EQ(folder->GetDefaultColumnState(c, &state), S_OK);
    EXPECT_TRUE(state & SHCOLSTATE_ONBYDEFAULT);
  }
  EXPECT_EQ(text(nullptr, 5), u"<failed>") << "the count ends after five";
  struct Row {
    const char* name;
    std::vector<String> texts;
  };
  const Row rows[] = {
      {"photo.abc", {u"photo.abc", u"2 KB", u".ABC File", u"14.11.2023 22:13:20", u""}},
      {".hidden", {u".hidden", u"2 KB", u"<any>", u"<any>", u"HR"}},
      {"big.txt", {u"big.txt", u"1 100 KB", u"<any>", u"<any>", u""}},
      {"sub", {u"sub", u"", u"<any>", u"<any>", u""}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    PItemIDList item = nullptr;
    String name = FromNativePath(r.name);
    ASSERT_EQ(folder->ParseDisplayName(nullptr, nullptr, name.c_str(), nullptr, &item, nullptr), S_OK);
    for (UINT c = 0; c < 5; ++c)
      if (r.texts[c] != u"<any>") {
        EXPECT_EQ(text(item, c), r.texts[c]) << "column " << c;
      }
    CoTaskMemFree(item);
  }
  folder->Release();
  desktop->Release();
  CoTaskMemFree(dir);
  SetFormatSettings(settings);
}

}  // namespace
