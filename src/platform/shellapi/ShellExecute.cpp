// Opening files and web addresses with the desktop's opener.

#include "platform/shellapi/ShellExecute.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/rtl/Strings.h"
#include "platform/shellapi/DesktopApps.h"

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

std::function<bool(const std::vector<std::string>&, const std::string&)> gLauncher;

// Starts a program without a shell, detached: a child forks the program and leaves at once, so
// nothing is left for this process to wait for. A pipe closed on exec tells whether the program
// started: it carries the error of a failed exec and nothing on success. Everything the children
// use is made before the fork, as only async-signal-safe calls may follow it.
bool StartProcess(const std::vector<std::string>& args, const std::string& dir) {
  if (args.empty() || args[0].empty() || args[0][0] != '/') return false;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const char* workDir = dir.empty() ? nullptr : dir.c_str();
  pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (child == 0) {
    close(fds[0]);
    pid_t grandchild = fork();
    if (grandchild == 0) {
      int err = 0;
      if (workDir && chdir(workDir) != 0) err = errno;
      if (!err) {
        execv(argv[0], argv.data());
        err = errno;
      }
      ssize_t w = write(fds[1], &err, sizeof err);
      (void)w;
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  close(fds[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = read(fds[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(fds[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool Launch(const std::vector<std::string>& argv, const std::string& dir) {
  std::function<bool(const std::vector<std::string>&, const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    hook = gLauncher;
  }
  return hook ? hook(argv, dir) : StartProcess(argv, dir);
}

bool StartOpener(const std::string& target) {
  std::string opener = shellapi::FindProgram("xdg-open");
  return !opener.empty() && Launch({opener, target}, std::string());
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

// Runs a desktop entry's program on one file. Where a test stands in for the desktop's opener
// alone, the file goes to that stand-in, so that no test starts a real program unasked.
uintptr_t RunApplication(const std::string& id, const std::string& file) {
  auto app = shellapi::FindDesktopApp(id);
  if (!app) return SE_ERR_NOASSOC;
  auto runs = shellapi::ExecCommands(app->Exec, {file});
  if (!runs || runs->empty()) return SE_ERR_NOASSOC;
  std::function<bool(const std::string&)> opener;
  bool launcher;
  {
    std::lock_guard<std::mutex> lock(gOpenerMutex);
    opener = gOpener;
    launcher = static_cast<bool>(gLauncher);
  }
  if (opener && !launcher) return opener(file) ? kSuccess : SE_ERR_NOASSOC;
  for (std::vector<std::string>& argv : *runs) {
    std::string program = shellapi::FindProgram(argv[0]);
    if (program.empty()) return SE_ERR_FNF;
    argv[0] = program;
    if (!Launch(argv, app->WorkDir)) return SE_ERR_NOASSOC;
  }
  return kSuccess;
}

uintptr_t Execute(const String& verb, String file, const String& directory, DWORD mask, void* idList,
                  const String& className) {
  if (file.empty() && idList && (mask & SEE_MASK_IDLIST)) file = PathOfIDList(idList);
  String v = LowerCase(verb);
  if (file.empty() || (!v.empty() && v != u"open" && v != u"explore")) return SE_ERR_NOASSOC;
  bool withClass = (mask & SEE_MASK_CLASSNAME) && !className.empty();
  if (IsWebAddress(file) && !withClass) return Open(StringToUtf8(file)) ? kSuccess : SE_ERR_NOASSOC;
  // Anything else with a scheme is a type nothing here opens.
  size_t colon = file.find(u':');
  if (colon != String::npos && colon > 1 && file.find(u'/') > colon) return SE_ERR_NOASSOC;
  std::filesystem::path p(StringToUtf8(file));
  if (p.is_relative() && !directory.empty()) p = std::filesystem::path(StringToUtf8(directory)) / p;
  std::error_code ec;
  if (!std::filesystem::exists(p, ec)) return SE_ERR_FNF;
  if (withClass) return RunApplication(StringToUtf8(className), std::filesystem::absolute(p, ec).lexically_normal().string());
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
  uintptr_t r = Execute(text(info->lpVerb), text(info->lpFile), text(info->lpDirectory), info->fMask, info->lpIDList,
                        text(info->lpClass));
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

void SetShellExecuteLauncher(std::function<bool(const std::vector<std::string>& argv, const std::string& dir)> launcher) {
  std::lock_guard<std::mutex> lock(gOpenerMutex);
  gLauncher = std::move(launcher);
}

}  // namespace testing

namespace shellapi {

std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return name[0] == '/' && access(name.c_str(), X_OK) == 0 ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && dirs[start] == '/' && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace shellapi

}  // namespace pf
