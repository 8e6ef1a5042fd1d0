// What the shell hands to the clipboard and to drag and drop for a selection of its items (a shell
// ID list and a file list), how it reads such data back, and a folder's drop target.

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"
#include "platform/user/Messages.h"

namespace pf::shellapi {

namespace {

CLIPFORMAT ShellIdListFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"Shell IDList Array")); }
CLIPFORMAT PreferredEffectFormat() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"Preferred DropEffect")); }

// Bytes of a global-memory format of the object; false when it has none.
bool ReadFormat(IDataObject* data, CLIPFORMAT format, std::vector<Byte>& out) {
  FORMATETC fe{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m;
  if (!data || FAILED(data->GetData(&fe, &m))) return false;
  bool ok = m.tymed == TYMED_HGLOBAL && m.hGlobal;
  if (ok) {
    size_t n = GlobalSize(m.hGlobal);
    const Byte* p = static_cast<const Byte*>(GlobalLock(m.hGlobal));
    ok = p != nullptr || n == 0;
    if (p) out.assign(p, p + n);
    GlobalUnlock(m.hGlobal);
  }
  ReleaseStgMedium(&m);
  return ok;
}

uint32_t ReadU32(const Byte* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The length of the ID list at `p` with its terminator, within `size` bytes; 0 when it runs out.
size_t IdListLength(const Byte* p, size_t size) {
  size_t at = 0;
  while (at + 2 <= size) {
    Word cb;
    std::memcpy(&cb, p + at, 2);
    if (cb == 0) return at + 2;
    if (cb < 2) return 0;
    at += cb;
  }
  return 0;
}

// Absolute ID lists (without terminators) of a shell ID list block; false for a block that does
// not hold together.
bool ReadShellIdList(const std::vector<Byte>& block, std::vector<std::string>& lists) {
  if (block.size() < 4) return false;
  uint32_t count = ReadU32(block.data());
  if (count > (block.size() - 4) / 4 - 1 || block.size() < 4 + 4 * (static_cast<size_t>(count) + 1)) return false;
  auto listAt = [&](uint32_t i, std::string& out) {
    uint32_t off = ReadU32(block.data() + 4 + 4 * i);
    if (off >= block.size()) return false;
    size_t len = IdListLength(block.data() + off, block.size() - off);
    if (len == 0) return false;
    out.assign(reinterpret_cast<const char*>(block.data() + off), len - 2);
    return true;
  };
  std::string parent;
  if (!listAt(0, parent)) return false;
  for (uint32_t i = 1; i <= count; ++i) {
    std::string child;
    if (!listAt(i, child)) return false;
    lists.push_back(parent + child);
  }
  return true;
}

std::vector<Byte> MakeShellIdList(const std::string& folderIds, const std::vector<std::string>& childIds) {
  std::vector<std::string> lists{folderIds};
  lists.insert(lists.end(), childIds.begin(), childIds.end());
  std::vector<Byte> block(4 + 4 * lists.size());
  uint32_t count = static_cast<uint32_t>(childIds.size());
  std::memcpy(block.data(), &count, 4);
  for (size_t i = 0; i < lists.size(); ++i) {
    uint32_t off = static_cast<uint32_t>(block.size());
    std::memcpy(block.data() + 4 + 4 * i, &off, 4);
    block.insert(block.end(), lists[i].begin(), lists[i].end());
    block.push_back(0);
    block.push_back(0);
  }
  return block;
}

// A data object over a few global-memory formats; what callers set is kept as a copy.
class TItemsDataObject final : public TShellObject<IDataObject> {
public:
  void Put(CLIPFORMAT f, std::vector<Byte> bytes) { FFormats[f] = std::move(bytes); }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IUnknown::Iid && iid != IDataObject::Iid) return E_NOINTERFACE;
    *out = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT GetData(const FORMATETC* fe, STGMEDIUM* m) override {
    if (!fe || !m) return E_INVALIDARG;
    HRESULT hr = QueryGetData(fe);
    if (hr != S_OK) return hr;
    const std::vector<Byte>& b = FFormats[fe->cfFormat];
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = GlobalCopy(GHND, b.data(), b.size());
    m->pUnkForRelease = nullptr;
    return m->hGlobal ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(const FORMATETC* fe) override {
    if (!fe) return E_INVALIDARG;
    if (!FFormats.count(fe->cfFormat)) return DV_E_FORMATETC;
    if (!(fe->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    return S_OK;
  }
  HRESULT GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetData(const FORMATETC* fe, STGMEDIUM* m, BOOL release) override {
    if (!fe || !m || m->tymed != TYMED_HGLOBAL) return DV_E_TYMED;
    size_t n = GlobalSize(m->hGlobal);
    const Byte* p = static_cast<const Byte*>(GlobalLock(m->hGlobal));
    if (!p && n) return E_INVALIDARG;
    FFormats[fe->cfFormat].assign(p, p + n);
    GlobalUnlock(m->hGlobal);
    if (release) ReleaseStgMedium(m);
    return S_OK;
  }
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> formats;
    for (const auto& [f, bytes] : FFormats) formats.push_back(FORMATETC{f, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    return CreateFormatEnumerator(std::move(formats), out);
  }
  HRESULT DAdvise(const FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA** out) override {
    if (out) *out = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }

private:
  std::map<CLIPFORMAT, std::vector<Byte>> FFormats;
};

bool SameDevice(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

class TFolderDropTarget final : public TShellObject<IDropTarget> {
public:
  explicit TFolderDropTarget(std::string path) : FPath(std::move(path)) {}

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IUnknown::Iid && iid != IDropTarget::Iid) return E_NOINTERFACE;
    *out = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT DragEnter(IDataObject* data, DWORD keys, TPoint, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    FPaths = DataObjectPaths(data);
    *effect = Choose(keys, *effect);
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, TPoint, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    *effect = Choose(keys, *effect);
    return S_OK;
  }
  HRESULT DragLeave() override {
    FPaths.clear();
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, TPoint, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    FPaths = DataObjectPaths(data);
    DWORD chosen = Choose(keys, *effect);
    *effect = DROPEFFECT_NONE;
    std::vector<std::string> paths = std::move(FPaths);
    FPaths.clear();
    if (chosen == DROPEFFECT_NONE) return S_OK;
    TTransfer how = chosen == DROPEFFECT_MOVE ? TTransfer::Move
                    : chosen == DROPEFFECT_LINK ? TTransfer::Link
                                                : TTransfer::Copy;
    HRESULT hr = TransferFiles(paths, FPath, how);
    if (SUCCEEDED(hr)) *effect = chosen;
    return hr;
  }

private:
  // The keys choose; without keys a move stays on its file system and a copy crosses to another.
  DWORD Choose(DWORD keys, DWORD allowed) const {
    if (FPaths.empty() || !IsDirectory(FPath)) return DROPEFFECT_NONE;
    bool ctrl = keys & MK_CONTROL, shift = keys & MK_SHIFT;
    DWORD wanted = ctrl && shift ? DROPEFFECT_LINK
                   : ctrl        ? DROPEFFECT_COPY
                   : shift       ? DROPEFFECT_MOVE
                   : SameDevice(FPaths.front(), FPath) ? DROPEFFECT_MOVE
                                                       : DROPEFFECT_COPY;
    if (allowed & wanted) return wanted;
    for (DWORD e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
      if (!ctrl && !shift && (allowed & e)) return e;
    return DROPEFFECT_NONE;
  }

  std::string FPath;
  std::vector<std::string> FPaths;
};

}  // namespace

std::vector<std::string> DataObjectPaths(IDataObject* dataObject) {
  std::vector<std::string> paths;
  std::vector<Byte> block;
  if (ReadFormat(dataObject, ShellIdListFormat(), block)) {
    std::vector<std::string> lists;
    if (ReadShellIdList(block, lists)) {
      for (const std::string& ids : lists) {
        std::string bytes = ids + std::string(2, '\0');
        std::string p = PathFromIdList(reinterpret_cast<const ITEMIDLIST*>(bytes.data()));
        if (!p.empty() && PathExists(p)) paths.push_back(p);
      }
      return paths;
    }
  }
  block.clear();
  if (ReadFormat(dataObject, CF_HDROP, block)) {
    std::vector<String> names;
    if (ReadDropFiles(block.data(), block.size(), names))
      for (const String& n : names) {
        std::string p = ToNativePath(n);
        if (!p.empty() && p[0] == '/' && PathExists(p)) paths.push_back(p);
      }
  }
  return paths;
}

DWORD PreferredDropEffect(IDataObject* dataObject) {
  std::vector<Byte> block;
  if (!ReadFormat(dataObject, PreferredEffectFormat(), block) || block.size() < 4) return 0;
  return ReadU32(block.data());
}

IDataObject* CreateItemsDataObject(const std::string& folderIds, const std::vector<std::string>& childIds) {
  auto* d = new TItemsDataObject;
  d->Put(ShellIdListFormat(), MakeShellIdList(folderIds, childIds));
  std::vector<String> names;
  for (const std::string& child : childIds) {
    std::string bytes = folderIds + child + std::string(2, '\0');
    std::string p = PathFromIdList(reinterpret_cast<const ITEMIDLIST*>(bytes.data()));
    if (!p.empty()) names.push_back(FromNativePath(p));
  }
  if (!names.empty()) d->Put(CF_HDROP, MakeDropFiles(names, true));
  return d;
}

IDropTarget* CreateFolderDropTarget(const std::string& folderPath) { return new TFolderDropTarget(folderPath); }

}  // namespace pf::shellapi
