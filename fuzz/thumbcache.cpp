// Entries of the freedesktop thumbnail cache as the thumbnailer reads them: the check of the
// size and the text chunks over any bytes, then the whole read (check and decode) of the same
// bytes as a file. An entry that is accepted is a picture within its folder's size.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/gdiplus/Photo.h"
#include "platform/shellapi/ShellApi_p.h"

using namespace pf;

namespace {
constexpr const char* kUri = "file:///srv/photos/p.jpg";
constexpr int64_t kMTime = 1700000000;
constexpr int kSide = 256;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  shellapi::TThumbnailEntry entry;
  const bool accepted = shellapi::CheckThumbnailEntry(bytes, kUri, kMTime, kSide, entry);
  if (accepted && (entry.Width < 1 || entry.Height < 1 || entry.Width > kSide || entry.Height > kSide)) std::abort();
  int fd = ::memfd_create("thumb", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
    gdiplus::TPhoto photo;
    const bool read = shellapi::ReadCachedThumbnail("/proc/self/fd/" + std::to_string(fd), kUri, kMTime, kSide, photo);
    if (read && (!accepted || photo.Width() != entry.Width || photo.Height() != entry.Height)) std::abort();
  }
  ::close(fd);
  return 0;
}
