// The Name=Value store: how files in every encoding the lab or the customer may produce read,
// how values convert and clamp, and how the customer's file is written.
#include <gtest/gtest.h>

#include "order/uSettings.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

using namespace order;

namespace {

Owned<TSettingsStore> StoreFromBytes(std::string_view bytes) {
  Owned<TMemoryStream> stream(TMemoryStream::New());
  stream->WriteBytes(bytes);
  stream->SetPosition(0);
  Owned<TSettingsStore> store(TSettingsStore::New());
  store->LoadFromStream(stream.get());
  return store;
}

std::string SavedBytes(TSettingsStore* store) {
  Owned<TMemoryStream> stream(TMemoryStream::New());
  store->SaveToStream(stream.get());
  return std::string(stream->Bytes());
}

std::string Utf16(std::u16string_view s, bool bigEndian) {
  std::string out;
  for (char16_t c : s) {
    char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

}  // namespace

TEST(SettingsStore, ReadsEveryEncodingAndLineEnd) {
  // "City1.Name=Тихоград" then "SizeCount=2", each written by hand in its encoding.
  const std::string cp1251 = "City1.Name=\xD2\xE8\xF5\xEE\xE3\xF0\xE0\xE4";
  const std::string utf8 = "City1.Name=\xD0\xA2\xD0\xB8\xD1\x85\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xB4";
  const std::u16string text = u"City1.Name=Тихоград\r\nSizeCount=2\r\n";
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"Windows-1251 without a signature, CR LF", cp1251 + "\r\nSizeCount=2\r\n"},
      {"Windows-1251, LF", cp1251 + "\nSizeCount=2\n"},
      {"Windows-1251, CR", cp1251 + "\rSizeCount=2"},
      {"UTF-8 with a signature", "\xEF\xBB\xBF" + utf8 + "\r\nSizeCount=2\r\n"},
      {"UTF-16 little endian", std::string("\xFF\xFE") + Utf16(text, false)},
      {"UTF-16 big endian", std::string("\xFE\xFF") + Utf16(text, true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto store = StoreFromBytes(c.bytes);
    EXPECT_EQ(store->GetStr(u"City1.Name", u"-"), u"Тихоград");
    EXPECT_EQ(store->GetInt(u"SizeCount", 0, 0, 100), 2);
    EXPECT_EQ(store->LineCount(), 2);
  }
}

TEST(SettingsStore, FirstLineWinsAndNamesIgnoreCaseButNotBlanks) {
  auto store = StoreFromBytes(
      "CityCount=2\r\ncitycount=5\r\nCityCount=7\r\n"
      "\xC3\xEE\xF0\xEE\xE4=\xE4\xE0\r\n"   // "Город=да" in Windows-1251
      " MinPrice=300\r\nMinPrice =400\r\n"
      "no separator here\r\n=empty name\r\n"
      "Value=a=b\r\n");
  EXPECT_EQ(store->GetInt(u"CityCount", 0, 0, 100), 2);
  EXPECT_EQ(store->GetInt(u"CITYCOUNT", 0, 0, 100), 2);
  EXPECT_EQ(store->GetStr(u"ГОРОД", u"нет"), u"да") << "Cyrillic names compare without case too";
  EXPECT_EQ(store->GetInt(u"MinPrice", 50, 1, 1000), 50) << "blanks around the name are part of it";
  EXPECT_EQ(store->GetStr(u"no separator here", u"-"), u"-");
  EXPECT_EQ(store->GetStr(u"", u"-"), u"empty name");
  EXPECT_EQ(store->GetStr(u"Value", u"-"), u"a=b");
}

TEST(SettingsStore, IntegersClampAfterTheDefault) {
  auto store = StoreFromBytes(
      "Big=5000\r\nLetters=abc\r\nZero=0\r\nNeg=-7\r\nEmpty=\r\nDollarHex=$64\r\nCHex=0x64\r\nBlank= 64\r\n"
      "Trailing=64 \r\nPlus=+64\r\nWide=99999999999\r\n");
  struct Case {
    const char16_t* name;
    Integer def, min, max, expected;
  };
  const Case cases[] = {
      {u"Big", 50, 1, 1000, 1000},     {u"Letters", 50, 1, 1000, 50}, {u"Zero", 50, 1, 1000, 1},
      {u"Neg", 0, -5, 10, -5},         {u"Empty", 50, 1, 1000, 50},   {u"Absent", 50, 1, 1000, 50},
      {u"Absent", 5000, 1, 1000, 1000}, {u"Absent", -3, 0, 10, 0},
      // Decimal only: hex spellings are not numbers here.
      {u"DollarHex", 50, 1, 1000, 50}, {u"CHex", 50, 1, 1000, 50},   {u"Blank", 50, 1, 1000, 64},
      {u"Trailing", 50, 1, 1000, 50},  {u"Plus", 50, 1, 1000, 64},   {u"Wide", 50, 1, 1000, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << StringToUtf8(c.name) << " default " << c.def);
    EXPECT_EQ(store->GetInt(c.name, c.def, c.min, c.max), c.expected);
  }
}

TEST(SettingsStore, FloatsTakeAnyNonDigitAsTheDecimalPoint) {
  auto store = StoreFromBytes(
      "Comma=12,50\r\nPoint=12.5\r\nBlankGroups=1 000\r\nEmpty=\r\nHuge=1500\r\nNeg=-3\r\n"
      "Cyrillic=7\xF0\xF3\xE1\r\nTwoPoints=1.2.3\r\n");
  struct Case {
    const char16_t* name;
    double def, expected;
  };
  const Case cases[] = {
      {u"Comma", 0, 12.5}, {u"Point", 0, 12.5}, {u"BlankGroups", 0, 1}, {u"Empty", 0, 0},  {u"Huge", 0, 1000},
      {u"Neg", 0, 0},      {u"Cyrillic", 9, 9}, {u"TwoPoints", 4, 4},   {u"Absent", 2000, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.name));
    EXPECT_DOUBLE_EQ(store->GetFloat(c.name, c.def, 0, 1000), c.expected);
  }
}

TEST(SettingsStore, TextValuesAreBase64OfUtf8) {
  // "ул. Мира, 5\r\nс 9 до 18" as UTF-8, then Base64, written by hand with a line break,
  // blanks and the fill inside the value.
  auto store = StoreFromBytes(
      "Desc=0YPQuy4g0JzQuNGA0LAsIDUNCtGBIDkg0LTQviAxOA==\r\n"
      "Split=0YPQuy4g 0JzQuNGA0LAsIDUN\tCtGBIDkg0LTQviAxOA=\r\n"
      "Empty=\r\n");
  const String expected = u"ул. Мира, 5\r\nс 9 до 18";
  EXPECT_EQ(store->GetText(u"Desc", u"-"), expected);
  EXPECT_EQ(store->GetText(u"Split", u"-"), expected);
  EXPECT_EQ(store->GetText(u"Empty", u"-"), u"");
  EXPECT_EQ(store->GetText(u"Absent", u"-"), u"-");
}

TEST(Base64, LeftoverSymbolsAndSkippedCharacters) {
  struct Case {
    const char16_t* text;
    std::string bytes;
  };
  const Case cases[] = {
      {u"TWE=", "Ma"}, {u"TWE", "Ma"},       {u"TQ", "M"},      {u"T", ""},
      {u"T W\r\nF u", "Man"}, {u"Тест TWFu ©", "Man"}, {u"TW=Fu", "Man"}, {u"/+/+", "\xFF\xEF\xFE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.text));
    EXPECT_EQ(DecodeBase64(c.text), c.bytes);
  }
}

TEST(SettingsStore, SettersReplaceTheFirstLineOrAppend) {
  auto store = StoreFromBytes("Phone=1\r\nphone=2\r\nEMail=a@b\r\n");
  store->SetStr(u"PHONE", u"3");
  store->SetInt(u"Count", 42);
  EXPECT_EQ(SavedBytes(store.get()), "PHONE=3\r\nphone=2\r\nEMail=a@b\r\nCount=42\r\n");
  store->SetStr(u"Phone", u"");
  EXPECT_EQ(store->GetStr(u"Phone", u"-"), u"2") << "only the first line goes";
  store->SetStr(u"Phone", u"");
  store->SetStr(u"Absent", u"");
  EXPECT_EQ(store->GetStr(u"Phone", u"-"), u"-");
  EXPECT_EQ(SavedBytes(store.get()), "EMail=a@b\r\nCount=42\r\n");
}

TEST(SettingsStore, MissingFileLeavesTheStoreAsItWas) {
  auto store = StoreFromBytes("Phone=1\r\n");
  auto dir = testsupport::MakeTempDir("store");
  store->LoadFromFile(FromNativePath((dir / "absent.cfg").string()));
  EXPECT_EQ(store->GetStr(u"Phone", u"-"), u"1");

  testsupport::WriteFileBytes(dir / "present.cfg", "Phone=2\nEMail=x\n");
  store->LoadFromFile(FromNativePath((dir / "present.cfg").string()));
  EXPECT_EQ(store->GetStr(u"Phone", u"-"), u"2");
  EXPECT_EQ(store->LineCount(), 2);
}
