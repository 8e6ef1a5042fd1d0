#pragma once
// Opening files and web addresses the way the desktop opens them. Only files that exist and
// http/https addresses are opened (handed to xdg-open, started without a shell); anything else
// fails as the platform fails for a file type it knows nothing about.

#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/KernelApi.h"
#include "platform/kernel/Modules.h"

namespace pf {

struct HWND__;
using HWND = HWND__*;

constexpr DWORD SEE_MASK_DEFAULT = 0x00000000;
constexpr DWORD SEE_MASK_CLASSNAME = 0x00000001;
constexpr DWORD SEE_MASK_IDLIST = 0x00000004;
constexpr DWORD SEE_MASK_INVOKEIDLIST = 0x0000000C;
constexpr DWORD SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr DWORD SEE_MASK_FLAG_NO_UI = 0x00000400;

// hInstApp after a call: above 32 on success, else one of these.
constexpr uintptr_t SE_ERR_FNF = 2;
constexpr uintptr_t SE_ERR_NOASSOC = 31;

struct SHELLEXECUTEINFOW {
  DWORD cbSize{0};
  DWORD fMask{0};
  HWND hwnd{nullptr};
  const Char* lpVerb{nullptr};
  const Char* lpFile{nullptr};
  const Char* lpParameters{nullptr};
  const Char* lpDirectory{nullptr};
  int nShow{0};
  HINSTANCE hInstApp{nullptr};
  void* lpIDList{nullptr};
  const Char* lpClass{nullptr};
  void* hkeyClass{nullptr};
  DWORD dwHotKey{0};
  HANDLE hIcon{nullptr};
  HANDLE hProcess{nullptr};
};

// The same with 8-bit texts in the system code page.
struct SHELLEXECUTEINFOA {
  DWORD cbSize{0};
  DWORD fMask{0};
  HWND hwnd{nullptr};
  const char* lpVerb{nullptr};
  const char* lpFile{nullptr};
  const char* lpParameters{nullptr};
  const char* lpDirectory{nullptr};
  int nShow{0};
  HINSTANCE hInstApp{nullptr};
  void* lpIDList{nullptr};
  const char* lpClass{nullptr};
  void* hkeyClass{nullptr};
  DWORD dwHotKey{0};
  HANDLE hIcon{nullptr};
  HANDLE hProcess{nullptr};
};

// Opens lpFile (relative names against lpDirectory), or with SEE_MASK_IDLIST the item ID list's
// file when lpFile is empty, for the verbs "open" and "explore" (empty means "open"). With
// SEE_MASK_CLASSNAME, lpClass names the desktop file ID of the application to open the file with
// (its Exec line run as an argument vector, never through a shell); otherwise the desktop's
// opener decides. Answers false with hInstApp SE_ERR_NOASSOC for other verbs, schemes, unknown
// applications and empty requests, SE_ERR_FNF for a file or program that does not exist. No
// process handle is given back.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);

namespace testing {
// Replaces starting the desktop's opener: the hook gets the path or address that would be opened
// and answers whether opening worked. An empty hook restores xdg-open. While only this hook is
// set, a file to be opened with a named application goes to it too.
void SetShellExecuteOpener(std::function<bool(const std::string& target)> opener);
// Replaces starting a program (an application, or the opener when the hook above is empty): the
// hook gets the argument vector, the program's full path first, and the working folder (empty
// for none), and answers whether the program started. An empty hook starts programs again.
void SetShellExecuteLauncher(std::function<bool(const std::vector<std::string>& argv, const std::string& dir)> launcher);
}  // namespace testing

}  // namespace pf
