// Deleting files for the shell: to the freedesktop trash or permanently, always after the
// confirmation hook. A file goes to the home trash when it lives on the home trash's file system,
// else to the trash at the top of its own volume; when neither can take it by rename the delete
// fails: nothing asked for the trash is ever deleted for good.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

namespace {

constexpr int kErrorFileNotFound = 2;
constexpr int kErrorCancelled = 1223;
constexpr int kErrorFailed = 1;

bool MakePrivateDir(const std::string& dir) {
  if (!ForceDirectories(FromNativePath(dir))) return false;
  return ::chmod(dir.c_str(), 0700) == 0 || IsDirectory(dir);
}

std::string ParentDir(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// Which mount a folder lies on: the kernel's mount id where it tells it, so that a bind mount
// counts as a volume of its own (a rename across it fails as across devices), else the device.
struct TMountKey {
  uint64_t Device{0};
  uint64_t MountId{0};
  bool operator==(const TMountKey&) const = default;
};

std::optional<TMountKey> MountKeyOf(const std::string& dir) {
  struct statx sx {};
  if (::statx(AT_FDCWD, dir.c_str(), 0, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0) return std::nullopt;
  TMountKey k;
  k.Device = (static_cast<uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  if (sx.stx_mask & STATX_MNT_ID) k.MountId = sx.stx_mnt_id;
  return k;
}

// The nearest folder of a path that exists (the home trash may not have been made yet).
std::optional<TMountKey> MountKeyOfNearest(std::string dir) {
  while (true) {
    if (auto k = MountKeyOf(dir)) return k;
    if (dir == "/") return std::nullopt;
    dir = ParentDir(dir);
  }
}

// The top folder of the volume holding `dir`: the highest folder above it on the same mount.
std::string VolumeTop(const std::string& dir, const TMountKey& key) {
  std::string top = dir;
  while (top != "/") {
    std::string up = ParentDir(top);
    auto k = MountKeyOf(up);
    if (!k || !(*k == key)) break;
    top = up;
  }
  return top;
}

// A trash folder this user may use: a real folder (never a link someone else could point
// elsewhere) owned by the user that no one else may write in; made with mode 700 when missing.
bool OwnTrashDir(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == ::getuid() && (st.st_mode & 022) == 0;
}

bool PrepareTrash(const std::string& trash) {
  return OwnTrashDir(trash) && OwnTrashDir(JoinPath(trash, "files")) && OwnTrashDir(JoinPath(trash, "info"));
}

enum class TTrashResult { Done, CrossDevice, Failed };

// Reserves the info file first (with O_EXCL, so two deletions never pick one name), then moves
// the file; a failed move takes the reservation back. `recorded` is the path the info file names.
TTrashResult TrashInto(const std::string& trash, const std::string& path, const std::string& recorded) {
  std::string files = JoinPath(trash, "files"), info = JoinPath(trash, "info");
  std::string base = BaseName(path);
  for (int n = 1; n < 10000; ++n) {
    std::string name = n == 1 ? base : base + "." + std::to_string(n);
    std::string infoFile = JoinPath(info, name + ".trashinfo");
    std::string target = JoinPath(files, name);
    // A file left in the trash without its info file keeps its name too.
    if (PathExists(target)) continue;
    int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return TTrashResult::Failed;
    }
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char date[32];
    std::strftime(date, sizeof(date), "%Y-%m-%dT%H:%M:%S", &tm);
    std::string text = "[Trash Info]\nPath=" + PercentEncode(recorded, "-._~/") + "\nDeletionDate=" + date + "\n";
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    int err = 0;
    if (!written) err = EIO;
    else if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) err = errno;
    if (err == 0) return TTrashResult::Done;
    ::unlink(infoFile.c_str());
    return err == EXDEV ? TTrashResult::CrossDevice : TTrashResult::Failed;
  }
  return TTrashResult::Failed;
}

// The trash at the top of the file's own volume: $topdir/.Trash/$uid when the administrator made
// $topdir/.Trash (a sticky folder, not a link), else $topdir/.Trash-$uid. The info file names the
// file relative to $topdir, so the volume's trash stays right wherever the volume is mounted next.
bool MoveToVolumeTrash(const std::string& path, const std::string& top) {
  std::string uid = std::to_string(::getuid());
  std::string rel = top == "/" ? path.substr(1) : path.substr(top.size() + 1);
  std::string shared = JoinPath(top, ".Trash");
  struct stat st {};
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    std::string mine = JoinPath(shared, uid);
    if (PrepareTrash(mine)) {
      TTrashResult r = TrashInto(mine, path, rel);
      if (r == TTrashResult::Done) return true;
    }
  }
  std::string own = JoinPath(top, ".Trash-" + uid);
  return PrepareTrash(own) && TrashInto(own, path, rel) == TTrashResult::Done;
}

bool MoveToTrash(const std::string& path) {
  std::string dir = ParentDir(path);
  auto key = MountKeyOf(dir);
  if (!key) return false;
  std::string home = JoinPath(DataHome(), "Trash");
  auto homeKey = MountKeyOfNearest(home);
  if (homeKey && *homeKey == *key) {
    if (!MakePrivateDir(home) || !MakePrivateDir(JoinPath(home, "files")) || !MakePrivateDir(JoinPath(home, "info")))
      return false;
    TTrashResult r = TrashInto(home, path, path);
    if (r != TTrashResult::CrossDevice) return r == TTrashResult::Done;
  }
  return MoveToVolumeTrash(path, VolumeTop(dir, *key));
}

}  // namespace

HRESULT DeleteFiles(const std::vector<std::string>& paths, bool toTrash, bool askFirst) {
  if (paths.empty()) return E_INVALIDARG;
  for (const std::string& p : paths)
    if (p.empty() || p[0] != '/' || !PathExists(p)) return HRESULT_FILE_NOT_FOUND;
  if (askFirst) {
    auto confirm = Hooks().ConfirmDelete;
    if (!confirm || !confirm(paths, toTrash)) return E_ABORT;
  }
  for (const std::string& p : paths) {
    if (toTrash) {
      if (!MoveToTrash(p)) return E_FAIL;
    } else {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::path(p), ec);
      if (ec) return E_FAIL;
    }
  }
  return S_OK;
}

}  // namespace pf::shellapi

namespace pf {

int SHFileOperationW(SHFILEOPSTRUCTW* op) {
  using namespace shellapi;
  if (!op) return kErrorFailed;
  op->fAnyOperationsAborted = 0;
  if (op->wFunc != FO_DELETE || !op->pFrom) return kErrorFailed;
  std::vector<std::string> paths;
  for (const Char* p = op->pFrom; *p; p += String(p).size() + 1) paths.push_back(ToNativePath(String(p)));
  if (paths.empty()) return kErrorFailed;
  bool toTrash = (op->fFlags & FOF_ALLOWUNDO) != 0;
  HRESULT hr = DeleteFiles(paths, toTrash, !(op->fFlags & FOF_NOCONFIRMATION));
  if (hr == E_ABORT) {
    op->fAnyOperationsAborted = 1;
    return kErrorCancelled;
  }
  return hr == HRESULT_FILE_NOT_FOUND ? kErrorFileNotFound : FAILED(hr) ? kErrorFailed : 0;
}

}  // namespace pf
