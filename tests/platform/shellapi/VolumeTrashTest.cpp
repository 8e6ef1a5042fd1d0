// Deleting to the trash a file that lives on another file system than the home trash: the
// volume's own trash takes it, and where the volume offers none that is safe to use, the file
// stays where it is and the delete fails. The volume is a small tmpfs mounted by the test.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::shellapi;
namespace fs = std::filesystem;

class VolumeTrashTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = testsupport::MakeTempDir("voltrash");
    Data = Dir / "data";
    Vol = Dir / "vol";
    fs::create_directories(Data);
    fs::create_directories(Vol);
    setenv("XDG_DATA_HOME", Data.c_str(), 1);
    Hooks().ConfirmDelete = [](const std::vector<std::string>&, bool) { return true; };
  }
  void TearDown() override {
    Unmount();
    ResetHooks();
  }
  // A fresh, empty volume; false (with the reason) where this process may not mount.
  bool Mount() {
    Unmount();
    if (::mount("tmpfs", Vol.c_str(), "tmpfs", 0, "size=1m,mode=0755") != 0) {
      Why = std::strerror(errno);
      return false;
    }
    Mounted = true;
    return true;
  }
  void Unmount() {
    if (Mounted) ::umount2(Vol.c_str(), MNT_DETACH);
    Mounted = false;
  }
  static std::string Uid() { return std::to_string(::getuid()); }

  fs::path Dir, Data, Vol;
  std::string Why;
  bool Mounted{false};
};

TEST_F(VolumeTrashTest, AFileOnAnotherVolumeGoesToThatVolumesTrash) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& vol)> prepare;
    std::string trash;  // relative to the volume
  };
  const Case cases[] = {
      {"the volume has no trash yet", [](const fs::path&) {}, ".Trash-" + Uid()},
      {"the administrator's sticky .Trash",
       [](const fs::path& v) {
         fs::create_directory(v / ".Trash");
         ::chmod((v / ".Trash").c_str(), 01777);
       },
       ".Trash/" + Uid()},
      {"a .Trash without the sticky bit is passed over",
       [](const fs::path& v) {
         fs::create_directory(v / ".Trash");
         ::chmod((v / ".Trash").c_str(), 0777);
       },
       ".Trash-" + Uid()},
      {"a .Trash that is a link is passed over",
       [](const fs::path& v) {
         fs::create_directory(v / "elsewhere");
         ::chmod((v / "elsewhere").c_str(), 01777);
         fs::create_directory_symlink("elsewhere", v / ".Trash");
       },
       ".Trash-" + Uid()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!Mount()) GTEST_SKIP() << "cannot mount a tmpfs here (" << Why << "): the volume trash is not tested";
    c.prepare(Vol);
    fs::create_directories(Vol / "DCIM" / "100 CANON");
    fs::path photo = Vol / "DCIM" / "100 CANON" / "img%1.jpg";
    testsupport::WriteFileBytes(photo, "JPEG");
    std::time_t before = std::time(nullptr);
    ASSERT_EQ(DeleteFiles({photo.string()}, true), S_OK);
    EXPECT_FALSE(fs::exists(photo));
    fs::path trash = Vol / c.trash;
    EXPECT_EQ(testsupport::ReadFileBytes(trash / "files" / "img%1.jpg"), "JPEG");
    std::string info = testsupport::ReadFileBytes(trash / "info" / "img%1.jpg.trashinfo");
    // Relative to the top of the volume, escaped byte by byte: the blank %20, the percent sign %25.
    std::string head = "[Trash Info]\nPath=DCIM/100%20CANON/img%251.jpg\nDeletionDate=";
    ASSERT_EQ(info.compare(0, head.size(), head), 0) << info;
    std::tm tm{};
    ::localtime_r(&before, &tm);
    char year[8];
    std::strftime(year, sizeof year, "%Y-", &tm);
    EXPECT_EQ(info.substr(head.size(), 5), year);
    EXPECT_EQ(info.size(), head.size() + 20) << "a date of the form YYYY-MM-DDThh:mm:ss and a line end";
    struct stat st {};
    ASSERT_EQ(::lstat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(fs::exists(Data / "Trash" / "files" / "img%1.jpg"));
    EXPECT_TRUE(!fs::exists(Vol / "elsewhere") || fs::is_empty(Vol / "elsewhere"));
  }
}

TEST_F(VolumeTrashTest, AVolumeWithoutAUsableTrashKeepsTheFileAndTheDeleteFails) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& vol)> prepare;
  };
  const Case cases[] = {
      {"the trash's name is taken by a file", [](const fs::path& v) { testsupport::WriteFileBytes(v / (".Trash-" + Uid()), "x"); }},
      {"the trash is a link into the volume",
       [](const fs::path& v) {
         fs::create_directory(v / "evil");
         ::chmod((v / "evil").c_str(), 0700);
         fs::create_directory_symlink("evil", v / (".Trash-" + Uid()));
       }},
      {"the trash belongs to someone else",
       [](const fs::path& v) {
         fs::create_directory(v / (".Trash-" + Uid()));
         ::chmod((v / (".Trash-" + Uid())).c_str(), 0700);
         ASSERT_EQ(::chown((v / (".Trash-" + Uid())).c_str(), ::getuid() + 4321, 0), 0);
       }},
      {"the trash is open to everyone",
       [](const fs::path& v) {
         fs::create_directory(v / (".Trash-" + Uid()));
         ::chmod((v / (".Trash-" + Uid())).c_str(), 0777);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!Mount()) GTEST_SKIP() << "cannot mount a tmpfs here (" << Why << "): the volume trash is not tested";
    c.prepare(Vol);
    fs::path photo = Vol / "a.jpg";
    testsupport::WriteFileBytes(photo, "JPEG");
    EXPECT_EQ(DeleteFiles({photo.string()}, true), E_FAIL);
    EXPECT_EQ(testsupport::ReadFileBytes(photo), "JPEG") << "nothing asked for the trash is deleted for good";
    EXPECT_FALSE(fs::exists(Data / "Trash" / "files" / "a.jpg"));
    EXPECT_TRUE(!fs::exists(Vol / "evil") || fs::is_empty(Vol / "evil"));
    // The platform's form of the same request answers a failure too.
    String from = FromNativePath(photo.string()) + String(1, u'\0');
    SHFILEOPSTRUCTW op;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO;
    EXPECT_NE(SHFileOperationW(&op), 0);
    EXPECT_TRUE(fs::exists(photo));
  }
}

}  // namespace
