#pragma once
// Drives as this platform has them: the file systems of the kernel's mount table. A drive's root
// is its mount point; its type comes from the file system (network file systems are remote,
// optical ones CD-ROM, memory ones RAM disks), from the block device (removable when the kernel
// says so, or when it is mounted under /media or /run/media) and from whether it is still there:
// a mount whose block device has gone, or whose mount point was deleted, has no root any more.
// There are no drive letters: "C:\" names no drive.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Types.h"

namespace pf {

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

// The type of the drive whose root (mount point) is `root`; DRIVE_NO_ROOT_DIR for a path that is
// no mount point, a drive letter, or a mount that is gone. Nil asks for the current folder's drive.
UINT GetDriveTypeW(const Char* root);
UINT GetDriveTypeA(const char* root);
// The root of the drive that holds `path` (the longest mount point above it, lexically), without
// a trailing "/" except for "/" itself. False for a relative path or a buffer too small.
BOOL GetVolumePathNameW(const Char* path, Char* volume, DWORD capacity);
BOOL GetVolumePathNameA(const char* path, char* volume, DWORD capacity);

namespace kernel {

struct TMountEntry {
  std::string Point;   // the mount point, its escapes undone
  std::string Source;  // what is mounted: a device, "server:/export", "tmpfs"
  std::string FsType;  // with its subtype for FUSE: "fuse.sshfs"
  unsigned Major{0}, Minor{0};
  bool Deleted{false};  // the mount point was deleted after the mount
  bool operator==(const TMountEntry&) const = default;
};

// The mount table (later mounts on a point cover earlier ones), read again after a moment so that
// a stick plugged in shows up without every question reading the kernel's table.
std::vector<TMountEntry> MountTable();
// Counts the changes of the table (read again when due), so that what is made from it can be kept
// until the next change without copying the table to compare.
uint64_t MountTableGeneration();
// The type of one mount. Network file systems are answered from the table alone, never by asking
// the file system, so that a server that is away cannot stall the question.
UINT DriveTypeOf(const TMountEntry& mount);
bool IsNetworkFileSystem(const std::string& fsType);

namespace testing {
// Reads the table from `mountInfo` (the format of /proc/self/mountinfo) and the block devices
// below `sysRoot` (instead of /sys); empty strings go back to the kernel's.
void SetMountTableSource(const std::string& mountInfo, const std::string& sysRoot);
}  // namespace testing

}  // namespace kernel
}  // namespace pf
