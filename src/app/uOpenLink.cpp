#include "app/uOpenLink.h"

#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <thread>

#include "platform/rtl/Strings.h"

extern char** environ;

namespace app {

namespace {

std::mutex gHookMutex;
TOpenLinkHook gHook;

bool StartsWithNoCase(const String& s, StringView prefix) {
  return s.size() >= prefix.size() && LowerCase(StringView(s).substr(0, prefix.size())) == String(prefix);
}

// Hands the address to the desktop's opener without a shell in between. Some openers run the
// browser itself and return only when it closes, so nobody waits for it but a reaper thread.
bool XdgOpen(const String& URL) {
  std::string url = StringToUtf8(URL);
  char* argv[] = {const_cast<char*>("xdg-open"), url.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

}  // namespace

bool IsWebAddress(const String& URL) {
  for (Char c : URL)
    if (c <= u' ' || c == 0x7F) return false;
  size_t rest;
  if (StartsWithNoCase(URL, u"http://"))
    rest = 7;
  else if (StartsWithNoCase(URL, u"https://"))
    rest = 8;
  else
    return false;
  size_t end = URL.find_first_of(u"/?#", rest);
  String authority = URL.substr(rest, end == String::npos ? String::npos : end - rest);
  size_t at = authority.rfind(u'@');
  if (at != String::npos) authority.erase(0, at + 1);
  String host = authority;
  if (!host.empty() && host[0] == u'[') {
    size_t close = host.find(u']');
    if (close == String::npos || close == 1) return false;
    String port = host.substr(close + 1);
    if (!port.empty() && port[0] != u':') return false;
    host = host.substr(1, close - 1);
    authority = port;
  } else {
    size_t colon = host.find(u':');
    authority = colon == String::npos ? String() : host.substr(colon);
    if (colon != String::npos) host.erase(colon);
  }
  if (host.empty()) return false;
  if (!authority.empty()) {  // ":port"
    if (authority.size() == 1 || authority.size() > 6) return false;
    for (size_t i = 1; i < authority.size(); ++i)
      if (authority[i] < u'0' || authority[i] > u'9') return false;
  }
  return true;
}

bool OpenLink(const String& URL) {
  if (!IsWebAddress(URL)) return false;
  TOpenLinkHook hook;
  {
    std::lock_guard<std::mutex> lock(gHookMutex);
    hook = gHook;
  }
  return hook ? hook(URL) : XdgOpen(URL);
}

void SetOpenLinkHook(TOpenLinkHook Hook) {
  std::lock_guard<std::mutex> lock(gHookMutex);
  gHook = std::move(Hook);
}

}  // namespace app
