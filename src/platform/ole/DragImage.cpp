// Drag images: the helper class behind CLSID_DragDropHelper, the image it keeps with the data
// object, and the window that shows it under the pointer while the layer's drag loop runs.
// The image travels inside the data object, as a registered format of its own, so that it lives
// and dies with the object and any target of this process can find it; it never goes to the
// desktop as data (the desktop gets it as the drag's pixmap instead).

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "platform/ole/OleBridge_p.h"

namespace pf {
namespace olebridge {

namespace {

// Width, height, hot spot x and y, colour key; then the pixels, four bytes each (B, G, R, A),
// top row first.
constexpr size_t kImageHeader = 20;
// Larger images are refused rather than copied around on every drag.
constexpr int kMaxImageSide = 4096;

void PutU32(Byte* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}
uint32_t GetU32(const Byte* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

FORMATETC ImageFormatEtc() {
  return FORMATETC{static_cast<CLIPFORMAT>(DragImageFormat()), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// The image's pixels as the block stores them; pixels of the colour key become transparent and
// all others opaque, whatever the bitmap's own alpha says (painting leaves it at random).
std::vector<Byte> ImageBlock(HBITMAP bmp, TSize size, TPoint hotSpot, DWORD colorKey) {
  BITMAPINFO info;
  if (!GetDIBits(nullptr, bmp, 0, 0, nullptr, &info, DIB_RGB_COLORS)) return {};
  const int w = std::min<int>(size.cx, info.bmiHeader.biWidth);
  const int h = std::min<int>(size.cy, std::abs(info.bmiHeader.biHeight));
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return {};
  const int fullW = info.bmiHeader.biWidth;
  const int fullH = std::abs(info.bmiHeader.biHeight);
  std::vector<Byte> pixels(static_cast<size_t>(fullW) * static_cast<size_t>(fullH) * 4);
  BITMAPINFO want;
  want.bmiHeader.biWidth = fullW;
  want.bmiHeader.biHeight = -fullH;
  want.bmiHeader.biBitCount = 32;
  want.bmiHeader.biCompression = BI_RGB;
  if (GetDIBits(nullptr, bmp, 0, static_cast<UINT>(fullH), pixels.data(), &want, DIB_RGB_COLORS) <= 0) return {};
  std::vector<Byte> block(kImageHeader + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  PutU32(block.data(), static_cast<uint32_t>(w));
  PutU32(block.data() + 4, static_cast<uint32_t>(h));
  PutU32(block.data() + 8, static_cast<uint32_t>(hotSpot.X));
  PutU32(block.data() + 12, static_cast<uint32_t>(hotSpot.Y));
  PutU32(block.data() + 16, colorKey);
  const bool keyed = colorKey != 0xFFFFFFFFu;
  const Byte kr = static_cast<Byte>(colorKey), kg = static_cast<Byte>(colorKey >> 8), kb = static_cast<Byte>(colorKey >> 16);
  Byte* out = block.data() + kImageHeader;
  for (int y = 0; y < h; ++y) {
    const Byte* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(fullW) * 4;
    for (int x = 0; x < w; ++x, out += 4) {
      const Byte* p = row + static_cast<size_t>(x) * 4;
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out[3] = keyed && p[0] == kb && p[1] == kg && p[2] == kr ? 0 : 255;
    }
  }
  return block;
}

// ---- the window under the pointer ----

class TImageWindow final : public QWidget {
public:
  TImageWindow()
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                             Qt::WindowDoesNotAcceptFocus | Qt::BypassWindowManagerHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    // Seen through where a desktop composes windows; opaque, but shaped, where none does.
    setWindowOpacity(0.8);
  }
  void SetImage(const QImage& image) {
    FImage = image;
    resize(image.size());
    const QBitmap mask = QBitmap::fromImage(image.createAlphaMask());
    if (!mask.isNull()) setMask(mask);
    else clearMask();
    update();
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, FImage);
  }

private:
  QImage FImage;
};

struct TPresenter {
  TDragImage Image;
  bool Active{false};
  bool Hidden{false};      // a target asked for the image to go while it paints
  bool DesktopDrag{false};  // the toolkit's drag shows the image itself
  TPoint At;
  bool Placed{false};
  QPointer<TImageWindow> Window;

  void Update() {
    const bool show = Active && Placed && !Hidden && !DesktopDrag && !Image.Image.isNull();
    if (!show) {
      if (Window) Window->hide();
      return;
    }
    if (!Window) Window = new TImageWindow();
    Window->move(At.X - Image.HotSpot.x(), At.Y - Image.HotSpot.y());
    if (!Window->isVisible()) Window->show();
    Window->raise();
  }
};

TPresenter& Presenter() {
  static TPresenter p;
  return p;
}

// ---- the helper class ----

// One object answers as both helpers, as the platform's does.
class TDragDropHelper final : public IDragSourceHelper, public IDropTargetHelper, private TComObjectBase {
public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IUnknown::Iid || iid == IDragSourceHelper::Iid)
      *out = static_cast<IDragSourceHelper*>(this);
    else if (iid == IDropTargetHelper::Iid)
      *out = static_cast<IDropTargetHelper*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override {
    const ULONG n = DoRelease();
    if (n == 0) delete this;
    return n;
  }

  // The bitmap belongs to the helper once this succeeds; on failure the caller keeps it.
  HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* dataObject) override {
    if (!image || !dataObject || !image->hbmpDragImage) return E_INVALIDARG;
    const std::vector<Byte> block = ImageBlock(image->hbmpDragImage, image->sizeDragImage, image->ptOffset, image->crColorKey);
    if (block.empty()) return E_INVALIDARG;
    STGMEDIUM medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalCopy(GHND, block.data(), block.size());
    if (!medium.hGlobal) return E_OUTOFMEMORY;
    FORMATETC f = ImageFormatEtc();
    const HRESULT hr = dataObject->SetData(&f, &medium, 1);
    if (FAILED(hr)) {
      GlobalFree(medium.hGlobal);
      return hr;
    }
    DeleteObject(image->hbmpDragImage);
    image->hbmpDragImage = nullptr;
    return S_OK;
  }
  HRESULT InitializeFromWindow(HWND, TPoint*, IDataObject*) override { return E_NOTIMPL; }

  // A drag that the layer's loop runs shows its image already; a target only moves and hides
  // it. An image of a drag that arrives otherwise is shown while over this target.
  HRESULT DragEnter(HWND, IDataObject* dataObject, TPoint* pt, DWORD) override {
    TPresenter& p = Presenter();
    if (!p.Active && !p.DesktopDrag) {
      TDragImage image = DragImageOf(dataObject);
      if (!image.Image.isNull()) {
        BeginDragImage(image);
        FShowing = true;
      }
    }
    if (pt) MoveDragImage(*pt);
    return S_OK;
  }
  HRESULT DragOver(TPoint* pt, DWORD) override {
    if (pt) MoveDragImage(*pt);
    return S_OK;
  }
  HRESULT DragLeave() override {
    Done();
    return S_OK;
  }
  HRESULT Drop(IDataObject*, TPoint*, DWORD) override {
    Done();
    return S_OK;
  }
  HRESULT Show(BOOL show) override {
    Presenter().Hidden = !show;
    Presenter().Update();
    return S_OK;
  }

private:
  void Done() {
    Presenter().Hidden = false;
    if (FShowing) EndDragImage();
    else Presenter().Update();
    FShowing = false;
  }
  bool FShowing{false};
};

}  // namespace

UINT DragImageFormat() {
  static const UINT f = RegisterClipboardFormatW(u"DragImageBits");
  return f;
}

TDragImage DragImageOf(IDataObject* dataObject) {
  TDragImage out;
  if (!dataObject) return out;
  FORMATETC f = ImageFormatEtc();
  if (dataObject->QueryGetData(&f) != S_OK) return out;
  STGMEDIUM medium;
  if (dataObject->GetData(&f, &medium) != S_OK) return out;
  const std::vector<Byte> block = medium.tymed == TYMED_HGLOBAL ? GlobalBytes(medium.hGlobal) : std::vector<Byte>();
  ReleaseStgMedium(&medium);
  if (block.size() < kImageHeader) return out;
  const uint32_t w = GetU32(block.data()), h = GetU32(block.data() + 4);
  if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide) return out;
  if (block.size() - kImageHeader < static_cast<size_t>(w) * h * 4) return out;
  QImage image(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32);
  for (uint32_t y = 0; y < h; ++y) {
    const Byte* row = block.data() + kImageHeader + static_cast<size_t>(y) * w * 4;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    for (uint32_t x = 0; x < w; ++x) {
      const Byte* p = row + static_cast<size_t>(x) * 4;
      line[x] = qRgba(p[2], p[1], p[0], p[3]);
    }
  }
  out.Image = std::move(image);
  out.HotSpot = QPoint(static_cast<int32_t>(GetU32(block.data() + 8)), static_cast<int32_t>(GetU32(block.data() + 12)));
  return out;
}

void BeginDragImage(const TDragImage& image) {
  TPresenter& p = Presenter();
  p.Image = image;
  // Without the toolkit's windows (a program without a display) there is nothing to show it on.
  p.Active = !image.Image.isNull() && qobject_cast<QApplication*>(QCoreApplication::instance());
  p.Placed = false;
  p.Hidden = false;
  if (p.Active) {
    if (!p.Window) p.Window = new TImageWindow();
    p.Window->SetImage(image.Image);
  }
  p.Update();
}

void MoveDragImage(TPoint screen) {
  TPresenter& p = Presenter();
  if (!p.Active) return;
  p.At = screen;
  p.Placed = true;
  p.Update();
}

void EndDragImage() {
  TPresenter& p = Presenter();
  p.Active = false;
  p.Placed = false;
  p.Hidden = false;
  p.Image = TDragImage{};
  if (p.Window) {
    p.Window->hide();
    p.Window->deleteLater();
    p.Window = nullptr;
  }
}

void SetDesktopDragShowsImage(bool running) {
  Presenter().DesktopDrag = running;
  Presenter().Update();
}

QWidget* DragImageWindow() {
  TPresenter& p = Presenter();
  return p.Window && p.Window->isVisible() ? p.Window.data() : nullptr;
}

HRESULT CreateDragDropHelper(REFIID iid, void** out) {
  auto* helper = new TDragDropHelper();
  helper->AddRef();
  const HRESULT hr = helper->QueryInterface(iid, out);
  helper->Release();
  return hr;
}

}  // namespace olebridge

namespace ole::testing {
bool DragImageOnScreen(TRect* bounds) {
  QWidget* w = olebridge::DragImageWindow();
  if (!w) return false;
  if (bounds) *bounds = TRect{w->x(), w->y(), w->x() + w->width(), w->y() + w->height()};
  return true;
}
}  // namespace ole::testing

}  // namespace pf
