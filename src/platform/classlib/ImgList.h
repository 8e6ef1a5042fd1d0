#pragma once
// The class library's image list component over the drawing library's image lists: pictures of
// one size added from bitmaps and drawn onto a canvas by index, with a drawing step descendants
// may replace (a list that greys its disabled pictures, say).

#include "platform/classlib/Component.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/ImageList.h"

namespace pf {

enum class TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum class TImageType { itImage, itMask };
enum class TColorDepth { cdDeviceDependent, cd4Bit, cd8Bit, cd16Bit, cd24Bit, cd32Bit };
using TOverlay = uint8_t;  // 0 to 14: overlays 1 to 15 of the platform

class TCustomImageList : public TComponent {
  PF_CLASS(TCustomImageList)
public:
  Integer GetWidth() const { return FWidth; }
  Integer GetHeight() const { return FHeight; }
  // A new size empties the list.
  void SetWidth(Integer v) { SetSize(v, FHeight); }
  void SetHeight(Integer v) { SetSize(FWidth, v); }
  void SetSize(Integer w, Integer h);
  Integer GetCount() const;

  // The platform's list, made on first use.
  HIMAGELIST GetHandle();
  bool HandleAllocated() const { return FHandle != nullptr; }

  TColor GetBkColor() const { return FBkColor; }
  void SetBkColor(TColor c);
  TColor BlendColor{clNone};
  TDrawingStyle DrawingStyle{TDrawingStyle::dsNormal};
  TImageType ImageType{TImageType::itImage};
  bool GetMasked() const { return FMasked; }
  void SetMasked(bool v);
  // Device-dependent is 32 bits here: pictures with alpha keep it.
  TColorDepth GetColorDepth() const { return FColorDepth; }
  void SetColorDepth(TColorDepth v);

  // The pictures of `image` side by side; `mask` (optional) marks transparent pixels white.
  // Answers the index of the first, or -1.
  Integer Add(TBitmap* image, TBitmap* mask);
  Integer AddMasked(TBitmap* image, TColor maskColor);
  void Replace(Integer index, TBitmap* image, TBitmap* mask);
  void Delete(Integer index);
  void Clear();
  // Makes picture `imageIndex` the overlay `overlay` (0 based).
  bool Overlay(Integer imageIndex, TOverlay overlay);
  // Draws picture `index` at (x, y) in the list's drawing style.
  void Draw(TCanvas* canvas, Integer x, Integer y, Integer index, bool enabled = true);
  void Draw(TCanvas* canvas, Integer x, Integer y, Integer index, TDrawingStyle style, TImageType type,
            bool enabled = true);
  // The picture as a 32-bit bitmap of the list's size.
  bool GetBitmap(Integer index, TBitmap* image);

  TNotifyEvent OnChange;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  // The drawing step: enabled pictures go through ImageList_DrawEx with the list's colours;
  // disabled ones are drawn half-blended with the button shadow colour.
  virtual void DoDraw(Integer index, TCanvas* canvas, Integer x, Integer y, UINT style, bool enabled);
  virtual void Change();

private:
  void FreeHandle();
  HIMAGELIST FHandle{nullptr};
  Integer FWidth{16};
  Integer FHeight{16};
  TColor FBkColor{clNone};
  bool FMasked{true};
  TColorDepth FColorDepth{TColorDepth::cdDeviceDependent};
};

class TImageList : public TCustomImageList {
  PF_CLASS(TImageList)
};

}  // namespace pf
