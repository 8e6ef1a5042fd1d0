// The desktop's applications for a type: the same bytes serve as an application's desktop entry and
// as the user's mimeapps.list in a private XDG tree; each application found has its Exec line
// turned into argument vectors. The bytes are also taken whole as an Exec line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/shellapi/DesktopApps.h"

using namespace pf::shellapi;

namespace {
std::filesystem::path gRoot;
void RemoveTree() {
  std::error_code ec;
  if (!gRoot.empty()) std::filesystem::remove_all(gRoot, ec);
}

void Check(const std::optional<std::vector<std::vector<std::string>>>& runs) {
  if (!runs) return;
  if (runs->empty()) std::abort();
  for (const auto& argv : *runs)
    if (argv.empty() || argv[0].empty()) std::abort();
}

void Write(const std::filesystem::path& p, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  gRoot = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / ("fuzz-desktopapps-" + std::to_string(::getpid()));
  std::filesystem::create_directories(gRoot / "config");
  std::filesystem::create_directories(gRoot / "data" / "applications");
  std::filesystem::create_directories(gRoot / "sys");
  std::error_code ec;
  std::filesystem::create_directory_symlink("/usr/share/mime", gRoot / "sys" / "mime", ec);
  setenv("XDG_CONFIG_HOME", (gRoot / "config").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (gRoot / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (gRoot / "data").c_str(), 1);
  setenv("XDG_DATA_DIRS", (gRoot / "sys").c_str(), 1);
  std::atexit(RemoveTree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Check(ExecCommands(text, {"/p/a b.jpg", "/q%.png"}));
  Write(gRoot / "config" / "mimeapps.list", data, size);
  Write(gRoot / "data" / "applications" / "x.desktop", data, size);
  for (const TDesktopApp& app : AppsForTypes({"image/jpeg"})) {
    if (app.Id.empty() || app.Exec.empty()) std::abort();
    Check(ExecCommands(app.Exec, {"/p/a b.jpg"}));
  }
  (void)FindDesktopApp("x.desktop");
  return 0;
}
