#include "order/uLists.h"

#include <mutex>

#include "platform/rtl/Format.h"
#include "platform/rtl/Units.h"

namespace order {

Integer MinPrice = 50;
String UploadScriptURL;
String UpdateURL;

namespace {
std::mutex gListsLock;
TCityList* gCities = nullptr;
TPhotoSizeList* gPhotoSizes = nullptr;
}  // namespace

TCityList* Cities() {
  std::lock_guard lock(gListsLock);
  if (!gCities) gCities = TCityList::New();
  return gCities;
}

TPhotoSizeList* PhotoSizes() {
  std::lock_guard lock(gListsLock);
  if (!gPhotoSizes) gPhotoSizes = TPhotoSizeList::New();
  return gPhotoSizes;
}

Integer TCityList::Add(TCity* Item) { return AppendValid(Item); }

void TCityList::FillCities(TStrings* Strings) const {
  TStringsUpdate update(*Strings);
  Strings->Clear();
  for (TCity* city : *this) Strings->Add(city->Name);
}

Integer TPhotoSizeList::Add(TPhotoSize* Item) { return AppendValid(Item); }

void TPhotoSizeList::FillPhotoSizes(TStrings* Strings) const {
  Strings->Clear();
  for (TPhotoSize* size : *this) Strings->Add(size->Name);
}

String TPhotoSizeList::GetPaperType(Integer PhotoSize, TPaperType PaperType) const {
  double price = Items(PhotoSize)->Prices[PaperType];
  return Format(u"%s  (%s руб.)", {PaperTypeNames[PaperType], FormatFloat(u"##0.##", price)});
}

void TPhotoSizeList::FillPaperTypes(Integer PhotoSize, TStrings* Strings) const {
  Strings->Clear();
  for (TPaperType paper : AllPaperTypes)
    if (Items(PhotoSize)->Prices[paper] > 0)
      Strings->AddObject(GetPaperType(PhotoSize, paper), IntToObject(paper));
}

namespace uLists {

namespace {
TUnitCounter gUnit;
}

void Initialize() { gUnit.Enter(); }

void Finalize() {
  if (gUnit.Leave()) Reset();
}

void Reset() {
  std::lock_guard lock(gListsLock);
  FreeAndNil(gCities);
  FreeAndNil(gPhotoSizes);
  MinPrice = 50;
  UploadScriptURL.clear();
  UpdateURL.clear();
}

}  // namespace uLists

}  // namespace order
