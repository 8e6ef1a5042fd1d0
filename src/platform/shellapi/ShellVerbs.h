#pragma once
// What the shell does with items besides naming them: the context menu of a selection and its
// verbs (open, cut, copy, paste, paste as a link, delete, rename, make a link), the default folder
// menu that a caller steers through its callback, a folder's drop target, the file operations
// under them, and the few class keys of the registry that a menu's caller opens.
//
// File operations never overwrite: a name already taken in the target folder becomes
// "name (copy).ext", "name (copy 2).ext" ... for a copy, "name (link)", "name (link 2)" ... for a
// link and "name (2).ext", "name (3).ext" ... for a move. A folder is never copied or moved into
// itself or below itself. A move within one file system is a rename; across file systems the
// source goes only after the whole copy succeeded.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/shellapi/ShellObjects.h"
#include "platform/user/Menu.h"

namespace pf {

// ---- Context menus ----
constexpr UINT CMF_NORMAL = 0x0;
constexpr UINT CMF_DEFAULTONLY = 0x1;
constexpr UINT CMF_VERBSONLY = 0x2;
constexpr UINT CMF_EXPLORE = 0x4;
constexpr UINT CMF_NOVERBS = 0x8;
constexpr UINT CMF_CANRENAME = 0x10;
constexpr UINT CMF_NODEFAULT = 0x20;
constexpr UINT CMF_INCLUDESTATIC = 0x40;
constexpr UINT CMF_ITEMMENU = 0x80;
constexpr UINT CMF_EXTENDEDVERBS = 0x100;

constexpr DWORD CMIC_MASK_HOTKEY = 0x20;
constexpr DWORD CMIC_MASK_ICON = 0x10;
constexpr DWORD CMIC_MASK_FLAG_NO_UI = 0x400;
constexpr DWORD CMIC_MASK_UNICODE = 0x4000;
constexpr DWORD CMIC_MASK_ASYNCOK = 0x100000;
constexpr DWORD CMIC_MASK_PTINVOKE = 0x20000000;
constexpr DWORD CMIC_MASK_SHIFT_DOWN = 0x10000000;
constexpr DWORD CMIC_MASK_CONTROL_DOWN = 0x40000000;

constexpr UINT GCS_VERBA = 0x0;
constexpr UINT GCS_HELPTEXTA = 0x1;
constexpr UINT GCS_VALIDATEA = 0x2;
constexpr UINT GCS_VERBW = 0x4;
constexpr UINT GCS_HELPTEXTW = 0x5;
constexpr UINT GCS_VALIDATEW = 0x6;

// The invoke record. Callers state the size of the platform's record in cbSize (36 for the 8-bit
// one, 64 for the extended one); the wide fields count only in the extended record with
// CMIC_MASK_UNICODE. A verb whose value is below 0x10000 is a command offset, not a text.
struct CMINVOKECOMMANDINFOEX {
  DWORD cbSize{0};
  DWORD fMask{0};
  HWND hwnd{nullptr};
  const char* lpVerb{nullptr};
  const char* lpParameters{nullptr};
  const char* lpDirectory{nullptr};
  int nShow{0};
  DWORD dwHotKey{0};
  void* hIcon{nullptr};
  const char* lpTitle{nullptr};
  const Char* lpVerbW{nullptr};
  const Char* lpParametersW{nullptr};
  const Char* lpDirectoryW{nullptr};
  const Char* lpTitleW{nullptr};
  TPoint ptInvoke;
};
using CMINVOKECOMMANDINFO = CMINVOKECOMMANDINFOEX;
constexpr DWORD CMINVOKECOMMANDINFO_SIZE = 36;
constexpr DWORD CMINVOKECOMMANDINFOEX_SIZE = 64;

// A verb given as a command offset travels in the verb pointer.
inline const char* MakeVerbOffset(UINT offset) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(offset)); }
inline bool IsVerbOffset(const void* verb) { return reinterpret_cast<uintptr_t>(verb) < 0x10000; }
inline UINT VerbOffset(const void* verb) { return static_cast<UINT>(reinterpret_cast<uintptr_t>(verb)); }

// HRESULT of QueryContextMenu: the number of command identifiers taken from the first one.
inline HRESULT MakeMenuResult(UINT count) { return static_cast<HRESULT>(count & 0xFFFF); }
inline UINT HRESULT_CODE(HRESULT hr) { return static_cast<UINT>(hr) & 0xFFFF; }

struct IContextMenu : IUnknown {
  static constexpr IID Iid{0x000214E4, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT flags) = 0;
  virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFOEX* info) = 0;
  // `name` is a buffer of `capacity` characters: Char for the W forms, char for the A forms.
  virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, void* name, UINT capacity) = 0;
};

struct IContextMenu2 : IContextMenu {
  static constexpr IID Iid{0x000214F4, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT HandleMenuMsg(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

struct IContextMenu3 : IContextMenu2 {
  static constexpr IID Iid{0xBCFCE0A0, 0xEC17, 0x11D0, {0x8D, 0x10, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x19}};
  virtual HRESULT HandleMenuMsg2(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
};

// ---- The default folder menu and its callback ----
constexpr UINT DFM_MERGECONTEXTMENU = 1;
constexpr UINT DFM_INVOKECOMMAND = 2;
constexpr UINT DFM_ADDREF = 3;
constexpr UINT DFM_RELEASE = 4;
constexpr UINT DFM_MERGECONTEXTMENU_TOP = 10;
constexpr UINT DFM_INVOKECOMMANDEX = 12;
constexpr UINT DFM_MERGECONTEXTMENU_BOTTOM = 17;

// Standard commands, as DFM_INVOKECOMMANDEX's wParam (negative numbers).
constexpr int DFM_CMD_DELETE = -1;
constexpr int DFM_CMD_MOVE = -2;
constexpr int DFM_CMD_COPY = -3;
constexpr int DFM_CMD_LINK = -4;
constexpr int DFM_CMD_PROPERTIES = -5;
constexpr int DFM_CMD_NEWFOLDER = -6;
constexpr int DFM_CMD_PASTE = -7;
constexpr int DFM_CMD_VIEWLIST = -8;
constexpr int DFM_CMD_VIEWDETAILS = -9;
constexpr int DFM_CMD_PASTELINK = -10;
constexpr int DFM_CMD_PASTESPECIAL = -11;

// Where a merging callback adds its items; it raises idCmdFirst past the identifiers it took.
struct QCMINFO {
  HMENU hmenu{nullptr};
  UINT indexMenu{0};
  UINT idCmdFirst{0};
  UINT idCmdLast{0};
  const void* pIdMap{nullptr};
};

// DFM_INVOKECOMMANDEX's lParam.
struct DFMICS {
  DWORD cbSize{sizeof(DFMICS)};
  DWORD fMask{0};
  LPARAM lParam{0};
  UINT idCmdFirst{0};
  UINT idDefMax{0};
  CMINVOKECOMMANDINFOEX* pici{nullptr};
};

using LPFNDFMCALLBACK =
    std::function<HRESULT(IShellFolder* folder, HWND owner, IDataObject* dataObject, UINT msg, WPARAM w, LPARAM l)>;

struct HKEY__;
using HKEY = HKEY__*;

// The menu of `cidl` items of `folder` (a background menu for the folder `pidlFolder` when there
// are none). The menu asks `folder` for the items' attributes and data object, so a caller may
// hand in a folder of its own that adjusts them. The class keys are only read here: this
// desktop's verbs do not come from the registry.
HRESULT CDefFolderMenu_Create2(const ITEMIDLIST* pidlFolder, HWND owner, UINT cidl, const ITEMIDLIST** apidl,
                               IShellFolder* folder, LPFNDFMCALLBACK callback, UINT nKeys, const HKEY* keys,
                               IContextMenu** out);

// ---- The registry's class keys (read only) ----
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr DWORD MAXIMUM_ALLOWED = 0x02000000;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD REG_SZ = 1;
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u));

// Opens `subKey` below `key` (HKEY_CLASSES_ROOT or a key opened here); an empty sub-key opens a
// second handle of `key` itself.
LONG RegOpenKeyExW(HKEY key, const Char* subKey, DWORD options, DWORD access, HKEY* result);
// A string value (nil or empty name: the default value). `size` is in bytes, terminator included.
LONG RegQueryValueExW(HKEY key, const Char* valueName, DWORD* reserved, DWORD* type, Byte* data, DWORD* size);
LONG RegCloseKey(HKEY key);

// ---- Column values (GetDetailsEx) ----
constexpr Word VT_EMPTY = 0;
constexpr Word VT_NULL = 1;
constexpr Word VT_DATE = 7;
constexpr Word VT_BSTR = 8;
constexpr Word VT_UI4 = 19;
constexpr Word VT_I8 = 20;
constexpr Word VT_ARRAY = 0x2000;
// A column's value: a text, a number, a date (days since 1899-12-30, local time), or with
// VT_ARRAY the elements in Array.
struct TShellVariant {
  Word vt{VT_EMPTY};
  String Text;
  Int64 Number{0};
  double Date{0};
  std::vector<TShellVariant> Array;
};
// The storage properties the folders' columns map to.
constexpr GUID FMTID_Storage{0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr DWORD PID_STG_STORAGETYPE = 4;
constexpr DWORD PID_STG_NAME = 10;
constexpr DWORD PID_STG_SIZE = 12;
constexpr DWORD PID_STG_ATTRIBUTES = 13;
constexpr DWORD PID_STG_WRITETIME = 14;

constexpr DWORD SHCOLSTATE_TYPE_STR = 0x1;
constexpr DWORD SHCOLSTATE_TYPE_INT = 0x2;
constexpr DWORD SHCOLSTATE_TYPE_DATE = 0x3;
constexpr DWORD SHCOLSTATE_ONBYDEFAULT = 0x10;
constexpr DWORD SHCOLSTATE_SLOW = 0x20;
constexpr DWORD SHCOLSTATE_EXTENDED = 0x40;
constexpr DWORD SHCOLSTATE_SECONDARYUI = 0x80;
constexpr DWORD SHCOLSTATE_HIDDEN = 0x100;

namespace shellapi {

namespace testing {
// Registry handles opened and not yet closed.
int OpenRegistryKeys();
// The path (in lower case) an open handle names; empty for a handle that is not open.
String RegistryKeyPath(HKEY key);
}  // namespace testing

// ---- The class keys' contents ----
// A key: its path below the class root (case does not count), its values by name ("" is the
// default value).
using TRegistryTree = std::map<String, std::map<String, String>>;
// The tree the desktop suggests: every extension the MIME database knows names its type, whose
// key has a PerceivedType for images, audio, video and text; the general keys ("*",
// "AllFilesystemObjects", "Folder", "Directory", "Directory\Background", "Unknown") and
// "SystemFileAssociations\<perceived type>" exist. Nothing has a CurVer.
const TRegistryTree& DesktopRegistry();
// Tests put a tree of their own (nil: the desktop's again).
void SetRegistryTree(const TRegistryTree* tree);
// The path of an open class key below HKEY_CLASSES_ROOT (lower case); empty for a closed one.
String RegistryKeyName(HKEY key);

// ---- File operations ----
enum class TTransfer { Copy, Move, Link };

// The name a new entry gets in `dir`: `name` when it is free, else the first free name of the
// operation's series.
std::string FreeTargetName(const std::string& dir, const std::string& name, TTransfer how);

// Copies, moves or links the paths into the folder `targetDir`. Answers S_OK when every path
// was done; stops at the first failure (what was done stays done). E_INVALIDARG for a folder into
// itself or below itself, or a target that is no folder. A move into the folder it is already in
// leaves the path where it is. `made` receives the new paths.
HRESULT TransferFiles(const std::vector<std::string>& sources, const std::string& targetDir, TTransfer how,
                      std::vector<std::string>* made = nullptr);

// The desktop's deletion of literal paths: to the trash (the home trash, or the trash of the
// file's own volume), or for good; the confirmation hook decides first. S_OK, E_ABORT when the
// confirmation was refused, or a failure (a file no trash can take stays where it is).
HRESULT DeleteFiles(const std::vector<std::string>& paths, bool toTrash, bool askFirst = true);

// ---- Transfer data ----
// The paths a data object carries: its shell ID list (absolute lists of this namespace) when it
// has one, else its file list. Only paths of existing files.
std::vector<std::string> DataObjectPaths(IDataObject* dataObject);
// The drop effect a data object prefers ("Preferred DropEffect"); 0 when it names none.
DWORD PreferredDropEffect(IDataObject* dataObject);
// A data object of the folder's items (absolute list of the folder, relative lists of the
// items): a shell ID list and a file list of the paths.
IDataObject* CreateItemsDataObject(const std::string& folderIds, const std::vector<std::string>& childIds);

// A drop target that copies, moves or links what is dropped into the folder: Ctrl copies, Shift
// moves, both link; without keys a move within one file system and a copy across.
IDropTarget* CreateFolderDropTarget(const std::string& folderPath);

// The menu behind GetUIObjectOf(IContextMenu) and CDefFolderMenu_Create2; `mimeTypes` (from the
// class keys) choose the applications it offers.
IContextMenu* CreateDefaultFolderMenu(IShellFolder* folder, const std::string& folderIds,
                                      std::vector<std::string> childIds, HWND owner, LPFNDFMCALLBACK callback,
                                      std::vector<std::string> mimeTypes = {});

}  // namespace shellapi
}  // namespace pf
