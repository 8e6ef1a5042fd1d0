// Our own BMP reader: the Windows bitmap file with a core (12-byte) or info (40 to 124-byte)
// header; 1, 4 and 8 bits through a palette, run-length coded 4 and 8 bits, 16 and 32 bits with
// or without bit fields, 24 bits; bottom-up and top-down. Bitmaps that embed a JPEG or PNG are
// refused. Every size and offset is checked against the file, so a damaged file fails instead of
// reading past its end.

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdiplus/Codecs_p.h"

namespace pf::gdiplus::detail {

namespace {

uint32_t U16(const Byte* p) { return p[0] | (p[1] << 8); }
uint32_t U32(const Byte* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_ALPHABITFIELDS = 6;

struct TMask {
  uint32_t Mask{0};
  int Shift{0};
  uint32_t Max{0};
  void Set(uint32_t mask) {
    Mask = mask;
    Shift = mask ? std::countr_zero(mask) : 0;
    Max = mask ? (mask >> Shift) : 0;
  }
  // A mask may be as wide as the pixel: the product with 255 needs more than 32 bits.
  Byte Get(uint32_t px) const {
    if (!Max) return 0;
    return static_cast<Byte>((uint64_t{(px & Mask) >> Shift} * 255 + Max / 2) / Max);
  }
};

struct TBmpHeader {
  Integer Width{0};
  Integer Height{0};
  bool TopDown{false};
  uint32_t Bits{0};
  uint32_t Compression{0};
  uint32_t DataOffset{0};
  uint32_t PaletteOffset{0};
  uint32_t PaletteEntry{4};
  uint32_t PaletteCount{0};
  TMask R, G, B, A;
};

bool Fail(Status& status, Status value, String* error, const char16_t* text) {
  status = value;
  SetError(error, text);
  return false;
}

int64_t FileSize(FILE* f) {
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::rewind(f);
  return size;
}

// The headers and the palette lie within this many bytes of the start.
constexpr size_t HeadBytes = 14 + 124 + 16 + 256 * 4;

bool ParseHeader(const std::string& file, TBmpHeader& h, Status& status, String* error,
                 bool withPalette) {
  const auto* p = reinterpret_cast<const Byte*>(file.data());
  const size_t n = file.size();
  if (n < 26 || p[0] != 'B' || p[1] != 'M')
    return Fail(status, Status::UnknownImageFormat, error, u"Not a bitmap file");
  const uint32_t headerSize = U32(p + 14);
  if (headerSize < 12 || 14 + static_cast<size_t>(headerSize) > n)
    return Fail(status, Status::UnknownImageFormat, error, u"Damaged bitmap header");
  h.DataOffset = U32(p + 10);
  const Byte* d = p + 14;
  int32_t height = 0;
  if (headerSize == 12) {
    h.Width = static_cast<Integer>(U16(d + 4));
    height = static_cast<int16_t>(U16(d + 6));
    h.Bits = U16(d + 10);
    h.PaletteEntry = 3;
  } else if (headerSize >= 40) {
    h.Width = static_cast<int32_t>(U32(d + 4));
    height = static_cast<int32_t>(U32(d + 8));
    h.Bits = U16(d + 14);
    h.Compression = U32(d + 16);
    h.PaletteCount = U32(d + 32);
  } else {
    return Fail(status, Status::UnknownImageFormat, error, u"Unknown bitmap header");
  }
  h.TopDown = height < 0;
  h.Height = height == INT32_MIN ? 0 : (height < 0 ? -height : height);
  h.PaletteOffset = 14 + headerSize;
  if (h.Width <= 0 || h.Height <= 0)
    return Fail(status, Status::InvalidParameter, error, u"Bitmap of no size");
  if (h.Compression == BI_BITFIELDS || h.Compression == BI_ALPHABITFIELDS) {
    if (h.Bits != 16 && h.Bits != 32)
      return Fail(status, Status::UnknownImageFormat, error, u"Unsupported bitmap");
    // A 40-byte header is followed by the masks; larger headers hold them.
    const size_t masks = h.Compression == BI_ALPHABITFIELDS ? 4 : 3;
    const Byte* m = d + 40;
    if (headerSize == 40) {
      if (14 + 40 + masks * 4 > n)
        return Fail(status, Status::InvalidParameter, error, u"Damaged bitmap header");
      h.PaletteOffset += static_cast<uint32_t>(masks * 4);
    } else if (headerSize < 52) {
      return Fail(status, Status::UnknownImageFormat, error, u"Unknown bitmap header");
    }
    h.R.Set(U32(m));
    h.G.Set(U32(m + 4));
    h.B.Set(U32(m + 8));
    // The alpha mask lies after the 40-byte header or inside a header of 56 bytes or more; a
    // 52-byte header has none, and the four bytes after it are already pixels or palette.
    if ((headerSize == 40 && masks == 4) || headerSize >= 56) h.A.Set(U32(m + 12));
  } else if (h.Compression == BI_RGB) {
    if (h.Bits == 16) {
      h.R.Set(0x7C00);
      h.G.Set(0x03E0);
      h.B.Set(0x001F);
    } else if (h.Bits == 32) {
      h.R.Set(0x00FF0000);
      h.G.Set(0x0000FF00);
      h.B.Set(0x000000FF);
    } else if (h.Bits != 1 && h.Bits != 4 && h.Bits != 8 && h.Bits != 24) {
      return Fail(status, Status::UnknownImageFormat, error, u"Unsupported bitmap");
    }
  } else if ((h.Compression == BI_RLE8 && h.Bits == 8) || (h.Compression == BI_RLE4 && h.Bits == 4)) {
    // Run-length bitmaps are stored bottom-up only.
    if (h.TopDown) return Fail(status, Status::UnknownImageFormat, error, u"Unsupported bitmap");
  } else {
    return Fail(status, Status::UnknownImageFormat, error, u"Compressed bitmaps are not supported");
  }
  if (h.Bits <= 8 && withPalette) {
    const uint32_t maxCount = 1u << h.Bits;
    if (h.PaletteCount == 0 || h.PaletteCount > maxCount) h.PaletteCount = maxCount;
    if (static_cast<size_t>(h.PaletteOffset) + static_cast<size_t>(h.PaletteCount) * h.PaletteEntry > n)
      return Fail(status, Status::InvalidParameter, error, u"Damaged bitmap palette");
  }
  return true;
}

// A run of 255 pixels takes two bytes, and so does the end of a row however much of it is left;
// a sprite may skip most of its pixels, but a file of a few bytes that declares a photo's worth of
// pixels has none of them: it is refused before its rows are made.
constexpr int64_t MaxRlePixelsPerByte = 2048;

bool IsRle(const TBmpHeader& h) { return h.Compression == BI_RLE8 || h.Compression == BI_RLE4; }

Status CheckRleSize(const TBmpHeader& h, int64_t fileSize, String* error) {
  const int64_t bytes = fileSize - int64_t{h.DataOffset};
  if (bytes < 0 || int64_t{h.Width} * h.Height > (bytes + 2) * MaxRlePixelsPerByte) {
    SetError(error, u"The bitmap's pixels are cut short");
    return Status::InvalidParameter;
  }
  return Status::Ok;
}

// Run-length data (RLE8 or RLE4), held in memory as the file has it. Rows are stored bottom-up
// and the picture is handed on top-down, so a first walk notes where each stored row's codes
// begin and the rows are then decoded one at a time in the order they are needed: the picture is
// never held whole. Pixels the codes skip (a delta, a row or the bitmap ended early) take palette
// entry 0, as other readers give them; runs past the row's end are cut.
class TRleRows {
public:
  TRleRows(const std::vector<Byte>& data, Integer width, Integer height, bool four)
      : FData(data), FWidth(width), FHeight(height), FFour(four) {}

  // Notes each row's start; false when there is no memory for the list.
  bool Index() {
    try {
      FStart.assign(static_cast<size_t>(FHeight), TStart{});
    } catch (const std::bad_alloc&) {
      return false;
    }
    size_t pos = 0;
    int64_t x = 0, row = 0;
    while (row < FHeight) {
      FStart[static_cast<size_t>(row)] = TStart{pos, x, true};
      int64_t dx = 0, dy = 0;
      switch (Row(pos, x, nullptr, dx, dy)) {
        case TEnd::Line:
          x = 0;
          ++row;
          break;
        case TEnd::Delta:
          x += dx;
          row += dy;
          break;
        case TEnd::Bitmap: return true;
      }
    }
    return true;
  }

  // The indexes of stored row `row` (0 the bottom one) into `out`, FWidth bytes.
  void Decode(Integer row, Byte* out) const {
    std::memset(out, 0, static_cast<size_t>(FWidth));
    const TStart& s = FStart[static_cast<size_t>(row)];
    if (!s.Set) return;
    size_t pos = s.Pos;
    int64_t x = s.X, dx = 0, dy = 0;
    Row(pos, x, out, dx, dy);
  }

private:
  enum class TEnd { Line, Bitmap, Delta };
  struct TStart {
    size_t Pos{0};
    int64_t X{0};
    bool Set{false};
  };

  // Decodes codes from `pos` until the row is left: by its end, the bitmap's end (the data's end
  // counts as one), or a delta to a row above (dx, dy). `out` may be null to walk only.
  TEnd Row(size_t& pos, int64_t& x, Byte* out, int64_t& dx, int64_t& dy) const {
    const size_t n = FData.size();
    const Byte* d = FData.data();
    while (pos + 2 <= n) {
      const unsigned count = d[pos], value = d[pos + 1];
      pos += 2;
      if (count > 0) {
        if (out)
          for (int64_t i = 0; i < count && x + i < FWidth; ++i)
            out[x + i] = static_cast<Byte>(FFour ? (i % 2 ? value & 15 : value >> 4) : value);
        x += count;
        continue;
      }
      if (value == 0) return TEnd::Line;
      if (value == 1) return TEnd::Bitmap;
      if (value == 2) {
        if (pos + 2 > n) return TEnd::Bitmap;
        dx = d[pos];
        dy = d[pos + 1];
        pos += 2;
        if (dy > 0) return TEnd::Delta;
        x += dx;
        continue;
      }
      // Absolute mode: `value` pixels as stored, their bytes padded to a 16-bit boundary.
      const size_t bytes = FFour ? (value + 1) / 2 : value;
      if (pos + bytes > n) return TEnd::Bitmap;
      if (out)
        for (int64_t i = 0; i < value && x + i < FWidth; ++i)
          out[x + i] = static_cast<Byte>(FFour ? (i % 2 ? d[pos + i / 2] & 15 : d[pos + i / 2] >> 4) : d[pos + i]);
      x += value;
      pos += bytes + (bytes & 1);
    }
    return TEnd::Bitmap;
  }

  const std::vector<Byte>& FData;
  Integer FWidth, FHeight;
  bool FFour;
  std::vector<TStart> FStart;
};

Status DecodeRle(FILE* f, const TBmpHeader& h, const std::vector<Byte>& palette, size_t fileSize, TRowSink& sink,
                 String* error) {
  // The codes are held, and a start per row: within the budget like any decoder's buffers.
  const size_t bytes = fileSize - h.DataOffset;
  if (const Status s = CheckRleSize(h, static_cast<int64_t>(fileSize), error); s != Status::Ok) return s;
  if (const Status s = CheckDecodeSize(h.Width, h.Height, static_cast<int64_t>(bytes) + int64_t{h.Height} * 24, error);
      s != Status::Ok)
    return s;
  std::vector<Byte> data, idx, rgb;
  try {
    data.resize(bytes);
    idx.resize(static_cast<size_t>(h.Width));
    rgb.resize(static_cast<size_t>(h.Width) * 3);
  } catch (const std::bad_alloc&) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  if (std::fseek(f, static_cast<long>(h.DataOffset), SEEK_SET) != 0 || std::fread(data.data(), 1, bytes, f) != bytes) {
    SetError(error, u"The file could not be read");
    return Status::GenericError;
  }
  TRleRows rows(data, h.Width, h.Height, h.Compression == BI_RLE4);
  if (!rows.Index() || !sink.Begin(h.Width, h.Height)) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  const Integer end = std::min(h.Height, sink.EndRow());
  for (Integer y = 0; y < end; ++y) {
    rows.Decode(h.Height - 1 - y, idx.data());
    for (Integer x = 0; x < h.Width; ++x) std::memcpy(&rgb[static_cast<size_t>(x) * 3], &palette[idx[static_cast<size_t>(x)] * 3u], 3);
    sink.Row(y, rgb.data());
  }
  return Status::Ok;
}

}  // namespace

Status BmpReadInfo(FILE* f, TImageInfo& info, String* error) {
  // The palette and pixels are not needed for the size: read and check the header alone.
  std::string head(14 + 124 + 16, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), f));
  TBmpHeader h;
  Status status = Status::Ok;
  if (!ParseHeader(head, h, status, error, false)) return status;
  if (const Status s = CheckDecodeSize(h.Width, h.Height, 0, error); s != Status::Ok) return s;
  if (IsRle(h))
    if (const Status s = CheckRleSize(h, FileSize(f), error); s != Status::Ok) return s;
  info.Format = TImageFormat::Bmp;
  info.Width = h.Width;
  info.Height = h.Height;
  return Status::Ok;
}

Status BmpDecode(FILE* f, TRowSink& sink, String* error) {
  // The pixels are read a row at a time, straight from the file: a bitmap is never held whole.
  const int64_t fileSize = FileSize(f);
  std::string head(static_cast<size_t>(std::clamp<int64_t>(fileSize, 0, HeadBytes)), '\0');
  if (fileSize < 0 || std::fread(head.data(), 1, head.size(), f) != head.size()) {
    SetError(error, u"The file could not be read");
    return Status::GenericError;
  }
  TBmpHeader h;
  Status status = Status::Ok;
  if (!ParseHeader(head, h, status, error, true)) return status;
  if (const Status s = CheckDecodeSize(h.Width, h.Height, 0, error); s != Status::Ok) return s;
  const auto* base = reinterpret_cast<const Byte*>(head.data());
  std::vector<Byte> palette(256 * 3, 0);
  for (uint32_t i = 0; i < h.PaletteCount && h.Bits <= 8; ++i) {
    const Byte* e = base + h.PaletteOffset + i * h.PaletteEntry;
    palette[i * 3] = e[2];
    palette[i * 3 + 1] = e[1];
    palette[i * 3 + 2] = e[0];
  }
  const auto size = static_cast<size_t>(fileSize);
  if (IsRle(h)) return DecodeRle(f, h, palette, size, sink, error);
  const size_t stride = ((static_cast<size_t>(h.Width) * h.Bits + 31) / 32) * 4;
  if (h.DataOffset > size || stride * static_cast<size_t>(h.Height) > size - h.DataOffset) {
    SetError(error, u"The bitmap's pixels are cut short");
    return Status::InvalidParameter;
  }
  std::vector<Byte> line, rgb;
  try {
    line.resize(stride);
    rgb.resize(static_cast<size_t>(h.Width) * 3);
  } catch (const std::bad_alloc&) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  if (!sink.Begin(h.Width, h.Height)) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  const Integer end = std::min(h.Height, sink.EndRow());
  const Byte matte[3] = {sink.Matte.R, sink.Matte.G, sink.Matte.B};
  for (Integer y = 0; y < end; ++y) {
    const Integer fileRow = h.TopDown ? y : h.Height - 1 - y;
    const Byte* s = line.data();
    if (std::fseek(f, static_cast<long>(h.DataOffset + stride * static_cast<size_t>(fileRow)), SEEK_SET) != 0 ||
        std::fread(line.data(), 1, stride, f) != stride) {
      SetError(error, u"The file could not be read");
      return Status::GenericError;
    }
    Byte* o = rgb.data();
    for (Integer x = 0; x < h.Width; ++x, o += 3) {
      switch (h.Bits) {
        case 1:
        case 4:
        case 8: {
          const uint32_t perByte = 8 / h.Bits;
          const uint32_t byte = s[x / perByte];
          const uint32_t shift = (perByte - 1 - x % perByte) * h.Bits;
          const uint32_t index = (byte >> shift) & ((1u << h.Bits) - 1);
          std::memcpy(o, &palette[index * 3], 3);
          break;
        }
        case 24:
          o[0] = s[x * 3 + 2];
          o[1] = s[x * 3 + 1];
          o[2] = s[x * 3];
          break;
        default: {
          const uint32_t px = h.Bits == 16 ? U16(s + x * 2) : U32(s + x * 4);
          o[0] = h.R.Get(px);
          o[1] = h.G.Get(px);
          o[2] = h.B.Get(px);
          if (h.A.Max) {  // a real alpha channel: lay it onto the matte
            const unsigned a = h.A.Get(px);
            for (int c = 0; c < 3; ++c) o[c] = static_cast<Byte>((o[c] * a + matte[c] * (255 - a) + 127) / 255);
          }
        }
      }
    }
    sink.Row(y, rgb.data());
  }
  return Status::Ok;
}

}  // namespace pf::gdiplus::detail
