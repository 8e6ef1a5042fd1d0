// JPEG through libjpeg's IJG 62 interface. libjpeg reports errors by calling error_exit, which by
// default ends the process; ours jumps back to the caller, which fails with "JPEG error #<code>".
// The functions that call libjpeg keep only plain data in their frames, so the jump skips no
// destructor.

#include <csetjmp>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs size_t and FILE first.
#include <cstdio>
#include <jpeglib.h>

#include "platform/gdiplus/Codecs_p.h"
#include "platform/rtl/Strings.h"

namespace pf::gdiplus::detail {

namespace {

struct TJpegError {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  bool TooManyScans{false};
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

// Warnings (corrupt but readable data) are not printed; the picture is used as libjpeg gives it.
void OnOutputMessage(j_common_ptr) {}

void InitError(TJpegError& err) {
  jpeg_std_error(&err.Pub);
  err.Pub.error_exit = OnErrorExit;
  err.Pub.output_message = OnOutputMessage;
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

struct TJpegWriter::Impl {
  jpeg_compress_struct Info;
  TJpegError Error;
  unsigned char* Memory{nullptr};
  unsigned long Size{0};
  bool Created{false};
  bool Failed{false};
};

namespace {

// Plain data only in these frames: they are left by longjmp on an error.
bool StartCore(TJpegWriter::Impl* m, Integer width, Integer height, int quality, int dpiX, int dpiY) {
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

bool WriteCore(TJpegWriter::Impl* m, const Byte* rows, Integer count, size_t stride) {
  if (setjmp(m->Error.Jump)) return false;
  for (Integer i = 0; i < count; ++i) {
    JSAMPROW row = const_cast<JSAMPROW>(rows + stride * static_cast<size_t>(i));
    jpeg_write_scanlines(&m->Info, &row, 1);
  }
  return true;
}

bool FinishCore(TJpegWriter::Impl* m) {
  if (setjmp(m->Error.Jump)) return false;
  jpeg_finish_compress(&m->Info);
  return true;
}

}  // namespace

TJpegWriter::TJpegWriter() : FImpl(std::make_unique<Impl>()) {}

TJpegWriter::~TJpegWriter() {
  if (FImpl->Created) jpeg_destroy_compress(&FImpl->Info);
  std::free(FImpl->Memory);
}

bool TJpegWriter::Start(Integer width, Integer height, int quality, int dpiX, int dpiY) {
  if (FImpl->Created || width <= 0 || height <= 0 || width > 65500 || height > 65500) return false;
  FImpl->Failed = !StartCore(FImpl.get(), width, height, quality, dpiX, dpiY);
  return !FImpl->Failed;
}

bool TJpegWriter::Write(const Byte* rows, Integer count, size_t stride) {
  if (FImpl->Failed || !FImpl->Created) return false;
  FImpl->Failed = !WriteCore(FImpl.get(), rows, count, stride);
  return !FImpl->Failed;
}

Status TJpegWriter::Finish(RawBytes& out, String* error) {
  if (!FImpl->Failed && FImpl->Created) FImpl->Failed = !FinishCore(FImpl.get());
  if (FImpl->Failed || !FImpl->Created) return JpegFailure(FImpl->Error, error);
  try {
    out.assign(reinterpret_cast<const char*>(FImpl->Memory), FImpl->Size);
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
