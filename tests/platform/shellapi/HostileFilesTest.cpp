// Files of the desktop that anyone able to write to the user's folders may have made: each is
// refused at once and at little cost when it passes the bounds of what the desktop writes, and
// still read when it is what the desktop writes.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "platform/gdi/Gdi.h"
#include "platform/gdiplus/Photo.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi.h"
#include "platform/shellapi/ShellApi_p.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
namespace fs = std::filesystem;
using namespace std::string_literals;

// The process's peak resident size in megabytes: a reader that allocated and filled gigabytes
// leaves it raised for good.
long PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

// A file of `head` followed by a hole up to `size` bytes: large on paper, nothing on disk.
void WriteSparse(const fs::path& p, std::string_view head, off_t size) {
  testsupport::WriteFileBytes(p, head);
  ASSERT_EQ(::truncate(p.c_str(), size), 0);
}

class EnvGuard {
public:
  explicit EnvGuard(std::initializer_list<std::pair<const char*, std::string>> vars) {
    for (const auto& [name, value] : vars) {
      const char* old = std::getenv(name);
      FSaved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      setenv(name, value.c_str(), 1);
    }
  }
  ~EnvGuard() {
    for (const auto& [name, value] : FSaved) {
      if (value) setenv(name, value->c_str(), 1);
      else unsetenv(name);
    }
  }

private:
  std::vector<std::pair<const char*, std::optional<std::string>>> FSaved;
};

class HostileFiles : public ::testing::Test {
protected:
  void SetUp() override { Dir = testsupport::MakeTempDir("hostile"); }
  fs::path Dir;
};

// ---- user-dirs.dirs ----

TEST_F(HostileFiles, UserDirValuesWithControlCharactersAreMalformedLines) {
  const std::string home = "/home/u";
  using namespace std::string_literals;
  struct Case {
    std::string text;
    std::optional<std::string> desktop;
  } cases[] = {
      {"XDG_DESKTOP_DIR=\"/tmp\0/x\"\n"s, std::nullopt},
      {"XDG_DESKTOP_DIR=\"$HOME/a\tb\"\n", std::nullopt},
      {"XDG_DESKTOP_DIR=\"$HOME/a\rb\"\n", std::nullopt},
      {"XDG_DESKTOP_DIR=\"/tmp/\x1b[31m\"\n", std::nullopt},
      {"XDG_DESKTOP_DIR=\"/tmp/\x7f\"\n", std::nullopt},
      // Escaping a control character does not make it a part of a folder's name either.
      {"XDG_DESKTOP_DIR=\"/tmp/\\\x01\"\n", std::nullopt},
      // A malformed line gives nothing, and takes nothing from a good one before it.
      {"XDG_DESKTOP_DIR=\"/srv/desk\"\nXDG_DESKTOP_DIR=\"/tmp\0/x\"\n"s, "/srv/desk"},
      {"XDG_DESKTOP_DIR=\"/tmp//\"\n", "/tmp"},
      {"XDG_DESKTOP_DIR=\"$HOME///\"\n", "/home/u"},
      {"XDG_DESKTOP_DIR=\"$HOME/Desk//\"\n", "/home/u/Desk"},
      {"XDG_DESKTOP_DIR=\"///\"\n", "/"},
      // Bytes of other alphabets are names, not control characters.
      {"XDG_DESKTOP_DIR=\"$HOME/\xd0\xa0\xd0\xb0\xd0\xb1\"\n", "/home/u/\xd0\xa0\xd0\xb0\xd0\xb1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(shellapi::ParseUserDirs(c.text, "XDG_DESKTOP_DIR", home), c.desktop);
  }
}

TEST_F(HostileFiles, TheDesktopFolderOfAMalformedLineIsTheDefaultOne) {
  fs::create_directories(Dir / "home/Desktop");
  fs::create_directories(Dir / "config");
  EnvGuard env{{"HOME", (Dir / "home").string()}, {"XDG_CONFIG_HOME", (Dir / "config").string()}};
  using namespace std::string_literals;
  const std::string desktop = (Dir / "home/Desktop").string();
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> write;
  } cases[] = {
      {"a NUL in the value",
       [](const fs::path& p) { testsupport::WriteFileBytes(p, "XDG_DESKTOP_DIR=\"/tmp\0/x\"\n"s); }},
      // Past the bound the file is not read at all (a sparse file: no time is spent on it).
      {"a file past its bound",
       [](const fs::path& p) { WriteSparse(p, "XDG_DESKTOP_DIR=\"/tmp\"\n", off_t{1} << 31); }},
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path file = Dir / "config/user-dirs.dirs";
    fs::remove(file);
    c.write(file);
    EXPECT_EQ(shellapi::UserDir("XDG_DESKTOP_DIR"), desktop);
    PItemIDList pidl = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &pidl), S_OK);
    EXPECT_EQ(shellapi::PathFromIdList(pidl), desktop);
    CoTaskMemFree(pidl);
  }
}

// ---- Desktop entries ----

TEST_F(HostileFiles, ADesktopEntryPastItsBoundsIsRefusedUnread) {
  const std::string head = "[Desktop Entry]\nType=Link\nURL=file:///srv/photos";
  fs::path huge = Dir / "huge.desktop";
  // One line of 1.5 GB, as a hole: reading it would take seconds and gigabytes.
  WriteSparse(huge, head, off_t{1536} << 20);
  const long before = PeakMegabytes();
  EXPECT_FALSE(shellapi::IsDesktopLinkEntry(huge.string()));
  IUnknown* unknown = shellapi::CreateShellLinkObject();
  IPersistFile* file = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IPersistFile::Iid, reinterpret_cast<void**>(&file)), S_OK);
  EXPECT_EQ(file->Load(FromNativePath(huge.string()).c_str(), 0), E_FAIL);
  file->Release();
  unknown->Release();
  EXPECT_LT(PeakMegabytes() - before, 64);
}

TEST_F(HostileFiles, DesktopEntryBoundsOfBytesLinesAndLineLength) {
  const std::string head = "[Desktop Entry]\nType=Application\nExec=viewer\n";
  struct Case {
    const char* what;
    std::string text;
    bool accepted;
  } cases[] = {
      {"a plain entry", head, true},
      {"a line at its bound", head + "Comment=" + std::string(shellapi::kDesktopEntryMaxLineBytes - 8, 'c') + "\n",
       true},
      {"a line one byte past it", head + "Comment=" + std::string(shellapi::kDesktopEntryMaxLineBytes - 7, 'c') + "\n",
       false},
      {"a long last line without its end",
       head + "Comment=" + std::string(shellapi::kDesktopEntryMaxLineBytes - 7, 'c'), false},
      {"lines at their bound", head + std::string(shellapi::kDesktopEntryMaxLines - 3, '\n'), true},
      {"one line more", head + std::string(shellapi::kDesktopEntryMaxLines - 2, '\n') + "#", false},
      {"bytes one past their bound",
       head + [] {
         std::string s;
         std::string line = "#" + std::string(1022, 'x') + "\n";
         while (s.size() + line.size() <= shellapi::kDesktopEntryMaxBytes) s += line;
         return s;
       }(),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path p = Dir / "entry.desktop";
    testsupport::WriteFileBytes(p, c.text);
    std::map<std::string, std::string> keys;
    EXPECT_EQ(shellapi::ReadDesktopEntry(p.string(), keys), c.accepted);
    EXPECT_EQ(keys.empty(), !c.accepted);
    if (c.accepted) {
      EXPECT_EQ(keys["Exec"], "viewer");
    }
    EXPECT_EQ(shellapi::IsDesktopLinkEntry(p.string()), c.accepted);
  }
}

TEST_F(HostileFiles, OnlyRegularFilesWithinTheLimitAreRead) {
  fs::path exact = Dir / "exact", over = Dir / "over", fifo = Dir / "fifo.desktop", folder = Dir / "dir.desktop";
  testsupport::WriteFileBytes(exact, std::string(100, 'a'));
  testsupport::WriteFileBytes(over, std::string(101, 'a'));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directories(folder);
  fs::path zero = Dir / "zero.desktop";
  fs::create_symlink("/dev/zero", zero);
  std::string out;
  EXPECT_TRUE(shellapi::ReadBoundedFile(exact.string(), 100, out));
  EXPECT_EQ(out, std::string(100, 'a'));
  for (const fs::path& p : {over, fifo, folder, zero, Dir / "missing"}) {
    SCOPED_TRACE(p.string());
    // A FIFO nobody writes to must not hold the reader.
    EXPECT_FALSE(shellapi::ReadBoundedFile(p.string(), 100, out));
    EXPECT_TRUE(out.empty());
  }
  EXPECT_FALSE(shellapi::IsDesktopLinkEntry(fifo.string()));
  EXPECT_FALSE(shellapi::IsDesktopLinkEntry(zero.string()));
}

// ---- The thumbnail cache ----

std::string Chunk(const char* type, std::string_view data) {
  std::string s;
  const uint32_t n = static_cast<uint32_t>(data.size());
  s += static_cast<char>(n >> 24);
  s += static_cast<char>(n >> 16);
  s += static_cast<char>(n >> 8);
  s += static_cast<char>(n);
  s += type;
  s += data;
  s += std::string(4, '\0');  // no CRC: the checks come before anything that reads one
  return s;
}

std::string Ihdr(uint32_t w, uint32_t h) {
  std::string d;
  for (uint32_t v : {w, h})
    for (int shift = 24; shift >= 0; shift -= 8) d += static_cast<char>(v >> shift);
  d += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, no interlace
  return Chunk("IHDR", d);
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

class ThumbnailCache : public HostileFiles {
protected:
  void SetUp() override {
    HostileFiles::SetUp();
    Photo = Dir / "photo.bmp";
    // A 4 × 2 picture, red on the left half and blue on the right.
    QImage img(4, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) img.setPixel(x, y, x < 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    ASSERT_TRUE(img.save(QString::fromStdString(Photo.string()), "BMP"));
    struct stat st {};
    ASSERT_EQ(::stat(Photo.c_str(), &st), 0);
    MTime = st.st_mtime;
    Uri = "file://" + Photo.string();
  }
  fs::path Entry(const char* bucket) {
    QByteArray md5 = QCryptographicHash::hash(QByteArray::fromStdString(Uri), QCryptographicHash::Md5).toHex();
    fs::path dir = Dir / "cache/thumbnails" / bucket;
    fs::create_directories(dir);
    return dir / (md5.toStdString() + ".png");
  }
  // A cache entry as the desktop's thumbnailers write one: a green picture of the given size.
  static void WriteEntry(const fs::path& p, int w, int h, const std::string& uri, const std::string& mtime) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(qRgb(0, 255, 0));
    img.setText("Thumb::URI", QString::fromStdString(uri));
    img.setText("Thumb::MTime", QString::fromStdString(mtime));
    ASSERT_TRUE(img.save(QString::fromStdString(p.string()), "PNG"));
  }

  fs::path Photo;
  time_t MTime{0};
  std::string Uri;
};

std::string Text(const char* key, std::string_view value) {
  return Chunk("tEXt", std::string(key) + '\0' + std::string(value));
}

// zlib's stream of `text`, as zTXt and compressed iTXt chunks hold it.
std::string Deflated(const std::string& text) {
  QByteArray q = qCompress(QByteArray::fromStdString(text));
  return q.mid(4).toStdString();  // without Qt's length prefix
}

TEST_F(ThumbnailCache, EntriesAreCheckedBeforeAnyPixel) {
  const std::string uri = "file:///srv/p%20q.jpg", mtime = "1700000000";
  const std::string uriText = Text("Thumb::URI", uri), timeText = Text("Thumb::MTime", mtime);
  const std::string iend = Chunk("IEND", "");
  const std::string idat = Chunk("IDAT", std::string(20, '\0'));
  const std::string bomb = Deflated(uri + std::string(size_t{16} << 20, '/'));
  struct Case {
    const char* what;
    std::string png;
    bool accepted;
    int64_t w, h;
  } cases[] = {
      {"a good entry", kSignature + Ihdr(100, 80) + uriText + timeText + idat + iend, true, 100, 80},
      {"at the folder's size", kSignature + Ihdr(128, 128) + uriText + timeText + idat + iend, true, 128, 128},
      {"text after the pixels", kSignature + Ihdr(9, 9) + idat + timeText + uriText + iend, true, 9, 9},
      {"compressed text", kSignature + Ihdr(9, 9) + Chunk("zTXt", "Thumb::URI\0\0"s + Deflated(uri)) + timeText + iend,
       true, 9, 9},
      {"international text",
       kSignature + Ihdr(9, 9) + Chunk("iTXt", "Thumb::MTime\0\0\0en\0\0"s + mtime) +
           Chunk("iTXt", "Thumb::URI\0\1\0\0\0"s + Deflated(uri)) + iend,
       true, 9, 9},
      // 2 GB of pixels declared by a file of a few dozen bytes.
      {"a huge picture", kSignature + Ihdr(32768, 16384) + iend, false, 0, 0},
      {"a huge picture with the right text", kSignature + Ihdr(32768, 16384) + uriText + timeText + iend, false, 0, 0},
      {"one pixel wider than its folder", kSignature + Ihdr(129, 10) + uriText + timeText + iend, false, 0, 0},
      {"no pixels at all", kSignature + Ihdr(0, 10) + uriText + timeText + iend, false, 0, 0},
      {"a stale entry", kSignature + Ihdr(9, 9) + uriText + Text("Thumb::MTime", "1699999999") + iend, false, 0, 0},
      {"another file's entry", kSignature + Ihdr(9, 9) + Text("Thumb::URI", "file:///srv/other.jpg") + timeText + iend,
       false, 0, 0},
      {"no time", kSignature + Ihdr(9, 9) + uriText + iend, false, 0, 0},
      {"two addresses", kSignature + Ihdr(9, 9) + uriText + Text("Thumb::URI", "file:///x") + timeText + iend, false, 0,
       0},
      {"the size not first", kSignature + uriText + Ihdr(9, 9) + timeText + iend, false, 0, 0},
      {"a chunk past the end", kSignature + Ihdr(9, 9) + uriText + timeText + Chunk("IDAT", "xy").substr(0, 10), false,
       0, 0},
      {"no signature", "GIF89a" + Ihdr(9, 9) + uriText + timeText + iend, false, 0, 0},
      // Text that inflates past its bound is not inflated further.
      {"a compressed bomb", kSignature + Ihdr(9, 9) + Chunk("zTXt", "Thumb::URI\0\0"s + bomb) + timeText + iend, false,
       0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    shellapi::TThumbnailEntry entry;
    EXPECT_EQ(shellapi::CheckThumbnailEntry(c.png, uri, 1700000000, 128, entry), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(entry.Width, c.w);
      EXPECT_EQ(entry.Height, c.h);
    }
  }
}

TEST_F(ThumbnailCache, AHostileEntryIsRefusedWithoutItsPixelsAndAGoodOneRead) {
  const std::string mtime = std::to_string(MTime);
  const fs::path good = Entry("normal"), hostile = Entry("large"), huge = Entry("x-large");
  WriteEntry(good, 8, 4, Uri, mtime);
  // 41 bytes that declare a picture of 2 GB, with the text of a good entry after them.
  testsupport::WriteFileBytes(hostile, kSignature + Ihdr(32768, 16384) + Text("Thumb::URI", Uri) +
                                           Text("Thumb::MTime", mtime) + Chunk("IEND", ""));
  WriteSparse(huge, kSignature, off_t{1} << 32);
  const long before = PeakMegabytes();
  gdiplus::TPhoto photo;
  EXPECT_FALSE(shellapi::ReadCachedThumbnail(hostile.string(), Uri, MTime, 256, photo));
  EXPECT_TRUE(photo.Empty());
  EXPECT_FALSE(shellapi::ReadCachedThumbnail(huge.string(), Uri, MTime, 512, photo));
  EXPECT_LT(PeakMegabytes() - before, 64);
  ASSERT_TRUE(shellapi::ReadCachedThumbnail(good.string(), Uri, MTime, 128, photo));
  ASSERT_EQ(photo.Width(), 8);
  ASSERT_EQ(photo.Height(), 4);
  EXPECT_EQ(photo.Pixel(3, 2)[0], 0);
  EXPECT_EQ(photo.Pixel(3, 2)[1], 255);
  EXPECT_EQ(photo.Pixel(3, 2)[2], 0);
  // The same entry asked for another file, or after the file changed, is not used.
  EXPECT_FALSE(shellapi::ReadCachedThumbnail(good.string(), Uri + "x", MTime, 128, photo));
  EXPECT_FALSE(shellapi::ReadCachedThumbnail(good.string(), Uri, MTime + 1, 128, photo));
}

TEST_F(ThumbnailCache, TheThumbnailerPassesHostileEntriesByAndMakesItsOwn) {
  EnvGuard env{{"XDG_CACHE_HOME", (Dir / "cache").string()}};
  const std::string mtime = std::to_string(MTime);
  for (const char* bucket : {"normal", "large", "x-large", "xx-large"})
    testsupport::WriteFileBytes(Entry(bucket), kSignature + Ihdr(32768, 16384) + Text("Thumb::URI", Uri) +
                                                   Text("Thumb::MTime", mtime) + Chunk("IEND", ""));
  const long before = PeakMegabytes();
  IExtractImage* ex = shellapi::CreateThumbnailer(Photo.string());
  ASSERT_NE(ex, nullptr);
  Char path[4096];
  SIZE size{64, 64};
  DWORD flags = 0, priority = 0;
  ASSERT_EQ(ex->GetLocation(path, 4096, &priority, &size, 32, &flags), S_OK);
  HBITMAP bmp = nullptr;
  ASSERT_EQ(ex->Extract(&bmp), S_OK);
  ex->Release();
  EXPECT_LT(PeakMegabytes() - before, 64);
  DIBSECTION ds{};
  ASSERT_GT(GetObjectW(bmp, sizeof ds, &ds), 0);
  // The picture itself, never larger than it is: red on the left, blue on the right.
  EXPECT_EQ(ds.dsBm.bmWidth, 4);
  EXPECT_EQ(ds.dsBm.bmHeight, 2);
  const Byte* row = static_cast<const Byte*>(ds.dsBm.bmBits);
  EXPECT_EQ(row[2], 255);       // red of the first pixel
  EXPECT_EQ(row[3 * 4 + 0], 255);  // blue of the last
  DeleteObject(bmp);
  // The made thumbnail took the hostile entry's place.
  gdiplus::TPhoto photo;
  EXPECT_TRUE(shellapi::ReadCachedThumbnail(Entry("normal").string(), Uri, MTime, 128, photo));
  EXPECT_EQ(photo.Width(), 4);
}

}  // namespace
