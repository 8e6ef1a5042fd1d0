// Device contexts, the object registry, coordinates, regions and clipping.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/gdi/Gdi_p.h"
#include "platform/gdi/ScreenDpi.h"
#include "platform/kernel/Modules.h"

namespace pf {

using namespace gdi;

namespace {

// The drawing entry points the program may bind at start-up by name.
const bool gExportsRegistered = [] {
  RegisterExport("user32.dll", "DrawTextW", &DrawTextW);
  RegisterExport("user32.dll", "GetSysColor", &GetSysColor);
  RegisterExport("gdi32.dll", "CreateFontIndirectW", &CreateFontIndirectW);
  RegisterExport("gdi32.dll", "GetTextExtentPoint32W", &GetTextExtentPoint32W);
  RegisterExport("msimg32.dll", "AlphaBlend", &AlphaBlend);
  return true;
}();

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_set<const void*>& LiveObjects() {
  static std::unordered_set<const void*> s;
  return s;
}
std::unordered_set<const void*>& LiveDCs() {
  static std::unordered_set<const void*> s;
  return s;
}

// Every GDI call checks its DC and objects against the registries, a paint some thousands of
// times, nearly always the same few. A thread remembers what it found alive until anything leaves
// a registry: each removal moves this count on (under the registry's lock, after the removal), so
// a check that finds the count where it was when the object was found alive may answer at once.
std::atomic<uint64_t> gRemovals{0};
struct TRecentlyLive {
  static constexpr size_t Size = 8;
  uint64_t Removals{~uint64_t{0}};
  const void* Entries[Size]{};
  size_t Next{0};

  bool Holds(const void* p, uint64_t removals) const {
    return Removals == removals && std::find(std::begin(Entries), std::end(Entries), p) != std::end(Entries);
  }
  void Note(const void* p, uint64_t removals) {
    if (Removals != removals) {
      std::fill(std::begin(Entries), std::end(Entries), nullptr);
      Removals = removals;
    }
    Entries[Next] = p;
    Next = (Next + 1) % Size;
  }
};
thread_local TRecentlyLive tRecentObjects, tRecentDCs;

bool IsRegistered(const std::unordered_set<const void*>& set, TRecentlyLive& recent, const void* p) {
  if (!p) return false;
  const uint64_t removals = gRemovals.load(std::memory_order_acquire);
  if (recent.Holds(p, removals)) return true;
  bool live;
  {
    std::lock_guard lock(RegistryMutex());
    live = set.count(p) > 0;
  }
  if (live) recent.Note(p, removals);
  return live;
}

// The pixels of freed large bitmaps, kept for the next bitmap of about their size: a window that
// double-buffers without keeping its buffer makes and frees a bitmap of its client size on every
// paint, and fresh memory of that size costs a page fault for every 4 KB of it each time.
class TStoragePool {
public:
  std::vector<Byte> Take(size_t bytes) {
    std::lock_guard lock(FMutex);
    for (auto it = FFree.begin(); it != FFree.end(); ++it) {
      if (it->capacity() < bytes || it->capacity() / 2 > bytes) continue;
      std::vector<Byte> v = std::move(*it);
      FHeld -= v.capacity();
      FFree.erase(it);
      return v;
    }
    return {};
  }
  void Give(std::vector<Byte>&& v) {
    if (v.capacity() < MinBytes || v.capacity() > MaxHeld) return;
    std::lock_guard lock(FMutex);
    FHeld += v.capacity();
    FFree.push_back(std::move(v));
    while (FHeld > MaxHeld || FFree.size() > Slots) {
      FHeld -= FFree.front().capacity();
      FFree.erase(FFree.begin());
    }
  }

private:
  static constexpr size_t MinBytes = 256u << 10, MaxHeld = 48u << 20, Slots = 4;
  std::mutex FMutex;
  std::vector<std::vector<Byte>> FFree;
  size_t FHeld{0};
};
TStoragePool& StoragePool() {
  static TStoragePool p;
  return p;
}

void FreeObject(HGDIOBJ obj) {
  UnregisterObject(obj);
  switch (obj->ObjType) {
    case OBJ_BITMAP: {
      auto* b = static_cast<BitmapObj*>(obj);
      StoragePool().Give(std::move(b->Storage));
      delete b;
      break;
    }
    case OBJ_BRUSH: delete static_cast<BrushObj*>(obj); break;
    case OBJ_PEN: delete static_cast<PenObj*>(obj); break;
    case OBJ_FONT: delete static_cast<FontObj*>(obj); break;
    case OBJ_REGION: delete static_cast<RegionObj*>(obj); break;
    default: break;
  }
}

template <class T>
void Deselect(T* obj) {
  if (!obj) return;
  if (obj->SelectedIn > 0) --obj->SelectedIn;
  if (obj->SelectedIn == 0 && obj->DeletePending) FreeObject(obj);
}

template <class T>
void Select(T* obj) {
  if (obj) ++obj->SelectedIn;
}

// A saved state holds its own selections, so that objects stay alive until RestoreDC or DeleteDC.
void HoldState(const HDC__::State& s) {
  Select(AsPen(s.Pen));
  Select(AsBrush(s.Brush));
  Select(AsFont(s.Font));
  Select(AsBitmap(s.Bitmap));
}
void ReleaseState(const HDC__::State& s) {
  Deselect(AsPen(s.Pen));
  Deselect(AsBrush(s.Brush));
  Deselect(AsFont(s.Font));
  Deselect(AsBitmap(s.Bitmap));
}

void InitState(HDC dc) {
  dc->S.Pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
  dc->S.Brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  dc->S.Font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

HDC NewDC() {
  HDC dc = new HDC__();
  InitState(dc);
  std::lock_guard lock(RegistryMutex());
  LiveDCs().insert(dc);
  return dc;
}

QRect ToQRect(const TRect& r) {
  int l = std::min(r.Left, r.Right), rr = std::max(r.Left, r.Right);
  int t = std::min(r.Top, r.Bottom), b = std::max(r.Top, r.Bottom);
  return QRect(l, t, rr - l, b - t);
}

int RegionKind(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// The clip a DC starts from: its system region in device coordinates.
QRegion DeviceLimit(HDC dc) {
  if (dc->HasSystemRegion) return dc->SystemRegion.translated(-dc->DeviceOrigin);
  PixelBuffer pb = TargetOf(dc);
  return QRegion(QRect(0, 0, pb.Width, pb.Height)).translated(-dc->DeviceOrigin);
}

}  // namespace

namespace gdi {

void AllocPixels(BitmapObj* b, int width, int height, int bpp, bool bottomUp) {
  b->Pixels.Width = width;
  b->Pixels.Height = height;
  b->Pixels.Bpp = bpp;
  b->Pixels.Stride = StrideFor(width, bpp);
  b->Pixels.BottomUp = bottomUp;
  const size_t bytes = static_cast<size_t>(b->Pixels.Stride) * static_cast<size_t>(height);
  if (b->Storage.capacity() < bytes) b->Storage = StoragePool().Take(bytes);
  b->Storage.assign(bytes, 0);
  b->Pixels.Bits = b->Storage.data();
}

bool IsLiveObject(const void* obj) { return IsRegistered(LiveObjects(), tRecentObjects, obj); }
bool IsLiveDC(HDC dc) { return IsRegistered(LiveDCs(), tRecentDCs, dc); }
void RegisterObject(HGDIOBJ obj) {
  std::lock_guard lock(RegistryMutex());
  LiveObjects().insert(obj);
}
void UnregisterObject(HGDIOBJ obj) {
  std::lock_guard lock(RegistryMutex());
  LiveObjects().erase(obj);
  gRemovals.fetch_add(1, std::memory_order_release);
}

BitmapObj* AsBitmap(HGDIOBJ o) { return o && o->ObjType == OBJ_BITMAP && IsLiveObject(o) ? static_cast<BitmapObj*>(o) : nullptr; }
BrushObj* AsBrush(HGDIOBJ o) { return o && o->ObjType == OBJ_BRUSH && IsLiveObject(o) ? static_cast<BrushObj*>(o) : nullptr; }
PenObj* AsPen(HGDIOBJ o) { return o && o->ObjType == OBJ_PEN && IsLiveObject(o) ? static_cast<PenObj*>(o) : nullptr; }
FontObj* AsFont(HGDIOBJ o) { return o && o->ObjType == OBJ_FONT && IsLiveObject(o) ? static_cast<FontObj*>(o) : nullptr; }
RegionObj* AsRegion(HGDIOBJ o) { return o && o->ObjType == OBJ_REGION && IsLiveObject(o) ? static_cast<RegionObj*>(o) : nullptr; }

// What a live DC holds selected is alive: a selected object is only marked for deletion, and is
// freed when its last DC lets it go. Every drawing call asks for its DC's target and font, so these
// are read without looking them up among the live objects again.
PixelBuffer TargetOf(HDC dc) {
  if (dc->Surface) return dc->Surface->Pixels;
  if (dc->S.Bitmap && dc->S.Bitmap->ObjType == OBJ_BITMAP) return static_cast<BitmapObj*>(dc->S.Bitmap)->Pixels;
  return PixelBuffer{};
}

QPoint ToTarget(HDC dc, int x, int y) {
  return QPoint(x - dc->S.WindowOrg.X + dc->S.ViewportOrg.X + dc->DeviceOrigin.x(),
                y - dc->S.WindowOrg.Y + dc->S.ViewportOrg.Y + dc->DeviceOrigin.y());
}

QRect ToTarget(HDC dc, const TRect& r) {
  QPoint a = ToTarget(dc, r.Left, r.Top), b = ToTarget(dc, r.Right, r.Bottom);
  return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
               QSize(std::abs(b.x() - a.x()), std::abs(b.y() - a.y())));
}

QRegion PaintableRegion(HDC dc) {
  PixelBuffer pb = TargetOf(dc);
  if (!pb.Valid()) return QRegion();
  QRegion r(pb.Bounds());
  if (dc->HasSystemRegion) r &= dc->SystemRegion;
  if (dc->S.Clip) r &= dc->S.Clip->translated(dc->DeviceOrigin);
  return r;
}

void MarkDirty(HDC dc, const QRect& r) {
  if (dc->Surface) dc->Surface->Dirty |= r.intersected(dc->Surface->Pixels.Bounds());
}

const QRegion& RegionOf(HRGN rgn) {
  static const QRegion empty;
  RegionObj* r = AsRegion(rgn);
  return r ? r->Rgn : empty;
}

QImage SurfaceImage(TSurface& surface) {
  auto& px = surface.GetImpl().Pixels;
  if (!px.Valid()) return QImage();
  return QImage(px.Bits, px.Width, px.Height, px.Stride, QImage::Format_RGB32);
}

}  // namespace gdi

// ---- Surfaces ----

TSurface::TSurface() : FImpl(std::make_unique<Impl>()) {}
TSurface::~TSurface() = default;

void TSurface::SetSize(Integer width, Integer height) {
  width = std::max(0, width);
  height = std::max(0, height);
  auto& px = FImpl->Pixels;
  if (width == px.Width && height == px.Height) return;
  std::vector<Byte> storage(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0xFF);
  int stride = width * 4;
  // A surface without width keeps no rows to copy (and no storage to copy into).
  const int keepWidth = std::min(width, px.Width);
  for (int y = 0; keepWidth > 0 && y < std::min(height, px.Height); ++y)
    std::memcpy(storage.data() + static_cast<size_t>(y) * stride, px.Row(y),
                static_cast<size_t>(keepWidth) * 4);
  FImpl->Storage.swap(storage);
  px.Bits = FImpl->Storage.empty() ? nullptr : FImpl->Storage.data();
  px.Width = width;
  px.Height = height;
  px.Stride = stride;
  px.Bpp = 32;
  px.BottomUp = false;
  px.Opaque = true;
  FImpl->Dirty = QRect(0, 0, width, height);
}

Integer TSurface::Width() const { return FImpl->Pixels.Width; }
Integer TSurface::Height() const { return FImpl->Pixels.Height; }

TRect TSurface::TakeDirtyRect() {
  QRect r = FImpl->Dirty;
  FImpl->Dirty = QRect();
  if (r.isEmpty()) return TRect{};
  return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

uint32_t TSurface::PixelRGB(Integer x, Integer y) const {
  auto& px = FImpl->Pixels;
  if (x < 0 || y < 0 || x >= px.Width || y >= px.Height) return 0;
  const Byte* p = px.At(x, y);
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

HDC CreateSurfaceDC(TSurface& surface) {
  HDC dc = NewDC();
  dc->Surface = &surface.GetImpl();
  return dc;
}

HDC CreateSurfaceDC(TSurface& surface, TPoint origin, const TRect& bounds) {
  HDC dc = CreateSurfaceDC(surface);
  dc->DeviceOrigin = QPoint(origin.X, origin.Y);
  dc->SystemBounds = QRegion(ToQRect(bounds));
  dc->HasBounds = true;
  dc->SystemRegion = dc->SystemBounds;
  dc->HasSystemRegion = true;
  return dc;
}

void SetDCSystemRegion(HDC dc, HRGN rgn) {
  if (!IsLiveDC(dc)) return;
  if (!rgn) {
    dc->HasSystemRegion = dc->HasBounds;
    dc->SystemRegion = dc->SystemBounds;
    return;
  }
  QRegion r = RegionOf(rgn).translated(dc->DeviceOrigin);
  if (dc->HasBounds) r &= dc->SystemBounds;
  dc->SystemRegion = r;
  dc->HasSystemRegion = true;
}

// ---- Memory DCs ----

HDC CreateCompatibleDC(HDC) {
  HDC dc = NewDC();
  auto* b = new BitmapObj();
  AllocPixels(b, 1, 1, 32, false);
  RegisterObject(b);
  dc->DefaultBitmap = b;
  dc->S.Bitmap = b;
  Select(b);
  return dc;
}

BOOL DeleteDC(HDC dc) {
  {
    std::lock_guard lock(RegistryMutex());
    if (!dc || !LiveDCs().erase(dc)) return 0;
    gRemovals.fetch_add(1, std::memory_order_release);
  }
  for (auto it = dc->Saved.rbegin(); it != dc->Saved.rend(); ++it) ReleaseState(*it);
  ReleaseState(dc->S);
  if (BitmapObj* b = AsBitmap(dc->DefaultBitmap)) {
    b->DeletePending = true;
    if (b->SelectedIn == 0) FreeObject(b);
  }
  delete dc;
  return 1;
}

int SaveDC(HDC dc) {
  if (!IsLiveDC(dc)) return 0;
  dc->Saved.push_back(dc->S);
  HoldState(dc->S);
  return static_cast<int>(dc->Saved.size());
}

BOOL RestoreDC(HDC dc, int level) {
  if (!IsLiveDC(dc)) return 0;
  int count = static_cast<int>(dc->Saved.size());
  if (level < 0) level = count + 1 + level;
  if (level < 1 || level > count) return 0;
  // The current selections give way to the saved ones.
  HDC__::State target = dc->Saved[static_cast<size_t>(level - 1)];
  HoldState(target);
  ReleaseState(dc->S);
  dc->S = target;
  while (static_cast<int>(dc->Saved.size()) >= level) {
    ReleaseState(dc->Saved.back());
    dc->Saved.pop_back();
  }
  return 1;
}

DWORD GetObjectType(HGDIOBJ obj) {
  if (!IsLiveObject(obj)) return 0;
  return obj->ObjType;
}

// ---- Stock objects ----

HGDIOBJ GetStockObject(int index) {
  static std::once_flag once;
  static HGDIOBJ stock[20]{};
  std::call_once(once, [] {
    auto brush = [](COLORREF c, UINT style) {
      auto* b = new BrushObj();
      b->Log.lbStyle = style;
      b->Log.lbColor = c;
      b->Stock = true;
      RegisterObject(b);
      return b;
    };
    auto pen = [](COLORREF c, int style) {
      auto* p = new PenObj();
      p->Color = c;
      p->Style = style;
      p->Stock = true;
      RegisterObject(p);
      return p;
    };
    stock[WHITE_BRUSH] = brush(0xFFFFFF, BS_SOLID);
    stock[LTGRAY_BRUSH] = brush(0xC0C0C0, BS_SOLID);
    stock[GRAY_BRUSH] = brush(0x808080, BS_SOLID);
    stock[DKGRAY_BRUSH] = brush(0x404040, BS_SOLID);
    stock[BLACK_BRUSH] = brush(0, BS_SOLID);
    stock[NULL_BRUSH] = brush(0, BS_NULL);
    stock[WHITE_PEN] = pen(0xFFFFFF, PS_SOLID);
    stock[BLACK_PEN] = pen(0, PS_SOLID);
    stock[NULL_PEN] = pen(0, PS_NULL);
    for (int i : {SYSTEM_FONT, DEFAULT_GUI_FONT}) {
      auto* f = new FontObj();
      f->Log.lfHeight = -11;
      std::u16string_view face = u"Tahoma";
      std::copy(face.begin(), face.end(), f->Log.lfFaceName);
      f->Stock = true;
      RegisterObject(f);
      stock[i] = f;
    }
  });
  if (index < 0 || index >= 20) return nullptr;
  return stock[index];
}

HBRUSH GetSysColorBrush(int index) {
  static std::once_flag once;
  static HBRUSH brushes[31]{};
  std::call_once(once, [] {
    for (int i = 0; i < 31; ++i) {
      auto* b = new BrushObj();
      b->Log.lbColor = GetSysColor(i);
      b->Stock = true;
      RegisterObject(b);
      brushes[i] = b;
    }
  });
  if (index < 0 || index > 30) return nullptr;
  return brushes[index];
}

// ---- Selection ----

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  if (!IsLiveDC(dc) || !IsLiveObject(obj)) return nullptr;
  switch (obj->ObjType) {
    case OBJ_PEN: {
      HGDIOBJ old = dc->S.Pen;
      Select(AsPen(obj));
      Deselect(AsPen(old));
      dc->S.Pen = static_cast<HPEN>(obj);
      return old;
    }
    case OBJ_BRUSH: {
      HGDIOBJ old = dc->S.Brush;
      Select(AsBrush(obj));
      Deselect(AsBrush(old));
      dc->S.Brush = static_cast<HBRUSH>(obj);
      return old;
    }
    case OBJ_FONT: {
      HGDIOBJ old = dc->S.Font;
      Select(AsFont(obj));
      Deselect(AsFont(old));
      dc->S.Font = static_cast<HFONT>(obj);
      return old;
    }
    case OBJ_BITMAP: {
      if (dc->Surface) return nullptr;  // only memory DCs take bitmaps
      BitmapObj* b = AsBitmap(obj);
      // A bitmap can be selected into one DC at a time.
      if (b->SelectedIn > 0 && dc->S.Bitmap != obj) {
        bool heldBySaveOnly = false;
        for (auto& s : dc->Saved) heldBySaveOnly |= (s.Bitmap == obj);
        if (!heldBySaveOnly) return nullptr;
      }
      HGDIOBJ old = dc->S.Bitmap;
      Select(b);
      Deselect(AsBitmap(old));
      dc->S.Bitmap = static_cast<HBITMAP>(obj);
      return old;
    }
    case OBJ_REGION: {
      int kind = SelectClipRgn(dc, static_cast<HRGN>(obj));
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
    }
    default: return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  if (!IsLiveDC(dc)) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->S.Pen;
    case OBJ_BRUSH: return dc->S.Brush;
    case OBJ_FONT: return dc->S.Font;
    case OBJ_BITMAP: return dc->Surface ? nullptr : dc->S.Bitmap;
    default: return nullptr;
  }
}

BOOL DeleteObject(HGDIOBJ obj) {
  if (!IsLiveObject(obj)) return 0;
  auto pending = [&](auto* o) -> BOOL {
    if (o->Stock) return 1;  // stock objects are never freed
    // Selected objects live on until their last DC lets them go.
    if (o->SelectedIn > 0) {
      o->DeletePending = true;
      return 1;
    }
    FreeObject(obj);
    return 1;
  };
  switch (obj->ObjType) {
    case OBJ_BITMAP: return pending(static_cast<BitmapObj*>(obj));
    case OBJ_BRUSH: return pending(static_cast<BrushObj*>(obj));
    case OBJ_PEN: return pending(static_cast<PenObj*>(obj));
    case OBJ_FONT: return pending(static_cast<FontObj*>(obj));
    case OBJ_REGION: FreeObject(obj); return 1;
    default: return 0;
  }
}

int GetObjectW(HGDIOBJ obj, int size, void* out) {
  if (!IsLiveObject(obj)) return 0;
  auto give = [&](const auto& value) -> int {
    int n = static_cast<int>(sizeof(value));
    if (!out) return n;
    if (size < n) return 0;
    std::memcpy(out, &value, sizeof(value));
    return n;
  };
  switch (obj->ObjType) {
    case OBJ_BITMAP: {
      auto* b = static_cast<BitmapObj*>(obj);
      DIBSECTION ds;
      ds.dsBm.bmWidth = b->Pixels.Width;
      ds.dsBm.bmHeight = b->Pixels.Height;
      ds.dsBm.bmWidthBytes = b->Pixels.Stride;
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = static_cast<WORD>(b->Pixels.Bpp);
      ds.dsBm.bmBits = b->DibSection ? b->Pixels.Bits : nullptr;
      if (b->DibSection && size >= static_cast<int>(sizeof(DIBSECTION))) {
        ds.dsBmih.biWidth = b->Pixels.Width;
        ds.dsBmih.biHeight = b->Pixels.BottomUp ? b->Pixels.Height : -b->Pixels.Height;
        ds.dsBmih.biBitCount = static_cast<WORD>(b->Pixels.Bpp);
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b->Pixels.Stride * b->Pixels.Height);
        return give(ds);
      }
      return give(ds.dsBm);
    }
    case OBJ_BRUSH: return give(static_cast<BrushObj*>(obj)->Log);
    case OBJ_PEN: {
      auto* p = static_cast<PenObj*>(obj);
      LOGPEN lp;
      lp.lopnStyle = static_cast<UINT>(p->Style);
      lp.lopnWidth = TPoint{p->Width, 0};
      lp.lopnColor = p->Color;
      return give(lp);
    }
    case OBJ_FONT: return give(static_cast<FontObj*>(obj)->Log);
    default: return 0;
  }
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new BrushObj();
  b->Log.lbStyle = BS_SOLID;
  b->Log.lbColor = color & 0xFFFFFF;
  RegisterObject(b);
  return b;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  auto* b = new BrushObj();
  b->Log = *lb;
  if (b->Log.lbStyle != BS_NULL) b->Log.lbStyle = BS_SOLID;  // hatches are not used: solid
  RegisterObject(b);
  return b;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* p = new PenObj();
  p->Style = style;
  p->Width = std::max(1, width);
  p->Color = color & 0xFFFFFF;
  RegisterObject(p);
  return p;
}

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
  if (!lf) return nullptr;
  auto* f = new FontObj();
  f->Log = *lf;
  f->Log.lfFaceName[31] = 0;
  RegisterObject(f);
  return f;
}

// ---- Colours and modes ----

#define PF_DC_ACCESSOR(Setter, Getter, Type, Field, Bad) \
  Type Setter(HDC dc, Type v) {                          \
    if (!IsLiveDC(dc)) return Bad;                       \
    Type old = dc->S.Field;                              \
    dc->S.Field = v;                                     \
    return old;                                          \
  }                                                      \
  Type Getter(HDC dc) { return IsLiveDC(dc) ? dc->S.Field : Bad; }

PF_DC_ACCESSOR(SetTextColor, GetTextColor, COLORREF, TextColor, CLR_INVALID)
PF_DC_ACCESSOR(SetBkColor, GetBkColor, COLORREF, BkColor, CLR_INVALID)
PF_DC_ACCESSOR(SetBkMode, GetBkMode, int, BkMode, 0)
PF_DC_ACCESSOR(SetROP2, GetROP2, int, Rop2, 0)
PF_DC_ACCESSOR(SetTextAlign, GetTextAlign, UINT, TextAlign, 0xFFFFFFFF)
PF_DC_ACCESSOR(SetStretchBltMode, GetStretchBltMode, int, StretchMode, 0)
#undef PF_DC_ACCESSOR

BOOL SetBrushOrgEx(HDC dc, int x, int y, TPoint* old) {
  if (!IsLiveDC(dc)) return 0;
  if (old) *old = dc->S.BrushOrg;
  dc->S.BrushOrg = TPoint{x, y};
  return 1;
}

// ---- Device capabilities ----

namespace {
std::atomic<int> GLogPixelsX{96};
std::atomic<int> GLogPixelsY{96};
}  // namespace

void SetScreenLogPixels(int x, int y) {
  GLogPixelsX = x < 1 ? 96 : x;
  GLogPixelsY = y < 1 ? 96 : y;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!IsLiveDC(dc)) return 0;
  PixelBuffer pb = TargetOf(dc);
  switch (index) {
    case LOGPIXELSX: return GLogPixelsX;
    case LOGPIXELSY: return GLogPixelsY;
    case HORZRES: return dc->Surface ? pb.Width : 1920;
    case VERTRES: return dc->Surface ? pb.Height : 1080;
    case BITSPIXEL: return dc->Surface ? 32 : pb.Bpp;
    case PLANES: return 1;
    default: return 0;
  }
}

// ---- Coordinates ----

namespace {
BOOL SetOrg(HDC dc, TPoint HDC__::State::*field, int x, int y, TPoint* old) {
  if (!IsLiveDC(dc)) return 0;
  if (old) *old = dc->S.*field;
  dc->S.*field = TPoint{x, y};
  return 1;
}
}  // namespace

BOOL SetWindowOrgEx(HDC dc, int x, int y, TPoint* old) { return SetOrg(dc, &HDC__::State::WindowOrg, x, y, old); }
BOOL SetViewportOrgEx(HDC dc, int x, int y, TPoint* old) { return SetOrg(dc, &HDC__::State::ViewportOrg, x, y, old); }
BOOL GetWindowOrgEx(HDC dc, TPoint* org) {
  if (!IsLiveDC(dc) || !org) return 0;
  *org = dc->S.WindowOrg;
  return 1;
}
BOOL GetViewportOrgEx(HDC dc, TPoint* org) {
  if (!IsLiveDC(dc) || !org) return 0;
  *org = dc->S.ViewportOrg;
  return 1;
}
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, TPoint* old) {
  if (!IsLiveDC(dc)) return 0;
  return SetWindowOrgEx(dc, dc->S.WindowOrg.X + dx, dc->S.WindowOrg.Y + dy, old);
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, TPoint* old) {
  if (!IsLiveDC(dc)) return 0;
  return SetViewportOrgEx(dc, dc->S.ViewportOrg.X + dx, dc->S.ViewportOrg.Y + dy, old);
}
BOOL LPtoDP(HDC dc, TPoint* pts, int count) {
  if (!IsLiveDC(dc) || !pts) return 0;
  for (int i = 0; i < count; ++i) {
    pts[i].X += dc->S.ViewportOrg.X - dc->S.WindowOrg.X;
    pts[i].Y += dc->S.ViewportOrg.Y - dc->S.WindowOrg.Y;
  }
  return 1;
}
BOOL DPtoLP(HDC dc, TPoint* pts, int count) {
  if (!IsLiveDC(dc) || !pts) return 0;
  for (int i = 0; i < count; ++i) {
    pts[i].X -= dc->S.ViewportOrg.X - dc->S.WindowOrg.X;
    pts[i].Y -= dc->S.ViewportOrg.Y - dc->S.WindowOrg.Y;
  }
  return 1;
}

// ---- Regions ----

namespace {
HRGN NewRegion(const QRegion& r) {
  auto* o = new RegionObj();
  o->Rgn = r;
  RegisterObject(o);
  return o;
}
QRegion Ellipse(const QRect& r) { return QRegion(r, QRegion::Ellipse); }
}  // namespace

HRGN CreateRectRgn(int l, int t, int r, int b) { return NewRegion(QRegion(ToQRect(TRect{l, t, r, b}))); }
HRGN CreateRectRgnIndirect(const TRect* r) { return r ? CreateRectRgn(r->Left, r->Top, r->Right, r->Bottom) : nullptr; }
HRGN CreateEllipticRgn(int l, int t, int r, int b) { return NewRegion(Ellipse(ToQRect(TRect{l, t, r, b}))); }

HRGN CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
  QRect q = ToQRect(TRect{l, t, r, b});
  w = std::min(std::abs(w), q.width());
  h = std::min(std::abs(h), q.height());
  QRegion rgn = QRegion(q.adjusted(w / 2, 0, -w / 2, 0)) | QRegion(q.adjusted(0, h / 2, 0, -h / 2));
  if (w > 0 && h > 0) {
    rgn |= Ellipse(QRect(q.left(), q.top(), w, h));
    rgn |= Ellipse(QRect(q.right() + 1 - w, q.top(), w, h));
    rgn |= Ellipse(QRect(q.left(), q.bottom() + 1 - h, w, h));
    rgn |= Ellipse(QRect(q.right() + 1 - w, q.bottom() + 1 - h, w, h));
  }
  return NewRegion(rgn);
}

BOOL SetRectRgn(HRGN rgn, int l, int t, int r, int b) {
  RegionObj* o = AsRegion(rgn);
  if (!o) return 0;
  o->Rgn = QRegion(ToQRect(TRect{l, t, r, b}));
  return 1;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  RegionObj *d = AsRegion(dest), *ra = AsRegion(a), *rb = AsRegion(b);
  if (!d || !ra || (mode != RGN_COPY && !rb)) return RGN_ERROR;
  switch (mode) {
    case RGN_AND: d->Rgn = ra->Rgn & rb->Rgn; break;
    case RGN_OR: d->Rgn = ra->Rgn | rb->Rgn; break;
    case RGN_XOR: d->Rgn = ra->Rgn ^ rb->Rgn; break;
    case RGN_DIFF: d->Rgn = ra->Rgn - rb->Rgn; break;
    case RGN_COPY: d->Rgn = ra->Rgn; break;
    default: return RGN_ERROR;
  }
  return RegionKind(d->Rgn);
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
  RegionObj* o = AsRegion(rgn);
  if (!o) return RGN_ERROR;
  o->Rgn.translate(dx, dy);
  return RegionKind(o->Rgn);
}

int GetRgnBox(HRGN rgn, TRect* box) {
  RegionObj* o = AsRegion(rgn);
  if (!o || !box) return RGN_ERROR;
  QRect b = o->Rgn.boundingRect();
  *box = o->Rgn.isEmpty() ? TRect{} : TRect{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
  return RegionKind(o->Rgn);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  RegionObj* o = AsRegion(rgn);
  return o && o->Rgn.contains(QPoint(x, y));
}

BOOL RectInRegion(HRGN rgn, const TRect* r) {
  RegionObj* o = AsRegion(rgn);
  return o && r && o->Rgn.intersects(ToQRect(*r));
}

BOOL EqualRgn(HRGN a, HRGN b) {
  RegionObj *ra = AsRegion(a), *rb = AsRegion(b);
  return ra && rb && ra->Rgn == rb->Rgn;
}

// ---- Clipping ----

int SelectClipRgn(HDC dc, HRGN rgn) { return ExtSelectClipRgn(dc, rgn, RGN_COPY); }

int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode) {
  if (!IsLiveDC(dc)) return RGN_ERROR;
  if (!rgn) {
    if (mode != RGN_COPY) return RGN_ERROR;
    dc->S.Clip.reset();
    return RegionKind(DeviceLimit(dc));
  }
  RegionObj* o = AsRegion(rgn);
  if (!o) return RGN_ERROR;
  QRegion current = dc->S.Clip ? *dc->S.Clip : DeviceLimit(dc);
  QRegion next;
  switch (mode) {
    case RGN_COPY: next = o->Rgn; break;
    case RGN_AND: next = current & o->Rgn; break;
    case RGN_OR: next = current | o->Rgn; break;
    case RGN_XOR: next = current ^ o->Rgn; break;
    case RGN_DIFF: next = current - o->Rgn; break;
    default: return RGN_ERROR;
  }
  dc->S.Clip = next;
  return RegionKind(next & DeviceLimit(dc));
}

namespace {
// The two logical-coordinate clip changes: the rectangle goes through the DC's origins first.
int ChangeClip(HDC dc, const TRect& logical, bool exclude) {
  if (!IsLiveDC(dc)) return RGN_ERROR;
  QRect r = ToTarget(dc, logical).translated(-dc->DeviceOrigin);
  QRegion current = dc->S.Clip ? *dc->S.Clip : DeviceLimit(dc);
  dc->S.Clip = exclude ? current - QRegion(r) : current & QRegion(r);
  return RegionKind(*dc->S.Clip & DeviceLimit(dc));
}
}  // namespace

int ExcludeClipRect(HDC dc, int l, int t, int r, int b) { return ChangeClip(dc, TRect{l, t, r, b}, true); }
int IntersectClipRect(HDC dc, int l, int t, int r, int b) { return ChangeClip(dc, TRect{l, t, r, b}, false); }

int OffsetClipRgn(HDC dc, int dx, int dy) {
  if (!IsLiveDC(dc)) return RGN_ERROR;
  if (dc->S.Clip) dc->S.Clip->translate(dx, dy);
  return RegionKind(dc->S.Clip ? *dc->S.Clip : DeviceLimit(dc));
}

int GetClipRgn(HDC dc, HRGN rgn) {
  RegionObj* o = AsRegion(rgn);
  if (!IsLiveDC(dc) || !o) return -1;
  if (!dc->S.Clip) return 0;
  o->Rgn = *dc->S.Clip;
  return 1;
}

int GetClipBox(HDC dc, TRect* r) {
  if (!IsLiveDC(dc) || !r) return RGN_ERROR;
  QRegion paintable = PaintableRegion(dc);
  if (paintable.isEmpty()) {
    *r = TRect{};
    return NULLREGION;
  }
  QRect b = paintable.boundingRect();
  // Back from target to logical coordinates.
  int dx = -dc->DeviceOrigin.x() - dc->S.ViewportOrg.X + dc->S.WindowOrg.X;
  int dy = -dc->DeviceOrigin.y() - dc->S.ViewportOrg.Y + dc->S.WindowOrg.Y;
  *r = TRect{b.left() + dx, b.top() + dy, b.right() + 1 + dx, b.bottom() + 1 + dy};
  return RegionKind(paintable);
}

BOOL PtVisible(HDC dc, int x, int y) {
  if (!IsLiveDC(dc)) return 0;
  return PaintableRegion(dc).contains(ToTarget(dc, x, y));
}

BOOL RectVisible(HDC dc, const TRect* r) {
  if (!IsLiveDC(dc) || !r) return 0;
  return PaintableRegion(dc).intersects(ToTarget(dc, *r));
}

}  // namespace pf
