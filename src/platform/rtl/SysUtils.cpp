#include "platform/rtl/SysUtils.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/rtl/Strings.h"
#include "platform/rtl/Utf8_p.h"

namespace pf {

namespace {

bool StatPath(const String& path, struct stat& st) {
  if (path.empty()) return false;
  return ::stat(ToNativePath(path).c_str(), &st) == 0;
}

std::mutex gArgsMutex;
std::vector<String> gArgs;

}  // namespace

// A file name that is not valid UTF-8 (copied from an old camera card, say) must still open:
// each byte that is not part of a valid sequence is kept as a lone surrogate U+DC80..U+DCFF and
// turned back into the same byte on the way out.
std::string ToNativePath(const String& path) {
  std::string out;
  out.reserve(path.size());
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    bool escaped = i < path.size() && path[i] >= 0xDC80 && path[i] <= 0xDCFF &&
                   !(i > 0 && path[i - 1] >= 0xD800 && path[i - 1] <= 0xDBFF);
    if (i < path.size() && !escaped) continue;
    out += StringToUtf8(StringView(path).substr(start, i - start));
    if (escaped) out.push_back(static_cast<char>(path[i] - 0xDC00));
    start = i + 1;
  }
  return out;
}

String FromNativePath(std::string_view path) {
  return detail::DecodeUtf8(path, [](String& out, unsigned char c) { out.push_back(static_cast<Char>(0xDC00 + c)); });
}

bool FileExists(const String& fileName) {
  struct stat st {};
  return StatPath(fileName, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const String& dir) {
  struct stat st {};
  return StatPath(dir, st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const String& dir) {
  String d = ExcludeTrailingPathDelimiter(dir);
  if (d.empty()) return false;
  if (DirectoryExists(d)) return true;
  String parent = ExcludeTrailingPathDelimiter(ExtractFilePath(d));
  if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
  if (::mkdir(ToNativePath(d).c_str(), 0777) == 0) return true;
  // Another thread or process may have made it meanwhile.
  return errno == EEXIST && DirectoryExists(d);
}

bool DeleteFile(const String& fileName) {
  if (fileName.empty() || DirectoryExists(fileName)) return false;
  return ::unlink(ToNativePath(fileName).c_str()) == 0;
}

bool RemoveDir(const String& dir) {
  if (dir.empty()) return false;
  return ::rmdir(ToNativePath(dir).c_str()) == 0;
}

String IncludeTrailingPathDelimiter(const String& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

String ExcludeTrailingPathDelimiter(const String& path) {
  if (path.size() > 1 && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

String ExtractFileName(const String& path) {
  size_t p = path.rfind(PathDelim);
  return p == String::npos ? path : path.substr(p + 1);
}

String ExtractFilePath(const String& path) {
  size_t p = path.rfind(PathDelim);
  return p == String::npos ? String() : path.substr(0, p + 1);
}

String ExtractFileExt(const String& path) {
  size_t slash = path.rfind(PathDelim);
  size_t dot = path.rfind(u'.');
  if (dot == String::npos || (slash != String::npos && dot < slash)) return {};
  return path.substr(dot);
}

String ChangeFileExt(const String& path, const String& ext) {
  String current = ExtractFileExt(path);
  return path.substr(0, path.size() - current.size()) + ext;
}

Int64 FileSize(const String& fileName) {
  struct stat st {};
  if (!StatPath(fileName, st) || S_ISDIR(st.st_mode)) return -1;
  return static_cast<Int64>(st.st_size);
}

String GetEnvironmentVariable(const String& name) {
  const char* v = std::getenv(StringToUtf8(name).c_str());
  return v ? Utf8ToString(v) : String();
}

void SetCommandLine(int argc, char** argv) {
  std::vector<String> args;
  for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? FromNativePath(argv[i]) : String());
  SetCommandLine(args);
}

void SetCommandLine(const std::vector<String>& args) {
  std::lock_guard<std::mutex> lock(gArgsMutex);
  gArgs = args;
}

Integer ParamCount() {
  std::lock_guard<std::mutex> lock(gArgsMutex);
  return gArgs.empty() ? 0 : static_cast<Integer>(gArgs.size()) - 1;
}

String ParamStr(Integer index) {
  std::lock_guard<std::mutex> lock(gArgsMutex);
  if (index < 0 || static_cast<size_t>(index) >= gArgs.size()) return {};
  return gArgs[static_cast<size_t>(index)];
}

}  // namespace pf
