#pragma once
// Data transfer: global memory blocks, clipboard formats, the data object and its enumerator, the
// media a format travels in, drop sources and targets, OLE's start-up and the class factory.
// The clipboard and drag and drop themselves, bridged to the desktop, are in DragDrop.h.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/user/User.h"
#include "platform/ole/Com.h"
#include "platform/ole/OleTypes.h"

namespace pf {

using LONG = int32_t;
using CLIPFORMAT = Word;

// ---- global memory blocks ----
// A handle stays valid until GlobalFree; a freed or unknown handle locks to nil and has size 0.
struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL h);
// True while the block stays locked by someone else.
BOOL GlobalUnlock(HGLOBAL h);
// The size asked for when the block was made.
size_t GlobalSize(HGLOBAL h);
// Nil when freed; the handle itself when it was not a live block.
HGLOBAL GlobalFree(HGLOBAL h);
// A new block holding a copy of the bytes; nil when none can be had.
HGLOBAL GlobalCopy(UINT flags, const void* bytes, size_t size);
// The bytes of a block, bounded by its size; none when it is not a live block.
std::vector<Byte> GlobalBytes(HGLOBAL h);

// ---- clipboard formats ----
constexpr CLIPFORMAT CF_TEXT = 1;
constexpr CLIPFORMAT CF_BITMAP = 2;
constexpr CLIPFORMAT CF_HDROP = 15;
constexpr CLIPFORMAT CF_UNICODETEXT = 13;
// Names registered with the same letters in any case share one number, from 0xC000 up. Any thread.
UINT RegisterClipboardFormatW(StringView name);
// The registered name; empty for a number that is not a registered one.
String GetClipboardFormatName(UINT format);

// ---- file lists (CF_HDROP) ----
// A DROPFILES block: a 20-byte header (the names' offset, a point, a flag, and whether the names are
// UTF-16), then the names, each ended by a zero character, and one more zero after the last.
// 8-bit names are in the system's code page.
std::vector<Byte> MakeDropFiles(const std::vector<String>& names, bool wide);
// Reads a block without looking outside `size`: false when the offset lies outside the block or a
// name runs past its end. A block that ends right after a name's terminator still holds its names.
// `end` receives the length of the whole list with its final terminator.
bool ReadDropFiles(const Byte* block, size_t size, std::vector<String>& names, size_t* end = nullptr);

// ---- formats and media ----
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD DVASPECT_THUMBNAIL = 2;
constexpr DWORD DVASPECT_ICON = 4;
constexpr DWORD DVASPECT_DOCPRINT = 8;

constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_FILE = 2;
constexpr DWORD TYMED_ISTREAM = 4;
constexpr DWORD TYMED_ISTORAGE = 8;
constexpr DWORD TYMED_GDI = 16;
constexpr DWORD TYMED_MFPICT = 32;
constexpr DWORD TYMED_ENHMF = 64;

constexpr DWORD DATADIR_GET = 1;
constexpr DWORD DATADIR_SET = 2;

struct DVTARGETDEVICE;

struct FORMATETC {
  CLIPFORMAT cfFormat{0};
  DVTARGETDEVICE* ptd{nullptr};
  DWORD dwAspect{0};
  LONG lindex{0};
  DWORD tymed{0};
};

// The interfaces a medium may carry; the program only counts their references.
struct IStream : IUnknown {
  static constexpr IID Iid{0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
};
struct IStorage : IUnknown {
  static constexpr IID Iid{0x0000000B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
};

struct STGMEDIUM {
  DWORD tymed{TYMED_NULL};
  union {
    HGLOBAL hGlobal;
    Char* lpszFileName;  // from CoTaskMemAlloc
    IStream* pstm;
    IStorage* pstg;
    HBITMAP hBitmap;
    void* hMetaFilePict;
    void* hEnhMetaFile;
  };
  IUnknown* pUnkForRelease{nullptr};
  STGMEDIUM() : hGlobal(nullptr) {}
};

// Frees what the medium holds, or only releases pUnkForRelease when it is set (someone else owns
// the data then), and clears the medium. A file medium's name is freed; the file stays.
void ReleaseStgMedium(STGMEDIUM* medium);

constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
constexpr HRESULT OLE_E_NOTRUNNING = static_cast<HRESULT>(0x80040005u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT CLIPBRD_E_CANT_OPEN = static_cast<HRESULT>(0x800401D0u);
constexpr HRESULT CLIPBRD_E_CANT_SET = static_cast<HRESULT>(0x800401D2u);

struct IEnumFORMATETC : IUnknown {
  static constexpr IID Iid{0x00000103, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFORMATETC** out) = 0;
};

struct IAdviseSink : IUnknown {
  static constexpr IID Iid{0x0000010F, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual void OnDataChange(const FORMATETC* format, const STGMEDIUM* medium) = 0;
  virtual void OnViewChange(DWORD aspect, LONG index) = 0;
  virtual void OnRename(IUnknown* moniker) = 0;
  virtual void OnSave() = 0;
  virtual void OnClose() = 0;
};

struct STATDATA {
  FORMATETC formatetc;
  DWORD advf{0};
  IAdviseSink* pAdvSink{nullptr};
  DWORD dwConnection{0};
};

struct IEnumSTATDATA : IUnknown {
  static constexpr IID Iid{0x00000105, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT Next(ULONG celt, STATDATA* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumSTATDATA** out) = 0;
};

struct IDataObject : IUnknown {
  static constexpr IID Iid{0x0000010E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetData(const FORMATETC* formatIn, STGMEDIUM* medium) = 0;
  virtual HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT QueryGetData(const FORMATETC* format) = 0;
  virtual HRESULT GetCanonicalFormatEtc(const FORMATETC* formatIn, FORMATETC* formatOut) = 0;
  virtual HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
  virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) = 0;
  virtual HRESULT DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT DUnadvise(DWORD connection) = 0;
  virtual HRESULT EnumDAdvise(IEnumSTATDATA** out) = 0;
};

struct IDataAdviseHolder : IUnknown {
  static constexpr IID Iid{0x00000110, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT Advise(IDataObject* dataObject, const FORMATETC* format, DWORD advf, IAdviseSink* sink,
                         DWORD* connection) = 0;
  virtual HRESULT Unadvise(DWORD connection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** out) = 0;
  virtual HRESULT SendOnDataChange(IDataObject* dataObject, DWORD reserved, DWORD advf) = 0;
};
// A holder that keeps the sinks and tells each of them about a change.
HRESULT CreateDataAdviseHolder(IDataAdviseHolder** out);
// An enumerator over the formats (from the first), with a reference for the caller.
HRESULT CreateFormatEnumerator(std::vector<FORMATETC> formats, IEnumFORMATETC** out);

// ---- drag and drop ----
constexpr DWORD MK_ALT = 0x0020;
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);

struct IDropSource : IUnknown {
  static constexpr IID Iid{0x00000121, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
  virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

// `pt` is in screen coordinates; `keyState` holds MK_ flags.
struct IDropTarget : IUnknown {
  static constexpr IID Iid{0x00000122, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT DragEnter(IDataObject* dataObject, DWORD keyState, TPoint pt, DWORD* effect) = 0;
  virtual HRESULT DragOver(DWORD keyState, TPoint pt, DWORD* effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT Drop(IDataObject* dataObject, DWORD keyState, TPoint pt, DWORD* effect) = 0;
};

// The shell's drag images. CLSID_DragDropHelper makes one object that answers as both helpers:
// InitializeFromBitmap keeps the image and its hot spot with the data object (and takes the
// bitmap); DoDragDrop then shows it under the pointer, inside our windows and out on the desktop.
// A drop target's helper moves it along and hides it (Show) while the target paints.
struct SHDRAGIMAGE {
  TSize sizeDragImage;
  TPoint ptOffset;
  HBITMAP hbmpDragImage{nullptr};
  DWORD crColorKey{0};
};
struct IDragSourceHelper : IUnknown {
  static constexpr IID Iid{0xDE5BF786, 0x477A, 0x11D2, {0x83, 0x9D, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
  virtual HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* dataObject) = 0;
  virtual HRESULT InitializeFromWindow(HWND window, TPoint* pt, IDataObject* dataObject) = 0;
};
struct IDropTargetHelper : IUnknown {
  static constexpr IID Iid{0x4657278B, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
  virtual HRESULT DragEnter(HWND target, IDataObject* dataObject, TPoint* pt, DWORD effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT DragOver(TPoint* pt, DWORD effect) = 0;
  virtual HRESULT Drop(IDataObject* dataObject, TPoint* pt, DWORD effect) = 0;
  virtual HRESULT Show(BOOL show) = 0;
};
constexpr CLSID CLSID_DragDropHelper{0x4657278A, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};

// ---- start-up and classes ----
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
// Counted per thread: the first call answers S_OK, later ones S_FALSE; each needs its
// OleUninitialize.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();
// Classes registered by the layer's libraries (in process, no aggregation); any other request
// answers REGDB_E_CLASSNOTREG with a nil object, so the callers' fallbacks run.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);
// Makes an object of the class and asks it for `iid`.
using TClassCreator = HRESULT (*)(REFIID iid, void** out);
void RegisterComClass(const CLSID& clsid, TClassCreator create);

namespace ole::testing {
// Global blocks not yet freed.
int64_t LiveGlobalBlocks();
// While set, GlobalAlloc fails (answers nil).
void SetGlobalAllocFails(bool fail);
// OleInitialize calls not yet matched on this thread.
int OleInitCount();
}  // namespace ole::testing

}  // namespace pf
