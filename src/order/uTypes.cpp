#include "order/uTypes.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/Strings.h"

namespace order {

namespace {
bool IsZeroPrice(double price) { return std::fabs(price) <= 1E-12; }
}  // namespace

double TPhotoSize::AR() const {
  Integer larger = std::max(Width, Height);
  Integer smaller = std::min(Width, Height);
  if (smaller <= 0) return 0;
  return static_cast<double>(larger) / smaller;
}

bool TPhotoSize::Valid() const {
  if (Trim(Name).empty() || Width == 0 || Height == 0) return false;
  return std::any_of(Prices.begin(), Prices.end(), [](double p) { return !IsZeroPrice(p); });
}

bool TPlace::Valid() const { return !Trim(Name).empty(); }

void TCity::Create() {
  TObject::Create();
  FPlaces.reset(TPlaceList::New());
}

void TCity::Destroy() {
  FPlaces.reset();
  TObject::Destroy();
}

bool TCity::Valid() {
  for (Integer i = FPlaces->Count() - 1; i >= 0; --i)
    if (Trim((*FPlaces)[i]->Name).empty()) FPlaces->Delete(i);
  return !Trim(Name).empty() && FPlaces->Count() > 0;
}

void TCity::FillPlaces(TStrings* Strings) const {
  TStringsUpdate update(*Strings);
  Strings->Clear();
  for (TPlace* place : *FPlaces) Strings->Add(place->Name);
}

}  // namespace order
