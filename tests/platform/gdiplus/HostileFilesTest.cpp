// Files made to exhaust the machine: tiny files that declare huge pictures, chunks that declare
// more bytes than the file has, and large pictures that must be read a row at a time.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <functional>

#include "platform/gdiplus/Codecs.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::gdiplus;

String PathOf(const std::filesystem::path& p) { return Utf8ToString(p.string()); }

void PutBE(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 16 × 16 JPEG held in memory, then given another size in its frame header.
std::string SmallJpeg(bool progressive, int width, int height) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = 16;
  c.image_height = 16;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  for (int i = 0; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;  // 4:4:4
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(16 * 3, 128);
  while (c.next_scanline < 16) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char*>(mem), size);
  std::free(mem);
  const size_t sof = bytes.find(progressive ? "\xFF\xC2" : "\xFF\xC0");
  bytes[sof + 5] = static_cast<char>(height >> 8);
  bytes[sof + 6] = static_cast<char>(height & 0xFF);
  bytes[sof + 7] = static_cast<char>(width >> 8);
  bytes[sof + 8] = static_cast<char>(width & 0xFF);
  return bytes;
}

std::string PngChunk(const char* type, const std::string& data, uint32_t declared = UINT32_MAX) {
  std::string c;
  PutBE(c, declared == UINT32_MAX ? static_cast<uint32_t>(data.size()) : declared);
  c += type;
  c += data;
  PutBE(c, static_cast<uint32_t>(crc32(crc32(0, reinterpret_cast<const Bytef*>(type), 4),
                                       reinterpret_cast<const Bytef*>(data.data()),
                                       static_cast<uInt>(data.size()))));
  return c;
}

// The signature and the header of a width × height picture, 8 bits RGBA.
std::string PngHead(uint32_t width, uint32_t height) {
  std::string ihdr;
  PutBE(ihdr, width);
  PutBE(ihdr, height);
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", ihdr);
}

std::string Bmp24Header(int width, int height) { return fixtures::BmpHeader(width, height, 24, 54); }

// A run-length bitmap (RLE8, or RLE4 with `four`) with a palette of 16 greys, entry i being
// 10 × i, followed by `codes`.
std::string RleBmp(int width, int height, const std::string& codes, bool four = false) {
  std::string s = fixtures::BmpHeader(width, height, four ? 4 : 8, 54 + 64, 16, four ? 2 : 1,
                                      static_cast<uint32_t>(54 + 64 + codes.size()));
  for (int i = 0; i < 16; ++i) s += std::string(3, static_cast<char>(i * 10)) + '\0';
  return s + codes;
}


class HostileFiles : public ::testing::Test {
protected:
  std::filesystem::path dir = testsupport::MakeTempDir("hostile");
};

TEST_F(HostileFiles, HugeOrOverBudgetPicturesAreRefusedAsUnreadable) {
  // Each file is a few hundred bytes that would make a decoder ask for gigabytes.
  const std::string png20k = PngHead(20000, 20000) + PngChunk("IDAT", std::string("\x78\x9C\x03\x00\x00\x00\x00\x01", 8)) +
                             PngChunk("IEND", "");
  // 41 bytes: a text chunk that declares 2 GB the file does not have.
  const std::string pngText = PngHead(200, 100) + std::string("\x7F\xFF\xFF\xF0tEXt", 8);
  // 240 megapixels, under the limit, but no file of this size can hold its rows.
  const std::string pngShort = PngHead(16000, 15000) + PngChunk("IDAT", std::string("\x78\x9C\x03\x00\x00\x00\x00\x01", 8)) +
                               PngChunk("IEND", "");
  struct Case { const char* name; std::string bytes; };
  const Case cases[] = {
      // 4.3 gigapixels, progressive: the decoder would keep every coefficient (about 25 GB).
      {"65500-progressive.jpg", SmallJpeg(true, 65500, 65500)},
      // 225 megapixels, under the limit, but its coefficients need 1.35 GB.
      {"15000-progressive.jpg", SmallJpeg(true, 15000, 15000)},
      {"20000.png", png20k},
      {"text-2gb.png", pngText},
      {"short.png", pngShort},
      {"20000.bmp", Bmp24Header(20000, 20000)},
      {"300m-wide.bmp", Bmp24Header(300'000'000, 1)},
      // 5 megapixels in one row: each row is 15 MB, more than the decode may hold.
      {"5m-wide.bmp", Bmp24Header(5'000'000, 1) + std::string(1024, '\0')},
      // 225 megapixels in a code that ends the bitmap at once.
      {"rle-15000.bmp", RleBmp(15000, 15000, std::string("\0\1", 2))},
  };
  ASSERT_EQ(cases[3].bytes.size(), 41u);
  for (const Case& c : cases) {
    testsupport::WriteFileBytes(dir / c.name, c.bytes);
    const String file = PathOf(dir / c.name);
    TImageInfo info;
    EXPECT_NE(ReadImageInfo(file, info), Status::Ok) << c.name;
    TPhoto photo;
    EXPECT_NE(LoadImage(file, photo), Status::Ok) << c.name;
    EXPECT_TRUE(photo.Empty()) << c.name;
    EXPECT_NE(LoadResampled(file, TRectF{0, 0, 100, 100}, 50, 50, photo), Status::Ok) << c.name;
  }
}

TEST_F(HostileFiles, AFileWithinTheBudgetStillReadsItsSize) {
  // A single-scan JPEG needs only a few rows whatever its size; a progressive one of the same
  // size under the budget is fine too.
  struct Case { const char* name; std::string bytes; int w, h; };
  const Case cases[] = {
      {"baseline.jpg", SmallJpeg(false, 15000, 15000), 15000, 15000},
      {"progressive.jpg", SmallJpeg(true, 6000, 4000), 6000, 4000},
  };
  for (const Case& c : cases) {
    testsupport::WriteFileBytes(dir / c.name, c.bytes);
    TImageInfo info;
    ASSERT_EQ(ReadImageInfo(PathOf(dir / c.name), info), Status::Ok) << c.name;
    EXPECT_EQ(info.Width, c.w);
    EXPECT_EQ(info.Height, c.h);
  }
}

TEST_F(HostileFiles, AProgressiveFileOfEndlessScansIsRefused) {
  // The last scan repeated hundreds of times: each repeat costs a pass over the whole picture.
  std::string bytes = SmallJpeg(true, 16, 16);
  const size_t lastScan = bytes.rfind("\xFF\xDA");
  const std::string scan = bytes.substr(lastScan, bytes.size() - 2 - lastScan);
  std::string many = bytes.substr(0, lastScan);
  for (int i = 0; i < 600; ++i) many += scan;
  many += "\xFF\xD9";
  testsupport::WriteFileBytes(dir / "scans.jpg", many);
  testsupport::WriteFileBytes(dir / "fine.jpg", bytes);
  TPhoto photo;
  String error;
  EXPECT_EQ(LoadImage(PathOf(dir / "scans.jpg"), photo, &error), Status::GenericError);
  EXPECT_EQ(StringToUtf8(error), "JPEG error: too many scans");
  EXPECT_EQ(LoadImage(PathOf(dir / "fine.jpg"), photo), Status::Ok);
}

// A 2 × 4 RGBA picture, opaque, its rows filtered by hand (Sub, Paeth, Average, Up) and
// deflated, split over `idats` chunks; `patch` may damage the rows or the stream first.
std::string FilteredPng(int idats, const std::function<void(std::string& rows, std::string& zipped)>& patch = nullptr) {
  std::string rows = std::string("\x01\x0A\x14\x1E\xFF\x05\x05\x05\x00", 9) +   // 10,20,30 then +5
                     std::string("\x04\x01\x01\x01\x00\x02\x02\x02\x00", 9) +   // Paeth: up +1, up +2
                     std::string("\x03\x64\x64\x64\x80\x00\x00\x00\x00", 9) +   // Average (left+up)/2
                     std::string("\x02\x01\x02\x03\x00\x04\x05\x06\x00", 9);    // Up
  std::string zipped;
  if (patch) patch(rows, zipped);
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(rows.data()),
           static_cast<uLong>(rows.size()));
  out.resize(size);
  if (patch) patch(rows, out);
  std::string file = PngHead(2, 4);
  const size_t step = (out.size() + idats - 1) / idats;
  for (size_t at = 0; at < out.size(); at += step) file += PngChunk("IDAT", out.substr(at, step));
  return file + PngChunk("IEND", "");
}

TEST_F(HostileFiles, PngRowsAreUnfilteredAndDamagedPixelDataIsAnError) {
  const fixtures::Rgb expected[4][2] = {{{10, 20, 30}, {15, 25, 35}},
                                        {{11, 21, 31}, {17, 27, 37}},
                                        {{105, 110, 115}, {61, 68, 76}},
                                        {{106, 112, 118}, {65, 73, 82}}};
  for (int idats : {1, 3}) {
    testsupport::WriteFileBytes(dir / "filtered.png", FilteredPng(idats));
    TPhoto photo;
    ASSERT_EQ(LoadImage(PathOf(dir / "filtered.png"), photo), Status::Ok) << idats;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 2; ++x) {
        const Byte* px = photo.Pixel(x, y);
        EXPECT_EQ((fixtures::Rgb{px[0], px[1], px[2]}), expected[y][x]) << idats << " " << x << "," << y;
      }
  }
  const std::string good = FilteredPng(2);
  const size_t firstData = good.find("IDAT") + 4;
  const size_t second = good.find("IDAT", firstData) - 4;
  std::string crc = good, between = good;
  crc[second - 1] ^= 0x10;  // the first chunk's CRC no longer matches its data
  between.insert(second, PngChunk("tEXt", "a"));
  struct Case { const char* name; std::string bytes; };
  const Case cases[] = {
      {"crc.png", crc},
      {"cut.png", good.substr(0, second + 10)},
      {"between.png", between},  // the pixels' chunks must follow one another
      {"filter5.png", FilteredPng(1, [](std::string& rows, std::string& zipped) { if (zipped.empty()) rows[27] = 5; })},
      {"three-rows.png", FilteredPng(1, [](std::string& rows, std::string& zipped) { if (zipped.empty()) rows.resize(27); })},
      {"garbled.png", FilteredPng(1, [](std::string&, std::string& zipped) { if (!zipped.empty()) zipped[0] = 0x12; })},
  };
  for (const Case& c : cases) {
    testsupport::WriteFileBytes(dir / c.name, c.bytes);
    TPhoto photo;
    EXPECT_EQ(LoadImage(PathOf(dir / c.name), photo), Status::GenericError) << c.name;
    EXPECT_TRUE(photo.Empty()) << c.name;
  }
}

void WriteLargeBmp(const std::filesystem::path& path, int w, int h) {
  std::ofstream out(path, std::ios::binary);
  const std::string head = fixtures::BmpHeader(w, h, 24, 54);
  out.write(head.data(), static_cast<std::streamsize>(head.size()));
  std::string row(static_cast<size_t>((w * 3 + 3) / 4 * 4), '\x5A');
  for (int y = 0; y < h; ++y) out.write(row.data(), static_cast<std::streamsize>(row.size()));
}

TEST_F(HostileFiles, LargePngAndBmpPicturesAreReadARowAtATime) {
  // 6000 × 4000 pixels are 72 MB whole; a thumbnail of them may hold a few rows only.
  fixtures::WriteLargePng(dir / "large.png", 6000, 4000);
  WriteLargeBmp(dir / "large.bmp", 6000, 4000);
  for (const char* name : {"large.png", "large.bmp"}) {
    const long before = fixtures::PeakKilobytes();
    TPhoto thumb;
    ASSERT_EQ(LoadResampled(PathOf(dir / name), TRectF{0, 0, 6000, 4000}, 200, 133, thumb), Status::Ok) << name;
    EXPECT_EQ(thumb.Width(), 200);
    EXPECT_LT(fixtures::PeakKilobytes() - before, 32 * 1024) << name;
  }
}

TEST_F(HostileFiles, RunLengthCodesThatOverrunTheirRowOrTheFileAreCut) {
  // 4 × 3 pictures; rows of palette indexes from the top (the file stores them bottom-up), each
  // index i decoding to grey 10 × i. Pixels no code reaches take entry 0.
  using std::string;
  struct Case { const char* name; string codes; bool four; int rows[3][4]; };
  const Case cases[] = {
      {"a run longer than its row", string("\x0A\x05\0\0\x02\x07\0\x01", 8), false,
       {{0, 0, 0, 0}, {7, 7, 0, 0}, {5, 5, 5, 5}}},
      {"an absolute stretch past the file's end", string("\0\x03\x01\x02\x03\0\0\0\0\xC8\x09\x09", 12), false,
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 2, 3, 0}}},
      {"a delta past the picture", string("\x02\x04\0\x02\xFA\xFA\x04\x09", 8), false,
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {4, 4, 0, 0}}},
      {"a delta along its row", string("\x01\x03\0\x02\x02\0\x01\x06\0\0\x04\x02", 12), false,
       {{0, 0, 0, 0}, {2, 2, 2, 2}, {3, 0, 0, 6}}},
      {"a delta two rows up", string("\x01\x03\0\x02\x01\x02\x02\x08", 8), false,
       {{0, 0, 8, 8}, {0, 0, 0, 0}, {3, 0, 0, 0}}},
      {"a code cut by the file's end", string("\x04\x01\0", 3), false, {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 1, 1, 1}}},
      // RLE4: a run alternates its two nibbles; an absolute stretch of 3 takes 2 bytes.
      {"4-bit runs and stretches", string("\x05\x12\0\0\0\x03\x34\x50\0\0\x03\xF0", 12), true,
       {{15, 0, 15, 0}, {3, 4, 5, 0}, {1, 2, 1, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::WriteFileBytes(dir / "rle.bmp", RleBmp(4, 3, c.codes, c.four));
    TPhoto photo;
    ASSERT_EQ(LoadImage(PathOf(dir / "rle.bmp"), photo), Status::Ok);
    ASSERT_EQ(photo.Width(), 4);
    ASSERT_EQ(photo.Height(), 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(photo.Pixel(x, y)[1], c.rows[y][x] * 10) << x << "," << y;
  }
}

}  // namespace
