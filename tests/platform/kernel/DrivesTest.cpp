// Drive types and drive roots over a mount table and a /sys tree written by the test.

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "platform/kernel/Drives.h"
#include "platform/kernel/Modules.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "support/FakeMounts.h"

namespace {

using namespace pf;

class DrivesTest : public ::testing::Test {
protected:
  void SetUp() override {
    Fake = testsupport::MakeFakeMounts();
    kernel::testing::SetMountTableSource(Fake.Table, Fake.Sys);
    M = (Fake.Dir / "m").string();
  }
  void TearDown() override { kernel::testing::SetMountTableSource("", ""); }
  static UINT TypeOf(const std::string& root) { return GetDriveTypeW(FromNativePath(root).c_str()); }

  testsupport::TFakeMounts Fake;
  std::string M;
};

TEST_F(DrivesTest, EachMountHasTheTypeOfItsFileSystemAndDevice) {
  std::filesystem::remove(Fake.Dir / "m" / "net");  // a share whose server is away cannot be looked at
  struct Case {
    std::string root;
    UINT type;
  };
  const Case cases[] = {
      {"/", DRIVE_FIXED},
      {M + "/net", DRIVE_REMOTE},
      {M + "/net/", DRIVE_REMOTE},
      {M + "/ssh", DRIVE_REMOTE},
      {M + "/card", DRIVE_REMOVABLE},  // its partition's disk is removable
      {M + "/yanked", DRIVE_NO_ROOT_DIR},
      {M + "/old dir", DRIVE_NO_ROOT_DIR},
      {M + "/lost", DRIVE_NO_ROOT_DIR},
      {M + "/disk", DRIVE_FIXED},
      {M + "/my disk", DRIVE_FIXED},
      {M + "/cd", DRIVE_CDROM},
      {M + "/ram", DRIVE_RAMDISK},
      // Not a root: a folder on a drive, a folder beside one, a relative path, drive letters.
      {M + "/card/DCIM", DRIVE_NO_ROOT_DIR},
      {M + "/cardboard", DRIVE_NO_ROOT_DIR},
      {"m/disk", DRIVE_NO_ROOT_DIR},
      {"C:\\", DRIVE_NO_ROOT_DIR},
      {"a:", DRIVE_NO_ROOT_DIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root);
    EXPECT_EQ(TypeOf(c.root), c.type);
    EXPECT_EQ(GetDriveTypeA(StringToAnsi(FromNativePath(c.root)).c_str()), c.type);
  }
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  EXPECT_EQ(GetProcAddress(kernel32, "GetDriveTypeW"), reinterpret_cast<FARPROC>(&GetDriveTypeW))
      << "the start-up binder finds the drive-type query";
}

TEST_F(DrivesTest, TheVolumeOfAPathIsTheLongestMountAboveIt) {
  struct Case {
    std::string path;
    std::string volume;  // empty: fails
  };
  const Case cases[] = {
      {M + "/card/DCIM/100/img.jpg", M + "/card"},
      {M + "/card", M + "/card"},
      {M + "/cardboard/x", "/"},
      {M + "/net/a/../b/./c", M + "/net"},
      {M + "/card/../disk/x", M + "/disk"},
      {M + "/old dir/x", "/"},
      {M + "/my disk/photos", M + "/my disk"},
      {"/", "/"},
      {"relative/path", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Char buf[512]{};
    String path = FromNativePath(c.path);
    BOOL ok = GetVolumePathNameW(path.c_str(), buf, 512);
    EXPECT_EQ(ok != 0, !c.volume.empty());
    EXPECT_EQ(String(buf), ok ? FromNativePath(c.volume) : String());
  }
  Char small[4]{};
  EXPECT_FALSE(GetVolumePathNameW(FromNativePath(M + "/card/x").c_str(), small, 4)) << "the buffer is too small";
}

TEST_F(DrivesTest, OnlyTheEscapesOfBytesAreUndone) {
  struct Case {
    const char* written;  // the point as the table holds it
    std::string point;    // as read
  };
  const Case cases[] = {
      {"/m/a\\040b", "/m/a b"},
      {"/m/tab\\011newline\\012", "/m/tab\tnewline\n"},
      {"/m/back\\134slash", "/m/back\\slash"},
      {"/m/first\\001last\\377", "/m/first\001last\377"},
      // No byte: a NUL would cut the path short, and 256 and above are no byte at all.
      {"/m/nul\\000x", "/m/nul\\000x"},
      {"/m/big\\400x", "/m/big\\400x"},
      {"/m/max\\777", "/m/max\\777"},
      // No escape: a digit that is not octal, or too few digits at the end.
      {"/m/eight\\08x", "/m/eight\\08x"},
      {"/m/short\\04", "/m/short\\04"},
  };
  std::string table;
  for (const Case& c : cases) table += std::string("40 22 8:2 / ") + c.written + " rw - ext4 /dev/nul\\000x rw\n";
  // A NUL as it stands: no line of the kernel's.
  static const char kRawNul[] = "41 22 8:2 / /m/raw\0nul rw - ext4 /dev/sda2 rw\n";
  table.append(kRawNul, sizeof kRawNul - 1);
  testsupport::WriteFileBytes(Fake.Table, table);
  kernel::testing::SetMountTableSource(Fake.Table, Fake.Sys);
  std::vector<kernel::TMountEntry> read = kernel::MountTable();
  ASSERT_EQ(read.size(), std::size(cases));
  for (size_t i = 0; i < read.size(); ++i) {
    SCOPED_TRACE(cases[i].written);
    EXPECT_EQ(read[i].Point, cases[i].point);
    EXPECT_EQ(read[i].Source, "/dev/nul\\000x") << "every field is read alike";
  }
}

}  // namespace
