#include "platform/gdiplus/Print.h"

#include "platform/gdiplus/Codecs_p.h"

#include <algorithm>
#include <new>

namespace pf::gdiplus {

namespace {

bool Swaps(RotateFlipType turn) {
  return turn == RotateFlipType::Rotate90FlipNone || turn == RotateFlipType::Rotate270FlipNone;
}

// One quarter turn clockwise more.
RotateFlipType Plus90(RotateFlipType turn) {
  switch (turn) {
    case RotateFlipType::RotateNoneFlipNone: return RotateFlipType::Rotate90FlipNone;
    case RotateFlipType::Rotate90FlipNone: return RotateFlipType::Rotate180FlipNone;
    case RotateFlipType::Rotate180FlipNone: return RotateFlipType::Rotate270FlipNone;
    default: return RotateFlipType::RotateNoneFlipNone;
  }
}

}  // namespace

TSize TurnedSize(Integer width, Integer height, RotateFlipType turn) {
  return Swaps(turn) ? TSize{height, width} : TSize{width, height};
}

TRect UnturnRect(const TRect& r, Integer width, Integer height, RotateFlipType turn) {
  const Integer w = r.Width();
  const Integer h = r.Height();
  switch (turn) {
    case RotateFlipType::Rotate90FlipNone:  // turned (x', y') = (height - 1 - y, x)
      return TRect{r.Top, height - r.Left - w, r.Top + h, height - r.Left};
    case RotateFlipType::Rotate270FlipNone:  // turned (x', y') = (y, width - 1 - x)
      return TRect{width - r.Top - h, r.Left, width - r.Top, r.Left + w};
    case RotateFlipType::Rotate180FlipNone:
      return TRect{width - r.Left - w, height - r.Top - h, width - r.Left, height - r.Top};
    default:
      return r;
  }
}

TRect ClampRect(const TRect& r, Integer width, Integer height) {
  const Integer w = std::clamp(r.Width(), 1, std::max(width, 1));
  const Integer h = std::clamp(r.Height(), 1, std::max(height, 1));
  const Integer l = std::clamp(r.Left, 0, std::max(width - w, 0));
  const Integer t = std::clamp(r.Top, 0, std::max(height - h, 0));
  return TRect{l, t, l + w, t + h};
}

Status RenderPrint(const String& fileName, const TPrintJob& job, RawBytes& jpeg, String* error) {
  const TRect target = job.Target;
  if (job.Width <= 0 || job.Height <= 0 || target.Width() <= 0 || target.Height() <= 0) {
    if (error) *error = u"Invalid parameter";
    return Status::InvalidParameter;
  }
  // The size and the pixels come from one open file.
  Status status = Status::Ok;
  detail::FilePtr file = detail::OpenFile(fileName, status, error);
  if (!file) return status;
  TImageInfo info;
  status = detail::ReadInfo(file.get(), info, error);
  if (status != Status::Ok) return status;
  const TSize turned = TurnedSize(info.Width, info.Height, job.Turn);
  // Rounding must never reach outside the photo: a sample from outside would print a seam.
  const TRect source = ClampRect(job.Source, turned.cx, turned.cy);
  const TRect stored = UnturnRect(source, info.Width, info.Height, job.Turn);
  // The part is resampled as stored in the file, to the target's size as stored, and turned
  // afterwards: a quarter turn and a separable filter commute, and turning the small result is
  // cheaper than turning the photo.
  const TSize piece = TurnedSize(target.Width(), target.Height(), job.Turn);
  const bool portrait = job.Height > job.Width && job.StoreLandscape;
  try {
    TPhoto part;
    status = detail::LoadResampled(file.get(), info,
                           TRectF{static_cast<double>(stored.Left), static_cast<double>(stored.Top),
                                  static_cast<double>(stored.Width()), static_cast<double>(stored.Height())},
                           piece.cx, piece.cy, part, error, 0);
    if (status != Status::Ok) return status;
    TPhoto sheet;
    const bool whole = target == TRect{0, 0, job.Width, job.Height};
    if (whole) {
      // The part fills the sheet: one turn, with the landscape turn folded into it.
      const RotateFlipType turn = portrait ? Plus90(job.Turn) : job.Turn;
      sheet = turn == RotateFlipType::RotateNoneFlipNone ? std::move(part) : RotateFlip(part, turn);
    } else {
      TPhoto placed = RotateFlip(part, job.Turn);
      part = TPhoto();
      TPhoto canvas(job.Width, job.Height);
      Fill(canvas, 255, 255, 255);
      CopyPhoto(canvas, target.Left, target.Top, placed);
      placed = TPhoto();
      sheet = portrait ? RotateFlip(canvas, RotateFlipType::Rotate90FlipNone) : std::move(canvas);
    }
    sheet.DpiX = job.Dpi;
    sheet.DpiY = job.Dpi;
    return SaveJpeg(sheet, job.Quality, jpeg, error);
  } catch (const std::bad_alloc&) {
    if (error) *error = u"Out of memory";
    return Status::OutOfMemory;
  }
}

}  // namespace pf::gdiplus
