#pragma once
// The benchmark's photo work, shared by photo_tool and the quality check of photo_bench: the
// same calls the program makes for a thumbnail and for a print.

#include <algorithm>

#include "platform/gdiplus/Codecs.h"
#include "platform/gdiplus/Print.h"

namespace bench {

using namespace pf;
using namespace pf::gdiplus;

// The thumbnail: 200 pixels on the longer side, a JPEG decoded at 1/8 above 1600 pixels and at
// 1/4 above 800, resampled row by row.
inline Status MakeThumb(const String& file, TPhoto& thumb) {
  TImageInfo info;
  Status s = ReadImageInfo(file, info);
  if (s != Status::Ok) return s;
  const double scale = std::max(info.Width / 200.0, info.Height / 200.0);
  const Integer w = info.Width >= info.Height ? 200 : static_cast<Integer>(info.Width / scale);
  const Integer h = info.Width >= info.Height ? static_cast<Integer>(info.Height / scale) : 200;
  const int jpegScale = std::max(info.Width, info.Height) > 1600 ? 1 : (std::max(info.Width, info.Height) > 800 ? 2 : 8);
  return LoadResampled(file, TRectF{0, 0, double(info.Width), double(info.Height)}, w, h, thumb, nullptr, jpegScale);
}

// The print: the centre of the photo in the print's shape, resampled to width × height,
// JPEG at quality 90 and 300 dpi.
inline TPrintJob PrintJob(Integer photoW, Integer photoH, Integer width, Integer height) {
  TPrintJob job;
  const double ar = double(width) / height;
  Integer sw = photoW, sh = photoH;
  if (double(photoW) / photoH > ar) sw = static_cast<Integer>(photoH * ar + 0.5);
  else sh = static_cast<Integer>(photoW / ar + 0.5);
  job.Source = TRect{(photoW - sw) / 2, (photoH - sh) / 2, (photoW - sw) / 2 + sw, (photoH - sh) / 2 + sh};
  job.Width = width;
  job.Height = height;
  job.Target = TRect{0, 0, width, height};
  return job;
}

}  // namespace bench
