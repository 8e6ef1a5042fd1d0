#pragma once
// Number and text formatting with the class library's format settings.

#include <initializer_list>
#include <variant>

#include "platform/rtl/Types.h"

namespace pf {

struct TFormatSettings {
  Char DecimalSeparator{u'.'};
  Char ThousandSeparator{u','};  // 0: none
  String LongTimeFormat{u"hh:nn:ss"};
  String ShortTimeFormat{u"hh:nn"};
  String ShortDateFormat{u"dd.MM.yyyy"};
  Char DateSeparator{u'.'};
  Char TimeSeparator{u':'};
};

// The process's format settings, read from the user's locale (LC_NUMERIC, LC_TIME) at start-up.
TFormatSettings& FormatSettings();
void LoadFormatSettingsFromLocale();   // reads the locale again
void SetFormatSettings(const TFormatSettings& fs);  // tests
// "." decimals, no grouping.
TFormatSettings InvariantFormatSettings();

// One argument of Format, as the class library's array of const.
class TVarRec {
public:
  TVarRec(int v) : FValue(static_cast<Int64>(v)) {}
  TVarRec(long v) : FValue(static_cast<Int64>(v)) {}
  TVarRec(long long v) : FValue(static_cast<Int64>(v)) {}
  TVarRec(unsigned v) : FValue(static_cast<Int64>(v)) {}
  TVarRec(unsigned long v) : FValue(static_cast<Int64>(v)) {}
  TVarRec(unsigned long long v) : FValue(static_cast<Int64>(v)) {}
  TVarRec(double v) : FValue(v) {}
  TVarRec(const String& v) : FValue(v) {}
  TVarRec(const Char* v) : FValue(String(v)) {}
  TVarRec(StringView v) : FValue(String(v)) {}
  TVarRec(const void* v) : FValue(v) {}
  // A character is text for %s, as the class library's wide characters are.
  TVarRec(Char v) : FValue(String(1, v)) {}
  // 8-bit text has no code page here; convert it first (U(...) for UTF-8). Without this it would
  // silently become a pointer.
  TVarRec(const char* v) = delete;
  const std::variant<Int64, double, String, const void*>& Value() const { return FValue; }

private:
  std::variant<Int64, double, String, const void*> FValue;
};

// The class library's Format: %[index:][-][width][.precision]type with types d u e f g n m p s x
// and "%%"; width and precision may be "*" (taken from the arguments). Raises EConvertError on a
// bad format, a missing argument or a wrong argument type; an integer is accepted where a float
// is expected. The settings carry no currency, so %m is %n with two decimals by default.
String Format(StringView fmt, std::initializer_list<TVarRec> args);
String Format(StringView fmt, std::initializer_list<TVarRec> args, const TFormatSettings& fs);

// The class library's FormatFloat: patterns of "0", "#", ".", ",", "E+" and literal text, with up
// to three sections separated by ";". Rounds half away from zero on the decimal value.
String FormatFloat(StringView pattern, double value);
String FormatFloat(StringView pattern, double value, const TFormatSettings& fs);

// Float conversions with a given decimal separator; no grouping accepted.
bool TryStrToFloat(StringView s, double& value, const TFormatSettings& fs);
bool TryStrToFloat(StringView s, double& value);
String FloatToStr(double value);
String FloatToStr(double value, const TFormatSettings& fs);

// Rounding to nearest with halves to the even neighbour (the class library's Round).
Int64 Round(double value);
// Truncation toward zero.
Int64 Trunc(double value);

}  // namespace pf
