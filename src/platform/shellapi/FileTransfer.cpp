// Copying, moving and linking files into a folder, never over an existing name.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

namespace {

// The path with "." and ".." and repeated slashes resolved by the links on the way.
std::string RealPath(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::weakly_canonical(std::filesystem::path(path), ec);
  return ec ? path : p.string();
}

bool IsSameOrBelow(const std::string& dir, const std::string& folder) {
  return dir == folder || (dir.size() > folder.size() && dir.compare(0, folder.size(), folder) == 0 &&
                           (folder == "/" || dir[folder.size()] == '/'));
}

std::string Candidate(const std::string& name, bool isDir, TTransfer how, int n) {
  // The extension stays at the end, except for folders and names that are only an extension.
  size_t dot = name.find_last_of('.');
  bool split = !isDir && dot != std::string::npos && dot > 0;
  std::string stem = split ? name.substr(0, dot) : name, ext = split ? name.substr(dot) : std::string();
  std::string mark;
  switch (how) {
    case TTransfer::Copy: mark = n == 1 ? " (copy)" : " (copy " + std::to_string(n) + ")"; break;
    case TTransfer::Link: mark = n == 1 ? " (link)" : " (link " + std::to_string(n) + ")"; break;
    case TTransfer::Move: mark = " (" + std::to_string(n + 1) + ")"; break;
  }
  return stem + mark + ext;
}

// Copies one entry to `to`, which must not exist; links are copied as links, folders with what
// they hold. Nothing is ever opened for writing that already existed.
bool CopyEntry(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = ::readlink(from.c_str(), buf.data(), buf.size());
    if (n < 0 || static_cast<size_t>(n) >= buf.size()) return false;
    return ::symlink(std::string(buf.data(), static_cast<size_t>(n)).c_str(), to.c_str()) == 0;
  }
  if (S_ISDIR(st.st_mode)) {
    if (::mkdir(to.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0) return false;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(from, ec)) {
      std::string name = e.path().filename().string();
      if (!CopyEntry(JoinPath(from, name), JoinPath(to, name))) return false;
    }
    if (ec) return false;
    ::chmod(to.c_str(), st.st_mode & 07777);
    return true;
  }
  if (!S_ISREG(st.st_mode)) return false;  // devices, pipes and sockets are not copied
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, (st.st_mode & 0777) | S_IWUSR);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof(buf));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  ::fchmod(out, st.st_mode & 07777);
  if (::close(out) != 0) ok = false;
  ::close(in);
  return ok;
}

// Makes the entry under a free name, trying the next name when another one took it meanwhile.
HRESULT Place(const std::string& source, const std::string& dir, TTransfer how, std::string& made) {
  std::string name = BaseName(source);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string target = JoinPath(dir, FreeTargetName(dir, name, how));
    switch (how) {
      case TTransfer::Link:
        if (::symlink(source.c_str(), target.c_str()) == 0) {
          made = target;
          return S_OK;
        }
        if (errno == EEXIST) continue;
        return E_FAIL;
      case TTransfer::Move:
        if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
          made = target;
          return S_OK;
        }
        if (errno == EEXIST) continue;
        if (errno != EXDEV) return errno == EACCES || errno == EPERM ? E_ACCESSDENIED : E_FAIL;
        [[fallthrough]];  // another file system: copy, then remove the source
      case TTransfer::Copy: {
        if (PathExists(target)) continue;
        if (!CopyEntry(source, target)) {
          // Only what this call made is taken back.
          std::error_code ec;
          if (PathExists(target)) std::filesystem::remove_all(target, ec);
          return E_FAIL;
        }
        made = target;
        if (how == TTransfer::Move) {
          std::error_code ec;
          std::filesystem::remove_all(source, ec);
          if (ec) return E_FAIL;
        }
        return S_OK;
      }
    }
  }
  return E_FAIL;
}

}  // namespace

std::string FreeTargetName(const std::string& dir, const std::string& name, TTransfer how) {
  if (!PathExists(JoinPath(dir, name))) return name;
  bool isDir = IsDirectory(JoinPath(dir, name));
  for (int n = 1;; ++n) {
    std::string c = Candidate(name, isDir, how, n);
    if (!PathExists(JoinPath(dir, c))) return c;
  }
}

HRESULT TransferFiles(const std::vector<std::string>& sources, const std::string& targetDir, TTransfer how,
                      std::vector<std::string>* made) {
  if (sources.empty() || !IsDirectory(targetDir)) return E_INVALIDARG;
  std::string dir = RealPath(targetDir);
  for (const std::string& s : sources) {
    if (s.empty() || s[0] != '/' || !PathExists(s)) return HRESULT_FILE_NOT_FOUND;
    struct stat st {};
    // A folder into itself would copy without end; a link may point anywhere.
    if (how != TTransfer::Link && ::lstat(s.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        IsSameOrBelow(dir, RealPath(s)))
      return E_INVALIDARG;
  }
  for (const std::string& s : sources) {
    std::string parent = s.substr(0, s.find_last_of('/'));
    if (parent.empty()) parent = "/";
    if (how == TTransfer::Move && RealPath(parent) == dir) {
      if (made) made->push_back(s);
      continue;
    }
    std::string target;
    HRESULT hr = Place(s, targetDir, how, target);
    if (FAILED(hr)) return hr;
    if (made) made->push_back(target);
  }
  return S_OK;
}

}  // namespace pf::shellapi
