// Data-object blocks from another program: the first byte says which reader gets the rest, a
// DROPFILES block (CF_HDROP) or a CIDA block ("Shell IDList Array"). The block arrives in a global
// block of exactly its size, as a drop or the clipboard hands it over, and what reads back is
// walked the way the program walks it.
#include "common/CommonDataObject.h"

using namespace pf;
using namespace common;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeCommonDataObject();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  bool cida = data[0] & 1;
  ComPtr<IDataObject> obj(TCommonDataObject::New(true)->AsDataObject());
  ComPtr<ICommonDataObject> common;
  obj.As(common);
  if (!common->SaveGlobalBlock(cida ? CF_SHELLIDLIST : CF_HDROP, data + 1, static_cast<Integer>(size - 1))) return 0;
  if (cida) {
    Owned<TCommonShellIDList> list(TCommonShellIDList::New());
    if (list->LoadFromDataObject(obj.Get())) {
      (void)CommonDataObjectPIDLMgr->PIDLSize(list->ParentPIDL());
      for (Integer i = 0; i < list->PIDLCount() && i < 4096; ++i) {
        (void)CommonDataObjectPIDLMgr->IDCount(list->RelativePIDL(i));
        CommonDataObjectPIDLMgr->FreePIDL(list->AbsolutePIDL(i));
      }
      list->SaveToDataObject(obj.Get());
    }
  } else {
    Owned<TCommonHDrop> drop(TCommonHDrop::New());
    if (drop->LoadFromDataObject(obj.Get())) {
      Owned<TStringList> names(TStringList::New());
      drop->FileNamesW(names.get());
      for (Integer i = 0; i <= drop->FileCount(); ++i) (void)drop->FileNameW(i);
      drop->SaveToDataObject(obj.Get());
    }
  }
  return 0;
}
