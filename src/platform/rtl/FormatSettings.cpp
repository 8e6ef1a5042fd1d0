// The process's format settings, read from the user's locale.
//
// Locales are often not installed on the machines the program runs on (a bare LANG=ru_RU.UTF-8
// with no generated locale); then the language part of the locale's name picks the settings from
// a small built-in table, so a Russian user still sees decimal commas, as on Windows.

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

namespace pf {

namespace {

std::mutex gSettingsMutex;

// The locale name a category takes from the environment, as setlocale(cat, "") would.
std::string LocaleName(const char* category) {
  for (const char* var : {"LC_ALL", category, "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "C";
}

bool IsPlainC(const std::string& name) {
  return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

struct LanguageDefaults {
  const char* language;
  Char decimal;
  Char thousands;
  const char16_t* shortDate;
  const char16_t* longTime;
};

// What Windows shows for these languages.
constexpr LanguageDefaults kLanguages[] = {
    {"ru", u',', u'\u00A0', u"dd.MM.yyyy", u"h:nn:ss"}, {"uk", u',', u'\u00A0', u"dd.MM.yyyy", u"h:nn:ss"},
    {"be", u',', u'\u00A0', u"dd.MM.yyyy", u"h:nn:ss"}, {"kk", u',', u'\u00A0', u"dd.MM.yyyy", u"h:nn:ss"},
    {"de", u',', u'.', u"dd.MM.yyyy", u"hh:nn:ss"},      {"fr", u',', u'\u00A0', u"dd/MM/yyyy", u"hh:nn:ss"},
    {"it", u',', u'.', u"dd/MM/yyyy", u"hh:nn:ss"},      {"es", u',', u'.', u"dd/MM/yyyy", u"h:nn:ss"},
    {"pl", u',', u'\u00A0', u"dd.MM.yyyy", u"hh:nn:ss"}, {"en", u'.', u',', u"dd/MM/yyyy", u"hh:nn:ss"},
};

const LanguageDefaults* FindLanguage(const std::string& name) {
  std::string lang = name.substr(0, name.find_first_of("_.@"));
  for (const auto& l : kLanguages)
    if (lang == l.language) return &l;
  return nullptr;
}

// Text from nl_langinfo_l in the locale's own character set.
String LocaleText(const char* text, locale_t loc) {
  if (!text) return {};
  const char* codeset = nl_langinfo_l(CODESET, loc);
  if (!codeset || std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)
    return Utf8ToString(text);
  std::string name = codeset;
  // Code sets iconv knows by name; a failure leaves the Windows-1251 fallback, harmless for the
  // separators and digits read here.
  static const std::pair<const char*, int> kSets[] = {
      {"ANSI_X3.4-1968", 20127}, {"ISO-8859-1", 28591}, {"ISO-8859-5", 28595}, {"KOI8-R", 20866},
      {"CP1251", 1251},          {"KOI8-U", 21866},     {"ISO-8859-15", 28605}};
  for (const auto& [set, cp] : kSets)
    if (name == set) return CodePageToString(text, cp);
  return Utf8ToString(text);
}

// strftime's time and date directives in the class library's notation.
String FromStrftime(const String& f) {
  String out;
  for (size_t i = 0; i < f.size(); ++i) {
    Char c = f[i];
    if (c != u'%' || i + 1 >= f.size()) {
      if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        out += String(u"\"") + c + u"\"";
      else
        out.push_back(c);
      continue;
    }
    Char d = f[++i];
    if (d == u'E' || d == u'O' || d == u'-' || d == u'_' || d == u'0') {
      if (i + 1 >= f.size()) break;
      d = f[++i];
    }
    switch (d) {
      case u'H': out += u"hh"; break;
      case u'k': out += u"h"; break;
      case u'I': out += u"hh"; break;
      case u'l': out += u"h"; break;
      case u'M': out += u"nn"; break;
      case u'S': out += u"ss"; break;
      case u'p': case u'P': out += u"ampm"; break;
      case u'T': out += u"hh:nn:ss"; break;
      case u'R': out += u"hh:nn"; break;
      case u'r': out += u"hh:nn:ss ampm"; break;
      case u'd': out += u"dd"; break;
      case u'e': out += u"d"; break;
      case u'm': out += u"MM"; break;
      case u'y': out += u"yy"; break;
      case u'Y': case u'C': out += u"yyyy"; break;
      case u'D': out += u"MM/dd/yy"; break;
      case u'F': out += u"yyyy-MM-dd"; break;
      case u'%': out += u"%"; break;
      default: break;
    }
  }
  return out;
}

Char FirstSeparator(const String& f, Char fallback) {
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == u'%') {
      ++i;
      continue;
    }
    if (!((f[i] >= u'a' && f[i] <= u'z') || (f[i] >= u'A' && f[i] <= u'Z'))) return f[i];
  }
  return fallback;
}

String WithoutSeconds(String longTime) {
  size_t p = longTime.find(u"ss");
  if (p == String::npos) return longTime;
  size_t b = p;
  while (b > 0 && longTime[b - 1] != u'n') --b;  // drop the separator before the seconds too
  longTime.erase(b, p + 2 - b);
  return longTime;
}

TFormatSettings ReadLocale() {
  TFormatSettings fs;
  const std::string numeric = LocaleName("LC_NUMERIC");
  const std::string time = LocaleName("LC_TIME");

  // The character set of the locale's texts is its LC_CTYPE's: without it, the separators of an
  // installed UTF-8 locale would be read as the C locale's ASCII.
  if (locale_t loc = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, numeric.c_str(), static_cast<locale_t>(0))) {
    if (!IsPlainC(numeric)) {
      String dec = LocaleText(nl_langinfo_l(RADIXCHAR, loc), loc);
      String thou = LocaleText(nl_langinfo_l(THOUSEP, loc), loc);
      if (dec.size() == 1) fs.DecimalSeparator = dec[0];
      fs.ThousandSeparator = thou.size() == 1 ? thou[0] : Char(0);
      // A narrow no-break space is shown as a no-break space, as Windows does.
      if (fs.ThousandSeparator == u'\u202F') fs.ThousandSeparator = u'\u00A0';
    }
    freelocale(loc);
  } else if (const LanguageDefaults* l = FindLanguage(numeric)) {
    fs.DecimalSeparator = l->decimal;
    fs.ThousandSeparator = l->thousands;
  }

  if (locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, time.c_str(), static_cast<locale_t>(0))) {
    if (!IsPlainC(time)) {
      String tf = LocaleText(nl_langinfo_l(T_FMT, loc), loc);
      String df = LocaleText(nl_langinfo_l(D_FMT, loc), loc);
      if (!tf.empty()) {
        fs.LongTimeFormat = FromStrftime(tf);
        fs.ShortTimeFormat = WithoutSeconds(fs.LongTimeFormat);
        fs.TimeSeparator = FirstSeparator(tf, u':');
      }
      if (!df.empty()) {
        fs.ShortDateFormat = FromStrftime(df);
        fs.DateSeparator = FirstSeparator(df, u'.');
      }
    }
    freelocale(loc);
  } else if (const LanguageDefaults* l = FindLanguage(time)) {
    fs.ShortDateFormat = l->shortDate;
    fs.LongTimeFormat = l->longTime;
    fs.ShortTimeFormat = WithoutSeconds(fs.LongTimeFormat);
    fs.DateSeparator = fs.ShortDateFormat[2];
  }
  return fs;
}

TFormatSettings& Settings() {
  static TFormatSettings fs = ReadLocale();
  return fs;
}

}  // namespace

TFormatSettings& FormatSettings() {
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  return Settings();
}

void LoadFormatSettingsFromLocale() {
  TFormatSettings fs = ReadLocale();
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  Settings() = fs;
}

void SetFormatSettings(const TFormatSettings& fs) {
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  Settings() = fs;
}

TFormatSettings InvariantFormatSettings() {
  TFormatSettings fs;
  fs.DecimalSeparator = u'.';
  fs.ThousandSeparator = 0;
  fs.LongTimeFormat = u"hh:nn:ss";
  fs.ShortTimeFormat = u"hh:nn";
  fs.ShortDateFormat = u"MM/dd/yyyy";
  fs.DateSeparator = u'/';
  fs.TimeSeparator = u':';
  return fs;
}

}  // namespace pf
