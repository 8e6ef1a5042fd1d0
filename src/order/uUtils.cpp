#include "order/uUtils.h"

#include <pwd.h>
#include <unistd.h>

#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

namespace order {

String ExtractFileTitle(const String& FileName) {
  String title = FileName;
  size_t slash = title.rfind(u'/');
  if (slash != String::npos) title.erase(0, slash + 1);
  size_t dot = title.rfind(u'.');
  if (dot != String::npos) title.erase(dot);
  return title;
}

Owned<TBoxedString> BoxString(const String& S) {
  Owned<TBoxedString> box(TBoxedString::New());
  box->Value = S;
  return box;
}

void UnboxString(Owned<TObject> P, String& S) {
  auto* box = dynamic_cast<TBoxedString*>(P.get());
  S = box ? std::move(box->Value) : String();
}

Int64 DigitsToInt64(const String& Text, Int64 Default) {
  String digits;
  for (Char c : Text)
    if (c >= u'0' && c <= u'9') digits.push_back(c);
  if (digits.empty()) return Default;
  return StrToInt64Def(digits, Default);
}

String FormatInteger(Int64 Value) { return FormatFloat(u"###,###,###,##0", static_cast<double>(Value)); }

String FormatMoney(double Value) { return FormatFloat(u"###,###,##0.00", Value); }

String ProfileNameError(const String& Argument) {
  bool bad = Argument.empty() || Argument == u"." || Argument == u"..";
  for (Char c : Argument)
    if (c == u'/' || c == u'\\' || c < 0x20 || (c >= 0x7F && c <= 0x9F)) bad = true;
  // The folder name must also fit the file system's limit on one name.
  if (StringToUtf8(Argument).size() > 255) bad = true;
  if (!bad) return String();
  return u"Имя профиля в командной строке должно быть именем одной папки: непустым, не «.» и "
         u"не «..», без символов «/» и «\\» и без управляющих символов.";
}

String ProfileArgumentError() {
  if (ParamCount() < 1) return String();
  return ProfileNameError(ParamStr(1));
}

namespace {

// The user's application-data folder, as the XDG base directories define it.
String UserConfigFolder() {
  String config = GetEnvironmentVariable(u"XDG_CONFIG_HOME");
  if (!config.empty() && config[0] == u'/') return IncludeTrailingPathDelimiter(config);
  String home = GetEnvironmentVariable(u"HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = FromNativePath(pw->pw_dir);
  }
  return IncludeTrailingPathDelimiter(home) + u".config/";
}

}  // namespace

String GetAppFolder() {
  String folder = UserConfigFolder() + AppTitle + PathDelim;
  if (ParamCount() >= 1) {
    String profile = ParamStr(1);
    String error = ProfileNameError(profile);
    if (!error.empty()) throw EProfileError(error);
    folder += profile + PathDelim;
  }
  ForceDirectories(folder);
  return folder;
}

String GetInfoFileName() { return GetAppFolder() + u"Info.cfg"; }

}  // namespace order
