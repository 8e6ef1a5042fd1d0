#pragma once
// The lists of the lab's cities and print sizes, and the values of the price list that the rest
// of the program reads. Start-up fills them once; afterwards worker threads only read them.

#include "order/uTypes.h"

namespace order {

class TCityList : public TOwnedList<TCity> {
  PF_CLASS(TCityList)
public:
  // Takes the city: appends it when it is valid and answers its index, otherwise frees it and
  // answers -1.
  Integer Add(TCity* Item);
  void FillCities(TStrings* Strings) const;
};

class TPhotoSizeList : public TOwnedList<TPhotoSize> {
  PF_CLASS(TPhotoSizeList)
public:
  // Takes the size, with the same rule as TCityList::Add.
  Integer Add(TPhotoSize* Item);
  void FillPhotoSizes(TStrings* Strings) const;
  // "Глянцевая  (12.5 руб.)": the paper's name and its price for the size at PhotoSize.
  String GetPaperType(Integer PhotoSize, TPaperType PaperType) const;
  // The papers priced for the size, each with its ordinal as the item's object.
  void FillPaperTypes(Integer PhotoSize, TStrings* Strings) const;
};

// The global lists, made on first use and freed by uLists::Finalize.
TCityList* Cities();
TPhotoSizeList* PhotoSizes();

// Smallest order total in roubles; 50 until the price list is applied.
extern Integer MinPrice;
// The lab's upload script; empty until the price list is applied.
extern String UploadScriptURL;
// The newer installer's address, when the price list announces a newer version.
extern String UpdateURL;

namespace uLists {
// Counted start-up and shut-down of the unit; the last Finalize calls Reset.
void Initialize();
void Finalize();
// Frees the lists and puts every global back to its starting value (tests call it between cases).
void Reset();
}  // namespace uLists

}  // namespace order
