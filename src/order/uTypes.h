#pragma once
// What the lab offers: papers, print sizes with their prices, cities with their pick-up places.

#include <array>

#include "platform/rtl/Classes.h"

namespace order {

using namespace pf;

enum TPaperType { ptGlossy, ptMatte, ptSilk, ptPearl };
constexpr int PaperTypeCount = 4;
constexpr std::array<TPaperType, PaperTypeCount> AllPaperTypes{ptGlossy, ptMatte, ptSilk, ptPearl};

// Shown to the customer.
inline const String PaperTypeNames[PaperTypeCount] = {u"Глянцевая", u"Матовая", u"Шёлк", u"Жемчуг"};
// Sent to the lab as "paper_type".
inline const String PaperTypeKeys[PaperTypeCount] = {u"glossy", u"matte", u"silk", u"pearl"};

// An owning list: freeing the list, or deleting an entry, frees the objects.
template <class T>
class TOwnedList : public TObject {
public:
  Integer Count() const { return FItems.Count(); }
  T* operator[](Integer index) const { return FItems[index]; }
  T* Items(Integer index) const { return FItems[index]; }
  void Delete(Integer index) { FItems.Delete(index); }
  void Clear() { FItems.Clear(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

protected:
  Integer Append(T* item) { return FItems.Add(item); }
  // Takes the item: appends it when it is valid and answers its index, otherwise frees it and
  // answers -1.
  Integer AppendValid(T* item) {
    if (!item) return -1;
    if (item->Valid()) return Append(item);
    item->Free();
    return -1;
  }
  void Destroy() override {
    FItems.Clear();
    TObject::Destroy();
  }

private:
  TObjectList<T> FItems;
};

// One print size. Width and Height are pixels at 300 dpi, Width the larger side.
class TPhotoSize : public TObject {
  PF_CLASS(TPhotoSize)
public:
  String Name;
  Integer Width{0};
  Integer Height{0};
  // Roubles per print on each paper; 0 means the paper is not offered for this size.
  std::array<double, PaperTypeCount> Prices{};

  // Larger side divided by the smaller; 0 for a size without area.
  double AR() const;
  bool Valid() const;
};

class TPlace : public TObject {
  PF_CLASS(TPlace)
public:
  String Name;
  String Desc;  // address and hours; may span several lines
  bool Valid() const;
};

class TPlaceList : public TOwnedList<TPlace> {
  PF_CLASS(TPlaceList)
public:
  Integer Add(TPlace* item) { return Append(item); }
};

class TCity : public TObject {
  PF_CLASS(TCity)
public:
  String Name;
  TPlaceList* Places() const { return FPlaces.get(); }
  // Drops the places without a name first, so a city that answers true offers only real places.
  bool Valid();
  void FillPlaces(TStrings* Strings) const;

protected:
  void Create() override;
  void Destroy() override;

private:
  Owned<TPlaceList> FPlaces;
};

}  // namespace order
