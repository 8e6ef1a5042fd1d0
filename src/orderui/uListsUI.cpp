#include "orderui/uListsUI.h"

#include "platform/classlib/ComboBox.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Units.h"

namespace order {

using namespace pf;

namespace {
Owned<TBitmap> gWarningImage;
TUnitCounter gCounter;
}  // namespace

TObject* GetComboObject(TComboBox* Combo) {
  Integer index = Combo->GetItemIndex();
  if (index < 0 || index >= Combo->GetItems()->Count()) return nullptr;
  return Combo->GetItems()->GetObject(index);
}

void SelectComboObject(TComboBox* Combo, TObject* Value) {
  TStrings* items = Combo->GetItems();
  for (Integer i = 0; i < items->Count(); ++i) {
    if ((ObjectToInt(items->GetObject(i)) & 0xFF) == (ObjectToInt(Value) & 0xFF)) {
      Combo->SetItemIndex(i);
      return;
    }
  }
  Combo->SetItemIndex(0);
}

TBitmap* WarningImage() { return gWarningImage.get(); }

namespace uListsUI {

void Initialize() {
  if (!gCounter.Enter()) return;
  gWarningImage.reset(TBitmap::New());
  if (auto data = FindResource("RCDATA", "WARNING")) {
    Owned<TMemoryStream> stream(TMemoryStream::New());
    stream->WriteBytes(*data);
    stream->SetPosition(0);
    gWarningImage->LoadFromStream(*stream);
    // The picture lies over photos: its transparent surround must let them show through.
    if (gWarningImage->GetPixelFormat() == TPixelFormat::pf32bit) gWarningImage->AlphaFormat = TAlphaFormat::afDefined;
  }
}

void Finalize() {
  if (gCounter.Leave()) gWarningImage.reset();
}

void Register() { RegisterUnit(100, "uListsUI", Initialize, Finalize); }

}  // namespace uListsUI

}  // namespace order
