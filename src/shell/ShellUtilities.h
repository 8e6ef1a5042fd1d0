#pragma once
// The shell namespace library: TNamespace, one item of the shell's namespace (a file, a folder, a
// drive or a virtual folder) with its item ID lists, its lazily bound folder interfaces and the
// cache of everything it asked; the special-folder objects made at start-up; and the routines the
// items share (enumeration flags, FILETIME conversions, deletion through the shell).

#include <functional>
#include <vector>

#include "common/CommonNamespaceObjects.h"
#include "common/CommonObjects.h"
#include "common/CommonUtilities.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Set.h"
#include "platform/shellapi/ShellApi.h"
#include "shell/ExtractImage.h"
#include "shell/ShellLinkReader.h"

namespace shell {

using namespace pf;
using common::TCommonIntegerDynArray;
using common::TCommonPIDLManager;

inline constexpr const char* ShellUtilitiesUnit = "CommonLibrary\\Source\\ShellUtilities";

PF_DECLARE_EXCEPTION(EVSTInvalidFileName, Exception)
PF_DECLARE_EXCEPTION(EWow64RevertException, Exception)

class TNamespace;

enum class TNamespaceState {
  nsFreePIDLOnDestroy,
  nsIsRecycleBin,
  nsRecycleBinChecked,
  nsOwnsParent,
  nsShellDetailsSupported,
  nsShellFolder2Supported,
  nsShellOverlaySupported,
  nsThreadedIconLoaded,
  nsThreadedIconLoading,
  nsThreadedImageLoaded,
  nsThreadedImageLoading,
  nsThreadedImageResizing,
  nsThreadedTileInfoLoaded,
  nsThreadedTileInfoLoading,
  nsIconIndexChanged
};
using TNamespaceStates = TSet<TNamespaceState>;

enum class TShellCache {
  scInFolderName, scNormalName, scParsedName, scSmallIcon, scSmallOpenIcon, scOverlayIndex, scCreationTime,
  scLastAccessTime, scLastWriteTime, scFileSize, scFileSizeKB, scFileSizeInt64, scFileType, scInvalidIDListData,
  scFileSystem, scFolder, scCanDelete, scCanRename, scGhosted, scCanCopy, scCanMove, scCanLink, scLink,
  scFileSysAncestor, scCompressed, scFileTimes, scSupportedColumns, scFolderSize, scDetailsOfCache, scBrowsable,
  scInLibrary
};
using TShellCacheFlags = TSet<TShellCache>;

enum class TCacheAttribute {
  caFileSystem, caFolder, caCanDelete, caCanRename, caGhosted, caCanCopy, caCanMove, caCanLink, caLink,
  caFileSysAncestor, caCompressed, caExtensionHook, caHookedNamespace, caExtensionNamespace,
  caRootExtensionNamespace, caHardHookedNamespace, caBrowsable, caInLibrary
};
using TCacheAttributes = TSet<TCacheAttribute>;

enum class TDetailsOfCacheFlag { docCaptionValid, docStatesValid, docThreadLoading, docThreadLoaded };
using TDetailsOfCacheFlags = TSet<TDetailsOfCacheFlag>;
enum class TSHColumnState { csTypeString, csTypeInt, csTypeDate, csOnByDefault, csSlow, csExtended, csSecondaryUI, csHidden };
using TSHColumnStates = TSet<TSHColumnState>;

struct TDetailsOfCacheRec {
  TDetailsOfCacheFlags Cached;
  String Caption;
  TSHColumnStates States;
};
using TDetailsOfCacheArray = std::vector<TDetailsOfCacheRec>;

struct TCacheData {
  TCacheAttributes Attributes;
  Integer SmallIcon{-1};
  Integer SmallOpenIcon{-1};
  String InFolderName, NormalName, ParsedName, CreationTime, LastAccessTime, LastWriteTime, FileSize, FileSizeKB,
      FileType;
  Int64 FileSizeInt64{0};
  Integer SupportedColumns{0};
  Int64 FolderSize{0};
  Integer OverlayIndex{-1};
  Integer OverlayIconIndex{-1};
  TDetailsOfCacheArray DetailsOfCache;
};

struct TShellCacheRec {
  TShellCacheFlags ShellCacheFlags;
  TCacheData Data;
};

struct TCategoryInfo {
  String Description;
  bool Collapsed{false};
  bool Hidden{false};
};
struct TCategoriesInfo {
  std::vector<SHCOLUMNID> ColumnID;
  std::vector<GUID> CatGUID;
  std::vector<String> CategoryNames;
  std::vector<TCategoryInfo> Categories;
  std::vector<bool> CanCatatorize;
  Integer DefaultColumn{0};
  Integer CategoryCount{0};
};

struct TSHGetFileInfoRec {
  String FileType;
};

// The shell's description ids, in their order.
enum class TObjectDescription {
  odError, odRootRegItem, odFile, odDirectory, odOther, odDrive35, odDrive525, odRemovable, odFixed,
  odNetDrive, odCDROM, odRAMDisk, odUnknown, odNetDomain, odNetServer, odNetShare, odNetRestOfNet, odNetOther,
  odComputerImaging, odComputerAudioCD, odShareDocuments
};
enum class TIconSize { icSmall, icLarge };

enum class TFileObject {
  foFolders, foNonFolders, foHidden, foShareable, foNetworkPrinters, foInitOnFirstNext, foStorage, foNavigationEnum,
  foFastItems, foFlatList, foEnableAsync, foIncludeSuperHidden
};
using TFileObjects = TSet<TFileObject>;

enum class TShellContextMenuFlag {
  cmfCanRename, cmfDefaultOnly, cmfExplore, cmfExtendedVerbs, cmfIncludeStatic, cmfItemMenu, cmfNoDefault, cmfNormal,
  cmfNoVerbs, cmfVerbsOnly
};
using TShellContextMenuFlags = TSet<TShellContextMenuFlag>;

// The callback receives ownership of `pidl`; its answer says whether the item counts.
using TEnumFolderCallback =
    std::function<bool(HWND messageWnd, PItemIDList pidl, TNamespace* parent, void* data, bool& terminate)>;

using TNamespaceArray = std::vector<TNamespace*>;
using TPIDLArray = std::vector<PItemIDList>;
using TVisibleColumnIndexArray = std::vector<Integer>;

// Whose Shift key a verb sees: the live key, or the key taken as up or as down.
enum class TExecuteVerbShift { evsCurrent, evsUp, evsDown };
using TContextMenuCmdCallback =
    std::function<void(TNamespace* ns, const String& verb, Integer menuItemID, bool& handled)>;
using TContextMenuShowCallback = std::function<void(TNamespace* ns, HMENU menu, bool& allow)>;
using TContextMenuAfterCmdCallback =
    std::function<void(TNamespace* ns, const String& verb, Integer menuItemID, bool successful)>;
using TMenuItemIDArray = std::vector<UINT>;

// An item is also what the common library's data-object routine reads (its list, whether it is a
// file and its path).
class TNamespace : public TObject, public common::ICommonNamespaceItem {
  PF_CLASS(TNamespace)
public:
  // ---- Construction and identity ----
  // Takes ownership of `pidl`; Create(nullptr, nullptr) is the desktop.
  static TNamespace* CreateCustomNamespace(Integer customID, TNamespace* parent);
  // Raises EVSTInvalidFileName when the path names nothing.
  static TNamespace* CreateFromFileName(const String& fileName);
  virtual TNamespace* Clone(bool releasePIDLOnDestroy);
  virtual int8_t ComparePIDL(const ITEMIDLIST* pidlToCompare, bool isAbsolutePIDL, Integer column);
  bool VerifyPIDLRelationship(const TNamespaceArray& namespaces, bool silent);
  virtual bool IsChildByNamespace(TNamespace* testNamespace, bool immediate);
  virtual bool IsChildByPIDL(const ITEMIDLIST* testPIDL, bool immediate);
  virtual bool IsParentByNamespace(TNamespace* testNamespace, bool immediate);
  virtual bool IsParentByPIDL(const ITEMIDLIST* testPIDL, bool immediate);
  virtual bool IsDesktop();
  virtual bool IsMyComputer();
  virtual bool IsNetworkNeighborhood();
  virtual bool IsNetworkNeighborhoodChild();
  virtual bool IsControlPanel();
  virtual bool IsControlPanelChildFolder();
  bool IsRecycleBin();
  virtual bool IsChildOfRemovableDrive();
  virtual void InvalidateCache();
  virtual void InvalidateNamespace(bool refreshIcon = true);
  virtual void InvalidateRelativePIDL(TFileObjects fileObjects);
  void InvalidateDetailsOfCache(bool flushStrings);
  virtual void InvalidateThumbImage();

  PItemIDList GetAbsolutePIDL() const override { return FAbsolutePIDL; }
  void SetAbsolutePIDL(PItemIDList pidl) { FAbsolutePIDL = pidl; }
  PItemIDList GetRelativePIDL() const { return FRelativePIDL; }
  Integer GetIconCache() const { return FIconCache; }
  void SetIconCache(Integer v) { FIconCache = v; }
  Integer GetNamespaceID() const { return FNamespaceID; }
  TNamespaceStates GetStates() const { return FStates; }
  void SetStates(TNamespaceStates s) { FStates = s; }
  Integer GetTag() const { return FTag; }
  void SetTag(Integer v) { FTag = v; }
  const TCommonIntegerDynArray& GetTileDetail() const { return FTileDetail; }
  void SetTileDetail(const TCommonIntegerDynArray& v) { FTileDetail = v; }
  WIN32_FIND_DATAW* GetWin32FindDataW() const { return FWin32FindDataW; }
  // Loaded with the wide record on the 8-bit platform only.
  WIN32_FIND_DATAA* GetWin32FindDataA() const { return FWin32FindDataA; }
  TNamespace* GetParent();
  const TShellCacheRec& ShellCache() const { return FShellCache; }

  // ---- Names ----
  virtual String GetNameNormal();
  virtual String GetNameInFolder();
  virtual String GetNameParseAddress();
  virtual String GetNameParseAddressInFolder();
  virtual String GetNameForParsing();
  String GetNameForParsing() const override { return const_cast<TNamespace*>(this)->GetNameForParsing(); }
  virtual String GetNameForParsingInFolder();
  virtual String GetNameAddressbar();
  virtual String GetNameAddressbarInFolder();
  virtual String GetNameForEditing();
  virtual String GetNameForEditingInFolder();
  virtual String GetFileName();
  virtual String GetShortFileName();
  virtual String GetExtension();
  virtual String GetFileType();
  virtual String GetInfoTip();
  virtual String GetAttributesString();

  // ---- Attributes (cached, then uncached) ----
  virtual bool TestAttributesOf(DWORD flags, bool flushCache, bool softFlush = false);
  virtual bool GetCanCopy();
  virtual bool GetCanMove();
  virtual bool GetCanLink();
  virtual bool GetCanRename();
  virtual bool GetCanDelete();
  virtual bool GetGhosted();
  virtual bool GetLink();
  virtual bool GetBrowsable();
  virtual bool GetFileSysAncestor();
  virtual bool GetFolder();
  virtual bool GetFileSystem();
  bool GetFileSystem() const override { return const_cast<TNamespace*>(this)->GetFileSystem(); }
  virtual bool GetStorage();
  virtual bool GetHasPropSheet();
  virtual bool GetEncrypted();
  virtual bool GetIsSlow();
  virtual bool GetShare();
  virtual bool GetReadOnly();
  virtual bool GetNonEnumerated();
  virtual bool GetNewContent();
  virtual bool GetCanMoniker();
  virtual bool GetHasStorage();
  virtual bool GetStream();
  virtual bool GetStorageAncestor();
  virtual bool GetRemovable();
  virtual bool GetHasSubFolder();
  virtual bool GetDropTarget();

  // ---- Find data ----
  virtual bool GetReadOnlyFile();
  virtual bool GetHidden();
  virtual bool GetSystemFile();
  virtual bool GetDirectory();
  virtual bool GetArchive();
  virtual bool GetNormal();
  virtual bool GetTemporary();
  virtual bool GetSparseFile();
  virtual bool GetReparsePoint();
  virtual bool GetOffLine();
  virtual bool GetCompressed();
  virtual bool GetSubFolders();
  virtual bool GetSubItems();
  virtual bool SubFoldersEx(DWORD flags = SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN);
  virtual bool SubItemsEx(DWORD flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN);
  virtual bool GetValid();
  virtual TObjectDescription GetDescription();
  virtual GUID GetCLSID();
  virtual bool GetAdvDetailsSupported();
  bool GetIsLibraryChild();
  TNamespace* GetDelagateNS();
  bool GetJunctionPoint();
  bool GetSymbolicLink();
  String GetJunctionPointResolvePath();
  String GetSymbolicLinkResolvePath();
  virtual TExtractImage* GetExtractImage();
  virtual TShellLinkReader* GetShellLink();

  // ---- Times and sizes ----
  virtual FILETIME GetCreationTimeRaw();
  virtual FILETIME GetLastAccessTimeRaw();
  virtual FILETIME GetLastWriteTimeRaw();
  virtual TDateTime GetCreationDateTime();
  virtual TDateTime GetLastAccessDateTime();
  virtual TDateTime GetLastWriteDateTime();
  virtual String GetCreationTime();
  virtual String GetLastAccessTime();
  virtual String GetLastWriteTime();
  virtual Int64 GetSizeOfFileInt64();
  virtual String GetSizeOfFile();
  virtual String GetSizeOfFileKB();
  virtual String GetSizeOfFileDiskUsage();
  virtual Int64 FolderSize(bool invalidate, bool recurseFolder);

  // ---- Interfaces (each a new reference) ----
  virtual ComPtr<IShellFolder> GetShellFolder();
  virtual ComPtr<IShellFolder> GetParentShellFolder();
  virtual ComPtr<IShellFolder2> GetShellFolder2();
  virtual ComPtr<IShellFolder2> GetParentShellFolder2();
  virtual ComPtr<IShellDetails> GetShellDetailsInterface();
  virtual ComPtr<IShellDetails> GetParentShellDetailsInterface();
  virtual ComPtr<IShellIcon> GetShellIconInterface();
  virtual ComPtr<IShellIconOverlay> GetShellIconOverlayInterface();
  virtual ComPtr<IExtractIconA> GetExtractIconAInterface();
  virtual ComPtr<IExtractIconW> GetExtractIconWInterface();
  virtual ComPtr<IQueryInfo> GetQueryInfoInterface();
  virtual ComPtr<IBrowserFrameOptions> GetBrowserFrameOptionsInterface();
  virtual ComPtr<IQueryAssociations> GetQueryAssociationsInterface();
  virtual ComPtr<ICategoryProvider> GetCategoryProviderInterface();
  ComPtr<IPropertyStore> GetPropertyStoreInterface();

  // ---- Icons and thumbnails ----
  virtual Integer GetIconIndex(bool openIcon, TIconSize iconSize, bool forceLoad = false);
  virtual Integer GetOverlayIndex();
  virtual Integer GetOverlayIconIndex();
  virtual void SetIconIndexByThread(Integer iconIndex, Integer overlayIndex, bool clearThreadLoading);
  virtual void SetImageByThread(TBitmap* bitmap, bool clearThreadLoading);
  virtual TBitmap* GetImage();
  virtual bool GetFreePIDLOnDestroy();
  virtual void SetFreePIDLOnDestroy(bool v);
  virtual bool GetIconIndexChanged();
  virtual void SetIconIndexChanged(bool v);
  virtual bool GetThreadedIconLoaded();
  virtual bool GetThreadIconLoading();
  virtual void SetThreadIconLoading(bool v);
  virtual bool GetThreadImageLoaded();
  virtual bool GetThreadImageLoading();
  virtual void SetThreadImageLoading(bool v);

  // ---- Enumeration, parsing, renaming ----
  virtual Integer EnumerateFolder(HWND messageWnd, bool folders, bool nonFolders, bool includeHidden,
                                  const TEnumFolderCallback& enumFunc, void* userData);
  virtual Integer EnumerateFolderEx(HWND messageWnd, TFileObjects fileObjects, const TEnumFolderCallback& enumFunc,
                                    void* userData, const TNotifyEvent& afterValidEnumIDList = nullptr);
  virtual PItemIDList ParseDisplayName(const String& path);
  virtual PItemIDList ParseDisplayName();
  virtual bool SetNameOf(const String& newName);
  virtual bool OkToBrowse(bool showExplorerMsg);
  virtual bool ShellExecuteNamespace(const String& workingDir, const String& cmdLineArguments, bool executeFolder,
                                     bool executeFolderShortCut, bool runInThread);

  // The display name of this item through its parent folder (empty on failure).
  String GetDisplayNameOf(DWORD flags);

  // ---- Details columns ----
  virtual Integer DetailsSupportedColumns();
  virtual Integer DetailsDefaultSupportedColumns();
  virtual bool DetailsValidIndex(Integer detailsIndex);
  virtual String DetailsColumnTitle(Integer columnIndex);
  virtual String DetailsDefaultColumnTitle(Integer columnIndex);
  virtual TAlignment DetailsAlignment(Integer columnIndex);
  virtual TSHColumnStates DetailsGetDefaultColumnState(Integer columnIndex);
  virtual String DetailsOf(Integer columnIndex);
  virtual String DetailsOfEx(Integer columnIndex);
  virtual String DetailsDefaultOf(Integer columnIndex);
  virtual TVisibleColumnIndexArray DetailsSupportedVisibleColumns();
  virtual bool GetDetailThreadLoaded(Integer column);
  virtual bool GetDetailThreadLoading(Integer column);
  virtual void SetDetailThreadLoaded(Integer column, bool v);
  virtual void SetDetailThreadLoading(Integer column, bool v);
  // The parent's columns with the category each one groups by (filled once, when the folder has
  // a category provider); answers their number.
  Integer CategoryCount();
  const TCategoriesInfo& GetCategoriesInfo() const { return FCatInfo; }

  // ---- Verbs, clipboard, context menus, drag and drop ----
  virtual ComPtr<IContextMenu> GetContextMenuInterface();
  virtual ComPtr<IContextMenu2> GetContextMenu2Interface();
  virtual ComPtr<IContextMenu3> GetContextMenu3Interface();
  virtual ComPtr<IDataObject> GetDataObjectInterface();
  virtual ComPtr<IDropTarget> GetDropTargetInterface();
  virtual bool CanCopyAll(const TNamespaceArray& namespaceArray);
  virtual bool CanCutAll(const TNamespaceArray& namespaceArray);
  virtual bool CanDeleteAll(const TNamespaceArray& namespaceArray);
  virtual bool CanPasteToAll(const TNamespaceArray& namespaceArray);
  virtual bool CanRenameAll(const TNamespaceArray& namespaceArray);
  virtual bool CanShowPropertiesOfAll(const TNamespaceArray& namespaceArray);
  virtual bool Copy(TWinControl* owner, const TNamespaceArray& namespaceArray);
  virtual bool Cut(TWinControl* owner, const TNamespaceArray& namespaceArray);
  virtual bool Delete(TWinControl* owner, const TNamespaceArray& namespaceArray,
                      TExecuteVerbShift shiftKeyState = TExecuteVerbShift::evsCurrent);
  virtual bool Paste(TWinControl* owner, const TNamespaceArray& namespaceArray, bool asShortCut = false);
  virtual void ShowPropertySheet(TWinControl* owner);
  virtual void ShowPropertySheetMulti(TWinControl* owner, const TNamespaceArray& namespaceArray,
                                      bool useSHMultiFileProperties = true, bool forceNonMultiPath = false);
  virtual ComPtr<IDataObject> DataObjectMulti(const TNamespaceArray& namespaceArray);
  virtual bool ExecuteContextMenuVerb(TWinControl* owner, const String& aVerb, const TPIDLArray* aPIDLArray,
                                      TExecuteVerbShift shiftKeyState = TExecuteVerbShift::evsCurrent,
                                      const String& workingDir = String());
  virtual String ContextMenuVerb(Cardinal menuItemID);
  virtual String ContextMenuItemHelp(Cardinal menuItemID);
  virtual bool ShowContextMenu(TWinControl* owner, const TContextMenuCmdCallback& contextMenuCmdCallback,
                               const TContextMenuShowCallback& contextMenuShowCallback,
                               const TContextMenuAfterCmdCallback& contextMenuAfterCmdCallback, const TPoint* position,
                               TPopupMenu* customShellSubMenu = nullptr, const String& customSubMenuCaption = String());
  virtual bool ShowContextMenuMulti(TWinControl* owner, const TContextMenuCmdCallback& contextMenuCmdCallback,
                                    const TContextMenuShowCallback& contextMenuShowCallback,
                                    const TContextMenuAfterCmdCallback& contextMenuAfterCmdCallback,
                                    const TNamespaceArray& namespaceArray, const TPoint* position,
                                    TPopupMenu* customShellSubMenu = nullptr,
                                    const String& customSubMenuCaption = String(), TNamespace* focused = nullptr,
                                    bool showPasteItem = true, bool showRenameItem = true,
                                    bool showShortCutMenuItem = true);
  virtual void HandleContextMenuMsg(Integer msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  virtual HRESULT DragEffect(Integer grfKeyState);
  virtual HRESULT DragEnter(IDataObject* dataObj, Integer grfKeyState, TPoint pt, DWORD& dwEffect);
  virtual HRESULT DragOver(Integer grfKeyState, TPoint pt, DWORD& dwEffect);
  virtual HRESULT DragLeave();
  virtual HRESULT Drop(IDataObject* dataObj, Integer grfKeyState, TPoint pt, DWORD& dwEffect);
  // The identifiers the last shown menu gave its custom submenu's items.
  const TMenuItemIDArray& CustomMenuItemIDs() const { return FCustomMenuItemIDs; }

protected:
  void Create(PItemIDList pidl, TNamespace* parent);
  void Destroy() override;

private:
  friend class TExtractImage;
  bool CachedAttribute(TShellCache sc, TCacheAttribute ca, DWORD bit);
  void LoadWin32FindData();
  void MakeWin32FindDataA();
  bool ParentIsDesktop() const;
  void RefreshFileTimes();
  bool FindFlag(DWORD bit);
  String ResolvePath(DWORD tag);
  String CachedName(TShellCache sc, String TCacheData::*field, DWORD flags);
  String FormatTime(FILETIME ft);
  TNamespace* LibraryDelegate();
  void SizeDetailsCache();
  bool ContextMenuCore(TWinControl* owner, const TContextMenuCmdCallback& cmdCallback,
                       const TContextMenuShowCallback& showCallback, const TContextMenuAfterCmdCallback& afterCallback,
                       const TPIDLArray& pidls, const TPoint* position, TPopupMenu* customShellSubMenu,
                       const String& customSubMenuCaption);
  ComPtr<IContextMenu> MenuFor(const TPIDLArray* pidls);
  bool VerbOnArray(TWinControl* owner, const String& verb, const TNamespaceArray& namespaceArray,
                   TExecuteVerbShift shift);
  String MenuCommandString(Cardinal menuItemID, UINT wideType, UINT ansiType);
  Integer EnumerateFolderCore(HWND wnd, Cardinal flags, const TEnumFolderCallback& enumFunc, void* userData,
                              const TNotifyEvent& afterValidEnumIDList);

  ComPtr<IContextMenu> FCurrentContextMenu;
  ComPtr<IContextMenu2> FCurrentContextMenu2;
  ComPtr<IDropTarget> FDropTargetInterface;
  TWndMethod FOldWndProcForContextMenu;
  TMenuItemIDArray FCustomMenuItemIDs;

  PItemIDList FAbsolutePIDL{nullptr};
  TCategoriesInfo FCatInfo;
  TNamespace* FDelagateNS{nullptr};
  TExtractImage* FExtractImage{nullptr};
  Integer FIconCache{-1};
  TBitmap* FImage{nullptr};
  Integer FNamespaceID{-1};
  TNamespace* FParent{nullptr};
  ComPtr<IPropertyStore> FPropertyStoreInterface;
  PItemIDList FRelativePIDL{nullptr};
  ComPtr<IShellDetails> FShellDetailsInterface;
  ComPtr<IShellFolder> FShellFolder;
  ComPtr<IShellFolder2> FShellFolder2;
  ComPtr<IShellIcon> FShellIconInterface;
  TShellLinkReader* FShellLink{nullptr};
  TSHGetFileInfoRec* FSHGetFileInfoRec{nullptr};
  TNamespaceStates FStates;
  Integer FTag{0};
  TCommonIntegerDynArray FTileDetail;
  ComPtr<IQueryInfo> FQueryInfoInterface;
  WIN32_FIND_DATAW* FWin32FindDataW{nullptr};
  WIN32_FIND_DATAA* FWin32FindDataA{nullptr};
  bool FSystemIsSuperHidden{false};
  ComPtr<IShellIconOverlay> FShellIconOverlayInterface;
  ComPtr<ICategoryProvider> FCategoryProviderInterface;
  ComPtr<IBrowserFrameOptions> FBrowserFrameOptionsInterface;
  ComPtr<IQueryAssociations> FQueryAssociationsInterface;

protected:
  TShellCacheRec FShellCache;
};

// ---- The owner window of shell calls ----
extern HWND ShellOwnerWindowHandle;
extern bool ShellOwnerWindowEnabled;
// The window when the switch is on, a window is set and it belongs to the calling thread; else 0.
HWND ShellOwnerWindow();

// ---- The unit's globals (made by its initialisation) ----
extern TCommonPIDLManager* ShellUtilitiesPIDLManager;
extern TNamespace* DesktopNamespace;
extern TNamespace* RecycleBinNamespace;
extern TNamespace* PhysicalDesktopNamespace;
extern TNamespace* ComputerNamespace;
extern TNamespace* PrintersNamespace;
extern TNamespace* HistoryNamespace;
extern TNamespace* ControlPanelNamespace;
extern TNamespace* ControlPanelCategoryNamespace;
extern TNamespace* NetworkNamespace;
extern TNamespace* TemplatesNamespace;
extern TNamespace* DocumentsNamespace;
extern TNamespace* FavoritesNamespace;
extern TNamespace* AppDataNamespace;
extern TNamespace* ProgramsNamespace;
extern TNamespace* GamesNamespace;
extern TNamespace* LibrariesNamespace;
// The category control panel's list, owned by its object.
extern PItemIDList ControlPanelCategoryPIDL;
// The shell's entry points are bound (done once).
extern bool ShellFunctionsBound;

// Counts references for the shell's explorer-instance protocol; reaching zero frees nothing.
class TExplorerThreadInstance final : public IUnknown {
public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  Integer MaxRef{0};
  Integer RefCount{0};
  ~TExplorerThreadInstance() override = default;
};
extern TExplorerThreadInstance* ExplorerThreadInstance;

bool BindShellFunctions();
TNamespace* CreateKnownFolderNamespace(const GUID& folderID, bool create, bool noAlias);
TNamespace* CreateSpecialFolderNamespace(Integer csidl);
void* DisableWow64Redirection();
void RevertWow64Redirection(void* oldValue);
// The unit's start-up and shut-down (counted).
void InitializeShellUtilities();
void FinalizeShellUtilities();
// Tests: forgets the binding so that it runs again.
void ResetShellBindingForTests();

// ---- Launching ----
constexpr DWORD SEE_MASK_INVOKEIDLIST = 0x0000000C;
constexpr DWORD SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr DWORD SEE_MASK_FLAG_DDEWAIT = 0x00000100;

// The launch record of an item (the shell's execute record, as far as it is filled here).
struct TShellExecuteRequest {
  DWORD cbSize{60};
  DWORD fMask{0};
  HWND hwnd{nullptr};
  Integer nShow{1};
  const ITEMIDLIST* lpIDList{nullptr};  // the item's; a launcher that keeps it copies it
  String Parameters;
  String Directory;
};
// Runs the record at once, or hands copies of it to a worker thread; answers whether it was
// launched (or handed over). By default the shell's execute call opens it; tests replace it.
using TShellExecuteLauncher = std::function<bool(const TShellExecuteRequest& request, bool runInThread)>;
extern TShellExecuteLauncher ShellExecuteLauncher;

// ---- Shell routines ----
PItemIDList PathToPIDL(const String& path);
Cardinal FileObjectsToFlags(TFileObjects fileObjects);
TShellContextMenuFlags ContextMenuFlagsToSet(Cardinal flags);
bool PIDLIsFolder(const ITEMIDLIST* pidl);
bool IsUnreachableDrive(TNamespace* ns);
bool FileTimeIsSet(const FILETIME& ft);
void FileTimeToText(const FILETIME& ft, String& text);
TDateTime FileTimeToDateTime(const FILETIME& ft);
bool GetDiskFreeSpaceCompat(const String& root, DWORD& sectorsPerCluster, DWORD& bytesPerSector,
                            DWORD& totalClusters, DWORD& freeClusters);
TPIDLArray NamespacesToPIDLs(const TNamespaceArray& namespaces);
// The items as the common library's data-object routine takes them.
common::TCommonNamespaceList NamespacesToList(const TNamespaceArray& namespaces);
// Deletes through the shell (to the trash with allowUndo) the file-system items of the data
// object's shell ID list. False when it holds no file, and when the operation failed or was
// cancelled, even in part.
bool DeleteDataObjectFiles(IDataObject* dataObject, HWND window, bool allowUndo);

// The verb fields of an invoke record: a command offset (in the pointers) or the verb's text,
// which the record then points into.
struct TMenuVerb {
  const char* A{nullptr};
  const Char* W{nullptr};
  std::string TextA;
  String TextW;
};
// Finds the verb among the items of `menu`, which `contextMenu` filled from identifier 1 on;
// "VIRTUAL_DEFAULT" is the menu's default item. A verb no item carries is passed as its text.
void FindMenuVerb(IContextMenu* contextMenu, HMENU menu, const String& verb, TMenuVerb& out);
// shell32's multi-file property sheet when the shell offers it, else nil.
using TMultiFileProperties = HRESULT (*)(IDataObject* data, DWORD flags);
TMultiFileProperties BoundMultiFileProperties();
// Gives a shown menu's drawing and initialising messages (WM_DRAWITEM, WM_MEASUREITEM,
// WM_INITMENUPOPUP, WM_MENUCHAR) to the menu: through IContextMenu3 when it has one.
void ForwardMenuMessage(IContextMenu2* menu, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
// While it lives, the owner's window procedure is one that calls the procedure it had (kept in
// `saved`) and then passes the menu messages above to `handler`; the old one comes back on every
// path.
using TMenuMessageHandler = std::function<void(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
class TContextMenuMessageHook {
public:
  TContextMenuMessageHook(TWinControl* owner, TWndMethod& saved, TMenuMessageHandler handler);
  ~TContextMenuMessageHook();
  TContextMenuMessageHook(const TContextMenuMessageHook&) = delete;
  TContextMenuMessageHook& operator=(const TContextMenuMessageHook&) = delete;

private:
  TWinControl* FOwner;
  TWndMethod& FSaved;
};
// The effect a drag asks for by its keys: none → move, Ctrl → copy, Ctrl+Shift → link, Shift → none.
HRESULT DragEffectOfKeys(Integer grfKeyState);

}  // namespace shell
