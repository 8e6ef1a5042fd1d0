#pragma once
// The drawing half of the platform: device contexts, GDI objects and the calls the program makes
// on them. Pixels follow GDI's rules, not the toolkit's: rectangles exclude their right and bottom
// edges, LineTo leaves out its end pixel, text is placed from the top of its cell, clip regions
// are kept in device coordinates, and primitives leave a 32-bit bitmap's alpha byte at zero while
// blits copy it.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/rtl/Types.h"

namespace pf {

using COLORREF = uint32_t;  // 0x00BBGGRR
using LONG = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- Handles ----
// A device context. Opaque; made by CreateSurfaceDC, CreateCompatibleDC or the window layer.
struct HDC__;
using HDC = HDC__*;

// Every GDI object carries its kind (OBJ_ values), so GetObjectType and SelectObject can tell them
// apart; the objects themselves live inside the drawing library.
struct HGDIOBJ__ {
  const DWORD ObjType;

protected:
  explicit HGDIOBJ__(DWORD type) : ObjType(type) {}
  ~HGDIOBJ__() = default;
};
struct HBITMAP__ : HGDIOBJ__ { using HGDIOBJ__::HGDIOBJ__; };
struct HBRUSH__ : HGDIOBJ__ { using HGDIOBJ__::HGDIOBJ__; };
struct HPEN__ : HGDIOBJ__ { using HGDIOBJ__::HGDIOBJ__; };
struct HFONT__ : HGDIOBJ__ { using HGDIOBJ__::HGDIOBJ__; };
struct HRGN__ : HGDIOBJ__ { using HGDIOBJ__::HGDIOBJ__; };
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HBITMAP__*;
using HBRUSH = HBRUSH__*;
using HPEN = HPEN__*;
using HFONT = HFONT__*;
using HRGN = HRGN__*;

constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;

// ---- Records ----
struct BITMAP {
  LONG bmType{0};
  LONG bmWidth{0};
  LONG bmHeight{0};
  LONG bmWidthBytes{0};
  WORD bmPlanes{0};
  WORD bmBitsPixel{0};
  void* bmBits{nullptr};
};

struct BITMAPINFOHEADER {
  DWORD biSize{40};
  LONG biWidth{0};
  LONG biHeight{0};  // positive: rows stored bottom-up; negative: top-down
  WORD biPlanes{1};
  WORD biBitCount{0};
  DWORD biCompression{0};
  DWORD biSizeImage{0};
  LONG biXPelsPerMeter{0};
  LONG biYPelsPerMeter{0};
  DWORD biClrUsed{0};
  DWORD biClrImportant{0};
};

struct RGBQUAD {
  BYTE rgbBlue{0};
  BYTE rgbGreen{0};
  BYTE rgbRed{0};
  BYTE rgbReserved{0};
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3]{0, 0, 0};
  void* dshSection{nullptr};
  DWORD dsOffset{0};
};

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

struct LOGFONTW {
  LONG lfHeight{0};  // < 0: character (em) height in pixels; > 0: cell height
  LONG lfWidth{0};
  LONG lfEscapement{0};
  LONG lfOrientation{0};
  LONG lfWeight{400};
  BYTE lfItalic{0};
  BYTE lfUnderline{0};
  BYTE lfStrikeOut{0};
  BYTE lfCharSet{1};
  BYTE lfOutPrecision{0};
  BYTE lfClipPrecision{0};
  BYTE lfQuality{0};
  BYTE lfPitchAndFamily{0};
  Char lfFaceName[32]{};
};

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;

struct TEXTMETRICW {
  LONG tmHeight{0};
  LONG tmAscent{0};
  LONG tmDescent{0};
  LONG tmInternalLeading{0};
  LONG tmExternalLeading{0};
  LONG tmAveCharWidth{0};
  LONG tmMaxCharWidth{0};
  LONG tmWeight{0};
  LONG tmOverhang{0};
  LONG tmDigitizedAspectX{96};
  LONG tmDigitizedAspectY{96};
  Char tmFirstChar{0x20};
  Char tmLastChar{0xFFFC};
  Char tmDefaultChar{0x1F};
  Char tmBreakChar{0x20};
  BYTE tmItalic{0};
  BYTE tmUnderlined{0};
  BYTE tmStruckOut{0};
  BYTE tmPitchAndFamily{0};
  BYTE tmCharSet{1};
};

struct LOGBRUSH {
  UINT lbStyle{0};
  COLORREF lbColor{0};
  uintptr_t lbHatch{0};
};
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = 1;

struct LOGPEN {
  UINT lopnStyle{0};
  TPoint lopnWidth;
  COLORREF lopnColor{0};
};
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

struct BLENDFUNCTION {
  BYTE BlendOp{0};
  BYTE BlendFlags{0};
  BYTE SourceConstantAlpha{255};
  BYTE AlphaFormat{0};
};
constexpr BYTE AC_SRC_OVER = 0;
constexpr BYTE AC_SRC_ALPHA = 1;

// ---- Constants ----
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr int R2_BLACK = 1;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// Region answers and combinations.
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

constexpr UINT ETO_OPAQUE = 0x2;
constexpr UINT ETO_CLIPPED = 0x4;
constexpr UINT ETO_RTLREADING = 0x80;

constexpr UINT TA_LEFT = 0;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;

// DrawText
constexpr UINT DT_TOP = 0x0;
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_EXPANDTABS = 0x40;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;
constexpr UINT DT_EDITCONTROL = 0x2000;
constexpr UINT DT_PATH_ELLIPSIS = 0x4000;
constexpr UINT DT_END_ELLIPSIS = 0x8000;
constexpr UINT DT_MODIFYSTRING = 0x10000;
constexpr UINT DT_RTLREADING = 0x20000;
constexpr UINT DT_WORD_ELLIPSIS = 0x40000;
constexpr UINT DT_HIDEPREFIX = 0x100000;

// DrawEdge
constexpr UINT BDR_RAISEDOUTER = 0x1;
constexpr UINT BDR_SUNKENOUTER = 0x2;
constexpr UINT BDR_RAISEDINNER = 0x4;
constexpr UINT BDR_SUNKENINNER = 0x8;
constexpr UINT BDR_OUTER = 0x3;
constexpr UINT BDR_INNER = 0xC;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x1;
constexpr UINT BF_TOP = 0x2;
constexpr UINT BF_RIGHT = 0x4;
constexpr UINT BF_BOTTOM = 0x8;
constexpr UINT BF_RECT = 0xF;
constexpr UINT BF_MIDDLE = 0x800;
constexpr UINT BF_SOFT = 0x1000;
constexpr UINT BF_ADJUST = 0x2000;
constexpr UINT BF_FLAT = 0x4000;
constexpr UINT BF_MONO = 0x8000;

// DrawFrameControl
constexpr UINT DFC_SCROLL = 3;
constexpr UINT DFC_BUTTON = 4;
constexpr UINT DFCS_SCROLLUP = 0x0;
constexpr UINT DFCS_SCROLLDOWN = 0x1;
constexpr UINT DFCS_SCROLLLEFT = 0x2;
constexpr UINT DFCS_SCROLLRIGHT = 0x3;
constexpr UINT DFCS_SCROLLCOMBOBOX = 0x5;
constexpr UINT DFCS_BUTTONCHECK = 0x0;
constexpr UINT DFCS_BUTTONRADIO = 0x4;
constexpr UINT DFCS_BUTTONPUSH = 0x10;
constexpr UINT DFCS_INACTIVE = 0x100;
constexpr UINT DFCS_PUSHED = 0x200;
constexpr UINT DFCS_CHECKED = 0x400;
constexpr UINT DFCS_HOT = 0x1000;
constexpr UINT DFCS_FLAT = 0x4000;

// ---- Device contexts ----
// A memory DC; it starts with a 1x1 bitmap of its own, as GDI's does. `dc` is ignored.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// The state saved and restored: objects, colours, modes, origins, clip and pen position.
// RestoreDC with a negative level counts back from the latest save.
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int savedDC);
DWORD GetObjectType(HGDIOBJ obj);

// ---- Objects ----
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC dc, UINT objType);
// Deleting a stock object does nothing. An object still selected into a DC (or held by a saved
// state) is freed when the last of them lets it go; the handle stays valid until then. Both
// answer TRUE; a handle that is not a live object answers FALSE.
BOOL DeleteObject(HGDIOBJ obj);
// Fills `out` with a BITMAP, DIBSECTION, LOGFONTW, LOGBRUSH or LOGPEN. Answers the bytes written.
int GetObjectW(HGDIOBJ obj, int size, void* out);

HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
HBRUSH GetSysColorBrush(int index);  // a stock object
HPEN CreatePen(int style, int width, COLORREF color);
HFONT CreateFontIndirectW(const LOGFONTW* lf);

// ---- Colours and modes ----
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
BOOL SetBrushOrgEx(HDC dc, int x, int y, TPoint* old);

// ---- Device capabilities ----
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
// 96 dots per inch on every device; the size and depth of what the DC paints on.
int GetDeviceCaps(HDC dc, int index);

// ---- Coordinates ----
// Logical to device: device = logical - window origin + viewport origin.
BOOL SetWindowOrgEx(HDC dc, int x, int y, TPoint* old);
BOOL GetWindowOrgEx(HDC dc, TPoint* org);
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, TPoint* old);
BOOL SetViewportOrgEx(HDC dc, int x, int y, TPoint* old);
BOOL GetViewportOrgEx(HDC dc, TPoint* org);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, TPoint* old);
BOOL LPtoDP(HDC dc, TPoint* points, int count);
BOOL DPtoLP(HDC dc, TPoint* points, int count);

// ---- Regions ----
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const TRect* r);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int w, int h);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, TRect* box);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const TRect* r);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h);

// ---- Clipping ----
// SelectClipRgn takes a region in device coordinates (nil removes the clip); it copies the region.
int SelectClipRgn(HDC dc, HRGN rgn);
int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode);
// The next three take logical coordinates.
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC dc, int dx, int dy);
// 1 and a copy of the clip region in device coordinates when there is one, 0 when there is none.
int GetClipRgn(HDC dc, HRGN rgn);
// The bounds of what can be painted, in logical coordinates.
int GetClipBox(HDC dc, TRect* r);
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const TRect* r);

// ---- Drawing ----
int FillRect(HDC dc, const TRect* r, HBRUSH brush);
int FrameRect(HDC dc, const TRect* r, HBRUSH brush);
BOOL InvertRect(HDC dc, const TRect* r);
// Inverts a dotted one-pixel frame; drawing it twice restores the pixels.
BOOL DrawFocusRect(HDC dc, const TRect* r);
BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop);
BOOL MoveToEx(HDC dc, int x, int y, TPoint* old);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const TPoint* points, int count);
BOOL AngleArc(HDC dc, int x, int y, DWORD r, float startAngle, float sweepAngle);
BOOL Polygon(HDC dc, const TPoint* points, int count);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int w, int h);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);
BOOL DrawEdge(HDC dc, TRect* r, UINT edge, UINT flags);
BOOL DrawFrameControl(HDC dc, TRect* r, UINT type, UINT state);

// ---- Bitmaps ----
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);  // 32 bits, top-down
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
// 24 or 32 bits per pixel, BI_RGB. The bits stay where `*bits` points for the bitmap's life.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* bmi, UINT usage, void** bits, void* section,
                         DWORD offset);
int GetDIBits(HDC dc, HBITMAP bmp, UINT start, UINT lines, void* bits, BITMAPINFO* bmi, UINT usage);
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);
int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                  const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage);
BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend);
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_COPYRETURNORG = 0x4;
constexpr UINT LR_COPYDELETEORG = 0x8;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;
// Bitmaps only. A size of 0 keeps the original's. With LR_COPYRETURNORG a device bitmap of the
// right size comes back as it is; a DIB section is always copied (as a DIB section with
// LR_CREATEDIBSECTION, else as a device bitmap).
HGDIOBJ CopyImage(HGDIOBJ image, UINT type, int cx, int cy, UINT flags);
BOOL GdiFlush();

// ---- Text ----
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm);
BOOL GetTextExtentPoint32W(HDC dc, const Char* text, int count, TSize* size);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, TSize* size);  // system code page
// The extent of each start of the text (dx[i]: its first i + 1 characters) and of the whole. With
// `fit`, it also answers how many characters fit within maxExtent, and dx holds only theirs.
BOOL GetTextExtentExPointW(HDC dc, const Char* text, int count, int maxExtent, int* fit, int* dx, TSize* size);
BOOL TextOutW(HDC dc, int x, int y, const Char* text, int count);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const TRect* r, const Char* text, UINT count,
                 const int* dx);
int DrawTextW(HDC dc, const Char* text, int count, TRect* r, UINT format);

// ---- System colours and metrics ----
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
// A fixed table (the desktop's defaults at 96 dpi), so that tests are deterministic.
COLORREF GetSysColor(int index);

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CYVTHUMB = 9;
constexpr int SM_CXHTHUMB = 10;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CYMENU = 15;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;
constexpr int SM_SWAPBUTTON = 23;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CXDRAG = 68;
constexpr int SM_CYDRAG = 69;
constexpr int SM_CXFOCUSBORDER = 83;
constexpr int SM_CYFOCUSBORDER = 84;
// A fixed table at 96 dpi with the desktop's default values (17-pixel scroll bars, a 4-pixel drag
// box); 0 for an index it does not know.
int GetSystemMetrics(int index);

}  // namespace pf
