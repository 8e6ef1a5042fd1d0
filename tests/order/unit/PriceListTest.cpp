// The price list: defaults, clamps and the cities and sizes built from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "order/uSettings.h"
#include "platform/rtl/Strings.h"

using namespace order;

namespace {

Owned<TSettings> PriceList(std::string_view text) {
  Owned<TMemoryStream> stream(TMemoryStream::New());
  stream->WriteBytes(text);
  stream->SetPosition(0);
  Owned<TSettings> settings(TSettings::New());
  settings->LoadFromStream(stream.get());
  return settings;
}

class PriceListTest : public ::testing::Test {
protected:
  void SetUp() override { unsetenv("PHOTO_ORDER_LAB_URL"); }
  void TearDown() override { unsetenv("PHOTO_ORDER_LAB_URL"); }
};

}  // namespace

TEST_F(PriceListTest, TopLevelValuesAndTheirDefaults) {
  setenv("PHOTO_ORDER_LAB_URL", "http://lab.test:8081/", 1);
  auto empty = PriceList("");
  EXPECT_EQ(empty->GetMinPrice(), 50);
  EXPECT_EQ(empty->GetCityCount(), 0);
  EXPECT_EQ(empty->GetSizeCount(), 0);
  EXPECT_EQ(empty->GetLastVersion(), u"3.0");
  EXPECT_EQ(empty->GetUploadScript(), u"http://lab.test:8081/upload3.php");
  EXPECT_EQ(empty->GetDownloadURL(), u"http://lab.test:8081/UserFiles/Image/Selvana.exe");
  EXPECT_EQ(PriceListURL(), u"http://lab.test:8081/UserFiles/Image/params3.cfg");

  auto full = PriceList(
      "MinPrice=0\r\nLastVersion=3.1\r\nUploadScript=https://lab.test/up.php?x=1\r\n"
      "DownloadURL=http://lab.test/new.exe\r\n");
  EXPECT_EQ(full->GetMinPrice(), 1);
  EXPECT_EQ(full->GetLastVersion(), u"3.1");
  EXPECT_EQ(full->GetUploadScript(), u"https://lab.test/up.php?x=1");
  EXPECT_EQ(full->GetDownloadURL(), u"http://lab.test/new.exe");
  EXPECT_EQ(PriceList("MinPrice=5000\r\n")->GetMinPrice(), 1000);
}

TEST_F(PriceListTest, SizesAreLandscapeAndClamped) {
  auto settings = PriceList(
      "SizeCount=3\r\n"
      "Size1.Caption=10\xF5" "15\r\nSize1.Width=1200\r\nSize1.Height=1800\r\n"
      "Size1.Glossy.Price=12,5\r\nSize1.Matte.Price=1500\r\nSize1.Silk.Price=-4\r\nSize1.Pearl.Price=0.75\r\n"
      "size2.caption=A4\r\nSize2.Width=50\r\nSize2.Height=99999\r\n"
      "Size3.Caption=\r\n");
  ASSERT_EQ(settings->GetSizeCount(), 3);
  struct Case {
    Integer index;
    String name;
    Integer width, height;
    std::array<double, 4> prices;
  };
  const Case cases[] = {
      {0, u"10х15", 1800, 1200, {12.5, 1000, 0, 0.75}},
      {1, u"A4", 12000, 100, {0, 0, 0, 0}},
      {2, u"", 1000, 1000, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    Owned<TPhotoSize> size = settings->GetPhotoSize(c.index);
    EXPECT_EQ(size->Name, c.name);
    EXPECT_EQ(size->Width, c.width);
    EXPECT_EQ(size->Height, c.height);
    for (TPaperType p : AllPaperTypes) EXPECT_DOUBLE_EQ(size->Prices[p], c.prices[p]) << p;
  }
}

TEST_F(PriceListTest, CitiesKeepOnlyNamedPlaces) {
  auto settings = PriceList(
      "CityCount=3\r\n"
      "City1.Name=\xD2\xE8\xF5\xEE\xE3\xF0\xE0\xE4\r\nCity1.PlaceCount=3\r\n"
      "City1.Place1.Name=Center\r\nCity1.Place1.Desc=0YPQuy4g0JzQuNGA0LAsIDUNCtGBIDkg0LTQviAxOA==\r\n"
      "City1.Place2.Name= \r\n"
      "City1.Place3.Name=North\r\n"
      "City2.Name=Nowhere\r\n"
      "City3.Name=Minus\r\nCity3.PlaceCount=-2147483646\r\nCity3.Place1.Name=X\r\n");
  Owned<TCity> first = settings->GetCity(0);
  EXPECT_EQ(first->Name, u"Тихоград");
  ASSERT_EQ(first->Places()->Count(), 2);
  EXPECT_EQ((*first->Places())[0]->Name, u"Center");
  EXPECT_EQ((*first->Places())[0]->Desc, u"ул. Мира, 5\r\nс 9 до 18");
  EXPECT_EQ((*first->Places())[1]->Name, u"North");
  EXPECT_EQ((*first->Places())[1]->Desc, u"");

  EXPECT_EQ(settings->GetCity(1)->Places()->Count(), 0) << "no PlaceCount, no places";
  EXPECT_EQ(settings->GetCity(2)->Places()->Count(), 0);
  EXPECT_EQ(Cities()->Add(settings->GetCity(1).release()), -1);
  uLists::Reset();
}

TEST_F(PriceListTest, CountsAreNotCutButOnlyNumbersWithEntriesAreWalked) {
  // The counts say how far the numbering goes; a list may number sparsely or name more than it has.
  auto settings = PriceList(
      "CityCount=9\r\nSizeCount=2147483647\r\n"
      "City9.Name=Nine\r\nCity9.PlaceCount=2147483647\r\nCity9.Place7.Name=P7\r\nCITY9.PLACE2.DESC=UQ==\r\n"
      "City10.Name=Beyond the count\r\nCity10.PlaceCount=1\r\nCity10.Place1.Name=X\r\n"
      "City3.Name=Three\r\nCity3.PlaceCount=1\r\nCity3.Place2.Name=Beyond its count\r\n"
      "City03.Name=Padded\r\nCity0.Name=Zero\r\nCity2147483648.Name=Too far\r\nCity.Name=None\r\n"
      "Size5.Caption=A4\r\nSize5.Glossy.Price=20\r\nsize2147483647.caption=Last\r\n");
  EXPECT_EQ(settings->GetCityCount(), 9);
  EXPECT_EQ(settings->GetSizeCount(), 2147483647);
  EXPECT_EQ(settings->CityIndexes(), (std::vector<Integer>{2, 8}));
  EXPECT_EQ(settings->SizeIndexes(), (std::vector<Integer>{4, 2147483646}));
  Owned<TCity> nine = settings->GetCity(8);
  EXPECT_EQ(nine->Name, u"Nine");
  // Place 2 has only a description, so it has no name and is dropped; place 7 stays.
  ASSERT_EQ(nine->Places()->Count(), 1);
  EXPECT_EQ((*nine->Places())[0]->Name, u"P7");
  EXPECT_EQ(settings->GetCity(2)->Places()->Count(), 0) << "place 2 lies beyond the city's count of 1";
  EXPECT_EQ(settings->GetPhotoSize(2147483646)->Name, u"Last");
}

TEST_F(PriceListTest, AHugeCountOverAListOfManyCitiesIsReadInWorkBoundedByTheList) {
  // Every city claims two thousand million places and the list two thousand million cities: a
  // reader bounded by the counts never ends, and one bounded by the list's lines walks lines ×
  // cities (here 2.4 thousand million lookups, minutes of work). Only present entries are walked.
  constexpr int Cities = 20000;
  std::string text = "CityCount=2147483647\r\n";
  for (int i = 1; i <= Cities; ++i) {
    const std::string c = "City" + std::to_string(i) + ".";
    text += c + "Name=C" + std::to_string(i) + "\r\n" + c + "PlaceCount=2147483647\r\n" + c + "Place" +
            std::to_string(i) + ".Name=P\r\n";
  }
  auto settings = PriceList(text);
  const std::vector<Integer> indexes = settings->CityIndexes();
  ASSERT_EQ(indexes.size(), static_cast<size_t>(Cities));
  size_t places = 0;
  for (Integer i : indexes) {
    Owned<TCity> city = settings->GetCity(i);
    ASSERT_EQ(city->Places()->Count(), 1) << i;
    places += city->Places()->Count();
  }
  EXPECT_EQ(places, static_cast<size_t>(Cities));
}

TEST_F(PriceListTest, ALongForgedListIsReadWithoutWalkingItOncePerName) {
  // Forty thousand lines let the count ask for forty thousand places, two names each; looking
  // every name up line by line would take some thousand million line comparisons.
  std::string text = "City1.Name=A\r\nCity1.PlaceCount=2147483647\r\nCity1.Place2.Name=P\r\n";
  for (int i = 0; i < 40000; ++i) text += "Filler" + std::to_string(i) + "=x\r\n";
  text += "city1.place2.name=shadowed\r\nCITY1.PLACE40000.NAME=Q\r\n";
  auto settings = PriceList(text);
  Owned<TCity> city = settings->GetCity(0);
  ASSERT_EQ(city->Places()->Count(), 2);
  EXPECT_EQ((*city->Places())[0]->Name, u"P");
  EXPECT_EQ((*city->Places())[1]->Name, u"Q");
}
