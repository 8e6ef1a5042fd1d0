#pragma once
// Reading BMP, JPEG and PNG files and writing JPEG. The format is told by the file's content,
// not its name. Pictures are never turned by an orientation tag: the thumbnail, the preview and
// the print must show the photo the same way round. Embedded colour profiles are ignored.

#include "platform/gdiplus/Photo.h"
#include "platform/gdiplus/Resample.h"

namespace pf::gdiplus {

enum class TImageFormat { Unknown, Bmp, Jpeg, Png };

// The colour a picture's transparent pixels are laid onto as it is decoded: white, as a print has
// no alpha, unless the caller shows the picture over a colour of its own.
struct TMatte {
  Byte R{255};
  Byte G{255};
  Byte B{255};
};

struct TImageInfo {
  TImageFormat Format{TImageFormat::Unknown};
  Integer Width{0};
  Integer Height{0};
};

// Reads only the file's header. `error` (when given) receives a reason on failure; libjpeg's
// errors, and its warnings of compressed data lost or undecodable (which fail the decode, as the
// picture would hold made-up rows), read "JPEG error #<code>".
Status ReadImageInfo(const String& fileName, TImageInfo& info, String* error = nullptr);

// Decodes the whole picture. A JPEG is decoded at `jpegScale` eighths of its size (1 to 8; the
// size is rounded up as libjpeg rounds it); other formats ignore the scale.
Status LoadImage(const String& fileName, TPhoto& photo, String* error = nullptr, int jpegScale = 8,
                 TMatte matte = {});

// libjpeg's size of a side decoded at `scale` eighths.
Integer JpegScaledSide(Integer side, int scale);

// Decodes `srcRect` (in full-size pixels of the file) and resamples it to dstW × dstH into `out`.
// A JPEG is decoded at `jpegScale` eighths, or with 0 at its full size (a print's sharpness
// needs it); rows are reduced as they arrive, so the decoded picture is never held whole.
Status LoadResampled(const String& fileName, const TRectF& srcRect, Integer dstW, Integer dstH,
                     TPhoto& out, String* error = nullptr, int jpegScale = 0, TMatte matte = {});

// Encodes as baseline JPEG with libjpeg's standard tables scaled for `quality`, 4:2:0, and the
// picture's DpiX/DpiY as the JFIF density in dots per inch.
Status SaveJpeg(const TPhoto& photo, int quality, RawBytes& out, String* error = nullptr);

}  // namespace pf::gdiplus
