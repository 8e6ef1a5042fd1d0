// photo_tool thumb <in> <out.jpg>                     a thumbnail, stored at quality 75 as vipsthumbnail does
// photo_tool print <in> <width> <height> <out.jpg>    a print at quality 90 and 300 dpi
// photo_tool print-raw <in> <width> <height> <out.ppm>  the same print's pixels before encoding
// photo_tool make <detailed|own> <width> <height> <out.ppm>   a test photo (bench/setup)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "BenchPhoto.h"
#include "platform/rtl/Strings.h"

namespace {

bool WriteFile(const char* path, const pf::RawBytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WritePpm(const char* path, const bench::TPhoto& p) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << p.Width() << " " << p.Height() << "\n255\n";
  for (int y = 0; y < p.Height(); ++y) out.write(reinterpret_cast<const char*>(p.Scan(y)), static_cast<std::streamsize>(p.Stride()));
  return static_cast<bool>(out);
}

uint32_t Hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 374761393u + y * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

// Detail up to the finest pixel: one- and two-pixel checkers, small glyph-like marks, discs with
// sharp rims, a fine weave, and grain, in tiles of their own colour.
void Detailed(int x, int y, pf::Byte* d) {
  const uint32_t tile = Hash(static_cast<uint32_t>(x / 97), static_cast<uint32_t>(y / 97));
  const int cx = x % 97 - 48, cy = y % 97 - 48;
  int add = 0;
  switch (tile % 5) {
    case 0: add = ((x + y) & 1) ? 60 : -60; break;
    case 1: add = (((x >> 1) + (y >> 1)) & 1) ? 50 : -50; break;
    case 2: add = ((Hash(static_cast<uint32_t>(x / 6), static_cast<uint32_t>(y / 9)) >> (x % 6 + 6 * (y % 9) % 24)) & 1) && x % 6 < 4 && y % 9 < 7 ? -90 : 40; break;
    case 3: add = cx * cx + cy * cy < 900 ? 70 : -20; break;
    default: add = static_cast<int>(28 * std::sin(x * 2.1) * std::sin(y * 0.9) + 18 * std::sin((x + y) * 1.3));
  }
  const int grain = static_cast<int>(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) & 31) - 16;
  for (int c = 0; c < 3; ++c) d[c] = static_cast<pf::Byte>(std::clamp(40 + static_cast<int>((tile >> (c * 8)) & 127) + add + grain, 0, 255));
}

// The bench's first photo: tiles, discs, a woven texture and grain.
void Own(int x, int y, pf::Byte* d) {
  const uint32_t tile = Hash(static_cast<uint32_t>(x / 97), static_cast<uint32_t>(y / 97));
  const int cx = x % 97 - 48, cy = y % 97 - 48;
  const bool disc = cx * cx + cy * cy < 30 * 30;
  const double weave = 28 * std::sin(x * 2.1) * std::sin(y * 0.9) + 18 * std::sin((x + y) * 1.3);
  const int grain = static_cast<int>(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) & 31) - 16;
  for (int c = 0; c < 3; ++c) {
    int base = 60 + static_cast<int>((tile >> (c * 8)) & 127);
    if (disc) base = 255 - base;
    d[c] = static_cast<pf::Byte>(std::clamp(base + static_cast<int>(weave) + grain, 0, 255));
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bench;
  if (argc == 4 && std::strcmp(argv[1], "thumb") == 0) {
    TPhoto thumb;
    RawBytes jpeg;
    if (MakeThumb(Utf8ToString(argv[2]), thumb) != Status::Ok || SaveJpeg(thumb, 75, jpeg) != Status::Ok ||
        !WriteFile(argv[3], jpeg))
      return 1;
    return 0;
  }
  if (argc == 6 && (std::strcmp(argv[1], "print") == 0 || std::strcmp(argv[1], "print-raw") == 0)) {
    const String file = Utf8ToString(argv[2]);
    TImageInfo info;
    if (ReadImageInfo(file, info) != Status::Ok) return 1;
    const TPrintJob job = PrintJob(info.Width, info.Height, std::atoi(argv[3]), std::atoi(argv[4]));
    if (argv[1][5] == '-') {
      TPhoto raw;
      const TRect& s = job.Source;
      return LoadResampled(file, TRectF{double(s.Left), double(s.Top), double(s.Width()), double(s.Height())},
                           job.Width, job.Height, raw) == Status::Ok && WritePpm(argv[5], raw) ? 0 : 1;
    }
    RawBytes jpeg;
    if (RenderPrint(file, job, jpeg) != Status::Ok || !WriteFile(argv[5], jpeg)) return 1;
    return 0;
  }
  if (argc == 6 && std::strcmp(argv[1], "make") == 0) {
    const int w = std::atoi(argv[3]), h = std::atoi(argv[4]);
    TPhoto p(w, h);
    const bool own = std::strcmp(argv[2], "own") == 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) (own ? Own : Detailed)(x, y, p.Scan(y) + static_cast<size_t>(x) * 3);
    return WritePpm(argv[5], p) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: photo_tool thumb <in> <out> | print[-raw] <in> <w> <h> <out> | make <detailed|own> <w> <h> <out.ppm>\n");
  return 2;
}
