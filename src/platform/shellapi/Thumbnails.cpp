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
    QString uri = QString::fromStdString(FileUri(FPath));
    for (const TBucket& b : kBuckets) {
      if (b.Size < side) continue;
      std::string file = CacheFile(b);
      QImage img;
      if (!img.load(QString::fromLocal8Bit(file.c_str()), "PNG")) continue;
      // A thumbnail made before the file last changed shows old pixels.
      if (img.text(QStringLiteral("Thumb::MTime")) != QString::number(static_cast<qlonglong>(mtime))) continue;
      if (img.text(QStringLiteral("Thumb::URI")) != uri) continue;
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
