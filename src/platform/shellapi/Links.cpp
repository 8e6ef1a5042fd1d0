// Links of the desktop, read only: symbolic links, and .desktop entries of type Link or
// Application. Saving is refused: a reader must never rewrite the user's link.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/user/Messages.h"

namespace pf::shellapi {

namespace {

// The target of a symbolic link, read with the length the link reports (and grown if it changed
// meanwhile), never into a fixed buffer.
bool ReadLinkTarget(const std::string& path, std::string& target) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  size_t size = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 256;
  for (int attempt = 0; attempt < 8; ++attempt, size *= 2) {
    std::string buf(size, '\0');
    ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) return false;
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      target = buf;
      return true;
    }
  }
  return false;
}


bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The Exec line's words, with quoting undone and field codes (%f, %U, ...) dropped.
std::vector<std::string> ExecWords(const std::string& exec) {
  std::vector<std::string> words;
  std::string cur;
  bool quoted = false, any = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size()) cur += exec[++i];
      else if (c == '"') quoted = false;
      else cur += c;
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ' ' || c == '\t') {
      if (any || !cur.empty()) words.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
    }
  }
  if (any || !cur.empty()) words.push_back(cur);
  std::vector<std::string> kept;
  for (std::string& w : words) {
    if (w.size() == 2 && w[0] == '%') continue;
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
      if (w[i] == '%' && i + 1 < w.size()) {
        if (w[i + 1] == '%') out += '%';
        ++i;
      } else {
        out += w[i];
      }
    }
    kept.push_back(out);
  }
  return kept;
}

std::string PercentDecode(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      r += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      r += s[i];
    }
  }
  return r;
}

HRESULT CopyOut(const String& s, Char* buf, int capacity) {
  if (!buf || capacity <= 0) return E_INVALIDARG;
  size_t n = std::min<size_t>(s.size(), static_cast<size_t>(capacity - 1));
  std::copy_n(s.data(), n, buf);
  buf[n] = 0;
  return S_OK;
}

class TShellLinkObject final : public IShellLinkW, public IPersistFile {
public:
  TShellLinkObject() { ++gLiveObjects; }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IUnknown::Iid || iid == IShellLinkW::Iid) *out = static_cast<IShellLinkW*>(this);
    else if (iid == IPersistFile::Iid || iid == IPersist::Iid) *out = static_cast<IPersistFile*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++FRefs; }
  ULONG Release() override {
    ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }

  // ---- IPersistFile ----
  HRESULT GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(const Char* fileName, DWORD) override {
    if (!fileName) return E_INVALIDARG;
    Clear();
    std::string path = ToNativePath(String(fileName));
    std::string target;
    if (ReadLinkTarget(path, target)) {
      if (!target.empty() && target[0] != '/') target = JoinPath(path.substr(0, path.find_last_of('/') + 1), target);
      FTarget = target;
      FLoaded = true;
      return S_OK;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return HRESULT_FILE_NOT_FOUND;
    std::map<std::string, std::string> keys;
    if (!S_ISREG(st.st_mode) || !EndsWith(path, ".desktop") || !ReadDesktopEntry(path, keys)) return E_FAIL;
    const std::string& type = keys["Type"];
    if (type == "Link") {
      std::string url = keys["URL"];
      FTarget = url.rfind("file://", 0) == 0 ? PercentDecode(url.substr(7)) : url;
    } else if (type == "Application") {
      std::vector<std::string> words = ExecWords(keys["Exec"]);
      if (!words.empty()) FTarget = words[0];
      for (size_t i = 1; i < words.size(); ++i) FArguments += (i > 1 ? " " : "") + words[i];
      FWorkingDir = keys["Path"];
    } else {
      return E_FAIL;
    }
    FDescription = keys["Comment"];
    FIcon = keys["Icon"];
    FLoaded = true;
    return S_OK;
  }
  HRESULT Save(const Char*, BOOL) override { return STG_E_ACCESSDENIED; }
  HRESULT SaveCompleted(const Char*) override { return S_OK; }
  HRESULT GetCurFile(Char** fileName) override {
    if (fileName) *fileName = nullptr;
    return E_NOTIMPL;
  }

  // ---- IShellLinkW ----
  HRESULT GetPath(Char* file, int capacity, WIN32_FIND_DATAW* data, DWORD) override {
    if (!FLoaded) return E_FAIL;
    if (data) {
      *data = WIN32_FIND_DATAW{};
      if (!FTarget.empty() && FTarget[0] == '/') FindDataOfPath(FTarget, *data);
    }
    return CopyOut(FromNativePath(FTarget), file, capacity);
  }
  HRESULT GetIDList(PItemIDList* pidl) override {
    if (!pidl) return E_POINTER;
    *pidl = FLoaded && !FTarget.empty() && FTarget[0] == '/' ? IdListFromPath(FTarget) : nullptr;
    return *pidl ? S_OK : S_FALSE;
  }
  HRESULT GetDescription(Char* name, int capacity) override { return Text(FDescription, name, capacity); }
  HRESULT GetWorkingDirectory(Char* dir, int capacity) override { return Text(FWorkingDir, dir, capacity); }
  HRESULT GetArguments(Char* args, int capacity) override { return Text(FArguments, args, capacity); }
  HRESULT GetHotkey(Word* hotkey) override {
    if (!hotkey) return E_POINTER;
    *hotkey = 0;
    return FLoaded ? S_OK : E_FAIL;
  }
  HRESULT GetShowCmd(int* showCmd) override {
    if (!showCmd) return E_POINTER;
    *showCmd = SW_SHOWNORMAL;
    return FLoaded ? S_OK : E_FAIL;
  }
  HRESULT GetIconLocation(Char* path, int capacity, int* index) override {
    if (index) *index = 0;
    return Text(FIcon, path, capacity);
  }

private:
  ~TShellLinkObject() { --gLiveObjects; }

  HRESULT Text(const std::string& s, Char* buf, int capacity) const {
    if (!FLoaded) return E_FAIL;
    return CopyOut(FromNativePath(s), buf, capacity);
  }

  void Clear() {
    FLoaded = false;
    FTarget.clear();
    FArguments.clear();
    FWorkingDir.clear();
    FDescription.clear();
    FIcon.clear();
  }

  std::atomic<ULONG> FRefs{1};
  bool FLoaded{false};
  std::string FTarget, FArguments, FWorkingDir, FDescription, FIcon;
};

}  // namespace

bool IsDesktopLinkEntry(const std::string& path) {
  if (!EndsWith(path, ".desktop")) return false;
  std::map<std::string, std::string> keys;
  if (!ReadDesktopEntry(path, keys)) return false;
  return keys["Type"] == "Link" || keys["Type"] == "Application";
}

IUnknown* CreateShellLinkObject() { return static_cast<IShellLinkW*>(new TShellLinkObject()); }

}  // namespace pf::shellapi
