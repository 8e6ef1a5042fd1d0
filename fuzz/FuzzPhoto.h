#pragma once
// The photo targets: the header reader, then the thumbnail path as the thumbnail thread takes it
// (200 pixels on the longer side, a JPEG decoded at 1/8 above 1600 pixels and 1/4 above 800,
// falling back to the full size). Pictures too small for a thumbnail are still decoded, into a
// few pixels, so that the decoders see every input. A picture that would decode into more than
// 65536 pixels (at the scale the thumbnail asks for) has its header read only: its decode is
// the same code as a smaller one's, and a few hundred bytes that declare tens of megapixels (which
// JPEG allows) would slow the fuzzing a thousandfold.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gdiplus/Codecs_p.h"

namespace fuzzphoto {

using namespace pf;
using namespace pf::gdiplus;

constexpr int64_t MaxDecodedPixels = 1 << 16;
// A progressive JPEG holds (and clears) the coefficients of its whole declared size, whatever the
// scale; two megapixels still take the 1/8 path.
constexpr int64_t MaxDeclaredPixels = 1 << 21;

// The pixels a decode at scale/8 makes (libjpeg rounds the scaled size up).
inline bool Affordable(const TImageInfo& info, int scale) {
  const int64_t w = (int64_t{info.Width} * scale + 7) / 8, h = (int64_t{info.Height} * scale + 7) / 8;
  return w * h <= MaxDecodedPixels;
}

inline int RunPhoto(const uint8_t* data, size_t size, const char* magic, size_t magicSize) {
  // Each target keeps to its own format; the others have their own targets.
  if (size < magicSize || std::memcmp(data, magic, magicSize) != 0) return 0;
  FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!f) return 0;
  TImageInfo info;
  if (detail::ReadInfo(f, info, nullptr) == Status::Ok && info.Width > 0 && info.Height > 0 &&
      int64_t{info.Width} * info.Height <= MaxDeclaredPixels) {
    const TRectF whole{0, 0, static_cast<double>(info.Width), static_cast<double>(info.Height)};
    Integer w = 8, h = 8;
    int scale = 8;
    if (info.Width >= 100 && info.Height >= 100) {
      const double s = std::max(info.Width / 200.0, info.Height / 200.0);
      w = info.Width >= info.Height ? 200 : std::max<Integer>(1, static_cast<Integer>(info.Width / s));
      h = info.Width >= info.Height ? std::max<Integer>(1, static_cast<Integer>(info.Height / s)) : 200;
      const Integer side = std::max(info.Width, info.Height);
      if (info.Format == TImageFormat::Jpeg) scale = side > 1600 ? 1 : (side > 800 ? 2 : 8);
    }
    TPhoto thumb;
    std::rewind(f);
    if (Affordable(info, scale) && detail::LoadResampled(f, info, whole, w, h, thumb, nullptr, scale) != Status::Ok &&
        scale != 8 && Affordable(info, 8)) {
      std::rewind(f);
      detail::LoadResampled(f, info, whole, w, h, thumb, nullptr, 8);
    }
  }
  std::fclose(f);
  return 0;
}

}  // namespace fuzzphoto
