// Drive types over the kernel's mount table.

#include "platform/kernel/Drives.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

namespace pf {

namespace kernel {

namespace {

struct TTableState {
  std::mutex Lock;
  std::string MountInfo;  // empty: the kernel's
  std::string SysRoot;    // empty: /sys
  std::vector<TMountEntry> Cached;
  uint64_t Generation{0};
  bool Valid{false};
  std::chrono::steady_clock::time_point ReadAt;
};

TTableState& State() {
  static TTableState s;
  return s;
}

// Blanks, tabs, newlines and backslashes of the table's fields are written as octal escapes. Only
// a byte's escape is undone: "\000" would put a NUL inside a path, and "\400" to "\777" name no
// byte, so such an escape, which the kernel never writes, keeps its four characters.
std::string Unescape(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      bool octal = true;
      int v = 0;
      for (size_t k = 1; k <= 3; ++k) {
        char c = s[i + k];
        if (c < '0' || c > '7') octal = false;
        v = v * 8 + (c - '0');
      }
      if (octal && v >= 1 && v <= 0377) {
        r += static_cast<char>(v);
        i += 3;
        continue;
      }
    }
    r += s[i];
  }
  return r;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream ls(line);
  std::string w;
  while (ls >> w) f.push_back(w);
  return f;
}

void SetPoint(TMountEntry& m, const std::string& field) {
  m.Point = Unescape(field);
  // A mount point deleted after the mount is shown with this mark behind its path.
  static const std::string kDeleted = " (deleted)";
  if (m.Point.size() > kDeleted.size() && m.Point.compare(m.Point.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    m.Point.erase(m.Point.size() - kDeleted.size());
    m.Deleted = true;
  }
  while (m.Point.size() > 1 && m.Point.back() == '/') m.Point.pop_back();
}

// /proc/self/mountinfo: "id parent major:minor root point options [tags...] - type source super".
bool ParseMountInfoLine(const std::string& line, TMountEntry& m) {
  std::vector<std::string> f = Words(line);
  if (f.size() < 7) return false;
  size_t dash = 6;
  while (dash < f.size() && f[dash] != "-") ++dash;
  if (dash + 1 >= f.size()) return false;
  unsigned major = 0, minor = 0;
  if (std::sscanf(f[2].c_str(), "%u:%u", &major, &minor) != 2) return false;
  m = TMountEntry{};
  m.Major = major;
  m.Minor = minor;
  SetPoint(m, f[4]);
  m.FsType = Unescape(f[dash + 1]);
  m.Source = dash + 2 < f.size() ? Unescape(f[dash + 2]) : std::string();
  return !m.Point.empty() && m.Point[0] == '/';
}

// /proc/mounts, where mountinfo is missing: "source point type options 0 0", without devices.
bool ParseMountsLine(const std::string& line, TMountEntry& m) {
  std::vector<std::string> f = Words(line);
  if (f.size() < 3) return false;
  m = TMountEntry{};
  m.Source = Unescape(f[0]);
  SetPoint(m, f[1]);
  m.FsType = Unescape(f[2]);
  return !m.Point.empty() && m.Point[0] == '/';
}

std::vector<TMountEntry> ReadTable(const std::string& override) {
  std::vector<TMountEntry> table;
  bool mountInfo = true;
  std::ifstream in(override.empty() ? "/proc/self/mountinfo" : override);
  if (!in && override.empty()) {
    in.open("/proc/mounts");
    mountInfo = false;
  }
  std::string line;
  int lines = 0;
  // A table of a hundred thousand mounts is no desktop's; the rest is not read.
  while (std::getline(in, line) && ++lines <= 100000) {
    // The kernel writes no NUL; a path holding one would name another path than it says.
    if (line.find('\0') != std::string::npos) continue;
    TMountEntry m;
    if (mountInfo ? ParseMountInfoLine(line, m) : ParseMountsLine(line, m)) table.push_back(std::move(m));
  }
  return table;
}

std::string SysRoot() {
  TTableState& s = State();
  std::lock_guard lock(s.Lock);
  return s.SysRoot.empty() ? std::string("/sys") : s.SysRoot;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

bool StartsWithDir(const std::string& path, const char* dir) {
  size_t n = std::strlen(dir);
  return path.size() > n && path.compare(0, n, dir) == 0 && path[n] == '/';
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

namespace {
void Refresh(TTableState& s) {
  auto now = std::chrono::steady_clock::now();
  if (s.Valid && now - s.ReadAt <= std::chrono::seconds(2)) return;
  std::vector<TMountEntry> table = ReadTable(s.MountInfo);
  if (!s.Valid || table != s.Cached) ++s.Generation;
  s.Cached = std::move(table);
  s.ReadAt = now;
  s.Valid = true;
}
}  // namespace

std::vector<TMountEntry> MountTable() {
  TTableState& s = State();
  std::lock_guard lock(s.Lock);
  Refresh(s);
  return s.Cached;
}

uint64_t MountTableGeneration() {
  TTableState& s = State();
  std::lock_guard lock(s.Lock);
  Refresh(s);
  return s.Generation;
}

bool IsNetworkFileSystem(const std::string& fsType) {
  static const char* const kNetwork[] = {"nfs",  "nfs4",      "cifs",        "smb3",          "smbfs",      "ncpfs",
                                         "9p",   "afs",       "ceph",        "coda",          "glusterfs",  "lustre",
                                         "davfs", "sshfs",    "fuse.sshfs",  "fuse.rclone",   "fuse.davfs", "fuse.glusterfs",
                                         "fuse.s3fs", "fuse.curlftpfs", "fuse.gvfsd-fuse"};
  return std::any_of(std::begin(kNetwork), std::end(kNetwork), [&](const char* n) { return fsType == n; });
}

UINT DriveTypeOf(const TMountEntry& m) {
  if (m.Deleted) return DRIVE_NO_ROOT_DIR;
  if (IsNetworkFileSystem(m.FsType)) return DRIVE_REMOTE;
  std::string sys = SysRoot();
  std::string dev = sys + "/dev/block/" + std::to_string(m.Major) + ":" + std::to_string(m.Minor);
  bool blockDevice = m.Major != 0 && IsDirectory(sys + "/dev/block");
  // The device of a stick pulled out while mounted is gone from the kernel's list of devices.
  if (blockDevice && !IsDirectory(dev)) return DRIVE_NO_ROOT_DIR;
  struct stat st {};
  if (::lstat(m.Point.c_str(), &st) != 0) return DRIVE_NO_ROOT_DIR;
  if (m.FsType == "iso9660" || m.FsType == "udf") return DRIVE_CDROM;
  // A partition's device has no flag of its own: its disk (the folder above) has it.
  bool removable = blockDevice && (ReadFirstLine(dev + "/removable") == "1" || ReadFirstLine(dev + "/../removable") == "1");
  if (removable || StartsWithDir(m.Point, "/media") || StartsWithDir(m.Point, "/run/media")) return DRIVE_REMOVABLE;
  if (m.FsType == "tmpfs" || m.FsType == "ramfs") return DRIVE_RAMDISK;
  return DRIVE_FIXED;
}

namespace testing {

void SetMountTableSource(const std::string& mountInfo, const std::string& sysRoot) {
  TTableState& s = State();
  std::lock_guard lock(s.Lock);
  s.MountInfo = mountInfo;
  s.SysRoot = sysRoot;
  s.Valid = false;
}

}  // namespace testing

}  // namespace kernel

namespace {

// A drive letter, with or without its backslash: no drive of this platform.
bool IsLetterRoot(const String& s) {
  bool letter = !s.empty() && ((s[0] >= u'A' && s[0] <= u'Z') || (s[0] >= u'a' && s[0] <= u'z'));
  return letter && s.size() >= 2 && s[1] == u':';
}

// An absolute path with ".", ".." and doubled or trailing "/" taken out; empty for a relative one.
std::string NormalPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return std::string();
  std::vector<std::string> parts;
  std::istringstream in(path);
  std::string part;
  while (std::getline(in, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string r;
  for (const std::string& p : parts) r += "/" + p;
  return r.empty() ? std::string("/") : r;
}

std::string CurrentFolder() {
  std::string buf(4096, '\0');
  return ::getcwd(buf.data(), buf.size()) ? std::string(buf.c_str()) : std::string();
}

UINT DriveType(const std::string& native) {
  std::string path = NormalPath(native);
  if (path.empty()) return DRIVE_NO_ROOT_DIR;
  std::vector<kernel::TMountEntry> table = kernel::MountTable();
  // The last mount on a point is the one seen there.
  for (auto it = table.rbegin(); it != table.rend(); ++it)
    if (it->Point == path) return kernel::DriveTypeOf(*it);
  return DRIVE_NO_ROOT_DIR;
}

std::string VolumeOf(const std::string& native) {
  std::string path = NormalPath(native);
  if (path.empty()) return std::string();
  std::string best = "/";
  for (const kernel::TMountEntry& m : kernel::MountTable()) {
    if (m.Deleted || m.Point.size() <= best.size()) continue;
    if (path == m.Point || (path.size() > m.Point.size() && path.compare(0, m.Point.size(), m.Point) == 0 &&
                            path[m.Point.size()] == '/'))
      best = m.Point;
  }
  return best;
}

}  // namespace

UINT GetDriveTypeW(const Char* root) {
  if (!root) {
    std::string cwd = CurrentFolder();
    return cwd.empty() ? DRIVE_NO_ROOT_DIR : DriveType(VolumeOf(cwd));
  }
  String r(root);
  if (IsLetterRoot(r)) return DRIVE_NO_ROOT_DIR;
  return DriveType(ToNativePath(r));
}

UINT GetDriveTypeA(const char* root) {
  if (!root) return GetDriveTypeW(nullptr);
  String w = AnsiToString(root);
  return GetDriveTypeW(w.c_str());
}

BOOL GetVolumePathNameW(const Char* path, Char* volume, DWORD capacity) {
  if (!path || !volume || capacity == 0) return 0;
  std::string v = VolumeOf(ToNativePath(String(path)));
  if (v.empty()) return 0;
  String w = FromNativePath(v);
  if (w.size() + 1 > capacity) return 0;
  std::copy(w.begin(), w.end(), volume);
  volume[w.size()] = 0;
  return 1;
}

BOOL GetVolumePathNameA(const char* path, char* volume, DWORD capacity) {
  if (!path || !volume || capacity == 0) return 0;
  String w = AnsiToString(path);
  std::vector<Char> buf(4096);
  if (!GetVolumePathNameW(w.c_str(), buf.data(), static_cast<DWORD>(buf.size()))) return 0;
  std::string a = StringToAnsi(buf.data());
  if (a.size() + 1 > capacity) return 0;
  std::memcpy(volume, a.c_str(), a.size() + 1);
  return 1;
}

}  // namespace pf
