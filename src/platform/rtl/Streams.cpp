#include "platform/rtl/Streams.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

namespace pf {

namespace {
String SystemReason(int err) {
  char buf[256];
  // GNU strerror_r answers a pointer that may or may not be `buf`.
  const char* text = strerror_r(err, buf, sizeof buf);
  return Utf8ToString(text);
}
}  // namespace

// ---- TStream ----

Int64 TStream::GetSize() {
  Int64 pos = Seek(0, TSeekOrigin::soCurrent);
  Int64 size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(Int64 /*size*/) {}

void TStream::ReadBuffer(void* buffer, Int64 count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError(u"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, Int64 count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError(u"Stream write error");
}

Int64 TStream::CopyFrom(TStream& source, Int64 count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  Int64 copied = 0;
  std::vector<char> buf(static_cast<size_t>(std::min<Int64>(count, 1 << 16)));
  while (copied < count) {
    Int64 n = std::min<Int64>(count - copied, static_cast<Int64>(buf.size()));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    copied += n;
  }
  return copied;
}

RawBytes TStream::ReadRest() {
  RawBytes out;
  char buf[1 << 14];
  for (;;) {
    Int64 n = Read(buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// ---- TMemoryStream ----

Int64 TMemoryStream::Read(void* buffer, Int64 count) {
  Int64 size = GetSize();
  if (count <= 0 || FPosition >= size) return 0;
  Int64 n = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

Int64 TMemoryStream::Write(const void* buffer, Int64 count) {
  if (count <= 0) return 0;
  // A position sought far past the end must not wrap the end of the write around.
  if (count > std::numeric_limits<Int64>::max() - FPosition)
    throw EWriteError(u"Stream write error: the stream would exceed its largest size");
  Int64 end = FPosition + count;
  if (end > GetSize()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

Int64 TMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
  Int64 base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? FPosition : GetSize();
  FPosition = std::max<Int64>(0, base + offset);
  return FPosition;
}

void TMemoryStream::SetSize(Int64 size) {
  FData.resize(static_cast<size_t>(std::max<Int64>(0, size)));
  if (FPosition > GetSize()) FPosition = GetSize();
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  Int64 size = stream.GetSize();
  FData.resize(static_cast<size_t>(size));
  FPosition = 0;
  stream.ReadBuffer(FData.data(), size);
}

void TMemoryStream::LoadFromFile(const String& fileName) {
  Owned<TFileStream> f(TFileStream::New(fileName, static_cast<Word>(fmOpenRead | fmShareDenyWrite)));
  LoadFromStream(*f);
}

void TMemoryStream::SaveToStream(TStream& stream) const {
  stream.WriteBuffer(FData.data(), static_cast<Int64>(FData.size()));
}

void TMemoryStream::SaveToFile(const String& fileName) const {
  Owned<TFileStream> f(TFileStream::New(fileName, fmCreate));
  SaveToStream(*f);
}

// ---- TFileStream ----

void TFileStream::Create(const String& fileName, Word mode) {
  TStream::Create();
  FFileName = fileName;
  const std::string path = ToNativePath(fileName);
  if ((mode & fmCreate) == fmCreate) {
    FHandle = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FHandle < 0)
      throw EFCreateError(u"Cannot create file \"" + fileName + u"\". " + SystemReason(errno));
  } else {
    int access = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
    FHandle = ::open(path.c_str(), access | O_CLOEXEC);
    if (FHandle < 0) throw EFOpenError(u"Cannot open file \"" + fileName + u"\". " + SystemReason(errno));
  }
  // A folder opens read-only on Linux; reading it would fail later with a less clear message.
  struct stat st {};
  if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(FHandle);
    FHandle = -1;
    throw EFOpenError(u"Cannot open file \"" + fileName + u"\". " + SystemReason(EISDIR));
  }
}

void TFileStream::Destroy() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  TStream::Destroy();
}

Int64 TFileStream::Read(void* buffer, Int64 count) {
  Int64 done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError(u"Cannot read file \"" + FFileName + u"\". " + SystemReason(errno));
    if (n == 0) break;
    done += n;
  }
  return done;
}

Int64 TFileStream::Write(const void* buffer, Int64 count) {
  Int64 done = 0;
  const auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EWriteError(u"Cannot write file \"" + FFileName + u"\". " + SystemReason(errno));
    done += n;
  }
  return done;
}

Int64 TFileStream::Seek(Int64 offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  if (r < 0) throw EStreamError(u"Cannot seek in file \"" + FFileName + u"\". " + SystemReason(errno));
  return static_cast<Int64>(r);
}

void TFileStream::SetSize(Int64 size) {
  Int64 pos = GetPosition();
  if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0)
    throw EStreamError(u"Cannot set the size of file \"" + FFileName + u"\". " + SystemReason(errno));
  if (pos > size) SetPosition(size);
}

}  // namespace pf
