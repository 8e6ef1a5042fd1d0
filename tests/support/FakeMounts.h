#pragma once
// A mount table and a /sys tree of block devices written by a test, with the mounts' folders in a
// temporary folder: a network share, a memory card (its disk says removable), a stick pulled out
// while mounted (its device gone), a fixed disk, a CD, a RAM disk, an sshfs mount, a mount whose
// folder was deleted and one whose folder is missing.

#include <filesystem>
#include <string>

#include "support/TestEnv.h"

namespace testsupport {

struct TFakeMounts {
  std::filesystem::path Dir;  // the mounts' folders live here
  std::string Table;          // the mountinfo file
  std::string Sys;            // the /sys stand-in
};

inline TFakeMounts MakeFakeMounts() {
  namespace fs = std::filesystem;
  TFakeMounts f;
  f.Dir = MakeTempDir("mounts");
  fs::path sys = f.Dir / "sys";
  f.Sys = sys.string();
  f.Table = (f.Dir / "mountinfo").string();
  for (const char* d : {"net", "card", "yanked", "disk", "cd", "ram", "ssh", "my disk", "cardboard"})
    fs::create_directories(f.Dir / "m" / d);
  // Devices: the disk sda with partition sda2, the card reader sdb (removable) with sdb1 and
  // sdb2, the CD sr0, the root's vda. The pulled stick's sdc1 (8:33) is not there any more.
  for (const char* d : {"block/sda/sda2", "block/sdb/sdb1", "block/sdb/sdb2", "block/sr0", "block/vda", "dev/block"})
    fs::create_directories(sys / d);
  WriteFileBytes(sys / "block/sda/removable", "0\n");
  WriteFileBytes(sys / "block/sdb/removable", "1\n");
  WriteFileBytes(sys / "block/sr0/removable", "1\n");
  WriteFileBytes(sys / "block/vda/removable", "0\n");
  for (auto [dev, target] : {std::pair{"8:2", "../../block/sda/sda2"}, std::pair{"8:17", "../../block/sdb/sdb1"},
                             std::pair{"8:18", "../../block/sdb/sdb2"}, std::pair{"11:0", "../../block/sr0"},
                             std::pair{"254:0", "../../block/vda"}})
    fs::create_directory_symlink(target, sys / "dev/block" / dev);
  std::string m = (f.Dir / "m").string();
  WriteFileBytes(f.Table,
                 "22 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                 "30 22 0:50 / " + m + "/net rw,relatime shared:5 - nfs4 server:/export rw,vers=4.2\n"
                 "31 22 8:17 / " + m + "/card rw,nosuid - vfat /dev/sdb1 rw\n"
                 "32 22 8:33 / " + m + "/yanked rw - ext4 /dev/sdc1 rw\n"
                 "33 22 8:2 / " + m + "/disk rw - ext4 /dev/sda2 rw\n"
                 "34 22 11:0 / " + m + "/cd ro - iso9660 /dev/sr0 ro\n"
                 "35 22 0:60 / " + m + "/ram rw - tmpfs tmpfs rw\n"
                 "36 22 0:61 / " + m + "/ssh rw - fuse.sshfs me@host:/home rw\n"
                 "37 22 8:18 / " + m + "/old\\040dir\\040(deleted) rw - ext4 /dev/sdb2 rw\n"
                 "38 22 8:2 / " + m + "/my\\040disk rw master:3 - ext4 /dev/sda2 rw\n"
                 "39 22 8:2 / " + m + "/lost rw - ext4 /dev/sda2 rw\n"
                 "not a line of the table\n");
  return f;
}

}  // namespace testsupport
