#pragma once
// The shell's folder objects as the program calls them: the values of their flags and the
// interfaces of folders, enumerators, icons, thumbnails and links. Only the methods the program
// calls are declared; the namespace of this layer answers E_NOTIMPL or E_NOINTERFACE for what has
// no counterpart on the desktop (property sheets, categories, column handlers).

#include "platform/gdi/Gdi.h"
#include "platform/kernel/KernelApi.h"
#include "platform/ole/Com.h"
#include "platform/ole/DataTransfer.h"
#include "platform/ole/OleTypes.h"

namespace pf {

struct HWND__;
using HWND = HWND__*;
using DWORD_PTR = uintptr_t;

// ---- Attributes of items (GetAttributesOf) ----
constexpr DWORD SFGAO_CANCOPY = 0x1;
constexpr DWORD SFGAO_CANMOVE = 0x2;
constexpr DWORD SFGAO_CANLINK = 0x4;
constexpr DWORD SFGAO_STORAGE = 0x8;
constexpr DWORD SFGAO_CANRENAME = 0x10;
constexpr DWORD SFGAO_CANDELETE = 0x20;
constexpr DWORD SFGAO_HASPROPSHEET = 0x40;
constexpr DWORD SFGAO_DROPTARGET = 0x100;
constexpr DWORD SFGAO_ENCRYPTED = 0x2000;
constexpr DWORD SFGAO_ISSLOW = 0x4000;
constexpr DWORD SFGAO_GHOSTED = 0x8000;
constexpr DWORD SFGAO_LINK = 0x10000;
constexpr DWORD SFGAO_SHARE = 0x20000;
constexpr DWORD SFGAO_READONLY = 0x40000;
constexpr DWORD SFGAO_NONENUMERATED = 0x100000;
constexpr DWORD SFGAO_NEWCONTENT = 0x200000;
constexpr DWORD SFGAO_STREAM = 0x400000;
constexpr DWORD SFGAO_STORAGEANCESTOR = 0x800000;
constexpr DWORD SFGAO_VALIDATE = 0x1000000;
constexpr DWORD SFGAO_REMOVABLE = 0x2000000;
constexpr DWORD SFGAO_COMPRESSED = 0x4000000;
constexpr DWORD SFGAO_BROWSABLE = 0x8000000;
constexpr DWORD SFGAO_FILESYSANCESTOR = 0x10000000;
constexpr DWORD SFGAO_FOLDER = 0x20000000;
constexpr DWORD SFGAO_FILESYSTEM = 0x40000000;
constexpr DWORD SFGAO_HASSUBFOLDER = 0x80000000;

// ---- Display names ----
constexpr DWORD SHGDN_NORMAL = 0;
constexpr DWORD SHGDN_INFOLDER = 0x1;
constexpr DWORD SHGDN_FOREDITING = 0x1000;
constexpr DWORD SHGDN_FORADDRESSBAR = 0x4000;
constexpr DWORD SHGDN_FORPARSING = 0x8000;

// ---- Enumeration ----
constexpr DWORD SHCONTF_FOLDERS = 0x20;
constexpr DWORD SHCONTF_NONFOLDERS = 0x40;
constexpr DWORD SHCONTF_INCLUDEHIDDEN = 0x80;
constexpr DWORD SHCONTF_INIT_ON_FIRST_NEXT = 0x100;
constexpr DWORD SHCONTF_NETPRINTERSRCH = 0x200;
constexpr DWORD SHCONTF_SHAREABLE = 0x400;
constexpr DWORD SHCONTF_STORAGE = 0x800;
constexpr DWORD SHCONTF_NAVIGATION_ENUM = 0x1000;
constexpr DWORD SHCONTF_FASTITEMS = 0x2000;
constexpr DWORD SHCONTF_FLATLIST = 0x4000;
constexpr DWORD SHCONTF_ENABLE_ASYNC = 0x8000;
constexpr DWORD SHCONTF_INCLUDESUPERHIDDEN = 0x10000;

// ---- Special folders ----
constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_PROGRAMS = 2;
constexpr int CSIDL_CONTROLS = 3;
constexpr int CSIDL_PRINTERS = 4;
constexpr int CSIDL_PERSONAL = 5;
constexpr int CSIDL_FAVORITES = 6;
constexpr int CSIDL_BITBUCKET = 10;
constexpr int CSIDL_DESKTOPDIRECTORY = 16;
constexpr int CSIDL_DRIVES = 17;
constexpr int CSIDL_NETWORK = 18;
constexpr int CSIDL_TEMPLATES = 21;
constexpr int CSIDL_APPDATA = 26;
constexpr int CSIDL_HISTORY = 34;

constexpr DWORD KF_FLAG_CREATE = 0x8000;
constexpr DWORD KF_FLAG_INIT = 0x800;
constexpr DWORD KF_FLAG_NO_ALIAS = 0x1000;

constexpr GUID FOLDERID_Desktop{0xB4BFCC3A, 0xDB2C, 0x424C, {0xB0, 0x29, 0x7F, 0xE9, 0x9A, 0x87, 0xC6, 0x41}};
constexpr GUID FOLDERID_RecycleBinFolder{0xB7534046, 0x3ECB, 0x4C18, {0xBE, 0x4E, 0x64, 0xCD, 0x4C, 0xB7, 0xD6, 0xAC}};
constexpr GUID FOLDERID_ComputerFolder{0x0AC0837C, 0xBBF8, 0x452A, {0x85, 0x0D, 0x79, 0xD0, 0x8E, 0x66, 0x7C, 0xA7}};
constexpr GUID FOLDERID_PrintersFolder{0x76FC4E2D, 0xD6AD, 0x4519, {0xA6, 0x63, 0x37, 0xBD, 0x56, 0x06, 0x81, 0x85}};
constexpr GUID FOLDERID_History{0xD9DC8A3B, 0xB784, 0x432E, {0xA7, 0x81, 0x5A, 0x11, 0x30, 0xA7, 0x59, 0x63}};
constexpr GUID FOLDERID_ControlPanelFolder{0x82A74AEB, 0xAEB4, 0x465C, {0xA0, 0x14, 0xD0, 0x97, 0xEE, 0x34, 0x6D, 0x63}};
constexpr GUID FOLDERID_NetworkFolder{0xD20BEEC4, 0x5CA8, 0x4905, {0xAE, 0x3B, 0xBF, 0x25, 0x1E, 0xA0, 0x9B, 0x53}};
constexpr GUID FOLDERID_Templates{0xA63293E8, 0x664E, 0x48DB, {0xA0, 0x79, 0xDF, 0x75, 0x9E, 0x05, 0x09, 0xF7}};
constexpr GUID FOLDERID_Documents{0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
constexpr GUID FOLDERID_Favorites{0x1777F761, 0x68AD, 0x4D8A, {0x87, 0xBD, 0x30, 0xB7, 0x59, 0xFA, 0x33, 0xDD}};
constexpr GUID FOLDERID_RoamingAppData{0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
constexpr GUID FOLDERID_ProgramFiles{0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};
constexpr GUID FOLDERID_Games{0xCAC52C1A, 0xB53D, 0x4EDC, {0x92, 0xD7, 0x6B, 0x2E, 0x8A, 0xC1, 0x94, 0x34}};
constexpr GUID FOLDERID_UsersLibraries{0xA302545D, 0xDEFF, 0x464B, {0xAB, 0xE8, 0x61, 0xC8, 0x64, 0x8D, 0x93, 0x9B}};

// The classes of the three virtual roots, as "::{...}" parsing names give them.
constexpr GUID CLSID_MyComputer{0x20D04FE0, 0x3AEA, 0x1069, {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};
constexpr GUID CLSID_RecycleBin{0x645FF040, 0x5081, 0x101B, {0x9F, 0x08, 0x00, 0xAA, 0x00, 0x2F, 0x95, 0x4E}};
constexpr GUID CLSID_NetworkPlaces{0x208D2C60, 0x3AEA, 0x1069, {0xA2, 0xD7, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};
constexpr GUID CLSID_ShellFSFolder{0xF3364BA0, 0x65B9, 0x11CE, {0xA9, 0xBA, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
constexpr GUID CLSID_ShellDesktop{0x00021400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID CLSID_ShellLink{0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---- Icons, file information, find data ----
constexpr UINT GIL_OPENICON = 0x1;
constexpr UINT SHGFI_SMALLICON = 0x1;
constexpr UINT SHGFI_OPENICON = 0x2;
constexpr UINT SHGFI_SHELLICONSIZE = 0x4;
constexpr UINT SHGFI_PIDL = 0x8;
constexpr UINT SHGFI_TYPENAME = 0x400;
constexpr UINT SHGFI_SYSICONINDEX = 0x4000;

struct SHFILEINFOW {
  void* hIcon{nullptr};
  int iIcon{0};
  DWORD dwAttributes{0};
  Char szDisplayName[MAX_PATH]{};
  Char szTypeName[80]{};
};

constexpr int SHGDFIL_FINDDATA = 1;
constexpr int SHGDFIL_DESCRIPTIONID = 3;
constexpr DWORD SHDID_ROOT_REGITEM = 1;
constexpr DWORD SHDID_FS_FILE = 2;
constexpr DWORD SHDID_FS_DIRECTORY = 3;
constexpr DWORD SHDID_FS_OTHER = 4;
constexpr DWORD SHDID_COMPUTER_REMOVABLE = 7;
constexpr DWORD SHDID_COMPUTER_FIXED = 8;
constexpr DWORD SHDID_COMPUTER_NETDRIVE = 9;

struct SHDESCRIPTIONID {
  DWORD dwDescriptionId{0};
  CLSID clsid;
};

// Symbolic links report this tag in the find data's first reserved word.
constexpr DWORD IO_REPARSE_TAG_MOUNT_POINT = 0xA0000003;
constexpr DWORD IO_REPARSE_TAG_SYMLINK = 0xA000000C;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_ATTRIBUTE_SPARSE_FILE = 0x200;
constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x800;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x1000;

// ---- Thumbnails ----
constexpr DWORD IEIFLAG_ASYNC = 0x1;
constexpr DWORD IEIFLAG_CACHE = 0x2;
constexpr DWORD IEIFLAG_ASPECT = 0x4;
constexpr DWORD IEIFLAG_OFFLINE = 0x8;
constexpr DWORD IEIFLAG_SCREEN = 0x20;
constexpr DWORD IEIFLAG_ORIGSIZE = 0x40;

// ---- Links and files ----
constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_READWRITE = 0x2;
constexpr DWORD SLGP_UNCPRIORITY = 0x2;
constexpr Byte HOTKEYF_SHIFT = 0x1;
constexpr Byte HOTKEYF_CONTROL = 0x2;
constexpr Byte HOTKEYF_ALT = 0x4;
constexpr Byte HOTKEYF_EXT = 0x8;

constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000Au);
constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
// A missing file, as HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT HRESULT_ALREADY_EXISTS = static_cast<HRESULT>(0x800700B7u);
constexpr HRESULT HRESULT_INVALID_NAME = static_cast<HRESULT>(0x8007007Bu);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

constexpr UINT FO_DELETE = 3;
constexpr Word FOF_SILENT = 0x4;
constexpr Word FOF_NOCONFIRMATION = 0x10;
constexpr Word FOF_ALLOWUNDO = 0x40;

struct SHFILEOPSTRUCTW {
  HWND hwnd{nullptr};
  UINT wFunc{0};
  const Char* pFrom{nullptr};  // names, each ended by a zero, the whole by one more
  const Char* pTo{nullptr};
  Word fFlags{0};
  BOOL fAnyOperationsAborted{0};
  void* hNameMappings{nullptr};
  const Char* lpszProgressTitle{nullptr};
};

struct SIZE {
  LONG cx{0};
  LONG cy{0};
};

// ---- Interfaces ----

struct IEnumIDList : IUnknown {
  static constexpr IID Iid{0x000214F2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  // Hands out lists of the task allocator, which the caller frees.
  virtual HRESULT Next(ULONG celt, PItemIDList* rgelt, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumIDList** out) = 0;
};

struct IShellFolder : IUnknown {
  static constexpr IID Iid{0x000214E6, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT ParseDisplayName(HWND owner, void* bindCtx, const Char* name, ULONG* eaten, PItemIDList* pidl,
                                   ULONG* attributes) = 0;
  virtual HRESULT EnumObjects(HWND owner, DWORD flags, IEnumIDList** out) = 0;
  virtual HRESULT BindToObject(const ITEMIDLIST* pidl, void* bindCtx, REFIID iid, void** out) = 0;
  virtual HRESULT BindToStorage(const ITEMIDLIST* pidl, void* bindCtx, REFIID iid, void** out) = 0;
  // HRESULT code (the low 16 bits) holds -1, 0 or 1 as a signed 16-bit number.
  virtual HRESULT CompareIDs(LPARAM column, const ITEMIDLIST* pidl1, const ITEMIDLIST* pidl2) = 0;
  virtual HRESULT CreateViewObject(HWND owner, REFIID iid, void** out) = 0;
  virtual HRESULT GetAttributesOf(UINT cidl, const ITEMIDLIST** apidl, DWORD* inOut) = 0;
  virtual HRESULT GetUIObjectOf(HWND owner, UINT cidl, const ITEMIDLIST** apidl, REFIID iid, UINT* reserved,
                                void** out) = 0;
  virtual HRESULT GetDisplayNameOf(const ITEMIDLIST* pidl, DWORD flags, STRRET* name) = 0;
  virtual HRESULT SetNameOf(HWND owner, const ITEMIDLIST* pidl, const Char* name, DWORD flags,
                            PItemIDList* pidlOut) = 0;
};

struct SHCOLUMNID {
  GUID fmtid;
  DWORD pid{0};
};

struct SHELLDETAILS {
  int fmt{0};
  int cxChar{0};
  STRRET str;
};

struct IShellFolder2 : IShellFolder {
  static constexpr IID Iid{0x93F2F68C, 0x1D1B, 0x11D3, {0xA3, 0x0E, 0x00, 0xC0, 0x4F, 0x79, 0xAB, 0xD1}};
  virtual HRESULT GetDefaultColumnState(UINT column, DWORD* flags) = 0;
  // `value` is the caller's variant record.
  virtual HRESULT GetDetailsEx(const ITEMIDLIST* pidl, const SHCOLUMNID* scid, void* value) = 0;
  virtual HRESULT GetDetailsOf(const ITEMIDLIST* pidl, UINT column, SHELLDETAILS* details) = 0;
  virtual HRESULT MapColumnToSCID(UINT column, SHCOLUMNID* scid) = 0;
};

struct IShellDetails : IUnknown {
  static constexpr IID Iid{0x000214EC, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetDetailsOf(const ITEMIDLIST* pidl, UINT column, SHELLDETAILS* details) = 0;
  virtual HRESULT ColumnClick(UINT column) = 0;
};

struct IShellIcon : IUnknown {
  static constexpr IID Iid{0x000214E5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetIconOf(const ITEMIDLIST* pidl, UINT flags, int* index) = 0;
};

struct IShellIconOverlay : IUnknown {
  static constexpr IID Iid{0x7D688A70, 0xC613, 0x11D0, {0x99, 0x9B, 0x00, 0xC0, 0x4F, 0xD6, 0x55, 0xE1}};
  virtual HRESULT GetOverlayIndex(const ITEMIDLIST* pidl, int* index) = 0;
  virtual HRESULT GetOverlayIconIndex(const ITEMIDLIST* pidl, int* iconIndex) = 0;
};

struct IPersist : IUnknown {
  static constexpr IID Iid{0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistFolder : IPersist {
  static constexpr IID Iid{0x000214EA, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT Initialize(const ITEMIDLIST* pidl) = 0;
};

struct IPersistFile : IPersist {
  static constexpr IID Iid{0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(const Char* fileName, DWORD mode) = 0;
  virtual HRESULT Save(const Char* fileName, BOOL remember) = 0;
  virtual HRESULT SaveCompleted(const Char* fileName) = 0;
  virtual HRESULT GetCurFile(Char** fileName) = 0;
};

struct IExtractImage : IUnknown {
  static constexpr IID Iid{0xBB2E617C, 0x0920, 0x11D1, {0x9A, 0x0B, 0x00, 0xC0, 0x4F, 0xC2, 0xD6, 0xC1}};
  virtual HRESULT GetLocation(Char* path, DWORD capacity, DWORD* priority, const SIZE* size, DWORD colorDepth,
                              DWORD* flags) = 0;
  virtual HRESULT Extract(HBITMAP* bitmap) = 0;
};

struct IExtractImage2 : IExtractImage {
  static constexpr IID Iid{0x953BB1EE, 0x93B4, 0x11D1, {0x98, 0xA3, 0x00, 0xC0, 0x4F, 0xB6, 0x87, 0xDA}};
  virtual HRESULT GetDateStamp(FILETIME* stamp) = 0;
};

struct IShellLinkW : IUnknown {
  static constexpr IID Iid{0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetPath(Char* file, int capacity, WIN32_FIND_DATAW* data, DWORD flags) = 0;
  virtual HRESULT GetIDList(PItemIDList* pidl) = 0;
  virtual HRESULT GetDescription(Char* name, int capacity) = 0;
  virtual HRESULT GetWorkingDirectory(Char* dir, int capacity) = 0;
  virtual HRESULT GetArguments(Char* args, int capacity) = 0;
  virtual HRESULT GetHotkey(Word* hotkey) = 0;
  virtual HRESULT GetShowCmd(int* showCmd) = 0;
  virtual HRESULT GetIconLocation(Char* path, int capacity, int* index) = 0;
};

// The 8-bit twin; the layer makes no such object, only test doubles do.
struct IShellLinkA : IUnknown {
  static constexpr IID Iid{0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetPath(char* file, int capacity, WIN32_FIND_DATAA* data, DWORD flags) = 0;
  virtual HRESULT GetIDList(PItemIDList* pidl) = 0;
  virtual HRESULT GetDescription(char* name, int capacity) = 0;
  virtual HRESULT GetWorkingDirectory(char* dir, int capacity) = 0;
  virtual HRESULT GetArguments(char* args, int capacity) = 0;
  virtual HRESULT GetHotkey(Word* hotkey) = 0;
  virtual HRESULT GetShowCmd(int* showCmd) = 0;
  virtual HRESULT GetIconLocation(char* path, int capacity, int* index) = 0;
};

struct IQueryInfo : IUnknown {
  static constexpr IID Iid{0x00021500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT GetInfoTip(DWORD flags, Char** tip) = 0;
  virtual HRESULT GetInfoFlags(DWORD* flags) = 0;
};

// Groups a folder's items by a column; no folder of this layer offers one.
struct ICategoryProvider : IUnknown {
  static constexpr IID Iid{0x9AF64809, 0x5864, 0x4C26, {0xA7, 0x20, 0xC1, 0xF7, 0x8C, 0x08, 0x6E, 0xE3}};
  virtual HRESULT CanCategorizeOnSCID(const SHCOLUMNID* scid) = 0;
  virtual HRESULT GetDefaultCategory(GUID* guid, SHCOLUMNID* scid) = 0;
  virtual HRESULT GetCategoryForSCID(const SHCOLUMNID* scid, GUID* guid) = 0;
  virtual HRESULT EnumCategories(IUnknown** enumGuid) = 0;
  // `name` holds `capacity` characters.
  virtual HRESULT GetCategoryName(const GUID* guid, Char* name, UINT capacity) = 0;
  virtual HRESULT CreateCategory(const GUID* guid, REFIID iid, void** out) = 0;
};

// Interfaces the program asks for and that nothing of this layer offers: they are only named.
struct IBrowserFrameOptions : IUnknown {
  static constexpr IID Iid{0x10DF43C8, 0x1DBE, 0x11D3, {0x8B, 0x34, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};
};
struct IQueryAssociations : IUnknown {
  static constexpr IID Iid{0xC46CA590, 0x3C3F, 0x11D2, {0xBE, 0xE6, 0x00, 0x00, 0xF8, 0x05, 0xCA, 0x57}};
};
struct IPropertyStore : IUnknown {
  static constexpr IID Iid{0x886D8EEB, 0x8CF2, 0x4446, {0x8D, 0x02, 0xCD, 0xBA, 0x1D, 0xBD, 0xCF, 0x99}};
};
struct IExtractIconW : IUnknown {
  static constexpr IID Iid{0x000214FA, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
};
struct IExtractIconA : IUnknown {
  static constexpr IID Iid{0x000214EB, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
};

}  // namespace pf
