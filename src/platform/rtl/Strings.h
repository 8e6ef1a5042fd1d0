#pragma once
// String conversions and the class library's string routines.

#include <optional>
#include <string>

#include "platform/rtl/Types.h"

namespace pf {

// ---- Unicode conversions ----
String Utf8ToString(std::string_view utf8);   // invalid sequences become U+FFFD
std::string StringToUtf8(StringView s);
inline String U(std::string_view utf8) { return Utf8ToString(utf8); }  // short form for tests

// ---- Code pages ----
// The "system ANSI code page" is Windows-1251 unless PHOTO_ORDER_CODEPAGE names another
// (a number such as 1252, or an iconv name). Read once; tests change it through SetAnsiCodePage.
constexpr int CP_ACP = 0;
constexpr int CP_UTF8 = 65001;
int AnsiCodePage();
void SetAnsiCodePage(int codePage);     // tests only
void ResetAnsiCodePage();               // back to the environment's choice

// Bytes in `codePage` (CP_ACP for the system's) to UTF-16. Bytes the code page does not define
// become U+FFFD.
String CodePageToString(std::string_view bytes, int codePage = CP_ACP);
// UTF-16 to bytes in `codePage`; characters it cannot hold become "?". `lossless` (when given)
// tells whether every character fitted.
std::string StringToCodePage(StringView s, int codePage = CP_ACP, bool* lossless = nullptr);
inline String AnsiToString(std::string_view bytes) { return CodePageToString(bytes, CP_ACP); }
inline std::string StringToAnsi(StringView s) { return StringToCodePage(s, CP_ACP); }

// ---- Routines of the class library ----
String Trim(StringView s);              // removes characters <= U+0020 at both ends
String TrimLeft(StringView s);
String TrimRight(StringView s);
String UpperCase(StringView s);         // ASCII only
String LowerCase(StringView s);         // ASCII only
String AnsiUpperCase(StringView s);     // full case mapping of the letters the program meets
String AnsiLowerCase(StringView s);
int CompareStr(StringView a, StringView b);
int CompareText(StringView a, StringView b);      // ASCII case-insensitive
int AnsiCompareText(StringView a, StringView b);  // case-insensitive, Latin, Cyrillic, Greek
bool SameText(StringView a, StringView b);        // AnsiCompareText(a, b) == 0
Char CharUpper(Char c);
Char CharLower(Char c);

String IntToStr(Int64 value);
String IntToHex(UInt64 value, int digits);
String StringOfChar(Char c, int count);
// Decimal integer conversions (optional sign, digits, "$"/"0x" hex as the class library accepts).
bool TryStrToInt(StringView s, Integer& value);
bool TryStrToInt64(StringView s, Int64& value);
Integer StrToInt(StringView s);                   // raises EConvertError
Integer StrToIntDef(StringView s, Integer def);
Int64 StrToInt64Def(StringView s, Int64 def);

// Position of `sub` in `s`, 1-based, 0 when absent (the class library's Pos).
int Pos(StringView sub, StringView s);
// Replaces every occurrence.
String StringReplaceAll(StringView s, StringView from, StringView to);

}  // namespace pf
