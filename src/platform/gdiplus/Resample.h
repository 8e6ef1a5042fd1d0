#pragma once
// High-quality bicubic resampling: a separable cubic (a = -0.5) whose support widens by the
// reduction factor, so a reduced picture is low-pass filtered first and shows no aliasing. Samples
// are taken only inside the source rectangle (edge pixels are repeated), so a print never shows a
// seam from outside the part of the photo the customer chose.

#include <functional>
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
// not be held in memory: each row is reduced to the target width as it comes, and each target
// row is made and handed on as soon as the rows under it are in. Only the reduced rows that a
// later target row still needs are kept, so the memory is a few bands of the target's width
// whatever the source's height. Bands of rows are reduced on the layer's worker pool while the
// decoder goes on with the next band.
class TResampler {
public:
  // Receives the target rows in order, from 0 up: row `y` of dstWidth pixels, 3 bytes each.
  // Called on a worker thread; never twice at once.
  using TRowOut = std::function<void(Integer y, const Byte* rgb)>;

  // `srcRect` is clipped to the source picture. Raises std::bad_alloc when the work buffer
  // cannot be had.
  TResampler(Integer srcWidth, Integer srcHeight, const TRectF& srcRect, Integer dstWidth,
             Integer dstHeight, TRowOut out);
  ~TResampler();
  TResampler(const TResampler&) = delete;
  TResampler& operator=(const TResampler&) = delete;

  // The source rows needed: [FirstRow, EndRow). Rows outside may be pushed and are ignored.
  Integer FirstRow() const;
  Integer EndRow() const;
  // Takes source row `y` (3 bytes a pixel, srcWidth pixels). Rows arrive in ascending order.
  void PushRow(Integer y, const Byte* rgb);
  // Hands on every target row not handed on yet; rows the source never gave repeat its last.
  void Finish();

  // Bytes this resampler holds, whatever the source's height (for tests of the bound).
  size_t BufferBytes() const;

private:
  friend Status DrawImage(TPhoto&, const TRect&, const TPhoto&, const TRectF&);
  struct Impl;
  std::unique_ptr<Impl> FImpl;
};

// Copies a row of `width` pixels into `dst` at (x, y), clipped to `dst`.
void PutRow(TPhoto& dst, Integer x, Integer y, const Byte* rgb, Integer width);

// Draws `srcRect` of `src` into `dstRect` of `dst` (GDI+'s DrawImage with high-quality bicubic
// interpolation, unit pixel). Fails with InvalidParameter for an empty rectangle.
Status DrawImage(TPhoto& dst, const TRect& dstRect, const TPhoto& src, const TRectF& srcRect);

}  // namespace pf::gdiplus
