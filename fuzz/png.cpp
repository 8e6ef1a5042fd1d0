// The PNG reader: header and thumbnail path.
#include "FuzzPhoto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzphoto::RunPhoto(data, size, "\x89PNG\r\n\x1A\n", 8);
}
