// Desktop entries as the desktop folder and the link reader take them: the bounded parser over
// any bytes, then, for an entry it accepts, the link object's Load and getters through a file.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi.h"
#include "platform/shellapi/ShellApi_p.h"

using namespace pf;

namespace {
std::string gFile;
void RemoveFile() {
  if (!gFile.empty()) ::unlink(gFile.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  gFile = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-desktopentry-" + std::to_string(::getpid()) + ".desktop";
  std::atexit(RemoveFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::map<std::string, std::string> keys;
  if (!shellapi::ParseDesktopEntry(text, keys)) {
    if (!keys.empty()) std::abort();
    return 0;
  }
  FILE* f = std::fopen(gFile.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  (void)shellapi::IsDesktopLinkEntry(gFile);
  IUnknown* unknown = shellapi::CreateShellLinkObject();
  IPersistFile* file = nullptr;
  IShellLinkW* link = nullptr;
  unknown->QueryInterface(IPersistFile::Iid, reinterpret_cast<void**>(&file));
  unknown->QueryInterface(IShellLinkW::Iid, reinterpret_cast<void**>(&link));
  if (file && link && SUCCEEDED(file->Load(FromNativePath(gFile).c_str(), 0))) {
    Char buf[300];
    int index = 0;
    link->GetPath(buf, 300, nullptr, 0);
    link->GetArguments(buf, 300);
    link->GetWorkingDirectory(buf, 300);
    link->GetDescription(buf, 300);
    link->GetIconLocation(buf, 300, &index);
  }
  if (link) link->Release();
  if (file) file->Release();
  unknown->Release();
  return 0;
}
