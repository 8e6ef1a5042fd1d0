#pragma once
// Small routines shared by the program's windows and threads that need no window: rectangles,
// file titles, number formats, strings carried in posted messages, and the folder of the
// customer's file.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Object.h"

namespace order {

using namespace pf;

// The program's title; also the name of its folder and its HTTP agent name.
inline const String AppTitle = u"Сельвана Тихоград - заказ фотографий";

inline Integer RectWidth(const TRect& R) { return R.Width(); }
inline Integer RectHeight(const TRect& R) { return R.Height(); }

// The file name without folder and extension: "/photos/IMG_0001.JPG" gives "IMG_0001".
String ExtractFileTitle(const String& FileName);

// A string travelling as the payload of a posted message.
class TBoxedString : public TObject {
  PF_CLASS(TBoxedString)
public:
  String Value;
};

Owned<TBoxedString> BoxString(const String& S);
// S takes the boxed string and the box is freed; a payload of another kind gives an empty S.
void UnboxString(Owned<TObject> P, String& S);

// Keeps only the digits of Text and converts them; Default when none are left or they overflow.
Int64 DigitsToInt64(const String& Text, Int64 Default);
// A decimal integer as the lab's files write it: leading blanks, an optional sign, then decimal
// digits only, nothing after. The class library's reader also takes "$64" and "0x64" as hex, which
// would read a typo in a price list as another number.
bool TryDecimalToInt(StringView Text, Integer& Value);
// "###,###,###,##0" and "###,###,##0.00" with the locale's separators. Every 64-bit value is
// formatted exactly (no detour through a double, which loses digits above 2^53).
String FormatInteger(Int64 Value);
String FormatMoney(double Value);

// Raised by GetAppFolder when the first command-line argument is not a single folder name.
PF_DECLARE_EXCEPTION(EProfileError, Exception)

// Why a profile argument is refused, or empty when it names a single folder. The program's
// start-up checks ParamStr(1) with it before anything touches the customer's folder.
String ProfileNameError(const String& Argument);
// The profile the command line names: its first argument, empty when there is none.
String ProfileArgument();
// Why that profile is refused; empty when it is fine or when the command line names none.
String ProfileArgumentError();

// $XDG_CONFIG_HOME (or ~/.config), the program's title, and the profile folder named by the first
// command-line argument when it is not empty, with a trailing "/"; every call creates the folders
// that are missing.
// An argument that is not one plain folder name is never used as a path: EProfileError instead.
String GetAppFolder();
String GetInfoFileName();

}  // namespace order
