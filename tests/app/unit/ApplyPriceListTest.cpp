// Copying a received price list into the order model.
#include <gtest/gtest.h>

#include "app/uDownloadThread.h"
#include "order/uLists.h"

namespace {

using namespace app;

Owned<order::TSettings> PriceList(const std::string& text) {
  Owned<TMemoryStream> stream(TMemoryStream::New());
  stream->WriteBytes(text);
  stream->SetPosition(0);
  Owned<order::TSettings> settings(order::TSettings::New());
  settings->LoadFromStream(stream.get());
  return settings;
}

class ApplyPriceListTest : public ::testing::Test {
protected:
  void TearDown() override { order::uLists::Reset(); }
};

TEST_F(ApplyPriceListTest, ACityNumberedUpToItsCountIsKept) {
  // The only city is the ninth: the count names how far the numbering goes.
  auto settings = PriceList(
      "CityCount=9\r\nCity9.Name=Nine\r\nCity9.PlaceCount=1\r\nCity9.Place1.Name=P\r\n"
      "SizeCount=3\r\nSize3.Caption=A4\r\nSize3.Glossy.Price=20\r\nSize4.Caption=Beyond\r\nSize4.Glossy.Price=1\r\n");
  ASSERT_TRUE(ApplyPriceList(*settings));
  ASSERT_EQ(order::Cities()->Count(), 1);
  EXPECT_EQ(order::Cities()->Items(0)->Name, u"Nine");
  ASSERT_EQ(order::PhotoSizes()->Count(), 1);
  EXPECT_EQ(order::PhotoSizes()->Items(0)->Name, u"A4");
}

TEST_F(ApplyPriceListTest, AListOfAMegabyteWithHugeCountsAppliesInOnePass) {
  // Every count at its largest: walking the numbers the counts allow never ends, and walking
  // each city's places up to the list's line count takes cities × lines = 1.8 thousand million
  // lookups (over half an hour). Bounded by the entries present it is one pass over the list.
  constexpr int Cities = 20000, Sizes = 500;
  std::string text = "CityCount=2147483647\r\nSizeCount=2147483647\r\n";
  for (int i = 1; i <= Cities; ++i) {
    const std::string c = "City" + std::to_string(i) + ".";
    text += c + "Name=C" + std::to_string(i) + "\r\n" + c + "PlaceCount=2147483647\r\n" + c + "Place1.Name=Main\r\n";
  }
  for (int i = 1; i <= Sizes; ++i)
    text += "Size" + std::to_string(i) + ".Caption=S" + std::to_string(i) + "\r\nSize" + std::to_string(i) +
            ".Matte.Price=10\r\n";
  ASSERT_GT(text.size(), 1000000u);
  auto settings = PriceList(text);
  ASSERT_TRUE(ApplyPriceList(*settings));
  ASSERT_EQ(order::Cities()->Count(), Cities);
  EXPECT_EQ(order::Cities()->Items(0)->Name, u"C1");
  EXPECT_EQ(order::Cities()->Items(Cities - 1)->Name, u"C20000");
  EXPECT_EQ(order::Cities()->Items(Cities - 1)->Places()->Count(), 1);
  ASSERT_EQ(order::PhotoSizes()->Count(), Sizes);
  EXPECT_EQ(order::PhotoSizes()->Items(Sizes - 1)->Name, u"S500");
}

}  // namespace
