// Entry points of the system modules that the layer implements.

#include "platform/kernel/KernelApi.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

namespace pf {

namespace {
size_t Len(const Char* s) { return s ? std::char_traits<Char>::length(s) : 0; }
int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }
}  // namespace

int lstrcmpiW(const Char* a, const Char* b) {
  return Sign(AnsiCompareText(StringView(a ? a : u"", Len(a)), StringView(b ? b : u"", Len(b))));
}

int lstrcmpW(const Char* a, const Char* b) {
  return Sign(CompareStr(StringView(a ? a : u"", Len(a)), StringView(b ? b : u"", Len(b))));
}

Char* lstrcpynW(Char* dst, const Char* src, int max) {
  if (!dst || max <= 0) return dst;
  int i = 0;
  for (; src && src[i] && i < max - 1; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

Char* lstrcpyW(Char* dst, const Char* src) {
  if (!dst) return dst;
  size_t n = Len(src);
  if (n) std::memmove(dst, src, n * sizeof(Char));
  dst[n] = 0;
  return dst;
}

DWORD CharUpperBuffW(Char* s, DWORD length) {
  if (!s) return 0;
  for (DWORD i = 0; i < length; ++i) s[i] = CharUpper(s[i]);
  return length;
}

DWORD CharLowerBuffW(Char* s, DWORD length) {
  if (!s) return 0;
  for (DWORD i = 0; i < length; ++i) s[i] = CharLower(s[i]);
  return length;
}

// ---- Folders ----

namespace {

struct FindState {
  std::string Folder;
  String Pattern;
  std::vector<std::string> Names;
  size_t Next{0};
};

std::string NativeFolder(String folder) {
  for (Char& c : folder)
    if (c == u'\\') c = u'/';
  if (folder.empty()) folder = u".";
  return ToNativePath(folder);
}

bool Match(StringView pat, StringView name) {
  // "*.*" means every name, as on the platform, even names without a dot.
  if (pat == u"*.*" || pat == u"*") return true;
  size_t p = 0, n = 0, starP = StringView::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && (pat[p] == u'?' || CharUpper(pat[p]) == CharUpper(name[n]))) {
      ++p;
      ++n;
    } else if (p < pat.size() && pat[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != StringView::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == u'*') ++p;
  return p == pat.size();
}

FILETIME ToFileTime(const struct timespec& ts) {
  // 100-ns intervals since 1601.
  uint64_t v = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ULL) * 10000000ULL + static_cast<uint64_t>(ts.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

DWORD AttributesOf(const std::string& path, const std::string& name, struct stat* out) {
  struct stat ls {};
  if (lstat(path.c_str(), &ls) != 0) return INVALID_FILE_ATTRIBUTES;
  struct stat st = ls;
  DWORD attr = 0;
  if (S_ISLNK(ls.st_mode)) {
    attr |= FILE_ATTRIBUTE_REPARSE_POINT;
    if (stat(path.c_str(), &st) != 0) st = ls;
  }
  if (S_ISDIR(st.st_mode)) attr |= FILE_ATTRIBUTE_DIRECTORY;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= FILE_ATTRIBUTE_HIDDEN;
  if (!(st.st_mode & S_IWUSR)) attr |= FILE_ATTRIBUTE_READONLY;
  if (attr == 0) attr = FILE_ATTRIBUTE_NORMAL;
  if (out) *out = st;
  return attr;
}

bool Fill(FindState& s, WIN32_FIND_DATAW* data) {
  while (s.Next < s.Names.size()) {
    const std::string& name = s.Names[s.Next++];
    String wname = FromNativePath(name);
    if (!Match(s.Pattern, wname)) continue;
    struct stat st {};
    DWORD attr = AttributesOf(s.Folder + "/" + name, name, &st);
    if (attr == INVALID_FILE_ATTRIBUTES) continue;
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = attr;
    data->ftLastWriteTime = ToFileTime(st.st_mtim);
    data->ftLastAccessTime = ToFileTime(st.st_atim);
    data->ftCreationTime = ToFileTime(st.st_ctim);
    auto size = (attr & FILE_ATTRIBUTE_DIRECTORY) ? uint64_t{0} : static_cast<uint64_t>(st.st_size);
    data->nFileSizeLow = static_cast<DWORD>(size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    size_t n = std::min<size_t>(wname.size(), MAX_PATH - 1);
    std::copy_n(wname.begin(), n, data->cFileName);
    data->cFileName[n] = 0;
    return true;
  }
  return false;
}

}  // namespace

HANDLE FindFirstFileW(const Char* pattern, WIN32_FIND_DATAW* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  String p(pattern);
  size_t sep = p.find_last_of(u"\\/");
  auto state = std::make_unique<FindState>();
  state->Folder = NativeFolder(sep == String::npos ? String() : p.substr(0, sep == 0 ? 1 : sep));
  state->Pattern = sep == String::npos ? p : p.substr(sep + 1);
  DIR* dir = opendir(state->Folder.c_str());
  if (!dir) return INVALID_HANDLE_VALUE;
  std::vector<std::string> names{".", ".."};
  while (dirent* e = readdir(dir)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(dir);
  if (state->Folder == "/") names.erase(names.begin(), names.begin() + 2);
  state->Names = std::move(names);
  if (!Fill(*state, data)) return INVALID_HANDLE_VALUE;
  return state.release();
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  if (!find || find == INVALID_HANDLE_VALUE || !data) return 0;
  return Fill(*static_cast<FindState*>(find), data);
}

namespace {
bool ToAnsi(const WIN32_FIND_DATAW& w, WIN32_FIND_DATAA* a) {
  *a = WIN32_FIND_DATAA{};
  a->dwFileAttributes = w.dwFileAttributes;
  a->ftCreationTime = w.ftCreationTime;
  a->ftLastAccessTime = w.ftLastAccessTime;
  a->ftLastWriteTime = w.ftLastWriteTime;
  a->nFileSizeHigh = w.nFileSizeHigh;
  a->nFileSizeLow = w.nFileSizeLow;
  std::string name = StringToCodePage(w.cFileName, CP_ACP);
  size_t n = std::min<size_t>(name.size(), MAX_PATH - 1);
  std::copy_n(name.begin(), n, a->cFileName);
  return true;
}
}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  String w = CodePageToString(pattern, CP_ACP);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(w.c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) ToAnsi(found, data);
  return h;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
  WIN32_FIND_DATAW found;
  if (!data || !FindNextFileW(find, &found)) return 0;
  return ToAnsi(found, data);
}

BOOL FindClose(HANDLE find) {
  if (!find || find == INVALID_HANDLE_VALUE) return 0;
  delete static_cast<FindState*>(find);
  return 1;
}

DWORD GetFileAttributesW(const Char* path) {
  if (!path || !*path) return INVALID_FILE_ATTRIBUTES;
  std::string native = NativeFolder(path);
  size_t slash = native.find_last_of('/');
  return AttributesOf(native, slash == std::string::npos ? native : native.substr(slash + 1), nullptr);
}

BOOL CreateDirectoryW(const Char* path, void*) {
  if (!path) return 0;
  return mkdir(NativeFolder(path).c_str(), 0777) == 0;
}

DWORD GetTempPathW(DWORD size, Char* buffer) {
  String t = GetEnvironmentVariable(u"TMPDIR");
  if (t.empty()) t = u"/tmp";
  t = IncludeTrailingPathDelimiter(t);
  if (!buffer || size <= t.size()) return static_cast<DWORD>(t.size() + 1);
  std::copy(t.begin(), t.end(), buffer);
  buffer[t.size()] = 0;
  return static_cast<DWORD>(t.size());
}

BOOL GetDiskFreeSpaceExW(const Char* dir, uint64_t* freeToCaller, uint64_t* total, uint64_t* totalFree) {
  struct statvfs v {};
  std::string path = NativeFolder(dir ? String(dir) : String());
  if (statvfs(path.c_str(), &v) != 0) return 0;
  if (freeToCaller) *freeToCaller = static_cast<uint64_t>(v.f_bavail) * v.f_frsize;
  if (total) *total = static_cast<uint64_t>(v.f_blocks) * v.f_frsize;
  if (totalFree) *totalFree = static_cast<uint64_t>(v.f_bfree) * v.f_frsize;
  return 1;
}

BOOL GetDiskFreeSpaceExA(const char* dir, uint64_t* freeToCaller, uint64_t* total, uint64_t* totalFree) {
  String w = dir ? CodePageToString(dir, CP_ACP) : String();
  return GetDiskFreeSpaceExW(dir ? w.c_str() : nullptr, freeToCaller, total, totalFree);
}

BOOL GetDiskFreeSpaceA(const char* root, DWORD* sectorsPerCluster, DWORD* bytesPerSector, DWORD* freeClusters,
                       DWORD* totalClusters) {
  struct statvfs v {};
  std::string path = NativeFolder(root ? CodePageToString(root, CP_ACP) : String());
  if (statvfs(path.c_str(), &v) != 0) return 0;
  const uint64_t cluster = v.f_frsize ? v.f_frsize : v.f_bsize;
  const DWORD sector = cluster % 512 == 0 ? 512 : static_cast<DWORD>(cluster);
  auto clamp = [](uint64_t n) { return static_cast<DWORD>(std::min<uint64_t>(n, 0xFFFFFFFFu)); };
  if (sectorsPerCluster) *sectorsPerCluster = static_cast<DWORD>(cluster / sector);
  if (bytesPerSector) *bytesPerSector = sector;
  if (freeClusters) *freeClusters = clamp(v.f_bavail);
  if (totalClusters) *totalClusters = clamp(v.f_blocks);
  return 1;
}

// ---- Item ID lists ----

Word ItemIdSize(const void* id) {
  const auto* b = static_cast<const Byte*>(id);
  return static_cast<Word>(b[0] | (b[1] << 8));
}

namespace {
const Byte* NextId(const Byte* p) { return p + ItemIdSize(p); }
}  // namespace

BOOL ILIsEqual(const ITEMIDLIST* a, const ITEMIDLIST* b) {
  if (!a || !b) return 0;
  auto* p = reinterpret_cast<const Byte*>(a);
  auto* q = reinterpret_cast<const Byte*>(b);
  while (true) {
    Word cp = ItemIdSize(p), cq = ItemIdSize(q);
    if (cp != cq) return 0;
    if (cp == 0) return 1;
    if (cp < 2 || std::memcmp(p, q, cp) != 0) return 0;
    p = NextId(p);
    q = NextId(q);
  }
}

BOOL ILIsParent(const ITEMIDLIST* parent, const ITEMIDLIST* child, BOOL immediate) {
  if (!parent || !child) return 0;
  auto* p = reinterpret_cast<const Byte*>(parent);
  auto* c = reinterpret_cast<const Byte*>(child);
  while (ItemIdSize(p) != 0) {
    Word cp = ItemIdSize(p);
    if (cp < 2 || cp != ItemIdSize(c) || std::memcmp(p, c, cp) != 0) return 0;
    p = NextId(p);
    c = NextId(c);
  }
  // The child must go on below the parent.
  if (ItemIdSize(c) < 2) return 0;
  if (immediate && ItemIdSize(NextId(c)) != 0) return 0;
  return 1;
}

}  // namespace pf
