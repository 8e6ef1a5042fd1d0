#pragma once
// Image lists: equal-sized pictures kept together and drawn onto a DC by index. A 32-bit picture
// with alpha is blended with its own alpha (straight alpha going in, as picture files hold it);
// other pictures are opaque except where their mask says transparent. Drawing follows the DC's
// origin and clip, and writes alpha into a 32-bit bitmap as alpha blending does.

#include "platform/gdi/Gdi.h"

namespace pf {

struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;

constexpr UINT ILC_MASK = 0x0001;
constexpr UINT ILC_COLOR = 0x0000;
constexpr UINT ILC_COLORDDB = 0x00FE;
constexpr UINT ILC_COLOR4 = 0x0004;
constexpr UINT ILC_COLOR8 = 0x0008;
constexpr UINT ILC_COLOR16 = 0x0010;
constexpr UINT ILC_COLOR24 = 0x0018;
constexpr UINT ILC_COLOR32 = 0x0020;

constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;
constexpr UINT ILD_BLEND25 = 0x0002;
constexpr UINT ILD_BLEND50 = 0x0004;
constexpr UINT ILD_MASK = 0x0010;
constexpr UINT ILD_IMAGE = 0x0020;
constexpr UINT ILD_OVERLAYMASK = 0x0F00;
constexpr UINT ILD_SELECTED = ILD_BLEND50;
constexpr UINT ILD_FOCUS = ILD_BLEND25;
constexpr UINT ILD_BLEND = ILD_BLEND50;
constexpr UINT INDEXTOOVERLAYMASK(UINT i) { return i << 8; }

// No colour (transparent background, or blending with what is underneath) and the list's own.
constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
constexpr COLORREF CLR_DEFAULT = 0xFF000000;

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
// Sets the size of every picture; the list becomes empty.
BOOL ImageList_SetIconSize(HIMAGELIST list, int cx, int cy);

// Adds the pictures of a bitmap laid side by side (its width divided by the list's); answers the
// index of the first, or -1. `mask` (optional, ignored for pictures with alpha) marks transparent
// pixels white.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// Pixels of `maskColor` become transparent (and black in the picture).
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor);
BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask);
// -1 removes every picture.
BOOL ImageList_Remove(HIMAGELIST list, int index);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
// Makes picture `image` overlay number `overlay` (1 to 15), drawn over another picture when the
// drawing style carries INDEXTOOVERLAYMASK(overlay).
BOOL ImageList_SetOverlayImage(HIMAGELIST list, int image, int overlay);

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
// `dx`, `dy` of 0 draw the whole picture. `bk`: the colour behind transparent pixels (CLR_NONE
// none, CLR_DEFAULT the list's); `fg`: the colour ILD_BLEND25/50 blend with (CLR_NONE what lies
// underneath, CLR_DEFAULT the highlight colour).
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy, COLORREF bk, COLORREF fg,
                      UINT style);

}  // namespace pf
