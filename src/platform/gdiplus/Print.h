#pragma once
// The drawing of one print: the photo turned, a part of it resampled into a place on a sheet of
// the print's pixel size, the sheet stored as JPEG. The geometry is the caller's; this does the
// pixel work with as little memory as it can: the photo is decoded at its full size (for the
// print's sharpness), resampled and encoded row by row on overlapping threads, so a sheet that
// needs no turn holds a few bands of rows; a turned sheet holds its part once, at the print's size.

#include "platform/gdiplus/Codecs.h"

namespace pf::gdiplus {

struct TPrintJob {
  RotateFlipType Turn{RotateFlipType::RotateNoneFlipNone};  // applied to the photo first
  TRect Source;        // the part of the turned photo, in its pixels; kept inside the photo
  Integer Width{0};    // the sheet
  Integer Height{0};
  TRect Target;        // where the part goes on the sheet; the rest of the sheet is white
  bool StoreLandscape{true};  // a sheet taller than wide is stored turned clockwise
  int Quality{90};
  int Dpi{300};
};

// The turned photo's size for a picture of width × height.
TSize TurnedSize(Integer width, Integer height, RotateFlipType turn);

// Maps a rectangle of the turned picture back onto the picture as stored in the file.
TRect UnturnRect(const TRect& r, Integer width, Integer height, RotateFlipType turn);

// Moves and cuts `r` so that it lies inside width × height, keeping its size where it fits.
TRect ClampRect(const TRect& r, Integer width, Integer height);

Status RenderPrint(const String& fileName, const TPrintJob& job, RawBytes& jpeg, String* error = nullptr);

}  // namespace pf::gdiplus
