// Deleting files for the shell: to the freedesktop trash (the home trash; a file on another device
// fails rather than being deleted for good) or permanently, always after the confirmation hook.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

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

// Reserves the info file first (with O_EXCL, so two deletions never pick one name), then moves
// the file; a failed move takes the reservation back.
bool MoveToTrash(const std::string& path) {
  std::string trash = JoinPath(DataHome(), "Trash");
  std::string files = JoinPath(trash, "files"), info = JoinPath(trash, "info");
  if (!MakePrivateDir(trash) || !MakePrivateDir(files) || !MakePrivateDir(info)) return false;
  std::string base = BaseName(path);
  for (int n = 1; n < 10000; ++n) {
    std::string name = n == 1 ? base : base + "." + std::to_string(n);
    std::string infoFile = JoinPath(info, name + ".trashinfo");
    std::string target = JoinPath(files, name);
    // A file left in the trash without its info file keeps its name too.
    if (PathExists(target)) continue;
    int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char date[32];
    std::strftime(date, sizeof(date), "%Y-%m-%dT%H:%M:%S", &tm);
    std::string text = "[Trash Info]\nPath=" + PercentEncode(path, "-._~/") + "\nDeletionDate=" + date + "\n";
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!written || ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
      ::unlink(infoFile.c_str());
      return false;
    }
    return true;
  }
  return false;
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
