// Paint settings: which changes repaint what, Expandable, Assign and the footer margin's settings
// that live in a paint info.

#include <functional>
#include <string>

#include "ListviewTestUtil.h"
#include "platform/user/User.h"

namespace lvtest {
namespace {

class PaintInfoTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
  }
  // What waits to be painted, after everything was painted: empty when nothing.
  TRect Pending() {
    TRect r{};
    if (!GetUpdateRect(LV->GetHandle(), &r, false)) return TRect{};
    return r;
  }
  void PaintAll() { ValidateRect(LV->GetHandle(), nullptr); }
};

enum class Repaint { None, Whole, Header };

TEST_F(PaintInfoTest, ASettingRepaintsOnlyWhenItChangesAndOnlyWhatItShows) {
  LV->SetView(TEmberListStyle::elsReport);
  LV->GetHeader()->SetVisible(true);
  auto item = [this] { return LV->GetPaintInfoItem(); };
  auto group = [this] { return LV->GetPaintInfoGroup(); };
  auto column = [this] { return LV->GetPaintInfoColumn(); };
  struct Case {
    std::string Name;
    std::function<void()> SetSame, SetOther;
    Repaint Expected;
  };
  const Case cases[] = {
      {"Border", [&] { item()->SetBorder(4); }, [&] { item()->SetBorder(6); }, Repaint::Whole},
      {"CheckType", [&] { item()->SetCheckType(TEmberCheckType::ectNone); },
       [&] { item()->SetCheckType(TEmberCheckType::ectBox); }, Repaint::Whole},
      {"ShowBorder", [&] { item()->SetShowBorder(true); }, [&] { item()->SetShowBorder(false); }, Repaint::None},
      {"GridLines", [&] { item()->SetGridLines(false); }, [&] { item()->SetGridLines(true); }, Repaint::Whole},
      {"TileDetailCount", [&] { item()->SetTileDetailCount(1); }, [&] { item()->SetTileDetailCount(3); }, Repaint::Whole},
      {"BandColor", [&] { group()->SetBandColor(0xFF0000); }, [&] { group()->SetBandColor(0x00FF00); }, Repaint::Whole},
      {"BandRadius", [&] { group()->SetBandRadius(4); }, [&] { group()->SetBandRadius(0); }, Repaint::Whole},
      {"ExpandImageIndent", [&] { group()->SetExpandImageIndent(4); }, [&] { group()->SetExpandImageIndent(8); }, Repaint::Whole},
      {"Column Color", [&] { column()->SetColor(clBtnFace); }, [&] { column()->SetColor(clWindow); }, Repaint::Header},
      {"SortGlyphIndent", [&] { column()->SetSortGlyphIndent(2); }, [&] { column()->SetSortGlyphIndent(5); }, Repaint::Header},
      {"Style", [&] { column()->SetStyle(TEmberHeaderButtonStyle::ehbsThick); },
       [&] { column()->SetStyle(TEmberHeaderButtonStyle::ehbsFlat); }, Repaint::Header},
      {"HilightFocused", [&] { column()->SetHilightFocused(false); }, [&] { column()->SetHilightFocused(true); }, Repaint::Whole},
  };
  const TRect whole{0, 0, LV->GetClientWidth(), LV->GetClientHeight()};
  const TRect header{0, 0, LV->GetClientWidth(), LV->GetHeader()->GetHeight()};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    PaintAll();
    c.SetSame();
    EXPECT_EQ(Pending(), TRect{});
    c.SetOther();
    EXPECT_EQ(Pending(), c.Expected == Repaint::Whole ? whole : c.Expected == Repaint::Header ? header : TRect{});
  }
}

TEST_F(PaintInfoTest, TurningExpandableOffExpandsEveryCollapsedGroup) {
  LV->BeginUpdate();
  for (int g = 0; g < 3; ++g) LV->GetGroups()->Add()->GetItems()->Add();
  LV->EndUpdate();
  LV->GetGroups()->GetGroup(0)->SetExpanded(false);
  LV->GetGroups()->GetGroup(2)->SetExpanded(false);
  LV->GetPaintInfoGroup()->SetExpandable(false);
  for (Integer g = 0; g < 3; ++g) EXPECT_TRUE(LV->GetGroups()->GetGroup(g)->GetExpanded()) << g;
  EXPECT_FALSE(LV->GetPaintInfoGroup()->GetExpandable());
}

// Two setters act on the value given, not on what it comes to: a negative margin size on a margin
// of size 0 (stored as 0) rebuilds the groups, and Expandable switched off runs the expansion of
// every group, inside its update, even when none is collapsed.
TEST_F(PaintInfoTest, SettersActOnTheValueGivenEvenWhenNothingChanges) {
  TEmberPaintInfoBaseGroup* info = LV->GetPaintInfoGroup();
  LV->SetShowGroupMargins(true);
  info->GetMarginTop()->SetSize(30);
  info->GetMarginLeft()->SetSize(0);
  LV->BeginUpdate();
  for (int g = 0; g < 2; ++g) LV->GetGroups()->Add()->GetItems()->Add();
  LV->EndUpdate();
  TEmberGroup* first = LV->GetGroups()->GetGroup(0);
  auto headerHeight = [first] { return first->GetItem(0)->GetDisplayRect().Top - first->GetDisplayRect().Top; };
  ASSERT_EQ(headerHeight(), 30);
  int updates = 0;
  LV->OnBeginUpdate = [&](TObject*) { ++updates; };
  struct Case {
    const char* what;
    std::function<void()> act;
    Integer header;  // the header's height in the layout afterwards
    int updates;
  };
  const Case cases[] = {
      // The header's new size is taken in by the rebuild the left margin's setter makes.
      {"left margin -3 at size 0",
       [&] {
         Owned<TEmberHeaderMargin> taller(TEmberHeaderMargin::New(LV));
         taller->SetSize(50);
         info->GetMarginTop()->Assign(taller.get());
         info->GetMarginLeft()->SetSize(-3);
         EXPECT_EQ(info->GetMarginLeft()->GetSize(), 0);
       },
       50, 0},
      {"Expandable off, nothing collapsed", [&] { info->SetExpandable(false); }, 50, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    updates = 0;
    c.act();
    EXPECT_EQ(headerHeight(), c.header);
    EXPECT_EQ(updates, c.updates);
  }
  LV->OnBeginUpdate = nullptr;
}

TEST_F(PaintInfoTest, AssignCopiesTheLookButKeepsTheTargetsShowBorder) {
  Owned<TEmberPaintInfoGroup> source(TEmberPaintInfoGroup::New(LV));
  source->SetShowBorder(false);
  source->SetBorder(9);
  source->SetCaptionIndent(7);
  source->SetBandLength(120);
  source->SetExpandable(false);
  source->GetMarginTop()->SetSize(44);
  source->GetMarginBottom()->SetCaption(u"Итого");
  TEmberPaintInfoBaseGroup* target = LV->GetPaintInfoGroup();
  target->Assign(source.get());
  EXPECT_TRUE(target->GetShowBorder());
  EXPECT_EQ(target->GetBorder(), 9);
  EXPECT_EQ(target->GetCaptionIndent(), 7);
  EXPECT_EQ(target->GetBandLength(), 120);
  EXPECT_FALSE(target->GetExpandable());
  EXPECT_EQ(target->GetMarginTop()->GetSize(), 44);
  EXPECT_EQ(target->GetMarginBottom()->GetCaption(), u"Итого");
  // The footer keeps its own settings object; only the margin part and the caption are copied.
  EXPECT_NE(target->GetMarginBottom()->PaintInfo(), nullptr);
  // An item paint info takes the basic part from a group's.
  TEmberPaintInfoBaseItem* item = LV->GetPaintInfoItem();
  item->SetShowBorder(true);
  item->Assign(source.get());
  EXPECT_TRUE(item->GetShowBorder());
  EXPECT_EQ(item->GetBorder(), 9);
}

TEST_F(PaintInfoTest, AFooterWithoutItsOwnSettingsUsesTheControlWideOnes) {
  TCustomEmberFooterMargin* controlFooter = LV->GetPaintInfoGroup()->GetMarginBottom();
  TEmberPaintInfoBasic* shared = controlFooter->PaintInfo();
  ASSERT_NE(shared, nullptr);
  Owned<TEmberFooterMargin> footer(TEmberFooterMargin::New(LV));
  ASSERT_EQ(footer->PaintInfo(), nullptr);
  // The published defaults are the values a new footer answers.
  EXPECT_EQ(footer->GetCaptionIndent(), TEmberFooterMargin::DefaultCaptionIndent);
  EXPECT_EQ(footer->GetImageIndent(), TEmberFooterMargin::DefaultImageIndent);
  EXPECT_EQ(footer->GetCaptionLines(), TEmberFooterMargin::DefaultCaptionLines);
  EXPECT_EQ(footer->GetSize(), TEmberFooterMargin::DefaultSize);
  footer->SetCaptionIndent(9);
  footer->SetAlignment(TAlignment::taCenter);
  footer->SetVAlignment(common::TCommonVAlignment::cvaTop);
  EXPECT_EQ(shared->GetCaptionIndent(), 9);
  EXPECT_EQ(shared->GetAlignment(), TAlignment::taCenter);
  EXPECT_EQ(controlFooter->GetVAlignment(), common::TCommonVAlignment::cvaTop);
  // With settings of its own the footer leaves the shared ones alone.
  footer->SetPaintInfo(TEmberPaintInfoGroup::New(LV));
  EXPECT_EQ(footer->GetCaptionIndent(), 4);
  footer->SetImageIndent(6);
  EXPECT_EQ(footer->GetImageIndent(), 6);
  EXPECT_EQ(shared->GetImageIndent(), 2);
}

TEST_F(PaintInfoTest, AFootersCaptionAndImagesRepaintOnlyOnAChange) {
  TCustomEmberFooterMargin* footer = LV->GetPaintInfoGroup()->GetMarginBottom();
  PaintAll();
  footer->SetImageIndex(-1);
  footer->SetCaption(u"");
  EXPECT_EQ(Pending(), TRect{});
  footer->SetImageIndex(3);
  EXPECT_NE(Pending(), TRect{});
  EXPECT_EQ(footer->GetImageIndex(), 3);
}

}  // namespace
}  // namespace lvtest
