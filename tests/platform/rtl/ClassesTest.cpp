#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

using namespace pf;

namespace {

Owned<TStringList> ListOf(std::initializer_list<const char*> lines) {
  Owned<TStringList> l(TStringList::New());
  for (const char* s : lines) l->Add(U(s));
  return l;
}

std::vector<String> Lines(const TStrings& s) {
  std::vector<String> v;
  for (Integer i = 0; i < s.Count(); ++i) v.push_back(s.Get(i));
  return v;
}

TEST(NameValueTest, LookupRulesOfTheSettingsFiles) {
  auto l = ListOf({"CityCount=2", "citycount=5", " MinPrice=7", "NoEquals", "a=b=c", "Город=Москва"});
  struct Case {
    const char* name;
    const char* value;
    Integer index;
  } cases[] = {
      {"CityCount", "2", 0},       // the first of two lines wins
      {"CITYCOUNT", "2", 0},       // names ignore case
      {" MinPrice", "7", 2},       // the blank belongs to the name
      {"NoEquals", "", -1},        // a line without "=" never matches
      {"a", "b=c", 4},             // the value keeps later "="
      {"ГОРОД", "Москва", 5},      // Cyrillic names ignore case too
  };
  for (const auto& c : cases) {
    EXPECT_EQ(l->GetValue(U(c.name)), U(c.value)) << c.name;
    EXPECT_EQ(l->IndexOfName(U(c.name)), c.index) << c.name;
  }
  EXPECT_EQ(l->Count(), 6);  // lines without "=" and duplicates are kept

  l->CaseSensitive = true;
  EXPECT_EQ(l->GetValue(u"citycount"), u"5");
  EXPECT_EQ(l->GetValue(u"CITYCOUNT"), u"");
}

TEST(NameValueTest, SetValueReplacesAppendsAndDeletes) {
  auto l = ListOf({"Phone=1", "x", "phone=2"});
  l->SetValue(u"PHONE", u"3");
  EXPECT_EQ(Lines(*l), (std::vector<String>{u"PHONE=3", u"x", u"phone=2"}));
  l->SetValue(u"EMail", u"a@b");
  EXPECT_EQ(l->Get(3), u"EMail=a@b");
  l->SetValue(u"phone", u"");
  EXPECT_EQ(Lines(*l), (std::vector<String>{u"x", u"phone=2", u"EMail=a@b"}));
  l->SetValue(u"Missing", u"");
  EXPECT_EQ(l->Count(), 3);
}

TEST(TextTest, LineEnds) {
  struct Case {
    const char16_t* text;
    std::vector<String> lines;
  } cases[] = {
      {u"a\r\n\r\nb", {u"a", u"", u"b"}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
      {u"\r\n", {u""}},
      {u"", {}},
      {u"x=1\r\n y \r\n", {u"x=1", u" y "}},
  };
  auto l = ListOf({});
  for (const auto& c : cases) {
    l->SetText(c.text);
    EXPECT_EQ(Lines(*l), c.lines) << StringToUtf8(c.text);
  }
  l->SetText(u"a\nb");
  EXPECT_EQ(l->GetText(), u"a\r\nb\r\n");
}

TEST(StringListTest, UpdatesAreAnnouncedOnceAtTheEnd) {
  auto l = ListOf({});
  int changes = 0;
  l->OnChange = [&](TObject*) { ++changes; };
  l->Add(u"a");
  EXPECT_EQ(changes, 1);
  l->BeginUpdate();
  l->BeginUpdate();
  l->Add(u"b");
  l->SetText(u"c\nd");
  l->EndUpdate();
  EXPECT_EQ(changes, 1);
  l->EndUpdate();
  EXPECT_EQ(changes, 2);
}

TEST(StringListTest, SortedListsAndDuplicates) {
  auto l = ListOf({"b", "A", "c", "a"});
  EXPECT_EQ(l->IndexOf(u"C"), 2);  // unsorted: first match ignoring case
  l->SetSorted(true);
  EXPECT_EQ(Lines(*l), (std::vector<String>{u"A", u"a", u"b", u"c"}));
  EXPECT_EQ(l->Add(u"B"), 2);  // dupIgnore answers the existing line
  l->Duplicates = TDuplicates::dupError;
  EXPECT_THROW(l->Add(u"C"), EStringListError);
  EXPECT_THROW(l->Get(99), EStringListError);
}

class TCounted : public TObject {
  PF_CLASS(TCounted)
};

TEST(StringListTest, ObjectsAndOwnership) {
  int64_t before = TObject::LiveObjects();
  {
    auto l = ListOf({});
    before = TObject::LiveObjects();
    l->OwnsObjects = true;
    l->AddObject(u"a", TCounted::New());
    l->AddObject(u"b", TCounted::New());
    l->Delete(0);
    EXPECT_EQ(TObject::LiveObjects(), before + 1);
  }
  EXPECT_EQ(TObject::LiveObjects(), before - 1);  // the list and its two objects are gone

  auto src = ListOf({});
  src->AddObject(u"x", IntToObject(2));
  auto dst = ListOf({"old"});
  dst->Assign(*src);
  EXPECT_EQ(Lines(*dst), std::vector<String>{u"x"});
  EXPECT_EQ(ObjectToInt(dst->GetObject(0)), 2);

  TObjectList<TCounted> list;
  before = TObject::LiveObjects();
  list.Add(TCounted::New());
  list.Clear();
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST(StringListTest, CommaText) {
  auto l = ListOf({"a", "b c", "", "d\"e", "f,g"});
  EXPECT_EQ(l->GetCommaText(), u"a,\"b c\",\"\",\"d\"\"e\",\"f,g\"");
}

TEST(StringListTest, LoadingTakesTheSignatureOrTheFallback) {
  struct Case {
    const char* label;
    std::string bytes;
    TTextEncoding fallback;
    std::vector<String> lines;
  } cases[] = {
      // A UTF-8 signature before text that is not UTF-8: each bad byte becomes U+FFFD.
      {"bad utf-8", "\xEF\xBB\xBF\xC3\xEE\xF0\xEE\xE4=1\r\n", TTextEncoding::Ansi, {u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD=1"}},
      {"utf-8", "\xEF\xBB\xBF\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4=1\nx", TTextEncoding::Ansi, {U("Город=1"), u"x"}},
      {"utf-16be", std::string("\xFE\xFF\x04\x13\x00=\x00" "1\x00\r", 10), TTextEncoding::Ansi, {U("Г=1")}},
      {"utf-8 fallback", "\xD0\x81=1", TTextEncoding::Utf8, {U("Ё=1")}},
      {"empty", "", TTextEncoding::Ansi, {}},
  };
  for (const auto& c : cases) {
    Owned<TMemoryStream> m(TMemoryStream::New());
    m->WriteBytes(c.bytes);
    m->SetPosition(0);
    auto l = ListOf({"stale"});
    l->LoadFromStream(*m, c.fallback);
    EXPECT_EQ(Lines(*l), c.lines) << c.label;
  }
}

TEST(StringListTest, SavingWritesCrLfAndTheChosenEncoding) {
  auto l = ListOf({"Имя=Ёж", "x"});
  struct Case {
    TTextEncoding encoding;
    bool signature;
    std::string bytes;
  } cases[] = {
      {TTextEncoding::Ansi, true, "\xC8\xEC\xFF=\xA8\xE6\r\nx\r\n"},  // the code page takes no signature
      {TTextEncoding::Utf8, true, "\xEF\xBB\xBF\xD0\x98\xD0\xBC\xD1\x8F=\xD0\x81\xD0\xB6\r\nx\r\n"},
      {TTextEncoding::Utf16BE, false, std::string("\x04\x18\x04\x3C\x04\x4F\x00=\x04\x01\x04\x36\x00\r\x00\n\x00x\x00\r\x00\n", 22)},
  };
  for (const auto& c : cases) {
    Owned<TMemoryStream> m(TMemoryStream::New());
    l->SaveToStream(*m, c.encoding, c.signature);
    EXPECT_EQ(std::string(m->Bytes()), c.bytes) << static_cast<int>(c.encoding) << c.signature;
  }
}

}  // namespace
