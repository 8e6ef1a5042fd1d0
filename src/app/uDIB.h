#pragma once
// The program's own in-memory picture for photo thumbnails: a top-down 24-bit buffer (blue,
// green, red; rows padded to 4 bytes) that can be filled from an image file, turned by quarter
// turns and copied.

#include <memory>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdiplus/Photo.h"
#include "platform/rtl/Object.h"

namespace app {

using namespace pf;

class TDIB : public TObject {
  PF_CLASS(TDIB)
public:
  bool IsEmpty() const;
  Byte* ScanLine(Integer Y) const { return FBits.get() + static_cast<size_t>(Y) * FLine; }
  void SetSize(Integer W, Integer H);
  void Clear();
  TDIB* Clone() const;
  void Assign(const TDIB* Source);
  // A 24-bit bitmap, row by row; an empty or missing bitmap clears the buffer.
  void Assign(TBitmap* Bitmap);
  // The photo layer's picture (red, green, blue) into this buffer's byte order.
  void Assign(const gdiplus::TPhoto& Photo);

  // At (X, Y) in full size, straight from the buffer.
  void Draw(TCanvas* Canvas, Integer X, Integer Y) const;
  // Stretched into Rect with halftone filtering.
  void Draw(TCanvas* Canvas, const TRect& Rect) const;
  // Centred in Rect, also when larger than it.
  void DrawCenter(TCanvas* Canvas, const TRect& Rect) const;

  // Fills the buffer with a thumbnail of the image file (at most 200 × 200) and reports the
  // image's full size. A file that cannot be read leaves the buffer and the sizes as they were;
  // a picture with a side under 100 pixels reports its size and leaves the buffer unchanged.
  void ExtractThumb(const String& FileName, Integer& Width, Integer& Height);

  void RotateLeft();
  void RotateRight();

  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  Integer Line() const { return FLine; }
  Integer Pad() const { return FPad; }

protected:
  void Destroy() override;

private:
  BITMAPINFO Header() const;
  // Takes the pixels of `Other`, which is left empty.
  void TakeOver(TDIB& Other);
  // A quarter turn, clockwise or counter-clockwise.
  void Turn(bool Clockwise);

  Integer FWidth{0};
  Integer FHeight{0};
  Integer FLine{0};
  Integer FPad{0};
  std::unique_ptr<Byte[]> FBits;
};

// The thumbnail's size for a picture of Width × Height: 200 on the longer side, the other side
// truncated; 200 × 200 for a square.
TSize ThumbSize(Integer Width, Integer Height);

// The reduced scale at which the thumbnail decodes a JPEG file of Width × Height, in eighths:
// 1 when a side exceeds 1600 pixels, 2 when one exceeds 800, else 8 (full size). Other files
// are always decoded whole.
int ThumbJpegScale(const String& FileName, Integer Width, Integer Height);

}  // namespace app
