// The list view stream: whole control records, one after another while bytes remain, read into a
// control that already holds a group, an item and a column (each later record into what the one
// before left, its item classes too); what reads back is written out again. A damaged stream must
// raise a stream error (or the unknown-class assertion) and nothing else.
#include "common/CommonObjects.h"
#include "listview/EmberListview.h"
#include "platform/rtl/Exceptions.h"

using namespace pf;
using namespace ember;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The stream's integers and class names go through the common library's helper.
  common::InitializeCommonObjects();
  InitializeEmberListview();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Owned<TEmberListview> lv(TEmberListview::New(nullptr));
  lv->GetItems()->Add()->SetCaption(u"old");
  lv->GetHeader()->GetColumns()->Add();
  Owned<TMemoryStream> in(TMemoryStream::New());
  in->WriteBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  in->SetPosition(0);
  // Each record takes at least its four-byte version.
  for (int record = 0; record < 4 && in->GetPosition() < in->GetSize(); ++record) {
    try {
      lv->LoadFromStream(*in);
    } catch (const EStreamError&) {
      break;
    } catch (const EAssertionFailed&) {
      break;
    }
  }
  Owned<TMemoryStream> out(TMemoryStream::New());
  lv->SaveToStream(*out);
  return 0;
}
