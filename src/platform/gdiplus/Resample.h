#pragma once
// High-quality bicubic resampling: a separable cubic (a = -0.5) whose support widens by the
// reduction factor, so a reduced picture is low-pass filtered first and shows no aliasing. Samples
// are taken only inside the source rectangle (edge pixels are repeated), so a print never shows a
// seam from outside the part of the photo the customer chose.

#include <memory>
#include <vector>

#include "platform/gdiplus/Photo.h"

namespace pf::gdiplus {

// A rectangle in source pixels; fractional where a picture was decoded at a reduced scale.
struct TRectF {
  double X{0};
  double Y{0};
  double Width{0};
  double Height{0};
};

// Resamples a picture given row by row (as a decoder delivers them), so the whole source need
// not be held in memory: only the rows already reduced to the target width are kept.
class TResampler {
public:
  // `srcRect` is clipped to the source picture. Raises std::bad_alloc when the work buffer
  // cannot be had.
  TResampler(Integer srcWidth, Integer srcHeight, const TRectF& srcRect, Integer dstWidth,
             Integer dstHeight);
  ~TResampler();
  TResampler(const TResampler&) = delete;
  TResampler& operator=(const TResampler&) = delete;

  // The source rows needed: [FirstRow, EndRow). Rows outside may be pushed and are ignored.
  Integer FirstRow() const;
  Integer EndRow() const;
  // Takes source row `y` (3 bytes a pixel, srcWidth pixels). Rows arrive in ascending order.
  void PushRow(Integer y, const Byte* rgb);
  // Writes the result into `dst` with its top-left corner at (dstX, dstY), clipped to `dst`.
  void Finish(TPhoto& dst, Integer dstX, Integer dstY);

private:
  friend Status DrawImage(TPhoto&, const TRect&, const TPhoto&, const TRectF&);
  struct Impl;
  std::unique_ptr<Impl> FImpl;
};

// Draws `srcRect` of `src` into `dstRect` of `dst` (GDI+'s DrawImage with high-quality bicubic
// interpolation, unit pixel). Fails with InvalidParameter for an empty rectangle.
Status DrawImage(TPhoto& dst, const TRect& dstRect, const TPhoto& src, const TRectF& srcRect);

}  // namespace pf::gdiplus
