#pragma once
// Shared pieces of the codecs.

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "platform/gdiplus/Codecs.h"

namespace pf::gdiplus::detail {

struct FileCloser {
  void operator()(FILE* f) const { if (f) std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Hostile files: a picture that declares more pixels than this, or whose decoding would need more
// memory than the budget, is refused as an unreadable file is, before anything large is
// allocated. A file of a hundred bytes must not cost the machine gigabytes.
constexpr int64_t MaxPicturePixels = 250'000'000;
constexpr int64_t DecodeBudget = int64_t{1} << 30;
// Rows of the picture's width that a decoder and the resampler behind it may hold at once.
constexpr int64_t RowAllowance = 96;
// Ok for a picture of width × height whose decoder needs `extra` bytes beyond its rows;
// OutOfMemory with a reason otherwise.
Status CheckDecodeSize(int64_t width, int64_t height, int64_t extra, String* error);

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
  // What the decoders lay transparent pixels onto.
  TMatte Matte;
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
// Decodes and resamples a file already open, whose size ReadInfo gave, handing the target rows
// to `out` in order as they are made.
Status DecodeResampled(FILE* f, const TImageInfo& info, const TRectF& srcRect, Integer dstW, Integer dstH,
                       int jpegScale, const TResampler::TRowOut& out, String* error, TMatte matte = {});
// LoadResampled of a file already open, whose size ReadInfo gave.
Status LoadResampled(FILE* f, const TImageInfo& info, const TRectF& srcRect, Integer dstW, Integer dstH,
                     TPhoto& out, String* error, int jpegScale, TMatte matte = {});

// The JPEG encoder fed a band of rows at a time: baseline, libjpeg's standard tables scaled for
// the quality, 4:2:0, the density in dots per inch. After a failure every call answers false and
// Finish reports it.
class TJpegWriter {
public:
  TJpegWriter();
  ~TJpegWriter();
  TJpegWriter(const TJpegWriter&) = delete;
  TJpegWriter& operator=(const TJpegWriter&) = delete;
  bool Start(Integer width, Integer height, int quality, int dpiX, int dpiY);
  bool Write(const Byte* rows, Integer count, size_t stride);
  Status Finish(RawBytes& out, String* error);

  struct Impl;

private:
  std::unique_ptr<Impl> FImpl;
};

Status JpegReadInfo(FILE* f, TImageInfo& info, String* error);
Status JpegDecode(FILE* f, int scale, TRowSink& sink, String* error);
Status PngReadInfo(FILE* f, TImageInfo& info, String* error);
Status PngDecode(FILE* f, TRowSink& sink, String* error);
Status BmpReadInfo(FILE* f, TImageInfo& info, String* error);
Status BmpDecode(FILE* f, TRowSink& sink, String* error);

}  // namespace pf::gdiplus::detail
