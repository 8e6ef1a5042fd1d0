#pragma once
// Photo files made by the tests, written with libjpeg and libpng directly (not with the code
// under test), and a reader of the JPEG markers the lab looks at.

#include <png.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <jpeglib.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace fixtures {

struct Rgb {
  unsigned char R{0}, G{0}, B{0};
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A picture described by a function of the pixel.
using Painter = std::function<Rgb(int x, int y)>;

// Rows of `components` samples in colour space `space`, each filled by `row(y, samples)`.
inline void WriteJpegRows(const std::filesystem::path& path, int w, int h, J_COLOR_SPACE space,
                          int components, int quality,
                          const std::function<void(int, unsigned char*)>& fillRow,
                          bool adobeMarker = true, bool progressive = false) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path.string());
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = components;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (!adobeMarker) c.write_Adobe_marker = FALSE;
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(w) * components);
  for (int y = 0; y < h; ++y) {
    fillRow(y, row.data());
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

inline void WriteJpeg(const std::filesystem::path& path, int w, int h, const Painter& paint,
                      int quality = 95) {
  WriteJpegRows(path, w, h, JCS_RGB, 3, quality, [&](int y, unsigned char* row) {
    for (int x = 0; x < w; ++x) {
      const Rgb p = paint(x, y);
      row[x * 3] = p.R;
      row[x * 3 + 1] = p.G;
      row[x * 3 + 2] = p.B;
    }
  });
}

// RGBA pixels; `alpha` gives each pixel's opacity.
inline void WritePng(const std::filesystem::path& path, int w, int h, const Painter& paint,
                     const std::function<unsigned char(int, int)>& alpha = nullptr) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(w);
  img.height = static_cast<png_uint_32>(h);
  img.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const int n = alpha ? 4 : 3;
  std::vector<unsigned char> buf(static_cast<size_t>(w) * h * n);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb p = paint(x, y);
      unsigned char* d = &buf[(static_cast<size_t>(y) * w + x) * n];
      d[0] = p.R;
      d[1] = p.G;
      d[2] = p.B;
      if (alpha) d[3] = alpha(x, y);
    }
  if (!png_image_write_to_file(&img, path.c_str(), 0, buf.data(), 0, nullptr))
    throw std::runtime_error("cannot write png");
}

// A grey (the painter's red is the level) or RGB PNG of 8 or 16 bits a sample; a 16-bit sample
// is the 8-bit value times 257, so it stands for exactly that value.
inline void WritePngOfKind(const std::filesystem::path& path, int w, int h, const Painter& paint, bool grey,
                           int depth) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path.string());
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, depth, grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t n = (grey ? 1 : 3) * static_cast<size_t>(depth / 8);
  std::vector<unsigned char> row(static_cast<size_t>(w) * n);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb p = paint(x, y);
      const unsigned char samples[3] = {p.R, p.G, p.B};
      for (int c = 0; c < (grey ? 1 : 3); ++c)
        for (int b = 0; b < depth / 8; ++b) row[static_cast<size_t>(x) * n + static_cast<size_t>(c * depth / 8 + b)] = samples[c];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// A large RGB PNG written a row at a time (so making it costs the test no memory), with a
// pattern that does not compress away: byte i of row y is (i * 7 + y * 3) mod 256. `filters`
// are libpng's choice of row filters; with `alpha` the pixels get an opacity byte, 255 but for
// the transparent columns 5 to 9.
inline void WriteLargePng(const std::filesystem::path& path, int w, int h, int filters = PNG_ALL_FILTERS,
                          bool alpha = false) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path.string());
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_compression_level(png, 1);
  png_set_filter(png, 0, filters);
  png_set_IHDR(png, info, w, h, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t n = alpha ? 4 : 3;
  std::vector<unsigned char> row(static_cast<size_t>(w) * n);
  for (int y = 0; y < h; ++y) {
    for (size_t x = 0; x < static_cast<size_t>(w); ++x) {
      for (size_t c = 0; c < 3; ++c) row[x * n + c] = static_cast<unsigned char>(((x * 3 + c) * 7 + y * 3) & 0xFF);
      if (alpha) row[x * n + 3] = x >= 5 && x < 10 ? 0 : 255;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// The process's peak resident memory so far, in kilobytes.
inline long PeakKilobytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

inline void PutLE(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The file header and a 40-byte info header; a negative height stores the rows top-down.
inline std::string BmpHeader(int w, int h, int bits, uint32_t dataOffset, uint32_t paletteCount = 0,
                             uint32_t compression = 0, uint32_t fileSize = 0) {
  std::string s = "BM";
  const uint32_t fields[][2] = {{fileSize, 4}, {0, 4}, {dataOffset, 4}, {40, 4}, {static_cast<uint32_t>(w), 4},
                                {static_cast<uint32_t>(h), 4}, {1, 2}, {static_cast<uint32_t>(bits), 2},
                                {compression, 4}, {0, 4}, {0, 4}, {0, 4}, {paletteCount, 4}, {0, 4}};
  for (const auto& f : fields) PutLE(s, f[0], static_cast<int>(f[1]));
  return s;
}

// A 24-bit BI_RGB bitmap; bottom-up unless topDown.
inline std::string MakeBmp24(int w, int h, const Painter& paint, bool topDown = false) {
  const int stride = (w * 3 + 3) / 4 * 4;
  std::string s = BmpHeader(w, topDown ? -h : h, 24, 54, 0, 0, static_cast<uint32_t>(54 + stride * h));
  for (int row = 0; row < h; ++row) {
    const int y = topDown ? row : h - 1 - row;
    for (int x = 0; x < w; ++x) {
      const Rgb p = paint(x, y);
      s.push_back(static_cast<char>(p.B));
      s.push_back(static_cast<char>(p.G));
      s.push_back(static_cast<char>(p.R));
    }
    s.append(static_cast<size_t>(stride - w * 3), '\0');
  }
  return s;
}

// ---- reading what an encoder wrote ----

struct JpegMarkers {
  int Width{0}, Height{0};
  bool Jfif{false};
  int DensityUnit{-1}, DensityX{0}, DensityY{0};
  // Quantisation tables by id, in zigzag order as stored.
  std::vector<std::vector<int>> Tables = std::vector<std::vector<int>>(4);
  bool Baseline{false};
};

inline JpegMarkers ReadMarkers(const std::string& b) {
  JpegMarkers m;
  auto u8 = [&](size_t i) { return static_cast<int>(static_cast<unsigned char>(b.at(i))); };
  auto u16 = [&](size_t i) { return u8(i) * 256 + u8(i + 1); };
  if (b.size() < 4 || u8(0) != 0xFF || u8(1) != 0xD8) throw std::runtime_error("not a JPEG");
  size_t i = 2;
  while (i + 4 <= b.size()) {
    if (u8(i) != 0xFF) throw std::runtime_error("bad marker");
    const int marker = u8(i + 1);
    const size_t len = static_cast<size_t>(u16(i + 2));
    const size_t p = i + 4;
    if (marker == 0xE0 && b.compare(p, 5, std::string("JFIF\0", 5)) == 0) {
      m.Jfif = true;
      m.DensityUnit = u8(p + 7);
      m.DensityX = u16(p + 8);
      m.DensityY = u16(p + 10);
    } else if (marker == 0xDB) {
      for (size_t q = p; q < i + 2 + len;) {
        const int pq = u8(q) >> 4, id = u8(q) & 15;
        std::vector<int> t(64);
        for (int k = 0; k < 64; ++k) t[k] = pq ? u16(q + 1 + 2 * k) : u8(q + 1 + k);
        m.Tables.at(static_cast<size_t>(id)) = t;
        q += 1 + (pq ? 128 : 64);
      }
    } else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
      m.Baseline = marker == 0xC0;
      m.Height = u16(p + 1);
      m.Width = u16(p + 3);
    } else if (marker == 0xDA) {
      break;
    }
    i += 2 + len;
  }
  return m;
}

// Decodes a JPEG held in memory to RGB with libjpeg.
struct Decoded {
  int W{0}, H{0};
  std::vector<unsigned char> Px;
  Rgb At(int x, int y) const {
    const unsigned char* p = &Px[(static_cast<size_t>(y) * W + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

inline Decoded DecodeJpeg(const std::string& bytes) {
  jpeg_decompress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&c, TRUE);
  c.out_color_space = JCS_RGB;
  jpeg_start_decompress(&c);
  Decoded d;
  d.W = static_cast<int>(c.output_width);
  d.H = static_cast<int>(c.output_height);
  d.Px.resize(static_cast<size_t>(d.W) * d.H * 3);
  while (c.output_scanline < c.output_height) {
    JSAMPROW r = &d.Px[static_cast<size_t>(c.output_scanline) * d.W * 3];
    jpeg_read_scanlines(&c, &r, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return d;
}

inline bool Near(const Rgb& a, const Rgb& b, int tol) {
  return std::abs(a.R - b.R) <= tol && std::abs(a.G - b.G) <= tol && std::abs(a.B - b.B) <= tol;
}

// The quantisation tables of the JPEG standard's annex K, in natural (row by row) order.
inline const int StdLuma[64] = {
    16, 11, 10, 16, 24, 40, 51, 61,    12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56,    14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77,  24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
inline const int StdChroma[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Position in natural order of the k-th coefficient in zigzag order.
inline const int ZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A table scaled for a quality the way the IJG library documents it: below 50, 5000 / q per
// cent; from 50 on, 200 - 2q per cent; rounded, kept within 1 .. 255 for baseline; zigzag order.
inline std::vector<int> ScaledTable(const int* natural, int quality) {
  const int percent = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  std::vector<int> out(64);
  for (int k = 0; k < 64; ++k) {
    int v = (natural[ZigZag[k]] * percent + 50) / 100;
    out[k] = v < 1 ? 1 : (v > 255 ? 255 : v);
  }
  return out;
}

}  // namespace fixtures
