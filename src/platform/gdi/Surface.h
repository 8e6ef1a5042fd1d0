#pragma once
// The pixels of a custom-drawn window. The window layer owns one surface per such window, covering
// the whole window rectangle, paints into it through DCs made by CreateSurfaceDC, and presents it.

#include <memory>

#include "platform/gdi/Gdi.h"

namespace pf {

class TSurface {
public:
  TSurface();
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;
  ~TSurface();

  // Resizing keeps the pixels that still fit; new pixels are white.
  void SetSize(Integer width, Integer height);
  Integer Width() const;
  Integer Height() const;

  // The union of everything painted since the last call, in surface coordinates; the window layer
  // presents that part. Empty when nothing was painted.
  TRect TakeDirtyRect();

  // 0x00RRGGBB of a pixel, for tests; 0 outside.
  uint32_t PixelRGB(Integer x, Integer y) const;

  struct Impl;
  Impl& GetImpl() const { return *FImpl; }

private:
  std::unique_ptr<Impl> FImpl;
};

// A DC painting on `surface`. Device (0, 0) is the surface's top-left corner and the whole surface
// can be painted. The surface must outlive the DC; free the DC with DeleteDC.
HDC CreateSurfaceDC(TSurface& surface);
// A DC for part of a surface, as a window's client DC: device (0, 0) lies at `origin` on the
// surface and nothing outside `bounds` (surface coordinates) is painted. That limit is the DC's
// system region: clip regions the program selects can only narrow it, and SelectClipRgn(nil)
// goes back to it.
HDC CreateSurfaceDC(TSurface& surface, TPoint origin, const TRect& bounds);
// Narrows the system region further (the update region during a paint), in the DC's device
// coordinates; nil goes back to the bounds given at creation.
void SetDCSystemRegion(HDC dc, HRGN rgnInDeviceCoords);

}  // namespace pf
