#include "platform/kernel/Version.h"

#include <mutex>

namespace pf {

namespace {
std::mutex& M() {
  static std::mutex m;
  return m;
}
TPlatformVersion& Current() {
  static TPlatformVersion v;
  return v;
}
}  // namespace

TPlatformVersion PlatformVersion() {
  std::lock_guard lock(M());
  return Current();
}

void SetPlatformVersion(const TPlatformVersion& v) {
  std::lock_guard lock(M());
  Current() = v;
}

void ResetPlatformVersion() { SetPlatformVersion(TPlatformVersion{}); }

}  // namespace pf
