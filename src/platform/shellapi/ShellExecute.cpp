// Opening files and web addresses with the desktop's opener.

#include "platform/shellapi/ShellExecute.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/rtl/Strings.h"

namespace pf {

namespace {

// The shell's entry points that the program binds by name at start-up.
const bool gExportsRegistered = [] {
  RegisterExport("shell32.dll", "ShellExecuteExW", &ShellExecuteExW);
  RegisterExport("shell32.dll", "ShellExecuteExA", &ShellExecuteExA);
  return true;
}();

std::mutex gOpenerMutex;
std::function<bool(const std::string&)> gOpener;

constexpr uintptr_t kSuccess = 42;  // any value above 32

HINSTANCE AsInstance(uintptr_t v) { return reinterpret_cast<HINSTANCE>(v); }

bool IsWebAddress(const String& s) {
  String l = LowerCase(s);
  return l.rfind(u"http://", 0) == 0 || l.rfind(u"https://", 0) == 0;
}

// The opener's full path, found along PATH before anything is forked.
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Starts xdg-open on the target without a shell, detached: a child forks the opener and leaves at
// once, so nothing is left for this process to wait for.
bool StartOpener(const std::string& target) {
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  std::vector<char*> argv{opener.data(), const_cast<char*>(target.c_str()), nullptr};
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    pid_t grandchild = fork();
    if (grandchild == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool Open(const std::string& target) {
  std::function<bool(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    hook = gOpener;
  }
  return hook ? hook(target) : StartOpener(target);
}

using TPathFromIDList = BOOL(const ITEMIDLIST*, Char*);

// The file of an item ID list, through the shell library's own conversion when it has one.
String PathOfIDList(const void* pidl) {
  HMODULE shell = GetModuleHandleA("shell32.dll");
  auto* fn = shell ? ProcAs<TPathFromIDList>(GetProcAddress(shell, "SHGetPathFromIDListW")) : nullptr;
  if (!fn) return {};
  Char buffer[4096] = {};  // the capacity the shell library's conversion writes into
  if (!fn(static_cast<const ITEMIDLIST*>(pidl), buffer)) return {};
  return String(buffer);
}

uintptr_t Execute(const String& verb, String file, const String& directory, DWORD mask, void* idList) {
  if (file.empty() && idList && (mask & SEE_MASK_IDLIST)) file = PathOfIDList(idList);
  String v = LowerCase(verb);
  if (file.empty() || (!v.empty() && v != u"open" && v != u"explore")) return SE_ERR_NOASSOC;
  if (IsWebAddress(file)) return Open(StringToUtf8(file)) ? kSuccess : SE_ERR_NOASSOC;
  // Anything else with a scheme is a type nothing here opens.
  size_t colon = file.find(u':');
  if (colon != String::npos && colon > 1 && file.find(u'/') > colon) return SE_ERR_NOASSOC;
  std::filesystem::path p(StringToUtf8(file));
  if (p.is_relative() && !directory.empty()) p = std::filesystem::path(StringToUtf8(directory)) / p;
  std::error_code ec;
  if (!std::filesystem::exists(p, ec)) return SE_ERR_FNF;
  return Open(p.string()) ? kSuccess : SE_ERR_NOASSOC;
}

String FromA(const char* s) { return s ? AnsiToString(s) : String(); }
String FromW(const Char* s) { return s ? String(s) : String(); }

}  // namespace

namespace {

// Both forms differ only in how their texts read.
template <class Info, class Text>
BOOL ExecuteInfo(Info* info, Text text) {
  if (!info) return 0;
  uintptr_t r = Execute(text(info->lpVerb), text(info->lpFile), text(info->lpDirectory), info->fMask, info->lpIDList);
  info->hInstApp = AsInstance(r);
  info->hProcess = nullptr;
  return r > 32 ? 1 : 0;
}

}  // namespace

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) { return ExecuteInfo(info, FromW); }
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) { return ExecuteInfo(info, FromA); }

namespace testing {

void SetShellExecuteOpener(std::function<bool(const std::string& target)> opener) {
  std::lock_guard<std::mutex> lock(gOpenerMutex);
  gOpener = std::move(opener);
}

}  // namespace testing

}  // namespace pf
