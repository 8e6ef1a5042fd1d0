// Image lists. Pictures are kept premultiplied (B, G, R, A), with a mask byte per pixel that
// says transparent.

#include "platform/gdi/ImageList.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

#include "platform/gdi/Gdi_p.h"

namespace {

struct TPicture {
  std::vector<pf::Byte> Pixels;  // premultiplied B, G, R, A
  std::vector<pf::Byte> Mask;    // 1: transparent
  bool Alpha{false};
};

}  // namespace

struct pf::HIMAGELIST__ {
  int Cx{16}, Cy{16};
  UINT Flags{0};
  COLORREF Bk{CLR_NONE};
  std::vector<TPicture> Pictures;
  int Overlays[16]{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

namespace pf {

namespace {

std::mutex gMutex;
std::set<const HIMAGELIST__*> gLive;

bool Live(HIMAGELIST l) {
  std::lock_guard<std::mutex> lock(gMutex);
  return l && gLive.count(l) != 0;
}

Byte Mul(int c, int a) { return static_cast<Byte>((c * a + 127) / 255); }

// The pictures of a bitmap, cut into list-sized pieces left to right.
std::vector<TPicture> Cut(HIMAGELIST l, HBITMAP image, HBITMAP mask, const COLORREF* maskColor) {
  std::vector<TPicture> out;
  gdi::BitmapObj* img = gdi::AsBitmap(image);
  if (!img || !img->Pixels.Valid() || l->Cx <= 0 || l->Cy <= 0) return out;
  const gdi::PixelBuffer& pb = img->Pixels;
  gdi::BitmapObj* mk = gdi::AsBitmap(mask);
  const gdi::PixelBuffer* mb = mk && mk->Pixels.Valid() ? &mk->Pixels : nullptr;
  bool masked = (l->Flags & ILC_MASK) != 0;
  bool thirtyTwo = (l->Flags & 0xFE) == ILC_COLOR32 && pb.Bpp == 32;
  int count = std::max(1, pb.Width / l->Cx);
  for (int n = 0; n < count; ++n) {
    TPicture p;
    size_t pixels = static_cast<size_t>(l->Cx) * static_cast<size_t>(l->Cy);
    p.Pixels.assign(pixels * 4, 0);
    p.Mask.assign(pixels, 0);
    if (thirtyTwo) {
      for (int y = 0; y < std::min(l->Cy, pb.Height) && !p.Alpha; ++y)
        for (int x = n * l->Cx; x < std::min((n + 1) * l->Cx, pb.Width); ++x)
          if (pb.At(x, y)[3] != 0) {
            p.Alpha = true;
            break;
          }
    }
    for (int y = 0; y < l->Cy; ++y) {
      for (int x = 0; x < l->Cx; ++x) {
        size_t i = static_cast<size_t>(y) * static_cast<size_t>(l->Cx) + static_cast<size_t>(x);
        int sx = n * l->Cx + x;
        Byte* d = &p.Pixels[i * 4];
        if (sx >= pb.Width || y >= pb.Height) {
          p.Mask[i] = 1;
          continue;
        }
        COLORREF c = gdi::GetColor(pb, sx, y);
        if (p.Alpha) {
          int a = pb.At(sx, y)[3];
          d[0] = Mul(GetBValue(c), a);
          d[1] = Mul(GetGValue(c), a);
          d[2] = Mul(GetRValue(c), a);
          d[3] = static_cast<Byte>(a);
          p.Mask[i] = a == 0 ? 1 : 0;
          continue;
        }
        bool transparent = false;
        if (masked && maskColor) transparent = c == *maskColor;
        else if (masked && mb && sx < mb->Width && y < mb->Height) transparent = gdi::GetColor(*mb, sx, y) != 0;
        if (transparent) {
          p.Mask[i] = 1;
          continue;
        }
        d[0] = GetBValue(c);
        d[1] = GetGValue(c);
        d[2] = GetRValue(c);
        d[3] = 255;
      }
    }
    out.push_back(std::move(p));
  }
  return out;
}

struct TDrawParams {
  COLORREF Bk{CLR_NONE};       // behind transparent pixels; CLR_NONE leaves them
  int BlendPercent{0};          // 25 or 50
  COLORREF Blend{CLR_NONE};     // CLR_NONE: blend with what is underneath
  bool MaskOnly{false};
};

void Paint(const TPicture& pic, int cx, int cy, HDC dc, int x, int y, int w, int h, const TDrawParams& dp) {
  gdi::PixelBuffer pb = gdi::TargetOf(dc);
  if (!pb.Valid()) return;
  QRect target = gdi::ToTarget(dc, TRect{x, y, x + w, y + h});
  QRegion where = gdi::PaintableRegion(dc) & QRegion(target) & QRegion(pb.Bounds());
  bool writeAlpha = pb.Bpp == 32 && !pb.Opaque;
  for (const QRect& r : where) {
    for (int ty = r.top(); ty <= r.bottom(); ++ty) {
      for (int tx = r.left(); tx <= r.right(); ++tx) {
        int sx = tx - target.left(), sy = ty - target.top();
        if (sx >= cx || sy >= cy) continue;
        size_t i = static_cast<size_t>(sy) * static_cast<size_t>(cx) + static_cast<size_t>(sx);
        Byte* dst = pb.At(tx, ty);
        if (dp.MaskOnly) {
          gdi::PutColor(pb, tx, ty, pic.Mask[i] ? RGB(255, 255, 255) : RGB(0, 0, 0));
          continue;
        }
        int s[4] = {pic.Pixels[i * 4], pic.Pixels[i * 4 + 1], pic.Pixels[i * 4 + 2], pic.Pixels[i * 4 + 3]};
        if (pic.Mask[i]) {
          if (dp.Bk == CLR_NONE) continue;
          s[0] = GetBValue(dp.Bk);
          s[1] = GetGValue(dp.Bk);
          s[2] = GetRValue(dp.Bk);
          s[3] = 255;
        } else if (dp.Bk != CLR_NONE && s[3] < 255) {
          // A drawn background sits under the picture's translucent pixels.
          int inv = 255 - s[3];
          s[0] += Mul(GetBValue(dp.Bk), inv);
          s[1] += Mul(GetGValue(dp.Bk), inv);
          s[2] += Mul(GetRValue(dp.Bk), inv);
          s[3] = 255;
        }
        if (dp.BlendPercent && !pic.Mask[i]) {
          int keep = 100 - dp.BlendPercent;
          if (dp.Blend == CLR_NONE) {
            for (int& v : s) v = v * keep / 100;
          } else {
            int fg[3] = {GetBValue(dp.Blend), GetGValue(dp.Blend), GetRValue(dp.Blend)};
            for (int k = 0; k < 3; ++k) s[k] = (s[k] * keep + Mul(fg[k], s[3]) * dp.BlendPercent) / 100;
          }
        }
        int inv = 255 - s[3];
        Byte b = static_cast<Byte>(std::min(255, s[0] + Mul(dst[0], inv)));
        Byte g = static_cast<Byte>(std::min(255, s[1] + Mul(dst[1], inv)));
        Byte rr = static_cast<Byte>(std::min(255, s[2] + Mul(dst[2], inv)));
        if (writeAlpha) {
          Byte a = static_cast<Byte>(std::min(255, s[3] + Mul(dst[3], inv)));
          dst[0] = b;
          dst[1] = g;
          dst[2] = rr;
          dst[3] = a;
        } else {
          gdi::PutColor(pb, tx, ty, RGB(rr, g, b));
        }
      }
    }
  }
  if (!where.isEmpty()) gdi::MarkDirty(dc, where.boundingRect());
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
  if (cx <= 0 || cy <= 0) return nullptr;
  auto* l = new HIMAGELIST__;
  l->Cx = cx;
  l->Cy = cy;
  l->Flags = flags;
  std::lock_guard<std::mutex> lock(gMutex);
  gLive.insert(l);
  return l;
}

BOOL ImageList_Destroy(HIMAGELIST l) {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!l || gLive.erase(l) == 0) return 0;
  }
  delete l;
  return 1;
}

int ImageList_GetImageCount(HIMAGELIST l) { return Live(l) ? static_cast<int>(l->Pictures.size()) : 0; }

BOOL ImageList_GetIconSize(HIMAGELIST l, int* cx, int* cy) {
  if (!Live(l) || !cx || !cy) return 0;
  *cx = l->Cx;
  *cy = l->Cy;
  return 1;
}

BOOL ImageList_SetIconSize(HIMAGELIST l, int cx, int cy) {
  if (!Live(l) || cx <= 0 || cy <= 0) return 0;
  l->Cx = cx;
  l->Cy = cy;
  l->Pictures.clear();
  std::fill(std::begin(l->Overlays), std::end(l->Overlays), -1);
  return 1;
}

int ImageList_Add(HIMAGELIST l, HBITMAP image, HBITMAP mask) {
  if (!Live(l)) return -1;
  std::vector<TPicture> pics = Cut(l, image, mask, nullptr);
  if (pics.empty()) return -1;
  int first = static_cast<int>(l->Pictures.size());
  for (TPicture& p : pics) l->Pictures.push_back(std::move(p));
  return first;
}

int ImageList_AddMasked(HIMAGELIST l, HBITMAP image, COLORREF maskColor) {
  if (!Live(l)) return -1;
  std::vector<TPicture> pics = Cut(l, image, nullptr, &maskColor);
  if (pics.empty()) return -1;
  int first = static_cast<int>(l->Pictures.size());
  for (TPicture& p : pics) l->Pictures.push_back(std::move(p));
  return first;
}

BOOL ImageList_Replace(HIMAGELIST l, int index, HBITMAP image, HBITMAP mask) {
  if (!Live(l) || index < 0 || index >= static_cast<int>(l->Pictures.size())) return 0;
  std::vector<TPicture> pics = Cut(l, image, mask, nullptr);
  if (pics.empty()) return 0;
  l->Pictures[static_cast<size_t>(index)] = std::move(pics.front());
  return 1;
}

BOOL ImageList_Remove(HIMAGELIST l, int index) {
  if (!Live(l)) return 0;
  if (index == -1) {
    l->Pictures.clear();
    std::fill(std::begin(l->Overlays), std::end(l->Overlays), -1);
    return 1;
  }
  if (index < 0 || index >= static_cast<int>(l->Pictures.size())) return 0;
  l->Pictures.erase(l->Pictures.begin() + index);
  // Overlays keep pointing at the same pictures; one that went is no overlay any more.
  for (int& o : l->Overlays) {
    if (o == index) o = -1;
    else if (o > index) --o;
  }
  return 1;
}

COLORREF ImageList_SetBkColor(HIMAGELIST l, COLORREF color) {
  if (!Live(l)) return CLR_NONE;
  COLORREF old = l->Bk;
  l->Bk = color;
  return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST l) { return Live(l) ? l->Bk : CLR_NONE; }

BOOL ImageList_SetOverlayImage(HIMAGELIST l, int image, int overlay) {
  if (!Live(l) || overlay < 1 || overlay > 15 || image < 0 || image >= static_cast<int>(l->Pictures.size())) return 0;
  l->Overlays[overlay] = image;
  return 1;
}

BOOL ImageList_Draw(HIMAGELIST l, int index, HDC dc, int x, int y, UINT style) {
  return ImageList_DrawEx(l, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

BOOL ImageList_DrawEx(HIMAGELIST l, int index, HDC dc, int x, int y, int dx, int dy, COLORREF bk, COLORREF fg,
                      UINT style) {
  if (!Live(l) || index < 0 || index >= static_cast<int>(l->Pictures.size())) return 0;
  int w = dx > 0 ? std::min(dx, l->Cx) : l->Cx;
  int h = dy > 0 ? std::min(dy, l->Cy) : l->Cy;
  TDrawParams dp;
  dp.MaskOnly = (style & ILD_MASK) != 0;
  COLORREF back = bk == CLR_DEFAULT ? l->Bk : bk;
  dp.Bk = (style & ILD_TRANSPARENT) ? CLR_NONE : back;
  if (style & (ILD_BLEND25 | ILD_BLEND50)) {
    dp.BlendPercent = (style & ILD_BLEND50) ? 50 : 25;
    dp.Blend = fg == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : fg;
  }
  Paint(l->Pictures[static_cast<size_t>(index)], l->Cx, l->Cy, dc, x, y, w, h, dp);
  int overlay = static_cast<int>((style & ILD_OVERLAYMASK) >> 8);
  if (overlay >= 1 && l->Overlays[overlay] >= 0 && !dp.MaskOnly) {
    TDrawParams op;
    Paint(l->Pictures[static_cast<size_t>(l->Overlays[overlay])], l->Cx, l->Cy, dc, x, y, w, h, op);
  }
  return 1;
}

}  // namespace pf
