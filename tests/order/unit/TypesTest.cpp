// The price-list model: which sizes, places and cities the lists keep, and the paper captions.
#include <gtest/gtest.h>

#include "order/uLists.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

using namespace order;

namespace {

TPhotoSize* MakeSize(const String& name, Integer w, Integer h, std::array<double, 4> prices) {
  TPhotoSize* size = TPhotoSize::New();
  size->Name = name;
  size->Width = w;
  size->Height = h;
  size->Prices = prices;
  return size;
}

class ListsTest : public ::testing::Test {
protected:
  void TearDown() override {
    uLists::Reset();
    SetFormatSettings(FSaved);
  }
  TFormatSettings FSaved = FormatSettings();
};

}  // namespace

TEST_F(ListsTest, PhotoSizeListKeepsOnlyValidSizes) {
  struct Case {
    const char* what;
    String name;
    Integer w, h;
    std::array<double, 4> prices;
    bool kept;
  };
  const Case cases[] = {
      {"only the pearl price", u"10x15", 1800, 1200, {0, 0, 0, 15}, true},
      {"all prices zero", u"10x15", 1800, 1200, {0, 0, 0, 0}, false},
      {"prices within 1E-12 of zero", u"10x15", 1800, 1200, {1E-13, -1E-13, 0, 0}, false},
      {"blank caption", u"  \t", 1800, 1200, {10, 0, 0, 0}, false},
      {"no width", u"10x15", 0, 1200, {10, 0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int64_t before = TObject::LiveObjects();
    Owned<TPhotoSizeList> list(TPhotoSizeList::New());
    Integer index = list->Add(MakeSize(c.name, c.w, c.h, c.prices));
    EXPECT_EQ(index, c.kept ? 0 : -1);
    EXPECT_EQ(list->Count(), c.kept ? 1 : 0);
    list.reset();
    EXPECT_EQ(TObject::LiveObjects(), before) << "a refused size must be freed";
  }
}

TEST_F(ListsTest, CityDropsBlankPlacesAndNeedsOneLeft) {
  auto makeCity = [](const String& name, std::initializer_list<String> places) {
    TCity* city = TCity::New();
    city->Name = name;
    for (const String& p : places) {
      TPlace* place = TPlace::New();
      place->Name = p;
      city->Places()->Add(place);
    }
    return city;
  };
  Owned<TCityList> list(TCityList::New());
  EXPECT_EQ(list->Add(makeCity(u" ", {u"Центр"})), -1);
  ASSERT_EQ(list->Add(makeCity(u"Тихоград", {u"", u"Центр", u"  "})), 0);
  TCity* city = (*list)[0];
  ASSERT_EQ(city->Places()->Count(), 1);
  EXPECT_EQ((*city->Places())[0]->Name, u"Центр");

  Owned<TStringList> names(TStringList::New());
  names->Add(u"stale");
  city->FillPlaces(names.get());
  ASSERT_EQ(names->Count(), 1);
  EXPECT_EQ(names->Get(0), u"Центр");
}

TEST_F(ListsTest, PaperCaptionsCarryThePaperOrdinal) {
  TFormatSettings fs = FormatSettings();
  fs.DecimalSeparator = u',';
  SetFormatSettings(fs);
  Owned<TPhotoSizeList> list(TPhotoSizeList::New());
  ASSERT_EQ(list->Add(MakeSize(u"10x15", 1800, 1200, {12.5, 0, 7, 0})), 0);

  Owned<TStringList> items(TStringList::New());
  list->FillPaperTypes(0, items.get());
  ASSERT_EQ(items->Count(), 2);
  EXPECT_EQ(items->Get(0), u"Глянцевая  (12,5 руб.)");
  EXPECT_EQ(ObjectToInt(items->GetObject(0)), 0);
  EXPECT_EQ(items->Get(1), u"Шёлк  (7 руб.)");
  EXPECT_EQ(ObjectToInt(items->GetObject(1)), 2);
}
