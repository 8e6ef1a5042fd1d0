// PNG through libpng's simplified interface, which reports errors by return value and never
// leaves the process. Transparent pixels are laid onto white here, as a print has no alpha.

#include <png.h>

#include <vector>

#include "platform/gdiplus/Codecs_p.h"
#include "platform/rtl/Strings.h"

namespace pf::gdiplus::detail {

namespace {

struct TPngImage {
  png_image Image{};
  TPngImage() { Image.version = PNG_IMAGE_VERSION; }
  ~TPngImage() { png_image_free(&Image); }
};

Status PngFailure(const png_image& image, String* error) {
  SetError(error, Utf8ToString(std::string("PNG error: ") + image.message));
  return Status::GenericError;
}

}  // namespace

Status PngReadInfo(FILE* f, TImageInfo& info, String* error) {
  TPngImage png;
  if (!png_image_begin_read_from_stdio(&png.Image, f)) return PngFailure(png.Image, error);
  info.Format = TImageFormat::Png;
  info.Width = static_cast<Integer>(png.Image.width);
  info.Height = static_cast<Integer>(png.Image.height);
  return Status::Ok;
}

Status PngDecode(FILE* f, TRowSink& sink, String* error) {
  TPngImage png;
  if (!png_image_begin_read_from_stdio(&png.Image, f)) return PngFailure(png.Image, error);
  const bool alpha = (png.Image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.Image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const Integer width = static_cast<Integer>(png.Image.width);
  const Integer height = static_cast<Integer>(png.Image.height);
  if (static_cast<int64_t>(width) * height > MaxPixels) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  std::vector<Byte> buffer;
  try {
    buffer.resize(PNG_IMAGE_SIZE(png.Image));
  } catch (const std::bad_alloc&) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  if (!png_image_finish_read(&png.Image, nullptr, buffer.data(), 0, nullptr))
    return PngFailure(png.Image, error);
  if (!sink.Begin(width, height)) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  const size_t stride = PNG_IMAGE_ROW_STRIDE(png.Image);
  const Integer end = std::min(height, sink.EndRow());
  if (!alpha) {
    for (Integer y = 0; y < end; ++y) sink.Row(y, buffer.data() + stride * static_cast<size_t>(y));
    return Status::Ok;
  }
  // Composite onto white in place: each RGBA row becomes an RGB row at its own start.
  for (Integer y = 0; y < end; ++y) {
    Byte* row = buffer.data() + stride * static_cast<size_t>(y);
    Byte* out = row;
    for (Integer x = 0; x < width; ++x, row += 4, out += 3) {
      const unsigned a = row[3];
      const unsigned back = 255 * (255 - a);
      out[0] = static_cast<Byte>((row[0] * a + back + 127) / 255);
      out[1] = static_cast<Byte>((row[1] * a + back + 127) / 255);
      out[2] = static_cast<Byte>((row[2] * a + back + 127) / 255);
    }
    sink.Row(y, buffer.data() + stride * static_cast<size_t>(y));
  }
  return Status::Ok;
}

}  // namespace pf::gdiplus::detail
