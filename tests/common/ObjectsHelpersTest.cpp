// The list view stream's integers and strings, the theme handles of a window and the check-box
// sizes.

#include <gtest/gtest.h>

#include "CommonTestUtil.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/user/ThemeSwitch.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace commontest;
using namespace common;

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    if (!s.empty()) s += ' ';
    s += digits[c >> 4];
    s += digits[c & 15];
  }
  return s;
}

struct StreamHelper : ::testing::Test {
  void SetUp() override { SetAnsiCodePage(1251); }
  void TearDown() override { ResetAnsiCodePage(); }
  TCommonMemoryStreamHelper* Helper{TCommonMemoryStreamHelper::New()};
  TMemoryStream* Stream{TMemoryStream::New()};
  ~StreamHelper() override {
    Helper->Free();
    Stream->Free();
  }
};

TEST_F(StreamHelper, BytesAsTheListViewStreamHoldsThem) {
  struct Case {
    std::function<void()> write;
    const char* bytes;
  } cases[] = {
      {[&] { Helper->WriteInteger(*Stream, 0x01020304); }, "04 03 02 01"},
      {[&] { Helper->WriteInteger(*Stream, -2); }, "FE FF FF FF"},
      {[&] { Helper->WriteString(*Stream, u""); }, "00 00 00 00"},
      // "Фото" in Windows-1251.
      {[&] { Helper->WriteString(*Stream, u"\u0424\u043E\u0442\u043E"); }, "04 00 00 00 D4 EE F2 EE"},
      // A character the code page lacks is written as the code page's replacement.
      {[&] { Helper->WriteString(*Stream, u"A\u65E5"); }, "02 00 00 00 41 3F"},
  };
  for (const Case& c : cases) {
    Stream->Clear();
    c.write();
    EXPECT_EQ(Hex(Stream->Bytes()), c.bytes);
  }
  // Reading back what was written by hand.
  Stream->Clear();
  const unsigned char bytes[] = {0x04, 0, 0, 0, 0xD4, 0xEE, 0xF2, 0xEE, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0x07};
  Stream->Write(bytes, sizeof bytes);
  Stream->SetPosition(0);
  String s = u"old";
  Helper->ReadString(*Stream, s);
  EXPECT_EQ(s, u"\u0424\u043E\u0442\u043E");
  Helper->ReadString(*Stream, s);
  EXPECT_EQ(s, u"");
  EXPECT_EQ(Helper->ReadInteger(*Stream), -2);
  // A short stream leaves the missing bytes 0.
  EXPECT_EQ(Helper->ReadInteger(*Stream), 7);
}

TEST_F(StreamHelper, CountsFromAFileAreChecked) {
  // A negative count, and a count beyond what the stream holds.
  const std::string cases[] = {std::string("\xFF\xFF\xFF\xFF" "ab", 6), std::string("\x05\x00\x00\x00" "abcd", 8)};
  for (const std::string& bad : cases) {
    Stream->Clear();
    Stream->Write(bad.data(), static_cast<Int64>(bad.size()));
    Stream->SetPosition(0);
    String s = u"kept";
    EXPECT_THROW(Helper->ReadString(*Stream, s), EReadError);
    EXPECT_EQ(s, u"kept");
  }
}

struct Themes : ::testing::Test {
  TForm* Form{TForm::New(Application)};
  TCommonThemeManager* Manager{TCommonThemeManager::New(Form)};
  void SetUp() override {
    pf::testing::SetThemesActive(true);
    pf::testing::ClearThemeLog();
  }
  void TearDown() override {
    Manager->Free();
    Form->Free();
    pf::testing::SetThemesActive(true);
    EXPECT_EQ(pf::testing::LiveThemeCount(), 0);
  }
};

TEST_F(Themes, EveryHandleOpensAndClosesOnce) {
  Manager->ThemesLoad();
  EXPECT_FALSE(Manager->GetLoaded());  // no window yet
  EXPECT_TRUE(pf::testing::OpenedThemeClasses().empty());
  Form->HandleNeeded();
  Manager->ThemesLoad();
  EXPECT_TRUE(Manager->GetLoaded());
  const std::vector<String> order{u"button",   u"listview", u"header", u"treeview", u"explorerbar",
                                  u"combobox", u"edit",     u"rebar",  u"window",   u"taskband",
                                  u"taskbar",  u"scrollbar", u"progress"};
  EXPECT_EQ(pf::testing::OpenedThemeClasses(), order);
  EXPECT_EQ(pf::testing::LiveThemeCount(), 13);
  EXPECT_NE(Manager->GetHeaderTheme(), nullptr);
  // Loading again closes what was open first.
  Manager->ThemesLoad();
  EXPECT_EQ(pf::testing::ClosedThemeCount(), 13);
  EXPECT_EQ(pf::testing::LiveThemeCount(), 13);
  Manager->ThemesFree();
  Manager->ThemesFree();
  EXPECT_EQ(pf::testing::ClosedThemeCount(), 26);
  EXPECT_EQ(pf::testing::LiveThemeCount(), 0);
  EXPECT_FALSE(Manager->GetLoaded());
  EXPECT_EQ(Manager->GetHeaderTheme(), nullptr);
  // With themes off nothing opens.
  pf::testing::SetThemesActive(false);
  Manager->ThemesLoad();
  EXPECT_FALSE(Manager->GetLoaded());
  EXPECT_EQ(pf::testing::OpenedThemeClasses().size(), 26u);
  EXPECT_EQ(OpenThemeData(nullptr, u"header"), nullptr);
  EXPECT_NE(CloseThemeData(nullptr), 0);
}

TEST_F(Themes, AControlFollowsTheSwitch) {
  TCommonCanvasControl* c = TCommonCanvasControl::New(Form);
  c->SetParent(Form);
  c->SetBounds(0, 0, 50, 50);
  Form->HandleNeeded();
  EXPECT_TRUE(c->DrawWithThemes());
  // Every window hears WM_THEMECHANGED and the control closes and opens its handles again.
  pf::testing::SetThemesActive(false);
  EXPECT_FALSE(c->GetThemes()->GetLoaded());
  EXPECT_FALSE(c->DrawWithThemes());
  EXPECT_EQ(pf::testing::LiveThemeCount(), 0);
  pf::testing::SetThemesActive(true);
  EXPECT_TRUE(c->DrawWithThemes());
  EXPECT_EQ(pf::testing::LiveThemeCount(), 13);
  // Switched off by the program, the control draws its classic frame.
  c->SetThemed(false);
  EXPECT_FALSE(c->DrawWithThemes());
  EXPECT_NE(GetWindowLongPtr(c->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
}

TEST(CheckBounds, MeasuredOncePerSize) {
  int realised = 0;
  TFontSourceFactory fixed = FixedFontSourceFactory({});
  SetFontSourceFactory([&](const LOGFONTW& lf) {
    ++realised;
    return fixed(lf);
  });
  Owned<TCommonCheckBoundManager> m(TCommonCheckBoundManager::New());
  TRect r;
  m->Bound(12, r);
  int afterFirst = realised;
  EXPECT_GT(afterFirst, 0);
  EXPECT_EQ(r, (TRect{0, 0, 16, 16}));  // the glyph face draws square cells: 12 pt is 16 pixels
  TCommonCheckBound* entry = m->Find(12);
  m->Bound(12, r);
  EXPECT_EQ(realised, afterFirst);
  EXPECT_EQ(m->Find(12), entry);
  m->Bound(14, r);
  EXPECT_GT(realised, afterFirst);
  EXPECT_EQ(m->Count(), 2);
  SetFontSourceFactory(nullptr);
}

}  // namespace
