#include "platform/rtl/Exceptions.h"

#include "platform/rtl/Strings.h"

namespace pf {

Exception::Exception(String message) : FMessage(std::move(message)), FUtf8(StringToUtf8(FMessage)) {}

void Assert(bool condition, const String& message, const char* unitPath) {
  if (condition) return;
  String text = message;
  if (unitPath && *unitPath) text += u" (" + Utf8ToString(unitPath) + u")";
  throw EAssertionFailed(text);
}

}  // namespace pf
