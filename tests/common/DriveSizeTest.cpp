// The size of a drive is what its file system uses, not the sum of its files: a small tmpfs mounted
// by the test holds a sparse file of 10 MiB that uses no pages, and 8 KiB and 4 KiB of data.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "CommonTestUtil.h"
#include "platform/kernel/Version.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

namespace {

using namespace commontest;
using namespace common;

// The folder walk needs the entry points bound at the unit's start-up.
struct Unit {
  Unit() { InitializeCommonUtilities(); }
  ~Unit() { FinalizeCommonUtilities(); }
};

TEST(DriveSize, AMountRootAsADriveCountsTheBytesItsFileSystemUses) {
  Unit unit;
  auto dir = testsupport::MakeTempDir("drive");
  if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << "): the drive size is not tested";
  testsupport::WriteFileBytes(dir / "written", std::string(8192, 'x'));
  testsupport::WriteFileBytes(dir / "sparse", "");
  std::filesystem::resize_file(dir / "sparse", 10 << 20);
  std::filesystem::create_directories(dir / "sub");
  testsupport::WriteFileBytes(dir / "sub" / "more", std::string(4096, 'x'));
  struct Case {
    std::string path;
    bool asDrive;
    Int64 size;
  };
  const Case cases[] = {
      {dir.string(), true, 12288},  // three pages of 4 KiB
      {dir.string() + "/", true, 12288},
      {dir.string(), false, 8192 + (10 << 20)},  // the top folder's files by their sizes, not recursed
      {(dir / "sub").string(), true, 4096},      // not a drive's root: its files, recursed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + (c.asDrive ? " as a drive" : ""));
    EXPECT_EQ(DriveOrFolderSize(FromNativePath(c.path), c.asDrive), c.size);
  }
  // The first Windows 95 counts the drive's clusters: three of 4 KiB.
  SetPlatformVersion(TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950});
  EXPECT_EQ(DriveOrFolderSize(FromNativePath(dir.string()), true), 12288);
  ResetPlatformVersion();
  ::umount2(dir.c_str(), MNT_DETACH);
}

}  // namespace
