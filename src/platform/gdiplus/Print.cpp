#include "platform/gdiplus/Print.h"

#include "platform/gdiplus/Codecs_p.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace pf::gdiplus {

namespace {

bool Swaps(RotateFlipType turn) {
  return turn == RotateFlipType::Rotate90FlipNone || turn == RotateFlipType::Rotate270FlipNone;
}

}  // namespace

TSize TurnedSize(Integer width, Integer height, RotateFlipType turn) {
  return Swaps(turn) ? TSize{height, width} : TSize{width, height};
}

TRect UnturnRect(const TRect& r, Integer width, Integer height, RotateFlipType turn) {
  const Integer w = r.Width();
  const Integer h = r.Height();
  switch (turn) {
    case RotateFlipType::Rotate90FlipNone:  // turned (x', y') = (height - 1 - y, x)
      return TRect{r.Top, height - r.Left - w, r.Top + h, height - r.Left};
    case RotateFlipType::Rotate270FlipNone:  // turned (x', y') = (y, width - 1 - x)
      return TRect{width - r.Top - h, r.Left, width - r.Top, r.Left + w};
    case RotateFlipType::Rotate180FlipNone:
      return TRect{width - r.Left - w, height - r.Top - h, width - r.Left, height - r.Top};
    default:
      return r;
  }
}

TRect ClampRect(const TRect& r, Integer width, Integer height) {
  const Integer w = std::clamp(r.Width(), 1, std::max(width, 1));
  const Integer h = std::clamp(r.Height(), 1, std::max(height, 1));
  const Integer l = std::clamp(r.Left, 0, std::max(width - w, 0));
  const Integer t = std::clamp(r.Top, 0, std::max(height - h, 0));
  return TRect{l, t, l + w, t + h};
}

namespace {

// The sheet as the encoder takes it, a band of rows at a time: white around the target, the
// resampled part in it.
class TSheet {
public:
  TSheet(Integer width, Integer height, const TRect& target) : FWidth(width), FHeight(height), FTarget(target) {}
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  const TRect& Target() const { return FTarget; }
  // A white row with the part's row (of the target's width) in its place.
  void Compose(Byte* row, const Byte* part) const {
    std::memset(row, 255, static_cast<size_t>(FWidth) * 3);
    const Integer x0 = std::max(0, FTarget.Left);
    const Integer x1 = std::min(FWidth, FTarget.Right);
    if (part && x0 < x1)
      std::memcpy(row + static_cast<size_t>(x0) * 3, part + static_cast<size_t>(x0 - FTarget.Left) * 3,
                  static_cast<size_t>(x1 - x0) * 3);
  }

private:
  Integer FWidth, FHeight;
  TRect FTarget;
};

constexpr Integer SheetBand = 16;

// Encodes the sheet on a thread of its own while the decoder and the resampler make its rows:
// the part's rows arrive in bands through a short queue, so at most a few bands are held.
class TStreamedEncoder {
public:
  TStreamedEncoder(detail::TJpegWriter& writer, const TSheet& sheet)
      : FWriter(writer), FSheet(sheet), FThread([this] { Run(); }) {}
  ~TStreamedEncoder() { Close(); }

  // Row `y` of the part, in order from 0.
  void Add(const Byte* row) {
    const size_t line = static_cast<size_t>(FSheet.Target().Width()) * 3;
    FBand.insert(FBand.end(), row, row + line);
    if (FBand.size() == line * SheetBand) Push();
  }
  // Hands over the last rows and waits for the encoder; answers whether every row was written.
  bool Close() {
    if (FThread.joinable()) {
      Push();
      {
        std::lock_guard<std::mutex> lock(FLock);
        FClosed = true;
      }
      FChanged.notify_all();
      FThread.join();
    }
    return FOk;
  }

private:
  static constexpr size_t MaxQueued = 3;

  // Bands go back and forth between the two threads; their buffers are used again.
  void Push() {
    if (FBand.empty()) return;
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FQueue.size() < MaxQueued || !FOk; });
    if (FOk) FQueue.push_back(std::move(FBand));
    FBand.clear();
    if (!FFree.empty()) {
      FBand = std::move(FFree.back());
      FFree.pop_back();
      FBand.clear();
    }
    lock.unlock();
    FChanged.notify_all();
  }

  // The next row of the part, or null when no more will come.
  const Byte* NextPartRow() {
    const size_t line = static_cast<size_t>(FSheet.Target().Width()) * 3;
    if (FAt < FCurrent.size()) {
      FAt += line;
      return FCurrent.data() + FAt - line;
    }
    std::unique_lock<std::mutex> lock(FLock);
    if (FCurrent.capacity()) FFree.push_back(std::move(FCurrent));
    FChanged.wait(lock, [this] { return !FQueue.empty() || FClosed; });
    if (FQueue.empty()) return nullptr;
    FCurrent = std::move(FQueue.front());
    FQueue.pop_front();
    lock.unlock();
    FChanged.notify_all();
    FAt = line;
    return FCurrent.data();
  }

  void Run() {
    const size_t line = static_cast<size_t>(FSheet.Width()) * 3;
    std::vector<Byte> rows(line * SheetBand);
    const TRect& t = FSheet.Target();
    bool ok = true;
    for (Integer y = 0; y < FSheet.Height() && ok;) {
      Integer n = 0;
      for (; n < SheetBand && y < FSheet.Height(); ++n, ++y) {
        const Byte* part = y >= t.Top && y < t.Bottom ? NextPartRow() : nullptr;
        FSheet.Compose(rows.data() + line * static_cast<size_t>(n), part);
      }
      ok = FWriter.Write(rows.data(), n, line);
    }
    std::lock_guard<std::mutex> lock(FLock);
    FOk = ok;
    FChanged.notify_all();
  }

  detail::TJpegWriter& FWriter;
  const TSheet& FSheet;
  std::vector<Byte> FBand;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<std::vector<Byte>> FQueue;
  std::vector<std::vector<Byte>> FFree;
  std::vector<Byte> FCurrent;
  size_t FAt{0};
  bool FClosed{false};
  bool FOk{true};
  std::thread FThread;  // last: started once everything above is made
};

// The stored sheet's pixel (x, y) in a part that was resampled whole and is turned on the way.
const Byte* TurnedPixel(const TPhoto& part, RotateFlipType turn, Integer x, Integer y) {
  const Integer w = part.Width(), h = part.Height();
  switch (turn) {
    case RotateFlipType::Rotate90FlipNone: return part.Pixel(y, h - 1 - x);
    case RotateFlipType::Rotate270FlipNone: return part.Pixel(w - 1 - y, x);
    case RotateFlipType::Rotate180FlipNone: return part.Pixel(w - 1 - x, h - 1 - y);
    default: return part.Pixel(x, y);
  }
}

}  // namespace

Status RenderPrint(const String& fileName, const TPrintJob& job, RawBytes& jpeg, String* error) {
  const TRect target = job.Target;
  if (job.Width <= 0 || job.Height <= 0 || target.Width() <= 0 || target.Height() <= 0) {
    if (error) *error = u"Invalid parameter";
    return Status::InvalidParameter;
  }
  // The size and the pixels come from one open file.
  Status status = Status::Ok;
  detail::FilePtr file = detail::OpenFile(fileName, status, error);
  if (!file) return status;
  TImageInfo info;
  status = detail::ReadInfo(file.get(), info, error);
  if (status != Status::Ok) return status;
  const TSize turned = TurnedSize(info.Width, info.Height, job.Turn);
  // Rounding must never reach outside the photo: a sample from outside would print a seam.
  const TRect source = ClampRect(job.Source, turned.cx, turned.cy);
  const TRect stored = UnturnRect(source, info.Width, info.Height, job.Turn);
  const TRectF part{static_cast<double>(stored.Left), static_cast<double>(stored.Top),
                    static_cast<double>(stored.Width()), static_cast<double>(stored.Height())};
  // The part is resampled as stored in the file, to the target's size as stored, and turned
  // afterwards: a quarter turn and a separable filter commute, and turning the small result is
  // cheaper than turning the photo.
  const TSize piece = TurnedSize(target.Width(), target.Height(), job.Turn);
  const bool portrait = job.Height > job.Width && job.StoreLandscape;
  try {
    detail::TJpegWriter writer;
    const Integer sheetW = portrait ? job.Height : job.Width;
    const Integer sheetH = portrait ? job.Width : job.Height;
    if (!writer.Start(sheetW, sheetH, job.Quality, job.Dpi, job.Dpi)) return writer.Finish(jpeg, error);
    if (job.Turn == RotateFlipType::RotateNoneFlipNone && !portrait) {
      // Streamed: decoded rows are resampled in bands on the worker pool and encoded on a thread
      // of their own as they come, so the print holds a few bands, never the photo or the sheet.
      const TSheet sheet(job.Width, job.Height, target);
      TStreamedEncoder encoder(writer, sheet);
      status = detail::DecodeResampled(file.get(), info, part, piece.cx, piece.cy, 0,
                                       [&](Integer, const Byte* rgb) { encoder.Add(rgb); }, error);
      encoder.Close();
      if (status != Status::Ok) return status;
      return writer.Finish(jpeg, error);
    }
    // A turned sheet starts with a corner of the part that the decoder gives last: the part is
    // held once, at the print's size, and its rows are taken turned as the encoder asks for them.
    TPhoto resampled;
    status = detail::LoadResampled(file.get(), info, part, piece.cx, piece.cy, resampled, error, 0);
    if (status != Status::Ok) return status;
    const size_t line = static_cast<size_t>(sheetW) * 3;
    std::vector<Byte> rows(line * SheetBand);
    for (Integer y = 0; y < sheetH;) {
      Integer n = 0;
      for (; n < SheetBand && y < sheetH; ++n, ++y) {
        Byte* d = rows.data() + line * static_cast<size_t>(n);
        for (Integer x = 0; x < sheetW; ++x, d += 3) {
          // The stored sheet's pixel on the drawing, which a portrait sheet turns clockwise.
          const Integer dx = portrait ? y : x;
          const Integer dy = portrait ? job.Height - 1 - x : y;
          if (dx < target.Left || dx >= target.Right || dy < target.Top || dy >= target.Bottom) {
            d[0] = d[1] = d[2] = 255;
            continue;
          }
          std::memcpy(d, TurnedPixel(resampled, job.Turn, dx - target.Left, dy - target.Top), 3);
        }
      }
      if (!writer.Write(rows.data(), n, line)) break;
    }
    return writer.Finish(jpeg, error);
  } catch (const std::bad_alloc&) {
    if (error) *error = u"Out of memory";
    return Status::OutOfMemory;
  } catch (const std::system_error&) {
    if (error) *error = u"Out of memory";
    return Status::OutOfMemory;
  }
}

}  // namespace pf::gdiplus
