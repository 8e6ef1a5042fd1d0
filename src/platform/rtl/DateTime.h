#pragma once
// TDateTime: days since 1899-12-30 as a double, as the class library keeps it.

#include "platform/rtl/Format.h"

namespace pf {

using TDateTime = double;

TDateTime Now();  // local wall time
TDateTime EncodeDate(Word year, Word month, Word day);
TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec);
void DecodeDate(TDateTime dt, Word& year, Word& month, Word& day);
void DecodeTime(TDateTime dt, Word& hour, Word& min, Word& sec, Word& msec);
// The class library's FormatDateTime with the patterns d dd m mm yy yyyy h hh n nn s ss z zzz
// ampm and the separators "/" and ":" taken from the settings; quoted text is copied.
String FormatDateTime(StringView pattern, TDateTime dt);
String FormatDateTime(StringView pattern, TDateTime dt, const TFormatSettings& fs);
String TimeToStr(TDateTime dt);  // with LongTimeFormat

}  // namespace pf
