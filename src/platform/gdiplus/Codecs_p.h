#pragma once
// Shared pieces of the codecs.

#include <cstdio>
#include <functional>
#include <memory>

#include "platform/gdiplus/Codecs.h"

namespace pf::gdiplus::detail {

struct FileCloser {
  void operator()(FILE* f) const { if (f) std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Opens for reading; sets `status` to FileNotFound when it cannot.
FilePtr OpenFile(const String& fileName, Status& status, String* error);
void SetError(String* error, const String& text);

// Receives a decoded picture row by row. Begin answers false when the picture is refused
// (too large, no memory); the callbacks never throw.
class TRowSink {
public:
  virtual ~TRowSink() = default;
  virtual bool Begin(Integer width, Integer height) noexcept = 0;
  virtual void Row(Integer y, const Byte* rgb) noexcept = 0;
  // The last row the sink needs (exclusive); decoders may stop reading after it.
  virtual Integer EndRow() const noexcept = 0;
};

// A sink that keeps the whole picture.
class TPhotoSink : public TRowSink {
public:
  explicit TPhotoSink(TPhoto& photo) : FPhoto(photo) {}
  bool Begin(Integer width, Integer height) noexcept override;
  void Row(Integer y, const Byte* rgb) noexcept override;
  Integer EndRow() const noexcept override { return FPhoto.Height(); }

private:
  TPhoto& FPhoto;
};

// The picture's format and size, told by its first bytes; the file is left at its start.
Status ReadInfo(FILE* f, TImageInfo& info, String* error);
// LoadResampled of a file already open, whose size ReadInfo gave.
Status LoadResampled(FILE* f, const TImageInfo& info, const TRectF& srcRect, Integer dstW, Integer dstH,
                     TPhoto& out, String* error, int jpegScale);

Status JpegReadInfo(FILE* f, TImageInfo& info, String* error);
Status JpegDecode(FILE* f, int scale, TRowSink& sink, String* error);
Status PngReadInfo(FILE* f, TImageInfo& info, String* error);
Status PngDecode(FILE* f, TRowSink& sink, String* error);
Status BmpReadInfo(FILE* f, TImageInfo& info, String* error);
Status BmpDecode(FILE* f, TRowSink& sink, String* error);

}  // namespace pf::gdiplus::detail
