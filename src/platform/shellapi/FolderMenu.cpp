// The default folder menu: the verbs the desktop offers for a selection of one folder's items (or
// for the folder's background), steered by an optional callback as the platform's default menu
// is: it may merge items of its own, and it is asked first for each standard command. The class
// keys its maker hands over name the selection's type: the desktop's applications for that type
// give "Open" (the default application) and one "Open with" item for each of the others.

#include <algorithm>
#include <cstring>

#include "platform/ole/DragDrop.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Strings.h"
#include "platform/shellapi/DesktopApps.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellExecute.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

namespace {

struct TVerb {
  const char* Name;
  const Char* Caption;
  const char* Help;
  int Command;  // DFM_CMD_ of the standard command, 0 for none
};

// The command offset of a verb is its index here, whatever the menu shows.
constexpr TVerb kVerbs[] = {
    {"open", u"Open", "Opens the selected items.", 0},
    {"cut", u"Cut", "Moves the selected items to the clipboard.", DFM_CMD_MOVE},
    {"copy", u"Copy", "Copies the selected items to the clipboard.", DFM_CMD_COPY},
    {"paste", u"Paste", "Puts the items of the clipboard here.", DFM_CMD_PASTE},
    {"pastelink", u"Paste Shortcut", "Makes links here to the items of the clipboard.", DFM_CMD_PASTELINK},
    {"delete", u"Delete", "Deletes the selected items.", DFM_CMD_DELETE},
    {"rename", u"Rename", "Renames the selected item.", 0},
    {"link", u"Create Shortcut", "Makes links to the selected items.", DFM_CMD_LINK},
    {"properties", u"Properties", "Shows the properties of the selected items.", DFM_CMD_PROPERTIES},
};
constexpr UINT kVerbCount = sizeof(kVerbs) / sizeof(kVerbs[0]);
enum : UINT { vOpen, vCut, vCopy, vPaste, vPasteLink, vDelete, vRename, vLink, vProperties };

constexpr HRESULT HRESULT_CANCELLED = static_cast<HRESULT>(0x800704C7u);

// The verb of an "Open with" item: this prefix and the application's desktop file ID.
constexpr std::string_view kOpenWith = "openwith:";

bool SameVerb(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

class TDefaultFolderMenu final : public TShellObject<IContextMenu3> {
public:
  TDefaultFolderMenu(IShellFolder* folder, std::string folderIds, std::vector<std::string> childIds, HWND owner,
                     LPFNDFMCALLBACK callback, std::vector<std::string> types)
      : FFolder(folder), FFolderIds(std::move(folderIds)), FChildIds(std::move(childIds)), FOwner(owner),
        FCallback(std::move(callback)), FTypes(std::move(types)) {
    if (FCallback) FCallback(FFolder.Get(), FOwner, nullptr, DFM_ADDREF, 0, 0);
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IUnknown::Iid || iid == IContextMenu::Iid || iid == IContextMenu2::Iid || iid == IContextMenu3::Iid)
      *out = static_cast<IContextMenu3*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override {
    if (!IsMenu(menu) || last < first + kVerbCount - 1) return E_INVALIDARG;
    FFirst = first;
    // The "Open with" items take the identifiers after the verbs', as many as the range holds.
    FOtherCount = FChildIds.empty() ? 0 : static_cast<UINT>(std::min<size_t>(Others().size(), last + 1 - first - kVerbCount));
    if (flags & CMF_DEFAULTONLY) {
      AddVerb(menu, index, vOpen, true);
      return MakeMenuResult(Base());
    }
    QCMINFO qcm{menu, index, first + Base(), last, nullptr};
    HRESULT merge = FCallback ? FCallback(FFolder.Get(), FOwner, nullptr, DFM_MERGECONTEXTMENU, flags,
                                          reinterpret_cast<LPARAM>(&qcm))
                              : S_OK;
    UINT at = index;
    if (!FChildIds.empty()) {
      AddVerb(menu, at++, vOpen, true);
      for (UINT i = 0; i < FOtherCount; ++i) AddOpenWith(menu, at++, i);
    }
    // The callback's S_OK asks for the shell's own verbs; anything else leaves them out.
    if (merge == S_OK) {
      DWORD a = Attributes();
      bool one = FChildIds.size() == 1;
      std::vector<UINT> verbs;
      if (a & SFGAO_CANMOVE) verbs.push_back(vCut);
      if (a & SFGAO_CANCOPY) verbs.push_back(vCopy);
      if (CanPaste()) {
        verbs.push_back(vPaste);
        verbs.push_back(vPasteLink);
      }
      if (a & SFGAO_CANLINK) verbs.push_back(vLink);
      if (a & SFGAO_CANDELETE) verbs.push_back(vDelete);
      if (one && (a & SFGAO_CANRENAME) && (flags & CMF_CANRENAME)) verbs.push_back(vRename);
      if (a & SFGAO_HASPROPSHEET) verbs.push_back(vProperties);
      if (!verbs.empty() && at > index) InsertMenu(menu, at++, MF_BYPOSITION | MF_SEPARATOR, 0, u"");
      for (UINT v : verbs) AddVerb(menu, at++, v, false);
    }
    // Every merge starts from the same first identifier, so that the callback names each of its
    // commands by one distance from it (callbacks keep their merges apart themselves).
    UINT end = qcm.idCmdFirst;
    if (FCallback) {
      QCMINFO top{menu, index, first + Base(), last, nullptr};
      FCallback(FFolder.Get(), FOwner, nullptr, DFM_MERGECONTEXTMENU_TOP, flags, reinterpret_cast<LPARAM>(&top));
      QCMINFO bottom{menu, static_cast<UINT>(GetMenuItemCount(menu)), first + Base(), last, nullptr};
      FCallback(FFolder.Get(), FOwner, nullptr, DFM_MERGECONTEXTMENU_BOTTOM, flags, reinterpret_cast<LPARAM>(&bottom));
      end = std::max({end, top.idCmdFirst, bottom.idCmdFirst});
    }
    FReserved = std::min(end, last + 1) - first;
    return MakeMenuResult(FReserved);
  }

  HRESULT InvokeCommand(CMINVOKECOMMANDINFOEX* info) override {
    if (!info || (info->cbSize != CMINVOKECOMMANDINFO_SIZE && info->cbSize != CMINVOKECOMMANDINFOEX_SIZE))
      return E_INVALIDARG;
    bool wide = info->cbSize == CMINVOKECOMMANDINFOEX_SIZE && (info->fMask & CMIC_MASK_UNICODE) && info->lpVerbW;
    UINT offset = kVerbCount + 0x10000;
    std::string appId;
    if (wide ? IsVerbOffset(info->lpVerbW) : IsVerbOffset(info->lpVerb)) {
      offset = wide ? VerbOffset(info->lpVerbW) : VerbOffset(info->lpVerb);
      if (offset >= kVerbCount && offset < Base()) appId = Others()[offset - kVerbCount].Id;
    } else {
      std::string verb = wide ? StringToUtf8(String(info->lpVerbW)) : std::string(info->lpVerb);
      for (UINT i = 0; i < kVerbCount; ++i)
        if (SameVerb(verb, kVerbs[i].Name)) offset = i;
      // An application's verb is good for this menu only when the menu offers that application.
      if (offset >= kVerbCount && verb.rfind(kOpenWith, 0) == 0 && !FChildIds.empty())
        for (const TDesktopApp& app : Others())
          if (app.Id == verb.substr(kOpenWith.size())) appId = app.Id;
      if (offset >= kVerbCount && appId.empty()) return E_INVALIDARG;
    }
    ComPtr<IDataObject> data = SelectionData();
    if (!appId.empty()) return OpenFiles(appId, data.Get(), info);
    if (offset >= kVerbCount) {
      // An item the callback merged: only the callback knows it.
      if (!FCallback || offset >= FReserved) return E_INVALIDARG;
      DFMICS ics{sizeof(DFMICS), info->fMask, 0, FFirst, 0, info};
      HRESULT hr = FCallback(FFolder.Get(), FOwner, data.Get(), DFM_INVOKECOMMANDEX, offset - Base(),
                             reinterpret_cast<LPARAM>(&ics));
      return SUCCEEDED(hr) ? S_OK : hr;
    }
    const TVerb& v = kVerbs[offset];
    if (FCallback && v.Command) {
      DFMICS ics{sizeof(DFMICS), info->fMask, 0, FFirst, 0, info};
      HRESULT hr = FCallback(FFolder.Get(), FOwner, data.Get(), DFM_INVOKECOMMANDEX, static_cast<WPARAM>(v.Command),
                             reinterpret_cast<LPARAM>(&ics));
      if (hr == S_OK) return S_OK;  // the callback did the work
    }
    return Perform(offset, data.Get(), info);
  }

  HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT*, void* name, UINT capacity) override {
    if (idCmd >= Base() || !name || capacity == 0) return E_INVALIDARG;
    bool help = type == GCS_HELPTEXTA || type == GCS_HELPTEXTW;
    String text;
    if (idCmd < kVerbCount) {
      text = Utf8ToString(help ? kVerbs[idCmd].Help : kVerbs[idCmd].Name);
    } else {
      const TDesktopApp& app = Others()[idCmd - kVerbCount];
      text = Utf8ToString(help ? "Opens the selected items with " + app.Name + "." : std::string(kOpenWith) + app.Id);
    }
    if (type == GCS_VALIDATEA || type == GCS_VALIDATEW) return S_OK;
    if (type == GCS_VERBW || type == GCS_HELPTEXTW) {
      if (text.size() + 1 > capacity) return E_INVALIDARG;
      std::memcpy(name, text.c_str(), (text.size() + 1) * sizeof(Char));
    } else if (type == GCS_VERBA || type == GCS_HELPTEXTA) {
      std::string a = StringToAnsi(text);
      if (a.size() + 1 > capacity) return E_INVALIDARG;
      std::memcpy(name, a.c_str(), a.size() + 1);
    } else {
      return E_INVALIDARG;
    }
    return S_OK;
  }

  // Nothing of this menu is drawn by its owner.
  HRESULT HandleMenuMsg(UINT, WPARAM, LPARAM) override { return S_OK; }
  HRESULT HandleMenuMsg2(UINT, WPARAM, LPARAM, LRESULT* result) override {
    if (result) *result = 0;
    return S_OK;
  }

private:
  ~TDefaultFolderMenu() override {
    if (FCallback) FCallback(FFolder.Get(), FOwner, nullptr, DFM_RELEASE, 0, 0);
  }

  void AddVerb(HMENU menu, UINT at, UINT verb, bool isDefault) {
    MENUITEMINFO mi;
    mi.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    mi.wID = FFirst + verb;
    mi.dwTypeData = kVerbs[verb].Caption;
    mi.fState = isDefault ? MFS_DEFAULT : 0;
    InsertMenuItem(menu, at, true, &mi);
  }

  void AddOpenWith(HMENU menu, UINT at, UINT other) {
    String caption = u"Open with " + Utf8ToString(Others()[other].Name);
    MENUITEMINFO mi;
    mi.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    mi.wID = FFirst + kVerbCount + other;
    mi.dwTypeData = caption.c_str();
    InsertMenuItem(menu, at, true, &mi);
  }

  // The applications of the selection's type, read once: the default opens, the others follow.
  const TTypeApps& Apps() {
    if (!FApps) FApps = FTypes.empty() ? TTypeApps() : AppsForTypes(FTypes);
    return *FApps;
  }
  const TTypeApps& Others() {
    if (!FOthers) FOthers = Apps().size() > 1 ? TTypeApps(Apps().begin() + 1, Apps().end()) : TTypeApps();
    return *FOthers;
  }
  // The first identifier after the verbs and the "Open with" items.
  UINT Base() const { return kVerbCount + FOtherCount; }

  // Opens the selected files with an application (through its desktop entry), or with the
  // desktop's own choice for each when `appId` is empty.
  static HRESULT OpenFiles(const std::string& appId, IDataObject* data, CMINVOKECOMMANDINFOEX* info) {
    if (!data) return E_FAIL;
    HRESULT hr = S_OK;
    String cls = Utf8ToString(appId);
    for (const std::string& p : DataObjectPaths(data)) {
      String file = FromNativePath(p);
      SHELLEXECUTEINFOW sei;
      sei.cbSize = sizeof(sei);
      sei.hwnd = info->hwnd;
      sei.lpFile = file.c_str();
      sei.nShow = info->nShow;
      if (!appId.empty()) {
        sei.fMask = SEE_MASK_CLASSNAME;
        sei.lpClass = cls.c_str();
      }
      if (!ShellExecuteExW(&sei)) hr = E_FAIL;
    }
    return hr;
  }

  std::vector<const ITEMIDLIST*> Children(std::vector<std::string>& store) const {
    std::vector<const ITEMIDLIST*> ids;
    for (const std::string& c : FChildIds) store.push_back(c + std::string(2, '\0'));
    for (const std::string& s : store) ids.push_back(reinterpret_cast<const ITEMIDLIST*>(s.data()));
    return ids;
  }

  // The attributes through the folder the caller gave, which may adjust them.
  DWORD Attributes() const {
    if (FChildIds.empty() || !FFolder) return 0;
    std::vector<std::string> store;
    auto ids = Children(store);
    DWORD a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_HASPROPSHEET;
    if (FAILED(FFolder->GetAttributesOf(static_cast<UINT>(ids.size()), ids.data(), &a))) return 0;
    return a;
  }

  ComPtr<IDataObject> SelectionData() const {
    ComPtr<IDataObject> data;
    if (FChildIds.empty() || !FFolder) return data;
    std::vector<std::string> store;
    auto ids = Children(store);
    FFolder->GetUIObjectOf(FOwner, static_cast<UINT>(ids.size()), ids.data(), IDataObject::Iid, nullptr,
                           data.GetVoidAddress());
    return data;
  }

  // Where pasted items go: the one selected folder, or the folder whose background this is.
  std::string PasteTarget() const {
    if (FChildIds.empty()) return PathOf(FFolderIds);
    if (FChildIds.size() != 1 || !FFolder) return std::string();
    std::vector<std::string> store;
    auto ids = Children(store);
    ComPtr<IDropTarget> target;
    if (FAILED(FFolder->GetUIObjectOf(FOwner, 1, ids.data(), IDropTarget::Iid, nullptr, target.GetVoidAddress())))
      return std::string();
    std::vector<std::string> paths = DataObjectPaths(SelectionData().Get());
    return paths.size() == 1 && IsDirectory(paths[0]) ? paths[0] : std::string();
  }

  static std::string PathOf(const std::string& ids) {
    std::string bytes = ids + std::string(2, '\0');
    return PathFromIdList(reinterpret_cast<const ITEMIDLIST*>(bytes.data()));
  }

  static std::vector<std::string> ClipboardPaths(DWORD* effect) {
    ComPtr<IDataObject> clip;
    if (FAILED(OleGetClipboard(clip.GetAddressOf())) || !clip) return {};
    if (effect) *effect = PreferredDropEffect(clip.Get());
    return DataObjectPaths(clip.Get());
  }

  bool CanPaste() const {
    if (PasteTarget().empty()) return false;
    return !ClipboardPaths(nullptr).empty();
  }

  HRESULT Perform(UINT verb, IDataObject* data, CMINVOKECOMMANDINFOEX* info) {
    switch (verb) {
      case vOpen: return OpenFiles(Apps().empty() ? std::string() : Apps().front().Id, data, info);
      case vCut:
      case vCopy: {
        if (!data || DataObjectPaths(data).empty()) return E_FAIL;
        DWORD effect = verb == vCut ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        HGLOBAL h = GlobalAlloc(GHND, 4);
        if (!h) return E_OUTOFMEMORY;
        std::memcpy(GlobalLock(h), &effect, 4);
        GlobalUnlock(h);
        FORMATETC fe{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"Preferred DropEffect")), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM m;
        m.tymed = TYMED_HGLOBAL;
        m.hGlobal = h;
        if (FAILED(data->SetData(&fe, &m, 1))) ReleaseStgMedium(&m);
        return OleSetClipboard(data);
      }
      case vPaste:
      case vPasteLink: {
        std::string target = PasteTarget();
        DWORD effect = 0;
        std::vector<std::string> paths = ClipboardPaths(&effect);
        if (target.empty() || paths.empty()) return E_FAIL;
        bool move = verb == vPaste && effect == DROPEFFECT_MOVE;
        HRESULT hr = TransferFiles(paths, target, verb == vPasteLink ? TTransfer::Link
                                                   : move            ? TTransfer::Move
                                                                     : TTransfer::Copy);
        // What was cut is gone from where it was, so the clipboard no longer names anything.
        if (SUCCEEDED(hr) && move) OleSetClipboard(nullptr);
        return hr;
      }
      case vDelete: {
        std::vector<std::string> paths = DataObjectPaths(data);
        if (paths.empty()) return E_FAIL;
        HRESULT hr = DeleteFiles(paths, !(info->fMask & CMIC_MASK_SHIFT_DOWN));
        return hr == E_ABORT ? HRESULT_CANCELLED : hr;
      }
      case vLink: {
        std::vector<std::string> paths = DataObjectPaths(data);
        if (paths.empty()) return E_FAIL;
        std::string dir = paths[0].substr(0, paths[0].find_last_of('/'));
        return TransferFiles(paths, dir.empty() ? "/" : dir, TTransfer::Link);
      }
      case vProperties: {
        std::vector<std::string> paths = DataObjectPaths(data);
        return paths.empty() ? E_FAIL : ShowPropertiesWindow(paths, info->hwnd);
      }
      default:
        // Renaming happens in place, in the caller's own window.
        return E_NOTIMPL;
    }
  }

  ComPtr<IShellFolder> FFolder;
  std::string FFolderIds;
  std::vector<std::string> FChildIds;
  HWND FOwner{nullptr};
  LPFNDFMCALLBACK FCallback;
  UINT FFirst{0};
  UINT FReserved{kVerbCount};
  std::vector<std::string> FTypes;
  std::optional<TTypeApps> FApps, FOthers;
  UINT FOtherCount{0};
};

}  // namespace

IContextMenu* CreateDefaultFolderMenu(IShellFolder* folder, const std::string& folderIds,
                                      std::vector<std::string> childIds, HWND owner, LPFNDFMCALLBACK callback,
                                      std::vector<std::string> mimeTypes) {
  return new TDefaultFolderMenu(folder, folderIds, std::move(childIds), owner, std::move(callback),
                                std::move(mimeTypes));
}

}  // namespace pf::shellapi

namespace pf {

HRESULT CDefFolderMenu_Create2(const ITEMIDLIST* pidlFolder, HWND owner, UINT cidl, const ITEMIDLIST** apidl,
                               IShellFolder* folder, LPFNDFMCALLBACK callback, UINT nKeys, const HKEY* keys,
                               IContextMenu** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!folder || (cidl && !apidl)) return E_INVALIDARG;
  std::vector<std::string> children;
  for (UINT i = 0; i < cidl; ++i) {
    if (!apidl[i]) return E_INVALIDARG;
    children.push_back(shellapi::IdBytes(apidl[i]));
  }
  // The class keys that name a MIME type choose the applications; the others ("*", "Folder",
  // "Unknown", a perceived type) add no verbs here.
  std::vector<std::string> types;
  for (UINT i = 0; keys && i < nKeys; ++i) {
    std::string t = shellapi::CanonicalMimeType(StringToUtf8(shellapi::RegistryKeyName(keys[i])));
    if (!t.empty() && std::find(types.begin(), types.end(), t) == types.end()) types.push_back(t);
  }
  std::string folderIds = pidlFolder ? shellapi::IdBytes(pidlFolder) : std::string();
  *out = shellapi::CreateDefaultFolderMenu(folder, folderIds, std::move(children), owner, std::move(callback),
                                           std::move(types));
  return S_OK;
}

}  // namespace pf
