// The data object, its format enumerator and the clipboard-format classes.

#include "common/CommonDataObject.h"

#include <algorithm>
#include <cstring>

#include "common/CommonUtilities.h"
#include "platform/ole/DragDrop.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/Units.h"

namespace common {

TClipFormat CF_SHELLIDLIST = 0;
TClipFormat CF_LOGICALPERFORMEDDROPEFFECT = 0;
TClipFormat CF_PREFERREDDROPEFFECT = 0;
TClipFormat CF_PERFORMEDDROPEFFECT = 0;
TClipFormat CF_PASTESUCCEEDED = 0;
TClipFormat CF_INSHELLDRAGLOOP = 0;
TClipFormat CF_SHELLOBJECTOFFSETS = 0;
TClipFormat CF_FILECONTENTS = 0;
TClipFormat CF_FILEDESCRIPTORA = 0;
TClipFormat CF_FILEDESCRIPTORW = 0;

TCommonPIDLManager* CommonDataObjectPIDLMgr = nullptr;

namespace {

uint32_t ReadU32(const Byte* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void WriteU32(Byte* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}
Word ReadU16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }

bool SameFormat(const FORMATETC& a, const FORMATETC& b) {
  return a.cfFormat == b.cfFormat && a.ptd == b.ptd && a.dwAspect == b.dwAspect && a.lindex == b.lindex &&
         a.tymed == b.tymed;
}

}  // namespace

// ---- TCommonDataObject ----

void TCommonDataObject::Create(bool isReferenceCounted) {
  TObject::Create();
  // Interface references handed out while the object is made must not free it.
  FRefCount = 1;
  FReferenceCounted = isReferenceCounted;
}

void TCommonDataObject::AfterConstruction() {
  TObject::AfterConstruction();
  --FRefCount;
}

void TCommonDataObject::Destroy() {
  for (TDataObjectInfo& info : FFormats) ReleaseStgMedium(&info.StgMedium);
  FFormats.clear();
  FAdviseHolder = nullptr;
  TObject::Destroy();
}

HRESULT TCommonDataObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IUnknown::Iid || iid == IDataObject::Iid || iid == ICommonDataObject::Iid ||
      iid == ICommonDataObjectFolders::Iid) {
    *out = static_cast<ICommonDataObjectFolders*>(this);
  } else if (iid == ICommonDataObjectMark::Iid) {
    *out = static_cast<ICommonDataObjectMark*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TCommonDataObject::AddRef() {
  if (!FReferenceCounted) return static_cast<ULONG>(-1);
  return static_cast<ULONG>(++FRefCount);
}

ULONG TCommonDataObject::Release() {
  if (!FReferenceCounted) return static_cast<ULONG>(-1);
  Integer n = --FRefCount;
  if (n == 0) Free();
  return static_cast<ULONG>(n);
}

bool TCommonDataObject::IsSelf(IUnknown* unk) {
  if (!unk) return false;
  ComPtr<IUnknown> other;
  if (FAILED(unk->QueryInterface(IUnknown::Iid, other.GetVoidAddress()))) return false;
  return other.Get() == static_cast<IUnknown*>(static_cast<ICommonDataObjectFolders*>(this));
}

void TCommonDataObject::DropSelfReference(STGMEDIUM& medium) {
  if (IsSelf(medium.pUnkForRelease)) {
    medium.pUnkForRelease->Release();
    medium.pUnkForRelease = nullptr;
  }
}

HRESULT TCommonDataObject::DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) {
  if (!FAdviseHolder) CreateDataAdviseHolder(FAdviseHolder.GetAddressOf());
  if (!FAdviseHolder) return OLE_E_ADVISENOTSUPPORTED;
  return FAdviseHolder->Advise(AsDataObject(), format, advf, sink, connection);
}

HRESULT TCommonDataObject::DUnadvise(DWORD connection) {
  if (!FAdviseHolder) return OLE_E_ADVISENOTSUPPORTED;
  return FAdviseHolder->Unadvise(connection);
}

HRESULT TCommonDataObject::EnumDAdvise(IEnumSTATDATA** out) {
  if (out) *out = nullptr;
  if (!FAdviseHolder) return OLE_E_ADVISENOTSUPPORTED;
  return FAdviseHolder->EnumAdvise(out);
}

HRESULT TCommonDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  TFormatEtcArray formats;
  for (const TDataObjectInfo& info : FFormats) formats.push_back(info.FormatEtc);
  auto* e = new (std::nothrow) TCommonEnumFormatEtc(std::move(formats));
  if (!e) return E_OUTOFMEMORY;
  DoGetCustomFormats(direction, e->Formats());
  e->AddRef();
  *out = e;
  return S_OK;
}

HRESULT TCommonDataObject::GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* formatOut) {
  if (formatOut) formatOut->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT TCommonDataObject::GetDataHere(const FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

Integer TCommonDataObject::FindFormat(const FORMATETC& format) const {
  for (size_t i = 0; i < FFormats.size(); ++i)
    if (SameFormat(FFormats[i].FormatEtc, format)) return static_cast<Integer>(i);
  return -1;
}

HRESULT TCommonDataObject::QueryGetData(const FORMATETC* format) {
  if (!format) return E_INVALIDARG;
  bool available = false, handled = false;
  DoQueryGetData(*format, available, handled);
  if (handled) return available ? S_OK : DV_E_FORMATETC;
  if (FFormats.empty()) return E_UNEXPECTED;
  HRESULT hr = DV_E_FORMATETC;
  for (size_t i = 0; i < FFormats.size() && hr == DV_E_FORMATETC; ++i) {
    const FORMATETC& f = FFormats[i].FormatEtc;
    if (f.cfFormat != format->cfFormat)
      hr = DV_E_FORMATETC;
    else if (f.dwAspect != format->dwAspect)
      hr = DV_E_DVASPECT;
    else
      hr = (f.tymed & format->tymed) != 0 ? S_OK : DV_E_TYMED;
  }
  return hr;
}

HRESULT TCommonDataObject::GetData(const FORMATETC* formatIn, STGMEDIUM* medium) {
  if (!formatIn || !medium) return E_INVALIDARG;
  bool handled = false;
  DoGetData(*formatIn, *medium, handled);
  if (handled) return S_OK;
  if (FFormats.empty()) return E_UNEXPECTED;
  HRESULT hr = QueryGetData(formatIn);
  if (FAILED(hr)) return hr;
  Integer i = FindFormat(*formatIn);
  if (i >= 0 && FFormats[static_cast<size_t>(i)].OwnedByDataObject)
    return CopyMedium(FFormats[static_cast<size_t>(i)].StgMedium, *medium, false);
  return GetUserData(*formatIn, *medium) ? S_OK : E_UNEXPECTED;
}

HRESULT TCommonDataObject::SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) {
  if (!format || !medium) return E_INVALIDARG;
  STGMEDIUM incoming = *medium;
  bool take = release != 0;
  // A medium this object handed out shares a stored entry's data: storing it as it is would free
  // that data twice (or, for the same format, store data the next step frees). It is stored as a
  // copy of its own instead.
  if (IsSelf(medium->pUnkForRelease)) {
    STGMEDIUM copy;
    HRESULT hr = CopyMedium(*medium, copy, true);
    if (FAILED(hr)) return hr;
    DropSelfReference(copy);
    if (release) ReleaseStgMedium(medium);
    incoming = copy;
    take = true;
  }
  Integer i = FindFormat(*format);
  if (i < 0) {
    FFormats.push_back(TDataObjectInfo{*format, STGMEDIUM{}, false});
    i = static_cast<Integer>(FFormats.size()) - 1;
  } else {
    ReleaseStgMedium(&FFormats[static_cast<size_t>(i)].StgMedium);
  }
  TDataObjectInfo& info = FFormats[static_cast<size_t>(i)];
  info.OwnedByDataObject = true;
  HRESULT hr = S_OK;
  if (take) {
    info.StgMedium = incoming;
  } else {
    hr = CopyMedium(incoming, info.StgMedium, true);
    if (FAILED(hr)) {
      // The entry would hold the caller's data as its own.
      FFormats.erase(FFormats.begin() + i);
      return hr;
    }
  }
  DropSelfReference(info.StgMedium);
  if (FAdviseHolder) FAdviseHolder->SendOnDataChange(AsDataObject(), 0, 0);
  return hr;
}

HRESULT TCommonDataObject::CopyMedium(const STGMEDIUM& source, STGMEDIUM& dest, bool copyData) {
  dest.tymed = source.tymed;
  dest.hGlobal = source.hGlobal;
  dest.pUnkForRelease = source.pUnkForRelease;
  IUnknown* self = static_cast<ICommonDataObjectFolders*>(this);
  switch (source.tymed) {
    case TYMED_HGLOBAL:
      if (copyData) {
        size_t size = GlobalSize(source.hGlobal);
        const void* p = GlobalLock(source.hGlobal);
        dest.hGlobal = p ? GlobalCopy(GMEM_FIXED | GMEM_ZEROINIT, p, size) : nullptr;
        if (p) GlobalUnlock(source.hGlobal);
        if (!dest.hGlobal) {
          dest = STGMEDIUM{};
          return E_OUTOFMEMORY;
        }
      } else {
        dest.pUnkForRelease = self;
      }
      break;
    case TYMED_FILE:
      if (copyData) {
        size_t n = source.lpszFileName ? std::char_traits<Char>::length(source.lpszFileName) + 1 : 0;
        auto* name = static_cast<Char*>(n ? CoTaskMemAlloc(n * sizeof(Char)) : nullptr);
        if (n && !name) {
          dest = STGMEDIUM{};
          return E_OUTOFMEMORY;
        }
        if (n) std::memcpy(name, source.lpszFileName, n * sizeof(Char));
        dest.lpszFileName = name;
      } else {
        dest.pUnkForRelease = self;
      }
      break;
    case TYMED_ISTREAM:
      if (source.pstm) source.pstm->AddRef();
      break;
    case TYMED_ISTORAGE:
      if (source.pstg) source.pstg->AddRef();
      break;
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
      if (copyData) {
        dest = STGMEDIUM{};
        return DV_E_TYMED;
      }
      dest.pUnkForRelease = self;
      break;
    default:
      dest = STGMEDIUM{};
      return DV_E_TYMED;
  }
  if (dest.pUnkForRelease) dest.pUnkForRelease->AddRef();
  return S_OK;
}

void TCommonDataObject::DoGetCustomFormats(DWORD, TFormatEtcArray&) {}

void TCommonDataObject::DoGetData(const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool& handled) {
  if (OnGetData) OnGetData(this, formatEtcIn, medium, handled);
}

void TCommonDataObject::DoQueryGetData(const FORMATETC& formatEtcIn, bool& formatAvailable, bool& handled) {
  if (OnQueryGetData) OnQueryGetData(this, formatEtcIn, formatAvailable, handled);
}

bool TCommonDataObject::GetUserData(const FORMATETC&, STGMEDIUM&) { return false; }

bool TCommonDataObject::AssignDragImage(TBitmap* image, TPoint hotSpot, TColor transparentColor) {
  if (!image || IsNT4OrEarlier()) return false;
  ComPtr<IDragSourceHelper> helper;
  if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IDragSourceHelper::Iid,
                              helper.GetVoidAddress())) ||
      !helper)
    return false;
  SHDRAGIMAGE info;
  info.sizeDragImage = TSize{image->GetWidth(), image->GetHeight()};
  info.ptOffset = hotSpot;
  info.crColorKey = static_cast<DWORD>(ColorToRGB(transparentColor));
  info.hbmpDragImage = static_cast<HBITMAP>(
      CopyImage(image->GetHandle(), IMAGE_BITMAP, image->GetWidth(), image->GetHeight(), LR_COPYRETURNORG));
  if (SUCCEEDED(helper->InitializeFromBitmap(&info, AsDataObject()))) return true;
  if (info.hbmpDragImage) DeleteObject(info.hbmpDragImage);
  return false;
}

bool TCommonDataObject::SaveGlobalBlock(TClipFormat format, const void* memoryBlock, Integer memoryBlockSize) {
  try {
    if (memoryBlockSize < 0 || (!memoryBlock && memoryBlockSize > 0)) return false;
    STGMEDIUM medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalCopy(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, memoryBlock,
                                static_cast<size_t>(memoryBlockSize));
    if (!medium.hGlobal) return false;
    FORMATETC f{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (FAILED(SetData(&f, &medium, 1))) {
      GlobalFree(medium.hGlobal);
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TCommonDataObject::LoadGlobalBlock(TClipFormat format, std::vector<Byte>& memoryBlock) {
  FORMATETC f{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  if (QueryGetData(&f) != S_OK) return false;
  STGMEDIUM medium;
  if (GetData(&f, &medium) != S_OK) return false;
  bool ok = medium.tymed == TYMED_HGLOBAL && GlobalLock(medium.hGlobal) != nullptr;
  if (ok) {
    GlobalUnlock(medium.hGlobal);
    memoryBlock = GlobalBytes(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return ok;
}

// ---- TCommonEnumFormatEtc ----

HRESULT TCommonEnumFormatEtc::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IUnknown::Iid || iid == IEnumFORMATETC::Iid) {
    *out = static_cast<IEnumFORMATETC*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG TCommonEnumFormatEtc::Release() {
  ULONG n = DoRelease();
  if (n == 0) delete this;
  return n;
}

HRESULT TCommonEnumFormatEtc::Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) {
  if (FFormats.empty()) return E_UNEXPECTED;
  if (!rgelt && celt > 0) return E_POINTER;
  constexpr ULONG kMaxOut = 256;
  ULONG n = 0;
  while (n < celt && n < kMaxOut && static_cast<size_t>(FInternalIndex) < FFormats.size())
    rgelt[n++] = FFormats[static_cast<size_t>(FInternalIndex++)];
  if (pceltFetched) *pceltFetched = n;
  return n == celt ? S_OK : S_FALSE;
}

HRESULT TCommonEnumFormatEtc::Skip(ULONG celt) {
  if (FFormats.empty()) return E_UNEXPECTED;
  if (FFormats.size() <= static_cast<size_t>(FInternalIndex) + celt) return S_FALSE;
  FInternalIndex += static_cast<Integer>(celt);
  return S_OK;
}

HRESULT TCommonEnumFormatEtc::Reset() {
  if (FFormats.empty()) return E_UNEXPECTED;
  FInternalIndex = 0;
  return S_OK;
}

HRESULT TCommonEnumFormatEtc::Clone(IEnumFORMATETC** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (FFormats.empty()) return E_UNEXPECTED;
  auto* e = new TCommonEnumFormatEtc(FFormats, FInternalIndex);
  e->AddRef();
  *out = e;
  return S_OK;
}

// ---- TCommonClipboardFormat ----

void TCommonClipboardFormat::GetFormatEtc(FORMATETC& formatEtc) { formatEtc = FORMATETC{}; }
bool TCommonClipboardFormat::LoadFromClipboard() { return false; }
bool TCommonClipboardFormat::LoadFromDataObject(IDataObject*) { return false; }
bool TCommonClipboardFormat::SaveToClipboard() { return false; }
bool TCommonClipboardFormat::SaveToDataObject(IDataObject*) { return false; }

FORMATETC TCommonClipboardFormat::HGlobalFormat(TClipFormat format) {
  return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool TCommonClipboardFormat::ReadBlock(IDataObject* dataObject, std::vector<Byte>& bytes) {
  if (!dataObject) return false;
  FORMATETC f;
  GetFormatEtc(f);
  STGMEDIUM medium;
  if (dataObject->GetData(&f, &medium) != S_OK) return false;
  bool ok = medium.tymed == TYMED_HGLOBAL && GlobalLock(medium.hGlobal) != nullptr;
  if (ok) {
    GlobalUnlock(medium.hGlobal);
    bytes = GlobalBytes(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return ok;
}

bool TCommonClipboardFormat::WriteBlock(IDataObject* dataObject, const std::vector<Byte>& bytes) {
  if (!dataObject) return false;
  STGMEDIUM medium;
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalCopy(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.data(), bytes.size());
  if (!medium.hGlobal) return false;
  FORMATETC f;
  GetFormatEtc(f);
  if (FAILED(dataObject->SetData(&f, &medium, 1))) {
    GlobalFree(medium.hGlobal);
    return false;
  }
  return true;
}

// ---- TCommonHDrop ----

bool TCommonHDrop::CheckBlock(const Byte* block, size_t size, std::vector<Byte>& out) {
  out.clear();
  std::vector<String> names;
  size_t end = 0;
  if (!ReadDropFiles(block, size, names, &end)) return false;
  out.assign(block, block + std::min(end, size));
  // A block that stopped right after its last name gets the list's final terminator.
  out.resize(end, 0);
  return true;
}

void TCommonHDrop::SetBlock(std::vector<Byte> block) {
  FDropFiles = std::move(block);
  FStructureSize = static_cast<Integer>(FDropFiles.size());
  // A count kept from the block before would index past this one's names.
  FFileCount = 0;
}

namespace {
std::vector<String> ListOf(const TStrings* list) {
  std::vector<String> out;
  for (Integer i = 0; i < list->Count(); ++i) out.push_back(list->Get(i));
  return out;
}
}  // namespace

void TCommonHDrop::AssignFilesA(const TStrings* fileList) {
  SetBlock({});
  if (fileList) SetBlock(MakeDropFiles(ListOf(fileList), false));
}

void TCommonHDrop::AssignFilesW(const TStrings* fileList) {
  SetBlock({});
  if (fileList) SetBlock(MakeDropFiles(ListOf(fileList), true));
}

std::vector<String> TCommonHDrop::Names() const {
  std::vector<String> names;
  ReadDropFiles(FDropFiles.data(), FDropFiles.size(), names);
  return names;
}

Integer TCommonHDrop::FileCount() {
  if (FDropFiles.empty()) return 0;
  if (FFileCount == 0) FFileCount = static_cast<Integer>(Names().size());
  return FFileCount;
}

void TCommonHDrop::FileNamesW(TStrings* fileList) {
  if (!fileList) return;
  for (const String& s : Names()) fileList->Add(s);
}

String TCommonHDrop::FileNameW(Integer index) {
  std::vector<String> names = Names();
  if (index < 0 || static_cast<size_t>(index) >= names.size()) return {};
  return names[static_cast<size_t>(index)];
}

void TCommonHDrop::GetFormatEtc(FORMATETC& formatEtc) { formatEtc = HGlobalFormat(CF_HDROP); }

bool TCommonHDrop::LoadFromClipboard() {
  SetBlock({});
  if (!OpenClipboard(nullptr)) return false;
  HGLOBAL h = GetClipboardData(CF_HDROP);
  std::vector<Byte> bytes = h ? GlobalBytes(h) : std::vector<Byte>{};
  CloseClipboard();
  std::vector<Byte> block;
  if (!h || !CheckBlock(bytes.data(), bytes.size(), block)) return false;
  SetBlock(std::move(block));
  return true;
}

bool TCommonHDrop::LoadFromDataObject(IDataObject* dataObject) {
  SetBlock({});
  std::vector<Byte> bytes, block;
  if (!ReadBlock(dataObject, bytes) || !CheckBlock(bytes.data(), bytes.size(), block)) return false;
  SetBlock(std::move(block));
  return true;
}

bool TCommonHDrop::SaveToClipboard() {
  if (FDropFiles.empty() || !OpenClipboard(nullptr)) return false;
  bool placed = false;
  HGLOBAL h = GlobalCopy(GMEM_MOVEABLE | GMEM_ZEROINIT, FDropFiles.data(), FDropFiles.size());
  if (h) {
    placed = SetClipboardData(CF_HDROP, h) != nullptr;
    if (!placed) GlobalFree(h);
  }
  CloseClipboard();
  return placed;
}

bool TCommonHDrop::SaveToDataObject(IDataObject* dataObject) { return WriteBlock(dataObject, FDropFiles); }

// ---- TCommonShellIDList ----

bool TCommonShellIDList::CheckBlock(const Byte* block, size_t size, std::vector<Byte>& out) {
  out.clear();
  if (!block || size < 4) return false;
  uint64_t cidl = ReadU32(block);
  uint64_t header = 4 + 4 * (cidl + 1);
  if (header > size) return false;
  size_t end = static_cast<size_t>(header);
  for (uint64_t i = 0; i <= cidl; ++i) {
    size_t p = ReadU32(block + 4 + 4 * i);
    if (p >= size) return false;
    for (;;) {
      if (p + 2 > size) return false;
      Word cb = ReadU16(block + p);
      if (cb == 0) break;
      // A count below its own two bytes would never move on.
      if (cb < 2) return false;
      p += cb;
    }
    end = std::max(end, p + 2);
  }
  out.assign(block, block + end);
  return true;
}

uint32_t TCommonShellIDList::Offset(Integer i) const { return ReadU32(FCIDA.data() + 4 + 4 * static_cast<size_t>(i)); }

void TCommonShellIDList::AssignPIDLs(const TCommonPIDLList* pidlList) {
  // An empty list would make a block of -1 items.
  if (!pidlList || pidlList->Count() == 0) {
    if (pidlList) FCIDA.clear();
    return;
  }
  FCIDA.clear();
  TCommonPIDLManager* m = CommonDataObjectPIDLMgr;
  size_t count = static_cast<size_t>(pidlList->Count());
  std::vector<Byte> b(4 + 4 * count, 0);
  WriteU32(b.data(), static_cast<uint32_t>(count - 1));
  for (size_t i = 0; i < count; ++i) {
    const ITEMIDLIST* p = pidlList->Get(static_cast<Integer>(i));
    WriteU32(b.data() + 4 + 4 * i, static_cast<uint32_t>(b.size()));
    const Byte* bytes = reinterpret_cast<const Byte*>(p);
    if (p)
      b.insert(b.end(), bytes, bytes + m->PIDLSize(p));
    else
      b.insert(b.end(), {0, 0});
  }
  FCIDA = std::move(b);
}

Integer TCommonShellIDList::PIDLCount() const { return FCIDA.empty() ? 0 : static_cast<Integer>(ReadU32(FCIDA.data())); }

const ITEMIDLIST* TCommonShellIDList::ParentPIDL() const {
  if (FCIDA.empty()) return nullptr;
  return reinterpret_cast<const ITEMIDLIST*>(FCIDA.data() + Offset(0));
}

const ITEMIDLIST* TCommonShellIDList::RelativePIDL(Integer index) const {
  if (FCIDA.empty() || index < 0 || index >= PIDLCount()) return nullptr;
  return reinterpret_cast<const ITEMIDLIST*>(FCIDA.data() + Offset(index + 1));
}

PItemIDList TCommonShellIDList::AbsolutePIDL(Integer index) const {
  if (FCIDA.empty()) return nullptr;
  const ITEMIDLIST* rel = RelativePIDL(index);
  return CommonDataObjectPIDLMgr->AppendPIDL(ParentPIDL(), rel);
}

void TCommonShellIDList::GetFormatEtc(FORMATETC& formatEtc) { formatEtc = HGlobalFormat(CF_SHELLIDLIST); }

bool TCommonShellIDList::LoadFromClipboard() {
  try {
    FCIDA.clear();
    HGLOBAL h = GetClipboardData(CF_SHELLIDLIST);
    if (!h) return false;
    std::vector<Byte> bytes = GlobalBytes(h), block;
    if (!CheckBlock(bytes.data(), bytes.size(), block)) return false;
    FCIDA = std::move(block);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TCommonShellIDList::LoadFromDataObject(IDataObject* dataObject) {
  FCIDA.clear();
  std::vector<Byte> bytes, block;
  if (!ReadBlock(dataObject, bytes) || !CheckBlock(bytes.data(), bytes.size(), block)) return false;
  FCIDA = std::move(block);
  return true;
}

bool TCommonShellIDList::SaveToClipboard() {
  ComPtr<IDataObject> obj(TCommonDataObject::New(true)->AsDataObject());
  return SaveToDataObject(obj.Get()) && SUCCEEDED(OleSetClipboard(obj.Get()));
}

bool TCommonShellIDList::SaveToDataObject(IDataObject* dataObject) {
  if (FCIDA.empty()) return false;
  return WriteBlock(dataObject, FCIDA);
}

// ---- TCommonInShellDragLoop ----

void TCommonInShellDragLoop::GetFormatEtc(FORMATETC& formatEtc) { formatEtc = HGlobalFormat(CF_INSHELLDRAGLOOP); }

bool TCommonInShellDragLoop::LoadFromDataObject(IDataObject* dataObject) {
  std::vector<Byte> bytes;
  if (!ReadBlock(dataObject, bytes) || bytes.size() < 4) return false;
  FData = ReadU32(bytes.data());
  return true;
}

bool TCommonInShellDragLoop::SaveToDataObject(IDataObject* dataObject) {
  std::vector<Byte> b(4);
  WriteU32(b.data(), FData);
  return WriteBlock(dataObject, b);
}

// ---- the unit ----

namespace {
TUnitCounter gUnit;

TClipFormat Register(const char16_t* name) {
  // Registered numbers lie between 0xC000 and 0xFFFF, so they fit the 16-bit format.
  return static_cast<TClipFormat>(RegisterClipboardFormatW(name));
}
}  // namespace

void InitializeCommonDataObject() {
  if (!gUnit.Enter()) return;
  CF_SHELLIDLIST = Register(u"Shell IDList Array");
  CF_LOGICALPERFORMEDDROPEFFECT = Register(u"Logical Performed DropEffect");
  CF_PREFERREDDROPEFFECT = Register(u"Preferred DropEffect");
  CF_PERFORMEDDROPEFFECT = Register(u"Performed DropEffect");
  CF_PASTESUCCEEDED = Register(u"Paste Succeeded");
  CF_INSHELLDRAGLOOP = Register(u"InShellDragLoop");
  CF_SHELLOBJECTOFFSETS = Register(u"Shell Object Offsets");
  CF_FILECONTENTS = Register(u"FileContents");
  CF_FILEDESCRIPTORA = Register(u"FileGroupDescriptor");
  CF_FILEDESCRIPTORW = Register(u"FileGroupDescriptorW");
  CommonDataObjectPIDLMgr = TCommonPIDLManager::New();
}

void FinalizeCommonDataObject() {
  if (!gUnit.Leave()) return;
  FreeAndNil(CommonDataObjectPIDLMgr);
}

}  // namespace common
