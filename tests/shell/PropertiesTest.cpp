// Properties of items over real files: sizes, times, attributes, type names, links, the cache.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ShellTestEnv.h"

namespace shelltest {
namespace {

class PropertiesTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Dir = testsupport::MakeTempDir("props");
    Start();
  }
  fs::path File(const std::string& name, size_t size) {
    fs::path p = Dir / name;
    testsupport::WriteFileBytes(p, std::string(size, 'x'));
    return p;
  }
  fs::path Dir;
};

TEST_F(PropertiesTest, SizesInBytesAndKilobytes) {
  struct Case {
    size_t size;
    const char16_t *bytes, *kb;
  } cases[] = {{0, u"0", u"1 KB"},          {100, u"100", u"1 KB"},        {1536, u"1 536", u"2 KB"},
               {2048, u"2 048", u"2 KB"},   {2560, u"2 560", u"3 KB"},     {2097152, u"2 097 152", u"2 048 KB"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Owned<TNamespace> ns(Item(File("f" + std::to_string(c.size) + ".bin", c.size)));
    EXPECT_EQ(ns->GetSizeOfFileInt64(), static_cast<Int64>(c.size));
    EXPECT_EQ(ns->GetSizeOfFile(), c.bytes);
    EXPECT_EQ(ns->GetSizeOfFileKB(), c.kb);
  }
  Owned<TNamespace> dir(Item(Dir));
  EXPECT_EQ(dir->GetSizeOfFileKB(), u"");
  EXPECT_EQ(dir->GetSizeOfFile(), u"");
}

TEST_F(PropertiesTest, TimesAreTheFilesInLocalTime) {
  fs::path p = File("t.txt", 3);
  // 2024-01-02 03:04:05 UTC, modified; accessed a day later.
  timespec times[2] = {{1704251045, 0}, {1704164645, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  Owned<TNamespace> ns(Item(p));
  EXPECT_EQ(ns->GetLastWriteTime(), u"02.01.2024 03:04:05");
  EXPECT_EQ(ns->GetLastAccessTime(), u"03.01.2024 03:04:05");
  EXPECT_DOUBLE_EQ(ns->GetLastWriteDateTime(), EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0));
  FILETIME raw = ns->GetLastWriteTimeRaw();
  EXPECT_EQ((static_cast<uint64_t>(raw.dwHighDateTime) << 32) | raw.dwLowDateTime,
            1704164645ull * 10000000ull + 116444736000000000ull);
  EXPECT_FALSE(ns->GetCreationTime().empty());
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(FILETIME{static_cast<DWORD>(116444736000000000ull & 0xFFFFFFFF),
                                               static_cast<DWORD>(116444736000000000ull >> 32)}),
                   25569.0);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(FILETIME{}), 0.0);
}

TEST_F(PropertiesTest, AttributesOfFilesFoldersAndLinks) {
  fs::path file = File("plain.txt", 1);
  fs::path hidden = File(".hidden", 1);
  fs::path ro = File("readonly.txt", 1);
  ::chmod(ro.c_str(), 0444);
  fs::create_directories(Dir / "folder" / "inner");
  fs::create_symlink(Dir / "folder", Dir / "folderlink");
  struct Case {
    fs::path path;
    bool folder, link, ghosted, readOnly, hasSub, stream;
    const char16_t* attrs;
  } cases[] = {
      {file, false, false, false, false, false, true, u""},
      {hidden, false, false, true, false, false, true, u"H"},
      {ro, false, false, false, true, false, true, u"R"},
      {Dir / "folder", true, false, false, false, true, false, u""},
      {Dir / "folderlink", true, true, false, false, true, false, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    Owned<TNamespace> ns(Item(c.path));
    EXPECT_TRUE(ns->GetFileSystem());
    EXPECT_EQ(ns->GetFolder(), c.folder);
    EXPECT_EQ(ns->GetLink(), c.link);
    EXPECT_EQ(ns->GetGhosted(), c.ghosted);
    EXPECT_EQ(ns->GetReadOnly(), c.readOnly);
    EXPECT_EQ(ns->GetHasSubFolder(), c.hasSub);
    EXPECT_EQ(ns->GetStream(), c.stream);
    EXPECT_TRUE(ns->GetCanCopy());
    EXPECT_EQ(ns->GetAttributesString(), c.attrs);
    EXPECT_EQ(ns->GetFileName(), FromNativePath(c.path.filename().string()));
  }
  Owned<TNamespace> link(Item(Dir / "folderlink"));
  EXPECT_TRUE(link->GetSymbolicLink());
  EXPECT_EQ(link->GetSymbolicLinkResolvePath(), FromNativePath((Dir / "folder").string()));
  EXPECT_EQ(link->GetJunctionPointResolvePath(), u"");
  Owned<TNamespace> folder(Item(Dir / "folder"));
  EXPECT_FALSE(folder->GetSymbolicLink());
  EXPECT_EQ(folder->GetSymbolicLinkResolvePath(), u"");
}

TEST_F(PropertiesTest, TypeNamesComeFromTheMimeDatabaseOrTheExtension) {
  Owned<TNamespace> abc(Item(File("data.abc", 4)));
  EXPECT_EQ(abc->GetFileType(), u".ABC File");
  Owned<TNamespace> jpg(Item(File("photo.jpg", 4)));
  EXPECT_FALSE(jpg->GetFileType().empty());
  EXPECT_NE(jpg->GetFileType(), u".JPG File");
  Owned<TNamespace> none(Item(File("noext", 4)));
  EXPECT_EQ(none->GetFileType(), u" File");
}

TEST_F(PropertiesTest, CachedAnswersStayUntilInvalidated) {
  fs::path p = File("grow.bin", 10);
  Owned<TNamespace> ns(Item(p));
  EXPECT_EQ(ns->GetSizeOfFileInt64(), 10);
  EXPECT_TRUE(ns->GetCanDelete());
  testsupport::WriteFileBytes(p, std::string(30, 'y'));
  EXPECT_EQ(ns->GetSizeOfFileInt64(), 10);
  ns->InvalidateCache();
  EXPECT_EQ(ns->GetSizeOfFileInt64(), 30);
  // Once the file is gone the shell's failure says no, rather than every bit asked being set.
  fs::remove(p);
  ns->InvalidateNamespace(true);
  EXPECT_FALSE(ns->GetCanDelete());
  EXPECT_FALSE(ns->GetCanRename());
  EXPECT_FALSE(ns->GetRemovable());
  EXPECT_FALSE(ns->GetValid());
}

TEST_F(PropertiesTest, IconsFromTheSystemImageList) {
  fs::create_directories(Dir / "f");
  Owned<TNamespace> folder(Item(Dir / "f"));
  EXPECT_EQ(folder->GetIconIndex(false, TIconSize::icSmall), 1);
  EXPECT_EQ(folder->GetIconIndex(true, TIconSize::icSmall), 2);
  EXPECT_EQ(ComputerNamespace->GetIconIndex(false, TIconSize::icSmall), 4);
  EXPECT_EQ(RecycleBinNamespace->GetIconIndex(true, TIconSize::icLarge), 5);
  Owned<TNamespace> text(Item(File("x.txt", 1)));
  int index = text->GetIconIndex(false, TIconSize::icSmall);
  EXPECT_EQ(shellapi::SystemIconName(index), "text-plain");
  fs::create_symlink(Dir / "x.txt", Dir / "x-link");
  Owned<TNamespace> link(Item(Dir / "x-link"));
  EXPECT_EQ(link->GetOverlayIndex(), 1);
  EXPECT_EQ(text->GetOverlayIndex(), -1);
  // The image lists hold one picture per name, also for names that come later.
  HIMAGELIST small = shellapi::SystemImageList(true);
  EXPECT_EQ(ImageList_GetImageCount(small), shellapi::SystemIconCount());
  int later = shellapi::SystemIconIndex("x-office-document");
  EXPECT_EQ(ImageList_GetImageCount(small), later + 1);
  EXPECT_EQ(ImageList_GetImageCount(shellapi::SystemImageList(false)), later + 1);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(small, &cx, &cy);
  EXPECT_EQ(cx, 16);
  SHFILEINFOW info;
  EXPECT_EQ(SHGetFileInfoW(text->GetAbsolutePIDL(), 0, &info, sizeof(info), SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON),
            reinterpret_cast<DWORD_PTR>(small));
  EXPECT_EQ(info.iIcon, index);
  // The folder's picture comes from the icon theme: something is drawn in it.
  Owned<TBitmap> bmp(TBitmap::New());
  bmp->SetPixelFormat(TPixelFormat::pf32bit);
  bmp->SetSize(16, 16);
  ImageList_Draw(small, 1, bmp->GetCanvas()->GetHandle(), 0, 0, ILD_NORMAL);
  int drawn = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) drawn += bmp->ScanLine(y)[x * 4 + 3] != 0;
  EXPECT_GT(drawn, 40);
}

TEST_F(PropertiesTest, ItemsOnARemovableDriveSayWhereTheyAre) {
  fs::create_directories(Dir / "stick" / "photos");
  testsupport::WriteFileBytes(Dir / "stick/photos/p.jpg", "x");
  std::string stick = (Dir / "stick").string();
  shellapi::Hooks().Mounts = [stick] { return std::vector<shellapi::TMount>{{"/", false}, {stick, true}}; };
  Owned<TNamespace> photo(Item(Dir / "stick/photos/p.jpg"));
  EXPECT_EQ(ShellUtilitiesPIDLManager->IDCount(photo->GetAbsolutePIDL()), 4);  // Computer, drive, folder, file
  EXPECT_TRUE(photo->GetRemovable());
  EXPECT_TRUE(photo->IsChildOfRemovableDrive());
  Owned<TNamespace> drive(photo->GetParent()->Clone(true));
  EXPECT_TRUE(drive->GetParent()->GetParent()->IsMyComputer());
  EXPECT_EQ(drive->GetParent()->GetNameNormal(), u"stick");
  Owned<TNamespace> local(Item(Dir));
  EXPECT_FALSE(local->GetRemovable());
  EXPECT_FALSE(local->IsChildOfRemovableDrive());
  EXPECT_FALSE(ComputerNamespace->IsChildOfRemovableDrive());
}

TEST_F(PropertiesTest, AThreadsThumbnailReplacesAndFreesThePreviousOne) {
  Owned<TNamespace> ns(Item(File("p.bin", 1)));
  int64_t before = TObject::LiveObjects();
  ns->SetImageByThread(TBitmap::New(), true);
  ns->SetImageByThread(TBitmap::New(), true);
  EXPECT_EQ(TObject::LiveObjects(), before + 1);
  ns->SetImageByThread(ns->GetImage(), false);
  EXPECT_EQ(TObject::LiveObjects(), before + 1);
  EXPECT_TRUE(ns->GetThreadImageLoaded());
  ns->InvalidateThumbImage();
  EXPECT_EQ(TObject::LiveObjects(), before);
  EXPECT_FALSE(ns->GetThreadImageLoaded());
}

}  // namespace
}  // namespace shelltest
