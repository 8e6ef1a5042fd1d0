#include "orderui/uWarningImage.h"

#include "platform/rtl/Resources.h"
#include "platform/rtl/Units.h"

namespace order {

namespace {
pf::Owned<pf::TBitmap> gWarningImage;
pf::TUnitCounter gCounter;
}  // namespace

pf::TBitmap* WarningImage() { return gWarningImage.get(); }

namespace uWarningImage {

void Initialize() {
  if (!gCounter.Enter()) return;
  gWarningImage.reset(pf::TBitmap::New());
  if (auto data = pf::FindResource("RCDATA", "WARNING")) {
    pf::Owned<pf::TMemoryStream> stream(pf::TMemoryStream::New());
    stream->WriteBytes(*data);
    stream->SetPosition(0);
    gWarningImage->LoadFromStream(*stream);
  }
}

void Finalize() {
  if (gCounter.Leave()) gWarningImage.reset();
}

}  // namespace uWarningImage

}  // namespace order
