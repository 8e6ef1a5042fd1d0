// Code-page conversions through iconv.
//
// Linux has no "system ANSI code page"; the lab's files and request fields are Windows-1251, so
// that is the default, and PHOTO_ORDER_CODEPAGE names another one (a Windows number such as 1252
// or any name iconv knows). Single-byte code pages are turned into tables once, so converting a
// caption costs no iconv call; other code pages go through iconv each time.

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/rtl/Strings.h"

namespace pf {

namespace {

constexpr Char kReplacement = u'\uFFFD';
constexpr int kDefaultCodePage = 1251;
// Code pages named by an iconv name that has no Windows number get ids from here on.
constexpr int kFirstNamedId = 0x40000;

struct KnownName {
  int cp;
  const char* name;
};
// Windows numbers whose iconv name is not simply "CP<number>".
constexpr KnownName kKnownNames[] = {
    {20866, "KOI8-R"},      {21866, "KOI8-U"},      {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},  {28605, "ISO-8859-15"},
    {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"}, {20127, "ASCII"},       {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},     {54936, "GB18030"},     {65001, "UTF-8"},
};

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// One code page's conversions. Single-byte pages have tables; the rest keep the iconv name.
struct CodePage {
  std::string iconvName;
  bool singleByte{false};
  Char decode[256]{};  // kReplacement where the page defines no character
  std::unordered_map<Char, unsigned char> encode;
};

class Registry {
public:
  static Registry& Instance() {
    static Registry r;
    return r;
  }

  // The iconv name of a code page number, or empty when iconv does not know it.
  std::string IconvName(int cp) {
    std::lock_guard<std::mutex> lock(FMutex);
    return IconvNameLocked(cp);
  }

  // Maps a PHOTO_ORDER_CODEPAGE value to a number; 0 when nothing usable is named.
  int Parse(const std::string& text) {
    if (text.empty()) return 0;
    bool digits = text.find_first_not_of("0123456789") == std::string::npos;
    std::lock_guard<std::mutex> lock(FMutex);
    if (digits && text.size() < 7) {
      int cp = std::atoi(text.c_str());
      return IconvNameLocked(cp).empty() ? 0 : cp;
    }
    std::string name = Upper(text);
    for (const auto& k : kKnownNames)
      if (name == k.name) return k.cp;
    for (const char* prefix : {"CP", "WINDOWS-", "WINDOWS", "IBM"}) {
      size_t n = std::strlen(prefix);
      if (name.size() > n && name.compare(0, n, prefix) == 0 &&
          name.find_first_not_of("0123456789", n) == std::string::npos && name.size() - n < 7) {
        int cp = std::atoi(name.c_str() + n);
        if (!IconvNameLocked(cp).empty()) return cp;
      }
    }
    for (auto& [id, n] : FNamed)
      if (n == name) return id;
    if (!Usable(name)) return 0;
    int id = kFirstNamedId + static_cast<int>(FNamed.size());
    FNamed[id] = name;
    return id;
  }

  // The conversion data of a code page; null when iconv does not know it.
  const CodePage* Get(int cp) {
    std::lock_guard<std::mutex> lock(FMutex);
    auto it = FPages.find(cp);
    if (it != FPages.end()) return it->second.get();
    std::string name = IconvNameLocked(cp);
    if (name.empty()) return nullptr;
    auto page = std::make_unique<CodePage>();
    page->iconvName = name;
    BuildTables(*page);
    const CodePage* result = page.get();
    FPages[cp] = std::move(page);
    return result;
  }

private:
  static bool Usable(const std::string& name) {
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
  }

  std::string IconvNameLocked(int cp) {
    if (cp <= 0) return {};
    auto named = FNamed.find(cp);
    if (named != FNamed.end()) return named->second;
    auto cached = FNames.find(cp);
    if (cached != FNames.end()) return cached->second;
    std::string name;
    for (const auto& k : kKnownNames)
      if (k.cp == cp) name = k.name;
    if (name.empty()) name = "CP" + std::to_string(cp);
    if (!Usable(name)) name.clear();
    FNames[cp] = name;
    return name;
  }

  // A page is single-byte when no byte on its own is an incomplete sequence.
  static void BuildTables(CodePage& page) {
    if (page.iconvName == "UTF-8" || page.iconvName.rfind("UTF-16", 0) == 0) return;
    iconv_t cd = iconv_open("UTF-16LE", page.iconvName.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    bool single = true;
    for (int b = 0; b < 256 && single; ++b) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char in = static_cast<char>(b);
      char out[8];
      char* inp = &in;
      size_t inLeft = 1;
      char* outp = out;
      size_t outLeft = sizeof out;
      size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
      size_t produced = sizeof out - outLeft;
      if (r == static_cast<size_t>(-1) && errno == EINVAL) {
        single = false;
      } else if (r == static_cast<size_t>(-1) || produced != 2) {
        page.decode[b] = kReplacement;
      } else {
        page.decode[b] = static_cast<Char>(static_cast<unsigned char>(out[0]) |
                                           (static_cast<unsigned char>(out[1]) << 8));
      }
    }
    iconv_close(cd);
    if (!single) return;
    page.singleByte = true;
    for (int b = 255; b >= 0; --b)
      if (page.decode[b] != kReplacement) page.encode[page.decode[b]] = static_cast<unsigned char>(b);
  }

  std::mutex FMutex;
  std::map<int, std::string> FNames;
  std::map<int, std::string> FNamed;
  std::map<int, std::unique_ptr<CodePage>> FPages;
};

std::mutex gAcpMutex;
int gAcp = 0;  // 0: not read yet

int CodePageFromEnvironment() {
  const char* env = std::getenv("PHOTO_ORDER_CODEPAGE");
  if (!env || !*env) return kDefaultCodePage;
  int cp = Registry::Instance().Parse(env);
  if (cp == 0) {
    std::fprintf(stderr, "PHOTO_ORDER_CODEPAGE=%s is not a code page this system knows; using 1251\n",
                 env);
    return kDefaultCodePage;
  }
  return cp;
}

int Resolve(int codePage) { return codePage == CP_ACP ? AnsiCodePage() : codePage; }

// Generic iconv conversion. Bytes (or characters) iconv cannot convert are replaced one at a time
// by `replacement` (already in the target encoding).
bool IconvConvert(const char* to, const char* from, std::string_view in, std::string& out,
                  std::string_view replacement, size_t unitIn) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  bool lossless = true;
  char* inp = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  std::vector<char> buf(4096);
  while (inLeft > 0) {
    char* outp = buf.data();
    size_t outLeft = buf.size();
    size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    out.append(buf.data(), buf.size() - outLeft);
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    lossless = false;
    out.append(replacement);
    size_t skip = unitIn;
    // A surrogate pair is one character: one replacement for both halves.
    if (unitIn == 2 && inLeft >= 4) {
      unsigned hi = static_cast<unsigned char>(inp[0]) | (static_cast<unsigned char>(inp[1]) << 8);
      if (hi >= 0xD800 && hi <= 0xDBFF) skip = 4;
    }
    skip = std::min(skip, inLeft);
    inp += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char* outp = buf.data();
  size_t outLeft = buf.size();
  iconv(cd, nullptr, nullptr, &outp, &outLeft);
  out.append(buf.data(), buf.size() - outLeft);
  iconv_close(cd);
  return lossless;
}

}  // namespace

int AnsiCodePage() {
  std::lock_guard<std::mutex> lock(gAcpMutex);
  if (gAcp == 0) gAcp = CodePageFromEnvironment();
  return gAcp;
}

void SetAnsiCodePage(int codePage) {
  std::lock_guard<std::mutex> lock(gAcpMutex);
  gAcp = codePage == CP_ACP ? CodePageFromEnvironment() : codePage;
}

void ResetAnsiCodePage() {
  std::lock_guard<std::mutex> lock(gAcpMutex);
  gAcp = CodePageFromEnvironment();
}

String CodePageToString(std::string_view bytes, int codePage) {
  int cp = Resolve(codePage);
  if (cp == CP_UTF8) return Utf8ToString(bytes);
  const CodePage* page = Registry::Instance().Get(cp);
  if (!page) page = Registry::Instance().Get(kDefaultCodePage);
  String out;
  if (page->singleByte) {
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = page->decode[static_cast<unsigned char>(bytes[i])];
    return out;
  }
  std::string utf16;
  IconvConvert("UTF-16LE", page->iconvName.c_str(), bytes, utf16, std::string_view("\xFD\xFF", 2), 1);
  out.resize(utf16.size() / 2);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<Char>(static_cast<unsigned char>(utf16[2 * i]) |
                               (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
  return out;
}

std::string StringToCodePage(StringView s, int codePage, bool* lossless) {
  int cp = Resolve(codePage);
  bool ok = true;
  std::string out;
  if (cp == CP_UTF8) {
    out = StringToUtf8(s);
    // A lone surrogate cannot travel in UTF-8.
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
        ++i;
      else if (s[i] >= 0xD800 && s[i] <= 0xDFFF)
        ok = false;
    }
  } else {
    const CodePage* page = Registry::Instance().Get(cp);
    if (!page) page = Registry::Instance().Get(kDefaultCodePage);
    if (page->singleByte) {
      out.reserve(s.size());
      for (size_t i = 0; i < s.size(); ++i) {
        auto it = page->encode.find(s[i]);
        if (it != page->encode.end()) {
          out.push_back(static_cast<char>(it->second));
          continue;
        }
        ok = false;
        out.push_back('?');
        if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
          ++i;
      }
    } else {
      std::string utf16(s.size() * 2, '\0');
      for (size_t i = 0; i < s.size(); ++i) {
        utf16[2 * i] = static_cast<char>(s[i] & 0xFF);
        utf16[2 * i + 1] = static_cast<char>(s[i] >> 8);
      }
      ok = IconvConvert(page->iconvName.c_str(), "UTF-16LE", utf16, out, "?", 2);
    }
  }
  if (lossless) *lossless = ok;
  return out;
}

}  // namespace pf
