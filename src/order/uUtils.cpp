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

bool TryDecimalToInt(StringView Text, Integer& Value) {
  size_t i = 0;
  while (i < Text.size() && Text[i] == u' ') ++i;
  bool negative = false;
  if (i < Text.size() && (Text[i] == u'-' || Text[i] == u'+')) negative = Text[i++] == u'-';
  if (i == Text.size()) return false;
  const Int64 limit = negative ? Int64{1} << 31 : (Int64{1} << 31) - 1;
  Int64 magnitude = 0;
  for (; i < Text.size(); ++i) {
    if (Text[i] < u'0' || Text[i] > u'9') return false;
    magnitude = magnitude * 10 + (Text[i] - u'0');
    if (magnitude > limit) return false;
  }
  Value = static_cast<Integer>(negative ? -magnitude : magnitude);
  return true;
}

String FormatInteger(Int64 Value) {
  // The magnitude as unsigned, so the most negative value has one too.
  UInt64 magnitude = Value < 0 ? UInt64{0} - static_cast<UInt64>(Value) : static_cast<UInt64>(Value);
  std::string digits = std::to_string(magnitude);
  const Char separator = FormatSettings().ThousandSeparator;
  String text;
  if (Value < 0) text.push_back(u'-');
  for (size_t i = 0; i < digits.size(); ++i) {
    text.push_back(static_cast<Char>(digits[i]));
    const size_t rest = digits.size() - 1 - i;
    if (separator && rest > 0 && rest % 3 == 0) text.push_back(separator);
  }
  return text;
}

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

String ProfileArgument() {
  // An empty first argument names no profile, the same as no argument at all: that is how a
  // launcher passes an unset profile on.
  return ParamCount() >= 1 ? ParamStr(1) : String();
}

String ProfileArgumentError() {
  const String profile = ProfileArgument();
  return profile.empty() ? String() : ProfileNameError(profile);
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
  if (const String profile = ProfileArgument(); !profile.empty()) {
    String error = ProfileNameError(profile);
    if (!error.empty()) throw EProfileError(error);
    folder += profile + PathDelim;
  }
  ForceDirectories(folder);
  return folder;
}

String GetInfoFileName() { return GetAppFolder() + u"Info.cfg"; }

}  // namespace order
