#include "platform/kernel/Version.h"

#include <atomic>
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
std::atomic<Integer>& CurrentId() {
  static std::atomic<Integer> id{TPlatformVersion{}.Platform};
  return id;
}
}  // namespace

Integer PlatformId() { return CurrentId().load(std::memory_order_relaxed); }

TPlatformVersion PlatformVersion() {
  std::lock_guard lock(M());
  return Current();
}

void SetPlatformVersion(const TPlatformVersion& v) {
  std::lock_guard lock(M());
  Current() = v;
  CurrentId().store(v.Platform, std::memory_order_relaxed);
}

void ResetPlatformVersion() { SetPlatformVersion(TPlatformVersion{}); }

}  // namespace pf
