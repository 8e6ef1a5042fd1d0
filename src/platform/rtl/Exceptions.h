#pragma once
// The class library's exception classes. Messages are UTF-16; what() gives them as UTF-8.

#include <exception>
#include <string>

#include "platform/rtl/Types.h"

namespace pf {

class Exception : public std::exception {
public:
  explicit Exception(String message);
  const String& Message() const { return FMessage; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

private:
  String FMessage;
  std::string FUtf8;
};

#define PF_DECLARE_EXCEPTION(Name, Base)            \
  class Name : public Base {                        \
  public:                                           \
    using Base::Base;                               \
  };

PF_DECLARE_EXCEPTION(EAssertionFailed, Exception)
PF_DECLARE_EXCEPTION(EConvertError, Exception)
PF_DECLARE_EXCEPTION(EStreamError, Exception)
PF_DECLARE_EXCEPTION(EFOpenError, EStreamError)
PF_DECLARE_EXCEPTION(EFCreateError, EStreamError)
PF_DECLARE_EXCEPTION(EReadError, EStreamError)
PF_DECLARE_EXCEPTION(EWriteError, EStreamError)
PF_DECLARE_EXCEPTION(EInOutError, Exception)
PF_DECLARE_EXCEPTION(EListError, Exception)
PF_DECLARE_EXCEPTION(EStringListError, Exception)
PF_DECLARE_EXCEPTION(EInvalidOperation, Exception)
PF_DECLARE_EXCEPTION(EInvalidPointer, Exception)
PF_DECLARE_EXCEPTION(EOutOfMemory, Exception)
PF_DECLARE_EXCEPTION(EThread, Exception)
PF_DECLARE_EXCEPTION(EOSError, Exception)

// Raises EAssertionFailed with "<message> (<unit path>)" when the condition does not hold.
void Assert(bool condition, const String& message, const char* unitPath = nullptr);

}  // namespace pf
