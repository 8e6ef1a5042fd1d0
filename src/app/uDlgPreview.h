#pragma once
// The enlarged preview of one photo: turned as it will be printed, at most 80 % of the work area,
// with the crop frame blinking over it. The frame moves with the mouse or the arrow keys, more
// finely than on the 200-pixel thumbnail; the main window reads its place back when it closes.

#include <memory>

#include "app/uItems.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/gdiplus/Photo.h"

namespace app {

inline const String PreviewCaption = u"Просмотр увеличенной фотографии";

class TDlgPreview : public TForm {
  PF_CLASS(TDlgPreview)
public:
  TShape* shpFrame{nullptr};
  TPaintBox* pbThumb{nullptr};
  TTimer* tmrBlink{nullptr};
  TButton* btnClose{nullptr};

  // Loads, turns and scales the photo, sizes and places the window and the frame. False, with
  // LastError telling why, when the photo cannot be shown.
  bool PrepareImage(TImageItemEx* Item);
  const String& LastError() const { return FLastError; }

  // 0 the frame's left, 1 its top, 2 its width, 3 its height, 4 and 5 the picture's left and top,
  // 6 and 7 its width and height; 0 for any other index.
  Integer GetFrameProp(Integer Index) const;
  // 0 and 1 move the frame, kept on the picture; 2 and 3 size it.
  void SetFrameProp(Integer Index, Integer Value);
  // The frame's place in thumbnail pixels, never past either end of the thumbnail.
  Integer GetFrameOffset() const;

  // The picture shown (its pixels are what the paint box draws).
  const gdiplus::TPhoto* Image() const { return FImage.get(); }

  // The largest preview: 80 % of the work area each way.
  static TSize MaxPictureSize(const TRect& WorkArea);
  // The reduced JPEG scale (eighths: 1, 2, 4 or 8) for a FileW × FileH photo shown at
  // PictureW × PictureH: the smallest decode that still has at least the picture's pixels.
  static int PreviewJpegScale(Integer FileW, Integer FileH, Integer PictureW, Integer PictureH);

protected:
  void Create(TComponent* AOwner) override;
  void Destroy() override;
  // The picture in the screen's byte order, which the paint box draws; raises std::bad_alloc when
  // there is no memory for it.
  virtual TDIB* ScreenCopy(const gdiplus::TPhoto& Picture) const;

private:
  void FormKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void pbThumbPaint(TObject* Sender);
  void tmrBlinkTimer(TObject* Sender);
  void shpFrameMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  void shpFrameMouseMove(TObject* Sender, TShiftState Shift, Integer X, Integer Y);
  void shpFrameMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  // Makes FImage; false with FLastError set.
  bool LoadPicture(TImageItemEx* Item, const TRect& WorkArea);
  void PlaceFrame(TImageItemEx* Item);

  std::unique_ptr<gdiplus::TPhoto> FImage;
  TDIB* FScreen{nullptr};  // FImage in the screen's byte order, drawn by the paint box
  TImageItemEx* FImageItem{nullptr};
  String FLastError;
  bool FFrameDragging{false};
  TPoint FStartPoint;
  TPoint FStartMovePoint;
};

// The desktop's work area (the screen without its panels), or the whole screen.
TRect WorkArea();

}  // namespace app
