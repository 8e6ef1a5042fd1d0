#include "support/TestEnv.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

namespace {
struct Root {
  fs::path path;
  Root() {
    std::string tmpl = (fs::temp_directory_path() / "photo-order-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
  }
  ~Root() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};
}  // namespace

const fs::path& TempRoot() {
  static Root root;
  return root.path;
}

fs::path MakeTempDir(const std::string& prefix) {
  static std::atomic<int> counter{0};
  fs::path p = TempRoot() / (prefix + "-" + std::to_string(counter.fetch_add(1)));
  fs::create_directories(p);
  return p;
}

void SetUpProcessEnvironment() {
  const fs::path& root = TempRoot();
  const char* names[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};
  const char* dirs[] = {"config", "data", "cache", "runtime"};
  for (int i = 0; i < 4; ++i) {
    fs::path p = root / dirs[i];
    fs::create_directories(p);
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace);
    setenv(names[i], p.c_str(), 1);
  }
  fs::create_directories(root / "home");
  setenv("HOME", (root / "home").c_str(), 1);
  unsetenv("PHOTO_ORDER_CODEPAGE");
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

std::string ReadFileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFileBytes(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

}  // namespace testsupport
