#pragma once
// The OLE data object of drag and drop and the clipboard, and small classes that read and write
// one clipboard format each on any data object: the file list (CF_HDROP, a DROPFILES block), the
// shell ID list (a CIDA block) and the in-shell-drag-loop flag.
//
// Blocks from another program or the clipboard are checked against their size before they are
// walked; a block that does not hold together is refused whole.

#include <atomic>
#include <functional>
#include <vector>

#include "common/CommonObjects.h"
#include "platform/gdi/Bitmap.h"
#include "platform/ole/DataTransfer.h"
#include "platform/rtl/Classes.h"

namespace common {

using namespace pf;

using TClipFormat = CLIPFORMAT;

// The registered formats, numbered by the unit's initialisation.
extern TClipFormat CF_SHELLIDLIST;
extern TClipFormat CF_LOGICALPERFORMEDDROPEFFECT;
extern TClipFormat CF_PREFERREDDROPEFFECT;
extern TClipFormat CF_PERFORMEDDROPEFFECT;
extern TClipFormat CF_PASTESUCCEEDED;
extern TClipFormat CF_INSHELLDRAGLOOP;
extern TClipFormat CF_SHELLOBJECTOFFSETS;
extern TClipFormat CF_FILECONTENTS;
extern TClipFormat CF_FILEDESCRIPTORA;
extern TClipFormat CF_FILEDESCRIPTORW;

struct TDataObjectInfo {
  FORMATETC FormatEtc;
  STGMEDIUM StgMedium;
  bool OwnedByDataObject{false};
};
using TDataObjectInfoArray = std::vector<TDataObjectInfo>;
using TFormatEtcArray = std::vector<FORMATETC>;

struct ICommonDataObject : IDataObject {
  static constexpr IID Iid{0xF8B3EE47, 0xC6C1, 0x4FE3, {0x9D, 0x94, 0x75, 0x7A, 0xA3, 0x5D, 0xC0, 0x38}};
  virtual bool AssignDragImage(TBitmap* image, TPoint hotSpot, TColor transparentColor) = 0;
  virtual bool SaveGlobalBlock(TClipFormat format, const void* memoryBlock, Integer memoryBlockSize) = 0;
  // The block's bytes, copied; the caller owns them.
  virtual bool LoadGlobalBlock(TClipFormat format, std::vector<Byte>& memoryBlock) = 0;
};

struct ICommonDataObjectFolders : ICommonDataObject {
  static constexpr IID Iid{0x1E707CE8, 0xF2E7, 0x4566, {0xA8, 0x7E, 0x63, 0x08, 0x59, 0x50, 0x9F, 0x97}};
  virtual bool GetIsMultiFolder() = 0;
  virtual bool GetIsMultiFolderVerified() = 0;
  virtual void SetIsMultiFolder(bool value) = 0;
  virtual void SetIsMultiFolderVerified(bool value) = 0;
};

// Answered by every data object of the library; its one method does nothing.
struct ICommonDataObjectMark : IUnknown {
  static constexpr IID Iid{0x7F667930, 0xE47B, 0x4474, {0xBA, 0x62, 0xB1, 0x00, 0xD7, 0xDB, 0xDA, 0x70}};
  virtual void Mark() = 0;
};

using TGetDataEvent = std::function<void(TObject* sender, const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool& handled)>;
using TQueryGetDataEvent =
    std::function<void(TObject* sender, const FORMATETC& formatEtcIn, bool& formatAvailable, bool& handled)>;

class TCommonDataObject : public TObject, public ICommonDataObjectFolders, public ICommonDataObjectMark {
  PF_CLASS(TCommonDataObject)
public:
  // IUnknown: the object answers one IUnknown for every interface.
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  void AfterConstruction() override;

  // IDataObject
  HRESULT DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
  HRESULT DUnadvise(DWORD connection) override;
  HRESULT EnumDAdvise(IEnumSTATDATA** out) override;
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  HRESULT GetCanonicalFormatEtc(const FORMATETC* formatIn, FORMATETC* formatOut) override;
  HRESULT GetData(const FORMATETC* formatIn, STGMEDIUM* medium) override;
  HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT QueryGetData(const FORMATETC* format) override;
  HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) override;

  // ICommonDataObject
  bool AssignDragImage(TBitmap* image, TPoint hotSpot, TColor transparentColor) override;
  bool SaveGlobalBlock(TClipFormat format, const void* memoryBlock, Integer memoryBlockSize) override;
  bool LoadGlobalBlock(TClipFormat format, std::vector<Byte>& memoryBlock) override;

  // ICommonDataObjectFolders
  bool GetIsMultiFolder() override { return FIsMultiFolder; }
  bool GetIsMultiFolderVerified() override { return FIsMultiFolderVerified; }
  void SetIsMultiFolder(bool value) override { FIsMultiFolder = value; }
  void SetIsMultiFolderVerified(bool value) override { FIsMultiFolderVerified = value; }

  void Mark() override {}

  bool GetReferenceCounted() const { return FReferenceCounted; }
  const TDataObjectInfoArray& GetFormats() const { return FFormats; }
  IDataObject* AsDataObject() { return static_cast<ICommonDataObjectFolders*>(this); }

  TGetDataEvent OnGetData;
  TQueryGetDataEvent OnQueryGetData;

protected:
  void Create(bool isReferenceCounted);
  void Destroy() override;

  virtual void DoGetCustomFormats(DWORD direction, TFormatEtcArray& formats);
  virtual void DoGetData(const FORMATETC& formatEtcIn, STGMEDIUM& medium, bool& handled);
  virtual void DoQueryGetData(const FORMATETC& formatEtcIn, bool& formatAvailable, bool& handled);
  virtual bool GetUserData(const FORMATETC& format, STGMEDIUM& stgMedium);

  // Dest takes Source's fields, then the data by its medium (copied when copyData, else shared
  // through a reference to this object).
  HRESULT CopyMedium(const STGMEDIUM& source, STGMEDIUM& dest, bool copyData);
  // The stored entry with every field of the request equal; -1 when none.
  Integer FindFormat(const FORMATETC& format) const;

private:
  bool IsSelf(IUnknown* unk);
  void DropSelfReference(STGMEDIUM& medium);

  bool FIsMultiFolderVerified{false};
  bool FIsMultiFolder{false};
  bool FNotifyThreadRef{false};
  std::atomic<Integer> FRefCount{0};
  bool FReferenceCounted{false};
  ComPtr<IDataAdviseHolder> FAdviseHolder;
  TDataObjectInfoArray FFormats;
};

class TCommonEnumFormatEtc : public IEnumFORMATETC, private TComObjectBase {
public:
  explicit TCommonEnumFormatEtc(TFormatEtcArray formats, Integer index = 0)
      : FInternalIndex(index), FFormats(std::move(formats)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override;
  HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) override;
  HRESULT Skip(ULONG celt) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumFORMATETC** out) override;
  TFormatEtcArray& Formats() { return FFormats; }

private:
  Integer FInternalIndex{0};
  TFormatEtcArray FFormats;
};

class TCommonClipboardFormat : public TObject {
  PF_CLASS(TCommonClipboardFormat)
public:
  virtual void GetFormatEtc(FORMATETC& formatEtc);
  virtual bool LoadFromClipboard();
  virtual bool LoadFromDataObject(IDataObject* dataObject);
  virtual bool SaveToClipboard();
  virtual bool SaveToDataObject(IDataObject* dataObject);

protected:
  // The FORMATETC of every descendant: its format, content aspect, every index, a global block.
  static FORMATETC HGlobalFormat(TClipFormat format);
  // GetData of this class's format: the block's bytes, or false.
  bool ReadBlock(IDataObject* dataObject, std::vector<Byte>& bytes);
  // SetData of a global copy of the bytes that the data object takes; the copy is freed on failure.
  bool WriteBlock(IDataObject* dataObject, const std::vector<Byte>& bytes);
};

class TCommonHDrop : public TCommonClipboardFormat {
  PF_CLASS(TCommonHDrop)
public:
  // The DROPFILES block (nil without one).
  const Byte* GetDropFiles() const { return FDropFiles.empty() ? nullptr : FDropFiles.data(); }
  const Byte* GetHDropStruct() const { return GetDropFiles(); }
  Integer GetStructureSize() const { return FStructureSize; }

  // Names in the system's 8-bit code page (fWide 0).
  void AssignFilesA(const TStrings* fileList);
  // Names as UTF-16 (fWide 1), so that no name is lost to the code page.
  void AssignFilesW(const TStrings* fileList);
  Integer FileCount();
  void FileNamesW(TStrings* fileList);
  // "" for an index outside the names.
  String FileNameW(Integer index);

  void GetFormatEtc(FORMATETC& formatEtc) override;
  bool LoadFromClipboard() override;
  bool LoadFromDataObject(IDataObject* dataObject) override;
  bool SaveToClipboard() override;
  bool SaveToDataObject(IDataObject* dataObject) override;

  // The bytes of a DROPFILES block that holds together, normalised to end with the list's final
  // terminator; false for one that does not (nothing outside `size` is read).
  static bool CheckBlock(const Byte* block, size_t size, std::vector<Byte>& out);

private:
  void SetBlock(std::vector<Byte> block);
  std::vector<String> Names() const;

  std::vector<Byte> FDropFiles;
  Integer FStructureSize{0};
  Integer FFileCount{0};
};

class TCommonShellIDList : public TCommonClipboardFormat {
  PF_CLASS(TCommonShellIDList)
public:
  // The first entry is the parent folder's absolute list, the others the items' lists relative to
  // it. Nil or an empty list leaves no block.
  void AssignPIDLs(const TCommonPIDLList* pidlList);
  Integer PIDLCount() const;
  const ITEMIDLIST* ParentPIDL() const;
  const ITEMIDLIST* RelativePIDL(Integer index) const;
  // A new list (the caller frees it with the PIDL manager); nil without a block.
  PItemIDList AbsolutePIDL(Integer index) const;
  Integer GetCIDASize() const { return static_cast<Integer>(FCIDA.size()); }
  const Byte* GetCIDA() const { return FCIDA.empty() ? nullptr : FCIDA.data(); }

  void GetFormatEtc(FORMATETC& formatEtc) override;
  bool LoadFromClipboard() override;
  bool LoadFromDataObject(IDataObject* dataObject) override;
  bool SaveToClipboard() override;
  bool SaveToDataObject(IDataObject* dataObject) override;

  // The bytes of a CIDA block that holds together (up to the end of its last list); false for one
  // that does not.
  static bool CheckBlock(const Byte* block, size_t size, std::vector<Byte>& out);

private:
  uint32_t Offset(Integer i) const;
  std::vector<Byte> FCIDA;
};

class TCommonInShellDragLoop : public TCommonClipboardFormat {
  PF_CLASS(TCommonInShellDragLoop)
public:
  Cardinal GetData() const { return FData; }
  void SetData(Cardinal v) { FData = v; }

  void GetFormatEtc(FORMATETC& formatEtc) override;
  bool LoadFromDataObject(IDataObject* dataObject) override;
  bool SaveToDataObject(IDataObject* dataObject) override;

private:
  Cardinal FData{0};
};

extern TCommonPIDLManager* CommonDataObjectPIDLMgr;

void InitializeCommonDataObject();
void FinalizeCommonDataObject();

}  // namespace common
