// The kernel's mount table as the drive queries read it: any bytes as /proc/self/mountinfo, then
// the type and the volume of each mount point the table names.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/kernel/Drives.h"
#include "platform/rtl/SysUtils.h"

using namespace pf;

namespace {
std::string gFile;
void RemoveFile() {
  if (!gFile.empty()) ::unlink(gFile.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  gFile = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-mountinfo-" + std::to_string(::getpid());
  std::atexit(RemoveFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(gFile.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  // A /sys that does not exist: no device is asked about.
  kernel::testing::SetMountTableSource(gFile, "/nonexistent-sys");
  for (const kernel::TMountEntry& m : kernel::MountTable()) {
    if (m.Point.empty() || m.Point[0] != '/') std::abort();
    // No field may hold a NUL: a path would stop short of what the table says.
    for (const std::string* s : {&m.Point, &m.Source, &m.FsType})
      if (s->find('\0') != std::string::npos) std::abort();
    String point = FromNativePath(m.Point);
    UINT type = GetDriveTypeW(point.c_str());
    if (type > DRIVE_RAMDISK) std::abort();
    Char volume[512];
    if (GetVolumePathNameW((point + u"/x").c_str(), volume, 512) && volume[0] != u'/') std::abort();
  }
  return 0;
}
