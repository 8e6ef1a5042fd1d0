// Thumbnails through the extractor and the thumbnail cache; links read without being touched.

#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QImage>

#include "ShellTestEnv.h"

namespace shelltest {
namespace {

class ThumbLinkTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Dir = testsupport::MakeTempDir("thumbs");
    Start();
  }
  fs::path Picture(const std::string& name, const char* format, QColor colour) {
    QImage img(400, 300, QImage::Format_RGB32);
    img.fill(colour);
    fs::path p = Dir / name;
    EXPECT_TRUE(img.save(QString::fromStdString(p.string()), format));
    return p;
  }
  fs::path CacheFile(const fs::path& p, const char* bucket) {
    QByteArray uri = QByteArray("file://") + QByteArray::fromStdString(p.string());
    QByteArray md5 = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex();
    return Root / "cache/thumbnails" / bucket / (md5.toStdString() + ".png");
  }
  // The thumbnail's size and the colour of its centre, through the item's extractor.
  struct Thumb {
    int w{0}, h{0};
    QRgb centre{0};
  };
  Thumb Extract(TNamespace* ns, int side) {
    TExtractImage* ex = ns->GetExtractImage();
    ex->SetWidth(side);
    ex->SetHeight(side);
    EXPECT_EQ(ex->GetImagePath(), ns->GetNameForParsing());
    Owned<TBitmap> bmp(ex->GetImage());
    if (!bmp) return {};
    Thumb t{bmp->GetWidth(), bmp->GetHeight()};
    const Byte* px = bmp->ScanLine(t.h / 2) + (t.w / 2) * 4;
    t.centre = qRgb(px[2], px[1], px[0]);
    EXPECT_EQ(bmp->GetPixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(bmp->GetTransparent());
    return t;
  }
  fs::path Dir;
};

TEST_F(ThumbLinkTest, PicturesGiveThumbnailsWithinTheAskedSize) {
  // A folder deeper than the other platform's 260 characters.
  std::string deep;
  for (int i = 0; i < 12; ++i) deep += "holiday-photos-of-" + std::to_string(2000 + i) + "/";
  fs::create_directories(Dir / deep);
  struct Case {
    std::string name;
    const char* format;
  } cases[] = {{"photo.jpg", "JPEG"}, {"picture.png", "PNG"}, {deep + "photo.jpg", "JPEG"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path p = Picture(c.name, c.format, QColor(200, 40, 40));
    ASSERT_TRUE(c.name.size() < 200 || p.string().size() > 300);
    Owned<TNamespace> ns(Item(p));
    Thumb t = Extract(ns.get(), 100);
    EXPECT_EQ(t.w, 100);
    EXPECT_EQ(t.h, 75);
    EXPECT_NEAR(qRed(t.centre), 200, 8);
    EXPECT_NEAR(qGreen(t.centre), 40, 8);
    // The made thumbnail went into the cache, marked with the file's time.
    QImage cached(QString::fromStdString(CacheFile(p, "normal").string()));
    ASSERT_FALSE(cached.isNull());
    struct stat st {};
    ::stat(p.c_str(), &st);
    EXPECT_EQ(cached.text("Thumb::MTime").toLongLong(), static_cast<qlonglong>(st.st_mtime));
    EXPECT_EQ(cached.width(), 128);
  }
}

TEST_F(ThumbLinkTest, AFreshCacheEntryIsUsedAndAStaleOneIgnored) {
  fs::path p = Picture("cached.png", "PNG", QColor(0, 0, 255));
  struct stat st {};
  ::stat(p.c_str(), &st);
  fs::create_directories(Root / "cache/thumbnails/normal");
  auto writeEntry = [&](qlonglong mtime) {
    QImage entry(128, 96, QImage::Format_RGB32);
    entry.fill(QColor(0, 255, 0));
    entry.setText("Thumb::URI", QString::fromStdString("file://" + p.string()));
    entry.setText("Thumb::MTime", QString::number(mtime));
    ASSERT_TRUE(entry.save(QString::fromStdString(CacheFile(p, "normal").string()), "PNG"));
  };
  writeEntry(st.st_mtime);
  {
    Owned<TNamespace> ns(Item(p));
    Thumb t = Extract(ns.get(), 64);
    EXPECT_EQ(t.w, 64);
    EXPECT_EQ(t.h, 48);
    EXPECT_EQ(qGreen(t.centre), 255);  // the cache's picture, not the file's
  }
  writeEntry(st.st_mtime - 100);
  {
    Owned<TNamespace> ns(Item(p));
    Thumb t = Extract(ns.get(), 64);
    EXPECT_EQ(t.w, 64);
    EXPECT_EQ(qBlue(t.centre), 255);  // made again from the file
    EXPECT_EQ(qGreen(t.centre), 0);
  }
}

TEST_F(ThumbLinkTest, ATextFileHasNoThumbnail) {
  testsupport::WriteFileBytes(Dir / "notes.txt", "not a picture");
  Owned<TNamespace> ns(Item(Dir / "notes.txt"));
  TExtractImage* ex = ns->GetExtractImage();
  EXPECT_EQ(ex->GetImagePath(), u"");
  EXPECT_EQ(ex->GetImage(), nullptr);
  EXPECT_FALSE(ex->GetExtractImageInterface());
}

TEST_F(ThumbLinkTest, LinksAreReadAndLeftAsTheyWere) {
  testsupport::WriteFileBytes(Dir / "target.txt", "t");
  fs::create_symlink("target.txt", Dir / "sym");
  const std::string app =
      "[Desktop Entry]\nType=Application\nName=Viewer\nName[ru]=Просмотр\nComment=Shows photos\n"
      "Exec=\"/opt/view er/bin\" --open %F\nPath=/srv/work\nIcon=viewer\n";
  const std::string link = "[Desktop Entry]\nType=Link\nURL=file:///srv/My%20Photos\nComment=Photos\n";
  testsupport::WriteFileBytes(Dir / "viewer.desktop", app);
  testsupport::WriteFileBytes(Dir / "photos.desktop", link);
  // Paths deeper than the other platform's 260 characters, and a working folder beyond 1024.
  fs::path deep = Dir;
  for (int i = 0; i < 12; ++i) deep /= "folder-of-the-year-" + std::to_string(2000 + i) + "-prints";
  fs::path deeper = deep;
  for (int i = 0; i < 50; ++i) deeper /= "more-prints-" + std::to_string(i);
  fs::create_directories(deeper);
  testsupport::WriteFileBytes(deep / "target.txt", "t");
  ASSERT_GT(deep.string().size(), 300u);
  ASSERT_GT(deeper.string().size(), 1100u);
  fs::create_symlink(deep / "target.txt", Dir / "deepsym");
  testsupport::WriteFileBytes(Dir / "deep.desktop", "[Desktop Entry]\nType=Application\nExec=" + (deeper / "tool").string() +
                                                       " -v\nPath=" + deeper.string() + "\nIcon=" +
                                                       (deeper / "tool.png").string() + "\n");
  timespec old[2] = {{1600000000, 0}, {1600000000, 0}};
  for (const char* n : {"viewer.desktop", "photos.desktop"}) ::utimensat(AT_FDCWD, (Dir / n).c_str(), old, 0);
  ::chmod((Dir / "viewer.desktop").c_str(), 0444);
  struct Case {
    const char* name;
    String target, args, workDir, description, icon;
  } cases[] = {
      {"sym", FromNativePath((Dir / "target.txt").string()), u"", u"", u"", u""},
      {"viewer.desktop", u"/opt/view er/bin", u"--open", u"/srv/work", u"Shows photos", u"viewer"},
      {"photos.desktop", u"/srv/My Photos", u"", u"", u"Photos", u""},
      {"deepsym", FromNativePath((deep / "target.txt").string()), u"", u"", u"", u""},
      {"deep.desktop", FromNativePath((deeper / "tool").string()), u"-v", FromNativePath(deeper.string()), u"",
       FromNativePath((deeper / "tool.png").string())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TNamespace> ns(Item(Dir / c.name));
    ASSERT_TRUE(ns->GetLink());
    TShellLinkReader* r = ns->GetShellLink();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetTargetPath(), c.target);
    EXPECT_EQ(r->GetArguments(), c.args);
    EXPECT_EQ(r->GetWorkingDirectory(), c.workDir);
    EXPECT_EQ(r->GetDescription(), c.description);
    EXPECT_EQ(r->GetIconLocation(), c.icon);
    EXPECT_EQ(r->GetShowCmd(), TCmdShow::swShowNormal);
  }
  Owned<TNamespace> sym(Item(Dir / "sym"));
  EXPECT_TRUE(ILIsEqual(sym->GetShellLink()->GetTargetIDList(), Owned<TNamespace>(Item(Dir / "target.txt"))->GetAbsolutePIDL()));
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "viewer.desktop"), app);
  EXPECT_EQ(testsupport::ReadFileBytes(Dir / "photos.desktop"), link);
  for (const char* n : {"viewer.desktop", "photos.desktop"}) {
    struct stat st {};
    ::stat((Dir / n).c_str(), &st);
    EXPECT_EQ(st.st_mtime, 1600000000);
  }
  Owned<TNamespace> plain(Item(Dir / "target.txt"));
  EXPECT_EQ(plain->GetShellLink(), nullptr);
}

// A link object that answers as scripted, for the reader's own rules.
class TFakeLink final : public IShellLinkW, public IPersistFile {
public:
  int Show{3};
  Word Hotkey{static_cast<Word>((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | 'P')};
  bool PathFails{false};
  bool LoadFails{false};
  DWORD LoadMode{0xFFFF};
  int Saves{0};
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IShellLinkW::Iid || iid == IUnknown::Iid) *out = static_cast<IShellLinkW*>(this);
    else if (iid == IPersistFile::Iid) *out = static_cast<IPersistFile*>(this);
    else return *out = nullptr, E_NOINTERFACE;
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(const Char*, DWORD mode) override {
    LoadMode = mode;
    return LoadFails ? STG_E_ACCESSDENIED : S_OK;
  }
  HRESULT Save(const Char*, BOOL) override {
    ++Saves;
    return S_OK;
  }
  HRESULT SaveCompleted(const Char*) override { return S_OK; }
  HRESULT GetCurFile(Char**) override { return E_NOTIMPL; }
  HRESULT GetPath(Char* f, int, WIN32_FIND_DATAW*, DWORD) override {
    if (PathFails) return E_FAIL;
    f[0] = u'X';
    f[1] = 0;
    return S_OK;
  }
  HRESULT GetIDList(PItemIDList* p) override {
    *p = nullptr;
    return S_FALSE;
  }
  HRESULT GetDescription(Char* s, int) override { return s[0] = 0, S_OK; }
  HRESULT GetWorkingDirectory(Char* s, int) override { return s[0] = 0, S_OK; }
  HRESULT GetArguments(Char* s, int) override { return s[0] = 0, S_OK; }
  HRESULT GetHotkey(Word* h) override { return *h = Hotkey, S_OK; }
  HRESULT GetShowCmd(int* s) override { return *s = Show, S_OK; }
  HRESULT GetIconLocation(Char* s, int, int* i) override { return s[0] = 0, *i = 4, S_OK; }
};

TEST_F(ThumbLinkTest, TheReaderKeepsOldValuesAndSplitsTheHotKey) {
  TFakeLink fake;
  Owned<TShellLinkReader> r(TShellLinkReader::New(nullptr));
  r->SetShellLinkInterfaces(ComPtr<IShellLinkW>(&fake), nullptr);
  EXPECT_TRUE(r->ReadLink(u"any"));
  EXPECT_EQ(fake.LoadMode, STGM_READ);
  EXPECT_EQ(fake.Saves, 0);
  EXPECT_EQ(r->GetTargetPath(), u"X");
  EXPECT_EQ(r->GetShowCmd(), TCmdShow::swMaximize);
  EXPECT_EQ(r->GetHotKey(), 'P');
  EXPECT_TRUE(r->GetHotKeyModifiers() == (THotKeyModifiers{THotKeyModifier::hkmControl, THotKeyModifier::hkmAlt}));
  EXPECT_EQ(r->GetIconIndex(), 4);
  fake.Show = 11;
  fake.PathFails = true;
  EXPECT_TRUE(r->ReadLink(u"any"));
  EXPECT_EQ(r->GetShowCmd(), TCmdShow::swMaximize);
  EXPECT_EQ(r->GetTargetPath(), u"X");
}

// The 8-bit link object: its texts are in the system code page, and a path is asked together
// with a find-data record that the object fills.
class TFakeLinkA final : public IShellLinkA, public IPersistFile {
public:
  bool LoadFails{false};
  bool GotFindData{false};
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IShellLinkA::Iid || iid == IUnknown::Iid) *out = static_cast<IShellLinkA*>(this);
    else if (iid == IPersistFile::Iid) *out = static_cast<IPersistFile*>(this);
    else return *out = nullptr, E_NOINTERFACE;
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(const Char*, DWORD) override { return LoadFails ? E_FAIL : S_OK; }
  HRESULT Save(const Char*, BOOL) override { return S_OK; }
  HRESULT SaveCompleted(const Char*) override { return S_OK; }
  HRESULT GetCurFile(Char**) override { return E_NOTIMPL; }
  HRESULT GetPath(char* f, int capacity, WIN32_FIND_DATAA* data, DWORD) override {
    if (!data) return E_POINTER;
    GotFindData = true;
    std::strncpy(data->cFileName, "\xD4\xEE\xF2\xEE", sizeof data->cFileName);
    return std::snprintf(f, static_cast<size_t>(capacity), "/srv/\xD4\xEE\xF2\xEE"), S_OK;
  }
  HRESULT GetIDList(PItemIDList* p) override { return *p = nullptr, S_FALSE; }
  HRESULT GetDescription(char* s, int) override { return s[0] = 0, S_OK; }
  HRESULT GetWorkingDirectory(char* s, int) override { return s[0] = 0, S_OK; }
  HRESULT GetArguments(char* s, int) override { return s[0] = 0, S_OK; }
  HRESULT GetHotkey(Word* h) override { return *h = 0, S_OK; }
  HRESULT GetShowCmd(int* s) override { return *s = SW_SHOWNORMAL, S_OK; }
  HRESULT GetIconLocation(char* s, int, int* i) override { return s[0] = 0, *i = 0, S_OK; }
};

TEST_F(ThumbLinkTest, TheEightBitReadingFollowsAFailedWideOne) {
  SetAnsiCodePage(1251);
  struct Case {
    const char* what;
    bool ansiObject, ansiLoadFails;
    bool read;
    String fileName, target;
  } cases[] = {
      {"no 8-bit object", false, false, false, u"", u""},
      {"the 8-bit object cannot load it either", true, true, false, u"", u""},
      {"the 8-bit object reads it", true, false, true, u"old.lnk", u"/srv/Фото"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFakeLink wide;
    wide.LoadFails = true;
    TFakeLinkA ansi;
    ansi.LoadFails = c.ansiLoadFails;
    Owned<TShellLinkReader> r(TShellLinkReader::New(nullptr));
    r->SetShellLinkInterfaces(ComPtr<IShellLinkW>(&wide), c.ansiObject ? ComPtr<IShellLinkA>(&ansi) : nullptr);
    r->SetFileName(u"earlier.lnk");
    EXPECT_EQ(r->ReadLink(u"old.lnk"), c.read);
    EXPECT_EQ(r->GetFileName(), c.fileName);
    EXPECT_EQ(r->GetTargetPath(), c.target);
    EXPECT_EQ(ansi.GotFindData, c.read);
  }
  ResetAnsiCodePage();
}

}  // namespace
}  // namespace shelltest
