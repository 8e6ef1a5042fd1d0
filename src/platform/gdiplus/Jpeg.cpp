// JPEG through libjpeg's IJG 62 interface. libjpeg reports errors by calling error_exit, which by
// default ends the process; ours jumps back to the caller, which fails with "JPEG error #<code>".
// The functions that call libjpeg keep only plain data in their frames, so the jump skips no
// destructor.

#include <algorithm>
#include <csetjmp>
#include <deque>
#include <new>
#include <system_error>
#include <vector>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs size_t and FILE first.
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include "platform/gdiplus/Codecs_p.h"
#include "platform/gdiplus/Pool_p.h"
#include "platform/rtl/Strings.h"

namespace pf::gdiplus::detail {

namespace {

struct TJpegError {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  bool TooManyScans{false};
  bool SawEnd{false};  // the file ended where libjpeg wanted more
};

// A progressive file may declare thousands of scans of a few bytes each, and every one of them
// walks the whole picture: more than a real photo ever has is refused.
constexpr int MaxScans = 500;

struct TJpegProgress {
  jpeg_progress_mgr Pub;
  TJpegError* Error{nullptr};
};

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
}

void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > MaxScans) {
    reinterpret_cast<TJpegProgress*>(cinfo->progress)->Error->TooManyScans = true;
    OnErrorExit(cinfo);
  }
}

// Nothing is printed: a failure reaches the caller as its code.
void OnOutputMessage(j_common_ptr) {}

// libjpeg warns of corrupt data and decodes on. Compressed data that ends before the last row
// (the rest comes out grey), or that does not decode, or a lost restart interval leaves damaged
// rows in the picture: such a file fails as an unreadable one does, at once, rather than being
// printed and charged. Stray bytes before a marker (many cameras write them), a profile, a JFIF
// revision or a colour-transform code we do not use, unusual scan parameters and a progression
// that refines what it never sent leave every decoded coefficient as the file has it: those
// files are used as libjpeg gives them.
//
// The end of the file alone is not yet damage: libjpeg reads ahead, and a file that lacks only
// its end marker still holds every row. A single Huffman-coded scan is damaged when its decoder
// then runs short of bits (which it tells); a file of several scans, or arithmetic-coded, whose
// end comes early has lost data.
void OnEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  ++err->Pub.num_warnings;
  switch (err->Pub.msg_code) {
    case JWRN_JPEG_EOF: {
      err->SawEnd = true;
      const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
      if (cinfo->is_decompressor &&
          (d->progressive_mode || d->arith_code || d->comps_in_scan < d->num_components))
        OnErrorExit(cinfo);
      break;
    }
    case JWRN_HIT_MARKER:
      // Told as the file's early end when that is its cause.
      if (err->SawEnd) err->Pub.msg_code = JWRN_JPEG_EOF;
      OnErrorExit(cinfo);
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC: OnErrorExit(cinfo);
    default: break;
  }
}

void InitError(TJpegError& err) {
  jpeg_std_error(&err.Pub);
  err.Pub.error_exit = OnErrorExit;
  err.Pub.output_message = OnOutputMessage;
  err.Pub.emit_message = OnEmitMessage;
}

// After jpeg_create_decompress: libjpeg's own memory limit (beyond it a whole-picture buffer
// fails instead of growing) and the scan limit.
void LimitDecoder(jpeg_decompress_struct& cinfo, TJpegProgress& progress, TJpegError& err) {
  cinfo.mem->max_memory_to_use = DecodeBudget;
  progress.Pub.progress_monitor = OnProgress;
  progress.Error = &err;
  cinfo.progress = &progress.Pub;
}

// What decoding the file whose header was read needs beyond its rows: a progressive or
// multi-scan file keeps every coefficient of the picture (two bytes each) until its last scan.
int64_t CoefficientBytes(j_decompress_ptr cinfo) {
  if (!cinfo->progressive_mode && !jpeg_has_multiple_scans(cinfo)) return 0;
  int64_t blocks = 0;
  for (int c = 0; c < cinfo->num_components; ++c) {
    const jpeg_component_info& comp = cinfo->comp_info[c];
    blocks += int64_t{comp.width_in_blocks + comp.h_samp_factor} * (comp.height_in_blocks + comp.v_samp_factor);
  }
  return blocks * DCTSIZE2 * static_cast<int64_t>(sizeof(JCOEF));
}

Status CheckJpegSize(j_decompress_ptr cinfo, String* error) {
  return CheckDecodeSize(cinfo->image_width, cinfo->image_height,
                         CoefficientBytes(cinfo), error);
}

Status JpegFailure(int code, String* error) {
  SetError(error, Utf8ToString("JPEG error #" + std::to_string(code)));
  return Status::GenericError;
}

Status JpegFailure(const TJpegError& err, String* error) {
  if (!err.TooManyScans) return JpegFailure(err.Pub.msg_code, error);
  SetError(error, u"JPEG error: too many scans");
  return Status::GenericError;
}

// libjpeg hands CMYK over as stored. Adobe's files (those with its marker) store it inverted,
// 255 meaning no ink; others store the ink itself.
void CmykToRgb(const JSAMPLE* cmyk, Byte* rgb, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    rgb[0] = static_cast<Byte>((c * k + 127) / 255);
    rgb[1] = static_cast<Byte>((m * k + 127) / 255);
    rgb[2] = static_cast<Byte>((y * k + 127) / 255);
  }
}

}  // namespace

Status JpegReadInfo(FILE* f, TImageInfo& info, String* error) {
  jpeg_decompress_struct cinfo;
  TJpegError err;
  TJpegProgress progress;
  cinfo.err = &err.Pub;
  InitError(err);
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return JpegFailure(err, error);
  }
  jpeg_create_decompress(&cinfo);
  LimitDecoder(cinfo, progress, err);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  if (const Status s = CheckJpegSize(&cinfo, error); s != Status::Ok) {
    jpeg_destroy_decompress(&cinfo);
    return s;
  }
  info.Format = TImageFormat::Jpeg;
  info.Width = static_cast<Integer>(cinfo.image_width);
  info.Height = static_cast<Integer>(cinfo.image_height);
  jpeg_destroy_decompress(&cinfo);
  return Status::Ok;
}

Status JpegDecode(FILE* f, int scale, TRowSink& sink, String* error) {
  jpeg_decompress_struct cinfo;
  TJpegError err;
  TJpegProgress progress;
  cinfo.err = &err.Pub;
  InitError(err);
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return JpegFailure(err, error);
  }
  jpeg_create_decompress(&cinfo);
  LimitDecoder(cinfo, progress, err);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  // Checked before jpeg_start_decompress, which allocates the whole-picture buffers.
  if (const Status s = CheckJpegSize(&cinfo, error); s != Status::Ok) {
    jpeg_destroy_decompress(&cinfo);
    return s;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  cinfo.scale_num = static_cast<unsigned>(scale < 1 ? 1 : (scale > 8 ? 8 : scale));
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  const JDIMENSION width = cinfo.output_width;
  const JDIMENSION height = cinfo.output_height;
  if (!sink.Begin(static_cast<Integer>(width), static_cast<Integer>(height))) {
    jpeg_destroy_decompress(&cinfo);
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              width * static_cast<JDIMENSION>(cinfo.output_components), 1);
  JSAMPARRAY rgb = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                     JPOOL_IMAGE, width * 3, 1)
                        : row;
  const JDIMENSION end = static_cast<JDIMENSION>(sink.EndRow()) < height
                             ? static_cast<JDIMENSION>(sink.EndRow()) : height;
  while (cinfo.output_scanline < end) {
    const JDIMENSION y = cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, row, 1);
    if (cmyk) CmykToRgb(row[0], rgb[0], width, cinfo.saw_Adobe_marker);
    sink.Row(static_cast<Integer>(y), rgb[0]);
  }
  // Rows below the last one needed are not decoded at all.
  if (cinfo.output_scanline >= height) jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return Status::Ok;
}

// One libjpeg compressor writing a whole JPEG into memory.
struct TJpegCore {
  jpeg_compress_struct Info;
  TJpegError Error;
  unsigned char* Memory{nullptr};
  unsigned long Size{0};
  bool Created{false};
  bool Failed{false};

  TJpegCore() = default;
  TJpegCore(const TJpegCore&) = delete;
  TJpegCore& operator=(const TJpegCore&) = delete;
  ~TJpegCore() {
    if (Created) jpeg_destroy_compress(&Info);
    std::free(Memory);
  }
};

namespace {

// Plain data only in these frames: they are left by longjmp on an error.
bool StartCore(TJpegCore* m, Integer width, Integer height, int quality, int dpiX, int dpiY) {
  jpeg_compress_struct& cinfo = m->Info;
  cinfo.err = &m->Error.Pub;
  InitError(m->Error);
  if (setjmp(m->Error.Jump)) return false;
  jpeg_create_compress(&cinfo);
  m->Created = true;
  jpeg_mem_dest(&cinfo, &m->Memory, &m->Size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  // Baseline tables: a quality of 90 gives the standard tables scaled by 20 %.
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.write_JFIF_header = TRUE;
  if (dpiX > 0 && dpiY > 0) {
    cinfo.density_unit = 1;  // dots per inch: the lab reads the print's size from it
    cinfo.X_density = static_cast<UINT16>(dpiX);
    cinfo.Y_density = static_cast<UINT16>(dpiY);
  }
  jpeg_start_compress(&cinfo, TRUE);
  return true;
}

bool WriteCore(TJpegCore* m, const Byte* rows, Integer count, size_t stride) {
  if (setjmp(m->Error.Jump)) return false;
  for (Integer i = 0; i < count; ++i) {
    JSAMPROW row = const_cast<JSAMPROW>(rows + stride * static_cast<size_t>(i));
    jpeg_write_scanlines(&m->Info, &row, 1);
  }
  return true;
}

bool FinishCore(TJpegCore* m) {
  if (setjmp(m->Error.Jump)) return false;
  jpeg_finish_compress(&m->Info);
  return true;
}

// A large sheet is cut into strips of whole 16-row MCU rows that are encoded at once on the work
// pool, each as a JPEG of its own, and joined into one: the first strip's header (its height made
// the sheet's) with a restart interval of one strip, then each strip's entropy-coded data after a
// restart marker. A restart sets the DC predictions back to zero, as a strip of its own starts,
// and 4:2:0 sampling never mixes rows of two MCU rows, so the joined file decodes to exactly the
// pixels one encoder would have made; it only adds a marker between strips. Strips of about a
// quarter megapixel keep the pool busy without holding more than a few of them.
constexpr int64_t StripPixels = int64_t{1} << 18;

Integer StripRowsFor(Integer width, Integer height) {
  const int64_t mcusPerRow = (int64_t{width} + 15) / 16;
  int64_t mcuRows = (StripPixels + int64_t{width} * 16 - 1) / (int64_t{width} * 16);
  // The restart interval counts MCUs in 16 bits.
  mcuRows = std::clamp<int64_t>(mcuRows, 1, 65535 / mcusPerRow);
  const int64_t rows = mcuRows * 16;
  return rows >= height ? height : static_cast<Integer>(rows);
}

// The segments of a JPEG that libjpeg wrote: [0, sos) the markers before the scan, then the scan
// header, its data up to the EOI that ends the file. False when it is not so.
struct TJpegParts {
  size_t Sof{0};   // the SOF0 marker
  size_t Sos{0};   // the SOS marker
  size_t Data{0};  // the first byte of entropy-coded data
  size_t End{0};   // the EOI marker
};

bool SplitJpeg(const unsigned char* b, size_t n, TJpegParts& parts) {
  if (n < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[n - 2] != 0xFF || b[n - 1] != 0xD9) return false;
  size_t i = 2;
  while (i + 4 <= n && b[i] == 0xFF) {
    const unsigned marker = b[i + 1];
    const size_t length = (size_t{b[i + 2]} << 8) | b[i + 3];
    if (marker == 0xC0) parts.Sof = i;
    if (marker == 0xDA) {
      parts.Sos = i;
      parts.Data = i + 2 + length;
      parts.End = n - 2;
      return parts.Sof != 0 && parts.Data <= parts.End;
    }
    i += 2 + length;
  }
  return false;
}

}  // namespace

struct TJpegWriter::Impl {
  Integer Width{0};
  Integer Height{0};
  int Quality{0};
  int DpiX{0};
  int DpiY{0};
  Integer StripRows{0};
  Integer RowsTaken{0};
  bool Started{false};
  bool Failed{false};
  int FailCode{0};

  // A strip being filled, and the strips handed to the pool (in order), each with its output.
  struct TStrip {
    std::vector<Byte> Pixels;
    Integer Rows{0};
    RawBytes Out;
    bool Ok{false};
    int Code{0};
    detail::TWorkPool::TGroup Job;
  };
  std::vector<Byte> Filling;
  Integer FillingRows{0};
  std::deque<std::unique_ptr<TStrip>> Pending;
  std::vector<RawBytes> Done;
  std::vector<std::vector<Byte>> Spare;

  size_t Line() const { return static_cast<size_t>(Width) * 3; }

  static void Encode(TStrip& s, Integer width, int quality, int dpiX, int dpiY) {
    TJpegCore core;
    s.Ok = StartCore(&core, width, s.Rows, quality, dpiX, dpiY) &&
           WriteCore(&core, s.Pixels.data(), s.Rows, static_cast<size_t>(width) * 3) && FinishCore(&core);
    if (s.Ok) s.Out.assign(reinterpret_cast<const char*>(core.Memory), core.Size);
    else s.Code = core.Error.Pub.msg_code;
  }

  // Collects the oldest strip's result.
  void Collect() {
    std::unique_ptr<TStrip> s = std::move(Pending.front());
    Pending.pop_front();
    detail::TWorkPool::Instance().Wait(s->Job);
    if (!s->Ok && !Failed) {
      Failed = true;
      FailCode = s->Code;
    }
    Done.push_back(std::move(s->Out));
    Spare.push_back(std::move(s->Pixels));
  }

  void Dispatch() {
    if (FillingRows == 0) return;
    detail::TWorkPool& pool = detail::TWorkPool::Instance();
    // A few strips at a time: each holds its rows until it is encoded.
    while (Pending.size() > pool.Width()) Collect();
    auto s = std::make_unique<TStrip>();
    s->Pixels = std::move(Filling);
    s->Rows = FillingRows;
    TStrip* strip = s.get();
    const Integer width = Width;
    const int quality = Quality, dpiX = DpiX, dpiY = DpiY;
    Pending.push_back(std::move(s));
    pool.Post(strip->Job, [strip, width, quality, dpiX, dpiY] { Encode(*strip, width, quality, dpiX, dpiY); });
    FillingRows = 0;
    if (!Spare.empty()) {
      Filling = std::move(Spare.back());
      Spare.pop_back();
    }
    Filling.resize(Line() * static_cast<size_t>(StripRows));
  }

  // Joins the strips' files into one; false when one of them is not as libjpeg writes them.
  bool Join(RawBytes& out) const {
    if (Done.size() == 1) {
      out = Done[0];
      return true;
    }
    std::vector<TJpegParts> parts(Done.size());
    size_t total = 16;
    for (size_t k = 0; k < Done.size(); ++k) {
      if (!SplitJpeg(reinterpret_cast<const unsigned char*>(Done[k].data()), Done[k].size(), parts[k])) return false;
      total += parts[k].End - parts[k].Data + 2;
    }
    const RawBytes& first = Done[0];
    total += parts[0].Data;
    out.clear();
    out.reserve(total);
    out.append(first, 0, parts[0].Sos);
    // The sheet's height in the frame header (after its marker, length and precision).
    out[parts[0].Sof + 5] = static_cast<char>((Height >> 8) & 0xFF);
    out[parts[0].Sof + 6] = static_cast<char>(Height & 0xFF);
    const unsigned interval = static_cast<unsigned>((Width + 15) / 16 * (StripRows / 16));
    const char dri[] = {'\xFF', '\xDD', 0, 4, static_cast<char>(interval >> 8), static_cast<char>(interval & 0xFF)};
    out.append(dri, sizeof dri);
    out.append(first, parts[0].Sos, parts[0].End - parts[0].Sos);
    for (size_t k = 1; k < Done.size(); ++k) {
      out.push_back('\xFF');
      out.push_back(static_cast<char>(0xD0 + (k - 1) % 8));
      out.append(Done[k], parts[k].Data, parts[k].End - parts[k].Data);
    }
    out.append("\xFF\xD9", 2);
    return true;
  }
};

TJpegWriter::TJpegWriter() : FImpl(std::make_unique<Impl>()) {}

TJpegWriter::~TJpegWriter() {
  while (!FImpl->Pending.empty()) FImpl->Collect();
}

bool TJpegWriter::Start(Integer width, Integer height, int quality, int dpiX, int dpiY) {
  Impl& m = *FImpl;
  if (m.Started || width <= 0 || height <= 0 || width > 65500 || height > 65500) return false;
  m.Started = true;
  m.Width = width;
  m.Height = height;
  m.Quality = quality;
  m.DpiX = dpiX;
  m.DpiY = dpiY;
  m.StripRows = StripRowsFor(width, height);
  try {
    m.Filling.resize(m.Line() * static_cast<size_t>(m.StripRows));
  } catch (const std::bad_alloc&) {
    m.Failed = true;
    m.FailCode = JERR_OUT_OF_MEMORY;
  }
  return !m.Failed;
}

bool TJpegWriter::Write(const Byte* rows, Integer count, size_t stride) {
  Impl& m = *FImpl;
  if (m.Failed || !m.Started) return false;
  try {
    // Rows past the sheet's last are ignored, as libjpeg ignores them.
    for (Integer i = 0; i < count && m.RowsTaken < m.Height; ++i, ++m.RowsTaken) {
      std::memcpy(m.Filling.data() + m.Line() * static_cast<size_t>(m.FillingRows), rows + stride * static_cast<size_t>(i), m.Line());
      if (++m.FillingRows == m.StripRows) m.Dispatch();
    }
  } catch (const std::bad_alloc&) {
    m.Failed = true;
    m.FailCode = JERR_OUT_OF_MEMORY;
  } catch (const std::system_error&) {
    m.Failed = true;
    m.FailCode = JERR_OUT_OF_MEMORY;
  }
  return !m.Failed;
}

Status TJpegWriter::Finish(RawBytes& out, String* error) {
  Impl& m = *FImpl;
  try {
    // Fewer rows than the sheet has: libjpeg's own complaint about a short image.
    if (!m.Failed && m.Started && m.RowsTaken < m.Height) {
      m.Failed = true;
      m.FailCode = JERR_TOO_LITTLE_DATA;
    }
    if (m.Started && !m.Failed) m.Dispatch();
    while (!m.Pending.empty()) m.Collect();
    if (!m.Started) return JpegFailure(JERR_BAD_STATE, error);
    if (m.Failed) return JpegFailure(m.FailCode, error);
    if (!m.Join(out)) return JpegFailure(JERR_BAD_STATE, error);
  } catch (const std::bad_alloc&) {
    SetError(error, u"Out of memory");
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

}  // namespace pf::gdiplus::detail

namespace pf::gdiplus {

Status SaveJpeg(const TPhoto& photo, int quality, RawBytes& out, String* error) {
  if (photo.Empty() || photo.Width() > 65500 || photo.Height() > 65500 || quality < 0 ||
      quality > 100) {
    detail::SetError(error, u"Invalid parameter");
    return Status::InvalidParameter;
  }
  detail::TJpegWriter writer;
  if (writer.Start(photo.Width(), photo.Height(), quality, photo.DpiX, photo.DpiY))
    writer.Write(photo.Scan(0), photo.Height(), photo.Stride());
  return writer.Finish(out, error);
}

}  // namespace pf::gdiplus
