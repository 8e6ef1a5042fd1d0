// The cell of every view: defaults scaled to the screen, the size rules and the layout that
// follows every change.

#include <string>

#include "ListviewTestUtil.h"
#include "platform/gdi/ScreenDpi.h"

namespace lvtest {
namespace {

class CellSizesTest : public ListviewTest {
protected:
  void TearDown() override {
    pf::SetScreenLogPixels(96, 96);
    ListviewTest::TearDown();
  }
  // One item in one group, laid out.
  TEmberItem* OneItem() {
    LV->BeginUpdate();
    TEmberItem* item = LV->GetGroups()->Add()->GetItems()->Add();
    LV->EndUpdate();
    return item;
  }
};

struct ViewCell {
  TEmberListStyle View;
  TEmberCellSize* (*Of)(TEmberCellSizes*);
  const char16_t* ClassName;
  Integer Width96, Height96;
  bool AutoSizePublished;
  Integer Width120, Height120;  // at 120 dpi (× 1.25)
  Integer Width144, Height144;  // at 144 dpi (× 1.5, halves to even)
};

#define CELL(V, Getter) TEmberListStyle::V, [](TEmberCellSizes* s) -> TEmberCellSize* { return s->Getter(); }
const ViewCell kCells[] = {
    {CELL(elsIcon, GetIcon), u"TEmberCellSizeIcon", 75, 75, false, 94, 94, 112, 112},
    {CELL(elsSmallIcon, GetSmallIcon), u"TEmberCellSizeSmallIcon", 200, 17, true, 250, 21, 300, 26},
    {CELL(elsThumbnail, GetThumbnail), u"TEmberCellSizeThumbnail", 125, 143, false, 156, 179, 188, 214},
    {CELL(elsTile, GetTile), u"TEmberCellSizeTile", 218, 58, false, 272, 72, 327, 87},
    {CELL(elsList, GetList), u"TEmberCellSizeList", 200, 17, true, 250, 21, 300, 26},
    {CELL(elsReport, GetReport), u"TEmberCellSizeReport", 75, 17, true, 94, 21, 112, 26},
    {CELL(elsReportThumb, GetReportThumb), u"TEmberCellSizeReportThumb", 75, 90, true, 94, 112, 112, 135},
    {CELL(elsFilmStrip, GetFilmStrip), u"TEmberCellSizeFilmStrip", 125, 143, false, 156, 179, 188, 214},
    {CELL(elsGrid, GetGrid), u"TEmberCellGrid", 75, 17, true, 94, 21, 112, 26},
};
#undef CELL

TEST_F(CellSizesTest, EveryViewsDefaultScalesWithTheScreen) {
  struct Dpi {
    int Value;
    Integer ViewCell::*W;
    Integer ViewCell::*H;
  };
  for (Dpi dpi : {Dpi{96, &ViewCell::Width96, &ViewCell::Height96}, Dpi{120, &ViewCell::Width120, &ViewCell::Height120},
                  Dpi{144, &ViewCell::Width144, &ViewCell::Height144}}) {
    pf::SetScreenLogPixels(dpi.Value, dpi.Value);
    MakeList(false);
    TEmberCellSizes* sizes = LV->GetCellSizes();
    for (const ViewCell& c : kCells) {
      SCOPED_TRACE(std::to_string(static_cast<int>(c.View)) + " at " + std::to_string(dpi.Value));
      TEmberCellSize* cell = c.Of(sizes);
      EXPECT_EQ(sizes->Of(c.View), cell);
      EXPECT_EQ(cell->ClassName(), String(c.ClassName));
      EXPECT_EQ(cell->GetWidth(), c.*dpi.W);
      EXPECT_EQ(cell->GetHeight(), c.*dpi.H);
      // The stream's defaults stay the 96-dpi numbers at every resolution.
      EXPECT_EQ(cell->Default96(), (TSize{c.Width96, c.Height96}));
      EXPECT_EQ(cell->PublishesAutoSizeCaption(), c.AutoSizePublished);
      EXPECT_FALSE(cell->GetAutoSizeCaption());
      // The auto-size pair starts as the set size.
      EXPECT_EQ(cell->GetWidthAutoSizeRaw(), c.*dpi.W);
      EXPECT_EQ(cell->GetHeightAutoSizeRaw(), c.*dpi.H);
      cell->SetSize(1, 1);
      cell->RestoreDefaults();
      EXPECT_EQ(cell->GetWidth(), c.*dpi.W);
      EXPECT_EQ(cell->GetHeight(), c.*dpi.H);
    }
  }
}

TEST_F(CellSizesTest, ASizeIsNeverNegativeAndAnswersAtLeastOnePixel) {
  MakeList();
  TEmberCellSize* cell = LV->GetCellSizes()->GetThumbnail();
  struct Case {
    Integer SetW, SetH;
    Integer RawW, RawH;  // what the cell keeps
    Integer W, H;        // what the getters answer
  };
  const Case cases[] = {
      {-5, 143, 0, 143, 1, 143},
      {0, 0, 0, 0, 1, 1},
      {200, -1, 200, 0, 200, 1},
      {1, 1, 1, 1, 1, 1},
  };
  for (const Case& k : cases) {
    cell->SetSize(k.SetW, k.SetH);
    EXPECT_EQ(cell->GetWidth(), k.W);
    EXPECT_EQ(cell->GetHeight(), k.H);
    // Switching auto-sizing on and off shows what is kept: the pair takes the set size.
    cell->SetAutoSizeCaption(true);
    cell->SetAutoSizeCaption(false);
    EXPECT_EQ(cell->GetWidthAutoSizeRaw(), k.RawW);
    EXPECT_EQ(cell->GetHeightAutoSizeRaw(), k.RawH);
  }
  cell->SetWidth(-5);
  cell->SetHeight(40);
  EXPECT_EQ(cell->GetWidth(), 1);
  EXPECT_EQ(cell->GetHeight(), 40);
}

TEST_F(CellSizesTest, EverySizeChangeLaysTheControlOutEvenWithoutAChange) {
  MakeList();
  TEmberItem* item = OneItem();
  const TRect laidOut = item->GetDisplayRect();
  ASSERT_GT(laidOut.Width(), 0);
  TEmberCellSize* cell = LV->GetCellSizes()->Of(LV->GetView());
  item->SetDisplayRect(TRect{});
  cell->SetWidth(cell->GetWidth());
  EXPECT_EQ(item->GetDisplayRect(), laidOut);
  item->SetDisplayRect(TRect{});
  cell->SetSize(cell->GetWidth(), cell->GetHeight());
  EXPECT_EQ(item->GetDisplayRect(), laidOut);
  item->SetDisplayRect(TRect{});
  cell->RestoreDefaults();
  EXPECT_EQ(item->GetDisplayRect(), laidOut);
  // Assigning takes the size without a layout.
  item->SetDisplayRect(TRect{});
  cell->Assign(LV->GetCellSizes()->GetTile());
  EXPECT_EQ(cell->GetWidth(), 218);
  EXPECT_EQ(item->GetDisplayRect(), TRect{});
  cell->SetWidth(218);  // the same value still lays out, now with the assigned size
  EXPECT_EQ(item->GetDisplayRect().Width(), 218);
}

TEST_F(CellSizesTest, AutoSizingKeepsItsOwnPairAndSwitchingOffTakesTheSetSize) {
  MakeList();
  TEmberCellSize* cell = LV->GetCellSizes()->GetList();
  cell->SetAutoSizeCaption(true);
  // While auto-sizing a change goes into the auto-size pair; the set size stays.
  cell->SetWidth(120);
  EXPECT_EQ(cell->GetWidth(), 120);
  EXPECT_EQ(cell->GetHeight(), 17);
  cell->SetWidthAutoSizeRaw(0);  // the layout's caption auto-size may write a narrow width
  EXPECT_EQ(cell->GetWidth(), 0);
  // A size equal to the set one leaves the pair as it is.
  cell->SetSize(200, 17);
  EXPECT_EQ(cell->GetWidth(), 0);
  // Assign reads the source's getters: the auto-sized 0 becomes the report's set width, which
  // its getter answers as 1.
  TEmberCellSize* report = LV->GetCellSizes()->GetReport();
  report->Assign(cell);
  EXPECT_EQ(report->GetWidth(), 1);
  cell->SetAutoSizeCaption(false);
  EXPECT_EQ(cell->GetWidth(), 200);
  EXPECT_EQ(cell->GetWidthAutoSizeRaw(), 200);
  EXPECT_EQ(cell->GetHeightAutoSizeRaw(), 17);
}

}  // namespace
}  // namespace lvtest
