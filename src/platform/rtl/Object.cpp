#include "platform/rtl/Object.h"

#include <atomic>

namespace pf {

namespace {
std::atomic<int64_t> gLiveObjects{0};
}

int64_t TObject::LiveObjects() { return gLiveObjects.load(); }

void TObject::CountCreated() {
  FCounted = true;
  gLiveObjects.fetch_add(1);
}

void TObject::Free() {
  BeforeDestruction();
  Destroy();
  if (FCounted) gLiveObjects.fetch_sub(1);
  delete this;
}

}  // namespace pf
