#pragma once
// The platform's identity as the program tests it: the platform id and the version numbers of
// the system. The layer answers as a current Windows does; tests may pretend to be another.

#include "platform/rtl/Types.h"

namespace pf {

constexpr Integer VER_PLATFORM_WIN32s = 0;
constexpr Integer VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr Integer VER_PLATFORM_WIN32_NT = 2;

struct TPlatformVersion {
  Integer Platform{VER_PLATFORM_WIN32_NT};
  Integer Major{10};
  Integer Minor{0};
  Integer Build{19045};
};

TPlatformVersion PlatformVersion();
// The platform id alone, without the lock: string comparisons ask it on every call, and a sort
// makes a million of them.
Integer PlatformId();
// Tests only; ResetPlatformVersion goes back to the layer's answer.
void SetPlatformVersion(const TPlatformVersion& v);
void ResetPlatformVersion();

}  // namespace pf
