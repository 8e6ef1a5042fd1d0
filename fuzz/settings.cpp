// The price list as the download thread hands it over and the start-up applies it: the settings
// store's text reader, the typed getters, Base64 and UTF-8 of the texts, the cities, places and
// sizes that the lists take, the upload address, and the lists' captions.
#include "order/uSettings.h"
#include "order/uUploader.h"
#include "platform/rtl/Classes.h"

using namespace pf;
using namespace order;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Owned<TMemoryStream> stream(TMemoryStream::New());
  stream->WriteBytes(bytes);
  stream->SetPosition(0);
  Owned<TSettings> settings(TSettings::New());
  settings->LoadFromStream(stream.get());

  (void)settings->GetMinPrice();
  (void)settings->GetLastVersion();
  (void)settings->GetDownloadURL();
  (void)ParseUrlParts(settings->GetUploadScript());
  Owned<TCityList> cities(TCityList::New());
  Owned<TPhotoSizeList> sizes(TPhotoSizeList::New());
  // As the start-up applies it: the cities and sizes that have entries, whatever the counts say.
  (void)settings->GetCityCount();
  (void)settings->GetSizeCount();
  for (Integer i : settings->CityIndexes()) cities->Add(settings->GetCity(i).release());
  for (Integer i : settings->SizeIndexes()) sizes->Add(settings->GetPhotoSize(i).release());
  Owned<TStringList> captions(TStringList::New());
  cities->FillCities(captions.get());
  sizes->FillPhotoSizes(captions.get());
  for (Integer i = 0; i < sizes->Count(); ++i) sizes->FillPaperTypes(i, captions.get());

  // Base64 of any text, as the store's text values are read.
  String text;
  text.reserve(size);
  for (unsigned char c : bytes) text.push_back(static_cast<Char>(c));
  (void)DecodeBase64(text);
  return 0;
}
