// Small text files of the desktop that anyone who can write to the user's folders may have
// written: desktop entries and user-dirs.dirs. Each is read whole into memory, so each has a size
// it may not pass; a file beyond its bounds is refused, never read in part.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/shellapi/ShellApi_p.h"

namespace pf::shellapi {

bool ReadBoundedFile(const std::string& path, size_t limit, std::string& out) {
  out.clear();
  // Not blocking, so that a FIFO put where a file is expected cannot hold the caller; anything but
  // a regular file is refused before a byte is read.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
            static_cast<uint64_t>(st.st_size) <= limit;
  if (ok) {
    // Room for the size the file has now and one byte more, which tells a file that grew since;
    // a growing file is read on up to one byte past the bound, never further.
    size_t room = static_cast<size_t>(st.st_size) + 1;
    out.resize(room);
    size_t got = 0;
    while (true) {
      if (got == out.size()) {
        if (out.size() > limit) break;
        out.resize(std::min(limit + 1, out.size() * 2));
      }
      ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      got += static_cast<size_t>(n);
    }
    ok = ok && got <= limit;
    out.resize(ok ? got : 0);
  }
  ::close(fd);
  if (!ok) out.clear();
  return ok;
}

bool ParseDesktopEntry(std::string_view text, std::map<std::string, std::string>& keys) {
  keys.clear();
  if (text.size() > kDesktopEntryMaxBytes) return false;
  bool inGroup = false, seen = false;
  size_t lines = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (++lines > kDesktopEntryMaxLines || line.size() > kDesktopEntryMaxLineBytes) {
      keys.clear();
      return false;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
      seen = seen || inGroup;
      continue;
    }
    if (!inGroup) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    // Localised keys ("Name[de]") are left out.
    if (key.find('[') != std::string_view::npos) continue;
    std::string_view value = line.substr(eq + 1);
    size_t first = value.find_first_not_of(' ');
    value = first == std::string_view::npos ? std::string_view() : value.substr(first);
    keys.emplace(std::string(key), std::string(value));
  }
  if (!seen) keys.clear();
  return seen;
}

bool ReadDesktopEntry(const std::string& path, std::map<std::string, std::string>& keys) {
  keys.clear();
  std::string text;
  return ReadBoundedFile(path, kDesktopEntryMaxBytes, text) && ParseDesktopEntry(text, keys);
}

}  // namespace pf::shellapi
