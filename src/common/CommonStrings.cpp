// Wide path and string routines, rectangles, conversions and interfaces.

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/CommonUtilities.h"
#include "platform/kernel/Drives.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

namespace common {

namespace {
// Both separators count: the program's paths may come from either platform's notation.
bool IsDelim(Char c) { return c == u'\\' || c == u'/'; }
}  // namespace

bool WideDirectoryExists(const String& path) {
  if (path.empty()) return false;
  return DirectoryExists(path);
}

String WideExtractFileDir(const String& path) {
  size_t i = path.find_last_of(u"\\/:");
  if (i == String::npos) return String();
  // The separator after a drive ("C:\") or the root ("/") stays.
  if (i > 0 && IsDelim(path[i]) && path[i - 1] != u':' && !IsDelim(path[i - 1])) return path.substr(0, i);
  if (i == 0 && IsDelim(path[0])) return path.substr(0, 1);
  return path.substr(0, i + 1);
}

String WideExtractFileDrive(const String& path, bool letterOnly) {
  String drive;
  if (path.size() >= 2 && path[1] == u':') {
    drive = path.substr(0, 2);
  } else if (path.size() >= 2 && IsDelim(path[0]) && IsDelim(path[1])) {
    // A share: "\\server\share".
    size_t server = path.find_first_of(u"\\/", 2);
    if (server != String::npos) {
      size_t share = path.find_first_of(u"\\/", server + 1);
      drive = path.substr(0, share == String::npos ? path.size() : share);
    }
  }
  if (letterOnly && !drive.empty()) drive = drive.substr(0, 1);
  return drive;
}

String WideExtractFileExt(const String& path, bool noDot) {
  size_t i = path.find_last_of(u".\\/:");
  if (i == String::npos || path[i] != u'.') return String();
  return path.substr(noDot ? i + 1 : i);
}

bool IsDriveRoot(const String& path) {
  auto letter = [](Char c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  if (path.size() == 2) return letter(path[0]) && path[1] == u':';
  if (path.size() == 3) return letter(path[0]) && path[1] == u':' && path[2] == u'\\';
  return false;
}

String WideStrUpper(const String& s) {
  if (IsWideApiPlatform() && CharUpperBuffW_MP) {
    String r = s;
    CharUpperBuffW_MP(r.data(), static_cast<DWORD>(r.size()));
    return r;
  }
  return AnsiUpperCase(CodePageToString(StringToCodePage(s, CP_ACP), CP_ACP));
}

String WideStrLower(const String& s) {
  if (IsWideApiPlatform() && CharLowerBuffW_MP) {
    String r = s;
    CharLowerBuffW_MP(r.data(), static_cast<DWORD>(r.size()));
    return r;
  }
  return AnsiLowerCase(CodePageToString(StringToCodePage(s, CP_ACP), CP_ACP));
}

int WideStrICompareP(const Char* p1, const Char* p2) {
  if (!p1) p1 = u"";
  if (!p2) p2 = u"";
  if (IsWideApiPlatform() && lstrcmpiW_MP) return lstrcmpiW_MP(p1, p2);
  String a = CodePageToString(StringToCodePage(p1, CP_ACP), CP_ACP);
  String b = CodePageToString(StringToCodePage(p2, CP_ACP), CP_ACP);
  int r = AnsiCompareText(a, b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

String StrRetToWide(STRRET& strRet, const ITEMIDLIST* pidl) {
  switch (strRet.uType) {
    case STRRET_WSTR: {
      String s = strRet.pOleStr ? String(strRet.pOleStr) : String();
      if (strRet.pOleStr) {
        if (CommonUtilitiesPIDLMgr)
          CommonUtilitiesPIDLMgr->FreeOLEStr(strRet.pOleStr);
        else
          CoTaskMemFree(strRet.pOleStr);
      }
      strRet.pOleStr = nullptr;
      return s;
    }
    case STRRET_OFFSET: {
      if (!pidl) return String();
      // The string lies inside the list: it is read no further than the list's own bytes.
      const auto* bytes = reinterpret_cast<const char*>(pidl);
      size_t size = 2;
      for (const char* p = bytes; ItemIdSize(p) != 0; p += ItemIdSize(p)) size += ItemIdSize(p);
      if (strRet.uOffset >= size) return String();
      size_t n = strnlen(bytes + strRet.uOffset, size - strRet.uOffset);
      return CodePageToString(std::string_view(bytes + strRet.uOffset, n), CP_ACP);
    }
    case STRRET_CSTR: {
      size_t n = strnlen(strRet.cStr, sizeof(strRet.cStr));
      return CodePageToString(std::string_view(strRet.cStr, n), CP_ACP);
    }
    default: return String();
  }
}

int WideMessageBox(HWND owner, const String& title, const String& text) {
  if (IsWideApiPlatform()) return MessageBox(owner, text, title, MB_ICONEXCLAMATION);
  String t = CodePageToString(StringToCodePage(title, CP_ACP), CP_ACP);
  String m = CodePageToString(StringToCodePage(text, CP_ACP), CP_ACP);
  return MessageBox(owner, m, t, MB_ICONEXCLAMATION);
}

// ---- Rectangles ----

Integer CommonRectWidth(const TRect& r) { return r.Right - r.Left; }
Integer CommonRectHeight(const TRect& r) { return r.Bottom - r.Top; }
bool SamePoint(const TPoint& a, const TPoint& b) { return a.X == b.X && a.Y == b.Y; }
bool IsRectOrdered(const TRect& r) { return r.Right >= r.Left && r.Bottom >= r.Top; }

TRect OrderedRect(const TRect& r) {
  TRect o = r;
  if (o.Right < o.Left) std::swap(o.Left, o.Right);
  if (o.Bottom < o.Top) std::swap(o.Top, o.Bottom);
  return o;
}

bool RectContainsRect(const TRect& outer, const TRect& inner) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

void CenterRectInRect(const TRect& outer, const TRect& inner, TRect& result) {
  Integer ow = CommonRectWidth(outer), oh = CommonRectHeight(outer);
  Integer iw = CommonRectWidth(inner), ih = CommonRectHeight(inner);
  if (iw <= ow) {
    result.Left = outer.Left + (ow - iw) / 2;
    result.Right = result.Left + iw;
  } else {
    result.Left = outer.Left;
    result.Right = outer.Right;
  }
  if (ih <= oh) {
    result.Top = outer.Top + (oh - ih) / 2;
    result.Bottom = result.Top + ih;
  } else {
    result.Top = outer.Top;
    result.Bottom = outer.Bottom;
  }
}

// ---- Conversions ----

TShiftState ShiftStateFromKeyData(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s += TShiftStateItem::ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s += TShiftStateItem::ssCtrl;
  if (keyData & 0x20000000) s += TShiftStateItem::ssAlt;
  return s;
}

DWORD CommonDropEffectToDropEffect(TCommonDropEffect effect) {
  switch (effect) {
    case TCommonDropEffect::cdeCopy: return DROPEFFECT_COPY;
    case TCommonDropEffect::cdeMove: return DROPEFFECT_MOVE;
    case TCommonDropEffect::cdeLink: return DROPEFFECT_LINK;
    default: return DROPEFFECT_NONE;
  }
}

TCommonDropEffects DropEffectToCommonDropEffects(DWORD effect) {
  TCommonDropEffects s;
  if (effect & DROPEFFECT_COPY) s += TCommonDropEffect::cdeCopy;
  if (effect & DROPEFFECT_MOVE) s += TCommonDropEffect::cdeMove;
  if (effect & DROPEFFECT_LINK) s += TCommonDropEffect::cdeLink;
  if (effect & DROPEFFECT_SCROLL) s += TCommonDropEffect::cdeScroll;
  if (!(effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK))) s += TCommonDropEffect::cdeNone;
  return s;
}

DWORD CommonDropEffectsToDropEffect(TCommonDropEffects effects) {
  DWORD d = 0;
  if (effects.Contains(TCommonDropEffect::cdeCopy)) d |= DROPEFFECT_COPY;
  if (effects.Contains(TCommonDropEffect::cdeMove)) d |= DROPEFFECT_MOVE;
  if (effects.Contains(TCommonDropEffect::cdeLink)) d |= DROPEFFECT_LINK;
  if (effects.Contains(TCommonDropEffect::cdeScroll)) d |= DROPEFFECT_SCROLL;
  return d;
}

TCommonKeyStates KeyStateToCommonKeyStates(DWORD k) {
  TCommonKeyStates s;
  if (k & MK_CONTROL) s += TCommonKeyState::cksControl;
  if (k & MK_LBUTTON) s += TCommonKeyState::cksLButton;
  if (k & MK_MBUTTON) s += TCommonKeyState::cksMButton;
  if (k & MK_RBUTTON) s += TCommonKeyState::cksRButton;
  if (k & MK_SHIFT) s += TCommonKeyState::cksShift;
  if (k & MK_ALT) s += TCommonKeyState::cksAlt;
  if (k & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) s += TCommonKeyState::cksButton;
  return s;
}

TCommonMouseButton KeyStateToCommonMouseButton(DWORD k) {
  if (k & MK_LBUTTON) return TCommonMouseButton::cmbLeft;
  if (k & MK_MBUTTON) return TCommonMouseButton::cmbMiddle;
  if (k & MK_RBUTTON) return TCommonMouseButton::cmbRight;
  return TCommonMouseButton::cmbNone;
}

TCommonDropEffect CommonKeyStatesToDropEffect(TCommonKeyStates keys) {
  bool ctrl = keys.Contains(TCommonKeyState::cksControl), shift = keys.Contains(TCommonKeyState::cksShift),
       alt = keys.Contains(TCommonKeyState::cksAlt);
  if (ctrl && !shift && !alt) return TCommonDropEffect::cdeCopy;
  if (alt && !shift && !ctrl) return TCommonDropEffect::cdeLink;
  if (shift && ctrl) return TCommonDropEffect::cdeLink;
  return TCommonDropEffect::cdeMove;
}

// ---- Interfaces ----

bool QueryIntf(IUnknown* intf, REFIID iid, void** obj) {
  if (!intf || !obj) return false;
  return intf->QueryInterface(iid, obj) == S_OK;
}

bool SupportsIntf(IUnknown* intf, REFIID iid) {
  void* obj = nullptr;
  if (!QueryIntf(intf, iid, &obj)) return false;
  if (obj) static_cast<IUnknown*>(obj)->Release();
  return true;
}

// ---- The drag-start detector ----

bool DetectDragStart(HWND wnd, TPoint clientPt) {
  bool hadCapture = GetCapture() == wnd;
  TPoint pt = clientPt;
  ClientToScreen(wnd, &pt);
  int cx = GetSystemMetrics(SM_CXDRAG), cy = GetSystemMetrics(SM_CYDRAG);
  TRect box{pt.X - cx, pt.Y - cy, pt.X + cx, pt.Y + cy};
  SetCapture(wnd);
  bool result = false;
  bool done = false;
  while (!done) {
    MSG msg;
    if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      // Nothing queued: wait for the next message instead of spinning.
      WaitMessage();
      continue;
    }
    switch (msg.message) {
      case WM_MOUSEMOVE: {
        TPoint p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ClientToScreen(msg.hwnd ? msg.hwnd : wnd, &p);
        if (p.X < box.Left || p.X >= box.Right || p.Y < box.Top || p.Y >= box.Bottom) {
          result = true;
          done = true;
        }
        break;
      }
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
      case WM_CANCELMODE:
        // The release belongs to the window: it gets it back to act on.
        PostMessage(wnd, msg.message, msg.wParam, msg.lParam);
        done = true;
        break;
      case WM_QUIT:
        PostQuitMessage(static_cast<int>(msg.wParam));
        done = true;
        break;
      default:
        TranslateMessage(&msg);
        DispatchMessage(&msg);
        break;
    }
  }
  ReleaseCapture();
  if (hadCapture) SetCapture(wnd);
  return result;
}

// ---- Folders and drives ----

std::atomic<bool> FolderSizeAbort{false};

namespace {
// One walk for both forms of the platform's calls: W is WIN32_FIND_DATAW with wide names, or
// WIN32_FIND_DATAA with names in the system code page.
template <class S, class W, class First, class Next>
void SumFolder(const S& folder, bool recurse, Int64& size, First first, Next next) {
  W fd;
  const S dot(1, '.'), dots(2, '.'), sep(1, '\\');
  S pattern = folder + sep + S(1, '*') + dot + S(1, '*');
  HANDLE h = first(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (FolderSizeAbort) break;
    S name = fd.cFileName;
    if (name == dot || name == dots) continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Links are not followed: a link to a folder above would make the walk endless.
      if (recurse && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        SumFolder<S, W>(folder + sep + name, recurse, size, first, next);
    } else {
      size += static_cast<Int64>((static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    }
  } while (!FolderSizeAbort && next(h, &fd));
  FindClose(h);
}
}  // namespace

void SumFolderSize(const String& folder, bool recurse, Int64& size) {
  if (IsWideApiPlatform()) {
    if (FindFirstFileW_MP && FindNextFileW_MP)
      SumFolder<String, WIN32_FIND_DATAW>(folder, recurse, size, FindFirstFileW_MP, FindNextFileW_MP);
    return;
  }
  SumFolder<std::string, WIN32_FIND_DATAA>(StringToCodePage(folder, CP_ACP), recurse, size, &FindFirstFileA,
                                          &FindNextFileA);
}

// Drive letters name nothing on this platform; a drive's root is a mount point.
bool IsMountRoot(const String& path) {
  if (path.empty() || path[0] != u'/') return false;
  std::vector<Char> volume(path.size() + 2);
  String trimmed = path.size() > 1 && path.back() == u'/' ? path.substr(0, path.size() - 1) : path;
  return GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size())) && trimmed == volume.data();
}

Int64 DriveOrFolderSize(const String& path, bool asDrive) {
  if (asDrive && (IsDriveRoot(path) || IsMountRoot(path))) {
    const bool wide = IsWideApiPlatform() && GetDiskFreeSpaceExW_MP;
    if (!IsWin95Original() && (wide || GetDiskFreeSpaceExA_MP)) {
      uint64_t freeToCaller = 0, total = 0, totalFree = 0;
      bool ok = wide ? GetDiskFreeSpaceExW_MP(path.c_str(), &freeToCaller, &total, &totalFree)
                     : GetDiskFreeSpaceExA_MP(StringToCodePage(path, CP_ACP).c_str(), &freeToCaller, &total, &totalFree);
      return ok ? static_cast<Int64>(total - freeToCaller) : 0;
    }
    DWORD sectors = 0, bytes = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(StringToCodePage(path, CP_ACP).c_str(), &sectors, &bytes, &freeClusters, &totalClusters))
      return 0;
    return static_cast<Int64>(totalClusters - freeClusters) * sectors * bytes;
  }
  FolderSizeAbort = false;
  Int64 size = 0;
  SumFolderSize(path, asDrive, size);
  return size;
}

bool DiskInDrive(Char letter) {
  Char up = CharUpper(letter);
  if (up < u'A' || up > u'Z') return false;
  // Drive letters name nothing on this platform, so no drive holds a medium.
  String root = String(1, up) + u":\\";
  uint64_t a = 0, b = 0, c = 0;
  return GetDiskFreeSpaceExW(root.c_str(), &a, &b, &c) != 0;
}

bool DiskInDrive(const String& root) {
  if (IsDriveRoot(root)) return DiskInDrive(root[0]);
  // A stick pulled out while mounted, or a mount whose folder went, has no root any more.
  return IsMountRoot(root) && GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR;
}

}  // namespace common
