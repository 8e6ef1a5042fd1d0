// PNG through libpng, row by row as the rows come: only an interlaced file, whose last pass
// completes every row, is held whole. libpng reports errors by calling our error function, which
// jumps back to the function that set the jump; those functions keep only plain data in their
// frames, so the jump skips no destructor. Transparent pixels are laid onto the sink's matte here
// (white, as a print has no alpha).
//
// Hostile files: every chunk before the pixels must lie inside the file, libpng's limits make an
// oversized chunk an error instead of an allocation, the metadata we do not use (text, profiles,
// and chunks unknown to libpng) is skipped without being stored, and a picture whose rows could
// not come out of a file of its size is refused before its buffers are made.
//
// The photos' own formats, 8-bit RGB and RGBA without interlacing, skip libpng's row reader once
// libpng has read and checked everything before the pixels: inflating is the one step of a PNG
// that cannot be spread over threads, so the calling thread only reads the pixels' chunks
// (checking each one's CRC as libpng does) and inflates the rows, while the work pool undoes the
// rows' filters and hands them on a band behind.

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/gdiplus/Codecs_p.h"
#include "platform/gdiplus/Pool_p.h"
#include "platform/rtl/Strings.h"

namespace pf::gdiplus::detail {

namespace {

// Larger chunks are errors (libpng's limit on one chunk's allocation); no photo carries metadata
// of this size in a chunk that we read.
constexpr png_alloc_size_t MaxChunkBytes = 8'000'000;
// Ancillary chunks kept in memory at most (libpng's own default lets a file add a thousand).
constexpr png_uint_32 MaxStoredChunks = 64;
// Deflate packs at most about 1032 bytes into one; a picture whose rows would need more than
// this many times the file's size cannot be in the file.
constexpr int64_t MaxDeflateRatio = 1100;

// The chunks libpng knows but we never use: skipped unread, like unknown ones.
constexpr png_byte IgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                     "sBIT\0sCAL\0sPLT\0sRGB\0sTER\0tEXt\0tIME\0zTXt";
constexpr int IgnoredChunkCount = static_cast<int>(sizeof(IgnoredChunks) / 5);

struct TPng {
  png_structp Png{nullptr};
  png_infop Info{nullptr};
  char Message[160]{};
  // Filled by Open.
  png_uint_32 Width{0};
  png_uint_32 Height{0};
  // As stored in the file, before the transforms.
  int ColourType{0};
  int BitDepth{0};
  int Channels{0};  // after the transforms: 3 (RGB) or 4 (RGBA)
  int Passes{1};
  size_t RowBytes{0};

  ~TPng() {
    if (Png) png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
  }
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* self = static_cast<TPng*>(png_get_error_ptr(png));
  std::snprintf(self->Message, sizeof self->Message, "%s", message ? message : "");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

Status PngFailure(const char* message, String* error) {
  SetError(error, Utf8ToString(std::string("PNG error: ") + message));
  return Status::GenericError;
}

uint32_t U32(const Byte* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// Walks the chunks up to the first IDAT: each must fit in what is left of the file (the pixels'
// chunks are read as a stream and need no such walk). Leaves the file at its start.
bool ChunksFit(FILE* f, int64_t fileSize, String* error) {
  int64_t pos = 8;
  bool ok = true;
  while (true) {
    Byte head[8];
    if (std::fseek(f, static_cast<long>(pos), SEEK_SET) != 0 || std::fread(head, 1, 8, f) != 8) break;
    const uint32_t length = U32(head);
    if (length > PNG_UINT_31_MAX || int64_t{length} + 12 > fileSize - pos) {
      ok = false;
      break;
    }
    if (std::memcmp(head + 4, "IDAT", 4) == 0 || std::memcmp(head + 4, "IEND", 4) == 0) break;
    pos += int64_t{length} + 12;
  }
  std::rewind(f);
  if (!ok) PngFailure("a chunk reaches past the end of the file", error);
  return ok;
}

// Reads the header and the chunks before the pixels and sets up the transforms to 8-bit RGB or
// RGBA. Plain data only: libpng's errors jump back here.
bool Open(TPng& p, FILE* f) {
  p.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &p, OnPngError, OnPngWarning);
  if (!p.Png) return false;
  p.Info = png_create_info_struct(p.Png);
  if (!p.Info) return false;
  if (setjmp(png_jmpbuf(p.Png))) return false;
  png_set_chunk_malloc_max(p.Png, MaxChunkBytes);
  png_set_chunk_cache_max(p.Png, MaxStoredChunks);
  png_set_keep_unknown_chunks(p.Png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(p.Png, PNG_HANDLE_CHUNK_NEVER, IgnoredChunks, IgnoredChunkCount);
  png_init_io(p.Png, f);
  png_read_info(p.Png, p.Info);
  p.Width = png_get_image_width(p.Png, p.Info);
  p.Height = png_get_image_height(p.Png, p.Info);
  p.ColourType = png_get_color_type(p.Png, p.Info);
  p.BitDepth = png_get_bit_depth(p.Png, p.Info);
  png_set_expand(p.Png);  // palette and low bit depths to 8 bits, tRNS to alpha
  png_set_scale_16(p.Png);
  png_set_gray_to_rgb(p.Png);
  p.Passes = png_set_interlace_handling(p.Png);
  png_read_update_info(p.Png, p.Info);
  p.Channels = png_get_channels(p.Png, p.Info);
  p.RowBytes = png_get_rowbytes(p.Png, p.Info);
  return p.Channels == 3 || p.Channels == 4;
}

// Reads the rows [0, end) into `rows` (one row, reused, when `whole` is false, then each row is
// handed on at once; every row when the file is interlaced, handed on after the last pass).
bool ReadRows(TPng& p, Byte* rows, bool whole, Integer end, TRowSink& sink) {
  if (setjmp(png_jmpbuf(p.Png))) return false;
  if (!whole) {
    for (Integer y = 0; y < end; ++y) {
      png_read_row(p.Png, rows, nullptr);
      sink.Row(y, rows);
    }
    return true;
  }
  for (int pass = 0; pass < p.Passes; ++pass)
    for (png_uint_32 y = 0; y < p.Height; ++y) png_read_row(p.Png, rows + p.RowBytes * y, nullptr);
  return true;
}

// Composites an RGBA row onto the matte as RGB; `out` may be the row's own start.
void OntoMatte(const Byte* row, Byte* out, Integer width, const TMatte& matte) {
  for (Integer x = 0; x < width; ++x, row += 4, out += 3) {
    const unsigned a = row[3];
    out[0] = static_cast<Byte>((row[0] * a + matte.R * (255 - a) + 127) / 255);
    out[1] = static_cast<Byte>((row[1] * a + matte.G * (255 - a) + 127) / 255);
    out[2] = static_cast<Byte>((row[2] * a + matte.B * (255 - a) + 127) / 255);
  }
}

// Opens the file through the chunk walk and libpng and checks the picture's size.
Status OpenChecked(TPng& p, FILE* f, String* error) {
  std::fseek(f, 0, SEEK_END);
  const int64_t fileSize = std::ftell(f);
  std::rewind(f);
  if (fileSize < 8 || !ChunksFit(f, fileSize, error)) return Status::GenericError;
  if (!Open(p, f)) return PngFailure(p.Message[0] ? p.Message : "unsupported picture", error);
  const int64_t whole = p.Passes > 1 ? static_cast<int64_t>(p.RowBytes) * p.Height : 0;
  if (const Status s = CheckDecodeSize(p.Width, p.Height, whole, error); s != Status::Ok) return s;
  // The smallest rows a file can hold: one bit a pixel and the filter byte.
  if ((int64_t{p.Width} / 8 + 2) * p.Height > fileSize * MaxDeflateRatio)
    return PngFailure("the file is too short for its picture", error);
  return Status::Ok;
}


// Undoes a row's filter (the five of the format) given the row above, zeros above the first.
// False for a filter the format does not have.
bool UndoFilter(int filter, const Byte* in, const Byte* above, Byte* out, size_t bytes, size_t bpp) {
  switch (filter) {
    case 0: std::memcpy(out, in, bytes); return true;
    case 1:
      for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<Byte>(in[i] + (i >= bpp ? out[i - bpp] : 0));
      return true;
    case 2:
      for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<Byte>(in[i] + above[i]);
      return true;
    case 3:
      for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<Byte>(in[i] + (((i >= bpp ? out[i - bpp] : 0) + above[i]) >> 1));
      return true;
    case 4:
      for (size_t i = 0; i < bytes; ++i) {
        const int a = i >= bpp ? out[i - bpp] : 0, b = above[i], c = i >= bpp ? above[i - bpp] : 0;
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        out[i] = static_cast<Byte>(in[i] + (pa <= pb && pa <= pc ? a : (pb <= pc ? b : c)));
      }
      return true;
    default: return false;
  }
}

// The rows of an 8-bit RGB or RGBA picture without interlacing, read from the file's chunks.
class TFastRows {
public:
  TFastRows(FILE* f, Integer width, int channels, TRowSink& sink)
      : FFile(f), FWidth(width), FBpp(static_cast<size_t>(channels)),
        FRowBytes(static_cast<size_t>(width) * static_cast<size_t>(channels)), FSink(sink) {}
  ~TFastRows() {
    detail::TWorkPool::Instance().Wait(FJob);
    if (FZOpen) inflateEnd(&FZ);
  }
  TFastRows(const TFastRows&) = delete;
  TFastRows& operator=(const TFastRows&) = delete;

  // Hands rows [0, end) to the sink; false with Message() set when the file is damaged.
  bool Read(Integer end) {
    try {
      for (auto& band : FRaw) band.resize((FRowBytes + 1) * static_cast<size_t>(Band));
      FAbove.assign(FRowBytes, 0);
      FRow.resize(FRowBytes);
      FIn.resize(size_t{1} << 16);
    } catch (const std::bad_alloc&) {
      return Fail("out of memory");
    }
    if (inflateInit(&FZ) != Z_OK) return Fail("zlib could not start");
    FZOpen = true;
    // Past the signature; libpng has checked the chunks before the pixels.
    if (std::fseek(FFile, 8, SEEK_SET) != 0) return Fail("Read Error");
    detail::TWorkPool& pool = detail::TWorkPool::Instance();
    int current = 0;
    for (Integer y = 0; y < end;) {
      const Integer n = std::min<Integer>(Band, end - y);
      Byte* raw = FRaw[current].data();
      for (Integer i = 0; i < n; ++i)
        if (!InflateRow(raw + (FRowBytes + 1) * static_cast<size_t>(i))) return false;
      // The band before has been unfiltered (and its buffer is free) once its job is done.
      pool.Wait(FJob);
      if (FBadFilter) return Fail("bad adaptive filter value");
      pool.Post(FJob, [this, raw, y, n] { Unfilter(raw, y, n); });
      current ^= 1;
      y += n;
    }
    pool.Wait(FJob);
    if (FBadFilter) return Fail("bad adaptive filter value");
    return true;
  }
  const char* Message() const { return FMessage; }

private:
  static constexpr Integer Band = 32;

  bool Fail(const char* message) {
    if (!FMessage[0]) std::snprintf(FMessage, sizeof FMessage, "%s", message);
    return false;
  }

  // On the pool, one band after the other: the rows' filters undone in order, then handed on.
  void Unfilter(const Byte* raw, Integer y0, Integer n) {
    for (Integer i = 0; i < n && !FBadFilter; ++i) {
      const Byte* in = raw + (FRowBytes + 1) * static_cast<size_t>(i);
      if (!UndoFilter(in[0], in + 1, FAbove.data(), FRow.data(), FRowBytes, FBpp)) {
        FBadFilter = true;
        return;
      }
      FAbove.swap(FRow);
      // FAbove holds the row now; what the sink gets is a copy when the alpha goes.
      if (FBpp == 4) {
        OntoMatte(FAbove.data(), FRow.data(), FWidth, FSink.Matte);
        FSink.Row(y0 + i, FRow.data());
      } else {
        FSink.Row(y0 + i, FAbove.data());
      }
    }
  }

  // Makes input ready for zlib from the pixels' chunks, checking each chunk's CRC at its end.
  bool Fill() {
    while (FZ.avail_in == 0) {
      if (FLeft == 0) {
        Byte word[4];
        if (FInData) {
          if (std::fread(word, 1, 4, FFile) != 4) return Fail("Not enough image data");
          if (U32(word) != FCrc) return Fail("IDAT: CRC error");
          FInData = false;
        }
        Byte head[8];
        if (std::fread(head, 1, 8, FFile) != 8) return Fail("Not enough image data");
        const uint32_t length = U32(head);
        if (length > PNG_UINT_31_MAX) return Fail("PNG unsigned integer out of range");
        if (std::memcmp(head + 4, "IDAT", 4) != 0) {
          // The pixels are one run of chunks: another chunk after it ends them.
          if (FSeenData || std::memcmp(head + 4, "IEND", 4) == 0) return Fail("Not enough image data");
          if (std::fseek(FFile, static_cast<long>(length) + 4, SEEK_CUR) != 0) return Fail("Read Error");
          continue;
        }
        FSeenData = FInData = true;
        FLeft = length;
        FCrc = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), head + 4, 4));
        continue;
      }
      const size_t want = std::min<size_t>(FLeft, FIn.size());
      if (std::fread(FIn.data(), 1, want, FFile) != want) return Fail("Not enough image data");
      FCrc = static_cast<uint32_t>(crc32(FCrc, FIn.data(), static_cast<uInt>(want)));
      FLeft -= static_cast<uint32_t>(want);
      FZ.next_in = FIn.data();
      FZ.avail_in = static_cast<uInt>(want);
    }
    return true;
  }

  bool InflateRow(Byte* out) {
    FZ.next_out = out;
    FZ.avail_out = static_cast<uInt>(FRowBytes + 1);
    while (FZ.avail_out > 0) {
      if (FZ.avail_in == 0 && !Fill()) return false;
      const int r = inflate(&FZ, Z_NO_FLUSH);
      if (r == Z_STREAM_END) {
        if (FZ.avail_out > 0) return Fail("Not enough image data");
        break;
      }
      if (r != Z_OK && r != Z_BUF_ERROR) return Fail(FZ.msg ? FZ.msg : "damaged compressed data");
    }
    return true;
  }

  FILE* FFile;
  Integer FWidth;
  size_t FBpp;
  size_t FRowBytes;
  TRowSink& FSink;
  z_stream FZ{};
  bool FZOpen{false};
  std::vector<Byte> FIn;
  uint32_t FLeft{0};
  uint32_t FCrc{0};
  bool FInData{false};
  bool FSeenData{false};
  char FMessage[80]{};
  // Two bands of inflated rows, each with its filter byte: one is filled while the pool
  // unfilters the other.
  std::vector<Byte> FRaw[2];
  // The pool's side: the row above and the row being made.
  std::vector<Byte> FAbove;
  std::vector<Byte> FRow;
  bool FBadFilter{false};
  detail::TWorkPool::TGroup FJob;
};

}  // namespace

Status PngReadInfo(FILE* f, TImageInfo& info, String* error) {
  TPng png;
  if (const Status s = OpenChecked(png, f, error); s != Status::Ok) return s;
  info.Format = TImageFormat::Png;
  info.Width = static_cast<Integer>(png.Width);
  info.Height = static_cast<Integer>(png.Height);
  return Status::Ok;
}

Status PngDecode(FILE* f, TRowSink& sink, String* error) {
  TPng png;
  if (const Status s = OpenChecked(png, f, error); s != Status::Ok) return s;
  const Integer width = static_cast<Integer>(png.Width);
  const Integer height = static_cast<Integer>(png.Height);
  const bool whole = png.Passes > 1;
  // The stored kind decides, not the transformed one: after the transforms a grey, palette or
  // 16-bit picture reads as 8-bit RGB too, but its stored rows are not. A tRNS chunk on an RGB
  // picture adds an alpha channel only libpng makes.
  const int colour = png.ColourType;
  if (!whole && png.BitDepth == 8 &&
      ((colour == PNG_COLOR_TYPE_RGB && png.Channels == 3) || (colour == PNG_COLOR_TYPE_RGB_ALPHA && png.Channels == 4))) {
    if (!sink.Begin(width, height)) {
      SetError(error, u"Out of memory");
      return Status::OutOfMemory;
    }
    TFastRows rows(f, width, png.Channels, sink);
    if (!rows.Read(std::min(height, sink.EndRow()))) return PngFailure(rows.Message(), error);
    return Status::Ok;
  }
  std::vector<Byte> rows;
  try {
    rows.resize(png.RowBytes * (whole ? png.Height : 1));
  } catch (const std::bad_alloc&) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  if (!sink.Begin(width, height)) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  const Integer end = std::min(height, sink.EndRow());
  // RGBA rows become RGB on their way to the sink.
  struct TMatteSink : TRowSink {
    TRowSink& Next;
    Integer Width;
    bool Alpha;
    TMatteSink(TRowSink& next, Integer width, bool alpha) : Next(next), Width(width), Alpha(alpha) {}
    bool Begin(Integer, Integer) noexcept override { return true; }
    void Row(Integer y, const Byte* rgb) noexcept override {
      if (Alpha) OntoMatte(rgb, const_cast<Byte*>(rgb), Width, Next.Matte);
      Next.Row(y, rgb);
    }
    Integer EndRow() const noexcept override { return Next.EndRow(); }
  } out(sink, width, png.Channels == 4);
  if (!ReadRows(png, rows.data(), whole, end, out)) return PngFailure(png.Message, error);
  if (whole)
    for (Integer y = 0; y < end; ++y) out.Row(y, rows.data() + png.RowBytes * static_cast<size_t>(y));
  return Status::Ok;
}

}  // namespace pf::gdiplus::detail
