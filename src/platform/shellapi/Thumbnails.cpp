// Thumbnails of pictures: first the freedesktop thumbnail cache (an entry counts only while its
// recorded modification time and address match the file), otherwise made with the layer's own
// photo decoders and stored in the cache for the next asker.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QImage>
#include <QString>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/gdiplus/Codecs.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"

namespace pf::shellapi {

namespace {

// "file://" and the path with every byte percent-encoded that is not unreserved or allowed in a
// path, as the desktop's file managers write it.
std::string FileUri(const std::string& path) { return "file://" + PercentEncode(path, "-._~!$&'()*+,;=:@/"); }

struct TBucket {
  const char* Name;
  int Size;
};
constexpr TBucket kBuckets[] = {{"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

QImage FitWithin(const QImage& img, int w, int h) {
  if (img.width() <= w && img.height() <= h) return img;
  return img.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

class TThumbnailer final : public TShellObject<IExtractImage2> {
public:
  explicit TThumbnailer(std::string path) : FPath(std::move(path)) {}

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IUnknown::Iid || iid == IExtractImage::Iid || iid == IExtractImage2::Iid) {
      *out = static_cast<IExtractImage2*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT GetLocation(Char* path, DWORD capacity, DWORD* priority, const SIZE* size, DWORD colorDepth,
                      DWORD* flags) override {
    if (!path || capacity == 0) return E_INVALIDARG;
    String p = FromNativePath(FPath);
    if (p.size() + 1 > capacity) return E_FAIL;
    std::copy(p.begin(), p.end(), path);
    path[p.size()] = 0;
    if (priority) *priority = 0;
    if (size) FSize = *size;
    FDepth = colorDepth;
    DWORD asked = flags ? *flags : 0;
    return (asked & IEIFLAG_ASYNC) ? E_PENDING : S_OK;
  }

  HRESULT Extract(HBITMAP* bitmap) override {
    if (!bitmap) return E_POINTER;
    *bitmap = nullptr;
    int w = FSize.cx > 0 ? FSize.cx : 128, h = FSize.cy > 0 ? FSize.cy : 128;
    struct stat st {};
    if (::stat(FPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return HRESULT_FILE_NOT_FOUND;
    QImage img = FromCache(std::max(w, h), st.st_mtime);
    if (img.isNull()) img = Make(std::max(w, h), st.st_mtime);
    if (img.isNull()) return E_FAIL;
    img = FitWithin(img, w, h).convertToFormat(QImage::Format_ARGB32);
    *bitmap = ToBitmap(img);
    return *bitmap ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT GetDateStamp(FILETIME* stamp) override {
    if (!stamp) return E_POINTER;
    struct stat st {};
    if (::stat(FPath.c_str(), &st) != 0) return HRESULT_FILE_NOT_FOUND;
    *stamp = UnixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return S_OK;
  }

private:
  std::string CacheFile(const TBucket& b) const {
    QByteArray uri = QByteArray::fromStdString(FileUri(FPath));
    QByteArray md5 = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex();
    return JoinPath(JoinPath(JoinPath(CacheHome(), "thumbnails"), b.Name), md5.toStdString() + ".png");
  }

  QImage FromCache(int side, time_t mtime) const {
    const std::string uri = FileUri(FPath);
    for (const TBucket& b : kBuckets) {
      if (b.Size < side) continue;
      gdiplus::TPhoto photo;
      if (!ReadCachedThumbnail(CacheFile(b), uri, mtime, b.Size, photo)) continue;
      QImage img(photo.Width(), photo.Height(), QImage::Format_RGB888);
      for (Integer y = 0; y < photo.Height(); ++y) std::memcpy(img.scanLine(y), photo.Scan(y), photo.Stride());
      return img;
    }
    return QImage();
  }

  QImage Make(int side, time_t mtime) const {
    String name = FromNativePath(FPath);
    gdiplus::TImageInfo info;
    if (gdiplus::ReadImageInfo(name, info) != gdiplus::Status::Ok || info.Width <= 0 || info.Height <= 0)
      return QImage();
    const TBucket* bucket = nullptr;
    for (const TBucket& b : kBuckets)
      if (!bucket && b.Size >= side) bucket = &b;
    int box = bucket ? bucket->Size : side;
    // Never larger than the picture itself.
    double scale = std::min({1.0, static_cast<double>(box) / info.Width, static_cast<double>(box) / info.Height});
    Integer dw = std::max(1, static_cast<int>(info.Width * scale + 0.5));
    Integer dh = std::max(1, static_cast<int>(info.Height * scale + 0.5));
    gdiplus::TPhoto photo;
    gdiplus::TRectF src{0, 0, static_cast<double>(info.Width), static_cast<double>(info.Height)};
    if (gdiplus::LoadResampled(name, src, dw, dh, photo) != gdiplus::Status::Ok || photo.Empty()) return QImage();
    QImage img(photo.Width(), photo.Height(), QImage::Format_RGB888);
    for (Integer y = 0; y < photo.Height(); ++y)
      std::memcpy(img.scanLine(y), photo.Scan(y), photo.Stride());
    if (bucket) Store(*bucket, img, mtime);
    return img;
  }

  // Written to a private temporary file and renamed into place, so no reader sees half a file.
  void Store(const TBucket& b, const QImage& img, time_t mtime) const {
    std::string dir = JoinPath(JoinPath(CacheHome(), "thumbnails"), b.Name);
    if (!ForceDirectories(FromNativePath(dir))) return;
    ::chmod(JoinPath(CacheHome(), "thumbnails").c_str(), 0700);
    ::chmod(dir.c_str(), 0700);
    QImage out = img;
    out.setText(QStringLiteral("Thumb::URI"), QString::fromStdString(FileUri(FPath)));
    out.setText(QStringLiteral("Thumb::MTime"), QString::number(static_cast<qlonglong>(mtime)));
    std::string file = CacheFile(b);
    std::string tmp = file + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return;
    ::close(fd);
    ::chmod(tmp.c_str(), 0600);
    if (!out.save(QString::fromLocal8Bit(tmp.c_str()), "PNG") || ::rename(tmp.c_str(), file.c_str()) != 0)
      ::unlink(tmp.c_str());
  }

  static HBITMAP ToBitmap(const QImage& img) {
    // Format_ARGB32 rows are 0xAARRGGBB words: blue, green, red, alpha in memory on this machine.
    return BitmapFromRows(img.width(), img.height(), [&](int y) { return img.constScanLine(y); });
  }

  std::string FPath;
  SIZE FSize;
  DWORD FDepth{32};
};

}  // namespace

namespace {

constexpr Byte kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t BigEndian32(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

// Inflates a compressed text into `out`, refusing one that would grow past the bound: a few
// compressed bytes may otherwise stand for gigabytes.
bool InflateText(std::string_view in, std::string& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  out.resize(kThumbnailMaxTextBytes + 1);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int r = inflate(&z, Z_FINISH);
  const size_t made = out.size() - z.avail_out;
  inflateEnd(&z);
  out.resize(made);
  return r == Z_STREAM_END && made <= kThumbnailMaxTextBytes;
}

// The text of a tEXt, zTXt or iTXt chunk under `keyword`; false for a chunk of another keyword
// or a malformed one. `store` holds an inflated text.
bool ChunkText(std::string_view type, std::string_view data, std::string_view keyword, std::string_view& text,
               std::string& store) {
  size_t nul = data.find('\0');
  if (nul == std::string_view::npos || data.substr(0, nul) != keyword) return false;
  std::string_view rest = data.substr(nul + 1);
  if (type == "tEXt") {
    text = rest;
    return text.size() <= kThumbnailMaxTextBytes;
  }
  bool compressed = false;
  if (type == "zTXt") {
    // Only the one method the format has.
    if (rest.empty() || rest[0] != 0) return false;
    rest.remove_prefix(1);
    compressed = true;
  } else {
    // iTXt: compression flag and method, language tag, translated keyword, then the text.
    if (rest.size() < 2 || (rest[0] != 0 && rest[0] != 1) || rest[1] != 0) return false;
    compressed = rest[0] == 1;
    rest.remove_prefix(2);
    for (int skip = 0; skip < 2; ++skip) {
      size_t end = rest.find('\0');
      if (end == std::string_view::npos) return false;
      rest.remove_prefix(end + 1);
    }
  }
  if (!compressed) {
    text = rest;
    return text.size() <= kThumbnailMaxTextBytes;
  }
  if (!InflateText(rest, store)) return false;
  text = store;
  return true;
}

}  // namespace

bool CheckThumbnailEntry(std::string_view png, std::string_view uri, int64_t mtime, int maxSide,
                         TThumbnailEntry& entry) {
  entry = TThumbnailEntry{};
  if (png.size() > kThumbnailMaxBytes || png.size() < 8 + 25 || std::memcmp(png.data(), kPngSignature, 8) != 0)
    return false;
  const std::string wantedTime = std::to_string(mtime);
  bool haveUri = false, haveTime = false;
  size_t pos = 8, chunks = 0;
  bool ended = false;
  while (pos + 12 <= png.size()) {
    const uint32_t length = BigEndian32(png.data() + pos);
    if (length > png.size() - pos - 12 || ++chunks > kThumbnailMaxChunks) return false;
    std::string_view type = png.substr(pos + 4, 4);
    std::string_view data = png.substr(pos + 8, length);
    pos += size_t{length} + 12;
    if (chunks == 1) {
      // The size comes first, so a picture larger than its folder's is refused before anything
      // else of it is looked at.
      if (type != "IHDR" || length != 13) return false;
      entry.Width = static_cast<int64_t>(BigEndian32(data.data()));
      entry.Height = static_cast<int64_t>(BigEndian32(data.data() + 4));
      if (entry.Width <= 0 || entry.Height <= 0 || entry.Width > maxSide || entry.Height > maxSide) return false;
      continue;
    }
    if (type == "IEND") {
      ended = true;
      break;
    }
    if (type != "tEXt" && type != "zTXt" && type != "iTXt") continue;
    std::string_view text;
    std::string store;
    if (ChunkText(type, data, "Thumb::URI", text, store)) {
      // Two answers to one question: the entry says nothing for sure.
      if (haveUri || text != uri) return false;
      haveUri = true;
    } else if (ChunkText(type, data, "Thumb::MTime", text, store)) {
      // A thumbnail made before the file last changed shows old pixels.
      if (haveTime || text != wantedTime) return false;
      haveTime = true;
    }
  }
  // A piece of a chunk at the end is a damaged file.
  if (!ended && pos != png.size()) return false;
  return haveUri && haveTime;
}

bool ReadCachedThumbnail(const std::string& file, std::string_view uri, int64_t mtime, int maxSide,
                         gdiplus::TPhoto& out) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  bool ok = false;
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      static_cast<uint64_t>(st.st_size) <= kThumbnailMaxBytes) {
    bytes.resize(static_cast<size_t>(st.st_size));
    ok = ::pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
  }
  TThumbnailEntry entry;
  ok = ok && CheckThumbnailEntry(bytes, uri, mtime, maxSide, entry);
  if (ok) {
    // The pixels come from the very file that was checked, not from whatever the name holds now.
    String self = FromNativePath("/proc/self/fd/" + std::to_string(fd));
    ok = gdiplus::LoadImage(self, out) == gdiplus::Status::Ok && out.Width() == entry.Width &&
         out.Height() == entry.Height;
  }
  ::close(fd);
  if (!ok) out = gdiplus::TPhoto();
  return ok;
}

HBITMAP BitmapFromRows(int width, int height, const std::function<const Byte*(int)>& row) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = height;  // bottom-up, as the class library's bitmaps are
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) return nullptr;
  size_t stride = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y)
    std::memcpy(static_cast<Byte*>(bits) + stride * static_cast<size_t>(height - 1 - y), row(y), stride);
  return bmp;
}

IExtractImage* CreateThumbnailer(const std::string& path) {
  gdiplus::TImageInfo info;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  if (gdiplus::ReadImageInfo(FromNativePath(path), info) != gdiplus::Status::Ok) return nullptr;
  return new TThumbnailer(path);
}

}  // namespace pf::shellapi
