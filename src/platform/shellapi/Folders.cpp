// The folders of the namespace: the desktop root, Computer, Trash, Network and the POSIX folders.
// One class serves them all; a folder is its absolute ID list and what that list names. Binding a
// folder reads nothing but one stat, so that the special folders cost little at start-up.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

namespace {

// Asked of a folder to find the object behind the interface.
constexpr IID IID_ShellFolderSelf{0x5F3B2A10, 0x6C1D, 0x4E55, {0x9A, 0x21, 0x3C, 0x7E, 0x11, 0x08, 0x4B, 0x02}};

HRESULT ReturnString(const String& s, STRRET* out) {
  auto* p = static_cast<Char*>(CoTaskMemAlloc((s.size() + 1) * sizeof(Char)));
  if (!p) return E_OUTOFMEMORY;
  std::memcpy(p, s.data(), s.size() * sizeof(Char));
  p[s.size()] = 0;
  out->uType = STRRET_WSTR;
  out->pOleStr = p;
  return S_OK;
}

String Native(const std::string& s) { return FromNativePath(s); }

const Char* RootName(TNode::TType t) {
  switch (t) {
    case TNode::Desktop: return u"Desktop";
    case TNode::Computer: return u"Computer";
    case TNode::Trash: return u"Trash";
    case TNode::Network: return u"Network";
    case TNode::FileSys: break;
  }
  return u"";
}

GUID RootClsid(TNode::TType t) {
  switch (t) {
    case TNode::Computer: return CLSID_MyComputer;
    case TNode::Trash: return CLSID_RecycleBin;
    case TNode::Network: return CLSID_NetworkPlaces;
    case TNode::Desktop: return CLSID_ShellDesktop;
    case TNode::FileSys: break;
  }
  return CLSID_ShellFSFolder;
}

String DisplayName(const TNode& node, DWORD flags) {
  bool parsing = (flags & SHGDN_FORPARSING) != 0;
  bool inFolder = (flags & SHGDN_INFOLDER) != 0;
  bool address = (flags & SHGDN_FORADDRESSBAR) != 0;
  if (node.Type != TNode::FileSys) {
    if (node.Type == TNode::Desktop && parsing && !inFolder) return Native(PhysicalDesktopDir());
    if (parsing && !inFolder) return u"::" + GUIDToString(RootClsid(node.Type));
    return RootName(node.Type);
  }
  if ((parsing || address) && !inFolder) return Native(node.Path);
  if (node.Drive && !parsing) return node.Path == "/" ? String(u"File System") : Native(BaseName(node.Path));
  return Native(BaseName(node.Path));
}

// Whether the caller may move, rename or delete the entry: its folder must be writable and
// searchable, and a sticky folder lets only owners (or root) do it.
bool CanChangeEntry(const std::string& path, const struct stat& lst) {
  std::string parent = path.substr(0, path.find_last_of('/'));
  if (parent.empty()) parent = "/";
  if (::access(parent.c_str(), W_OK | X_OK) != 0) return false;
  struct stat pst {};
  if (::stat(parent.c_str(), &pst) != 0) return false;
  if (pst.st_mode & S_ISVTX) {
    uid_t uid = ::geteuid();
    return uid == 0 || lst.st_uid == uid || pst.st_uid == uid;
  }
  return true;
}

bool HasSubFolder(const std::string& path) {
  DIR* d = ::opendir(path.c_str());
  if (!d) return false;
  bool found = false;
  int seen = 0;
  while (dirent* e = ::readdir(d)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    // Beyond the first entries the answer is taken to be yes, so that a huge folder is not read.
    if (++seen > 256 || IsDirectory(JoinPath(path, e->d_name))) {
      found = true;
      break;
    }
  }
  ::closedir(d);
  return found;
}

// The attribute word of a node, or nothing when the item is gone.
std::optional<DWORD> NodeAttributes(const TNode& node, DWORD asked) {
  switch (node.Type) {
    case TNode::Desktop:
      return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER | SFGAO_DROPTARGET | SFGAO_STORAGEANCESTOR;
    case TNode::Computer: return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER;
    case TNode::Trash: return SFGAO_FOLDER | SFGAO_DROPTARGET;
    case TNode::Network: return SFGAO_FOLDER;
    case TNode::FileSys: break;
  }
  // A network drive is answered from the mount table: its server may be away, and asking the
  // file system would then wait for it.
  if (node.Drive && node.Remote)
    return SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_STORAGEANCESTOR | SFGAO_CANLINK | SFGAO_ISSLOW;
  struct stat lst {};
  if (::lstat(node.Path.c_str(), &lst) != 0) return std::nullopt;
  struct stat st {};
  bool followed = ::stat(node.Path.c_str(), &st) == 0;
  bool dir = followed && S_ISDIR(st.st_mode);
  const char* p = node.Path.c_str();
  DWORD a = SFGAO_FILESYSTEM | SFGAO_CANLINK | SFGAO_HASPROPSHEET;
  if (dir) a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_STORAGEANCESTOR;
  if (::access(p, dir ? (R_OK | X_OK) : R_OK) == 0) a |= SFGAO_CANCOPY;
  if (!node.Drive && node.Path != "/" && CanChangeEntry(node.Path, lst))
    a |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
  if (dir && ::access(p, W_OK) == 0) a |= SFGAO_DROPTARGET;
  std::string name = BaseName(node.Path);
  if (!node.Drive && !name.empty() && name[0] == '.') a |= SFGAO_GHOSTED;
  if (S_ISLNK(lst.st_mode) || ((asked & SFGAO_LINK) && S_ISREG(lst.st_mode) && IsDesktopLinkEntry(node.Path)))
    a |= SFGAO_LINK;
  if (!(lst.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && !S_ISLNK(lst.st_mode)) a |= SFGAO_READONLY;
  if (::access(p, W_OK) != 0) a |= SFGAO_READONLY;
  if (followed && S_ISREG(st.st_mode)) a |= SFGAO_STREAM;
  if (node.Removable) a |= SFGAO_REMOVABLE;
  if (dir && (asked & SFGAO_HASSUBFOLDER) && HasSubFolder(node.Path)) a |= SFGAO_HASSUBFOLDER;
  return a;
}

bool NodeIsFolder(const TNode& node) {
  return node.Type != TNode::FileSys || (node.Drive && node.Remote) || IsDirectory(node.Path);
}

// Display order: virtual roots, then drives, then folders before files; names without regard to
// case, ties broken by bytes so that 0 means the same name.
int CompareNames(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

class TEnumIDList final : public TShellObject<IEnumIDList> {
public:
  explicit TEnumIDList(std::vector<std::string> ids) : FIds(std::move(ids)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IUnknown::Iid || iid == IEnumIDList::Iid) {
      *out = static_cast<IEnumIDList*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT Next(ULONG celt, PItemIDList* rgelt, ULONG* fetched) override {
    if (!rgelt) return E_POINTER;
    ULONG n = 0;
    while (n < celt && FPos < FIds.size()) {
      PItemIDList p = AllocIdList(FIds[FPos]);
      if (!p) break;
      rgelt[n++] = p;
      ++FPos;
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    FPos = std::min(FIds.size(), FPos + celt);
    return FPos < FIds.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    FPos = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumIDList** out) override {
    if (!out) return E_POINTER;
    auto* c = new TEnumIDList(FIds);
    c->FPos = FPos;
    *out = c;
    return S_OK;
  }

private:
  std::vector<std::string> FIds;
  size_t FPos{0};
};

class TShellFolder final : public IShellFolder2, public IShellIcon, public IShellIconOverlay, public IPersistFolder {
public:
  TShellFolder(TNode node, std::string absIds) : FNode(std::move(node)), FAbs(std::move(absIds)) { ++gLiveObjects; }

  const TNode& Node() const { return FNode; }
  const std::string& Abs() const { return FAbs; }

  // ---- IUnknown ----
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool real = FNode.Type == TNode::FileSys || FNode.Type == TNode::Desktop;
    if (iid == IID_ShellFolderSelf) {
      *out = this;
      return S_OK;  // no reference: the caller already holds one
    }
    if (iid == IUnknown::Iid || iid == IShellFolder::Iid) *out = static_cast<IShellFolder*>(this);
    else if (iid == IShellFolder2::Iid && real) *out = static_cast<IShellFolder2*>(this);
    else if (iid == IShellIcon::Iid) *out = static_cast<IShellIcon*>(this);
    else if (iid == IShellIconOverlay::Iid && real) *out = static_cast<IShellIconOverlay*>(this);
    else if (iid == IPersistFolder::Iid || iid == IPersist::Iid) *out = static_cast<IPersistFolder*>(this);
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

  // ---- IShellFolder ----
  HRESULT ParseDisplayName(HWND, void*, const Char* name, ULONG* eaten, PItemIDList* pidl, ULONG* attributes) override {
    if (!pidl) return E_POINTER;
    *pidl = nullptr;
    if (!name) return E_INVALIDARG;
    String text(name);
    PItemIDList result = nullptr;
    if (FNode.Type == TNode::Desktop) {
      result = ParseFromDesktop(text);
    } else if (FNode.Type == TNode::FileSys) {
      std::string n = ToNativePath(text);
      if (ValidFileName(n) && PathExists(JoinPath(FNode.Path, n))) result = AllocIdList(EncodeId(TItemKind::FsItem, n));
    }
    if (!result) return E_INVALIDARG;
    if (eaten) *eaten = static_cast<ULONG>(text.size());
    if (attributes && *attributes) {
      const ITEMIDLIST* one = result;
      if (FAILED(GetAttributesOf(1, &one, reinterpret_cast<DWORD*>(attributes)))) *attributes = 0;
    }
    *pidl = result;
    return S_OK;
  }

  HRESULT EnumObjects(HWND, DWORD flags, IEnumIDList** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool folders = flags & SHCONTF_FOLDERS, others = flags & SHCONTF_NONFOLDERS, hidden = flags & SHCONTF_INCLUDEHIDDEN;
    std::vector<std::string> ids;
    switch (FNode.Type) {
      case TNode::Desktop:
        if (folders)
          for (TRootId r : {TRootId::Computer, TRootId::Network, TRootId::Trash})
            ids.push_back(EncodeId(TItemKind::Root, std::string(1, static_cast<char>(r))));
        ListDirectory(PhysicalDesktopDir(), folders, others, hidden, ids);
        break;
      case TNode::Computer:
        if (folders)
          for (const TMount& m : Hooks().Mounts())
            if (m.Remote || IsDirectory(m.Path)) ids.push_back(EncodeId(TItemKind::Drive, m.Path));
        break;
      case TNode::Trash: {
        std::vector<std::string> names;
        ListDirectory(JoinPath(DataHome(), "Trash/files"), folders, others, hidden, names);
        for (const std::string& id : names) {
          TItemId d;
          if (DecodeId(reinterpret_cast<const Byte*>(id.data()), d)) ids.push_back(EncodeId(TItemKind::TrashItem, d.Payload));
        }
        break;
      }
      case TNode::Network: break;
      case TNode::FileSys:
        if (!IsDirectory(FNode.Path)) return HRESULT_FILE_NOT_FOUND;
        ListDirectory(FNode.Path, folders, others, hidden, ids);
        break;
    }
    *out = new TEnumIDList(std::move(ids));
    return S_OK;
  }

  HRESULT BindToObject(const ITEMIDLIST* pidl, void*, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!pidl) return E_INVALIDARG;
    auto node = Resolve(FNode, reinterpret_cast<const Byte*>(pidl));
    if (!node || !NodeIsFolder(*node)) return E_INVALIDARG;
    auto* f = new TShellFolder(*node, FAbs + IdBytes(pidl));
    HRESULT hr = f->QueryInterface(iid, out);
    f->Release();
    return hr;
  }

  HRESULT BindToStorage(const ITEMIDLIST*, void*, REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

  HRESULT CompareIDs(LPARAM, const ITEMIDLIST* pidl1, const ITEMIDLIST* pidl2) override {
    if (!pidl1 || !pidl2) return E_INVALIDARG;
    auto* a = reinterpret_cast<const Byte*>(pidl1);
    auto* b = reinterpret_cast<const Byte*>(pidl2);
    TNode level = FNode;
    while (true) {
      Word ca = ItemIdSize(a), cb = ItemIdSize(b);
      if (ca == 0 || cb == 0) return Code(ca == cb ? 0 : ca == 0 ? -1 : 1);
      TItemId ia, ib;
      if (!DecodeId(a, ia) || !DecodeId(b, ib)) return E_INVALIDARG;
      int r = 0;
      if (ia.Kind != ib.Kind) {
        r = ia.Kind < ib.Kind ? -1 : 1;
      } else {
        if (ia.Kind == TItemKind::FsItem && level.Type == TNode::FileSys) {
          bool fa = IsDirectory(JoinPath(level.Path, ia.Payload)), fb = IsDirectory(JoinPath(level.Path, ib.Payload));
          if (fa != fb) r = fa ? -1 : 1;
        }
        if (r == 0) r = CompareNames(ia.Payload, ib.Payload);
      }
      if (r != 0) return Code(r);
      std::string one(reinterpret_cast<const char*>(a), ca);
      one += std::string(2, '\0');
      auto next = Resolve(level, reinterpret_cast<const Byte*>(one.data()));
      if (next) level = *next;
      a += ca;
      b += cb;
    }
  }

  // The folder's own drop target and the menu of its background.
  HRESULT CreateViewObject(HWND owner, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    IUnknown* made = nullptr;
    if (iid == IDropTarget::Iid && FNode.Type == TNode::FileSys && IsDirectory(FNode.Path))
      made = CreateFolderDropTarget(FNode.Path);
    else if (iid == IContextMenu::Iid || iid == IContextMenu2::Iid || iid == IContextMenu3::Iid)
      made = CreateDefaultFolderMenu(this, FAbs, {}, owner, nullptr);
    if (!made) return E_NOINTERFACE;
    HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }

  HRESULT GetAttributesOf(UINT cidl, const ITEMIDLIST** apidl, DWORD* inOut) override {
    if (!inOut) return E_POINTER;
    DWORD asked = *inOut;
    DWORD result = 0xFFFFFFFF;
    if (cidl == 0) {
      auto a = NodeAttributes(FNode, asked);
      if (!a) {
        *inOut = 0;
        return HRESULT_FILE_NOT_FOUND;
      }
      result &= *a;
    }
    for (UINT i = 0; i < cidl; ++i) {
      if (!apidl || !apidl[i]) {
        *inOut = 0;
        return E_INVALIDARG;
      }
      auto node = Resolve(FNode, reinterpret_cast<const Byte*>(apidl[i]));
      auto a = node ? NodeAttributes(*node, asked) : std::nullopt;
      // A vanished item reports nothing rather than the bits it was asked about.
      if (!a) {
        *inOut = 0;
        return node ? HRESULT_FILE_NOT_FOUND : E_INVALIDARG;
      }
      result &= *a;
    }
    *inOut = asked & result & ~SFGAO_VALIDATE;
    return S_OK;
  }

  HRESULT GetUIObjectOf(HWND owner, UINT cidl, const ITEMIDLIST** apidl, REFIID iid, UINT*, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IContextMenu::Iid || iid == IContextMenu2::Iid || iid == IContextMenu3::Iid || iid == IDataObject::Iid ||
        iid == IDropTarget::Iid)
      return SelectionObject(owner, cidl, apidl, iid, out);
    if (cidl != 1 || !apidl || !apidl[0]) return E_NOINTERFACE;
    if (iid != IExtractImage::Iid && iid != IExtractImage2::Iid) return E_NOINTERFACE;
    auto node = Resolve(FNode, reinterpret_cast<const Byte*>(apidl[0]));
    if (!node || node->Type != TNode::FileSys) return E_NOINTERFACE;
    IExtractImage* t = CreateThumbnailer(node->Path);
    if (!t) return E_NOINTERFACE;
    HRESULT hr = t->QueryInterface(iid, out);
    t->Release();
    return hr;
  }

  HRESULT GetDisplayNameOf(const ITEMIDLIST* pidl, DWORD flags, STRRET* name) override {
    if (!name) return E_POINTER;
    if (!pidl) return E_INVALIDARG;
    auto node = Resolve(FNode, reinterpret_cast<const Byte*>(pidl));
    if (!node) return E_INVALIDARG;
    return ReturnString(DisplayName(*node, flags), name);
  }

  HRESULT SetNameOf(HWND, const ITEMIDLIST* pidl, const Char* name, DWORD, PItemIDList* pidlOut) override {
    if (pidlOut) *pidlOut = nullptr;
    if (!pidl || !name) return E_INVALIDARG;
    auto* p = reinterpret_cast<const Byte*>(pidl);
    TItemId id;
    // Only an entry of this folder, one level down, is renamed here.
    if (!DecodeId(p, id) || ItemIdSize(p + ItemIdSize(p)) != 0 || id.Kind != TItemKind::FsItem) return E_INVALIDARG;
    auto node = Resolve(FNode, p);
    if (!node || node->Type != TNode::FileSys) return E_INVALIDARG;
    std::string newName = ToNativePath(String(name));
    if (!ValidFileName(newName) || newName.size() > 255) return HRESULT_INVALID_NAME;
    std::string dir = node->Path.substr(0, node->Path.size() - id.Payload.size());
    std::string target = dir + newName;
    if (!PathExists(node->Path)) return HRESULT_FILE_NOT_FOUND;
    if (target != node->Path) {
      HRESULT hr = RenameNoReplace(node->Path, target);
      if (FAILED(hr)) return hr;
    }
    if (pidlOut) *pidlOut = AllocIdList(EncodeId(TItemKind::FsItem, newName));
    return S_OK;
  }

  // ---- IShellFolder2: the details columns ----
  HRESULT GetDefaultColumnState(UINT column, DWORD* flags) override { return ColumnState(column, flags); }
  HRESULT GetDetailsEx(const ITEMIDLIST* pidl, const SHCOLUMNID* scid, void* value) override {
    auto node = pidl ? Resolve(FNode, reinterpret_cast<const Byte*>(pidl)) : std::nullopt;
    if (!node) return E_INVALIDARG;
    return ColumnValue(*node, scid, value);
  }
  HRESULT GetDetailsOf(const ITEMIDLIST* pidl, UINT column, SHELLDETAILS* details) override {
    if (!pidl) return ColumnDetails(nullptr, column, details);
    auto node = Resolve(FNode, reinterpret_cast<const Byte*>(pidl));
    if (!node) return E_INVALIDARG;
    return ColumnDetails(&*node, column, details);
  }
  HRESULT MapColumnToSCID(UINT column, SHCOLUMNID* scid) override { return ColumnScid(column, scid); }

  // ---- IShellIcon ----
  HRESULT GetIconOf(const ITEMIDLIST* pidl, UINT flags, int* index) override {
    if (!index) return E_POINTER;
    auto node = pidl ? Resolve(FNode, reinterpret_cast<const Byte*>(pidl)) : std::nullopt;
    if (!node) return E_INVALIDARG;
    *index = NodeIconIndex(*node, (flags & GIL_OPENICON) != 0);
    return S_OK;
  }

  // ---- IShellIconOverlay: symbolic links carry the link emblem ----
  HRESULT GetOverlayIndex(const ITEMIDLIST* pidl, int* index) override {
    if (!index) return E_POINTER;
    *index = -1;
    if (!IsSymlinkChild(pidl)) return S_FALSE;
    *index = 1;
    return S_OK;
  }
  HRESULT GetOverlayIconIndex(const ITEMIDLIST* pidl, int* iconIndex) override {
    if (!iconIndex) return E_POINTER;
    *iconIndex = -1;
    if (!IsSymlinkChild(pidl)) return S_FALSE;
    *iconIndex = SystemIconIndex("emblem-symbolic-link");
    return S_OK;
  }

  // ---- IPersistFolder ----
  HRESULT GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = RootClsid(FNode.Type);
    return S_OK;
  }
  HRESULT Initialize(const ITEMIDLIST*) override { return E_NOTIMPL; }

private:
  ~TShellFolder() { --gLiveObjects; }

  // The menu, data object or drop target of a selection of this folder's items (lists relative
  // to this folder, of any depth). Every item must name something.
  HRESULT SelectionObject(HWND owner, UINT cidl, const ITEMIDLIST** apidl, REFIID iid, void** out) {
    if (cidl == 0 || !apidl) return E_INVALIDARG;
    std::vector<std::string> children;
    std::vector<TNode> nodes;
    for (UINT i = 0; i < cidl; ++i) {
      auto node = apidl[i] ? Resolve(FNode, reinterpret_cast<const Byte*>(apidl[i])) : std::nullopt;
      if (!node) return E_INVALIDARG;
      children.push_back(IdBytes(apidl[i]));
      nodes.push_back(*node);
    }
    IUnknown* made = nullptr;
    if (iid == IDataObject::Iid) {
      made = CreateItemsDataObject(FAbs, children);
    } else if (iid == IDropTarget::Iid) {
      const TNode& n = nodes[0];
      if (cidl == 1 && n.Type == TNode::FileSys && IsDirectory(n.Path) && ::access(n.Path.c_str(), W_OK) == 0)
        made = CreateFolderDropTarget(n.Path);
    } else {
      made = CreateDefaultFolderMenu(this, FAbs, std::move(children), owner, nullptr);
    }
    if (!made) return E_NOINTERFACE;
    HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }

  static HRESULT Code(int r) { return static_cast<HRESULT>(static_cast<uint16_t>(static_cast<int16_t>(r))); }

  bool IsSymlinkChild(const ITEMIDLIST* pidl) const {
    auto node = pidl ? Resolve(FNode, reinterpret_cast<const Byte*>(pidl)) : std::nullopt;
    struct stat st {};
    return node && node->Type == TNode::FileSys && ::lstat(node->Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  }

  static PItemIDList ParseFromDesktop(const String& text) {
    if (text.size() == 40 && text.compare(0, 2, u"::") == 0) {
      GUID g;
      if (!StringToGUID(StringView(text).substr(2), g)) return nullptr;
      if (g == CLSID_MyComputer) return RootIdList(TRootId::Computer);
      if (g == CLSID_RecycleBin) return RootIdList(TRootId::Trash);
      if (g == CLSID_NetworkPlaces) return RootIdList(TRootId::Network);
      return nullptr;
    }
    return IdListFromPath(ToNativePath(text));
  }

  static void ListDirectory(const std::string& dir, bool folders, bool others, bool hidden, std::vector<std::string>& ids) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
      std::string_view n(e->d_name);
      if (n == "." || n == "..") continue;
      if (!hidden && n[0] == '.') continue;
      names.emplace_back(n);
    }
    ::closedir(d);
    for (const std::string& n : names) {
      bool isDir = IsDirectory(JoinPath(dir, n));
      if (isDir ? folders : others) ids.push_back(EncodeId(TItemKind::FsItem, n));
    }
  }

  static HRESULT RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return S_OK;
    int err = errno;
    struct stat a {}, b {};
    bool sameFile = ::lstat(from.c_str(), &a) == 0 && ::lstat(to.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
                    a.st_ino == b.st_ino;
    // A change of case only on a file system that ignores case finds the file itself in the way.
    if (err == EEXIST && sameFile) return ::rename(from.c_str(), to.c_str()) == 0 ? S_OK : E_FAIL;
    if (err == EEXIST) return HRESULT_ALREADY_EXISTS;
    // File systems without the no-replace rename: look first, then rename.
    if (err == EINVAL || err == ENOSYS) {
      if (PathExists(to)) return HRESULT_ALREADY_EXISTS;
      return ::rename(from.c_str(), to.c_str()) == 0 ? S_OK : E_FAIL;
    }
    return err == ENOENT ? HRESULT_FILE_NOT_FOUND : err == EACCES || err == EPERM ? E_ACCESSDENIED : E_FAIL;
  }

  TNode FNode;
  std::string FAbs;
  std::atomic<ULONG> FRefs{1};
};

TShellFolder* SelfOf(IShellFolder* folder) {
  void* p = nullptr;
  if (!folder || FAILED(folder->QueryInterface(IID_ShellFolderSelf, &p))) return nullptr;
  return static_cast<TShellFolder*>(p);
}

}  // namespace

int NodeIconIndex(const TNode& node, bool open) {
  switch (node.Type) {
    case TNode::Desktop: return 3;
    case TNode::Computer: return 4;
    case TNode::Trash: return 5;
    case TNode::Network: return 6;
    case TNode::FileSys: break;
  }
  if (node.Drive) return node.Remote ? SystemIconIndex("folder-remote") : node.Removable ? 8 : 7;
  if (IsDirectory(node.Path)) return open ? 2 : 1;
  return SystemIconIndex(MimeIconName(node.Path, false));
}

}  // namespace pf::shellapi

namespace pf {

using namespace shellapi;

HRESULT SHGetDesktopFolder(IShellFolder** out) {
  if (!out) return E_POINTER;
  *out = new TShellFolder(TNode{}, std::string());
  return S_OK;
}

HRESULT SHGetDataFromIDListW(IShellFolder* folder, const ITEMIDLIST* pidl, int format, void* out, int size) {
  TShellFolder* self = SelfOf(folder);
  if (!self || !pidl || !out) return E_INVALIDARG;
  auto node = Resolve(self->Node(), reinterpret_cast<const Byte*>(pidl));
  if (!node) return E_INVALIDARG;
  if (format == SHGDFIL_FINDDATA) {
    if (size < static_cast<int>(sizeof(WIN32_FIND_DATAW))) return E_INVALIDARG;
    if (node->Type != TNode::FileSys) return E_FAIL;
    auto* data = static_cast<WIN32_FIND_DATAW*>(out);
    return FindDataOfPath(node->Path, *data) ? S_OK : HRESULT_FILE_NOT_FOUND;
  }
  if (format == SHGDFIL_DESCRIPTIONID) {
    if (size < static_cast<int>(sizeof(SHDESCRIPTIONID))) return E_INVALIDARG;
    auto* d = static_cast<SHDESCRIPTIONID*>(out);
    *d = SHDESCRIPTIONID{};
    if (node->Type != TNode::FileSys) {
      d->dwDescriptionId = SHDID_ROOT_REGITEM;
      d->clsid = node->Type == TNode::Computer ? CLSID_MyComputer
                 : node->Type == TNode::Trash  ? CLSID_RecycleBin
                 : node->Type == TNode::Network ? CLSID_NetworkPlaces
                                                : CLSID_ShellDesktop;
      return S_OK;
    }
    struct stat st {};
    if (node->Drive && node->Remote) {
      d->dwDescriptionId = SHDID_COMPUTER_NETDRIVE;
      return S_OK;
    }
    if (::lstat(node->Path.c_str(), &st) != 0) return HRESULT_FILE_NOT_FOUND;
    if (node->Drive) d->dwDescriptionId = node->Removable ? SHDID_COMPUTER_REMOVABLE : SHDID_COMPUTER_FIXED;
    else d->dwDescriptionId = IsDirectory(node->Path) ? SHDID_FS_DIRECTORY : SHDID_FS_FILE;
    return S_OK;
  }
  return E_INVALIDARG;
}

DWORD_PTR SHGetFileInfoW(const void* pathOrPidl, DWORD, SHFILEINFOW* info, UINT size, UINT flags) {
  if (!pathOrPidl) return 0;
  std::optional<TNode> node;
  if (flags & SHGFI_PIDL) {
    node = ResolveAbsolute(static_cast<const ITEMIDLIST*>(pathOrPidl));
  } else {
    std::string path = ToNativePath(String(static_cast<const Char*>(pathOrPidl)));
    if (path.empty() || path[0] != '/' || !PathExists(path)) return 0;
    node = TNode{TNode::FileSys, path};
  }
  if (!node) return 0;
  if (node->Type == TNode::FileSys && !PathExists(node->Path)) return 0;
  if (info && size >= sizeof(SHFILEINFOW)) {
    if (flags & SHGFI_TYPENAME) {
      String type = node->Type == TNode::FileSys ? MimeTypeComment(node->Path, IsDirectory(node->Path))
                                              : String(u"System Folder");
      size_t n = std::min<size_t>(type.size(), 79);
      std::copy_n(type.data(), n, info->szTypeName);
      info->szTypeName[n] = 0;
    }
    if (flags & SHGFI_SYSICONINDEX) info->iIcon = NodeIconIndex(*node, (flags & SHGFI_OPENICON) != 0);
  }
  // The system image list is the answer for icon indices, as the platform gives it.
  if (flags & SHGFI_SYSICONINDEX) return reinterpret_cast<DWORD_PTR>(SystemImageList((flags & SHGFI_SMALLICON) != 0));
  return 1;
}

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, PItemIDList* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto pathList = [](const std::string& p) -> PItemIDList { return IsDirectory(p) ? IdListFromPath(p) : nullptr; };
  switch (csidl) {
    case CSIDL_DESKTOP: *out = AllocIdList(std::string_view()); break;
    case CSIDL_BITBUCKET: *out = RootIdList(TRootId::Trash); break;
    case CSIDL_DRIVES: *out = RootIdList(TRootId::Computer); break;
    case CSIDL_NETWORK: *out = RootIdList(TRootId::Network); break;
    case CSIDL_DESKTOPDIRECTORY: {
      // The desktop folder may be missing; the home folder stands in so that the object exists.
      std::string d = PhysicalDesktopDir();
      *out = pathList(IsDirectory(d) ? d : HomeDir());
      break;
    }
    case CSIDL_TEMPLATES: *out = pathList(UserDir("XDG_TEMPLATES_DIR")); break;
    case CSIDL_PERSONAL: *out = pathList(UserDir("XDG_DOCUMENTS_DIR")); break;
    case CSIDL_APPDATA: *out = pathList(ConfigHome()); break;
    case CSIDL_PROGRAMS: *out = pathList(JoinPath(DataHome(), "applications")); break;
    default: return E_INVALIDARG;
  }
  return *out ? S_OK : E_FAIL;
}

HRESULT SHGetKnownFolderIDList(const GUID& id, DWORD flags, void*, PItemIDList* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto pathList = [flags](const std::string& p) -> PItemIDList {
    if ((flags & KF_FLAG_CREATE) && !IsDirectory(p)) ForceDirectories(FromNativePath(p));
    return IsDirectory(p) ? IdListFromPath(p) : nullptr;
  };
  if (id == FOLDERID_Desktop) {
    if (!(flags & KF_FLAG_NO_ALIAS)) {
      *out = AllocIdList(std::string_view());
    } else {
      std::string d = PhysicalDesktopDir();
      *out = pathList(IsDirectory(d) || (flags & KF_FLAG_CREATE) ? d : HomeDir());
    }
  } else if (id == FOLDERID_RecycleBinFolder) {
    *out = RootIdList(TRootId::Trash);
  } else if (id == FOLDERID_ComputerFolder) {
    *out = RootIdList(TRootId::Computer);
  } else if (id == FOLDERID_NetworkFolder) {
    *out = RootIdList(TRootId::Network);
  } else if (id == FOLDERID_Templates) {
    *out = pathList(UserDir("XDG_TEMPLATES_DIR"));
  } else if (id == FOLDERID_Documents) {
    *out = pathList(UserDir("XDG_DOCUMENTS_DIR"));
  } else if (id == FOLDERID_RoamingAppData) {
    *out = pathList(ConfigHome());
  } else if (id == FOLDERID_ProgramFiles) {
    if (IsDirectory("/opt")) *out = IdListFromPath("/opt");
  } else {
    return E_INVALIDARG;
  }
  return *out ? S_OK : HRESULT_FILE_NOT_FOUND;
}

BOOL FileIconInit(BOOL) { return 1; }

namespace {
std::atomic<UINT> gErrorMode{0};
}  // namespace

UINT SetErrorMode(UINT mode) { return gErrorMode.exchange(mode); }

}  // namespace pf
