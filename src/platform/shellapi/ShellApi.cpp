// Find data of paths, the system image list's names, COM's start-up and the module table's
// entries of shell32.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/kernel/Modules.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

FILETIME UnixToFileTime(int64_t sec, int64_t nsec) {
  // 100-nanosecond ticks since 1601-01-01.
  uint64_t ticks = static_cast<uint64_t>(sec * 10000000 + nsec / 100 + 116444736000000000LL);
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

bool FindDataOfPath(const std::string& nativePath, WIN32_FIND_DATAW& data) {
  struct statx sx {};
  if (::statx(AT_FDCWD, nativePath.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return false;
  data = WIN32_FIND_DATAW{};
  struct stat st {};
  bool followed = ::stat(nativePath.c_str(), &st) == 0;
  bool link = S_ISLNK(sx.stx_mode);
  bool dir = followed ? S_ISDIR(st.st_mode) : false;
  DWORD a = 0;
  if (dir) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (link) {
    a |= FILE_ATTRIBUTE_REPARSE_POINT;
    data.dwReserved0 = IO_REPARSE_TAG_SYMLINK;
  }
  std::string name = BaseName(nativePath);
  if (!name.empty() && name[0] == '.' && name != "/") a |= FILE_ATTRIBUTE_HIDDEN;
  // The mode says read-only even to root, whom access() lets write anything.
  if (!(sx.stx_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) || ::access(nativePath.c_str(), W_OK) != 0)
    a |= FILE_ATTRIBUTE_READONLY;
  mode_t m = followed ? st.st_mode : sx.stx_mode;
  if (S_ISCHR(m) || S_ISBLK(m) || S_ISFIFO(m) || S_ISSOCK(m)) a |= FILE_ATTRIBUTE_SYSTEM;
  if (S_ISREG(sx.stx_mode) && sx.stx_blocks * 512 < sx.stx_size) a |= FILE_ATTRIBUTE_SPARSE_FILE;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  data.dwFileAttributes = a;
  bool hasBirth = (sx.stx_mask & STATX_BTIME) != 0;
  const auto& born = hasBirth ? sx.stx_btime : sx.stx_mtime;
  data.ftCreationTime = UnixToFileTime(born.tv_sec, born.tv_nsec);
  data.ftLastAccessTime = UnixToFileTime(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
  data.ftLastWriteTime = UnixToFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
  uint64_t size = dir ? 0 : sx.stx_size;
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
  String wide = FromNativePath(name);
  size_t n = std::min<size_t>(wide.size(), MAX_PATH - 1);
  std::copy_n(wide.data(), n, data.cFileName);
  data.cFileName[n] = 0;
  return true;
}

// ---- The system image list ----

namespace {

struct TIconTable {
  std::mutex Lock;
  HIMAGELIST Small{nullptr};
  HIMAGELIST Large{nullptr};
  std::vector<std::string> Names{"application-x-generic", "folder",         "folder-open",
                                 "user-desktop",          "computer",       "user-trash",
                                 "network-workgroup",     "drive-harddisk", "drive-removable-media"};
  std::map<std::string, int> Index;
  std::function<void(int, const std::string&)> Listener;
  TIconTable() {
    for (size_t i = 0; i < Names.size(); ++i) Index[Names[i]] = static_cast<int>(i);
  }
};

TIconTable& Icons() {
  static TIconTable t;
  return t;
}

// Adds the icon's picture to a list that exists, in the table's order.
void AddPicture(bool small, const std::string& iconName) {
  TIconTable& t = Icons();
  HIMAGELIST list;
  {
    std::lock_guard lock(t.Lock);
    list = small ? t.Small : t.Large;
  }
  if (!list) return;
  int size = small ? 16 : 32;
  HBITMAP bmp = ThemeIconBitmap(iconName, size);
  if (!bmp) return;
  ImageList_Add(list, bmp, nullptr);
  DeleteObject(bmp);
}

void AddPictures(const std::string& iconName) {
  AddPicture(true, iconName);
  AddPicture(false, iconName);
}

}  // namespace

int SystemIconIndex(const std::string& iconName) {
  TIconTable& t = Icons();
  std::function<void(int, const std::string&)> listener;
  int index;
  {
    std::lock_guard lock(t.Lock);
    auto it = t.Index.find(iconName);
    if (it != t.Index.end()) return it->second;
    index = static_cast<int>(t.Names.size());
    t.Names.push_back(iconName);
    t.Index[iconName] = index;
    listener = t.Listener;
  }
  AddPictures(iconName);
  if (listener) listener(index, iconName);
  return index;
}

HIMAGELIST SystemImageList(bool small) {
  TIconTable& t = Icons();
  std::vector<std::string> names;
  {
    std::lock_guard lock(t.Lock);
    HIMAGELIST& list = small ? t.Small : t.Large;
    if (list) return list;
    int size = small ? 16 : 32;
    list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 16);
    names = t.Names;
  }
  for (const std::string& n : names) AddPicture(small, n);
  std::lock_guard lock(t.Lock);
  return small ? t.Small : t.Large;
}

void FreeSystemImageLists() {
  TIconTable& t = Icons();
  std::lock_guard lock(t.Lock);
  for (HIMAGELIST* l : {&t.Small, &t.Large}) {
    if (*l) ImageList_Destroy(*l);
    *l = nullptr;
  }
}

std::string SystemIconName(int index) {
  TIconTable& t = Icons();
  std::lock_guard lock(t.Lock);
  return index >= 0 && index < static_cast<int>(t.Names.size()) ? t.Names[static_cast<size_t>(index)] : std::string();
}

int SystemIconCount() {
  TIconTable& t = Icons();
  std::lock_guard lock(t.Lock);
  return static_cast<int>(t.Names.size());
}

void SetSystemIconListener(std::function<void(int, const std::string&)> listener) {
  TIconTable& t = Icons();
  std::lock_guard lock(t.Lock);
  t.Listener = std::move(listener);
}

BOOL SHGetPathFromIDListW(const ITEMIDLIST* pidl, Char* path) {
  if (!path) return 0;
  path[0] = 0;
  if (!pidl) return 0;
  std::string native = PathFromIdList(pidl);
  if (native.empty()) return 0;
  String wide = FromNativePath(native);
  if (wide.size() >= SHELL_PATH_CAPACITY) return 0;
  std::copy(wide.begin(), wide.end(), path);
  path[wide.size()] = 0;
  return 1;
}

void RegisterShellExports() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterExport("shell32", "SHGetKnownFolderIDList", &SHGetKnownFolderIDList);
    RegisterExport("shell32", "SHGetSpecialFolderLocation", &SHGetSpecialFolderLocation);
    RegisterExport("shell32", "SHGetDesktopFolder", &SHGetDesktopFolder);
    RegisterExport("shell32", "SHGetFileInfoW", &SHGetFileInfoW);
    RegisterExport("shell32", "SHGetDataFromIDListW", &SHGetDataFromIDListW);
    RegisterExport("shell32", "SHGetPathFromIDListW", &SHGetPathFromIDListW);
    RegisterExport("shell32", "SHFileOperationW", &SHFileOperationW);
    RegisterExport("shell32", "CDefFolderMenu_Create2", &CDefFolderMenu_Create2);
    RegisterExport("shell32", "SHMultiFileProperties", &SHMultiFileProperties);
    RegisterOrdinal("shell32", 660, &FileIconInit);
    RegisterComClass(CLSID_ShellLink, [](REFIID iid, void** out) {
      IUnknown* link = CreateShellLinkObject();
      HRESULT hr = link->QueryInterface(iid, out);
      link->Release();
      return hr;
    });
  });
}

namespace {
std::atomic<int> gComInit{0};
}  // namespace

namespace testing {
int LiveShellObjects() { return gLiveObjects.load(); }
int CoInitializeCount() { return gComInit.load(); }
}  // namespace testing

}  // namespace pf::shellapi

namespace pf {

HRESULT CoInitialize(void*) { return shellapi::gComInit++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (shellapi::gComInit > 0) --shellapi::gComInit;
}

}  // namespace pf
