#include "platform/classlib/ImgList.h"

namespace pf {

namespace {

COLORREF RgbOrNone(TColor c) {
  if (c == clNone) return CLR_NONE;
  if (c == clDefault) return CLR_DEFAULT;
  return static_cast<COLORREF>(ColorToRGB(c));
}

UINT StyleOf(TDrawingStyle style, TImageType type) {
  static constexpr UINT kStyles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  UINT s = kStyles[static_cast<int>(style)];
  if (type == TImageType::itMask) s |= ILD_MASK;
  return s;
}

}  // namespace

void TCustomImageList::Create(TComponent* owner) { TComponent::Create(owner); }

void TCustomImageList::Destroy() {
  FreeHandle();
  TComponent::Destroy();
}

void TCustomImageList::FreeHandle() {
  if (FHandle) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

HIMAGELIST TCustomImageList::GetHandle() {
  if (!FHandle) {
    UINT depth = FColorDepth == TColorDepth::cd24Bit ? ILC_COLOR24 : ILC_COLOR32;
    FHandle = ImageList_Create(FWidth, FHeight, depth | (FMasked ? ILC_MASK : 0), 0, 4);
    if (FHandle) ImageList_SetBkColor(FHandle, RgbOrNone(FBkColor));
  }
  return FHandle;
}

Integer TCustomImageList::GetCount() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::SetSize(Integer w, Integer h) {
  if (w == FWidth && h == FHeight) return;
  FWidth = w;
  FHeight = h;
  if (FHandle) ImageList_SetIconSize(FHandle, w, h);
  Change();
}

void TCustomImageList::SetBkColor(TColor c) {
  FBkColor = c;
  if (FHandle) ImageList_SetBkColor(FHandle, RgbOrNone(c));
  Change();
}

void TCustomImageList::SetMasked(bool v) {
  if (v == FMasked) return;
  FMasked = v;
  // The platform's list takes its kind when it is made: a new one, empty.
  FreeHandle();
  Change();
}

void TCustomImageList::SetColorDepth(TColorDepth v) {
  if (v == FColorDepth) return;
  FColorDepth = v;
  FreeHandle();
  Change();
}

Integer TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  if (!image) return -1;
  int i = ImageList_Add(GetHandle(), image->GetHandle(), mask ? mask->GetHandle() : nullptr);
  Change();
  return i;
}

Integer TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image) return -1;
  int i = ImageList_AddMasked(GetHandle(), image->GetHandle(), static_cast<COLORREF>(ColorToRGB(maskColor)));
  Change();
  return i;
}

void TCustomImageList::Replace(Integer index, TBitmap* image, TBitmap* mask) {
  if (!image) return;
  ImageList_Replace(GetHandle(), index, image->GetHandle(), mask ? mask->GetHandle() : nullptr);
  Change();
}

void TCustomImageList::Delete(Integer index) {
  if (!FHandle) return;
  ImageList_Remove(FHandle, index);
  Change();
}

void TCustomImageList::Clear() { Delete(-1); }

bool TCustomImageList::Overlay(Integer imageIndex, TOverlay overlay) {
  return ImageList_SetOverlayImage(GetHandle(), imageIndex, overlay + 1) != 0;
}

void TCustomImageList::Draw(TCanvas* canvas, Integer x, Integer y, Integer index, bool enabled) {
  Draw(canvas, x, y, index, DrawingStyle, ImageType, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, Integer x, Integer y, Integer index, TDrawingStyle style,
                            TImageType type, bool enabled) {
  if (!canvas || !FHandle) return;
  DoDraw(index, canvas, x, y, StyleOf(style, type), enabled);
}

void TCustomImageList::DoDraw(Integer index, TCanvas* canvas, Integer x, Integer y, UINT style, bool enabled) {
  HDC dc = canvas->GetHandle();
  if (enabled) {
    ImageList_DrawEx(FHandle, index, dc, x, y, 0, 0, RgbOrNone(FBkColor), RgbOrNone(BlendColor), style);
  } else {
    ImageList_DrawEx(FHandle, index, dc, x, y, 0, 0, CLR_NONE, GetSysColor(COLOR_BTNSHADOW),
                     (style & ~(ILD_BLEND25 | ILD_BLEND50)) | ILD_TRANSPARENT | ILD_BLEND50);
  }
}

bool TCustomImageList::GetBitmap(Integer index, TBitmap* image) {
  if (!image || !FHandle || index < 0 || index >= GetCount()) return false;
  image->SetPixelFormat(TPixelFormat::pf32bit);
  image->SetSize(FWidth, FHeight);
  for (Integer y = 0; y < FHeight; ++y) {
    Byte* row = image->ScanLine(y);
    std::fill(row, row + FWidth * 4, Byte{0});
  }
  ImageList_Draw(FHandle, index, image->GetCanvas()->GetHandle(), 0, 0, ILD_TRANSPARENT);
  return true;
}

void TCustomImageList::Change() {
  if (TNotifyEvent handler = OnChange) handler(this);
}

}  // namespace pf
