// Item IDs of the namespace, the paths they name, the user's folders and the mounted drives.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/kernel/Drives.h"
#include "platform/shellapi/ShellApi_p.h"

namespace pf::shellapi {

std::atomic<int> gLiveObjects{0};

// ---- Folders of the user ----

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// The base directories take only absolute paths; a relative one counts as unset.
std::string XdgHome(const char* var, const char* fallback) {
  std::string v = Env(var);
  if (!v.empty() && v[0] == '/') return v;
  return JoinPath(HomeDir(), fallback);
}

}  // namespace

std::string HomeDir() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  }
  return home;
}

std::string ConfigHome() { return XdgHome("XDG_CONFIG_HOME", ".config"); }
std::string DataHome() { return XdgHome("XDG_DATA_HOME", ".local/share"); }
std::string CacheHome() { return XdgHome("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> ParseUserDirs(const std::string& text, const std::string& key, const std::string& home) {
  std::optional<std::string> result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] == '#') continue;
    if (line.compare(i, key.size(), key) != 0) continue;
    i += key.size();
    if (i >= line.size() || line[i] != '=') continue;
    ++i;
    if (i >= line.size() || line[i] != '"') continue;
    ++i;
    std::string value;
    bool closed = false, control = false;
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size()) c = line[++i];
      else if (c == '"') {
        closed = true;
        break;
      }
      // No folder name holds a NUL, and control characters are no part of what the desktop
      // writes: such a value would name a folder other than the one the bytes spell.
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) control = true;
      value += c;
    }
    if (!closed || control) continue;
    // The file holds "$HOME/..." or an absolute path; anything else is not a folder of its format.
    if (value == "$HOME") {
      result = home;
    } else if (value.rfind("$HOME/", 0) == 0) {
      result = JoinPath(home, value.substr(6));
    } else if (!value.empty() && value[0] == '/') {
      result = value;
    }
  }
  // Trailing slashes name the same folder.
  while (result && result->size() > 1 && result->back() == '/') result->pop_back();
  return result;
}

std::string UserDir(const std::string& key) {
  std::string home = HomeDir();
  std::string text;
  // A file past its bound is not one the desktop wrote: the defaults stand.
  if (ReadBoundedFile(JoinPath(ConfigHome(), "user-dirs.dirs"), kUserDirsMaxBytes, text))
    if (auto dir = ParseUserDirs(text, key, home)) return *dir;
  return key == "XDG_DESKTOP_DIR" ? JoinPath(home, "Desktop") : home;
}

std::string PhysicalDesktopDir() { return UserDir("XDG_DESKTOP_DIR"); }

// ---- Paths ----

std::string JoinPath(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string r = dir;
  if (r.back() != '/') r += '/';
  r += name;
  return r;
}

std::string BaseName(const std::string& path) {
  if (path == "/") return path;
  size_t p = path.find_last_of('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool ValidFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string PercentEncode(std::string_view bytes, const char* keep) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string r;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || std::strchr(keep, c)) {
      r += static_cast<char>(c);
    } else {
      r += '%';
      r += kHex[c >> 4];
      r += kHex[c & 15];
    }
  }
  return r;
}

// ---- Mounts ----

namespace {

bool StartsWithDir(const std::string& path, const std::string& dir) {
  if (dir == "/") return !path.empty() && path[0] == '/';
  return path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/';
}

// "/", the user's own and removable mounts, and network mounts wherever they are; system and
// pseudo file systems stay out. A network mount is listed from the table alone: nothing here
// waits on a server to tell whether it is still there.
std::vector<TMount> ReadMounts(const std::vector<kernel::TMountEntry>& table) {
  std::vector<TMount> mounts{{"/", false}};
  for (const kernel::TMountEntry& m : table) {
    if (m.Deleted || m.Point == "/") continue;
    bool remote = kernel::IsNetworkFileSystem(m.FsType);
    static const char* const kSkip[] = {"proc", "sysfs", "tmpfs", "devtmpfs", "cgroup", "cgroup2", "autofs", "overlay", "squashfs"};
    if (std::any_of(std::begin(kSkip), std::end(kSkip), [&](const char* s) { return m.FsType == s; })) continue;
    // Media the desktop mounts for the user (sticks, cards, discs) are removable, present or not.
    UINT type = remote ? DRIVE_REMOTE : kernel::DriveTypeOf(m);
    bool removable = type == DRIVE_REMOVABLE || type == DRIVE_CDROM || StartsWithDir(m.Point, "/media") ||
                     StartsWithDir(m.Point, "/run/media");
    if (!remote && !removable && !StartsWithDir(m.Point, "/mnt")) continue;
    TMount t{m.Point, removable};
    t.Remote = remote;
    // A point mounted twice is listed once, as the later mount there.
    mounts.erase(std::remove_if(mounts.begin(), mounts.end(), [&](const TMount& x) { return x.Path == t.Path; }),
                 mounts.end());
    mounts.push_back(t);
  }
  return mounts;
}

// Every item's path is matched against the mounts, so the list is made again only when the table
// changes or after a moment (a device may go while its mount stays in the table).
std::vector<TMount> DesktopMounts() {
  static std::mutex lock;
  static uint64_t generation = 0;
  static std::vector<TMount> cached;
  static std::chrono::steady_clock::time_point madeAt;
  uint64_t now = kernel::MountTableGeneration();
  std::lock_guard guard(lock);
  auto t = std::chrono::steady_clock::now();
  if (cached.empty() || now != generation || t - madeAt > std::chrono::seconds(2)) {
    cached = ReadMounts(kernel::MountTable());
    generation = now;
    madeAt = t;
  }
  return cached;
}

std::mutex& HooksMutex() {
  static std::mutex m;
  return m;
}

TShellHooks DefaultHooks() {
  TShellHooks h;
  h.Mounts = DesktopMounts;
  // Without a hook nothing is deleted: the program has no delete command of its own.
  h.ConfirmDelete = [](const std::vector<std::string>&, bool) { return false; };
  return h;
}

std::optional<TMount> MountOf(const std::string& path) {
  std::optional<TMount> best;
  for (const TMount& m : Hooks().Mounts())
    if ((path == m.Path || StartsWithDir(path, m.Path)) && (!best || m.Path.size() > best->Path.size())) best = m;
  return best;
}

}  // namespace

TShellHooks& Hooks() {
  static TShellHooks h = DefaultHooks();
  return h;
}

void ResetHooks() {
  std::lock_guard lock(HooksMutex());
  Hooks() = DefaultHooks();
}

// ---- Item IDs ----

std::string EncodeId(TItemKind kind, std::string_view payload) {
  size_t cb = payload.size() + 5;
  std::string id;
  id += static_cast<char>(cb & 0xFF);
  id += static_cast<char>((cb >> 8) & 0xFF);
  id += static_cast<char>(kind);
  id += '\0';
  id.append(payload);
  id += '\0';
  return id;
}

bool DecodeId(const Byte* id, TItemId& out) {
  Word cb = ItemIdSize(id);
  if (cb < 5) return false;
  if (id[3] != 0 || id[cb - 1] != 0) return false;
  Byte kind = id[2];
  if (kind < 1 || kind > 4) return false;
  std::string_view payload(reinterpret_cast<const char*>(id + 4), cb - 5u);
  if (payload.find('\0') != std::string_view::npos) return false;
  out.Kind = static_cast<TItemKind>(kind);
  out.Payload = payload;
  return true;
}

std::string IdBytes(const ITEMIDLIST* pidl) {
  if (!pidl) return std::string();
  const auto* start = reinterpret_cast<const Byte*>(pidl);
  const Byte* p = start;
  while (Word cb = ItemIdSize(p)) p += cb;
  return std::string(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
}

PItemIDList AllocIdList(std::string_view bytes) {
  auto* p = static_cast<Byte*>(CoTaskMemAlloc(bytes.size() + 2));
  if (!p) return nullptr;
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  p[bytes.size()] = 0;
  p[bytes.size() + 1] = 0;
  return reinterpret_cast<PItemIDList>(p);
}

std::optional<TNode> Resolve(const TNode& start, const Byte* ids) {
  TNode node = start;
  for (const Byte* p = ids; ItemIdSize(p) != 0; p += ItemIdSize(p)) {
    TItemId id;
    if (!DecodeId(p, id)) return std::nullopt;
    std::string payload(id.Payload);
    switch (node.Type) {
      case TNode::Desktop:
        if (id.Kind == TItemKind::Root && payload.size() == 1 && payload[0] >= 1 && payload[0] <= 3) {
          node = TNode{};
          node.Type = payload[0] == 1 ? TNode::Computer : payload[0] == 2 ? TNode::Trash : TNode::Network;
        } else if (id.Kind == TItemKind::FsItem && ValidFileName(payload)) {
          node = TNode{TNode::FileSys, JoinPath(PhysicalDesktopDir(), payload)};
          node.DesktopEntry = true;
        } else {
          return std::nullopt;
        }
        break;
      case TNode::Computer: {
        if (id.Kind != TItemKind::Drive || payload.empty() || payload[0] != '/') return std::nullopt;
        node = TNode{TNode::FileSys, payload};
        node.Drive = true;
        break;
      }
      case TNode::Trash:
        if (id.Kind != TItemKind::TrashItem || !ValidFileName(payload)) return std::nullopt;
        node = TNode{TNode::FileSys, JoinPath(JoinPath(DataHome(), "Trash/files"), payload)};
        break;
      case TNode::FileSys:
        if (id.Kind != TItemKind::FsItem || !ValidFileName(payload)) return std::nullopt;
        node = TNode{TNode::FileSys, JoinPath(node.Path, payload)};
        break;
      case TNode::Network:
        return std::nullopt;
    }
  }
  if (node.Type == TNode::FileSys) {
    auto m = MountOf(node.Path);
    node.Removable = m && m->Removable;
    node.Remote = m && m->Remote;
  }
  return node;
}

std::optional<TNode> ResolveAbsolute(const ITEMIDLIST* pidl) {
  if (!pidl) return std::nullopt;
  return Resolve(TNode{}, reinterpret_cast<const Byte*>(pidl));
}

PItemIDList IdListFromPath(const std::string& nativePath) {
  if (nativePath.empty() || nativePath[0] != '/') return nullptr;
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(nativePath);
  while (std::getline(in, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string path = "/";
  for (size_t i = 0; i < parts.size(); ++i) path += (i ? "/" : "") + parts[i];
  if (!PathExists(path)) return nullptr;
  auto mount = MountOf(path);
  if (!mount) return nullptr;
  std::string bytes = EncodeId(TItemKind::Root, std::string(1, static_cast<char>(TRootId::Computer)));
  bytes += EncodeId(TItemKind::Drive, mount->Path);
  std::string rest = path.substr(mount->Path == "/" ? 1 : std::min(path.size(), mount->Path.size() + 1));
  std::istringstream rs(rest);
  while (std::getline(rs, part, '/'))
    if (!part.empty()) bytes += EncodeId(TItemKind::FsItem, part);
  return AllocIdList(bytes);
}

std::string PathFromIdList(const ITEMIDLIST* pidl) {
  auto node = ResolveAbsolute(pidl);
  return node && node->Type == TNode::FileSys ? node->Path : std::string();
}

PItemIDList RootIdList(TRootId root) {
  return AllocIdList(EncodeId(TItemKind::Root, std::string(1, static_cast<char>(root))));
}

}  // namespace pf::shellapi
