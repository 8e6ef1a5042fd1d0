// TNamespace: names, attributes, find data, times, sizes, interfaces, icons and thumbnails.

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "shell/ShellUtilities.h"

namespace shell {

using common::IsDriveRoot;
using common::StrRetToWide;
using common::WideExtractFileExt;
using common::WideStrUpper;

// ---- Names ----

String TNamespace::GetDisplayNameOf(DWORD flags) {
  ComPtr<IShellFolder> folder = GetParentShellFolder();
  if (!folder) return String();
  STRRET s;
  if (FAILED(folder->GetDisplayNameOf(FRelativePIDL, flags, &s))) return String();
  return StrRetToWide(s, FRelativePIDL);
}

String TNamespace::CachedName(TShellCache sc, String TCacheData::*field, DWORD flags) {
  if (!FShellCache.ShellCacheFlags.Contains(sc)) {
    FShellCache.Data.*field = GetDisplayNameOf(flags);
    FShellCache.ShellCacheFlags.Include(sc);
  }
  return FShellCache.Data.*field;
}

String TNamespace::GetNameNormal() { return CachedName(TShellCache::scNormalName, &TCacheData::NormalName, SHGDN_NORMAL); }
String TNamespace::GetNameInFolder() {
  return CachedName(TShellCache::scInFolderName, &TCacheData::InFolderName, SHGDN_INFOLDER);
}
String TNamespace::GetNameParseAddress() {
  return CachedName(TShellCache::scParsedName, &TCacheData::ParsedName, SHGDN_FORPARSING | SHGDN_FORADDRESSBAR);
}
String TNamespace::GetNameParseAddressInFolder() {
  return GetDisplayNameOf(SHGDN_FORPARSING | SHGDN_FORADDRESSBAR | SHGDN_INFOLDER);
}
// The desktop's parsing names are its folder's on disk, which may be missing: then the desktop
// folder's own answer stands.
String TNamespace::GetNameForParsing() {
  if (IsDesktop() && PhysicalDesktopNamespace && PhysicalDesktopNamespace != this)
    return PhysicalDesktopNamespace->GetNameForParsing();
  return GetDisplayNameOf(SHGDN_FORPARSING);
}
String TNamespace::GetNameForParsingInFolder() {
  if (IsDesktop() && PhysicalDesktopNamespace && PhysicalDesktopNamespace != this)
    return PhysicalDesktopNamespace->GetNameForParsingInFolder();
  return GetDisplayNameOf(SHGDN_FORPARSING | SHGDN_INFOLDER);
}
String TNamespace::GetNameAddressbar() { return GetDisplayNameOf(SHGDN_FORADDRESSBAR); }
String TNamespace::GetNameAddressbarInFolder() { return GetDisplayNameOf(SHGDN_FORADDRESSBAR | SHGDN_INFOLDER); }
String TNamespace::GetNameForEditing() { return GetDisplayNameOf(SHGDN_FOREDITING); }
String TNamespace::GetNameForEditingInFolder() { return GetDisplayNameOf(SHGDN_FOREDITING | SHGDN_INFOLDER); }

String TNamespace::GetFileName() {
  if (!GetFileSystem()) return String();
  LoadWin32FindData();
  return FWin32FindDataW ? String(FWin32FindDataW->cFileName) : String();
}

String TNamespace::GetShortFileName() {
  if (!GetFileSystem()) return String();
  LoadWin32FindData();
  if (!FWin32FindDataW) return String();
  String s(FWin32FindDataW->cAlternateFileName);
  return s.empty() ? WideStrUpper(FWin32FindDataW->cFileName) : s;
}

String TNamespace::GetExtension() { return WideExtractFileExt(GetNameForParsingInFolder()); }

String TNamespace::GetFileType() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scFileType)) {
    if (!FSHGetFileInfoRec) FSHGetFileInfoRec = new TSHGetFileInfoRec();
    SHFILEINFOW info;
    if (SHGetFileInfoW(FAbsolutePIDL, 0, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_PIDL))
      FSHGetFileInfoRec->FileType = info.szTypeName;
    String type = FSHGetFileInfoRec->FileType;
    if (type.empty()) type = WideStrUpper(WideExtractFileExt(GetNameForParsing())) + u" File";
    FShellCache.Data.FileType = type;
    FShellCache.ShellCacheFlags.Include(TShellCache::scFileType);
  }
  return FShellCache.Data.FileType;
}

String TNamespace::GetInfoTip() {
  ComPtr<IQueryInfo> info = GetQueryInfoInterface();
  Char* tip = nullptr;
  if (!info || FAILED(info->GetInfoTip(0, &tip)) || !tip) return String();
  String r(tip);
  CoTaskMemFree(tip);
  return r;
}

String TNamespace::GetAttributesString() {
  if (!GetFileSystem()) return String();
  String s;
  if (GetArchive()) s += u"A";
  if (GetHidden()) s += u"H";
  if (GetReadOnlyFile()) s += u"R";
  if (GetSystemFile()) s += u"S";
  if (GetCompressed()) s += u"C";
  return s;
}

// ---- Attributes ----

bool TNamespace::TestAttributesOf(DWORD flags, bool flushCache, bool softFlush) {
  ComPtr<IShellFolder> folder = GetParentShellFolder();
  if (!folder) return false;
  DWORD word = flags;
  HRESULT hr;
  const ITEMIDLIST* one = FRelativePIDL;
  if (flushCache) {
    word |= SFGAO_VALIDATE;
    hr = folder->GetAttributesOf(0, &one, &word);
  } else {
    if (softFlush) word |= SFGAO_VALIDATE;
    hr = folder->GetAttributesOf(1, &one, &word);
  }
  // A folder that failed may leave the word as it was: the asked bits then only seem present.
  if (FAILED(hr)) return false;
  return (word & flags) == flags;
}

bool TNamespace::CachedAttribute(TShellCache sc, TCacheAttribute ca, DWORD bit) {
  if (!FShellCache.ShellCacheFlags.Contains(sc)) {
    if (TestAttributesOf(bit, false)) FShellCache.Data.Attributes.Include(ca);
    else FShellCache.Data.Attributes.Exclude(ca);
    FShellCache.ShellCacheFlags.Include(sc);
  }
  return FShellCache.Data.Attributes.Contains(ca);
}

bool TNamespace::GetCanCopy() { return CachedAttribute(TShellCache::scCanCopy, TCacheAttribute::caCanCopy, SFGAO_CANCOPY); }
bool TNamespace::GetCanMove() { return CachedAttribute(TShellCache::scCanMove, TCacheAttribute::caCanMove, SFGAO_CANMOVE); }
bool TNamespace::GetCanLink() { return CachedAttribute(TShellCache::scCanLink, TCacheAttribute::caCanLink, SFGAO_CANLINK); }
bool TNamespace::GetCanRename() {
  return CachedAttribute(TShellCache::scCanRename, TCacheAttribute::caCanRename, SFGAO_CANRENAME);
}
bool TNamespace::GetCanDelete() {
  return CachedAttribute(TShellCache::scCanDelete, TCacheAttribute::caCanDelete, SFGAO_CANDELETE);
}
bool TNamespace::GetGhosted() { return CachedAttribute(TShellCache::scGhosted, TCacheAttribute::caGhosted, SFGAO_GHOSTED); }
bool TNamespace::GetLink() { return CachedAttribute(TShellCache::scLink, TCacheAttribute::caLink, SFGAO_LINK); }
bool TNamespace::GetBrowsable() {
  return CachedAttribute(TShellCache::scBrowsable, TCacheAttribute::caBrowsable, SFGAO_BROWSABLE);
}
bool TNamespace::GetFileSysAncestor() {
  return CachedAttribute(TShellCache::scFileSysAncestor, TCacheAttribute::caFileSysAncestor, SFGAO_FILESYSANCESTOR);
}
bool TNamespace::GetFolder() { return CachedAttribute(TShellCache::scFolder, TCacheAttribute::caFolder, SFGAO_FOLDER); }
bool TNamespace::GetFileSystem() {
  return CachedAttribute(TShellCache::scFileSystem, TCacheAttribute::caFileSystem, SFGAO_FILESYSTEM);
}
bool TNamespace::GetStorage() { return TestAttributesOf(SFGAO_STORAGE, false); }
bool TNamespace::GetHasPropSheet() { return TestAttributesOf(SFGAO_HASPROPSHEET, false); }
bool TNamespace::GetEncrypted() { return TestAttributesOf(SFGAO_ENCRYPTED, false); }
bool TNamespace::GetIsSlow() { return TestAttributesOf(SFGAO_ISSLOW, false); }
bool TNamespace::GetShare() { return TestAttributesOf(SFGAO_SHARE, false); }
bool TNamespace::GetReadOnly() { return TestAttributesOf(SFGAO_READONLY, false); }
bool TNamespace::GetNonEnumerated() { return TestAttributesOf(SFGAO_NONENUMERATED, false); }
bool TNamespace::GetNewContent() { return TestAttributesOf(SFGAO_NEWCONTENT, false); }
bool TNamespace::GetCanMoniker() { return TestAttributesOf(SFGAO_STREAM, false); }
bool TNamespace::GetHasStorage() { return TestAttributesOf(SFGAO_STREAM, false); }
bool TNamespace::GetStream() { return TestAttributesOf(SFGAO_STREAM, false); }
bool TNamespace::GetStorageAncestor() { return TestAttributesOf(SFGAO_STORAGEANCESTOR, false); }
bool TNamespace::GetRemovable() { return TestAttributesOf(SFGAO_REMOVABLE, false); }
bool TNamespace::GetHasSubFolder() { return TestAttributesOf(SFGAO_HASSUBFOLDER, false); }
bool TNamespace::GetDropTarget() {
  return ShellUtilitiesPIDLManager->IsDesktopFolder(FRelativePIDL) || TestAttributesOf(SFGAO_DROPTARGET, false);
}

// ---- Find data ----

void TNamespace::LoadWin32FindData() {
  if (FWin32FindDataW || IsDesktop() || FShellCache.ShellCacheFlags.Contains(TShellCache::scInvalidIDListData)) return;
  ComPtr<IShellFolder> parentFolder = GetParentShellFolder();
  if (!parentFolder) return;
  FWin32FindDataW = new WIN32_FIND_DATAW();
  ComPtr<IShellFolder> folder = parentFolder;
  if (GetParent()->IsDesktop() && PhysicalDesktopNamespace) folder = PhysicalDesktopNamespace->GetShellFolder();
  HRESULT hr = folder ? SHGetDataFromIDListW(folder.Get(), FRelativePIDL, SHGDFIL_FINDDATA, FWin32FindDataW,
                                             sizeof(WIN32_FIND_DATAW))
                      : E_FAIL;
  if (FAILED(hr)) {
    // Removable media are not asked again: the disk may be gone.
    bool filled = !GetRemovable() && shellapi::FindDataOfPath(ToNativePath(GetNameForParsing()), *FWin32FindDataW);
    if (!filled) {
      delete FWin32FindDataW;
      FWin32FindDataW = nullptr;
    }
    FShellCache.ShellCacheFlags.Include(TShellCache::scInvalidIDListData);
  }
  if (FWin32FindDataW && !common::IsWideApiPlatform()) MakeWin32FindDataA();
}

// The 8-bit platform's record: the same data, its names through the system's code page (a
// character the code page lacks becomes its default character), cut to the record's fields.
void TNamespace::MakeWin32FindDataA() {
  delete FWin32FindDataA;
  FWin32FindDataA = new WIN32_FIND_DATAA();
  WIN32_FIND_DATAA& a = *FWin32FindDataA;
  const WIN32_FIND_DATAW& w = *FWin32FindDataW;
  a.dwFileAttributes = w.dwFileAttributes;
  a.ftCreationTime = w.ftCreationTime;
  a.ftLastAccessTime = w.ftLastAccessTime;
  a.ftLastWriteTime = w.ftLastWriteTime;
  a.nFileSizeHigh = w.nFileSizeHigh;
  a.nFileSizeLow = w.nFileSizeLow;
  a.dwReserved0 = w.dwReserved0;
  a.dwReserved1 = w.dwReserved1;
  std::string name = StringToAnsi(w.cFileName), alternate = StringToAnsi(w.cAlternateFileName);
  name.copy(a.cFileName, sizeof a.cFileName - 1);
  alternate.copy(a.cAlternateFileName, sizeof a.cAlternateFileName - 1);
}

void TNamespace::RefreshFileTimes() {
  if (FShellCache.ShellCacheFlags.Contains(TShellCache::scFileTimes)) return;
  FShellCache.ShellCacheFlags.Include(TShellCache::scFileTimes);
  UINT old = SetErrorMode(0x8001);
  LoadWin32FindData();
  if (FWin32FindDataW && GetFileSystem()) {
    WIN32_FIND_DATAW fresh;
    if (shellapi::FindDataOfPath(ToNativePath(GetNameParseAddress()), fresh)) {
      FWin32FindDataW->ftCreationTime = fresh.ftCreationTime;
      FWin32FindDataW->ftLastAccessTime = fresh.ftLastAccessTime;
      FWin32FindDataW->ftLastWriteTime = fresh.ftLastWriteTime;
    }
  }
  SetErrorMode(old);
}

bool TNamespace::FindFlag(DWORD bit) {
  if (!GetFileSystem()) return false;
  LoadWin32FindData();
  return FWin32FindDataW && (FWin32FindDataW->dwFileAttributes & bit) != 0;
}

bool TNamespace::GetReadOnlyFile() { return FindFlag(FILE_ATTRIBUTE_READONLY); }
bool TNamespace::GetHidden() { return FindFlag(FILE_ATTRIBUTE_HIDDEN); }
bool TNamespace::GetSystemFile() { return FindFlag(FILE_ATTRIBUTE_SYSTEM); }
bool TNamespace::GetDirectory() { return FindFlag(FILE_ATTRIBUTE_DIRECTORY); }
bool TNamespace::GetArchive() { return FindFlag(FILE_ATTRIBUTE_ARCHIVE); }
bool TNamespace::GetNormal() { return FindFlag(FILE_ATTRIBUTE_NORMAL); }
bool TNamespace::GetTemporary() { return FindFlag(FILE_ATTRIBUTE_TEMPORARY); }
bool TNamespace::GetSparseFile() { return FindFlag(FILE_ATTRIBUTE_SPARSE_FILE); }
bool TNamespace::GetReparsePoint() { return FindFlag(FILE_ATTRIBUTE_REPARSE_POINT); }
bool TNamespace::GetOffLine() { return FindFlag(FILE_ATTRIBUTE_OFFLINE); }
bool TNamespace::GetCompressed() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scCompressed)) {
    if (FindFlag(FILE_ATTRIBUTE_COMPRESSED)) FShellCache.Data.Attributes.Include(TCacheAttribute::caCompressed);
    else FShellCache.Data.Attributes.Exclude(TCacheAttribute::caCompressed);
    FShellCache.ShellCacheFlags.Include(TShellCache::scCompressed);
  }
  return FShellCache.Data.Attributes.Contains(TCacheAttribute::caCompressed);
}

bool TNamespace::GetSubFolders() { return SubFoldersEx(0xA0); }
bool TNamespace::GetSubItems() { return SubItemsEx(0xE0); }

bool TNamespace::SubFoldersEx(DWORD flags) {
  if (IsRecycleBin()) return true;
  if (!GetFolder()) return false;
  ComPtr<IShellFolder> folder = GetShellFolder();
  if (!folder) return false;
  UINT old = SetErrorMode(0x8001);
  bool any = false;
  IEnumIDList* e = nullptr;
  if (SUCCEEDED(folder->EnumObjects(nullptr, flags, &e)) && e) {
    PItemIDList item = nullptr;
    ULONG fetched = 0;
    if (e->Next(1, &item, &fetched) == S_OK) {
      any = true;
      ShellUtilitiesPIDLManager->FreePIDL(item);
    }
    e->Release();
  }
  SetErrorMode(old);
  return any;
}

bool TNamespace::SubItemsEx(DWORD flags) { return SubFoldersEx(flags); }

bool TNamespace::GetValid() {
  if (GetRemovable()) return true;
  if (IsUnreachableDrive(this)) return true;
  ComPtr<IShellFolder> folder = GetParentShellFolder();
  if (!folder) return true;
  DWORD word = SFGAO_VALIDATE;
  const ITEMIDLIST* one = FRelativePIDL;
  return folder->GetAttributesOf(1, &one, &word) == S_OK;
}

TObjectDescription TNamespace::GetDescription() {
  ComPtr<IShellFolder> folder = GetParentShellFolder();
  SHDESCRIPTIONID d;
  if (!folder || FAILED(SHGetDataFromIDListW(folder.Get(), FRelativePIDL, SHGDFIL_DESCRIPTIONID, &d, sizeof(d))))
    return TObjectDescription::odError;
  return d.dwDescriptionId <= 20 ? static_cast<TObjectDescription>(d.dwDescriptionId) : TObjectDescription::odError;
}

GUID TNamespace::GetCLSID() {
  GUID result;
  ComPtr<IShellFolder> parent = GetParentShellFolder();
  SHDESCRIPTIONID d;
  if (parent && SUCCEEDED(SHGetDataFromIDListW(parent.Get(), FRelativePIDL, SHGDFIL_DESCRIPTIONID, &d, sizeof(d))))
    result = d.clsid;
  if (result == GUID{}) {
    ComPtr<IPersistFolder> persist;
    ComPtr<IShellFolder> folder = GetShellFolder();
    if (folder && SUCCEEDED(folder.As(persist)) && FAILED(persist->GetClassID(&result))) result = GUID{};
  }
  return result;
}

bool TNamespace::GetAdvDetailsSupported() {
  if (!GetParentShellFolder()) return false;
  return GetParentShellFolder2() || GetParentShellDetailsInterface();
}

bool TNamespace::GetIsLibraryChild() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scInLibrary)) {
    bool in = common::IsNT61OrLater() && LibrariesNamespace && IsParentByNamespace(LibrariesNamespace, false);
    if (in) FShellCache.Data.Attributes.Include(TCacheAttribute::caInLibrary);
    FShellCache.ShellCacheFlags.Include(TShellCache::scInLibrary);
  }
  return FShellCache.Data.Attributes.Contains(TCacheAttribute::caInLibrary);
}

TNamespace* TNamespace::GetDelagateNS() {
  if (!FDelagateNS) FDelagateNS = New(PathToPIDL(GetNameForParsing()), nullptr);
  return FDelagateNS;
}

bool TNamespace::GetJunctionPoint() {
  return GetFileSystem() && GetDirectory() && GetReparsePoint() && FWin32FindDataW->dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
}
bool TNamespace::GetSymbolicLink() {
  return GetFileSystem() && GetDirectory() && GetReparsePoint() && FWin32FindDataW->dwReserved0 == IO_REPARSE_TAG_SYMLINK;
}

// The link's target, read with the length the link itself reports (a target of any length, no
// fixed buffer); junctions do not exist here, so their path stays empty.
String TNamespace::ResolvePath(DWORD tag) {
  if (tag != IO_REPARSE_TAG_SYMLINK) return String();
  std::string path = ToNativePath(GetNameForParsing());
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return String();
  std::string target(static_cast<size_t>(st.st_size) + 1, '\0');
  ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0 || static_cast<size_t>(n) >= target.size()) return String();
  target.resize(static_cast<size_t>(n));
  return FromNativePath(target);
}
String TNamespace::GetJunctionPointResolvePath() { return ResolvePath(IO_REPARSE_TAG_MOUNT_POINT); }
String TNamespace::GetSymbolicLinkResolvePath() { return ResolvePath(IO_REPARSE_TAG_SYMLINK); }

TExtractImage* TNamespace::GetExtractImage() {
  if (!FExtractImage) {
    FExtractImage = TExtractImage::New();
    FExtractImage->SetOwner(this);
  }
  return FExtractImage;
}

TShellLinkReader* TNamespace::GetShellLink() {
  if (!GetLink()) return nullptr;
  if (!FShellLink) {
    FShellLink = TShellLinkReader::New(nullptr);
    FShellLink->ReadLink(GetNameParseAddress());
  }
  return FShellLink;
}

// ---- Times and sizes ----

FILETIME TNamespace::GetCreationTimeRaw() {
  RefreshFileTimes();
  return FWin32FindDataW ? FWin32FindDataW->ftCreationTime : FILETIME{};
}
FILETIME TNamespace::GetLastAccessTimeRaw() {
  RefreshFileTimes();
  return FWin32FindDataW ? FWin32FindDataW->ftLastAccessTime : FILETIME{};
}
FILETIME TNamespace::GetLastWriteTimeRaw() {
  RefreshFileTimes();
  return FWin32FindDataW ? FWin32FindDataW->ftLastWriteTime : FILETIME{};
}
TDateTime TNamespace::GetCreationDateTime() { return FileTimeToDateTime(GetCreationTimeRaw()); }
TDateTime TNamespace::GetLastAccessDateTime() { return FileTimeToDateTime(GetLastAccessTimeRaw()); }
TDateTime TNamespace::GetLastWriteDateTime() { return FileTimeToDateTime(GetLastWriteTimeRaw()); }

String TNamespace::FormatTime(FILETIME ft) {
  String text;
  if (GetFileSystem() && FWin32FindDataW) FileTimeToText(ft, text);
  return text;
}

String TNamespace::GetCreationTime() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scCreationTime)) {
    FShellCache.Data.CreationTime = FormatTime(GetCreationTimeRaw());
    FShellCache.ShellCacheFlags.Include(TShellCache::scCreationTime);
  }
  return FShellCache.Data.CreationTime;
}
String TNamespace::GetLastAccessTime() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scLastAccessTime)) {
    FShellCache.Data.LastAccessTime = FormatTime(GetLastAccessTimeRaw());
    FShellCache.ShellCacheFlags.Include(TShellCache::scLastAccessTime);
  }
  return FShellCache.Data.LastAccessTime;
}
String TNamespace::GetLastWriteTime() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scLastWriteTime)) {
    FShellCache.Data.LastWriteTime = FormatTime(GetLastWriteTimeRaw());
    FShellCache.ShellCacheFlags.Include(TShellCache::scLastWriteTime);
  }
  return FShellCache.Data.LastWriteTime;
}

Int64 TNamespace::GetSizeOfFileInt64() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scFileSizeInt64)) {
    Int64 size = 0;
    if (GetFileSystem() && (!GetFolder() || GetBrowsable())) {
      WIN32_FIND_DATAW fd;
      if (shellapi::FindDataOfPath(ToNativePath(GetNameForParsing()), fd))
        size = (static_cast<Int64>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    }
    FShellCache.Data.FileSizeInt64 = size;
    FShellCache.ShellCacheFlags.Include(TShellCache::scFileSizeInt64);
  }
  return FShellCache.Data.FileSizeInt64;
}

String TNamespace::GetSizeOfFile() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scFileSize)) {
    String s;
    if (GetFileSystem() && (!GetFolder() || GetBrowsable()))
      s = Format(u"%0.0n", {static_cast<double>(GetSizeOfFileInt64())});
    FShellCache.Data.FileSize = s;
    FShellCache.ShellCacheFlags.Include(TShellCache::scFileSize);
  }
  return FShellCache.Data.FileSize;
}

String TNamespace::GetSizeOfFileKB() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scFileSizeKB)) {
    String s;
    if (!(GetFolder() && !GetBrowsable()) && GetFileSystem()) {
      Int64 size = GetSizeOfFileInt64();
      s = u"1 KB";
      if (size > 0) {
        s = Format(u"%0.0n KB", {static_cast<double>(size) / 1024.0});
        if (s == u"0 KB") s = u"1 KB";
      }
    }
    FShellCache.Data.FileSizeKB = s;
    FShellCache.ShellCacheFlags.Include(TShellCache::scFileSizeKB);
  }
  return FShellCache.Data.FileSizeKB;
}

String TNamespace::GetSizeOfFileDiskUsage() {
  if (GetFolder() && !GetBrowsable()) return String();
  if (!GetFileSystem()) return String();
  // The drive of a path is the file system it lies on; statvfs answers for it directly.
  DWORD sectors = 0, bytes = 0, total = 0, freeClusters = 0;
  String path = GetNameForParsing();
  if (GetDiskFreeSpaceCompat(path, sectors, bytes, total, freeClusters) && sectors * bytes > 0) {
    Int64 cluster = static_cast<Int64>(sectors) * bytes;
    Int64 size = GetSizeOfFileInt64();
    Int64 used = (size + cluster - 1) / cluster * cluster;
    return Format(u"%0.0n", {static_cast<double>(used)});
  }
  return GetSizeOfFile();
}

Int64 TNamespace::FolderSize(bool invalidate, bool recurseFolder) {
  if (invalidate || !FShellCache.ShellCacheFlags.Contains(TShellCache::scFolderSize)) {
    Int64 size = 0;
    if (GetFolder() && GetFileSystem()) common::SumFolderSize(GetNameForParsing(), recurseFolder, size);
    FShellCache.Data.FolderSize = size;
    FShellCache.ShellCacheFlags.Include(TShellCache::scFolderSize);
  }
  return FShellCache.Data.FolderSize;
}

// ---- Interfaces ----

ComPtr<IShellFolder> TNamespace::GetShellFolder() {
  if (!FShellFolder) {
    TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.GetAddressOf()))) return nullptr;
    if (IsDesktop()) {
      FShellFolder = desktop;
      return FShellFolder;
    }
    ComPtr<IShellFolder> parent;
    if (mgr->IDCount(FAbsolutePIDL) < 2) {
      parent = desktop;
    } else {
      PItemIDList head = mgr->CopyPIDL(FAbsolutePIDL);
      mgr->StripLastID(head);
      desktop->BindToObject(head, nullptr, IShellFolder::Iid, parent.GetVoidAddress());
      mgr->FreePIDL(head);
    }
    if (!parent) return nullptr;
    DWORD word = SFGAO_FOLDER;
    const ITEMIDLIST* one = FRelativePIDL;
    if (SUCCEEDED(parent->GetAttributesOf(1, &one, &word)) && (word & SFGAO_FOLDER)) {
      parent->BindToObject(FRelativePIDL, nullptr, IShellFolder::Iid, FShellFolder.GetVoidAddress());
    } else {
      FShellFolder = parent;
    }
  }
  return FShellFolder;
}

ComPtr<IShellFolder> TNamespace::GetParentShellFolder() {
  TNamespace* parent = FAbsolutePIDL ? GetParent() : FParent;
  return parent ? parent->GetShellFolder() : nullptr;
}

ComPtr<IShellFolder2> TNamespace::GetShellFolder2() {
  if (!FShellFolder2 && FStates.Contains(TNamespaceState::nsShellFolder2Supported)) {
    ComPtr<IShellFolder> folder = GetShellFolder();
    if (folder && folder.As(FShellFolder2) == E_NOINTERFACE) FStates.Exclude(TNamespaceState::nsShellFolder2Supported);
  }
  return FShellFolder2;
}

ComPtr<IShellFolder2> TNamespace::GetParentShellFolder2() {
  return GetParentShellFolder() ? GetParent()->GetShellFolder2() : GetShellFolder2();
}

// The column handler of systems before NT 6; newer ones (and this layer) have none.
ComPtr<IShellDetails> TNamespace::GetShellDetailsInterface() {
  if (!FShellDetailsInterface && FStates.Contains(TNamespaceState::nsShellDetailsSupported)) {
    if (!common::IsNT6OrLater()) {
      ComPtr<IShellFolder> folder = GetShellFolder();
      if (folder) folder->CreateViewObject(nullptr, IShellDetails::Iid, FShellDetailsInterface.GetVoidAddress());
      if (!FShellDetailsInterface) {
        ComPtr<IShellFolder> parent = GetParentShellFolder();
        const ITEMIDLIST* one = FRelativePIDL;
        if (parent)
          parent->GetUIObjectOf(nullptr, 1, &one, IShellDetails::Iid, nullptr, FShellDetailsInterface.GetVoidAddress());
      }
    }
    if (!FShellDetailsInterface) FStates.Exclude(TNamespaceState::nsShellDetailsSupported);
  }
  return FShellDetailsInterface;
}

ComPtr<IShellDetails> TNamespace::GetParentShellDetailsInterface() {
  return GetParentShellFolder() ? GetParent()->GetShellDetailsInterface() : GetShellDetailsInterface();
}

ComPtr<IShellIcon> TNamespace::GetShellIconInterface() {
  if (!FShellIconInterface) {
    ComPtr<IShellFolder> parent = GetParentShellFolder();
    if (parent) parent.As(FShellIconInterface);
  }
  return FShellIconInterface;
}

ComPtr<IShellIconOverlay> TNamespace::GetShellIconOverlayInterface() {
  if (!FShellIconOverlayInterface && FStates.Contains(TNamespaceState::nsShellOverlaySupported)) {
    ComPtr<IShellFolder> folder = GetShellFolder();
    if (!folder || FAILED(folder.As(FShellIconOverlayInterface))) {
      ComPtr<IShellFolder> parent = GetParentShellFolder();
      if (parent) parent.As(FShellIconOverlayInterface);
    }
    if (!FShellIconOverlayInterface) FStates.Exclude(TNamespaceState::nsShellOverlaySupported);
  }
  return FShellIconOverlayInterface;
}

namespace {
// The parent's object for the item, else the item's folder's view object.
template <class I>
ComPtr<I> UIObjectOrView(TNamespace* ns, bool viewOnlyForFolders) {
  ComPtr<I> result;
  ComPtr<IShellFolder> parent = ns->GetParentShellFolder();
  const ITEMIDLIST* one = ns->GetRelativePIDL();
  if (parent && SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &one, I::Iid, nullptr, result.GetVoidAddress())) && result)
    return result;
  if (viewOnlyForFolders && !ns->GetFolder()) return nullptr;
  ComPtr<IShellFolder> folder = ns->GetShellFolder();
  if (folder && SUCCEEDED(folder->CreateViewObject(nullptr, I::Iid, result.GetVoidAddress())) && result) return result;
  return nullptr;
}
}  // namespace

ComPtr<IExtractIconA> TNamespace::GetExtractIconAInterface() { return UIObjectOrView<IExtractIconA>(this, false); }
ComPtr<IExtractIconW> TNamespace::GetExtractIconWInterface() { return UIObjectOrView<IExtractIconW>(this, false); }

ComPtr<IQueryInfo> TNamespace::GetQueryInfoInterface() {
  if (!FQueryInfoInterface) {
    FQueryInfoInterface = UIObjectOrView<IQueryInfo>(this, false);
    if (!FQueryInfoInterface && IsDesktop() && PhysicalDesktopNamespace && PhysicalDesktopNamespace != this)
      FQueryInfoInterface = PhysicalDesktopNamespace->GetQueryInfoInterface();
  }
  return FQueryInfoInterface;
}

ComPtr<IBrowserFrameOptions> TNamespace::GetBrowserFrameOptionsInterface() {
  if (!FBrowserFrameOptionsInterface) {
    FBrowserFrameOptionsInterface = UIObjectOrView<IBrowserFrameOptions>(this, true);
    ComPtr<IShellFolder> folder = GetShellFolder();
    if (!FBrowserFrameOptionsInterface && folder) folder.As(FBrowserFrameOptionsInterface);
  }
  return FBrowserFrameOptionsInterface;
}

ComPtr<IQueryAssociations> TNamespace::GetQueryAssociationsInterface() {
  if (!FQueryAssociationsInterface) {
    FQueryAssociationsInterface = UIObjectOrView<IQueryAssociations>(this, true);
    ComPtr<IShellFolder> folder = GetShellFolder();
    if (!FQueryAssociationsInterface && folder) folder.As(FQueryAssociationsInterface);
  }
  return FQueryAssociationsInterface;
}

ComPtr<ICategoryProvider> TNamespace::GetCategoryProviderInterface() {
  if (!FCategoryProviderInterface && GetFolder()) {
    ComPtr<IShellFolder> folder = GetShellFolder();
    if (folder)
      folder->CreateViewObject(ShellOwnerWindow(), ICategoryProvider::Iid, FCategoryProviderInterface.GetVoidAddress());
  }
  return FCategoryProviderInterface;
}

ComPtr<IPropertyStore> TNamespace::GetPropertyStoreInterface() {
  if (!FPropertyStoreInterface) {
    ComPtr<IShellFolder> parent = GetParentShellFolder();
    const ITEMIDLIST* one = FRelativePIDL;
    if (parent)
      parent->GetUIObjectOf(nullptr, 1, &one, IPropertyStore::Iid, nullptr, FPropertyStoreInterface.GetVoidAddress());
  }
  return FPropertyStoreInterface;
}

// ---- Icons and thumbnails ----

Integer TNamespace::GetIconIndex(bool openIcon, TIconSize iconSize, bool forceLoad) {
  auto ask = [&](bool open) {
    ComPtr<IShellIcon> icon = GetShellIconInterface();
    int index = 0;
    if (icon && SUCCEEDED(icon->GetIconOf(FRelativePIDL, open ? GIL_OPENICON : 0, &index))) return index;
    SHFILEINFOW info;
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SHELLICONSIZE;
    if (iconSize == TIconSize::icSmall) flags |= SHGFI_SMALLICON;
    if (open) flags |= SHGFI_OPENICON;
    if (SHGetFileInfoW(FAbsolutePIDL, 0, &info, sizeof(info), flags)) return info.iIcon;
    return 0;
  };
  TShellCacheFlags& flags = FShellCache.ShellCacheFlags;
  if (!openIcon) {
    if (forceLoad || !flags.Contains(TShellCache::scSmallIcon)) {
      FShellCache.Data.SmallIcon = FIconCache = ask(false);
      flags.Include(TShellCache::scSmallIcon);
    }
    return FShellCache.Data.SmallIcon;
  }
  if (forceLoad || !flags.Contains(TShellCache::scSmallOpenIcon)) {
    Integer icon = IsControlPanelChildFolder() ? ask(false) : ask(true);
    if (icon == 0) icon = ask(false);
    FShellCache.Data.SmallOpenIcon = icon;
    flags.Include(TShellCache::scSmallOpenIcon);
  }
  return FShellCache.Data.SmallOpenIcon;
}

Integer TNamespace::GetOverlayIndex() {
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scOverlayIndex) && FShellCache.Data.OverlayIndex < 0) {
    ComPtr<IShellIconOverlay> overlay = GetParentShellFolder() ? GetParent()->GetShellIconOverlayInterface() : nullptr;
    if (overlay) {
      int index = -1;
      FShellCache.Data.OverlayIndex = overlay->GetOverlayIndex(FRelativePIDL, &index) == S_OK ? index : -1;
    }
    FShellCache.ShellCacheFlags.Include(TShellCache::scOverlayIndex);
  }
  return FShellCache.Data.OverlayIndex;
}

Integer TNamespace::GetOverlayIconIndex() {
  if (FShellCache.Data.OverlayIconIndex < 0) {
    ComPtr<IShellIconOverlay> overlay = GetParentShellFolder() ? GetParent()->GetShellIconOverlayInterface() : nullptr;
    if (overlay) {
      int index = -1;
      FShellCache.Data.OverlayIconIndex = overlay->GetOverlayIconIndex(FRelativePIDL, &index) == S_OK ? index : -1;
    }
  }
  return FShellCache.Data.OverlayIconIndex;
}

void TNamespace::SetIconIndexByThread(Integer iconIndex, Integer overlayIndex, bool clearThreadLoading) {
  FStates.Include(TNamespaceState::nsThreadedIconLoaded);
  FShellCache.Data.SmallIcon = iconIndex;
  FShellCache.Data.OverlayIndex = overlayIndex;
  FIconCache = iconIndex;
  FShellCache.ShellCacheFlags.Include(TShellCache::scSmallIcon);
  FShellCache.ShellCacheFlags.Include(TShellCache::scOverlayIndex);
  if (clearThreadLoading) FStates.Exclude(TNamespaceState::nsThreadedIconLoading);
  SetIconIndexChanged(true);
}

void TNamespace::SetImageByThread(TBitmap* bitmap, bool clearThreadLoading) {
  FStates.Include(TNamespaceState::nsThreadedImageLoaded);
  // The item owns the thumbnail it was handed; an earlier one would otherwise be lost.
  if (FImage != bitmap) FreeAndNil(FImage);
  FImage = bitmap;
  if (clearThreadLoading) FStates.Exclude(TNamespaceState::nsThreadedImageLoading);
}

TBitmap* TNamespace::GetImage() { return FImage; }

namespace {
bool StateOf(TNamespaceStates s, TNamespaceState v) { return s.Contains(v); }
void SetState(TNamespaceStates& s, TNamespaceState v, bool on) {
  if (on) s.Include(v);
  else s.Exclude(v);
}
}  // namespace

bool TNamespace::GetFreePIDLOnDestroy() { return StateOf(FStates, TNamespaceState::nsFreePIDLOnDestroy); }
void TNamespace::SetFreePIDLOnDestroy(bool v) { SetState(FStates, TNamespaceState::nsFreePIDLOnDestroy, v); }
bool TNamespace::GetIconIndexChanged() { return StateOf(FStates, TNamespaceState::nsIconIndexChanged); }
void TNamespace::SetIconIndexChanged(bool v) { SetState(FStates, TNamespaceState::nsIconIndexChanged, v); }
bool TNamespace::GetThreadedIconLoaded() { return StateOf(FStates, TNamespaceState::nsThreadedIconLoaded); }
bool TNamespace::GetThreadIconLoading() { return StateOf(FStates, TNamespaceState::nsThreadedIconLoading); }
void TNamespace::SetThreadIconLoading(bool v) { SetState(FStates, TNamespaceState::nsThreadedIconLoading, v); }
bool TNamespace::GetThreadImageLoaded() { return StateOf(FStates, TNamespaceState::nsThreadedImageLoaded); }
bool TNamespace::GetThreadImageLoading() { return StateOf(FStates, TNamespaceState::nsThreadedImageLoading); }
void TNamespace::SetThreadImageLoading(bool v) { SetState(FStates, TNamespaceState::nsThreadedImageLoading, v); }

}  // namespace shell
