// The unit's start-up: COM, the icon cache, the shell's entry points, the PIDL manager, the
// special-folder objects and the explorer instance; and its shut-down.

#include <cstdio>
#include <cstdlib>

#include "platform/kernel/Modules.h"
#include "platform/rtl/Units.h"
#include "shell/ShellTypes.h"
#include "shell/ShellUtilities.h"

namespace shell {

TCommonPIDLManager* ShellUtilitiesPIDLManager = nullptr;
TNamespace* DesktopNamespace = nullptr;
TNamespace* RecycleBinNamespace = nullptr;
TNamespace* PhysicalDesktopNamespace = nullptr;
TNamespace* ComputerNamespace = nullptr;
TNamespace* PrintersNamespace = nullptr;
TNamespace* HistoryNamespace = nullptr;
TNamespace* ControlPanelNamespace = nullptr;
TNamespace* ControlPanelCategoryNamespace = nullptr;
TNamespace* NetworkNamespace = nullptr;
TNamespace* TemplatesNamespace = nullptr;
TNamespace* DocumentsNamespace = nullptr;
TNamespace* FavoritesNamespace = nullptr;
TNamespace* AppDataNamespace = nullptr;
TNamespace* ProgramsNamespace = nullptr;
TNamespace* GamesNamespace = nullptr;
TNamespace* LibrariesNamespace = nullptr;
TExplorerThreadInstance* ExplorerThreadInstance = nullptr;
PItemIDList ControlPanelCategoryPIDL = nullptr;
bool ShellFunctionsBound = false;

namespace {

using TKnownFolderIDListFunc = HRESULT(const GUID&, DWORD, void*, PItemIDList*);
using TFileIconInitFunc = BOOL(BOOL);

TKnownFolderIDListFunc* gSHGetKnownFolderIDList = nullptr;
HMODULE gMpr = nullptr;
TUnitCounter gUnit;

TNamespace* MadeFrom(PItemIDList pidl) {
  if (!pidl) return nullptr;
  TNamespace* ns = TNamespace::New(pidl, nullptr);
  // Binds the parent folder now, while starting, rather than at the first use.
  ns->GetParentShellFolder();
  return ns;
}

}  // namespace

HRESULT TExplorerThreadInstance::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IUnknown::Iid) {
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG TExplorerThreadInstance::AddRef() {
  Integer n = __atomic_add_fetch(&RefCount, 1, __ATOMIC_SEQ_CST);
  if (n > MaxRef) MaxRef = n;
  return static_cast<ULONG>(n);
}

ULONG TExplorerThreadInstance::Release() {
  // The unit's finalisation frees the object, not its count reaching zero.
  return static_cast<ULONG>(__atomic_sub_fetch(&RefCount, 1, __ATOMIC_SEQ_CST));
}

bool BindShellFunctions() {
  if (ShellFunctionsBound) return true;
  HMODULE shell32 = GetModuleHandleA("shell32.dll");
  if (!shell32) return false;
  gSHGetKnownFolderIDList = ProcAs<TKnownFolderIDListFunc>(GetProcAddress(shell32, "SHGetKnownFolderIDList"));
  bool required = GetProcAddress(shell32, MAKEINTRESOURCEA(21)) && GetProcAddress(shell32, MAKEINTRESOURCEA(23));
  // The optional entry points (explorer instance, thread references, window animation) have no
  // caller in this program; only the network resource module is held, as its release is counted.
  gMpr = common::LoadLibraryRef(u"Mpr.dll");
  ShellFunctionsBound = required;
  return required;
}

void ResetShellBindingForTests() {
  ShellFunctionsBound = false;
  gSHGetKnownFolderIDList = nullptr;
}

TNamespace* CreateKnownFolderNamespace(const GUID& folderID, bool create, bool noAlias) {
  if (!gSHGetKnownFolderIDList) return nullptr;
  DWORD flags = 0;
  if (create) flags |= KF_FLAG_CREATE | KF_FLAG_INIT;
  if (noAlias) flags |= KF_FLAG_NO_ALIAS;
  PItemIDList pidl = nullptr;
  if (FAILED(gSHGetKnownFolderIDList(folderID, flags, nullptr, &pidl))) return nullptr;
  return MadeFrom(pidl);
}

TNamespace* CreateSpecialFolderNamespace(Integer csidl) {
  PItemIDList pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl))) return nullptr;
  return MadeFrom(pidl);
}

// There is no file-system redirection for 32-bit programs here.
void* DisableWow64Redirection() { return nullptr; }
void RevertWow64Redirection(void*) {}

void InitializeShellUtilities() {
  if (!gUnit.Enter()) return;
  shellapi::RegisterShellExports();
  CoInitialize(nullptr);
  if (common::IsPlatformNT()) {
    HMODULE shell32 = GetModuleHandleA("shell32.dll");
    if (auto init = shell32 ? ProcAs<TFileIconInitFunc>(GetProcAddress(shell32, MAKEINTRESOURCEA(660))) : nullptr)
      init(1);
  }
  if (!BindShellFunctions()) {
    // Without the item ID list tests nothing of the library can work; say so and fail, so that a
    // script starting the program sees it.
    std::fputs("The shell library cannot start: shell32 lacks the item ID list tests (ordinals 21 and 23).\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(3);
  }
  common::BindWideApiFunctions();
  ShellUtilitiesPIDLManager = TCommonPIDLManager::New();
  if (common::IsNT6OrLater()) {
    DesktopNamespace = CreateKnownFolderNamespace(FOLDERID_Desktop, false, false);
    RecycleBinNamespace = CreateKnownFolderNamespace(FOLDERID_RecycleBinFolder, false, false);
    PhysicalDesktopNamespace = CreateKnownFolderNamespace(FOLDERID_Desktop, false, true);
    ComputerNamespace = CreateKnownFolderNamespace(FOLDERID_ComputerFolder, false, false);
    PrintersNamespace = CreateKnownFolderNamespace(FOLDERID_PrintersFolder, false, false);
    HistoryNamespace = CreateKnownFolderNamespace(FOLDERID_History, false, false);
    ControlPanelNamespace = CreateKnownFolderNamespace(FOLDERID_ControlPanelFolder, false, false);
    ControlPanelCategoryPIDL = PathToPIDL(u"::{26EE0668-A00A-44D7-9371-BEB064C98683}");
    ControlPanelCategoryNamespace = MadeFrom(ControlPanelCategoryPIDL);
    NetworkNamespace = CreateKnownFolderNamespace(FOLDERID_NetworkFolder, false, false);
    TemplatesNamespace = CreateKnownFolderNamespace(FOLDERID_Templates, false, false);
    DocumentsNamespace = CreateKnownFolderNamespace(FOLDERID_Documents, false, false);
    FavoritesNamespace = CreateKnownFolderNamespace(FOLDERID_Favorites, false, false);
    AppDataNamespace = CreateKnownFolderNamespace(FOLDERID_RoamingAppData, false, false);
    ProgramsNamespace = CreateKnownFolderNamespace(FOLDERID_ProgramFiles, false, false);
    GamesNamespace = CreateKnownFolderNamespace(FOLDERID_Games, false, true);
    if (common::IsNT61OrLater()) LibrariesNamespace = CreateKnownFolderNamespace(FOLDERID_UsersLibraries, false, true);
  } else {
    DesktopNamespace = CreateSpecialFolderNamespace(CSIDL_DESKTOP);
    RecycleBinNamespace = CreateSpecialFolderNamespace(CSIDL_BITBUCKET);
    PhysicalDesktopNamespace = CreateSpecialFolderNamespace(CSIDL_DESKTOPDIRECTORY);
    ComputerNamespace = CreateSpecialFolderNamespace(CSIDL_DRIVES);
    PrintersNamespace = CreateSpecialFolderNamespace(CSIDL_PRINTERS);
    HistoryNamespace = CreateSpecialFolderNamespace(CSIDL_HISTORY);
    ControlPanelNamespace = CreateSpecialFolderNamespace(CSIDL_CONTROLS);
    NetworkNamespace = CreateSpecialFolderNamespace(CSIDL_NETWORK);
    TemplatesNamespace = CreateSpecialFolderNamespace(CSIDL_TEMPLATES);
    DocumentsNamespace = CreateSpecialFolderNamespace(CSIDL_PERSONAL);
    FavoritesNamespace = CreateSpecialFolderNamespace(CSIDL_FAVORITES);
    AppDataNamespace = CreateSpecialFolderNamespace(CSIDL_APPDATA);
    ProgramsNamespace = CreateSpecialFolderNamespace(CSIDL_PROGRAMS);
  }
  ExplorerThreadInstance = new TExplorerThreadInstance();
  InitializeShellTypes();
}

void FinalizeShellUtilities() {
  if (!gUnit.Leave()) return;
  FinalizeShellTypes();
  for (TNamespace** ns : {&GamesNamespace, &DesktopNamespace, &RecycleBinNamespace, &PhysicalDesktopNamespace,
                          &ComputerNamespace, &HistoryNamespace, &PrintersNamespace, &ControlPanelNamespace,
                          &NetworkNamespace, &TemplatesNamespace, &DocumentsNamespace, &FavoritesNamespace,
                          &AppDataNamespace, &ProgramsNamespace, &LibrariesNamespace, &ControlPanelCategoryNamespace})
    FreeAndNil(*ns);
  ControlPanelCategoryPIDL = nullptr;
  FreeAndNil(ShellUtilitiesPIDLManager);
  shellapi::FreeSystemImageLists();
  delete ExplorerThreadInstance;
  ExplorerThreadInstance = nullptr;
  if (gMpr) common::FreeLibraryRef(u"Mpr.dll");
  gMpr = nullptr;
  CoUninitialize();
  ResetShellBindingForTests();
}

}  // namespace shell
