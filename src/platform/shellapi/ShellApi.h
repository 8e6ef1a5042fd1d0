#pragma once
// The shell's namespace over the desktop: the desktop root with Computer, Trash and Network, the
// XDG user folders as the special folders, POSIX folders bound on demand, type names from the
// shared MIME database, icons named by the icon theme, thumbnails through the freedesktop cache,
// links as symbolic links and .desktop entries.
//
// Item IDs are this layer's own: a 16-bit count (itself included), a kind byte, a zero byte, the
// payload and a closing zero. Identity is by bytes, so shell32's ordinals 21 and 23 (byte
// comparison) agree with the folders' CompareIDs, which answers 0 only for identical names.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/ImageList.h"
#include "platform/shellapi/ShellObjects.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf {

class TCustomForm;

HRESULT SHGetDesktopFolder(IShellFolder** out);
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, PItemIDList* out);
HRESULT SHGetKnownFolderIDList(const GUID& id, DWORD flags, void* token, PItemIDList* out);
// With SHGFI_PIDL `pathOrPidl` is an item ID list, else a wide path. Answers nonzero on success.
DWORD_PTR SHGetFileInfoW(const void* pathOrPidl, DWORD fileAttributes, SHFILEINFOW* info, UINT size, UINT flags);
HRESULT SHGetDataFromIDListW(IShellFolder* folder, const ITEMIDLIST* pidl, int format, void* out, int size);
// Writes the file path of an item ID list into a buffer of SHELL_PATH_CAPACITY characters; false
// for a virtual item, a list that is not ours or a path that does not fit.
constexpr size_t SHELL_PATH_CAPACITY = 4096;
BOOL SHGetPathFromIDListW(const ITEMIDLIST* pidl, Char* path);
// Ordinal 660: nothing to prepare here.
BOOL FileIconInit(BOOL restoreCache);
// FO_DELETE of literal names (no wildcards): FOF_ALLOWUNDO moves them to the trash, otherwise they
// are deleted. The confirmation hook decides first; a refusal sets fAnyOperationsAborted. An empty
// list fails. Other operations answer nonzero (not done here).
int SHFileOperationW(SHFILEOPSTRUCTW* op);

// COM's start-up counter. The shell link (CLSID_ShellLink) is made through CoCreateInstance once
// RegisterShellExports has run.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// The desktop's properties window for the files of the data object (its file list).
HRESULT SHMultiFileProperties(IDataObject* data, DWORD flags);

// The error mode is remembered and answered; nothing here shows the platform's error boxes.
UINT SetErrorMode(UINT mode);

namespace shellapi {

// Registers shell32's entry points of this file in the module table and the shell link's class
// (once).
void RegisterShellExports();

// ---- Item IDs ----
enum class TItemKind : Byte { Root = 1, Drive = 2, FsItem = 3, TrashItem = 4 };
enum class TRootId : Byte { Computer = 1, Trash = 2, Network = 3 };

// A new list of the task allocator for an absolute path (canonical: Computer, the longest matching
// mount, then one ID per name). Nil for a relative path or when a part does not exist.
PItemIDList IdListFromPath(const std::string& nativePath);
// The path an item ID list names (desktop entries included); empty for virtual items or a list
// that is not ours.
std::string PathFromIdList(const ITEMIDLIST* pidl);
// A list of one root ID.
PItemIDList RootIdList(TRootId root);

// ---- Folders of the desktop ----
// Folder names from $XDG_CONFIG_HOME/user-dirs.dirs ("XDG_DESKTOP_DIR" and the others); a folder
// the file does not name is $HOME, except the desktop, which is $HOME/Desktop.
std::string UserDir(const std::string& key);
// The key's line in the text of user-dirs.dirs: a quoted value with "$HOME/" expanded, or an
// absolute path; nothing for a line that is missing or malformed.
std::optional<std::string> ParseUserDirs(const std::string& text, const std::string& key, const std::string& home);
std::string HomeDir();
// $XDG_CONFIG_HOME when absolute, else $HOME/.config: the application-data folder of the program.
std::string ConfigHome();
std::string DataHome();
std::string CacheHome();

struct TMount {
  std::string Path;
  bool Removable{false};
  bool Remote{false};  // a network file system: never asked anything that could wait on its server
};

// ---- Hooks of the desktop (tests replace them) ----
struct TShellHooks {
  // Mounted drives under Computer: "/" plus user, removable and network mounts.
  std::function<std::vector<TMount>()> Mounts;
  // Asked before files are deleted or moved to the trash; true goes on.
  std::function<bool(const std::vector<std::string>& paths, bool toTrash)> ConfirmDelete;
};
TShellHooks& Hooks();
// Back to the desktop's own answers.
void ResetHooks();

// ---- The system image list ----
// Fixed indices 0 "application-x-generic", 1 "folder", 2 "folder-open", 3 "user-desktop",
// 4 "computer", 5 "user-trash", 6 "network-workgroup", 7 "drive-harddisk", 8 "drive-removable-media";
// further icon names get the next index in order of first request.
int SystemIconIndex(const std::string& iconName);
std::string SystemIconName(int index);
int SystemIconCount();
// Told of every new entry, so an image list can follow the table.
void SetSystemIconListener(std::function<void(int index, const std::string& iconName)> listener);
// The system image lists (16 and 32 pixels), one picture of the icon theme per entry of the table,
// made on first use and kept in step with the table; SHGetFileInfoW answers them for
// SHGFI_SYSICONINDEX. Pictures are drawn on the toolkit's thread only (others stay empty).
HIMAGELIST SystemImageList(bool small);
void FreeSystemImageLists();

// ---- Types ----
// The MIME type's comment for a file (by name, then by content); empty for the default type.
String MimeTypeComment(const std::string& nativePath, bool isDirectory);
std::string MimeIconName(const std::string& nativePath, bool isDirectory);

// ---- Find data of one exact path (never a pattern) ----
bool FindDataOfPath(const std::string& nativePath, WIN32_FIND_DATAW& data);
// FILETIME of Unix seconds and nanoseconds.
FILETIME UnixToFileTime(int64_t sec, int64_t nsec);

// ---- Properties ----
// Shows the properties window of the files and folders (absolute paths) and answers at once: the
// window lives until the user closes it. Only on the toolkit's thread.
HRESULT ShowPropertiesWindow(const std::vector<std::string>& paths, HWND owner);

namespace testing {
// The properties windows open now, oldest first.
std::vector<TCustomForm*> PropertiesWindows();
// Threads of those windows still counting folder sizes.
int CountingThreads();
// Called on the counting thread for every entry it counts (nil for none).
void SetFolderSizeHook(std::function<void(const std::string& path)> hook);
// Blocks and objects alive in the layer's namespace (folders, enumerators, links, thumbnailers).
int LiveShellObjects();
int CoInitializeCount();
}  // namespace testing

}  // namespace shellapi
}  // namespace pf
