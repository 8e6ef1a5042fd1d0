// The class keys of the registry, read only: derived from the shared MIME database (or a tree a
// test gives), opened under handles that are counted so that none is left open.

#include <QMimeDatabase>
#include <QMimeType>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

namespace {

String Lower(StringView s) {
  String r(s);
  for (Char& c : r)
    if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c + 32);
  return r;
}

String FromQt(const QString& q) { return String(reinterpret_cast<const Char*>(q.utf16()), static_cast<size_t>(q.size())); }

TRegistryTree BuildDesktopTree() {
  TRegistryTree t;
  for (const Char* k : {u"*", u"AllFilesystemObjects", u"Folder", u"Directory", u"Directory\\Background", u"Unknown"})
    t[k];
  QMimeDatabase db;
  for (const QMimeType& type : db.allMimeTypes()) {
    String name = FromQt(type.name());
    QString top = type.name().section(u'/', 0, 0);
    auto& key = t[name];
    if (top == u"image" || top == u"audio" || top == u"video" || top == u"text") {
      key[u"PerceivedType"] = FromQt(top);
      t[u"SystemFileAssociations\\" + FromQt(top)];
    }
    for (const QString& suffix : type.suffixes()) {
      auto& ext = t[u"." + FromQt(suffix)];
      if (!ext.count(u"")) ext[u""] = name;
    }
  }
  return t;
}

struct TRegistryState {
  std::mutex Lock;
  const TRegistryTree* Override{nullptr};
  std::map<uintptr_t, String> Open;  // handle → lower-case path
  uintptr_t Next{0x1000};
  // Lower-case paths of the tree in use → the tree's own entry.
  std::map<String, const std::map<String, String>*> Index;
  const TRegistryTree* Indexed{nullptr};
};

TRegistryState& State() {
  static TRegistryState s;
  return s;
}

const TRegistryTree& Tree(TRegistryState& s) {
  const TRegistryTree& t = s.Override ? *s.Override : DesktopRegistry();
  if (s.Indexed != &t) {
    s.Index.clear();
    for (const auto& [path, values] : t) s.Index[Lower(path)] = &values;
    s.Indexed = &t;
  }
  return t;
}

}  // namespace

const TRegistryTree& DesktopRegistry() {
  static const TRegistryTree tree = BuildDesktopTree();
  return tree;
}

void SetRegistryTree(const TRegistryTree* tree) {
  TRegistryState& s = State();
  std::lock_guard lock(s.Lock);
  s.Override = tree;
  s.Indexed = nullptr;
}

String RegistryKeyName(HKEY key) {
  TRegistryState& s = State();
  std::lock_guard lock(s.Lock);
  auto it = s.Open.find(reinterpret_cast<uintptr_t>(key));
  return it == s.Open.end() ? String() : it->second;
}

namespace testing {
int OpenRegistryKeys() {
  TRegistryState& s = State();
  std::lock_guard lock(s.Lock);
  return static_cast<int>(s.Open.size());
}
String RegistryKeyPath(HKEY key) { return RegistryKeyName(key); }
}  // namespace testing

}  // namespace pf::shellapi

namespace pf {

using namespace shellapi;

LONG RegOpenKeyExW(HKEY key, const Char* subKey, DWORD, DWORD, HKEY* result) {
  if (!result) return ERROR_INVALID_HANDLE;
  *result = nullptr;
  TRegistryState& s = State();
  std::lock_guard lock(s.Lock);
  Tree(s);
  String base;
  if (key != HKEY_CLASSES_ROOT) {
    auto it = s.Open.find(reinterpret_cast<uintptr_t>(key));
    if (it == s.Open.end()) return ERROR_INVALID_HANDLE;
    base = it->second;
  }
  String sub = subKey ? Lower(subKey) : String();
  while (!sub.empty() && sub.front() == u'\\') sub.erase(0, 1);
  String path = base.empty() ? sub : sub.empty() ? base : base + u"\\" + sub;
  // The root itself has no entry of its own but can always be opened.
  if (!path.empty() && !s.Index.count(path)) return ERROR_FILE_NOT_FOUND;
  uintptr_t h = s.Next++;
  s.Open[h] = path;
  *result = reinterpret_cast<HKEY>(h);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, const Char* valueName, DWORD*, DWORD* type, Byte* data, DWORD* size) {
  TRegistryState& s = State();
  std::lock_guard lock(s.Lock);
  Tree(s);
  auto it = s.Open.find(reinterpret_cast<uintptr_t>(key));
  if (it == s.Open.end()) return ERROR_INVALID_HANDLE;
  auto entry = s.Index.find(it->second);
  if (entry == s.Index.end()) return ERROR_FILE_NOT_FOUND;
  String name = valueName ? Lower(valueName) : String();
  const String* value = nullptr;
  for (const auto& [n, v] : *entry->second)
    if (Lower(n) == name) value = &v;
  if (!value) return ERROR_FILE_NOT_FOUND;
  DWORD bytes = static_cast<DWORD>((value->size() + 1) * sizeof(Char));
  if (type) *type = REG_SZ;
  if (!size) return data ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
  if (data && *size < bytes) {
    *size = bytes;
    return ERROR_MORE_DATA;
  }
  if (data) {
    std::memcpy(data, value->c_str(), bytes);
  }
  *size = bytes;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  TRegistryState& s = State();
  std::lock_guard lock(s.Lock);
  return s.Open.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace pf
