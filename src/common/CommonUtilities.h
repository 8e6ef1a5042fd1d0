#pragma once
// Plain routines shared by the canvas control, the list view and the shell namespace library:
// wide path and compare routines, rectangles, text measuring, shortening, wrapping and the
// multi-line text painter, 32-bit alpha blending, check-box and radio-button glyphs, platform
// tests, key and drop-effect conversions, the drag-start detector, folder sizes, the loaded-library
// list and the start-up binder of optional entry points.

#include <atomic>
#include <functional>
#include <vector>

#include "common/CommonObjects.h"
#include "platform/gdi/Canvas.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Set.h"
#include "platform/kernel/KernelApi.h"
#include "platform/kernel/Modules.h"
#include "platform/ole/Com.h"
#include "platform/ole/OleTypes.h"
#include "platform/user/User.h"

namespace common {

using namespace pf;

// The unit's source path, carried by its assertion failures.
inline constexpr const char* CommonUtilitiesUnit = "CommonLibrary\\Source\\CommonUtilities";

enum class TCommonDropEffect { cdeNone, cdeCopy, cdeMove, cdeLink, cdeScroll };
using TCommonDropEffects = TSet<TCommonDropEffect>;
enum class TCommonOLEDragResult { cdrDrop, cdrCancel, cdrError };
enum class TCommonKeyState { cksControl, cksLButton, cksMButton, cksRButton, cksShift, cksAlt, cksButton };
using TCommonKeyStates = TSet<TCommonKeyState>;
enum class TCommonMouseButton { cmbNone, cmbLeft, cmbRight, cmbMiddle };
enum class TCommonVAlignment { cvaTop, cvaBottom, cvaCenter };
enum class TCommonBlendMode { cbmConstantAlpha, cbmPerPixelAlpha, cbmMasterAlpha, cbmConstantAlphaAndColor };

using TCommonWideCharArray = std::vector<Char>;
using TCommonWideStringDynArray = std::vector<String>;
using TCommonIntegerDynArray = std::vector<Integer>;

// The Alt key in an OLE key state.
constexpr DWORD MK_ALT = 0x20;

// ---- Platform tests ----
bool IsWideApiPlatform();
bool IsPlatformNT();
bool IsWin95Original();
bool IsNT4OrEarlier();
bool IsNT5OrLater();
bool IsNT6OrLater();
bool IsNT61OrLater();
bool CpuHasMMX();

// ---- Wide paths and strings ----
bool WideDirectoryExists(const String& path);
String WideExtractFileDir(const String& path);
String WideExtractFileDrive(const String& path, bool letterOnly = false);
String WideExtractFileExt(const String& path, bool noDot = false);
bool IsDriveRoot(const String& path);
// A drive's root as this platform has it: a mount point of the kernel's table ("/" included).
bool IsMountRoot(const String& path);
String WideStrUpper(const String& s);
String WideStrLower(const String& s);
int WideStrICompareP(const Char* p1, const Char* p2);
// Equal texts are equal in every case and code page, and a sort meets many of them (groups without
// a caption, items of one name): those are answered here without a call.
inline int WideStrICompare(const String& s1, const String& s2) {
  return s1 == s2 ? 0 : WideStrICompareP(s1.c_str(), s2.c_str());
}
// The text of a shell string return; a STRRET_WSTR buffer is freed with the task allocator.
String StrRetToWide(STRRET& strRet, const ITEMIDLIST* pidl);
// A warning box; off the NT platform its texts go through the system code page.
int WideMessageBox(HWND owner, const String& title, const String& text);

// ---- Rectangles and points ----
Integer CommonRectWidth(const TRect& r);
Integer CommonRectHeight(const TRect& r);
bool SamePoint(const TPoint& a, const TPoint& b);
bool IsRectOrdered(const TRect& r);
TRect OrderedRect(const TRect& r);
bool RectContainsRect(const TRect& outer, const TRect& inner);
void CenterRectInRect(const TRect& outer, const TRect& inner, TRect& result);

// ---- Drawing ----
void DrawVerticalGradient(TCanvas* canvas, Integer x1, Integer x2, Integer top, Integer bottom, TColor startColor,
                          TColor endColor, Integer minY, Integer maxY);
// C1..C6: inner bottom-right frame, inner top-left frame, outer bottom-right frame, outer top-left
// frame, background when hot, background otherwise.
void DrawCheckBoxGlyphs(TCanvas* canvas, TPoint pos, Integer size, bool checked, bool enabled, bool hot, TColor c1,
                        TColor c2, TColor c3, TColor c4, TColor c5, TColor c6);
void DrawRadioButtonGlyphs(TCanvas* canvas, TPoint pos, Integer size, bool checked, bool enabled, bool hot, TColor c1,
                           TColor c2, TColor c3, TColor c4, TColor c5, TColor c6);
void MarlettGlyphSize(Integer pointSize, Char glyph, TSize& size);

// ---- Text ----
void WideGetTextExtentPoint32(HDC dc, const String& text, TSize& size);
TSize WideTextExtentOfFont(const String& text, TFont* font);
TSize WideTextExtentOnCanvas(TCanvas* canvas, const String& text);
String ShortenTextW(HDC dc, const String& text, Integer maxWidth);
// Lines one after another, each ended by a zero character, the whole ended by one more.
Integer WrapTextW(HDC dc, const String& text, Integer maxWidth, Integer maxLines, TCommonWideCharArray& lines);

// DrawTextWEx's own flags.
constexpr Word dtwSingleLine = 1;
constexpr Word dtwRight = 4;
constexpr Word dtwCenter = 8;
constexpr Word dtwBottom = 32;
constexpr Word dtwVCenter = 64;
constexpr Word dtwCalcRect = 128;
constexpr Word dtwCalcKeepTextWidth = 256;
constexpr Word dtwCalcKeepRectWidth = 512;
constexpr Word dtwEndEllipsis = 1024;
constexpr Word dtwRtlReading = 8192;
constexpr Word dtwNoClip = 16384;
Integer DrawTextWEx(HDC dc, const String& text, TRect& rect, Integer maxLines, Word flags);

// ---- Alpha blending ----
void CommonAlphaBlend(HDC srcDC, HDC dstDC, const TRect& srcRect, TPoint dstPoint, TCommonBlendMode mode,
                      Integer constantAlpha, Integer biasOrColor);

// ---- Conversions ----
TShiftState ShiftStateFromKeyData(LPARAM keyData);
DWORD CommonDropEffectToDropEffect(TCommonDropEffect effect);
TCommonDropEffects DropEffectToCommonDropEffects(DWORD effect);
DWORD CommonDropEffectsToDropEffect(TCommonDropEffects effects);
TCommonKeyStates KeyStateToCommonKeyStates(DWORD keyState);
TCommonMouseButton KeyStateToCommonMouseButton(DWORD keyState);
TCommonDropEffect CommonKeyStatesToDropEffect(TCommonKeyStates keys);

// ---- Interfaces ----
bool QueryIntf(IUnknown* intf, REFIID iid, void** obj);
bool SupportsIntf(IUnknown* intf, REFIID iid);

// ---- Mouse ----
// Runs its own message loop until the mouse leaves the drag box around `clientPt` (true) or a
// button goes up, the mode is cancelled or the program quits (false).
bool DetectDragStart(HWND wnd, TPoint clientPt);

// ---- Folders and drives ----
// The folder-size walk stops as soon as this is set.
extern std::atomic<bool> FolderSizeAbort;
void SumFolderSize(const String& folder, bool recurse, Int64& size);
Int64 DriveOrFolderSize(const String& path, bool asDrive);
// Whether a drive, named by its letter or its root, holds its medium. No letter names a drive
// here; a mount point holds its medium while its device and folder are there, as the mount table
// tells without touching the drive (a network drive whose server is away cannot stall the
// question). False for what is no drive root.
bool DiskInDrive(Char letter);
bool DiskInDrive(const String& root);

// ---- Callbacks ----
// An object's method as a plain callback, as the platform's callbacks are function objects here.
template <class Obj, class R, class... A>
std::function<R(A...)> CreateStdcallThunk(Obj* obj, R (Obj::*method)(A...)) {
  return [obj, method](A... args) -> R { return (obj->*method)(args...); };
}
template <class F>
void FreeStdcallThunk(std::function<F>& thunk) {
  thunk = nullptr;
}

// ---- Loaded libraries ----
struct TLibRec {
  String LibraryName;
  Integer ReferenceCount{0};
  HMODULE Handle{nullptr};
};
// Nil until the first library is added; freed when it becomes empty.
extern std::vector<TLibRec>* LoadedLibraries;
HMODULE LoadLibraryRef(const String& name);
bool FreeLibraryRef(const String& name);

// ---- Optional entry points ----
// The typed ones the library's own routines call; every other one is found with BoundEntryPoint.
using TCharBuffFunc = DWORD(Char*, DWORD);
using TStrCmpFunc = int(const Char*, const Char*);
using TFindFirstFileWFunc = HANDLE(const Char*, WIN32_FIND_DATAW*);
using TFindNextFileWFunc = BOOL(HANDLE, WIN32_FIND_DATAW*);
using TGetDiskFreeSpaceExWFunc = BOOL(const Char*, uint64_t*, uint64_t*, uint64_t*);
using TGetDiskFreeSpaceExAFunc = BOOL(const char*, uint64_t*, uint64_t*, uint64_t*);
extern TCharBuffFunc* CharUpperBuffW_MP;
extern TCharBuffFunc* CharLowerBuffW_MP;
extern TStrCmpFunc* lstrcmpiW_MP;
extern TStrCmpFunc* lstrcmpW_MP;
extern TFindFirstFileWFunc* FindFirstFileW_MP;
extern TFindNextFileWFunc* FindNextFileW_MP;
extern TGetDiskFreeSpaceExWFunc* GetDiskFreeSpaceExW_MP;
extern TGetDiskFreeSpaceExAFunc* GetDiskFreeSpaceExA_MP;
// A bound entry point by name (nil when the platform lacks it or binding has not run).
FARPROC BoundEntryPoint(const char* name);
// Binds once; later calls do nothing.
void BindWideApiFunctions();

// ---- The unit ----
// The unit's PIDL manager (made by its initialisation).
extern TCommonPIDLManager* CommonUtilitiesPIDLMgr;
void InitializeCommonUtilities();
void FinalizeCommonUtilities();
// Tests: clears the bound entry points so that binding runs again.
void ResetWideApiBindingForTests();

}  // namespace common
