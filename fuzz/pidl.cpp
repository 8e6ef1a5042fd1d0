// Item ID list streams: a PIDL list as saved by the list view and the data objects, and a single
// PIDL record; what reads back is walked and written out again.
#include "common/CommonObjects.h"
#include "platform/rtl/Exceptions.h"

using namespace pf;
using namespace common;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Owned<TMemoryStream> stream(TMemoryStream::New());
  stream->WriteBytes(bytes);
  stream->SetPosition(0);
  Owned<TCommonPIDLList> list(TCommonPIDLList::New());
  if (list->LoadFromStream(*stream)) {
    Owned<TMemoryStream> out(TMemoryStream::New());
    list->SaveToStream(*out);
  }
  // The same bytes as one record.
  Owned<TCommonPIDLManager> manager(TCommonPIDLManager::New());
  stream->SetPosition(0);
  try {
    PItemIDList pidl = manager->LoadFromStream(*stream);
    if (pidl) {
      (void)manager->IDCount(pidl);
      (void)manager->GetPointerToLastID(pidl);
      PItemIDList copy = manager->CopyPIDL(pidl);
      manager->StripLastID(copy);
      manager->FreePIDL(copy);
      manager->FreePIDL(pidl);
    }
  } catch (const EStreamError&) {
  } catch (const EOutOfMemory&) {
  }
  return 0;
}
