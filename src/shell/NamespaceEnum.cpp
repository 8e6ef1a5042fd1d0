// TNamespace: enumeration, parsing and renaming; the unit's shell routines.

#include <sys/statvfs.h>

#include <ctime>

#include "platform/classlib/Forms.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/kernel/Drives.h"
#include "platform/shellapi/ShellExecute.h"
#include "common/CommonThreadManager.h"
#include "shell/ShellUtilities.h"

namespace shell {

Integer TNamespace::EnumerateFolder(HWND messageWnd, bool folders, bool nonFolders, bool includeHidden,
                                    const TEnumFolderCallback& enumFunc, void* userData) {
  if (!enumFunc) return 0;
  Cardinal flags = (folders ? SHCONTF_FOLDERS : 0) | (nonFolders ? SHCONTF_NONFOLDERS : 0) |
                   (includeHidden ? SHCONTF_INCLUDEHIDDEN : 0);
  return EnumerateFolderCore(messageWnd, flags, enumFunc, userData, nullptr);
}

Integer TNamespace::EnumerateFolderEx(HWND messageWnd, TFileObjects fileObjects, const TEnumFolderCallback& enumFunc,
                                      void* userData, const TNotifyEvent& afterValidEnumIDList) {
  return EnumerateFolderCore(ShellOwnerWindowEnabled ? messageWnd : nullptr, FileObjectsToFlags(fileObjects), enumFunc,
                             userData, afterValidEnumIDList);
}

Integer TNamespace::EnumerateFolderCore(HWND wnd, Cardinal flags, const TEnumFolderCallback& enumFunc, void* userData,
                                        const TNotifyEvent& afterValidEnumIDList) {
  UINT oldMode = SetErrorMode(0x8001);
  Integer count = 0;
  // A file's folder is its parent's: listing it would hand out the siblings as the file's
  // children, under lists that name nothing.
  ComPtr<IShellFolder> folder = GetFolder() || IsDesktop() ? GetShellFolder() : nullptr;
  if (folder && GetValid()) {
    void* wow = DisableWow64Redirection();
    IEnumIDList* e = nullptr;
    if (SUCCEEDED(folder->EnumObjects(wnd, flags, &e)) && e) {
      if (afterValidEnumIDList) afterValidEnumIDList(this);
      bool terminate = false;
      PItemIDList item = nullptr;
      ULONG fetched = 0;
      while (!terminate && e->Next(1, &item, &fetched) == S_OK) {
        if (enumFunc) {
          if (enumFunc(wnd, item, this, userData, terminate)) ++count;
        } else {
          ShellUtilitiesPIDLManager->FreePIDL(item);
          ++count;
        }
      }
      e->Release();
    }
    RevertWow64Redirection(wow);
  }
  SetErrorMode(oldMode);
  return count;
}

PItemIDList TNamespace::ParseDisplayName(const String& path) {
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.GetAddressOf()))) return nullptr;
  PItemIDList pidl = nullptr;
  ULONG eaten = 0;
  if (FAILED(desktop->ParseDisplayName(ShellOwnerWindow(), nullptr, path.c_str(), &eaten, &pidl, nullptr))) return nullptr;
  return pidl;
}

PItemIDList TNamespace::ParseDisplayName() { return ParseDisplayName(GetNameForParsing()); }

bool TNamespace::SetNameOf(const String& newName) {
  ComPtr<IShellFolder> parent = GetParentShellFolder();
  if (!GetCanRename() || !parent) return false;
  // The wait cursor while the shell renames, back on every path.
  struct TWaitCursor {
    TCursor Old{crDefault};
    TWaitCursor() {
      if (Screen) {
        Old = Screen->GetCursor();
        Screen->SetCursor(crHourGlass);
      }
    }
    ~TWaitCursor() {
      if (Screen) Screen->SetCursor(Old);
    }
  } wait;
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  PItemIDList copy = mgr->CopyPIDL(FRelativePIDL);
  PItemIDList fresh = nullptr;
  HRESULT hr = parent->SetNameOf(ShellOwnerWindow(), copy, newName.c_str(), 0xE0, &fresh);
  mgr->FreePIDL(copy);
  if (FAILED(hr) || !fresh) {
    mgr->FreePIDL(fresh);
    return false;
  }
  // The file is renamed once the shell says so: the item follows it whatever the old name's
  // validity (a change of case keeps the old name valid on some file systems). The item owns the
  // new list as it owned the old one.
  PItemIDList absolute = mgr->AppendPIDL(GetParent()->GetAbsolutePIDL(), fresh);
  mgr->FreePIDL(fresh);
  if (!absolute) return false;
  if (GetFreePIDLOnDestroy()) mgr->FreePIDL(FAbsolutePIDL);
  FAbsolutePIDL = absolute;
  FRelativePIDL = mgr->GetPointerToLastID(absolute);
  SetFreePIDLOnDestroy(true);
  InvalidateNamespace(true);
  return true;
}

bool TNamespace::OkToBrowse(bool showExplorerMsg) {
  String name = GetNameForParsing();
  // A drive letter's root ("A:\") or a mount point: the drive roots a medium can be missing from.
  bool driveRoot = (name.size() == 3 && common::IsDriveRoot(name)) || common::IsMountRoot(name);
  if (driveRoot && !common::DiskInDrive(name)) {
    TFileObjects all{TFileObject::foFolders, TFileObject::foNonFolders, TFileObject::foHidden};
    EnumerateFolderEx(showExplorerMsg ? ShellOwnerWindow() : nullptr, all, nullptr, nullptr);
    return false;
  }
  return true;
}

namespace {

// Runs the record with the shell's execute call, or hands copies of everything to a
// self-freeing execute thread so that the item stays on its own thread. Without the thread
// unit started (it owns the copied list) the record runs at once.
bool LaunchWithTheShell(const TShellExecuteRequest& r, bool runInThread) {
  auto text = [](const String& s) { return s.empty() ? nullptr : s.c_str(); };
  if (runInThread && common::CommonThreadManagerPIDLMgr) {
    auto* thread = common::TCommonShellExecuteThread::New(true);
    thread->ShellExecuteInfoW.cbSize = r.cbSize;
    thread->ShellExecuteInfoW.fMask = r.fMask;
    thread->ShellExecuteInfoW.hwnd = r.hwnd;
    thread->ShellExecuteInfoW.nShow = r.nShow;
    thread->SetlpDirectory(r.Directory);
    thread->SetlpParameters(r.Parameters);
    thread->SetPIDL(r.lpIDList ? common::CommonThreadManagerPIDLMgr->CopyPIDL(r.lpIDList) : nullptr);
    thread->Resume();
    return true;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = r.cbSize;
  info.fMask = r.fMask;
  info.hwnd = r.hwnd;
  info.nShow = r.nShow;
  info.lpIDList = const_cast<ITEMIDLIST*>(r.lpIDList);
  info.lpParameters = text(r.Parameters);
  info.lpDirectory = text(r.Directory);
  return ShellExecuteExW(&info);
}

}  // namespace

TShellExecuteLauncher ShellExecuteLauncher = LaunchWithTheShell;

bool TNamespace::ShellExecuteNamespace(const String& workingDir, const String& cmdLineArguments, bool executeFolder,
                                       bool executeFolderShortCut, bool runInThread) {
  bool go = executeFolder || !GetFolder();
  if (!executeFolderShortCut && go && GetLink()) {
    Owned<TShellLinkReader> link(TShellLinkReader::New(nullptr));
    if (link->ReadLink(GetNameParseAddress())) go = !common::WideDirectoryExists(link->GetTargetPath());
  }
  if (!go || !ShellExecuteLauncher) return false;
  TShellExecuteRequest r;
  r.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS;
  if (runInThread) r.fMask |= SEE_MASK_FLAG_DDEWAIT;
  r.hwnd = ShellOwnerWindow();
  r.nShow = 1;
  r.lpIDList = FAbsolutePIDL;
  r.Parameters = cmdLineArguments;
  r.Directory = common::WideDirectoryExists(workingDir) ? workingDir : common::WideExtractFileDir(GetNameParseAddress());
  return ShellExecuteLauncher(r, runInThread);
}

// ---- Shell routines ----

PItemIDList PathToPIDL(const String& path) {
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.GetAddressOf()))) return nullptr;
  PItemIDList pidl = nullptr;
  ULONG eaten = 0;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, path.c_str(), &eaten, &pidl, nullptr))) return nullptr;
  return pidl;
}

Cardinal FileObjectsToFlags(TFileObjects f) {
  f.Exclude(TFileObject::foShareable);
  f.Exclude(TFileObject::foNetworkPrinters);
  bool nt6 = common::IsNT6OrLater(), nt61 = common::IsNT61OrLater();
  Cardinal r = 0;
  if (f.Contains(TFileObject::foFolders)) r |= SHCONTF_FOLDERS;
  if (f.Contains(TFileObject::foNonFolders)) r |= SHCONTF_NONFOLDERS;
  if (f.Contains(TFileObject::foHidden)) r |= SHCONTF_INCLUDEHIDDEN;
  if (f.Contains(TFileObject::foStorage)) r |= SHCONTF_STORAGE;
  if (nt6) {
    if (f.Contains(TFileObject::foInitOnFirstNext)) r |= SHCONTF_INIT_ON_FIRST_NEXT;
    if (f.Contains(TFileObject::foFastItems)) r |= SHCONTF_FASTITEMS;
    if (f.Contains(TFileObject::foFlatList)) r |= SHCONTF_FLATLIST;
    if (f.Contains(TFileObject::foEnableAsync)) r |= SHCONTF_ENABLE_ASYNC;
  }
  if (nt61) {
    if (f.Contains(TFileObject::foNavigationEnum)) r |= SHCONTF_NAVIGATION_ENUM;
    if (f.Contains(TFileObject::foIncludeSuperHidden)) r |= SHCONTF_INCLUDESUPERHIDDEN;
  }
  return r;
}

TShellContextMenuFlags ContextMenuFlagsToSet(Cardinal flags) {
  TShellContextMenuFlags s;
  if (flags & 0x10) s.Include(TShellContextMenuFlag::cmfCanRename);
  if (flags & 0x4) s.Include(TShellContextMenuFlag::cmfExplore);
  if (flags & 0x40) s.Include(TShellContextMenuFlag::cmfIncludeStatic);
  if (flags & 0x20) s.Include(TShellContextMenuFlag::cmfNoDefault);
  if (flags & 0x8) s.Include(TShellContextMenuFlag::cmfNoVerbs);
  if (flags & 0x2) s.Include(TShellContextMenuFlag::cmfVerbsOnly);
  return s;
}

bool PIDLIsFolder(const ITEMIDLIST* pidl) {
  if (!pidl) return false;
  TCommonPIDLManager* mgr = ShellUtilitiesPIDLManager;
  if (mgr->IsDesktopFolder(pidl)) return true;
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.GetAddressOf()))) return false;
  DWORD word = SFGAO_FOLDER;
  if (mgr->IDCount(pidl) == 1) {
    const ITEMIDLIST* one = pidl;
    return SUCCEEDED(desktop->GetAttributesOf(1, &one, &word)) && (word & SFGAO_FOLDER);
  }
  PItemIDList head = mgr->CopyPIDL(pidl);
  mgr->StripLastID(head);
  ComPtr<IShellFolder> parent;
  bool result = false;
  if (SUCCEEDED(desktop->BindToObject(head, nullptr, IShellFolder::Iid, parent.GetVoidAddress())) && parent) {
    const ITEMIDLIST* last = mgr->GetPointerToLastID(pidl);
    result = SUCCEEDED(parent->GetAttributesOf(1, &last, &word)) && (word & SFGAO_FOLDER);
  }
  mgr->FreePIDL(head);
  return result;
}

// A drive's root here is a mount point (a drive letter names none, so its type says no root). Its
// type comes from the mount table: a network drive or one whose device has gone is not to be
// touched.
bool IsUnreachableDrive(TNamespace* ns) {
  if (!ns) return false;
  String name = ns->GetNameForParsing();
  if (name.empty()) return false;
  if (!common::IsDriveRoot(name) && !common::IsMountRoot(name)) return false;
  using TGetDriveTypeW = UINT(const Char*);
  auto* wide = ProcAs<TGetDriveTypeW>(common::BoundEntryPoint("GetDriveTypeW"));
  UINT type = wide ? wide(name.c_str()) : GetDriveTypeA(StringToAnsi(name).c_str());
  return type == DRIVE_NO_ROOT_DIR || type == DRIVE_REMOTE;
}

bool FileTimeIsSet(const FILETIME& ft) { return ft.dwLowDateTime != 0 || ft.dwHighDateTime != 0; }

TDateTime FileTimeToDateTime(const FILETIME& ft) {
  if (!FileTimeIsSet(ft)) return 0;
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  int64_t unixTicks = static_cast<int64_t>(ticks) - 116444736000000000LL;
  int64_t seconds = unixTicks >= 0 ? unixTicks / 10000000 : -((-unixTicks + 9999999) / 10000000);
  int64_t rest = unixTicks - seconds * 10000000;
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!::localtime_r(&t, &tm)) return 0;
  return EncodeDate(static_cast<Word>(tm.tm_year + 1900), static_cast<Word>(tm.tm_mon + 1), static_cast<Word>(tm.tm_mday)) +
         EncodeTime(static_cast<Word>(tm.tm_hour), static_cast<Word>(tm.tm_min), static_cast<Word>(tm.tm_sec),
                    static_cast<Word>(rest / 10000));
}

void FileTimeToText(const FILETIME& ft, String& text) {
  text.clear();
  if (!FileTimeIsSet(ft)) return;
  TDateTime dt = FileTimeToDateTime(ft);
  if (dt == 0) return;
  const TFormatSettings& fs = FormatSettings();
  text = FormatDateTime(fs.ShortDateFormat + u" " + fs.LongTimeFormat, dt);
}

bool GetDiskFreeSpaceCompat(const String& root, DWORD& sectorsPerCluster, DWORD& bytesPerSector,
                            DWORD& totalClusters, DWORD& freeClusters) {
  struct statvfs v {};
  if (::statvfs(ToNativePath(root).c_str(), &v) != 0) return false;
  auto clamp = [](uint64_t x) { return static_cast<DWORD>(std::min<uint64_t>(x, 0xFFFFFFFFu)); };
  sectorsPerCluster = 1;
  bytesPerSector = clamp(v.f_frsize);
  totalClusters = clamp(v.f_blocks);
  freeClusters = clamp(v.f_bavail);
  return true;
}

TPIDLArray NamespacesToPIDLs(const TNamespaceArray& namespaces) {
  TPIDLArray r;
  for (TNamespace* ns : namespaces) r.push_back(ns->GetRelativePIDL());
  return r;
}

common::TCommonNamespaceList NamespacesToList(const TNamespaceArray& namespaces) {
  return common::TCommonNamespaceList(namespaces.begin(), namespaces.end());
}

bool DeleteDataObjectFiles(IDataObject* dataObject, HWND window, bool allowUndo) {
  Owned<common::TCommonShellIDList> ids(common::TCommonShellIDList::New());
  if (!dataObject || !ids->LoadFromDataObject(dataObject)) return false;
  std::vector<Owned<TNamespace>> items;
  common::TCommonNamespaceList list;
  for (Integer i = 0; i < ids->PIDLCount(); ++i) {
    PItemIDList pidl = ids->AbsolutePIDL(i);
    if (!pidl) continue;
    items.emplace_back(TNamespace::New(pidl, nullptr));
    list.push_back(items.back().get());
  }
  // Our own data object says whether its items may come from several folders unchecked; then the
  // same file may stand in it twice and is deleted once.
  ComPtr<common::ICommonDataObjectFolders> folders;
  if (SUCCEEDED(ComPtr<IDataObject>(dataObject).As(folders)) && folders && folders->GetIsMultiFolder() &&
      !folders->GetIsMultiFolderVerified())
    common::RemoveDuplicatePIDLEntries(list);
  String names;
  for (common::ICommonNamespaceItem* item : list) {
    if (!item->GetFileSystem()) continue;
    names += item->GetNameForParsing();
    names += u'\0';
  }
  // Nothing to delete is no success to report.
  if (names.empty()) return false;
  names += u'\0';
  SHFILEOPSTRUCTW op;
  op.hwnd = window;
  op.wFunc = FO_DELETE;
  op.pFrom = names.c_str();
  op.pTo = u"";
  if (allowUndo) op.fFlags = FOF_ALLOWUNDO;
  // A cancelled part of the operation still answers 0 from the shell.
  return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

}  // namespace shell
