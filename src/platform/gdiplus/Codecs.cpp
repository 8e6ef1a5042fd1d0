#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/gdiplus/Codecs_p.h"
#include "platform/rtl/Strings.h"

namespace pf::gdiplus {

namespace detail {

FilePtr OpenFile(const String& fileName, Status& status, String* error) {
  FilePtr f(std::fopen(StringToUtf8(fileName).c_str(), "rb"));
  if (!f) {
    status = Status::FileNotFound;
    SetError(error, u"The file could not be opened");
  }
  return f;
}

void SetError(String* error, const String& text) {
  if (error) *error = text;
}

Status CheckDecodeSize(int64_t width, int64_t height, int64_t extra, String* error) {
  // Sides of no size are the format readers' to refuse.
  if ((height > 0 && width > MaxPicturePixels / height) ||
      width * 4 * RowAllowance + extra > DecodeBudget) {
    SetError(error, u"The picture is too large");
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

bool TPhotoSink::Begin(Integer width, Integer height) noexcept {
  try {
    FPhoto = TPhoto(width, height);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void TPhotoSink::Row(Integer y, const Byte* rgb) noexcept {
  std::copy_n(rgb, FPhoto.Stride(), FPhoto.Scan(y));
}

namespace {

// Tells the format by the file's first bytes, then rewinds it.
TImageFormat Sniff(FILE* f) {
  Byte head[8] = {};
  const size_t n = std::fread(head, 1, sizeof head, f);
  std::rewind(f);
  if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return TImageFormat::Jpeg;
  if (n >= 8 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G' &&
      head[4] == '\r' && head[5] == '\n' && head[6] == 0x1A && head[7] == '\n')
    return TImageFormat::Png;
  if (n >= 2 && head[0] == 'B' && head[1] == 'M') return TImageFormat::Bmp;
  return TImageFormat::Unknown;
}

Status Unknown(String* error) {
  SetError(error, u"Unknown image format");
  return Status::UnknownImageFormat;
}

Status Decode(FILE* f, TImageFormat format, int jpegScale, TRowSink& sink, String* error) {
  switch (format) {
    case TImageFormat::Jpeg: return JpegDecode(f, jpegScale, sink, error);
    case TImageFormat::Png: return PngDecode(f, sink, error);
    case TImageFormat::Bmp: return BmpDecode(f, sink, error);
    default: return Unknown(error);
  }
}

// Feeds decoded rows straight into a resampler made once the decoded size is known; the
// resampler hands its rows to `out`.
class TResampleSink : public TRowSink {
public:
  TResampleSink(Integer fullW, Integer fullH, const TRectF& rect, Integer dstW, Integer dstH,
                TResampler::TRowOut out)
      : FFullW(fullW), FFullH(fullH), FRect(rect), FDstW(dstW), FDstH(dstH), FOut(std::move(out)) {}

  bool Begin(Integer width, Integer height) noexcept override {
    const double sx = static_cast<double>(width) / FFullW;
    const double sy = static_cast<double>(height) / FFullH;
    try {
      FResampler.emplace(width, height,
                         TRectF{FRect.X * sx, FRect.Y * sy, FRect.Width * sx, FRect.Height * sy},
                         FDstW, FDstH, FOut);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  void Row(Integer y, const Byte* rgb) noexcept override { FResampler->PushRow(y, rgb); }
  Integer EndRow() const noexcept override { return FResampler->EndRow(); }
  TResampler& Resampler() { return *FResampler; }

private:
  Integer FFullW, FFullH;
  TRectF FRect;
  Integer FDstW, FDstH;
  TResampler::TRowOut FOut;
  std::optional<TResampler> FResampler;
};

}  // namespace

Status ReadInfo(FILE* f, TImageInfo& info, String* error) {
  Status status;
  switch (Sniff(f)) {
    case TImageFormat::Jpeg: status = JpegReadInfo(f, info, error); break;
    case TImageFormat::Png: status = PngReadInfo(f, info, error); break;
    case TImageFormat::Bmp: status = BmpReadInfo(f, info, error); break;
    default: return Unknown(error);
  }
  std::rewind(f);
  return status;
}

Status DecodeResampled(FILE* f, const TImageInfo& info, const TRectF& srcRect, Integer dstW, Integer dstH,
                       int jpegScale, const TResampler::TRowOut& out, String* error, TMatte matte) {
  if (dstW <= 0 || dstH <= 0 || srcRect.Width <= 0 || srcRect.Height <= 0) {
    SetError(error, u"Invalid parameter");
    return Status::InvalidParameter;
  }
  // A print decodes the JPEG whole: libjpeg's reduced decodes leave aliasing and block edges of
  // their own, and on detailed photos even a decode four times the print's size comes out
  // under 45 dB against a full decode, where the full decode keeps the print as sharp as the
  // photo allows.
  const int scale = info.Format == TImageFormat::Jpeg && jpegScale > 0 ? jpegScale : 8;
  TResampleSink sink(info.Width, info.Height, srcRect, dstW, dstH, out);
  sink.Matte = matte;
  const Status status = Decode(f, info.Format, scale, sink, error);
  if (status != Status::Ok) return status;
  sink.Resampler().Finish();
  return Status::Ok;
}

Status LoadResampled(FILE* f, const TImageInfo& info, const TRectF& srcRect, Integer dstW, Integer dstH,
                     TPhoto& out, String* error, int jpegScale, TMatte matte) {
  try {
    TPhoto result(std::max(dstW, 0), std::max(dstH, 0));
    const Status status = DecodeResampled(f, info, srcRect, dstW, dstH, jpegScale,
                                          [&](Integer y, const Byte* rgb) { PutRow(result, 0, y, rgb, dstW); }, error,
                                          matte);
    if (status == Status::Ok) out = std::move(result);
    return status;
  } catch (const std::bad_alloc&) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
}

}  // namespace detail

Status ReadImageInfo(const String& fileName, TImageInfo& info, String* error) {
  Status status = Status::Ok;
  detail::FilePtr f = detail::OpenFile(fileName, status, error);
  if (!f) return status;
  return detail::ReadInfo(f.get(), info, error);
}

Status LoadImage(const String& fileName, TPhoto& photo, String* error, int jpegScale, TMatte matte) {
  Status status = Status::Ok;
  detail::FilePtr f = detail::OpenFile(fileName, status, error);
  if (!f) return status;
  TPhoto result;
  detail::TPhotoSink sink(result);
  sink.Matte = matte;
  status = detail::Decode(f.get(), detail::Sniff(f.get()), jpegScale, sink, error);
  if (status == Status::Ok) photo = std::move(result);
  return status;
}

Integer JpegScaledSide(Integer side, int scale) {
  return static_cast<Integer>((static_cast<int64_t>(side) * scale + 7) / 8);
}

Status LoadResampled(const String& fileName, const TRectF& srcRect, Integer dstW, Integer dstH,
                     TPhoto& out, String* error, int jpegScale, TMatte matte) {
  if (dstW <= 0 || dstH <= 0 || srcRect.Width <= 0 || srcRect.Height <= 0) {
    detail::SetError(error, u"Invalid parameter");
    return Status::InvalidParameter;
  }
  // One open file for the size and the pixels, so both come from the same picture.
  Status status = Status::Ok;
  detail::FilePtr f = detail::OpenFile(fileName, status, error);
  if (!f) return status;
  TImageInfo info;
  status = detail::ReadInfo(f.get(), info, error);
  if (status != Status::Ok) return status;
  return detail::LoadResampled(f.get(), info, srcRect, dstW, dstH, out, error, jpegScale, matte);
}

}  // namespace pf::gdiplus
