// user-dirs.dirs as the desktop's folders are read from it: every key the special folders ask
// for, over any text. A value that comes back must name an absolute folder without a NUL or
// another control character, and without trailing slashes.
#include <cstdlib>

#include "platform/shellapi/ShellApi.h"

using namespace pf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "XDG_TEMPLATES_DIR", "XDG_PICTURES_DIR"}) {
    std::optional<std::string> dir = shellapi::ParseUserDirs(text, key, "/home/u");
    if (!dir) continue;
    if (dir->empty() || (*dir)[0] != '/') std::abort();
    for (unsigned char c : *dir)
      if (c < 0x20 || c == 0x7F) std::abort();
    if (dir->size() > 1 && dir->back() == '/') std::abort();
  }
  return 0;
}
