#include "app/uPrintGeometry.h"

#include <algorithm>

#include "platform/rtl/Format.h"

namespace app {

Integer MulDivRound(Integer A, Integer B, Integer C) {
  return static_cast<Integer>(Round(static_cast<double>(static_cast<Int64>(A) * B) / C));
}

namespace {

TSize FrameSize(Integer ThumbW, Integer ThumbH, const TPhotoSize& Size) {
  const Integer PW = Size.Width;
  const Integer PH = Size.Height;
  if (PW <= 0 || PH <= 0) return TSize{ThumbW, ThumbH};
  const bool wide = ThumbW > ThumbH;  // a square picture counts as upright
  if (Size.AR() >= GetAR(ThumbW, ThumbH)) {
    // The print is at least as elongated as the picture: the frame spans its long side.
    return wide ? TSize{ThumbW, MulDivRound(ThumbW, PH, PW)} : TSize{MulDivRound(ThumbH, PH, PW), ThumbH};
  }
  return wide ? TSize{MulDivRound(ThumbH, PW, PH), ThumbH} : TSize{ThumbW, MulDivRound(ThumbW, PW, PH)};
}

}  // namespace

double GetAR(Integer A, Integer B) {
  return static_cast<double>(std::max(A, B)) / static_cast<double>(std::min(A, B));
}

Integer CalcFrameWidth(Integer ThumbW, Integer ThumbH, const TPhotoSize& Size) {
  return FrameSize(ThumbW, ThumbH, Size).cx;
}

Integer CalcFrameHeight(Integer ThumbW, Integer ThumbH, const TPhotoSize& Size) {
  return FrameSize(ThumbW, ThumbH, Size).cy;
}

Integer CalcFrameWidth(Integer ThumbW, Integer ThumbH, Integer PhotoSize) {
  return CalcFrameWidth(ThumbW, ThumbH, *order::PhotoSizes()->Items(PhotoSize));
}

Integer CalcFrameHeight(Integer ThumbW, Integer ThumbH, Integer PhotoSize) {
  return CalcFrameHeight(ThumbW, ThumbH, *order::PhotoSizes()->Items(PhotoSize));
}

void CalcBorderedSize(Integer AreaW, Integer AreaH, Integer PictureW, Integer PictureH,
                      const TPhotoSize& Size, TPoint& Box, TPoint& Fit) {
  const Integer PW = Size.Width;
  const Integer PH = Size.Height;
  if (PW <= 0 || PH <= 0 || PictureW <= 0 || PictureH <= 0) {
    // Nothing to fit (a damaged size or an empty picture): no box rather than a division by zero.
    Box = TPoint{0, 0};
    Fit = TPoint{0, 0};
    return;
  }
  if (PictureW > PictureH) {
    Box = TPoint{AreaW, MulDivRound(AreaW, PH, PW)};
    if (Box.Y > AreaH) Box = TPoint{MulDivRound(AreaH, PW, PH), AreaH};
  } else {
    Box = TPoint{MulDivRound(AreaH, PH, PW), AreaH};
    if (Box.X > AreaW) Box = TPoint{AreaW, MulDivRound(AreaW, PW, PH)};
  }
  const double scale = std::min(static_cast<double>(Box.X) / PictureW, static_cast<double>(Box.Y) / PictureH);
  Fit = TPoint{static_cast<Integer>(Round(PictureW * scale)), static_cast<Integer>(Round(PictureH * scale))};
}

void CalcBorderedSize(Integer AreaW, Integer AreaH, Integer PictureW, Integer PictureH,
                      Integer PhotoSize, TPoint& Box, TPoint& Fit) {
  CalcBorderedSize(AreaW, AreaH, PictureW, PictureH, *order::PhotoSizes()->Items(PhotoSize), Box, Fit);
}

}  // namespace app
