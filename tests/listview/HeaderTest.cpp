// The header: layout by position, the divider band, resizing by the split, sort clicks, hot
// tracking, check boxes and drop-down buttons, spring columns, and a column dragged to another
// place through the platform's drag loop, with the column drag's record refusing what is not ours.
#include <QEvent>
#include <QImage>
#include <QWidget>

#include "UniformCells.h"
#include "listview/EmberColumns.h"
#include "listview/EmberItemViews.h"
#include "platform/ole/OleBridge_p.h"
#include "platform/user/Window_p.h"
#include "platform/user/User.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

// A column view with a check box at the column's left and a drop-down arrow in its last 16 pixels.
class TTestColumnView : public TEmberViewColumn {
  EMBER_REF_CLASS(TTestColumnView, TEmberViewColumn, TEmberViewColumn, TCustomEmberListview*)
public:
  void ItemRectArray(TEmberColumn* Column, TEmberRectArrayObject& RectArray) override {
    RectArray = TEmberRectArrayObject{};
    const TRect r = Column->GetDisplayRect();
    RectArray.BoundsRect = r;
    RectArray.CheckRect = TRect{r.Left + 2, 4, r.Left + 14, 16};
    if (Column->GetDropDownButton()->GetVisible()) RectArray.DropDownArrow = TRect{r.Right - 16, 0, r.Right, r.Bottom};
  }
};

class HeaderTest : public ListviewTest {
public:
  // A report view 400 x 300 without a border; a header 21 high with columns "A", "B", "C" of 100.
  void Build(Integer columns = 3) {
    MakeList();
    LV->SetBorderStyle(TBorderStyle::bsNone);
    LV->SetView(TEmberListStyle::elsReport);
    H = LV->GetHeader();
    H->SetAutoSizeHeight(false);
    H->SetHeight(21);
    H->SetVisible(true);
    LV->BeginUpdate();
    for (Integer i = 0; i < columns; ++i) {
      TEmberColumn* c = H->GetColumns()->Add();
      c->SetCaption(String(1, static_cast<Char>(u'A' + i)));
      c->SetWidth(100);
    }
    LV->EndUpdate();
    LV->OnColumnCustomView = [](TCustomEmberListview*, TEmberColumn*, const TEmberViewColumnClass*& View) {
      View = &TTestColumnView::StaticClass();
    };
    LV->OnColumnClick = [this](TCustomEmberListview*, TCommonMouseButton, TShiftState, TEmberColumn* c) {
      Log.Add("click " + Name(c));
    };
    LV->OnColumnSizeChanged = [this](TCustomEmberListview*, TEmberColumn* c) { Log.Add("size changed " + Name(c)); };
  }
  TEmberColumn* Col(Integer i) const { return H->GetColumns()->GetColumn(i); }
  static TMessage Mouse(UINT msg, TPoint p, WPARAM keys = 0) {
    return TMessage{msg, keys, static_cast<LPARAM>((p.X & 0xFFFF) | ((p.Y & 0xFFFF) << 16)), 0};
  }
  void Move(TPoint p, WPARAM keys = 0) {
    TMessage m = Mouse(WM_MOUSEMOVE, p, keys);
    H->WMMouseMove(m);
  }
  void Down(TPoint p) {
    TMessage m = Mouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    H->WMLButtonDown(m);
  }
  void Up(TPoint p) {
    TMessage m = Mouse(WM_LBUTTONUP, p);
    H->WMLButtonUp(m);
  }
  void Click(TPoint p) {
    Down(p);
    Up(p);
  }
  // The captions in display order.
  std::string Order() const {
    std::string out;
    for (TEmberColumn* c : H->Positions()) out += Name(c);
    return out;
  }

  TEmberHeader* H{nullptr};
};

TEST_F(HeaderTest, LayoutFollowsPositionsAndRenumbersThem) {
  Build(4);
  // Positions with gaps: B 0, C 5, D 7, A 10; C hidden.
  const Integer positions[] = {10, 0, 5, 7};
  for (Integer i = 0; i < 4; ++i) Col(i)->SetPositionField(positions[i]);
  Col(0)->SetWidth(50);
  Col(1)->SetWidth(80);
  Col(3)->SetWidth(40);
  Col(2)->SetVisible(false);
  H->Rebuild(true);
  EXPECT_EQ(Order(), "BCDA");
  const Integer renumbered[] = {3, 0, 1, 2};
  const TRect rects[] = {{120, 0, 170, 21}, {0, 0, 80, 21}, {80, 0, 80, 21}, {80, 0, 120, 21}};
  for (Integer i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Col(i)->GetPosition(), renumbered[i]);
    EXPECT_EQ(Col(i)->GetDisplayRect(), rects[i]);
  }
  EXPECT_EQ(H->GetViewRect(), (TRect{0, 0, 400, 21})) << "a row narrower than the control reaches its edge";
  EXPECT_EQ(H->VisibleColumns(), (std::vector<TEmberColumn*>{Col(1), Col(3), Col(0)}));
  EXPECT_EQ(H->FirstColumnInRect(TRect{90, 50, 130, 60}), Col(3));
  EXPECT_EQ(H->NextColumnInRect(Col(3), TRect{90, 50, 130, 60}), Col(0));
  // The header takes room only in views that show it.
  EXPECT_EQ(H->RuntimeHeight(), 21);
  LV->SetView(TEmberListStyle::elsIcon);
  EXPECT_EQ(H->RuntimeHeight(), 0);
  H->SetShowInAllViews(true);
  EXPECT_EQ(H->RuntimeHeight(), 21);
  H->SetVisible(false);
  EXPECT_TRUE(H->GetShowInAllViews());
  EXPECT_TRUE(H->GetVisible()) << "shown in all views, the header comes back as soon as that is read";
  EXPECT_EQ(H->Positions().Get(2), Col(3));
  H->SetHeight(-5);
  EXPECT_EQ(H->GetHeight(), 0);
}

TEST_F(HeaderTest, DividerBandIsFourPixelsEachSideOfTheEdge) {
  Build();
  struct Case {
    TPoint p;
    Integer column;  // -1: none
  } cases[] = {
      {{96, 10}, -1}, {{97, 10}, 0}, {{100, 10}, 0}, {{104, 10}, 0}, {{105, 10}, -1},
      {{100, 0}, -1}, {{100, 20}, 0}, {{100, 21}, -1}, {{200, 10}, 1}, {{304, 10}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.p.X << "," << c.p.Y);
    EXPECT_EQ(H->DividerAt(c.p), c.column < 0 ? nullptr : Col(c.column));
  }
  H->SetSizeable(false);
  EXPECT_EQ(H->DividerAt({100, 10}), nullptr);
}

TEST_F(HeaderTest, ResizingBySplit) {
  Build();
  dynamic_cast<TEmberPaintInfoBaseColumn*>(LV->GetPaintInfoColumn())->SetHotTrack(false);
  int asked = 0;
  LV->OnColumnSizeChanging = [&asked](TCustomEmberListview*, TEmberColumn*, Integer, Integer NewWidth, bool& Allow) {
    ++asked;
    Allow = NewWidth <= 150;
  };
  Move({101, 10});
  Move({102, 10});
  EXPECT_EQ(asked, 2) << "every move over the divider asks";
  EXPECT_TRUE(H->GetState().Contains(TEmberHeaderState::ehsResizePending));
  EXPECT_EQ(LV->GetCursor(), static_cast<TCursor>(crVHeaderSplit));
  EXPECT_EQ(GetCapture(), LV->Handle());
  Down({102, 10});
  Move({130, 10}, MK_LBUTTON);
  EXPECT_EQ(Col(0)->GetWidth(), 130);
  EXPECT_EQ(Col(1)->GetDisplayRect().Left, 130) << "the columns after it move over";
  Move({170, 10}, MK_LBUTTON);
  EXPECT_EQ(Col(0)->GetWidth(), 130) << "refused by the handler";
  Up({170, 10});
  EXPECT_EQ(Log.Lines, std::vector<std::string>{"size changed A"});
  EXPECT_TRUE(H->GetState().Empty());
  EXPECT_EQ(GetCapture(), nullptr);
  // Leaving the divider gives the cursor back.
  Move({102, 10});
  Move({50, 10});
  EXPECT_EQ(LV->GetCursor(), crDefault);
  EXPECT_FALSE(H->GetState().Contains(TEmberHeaderState::ehsResizePending));
}

TEST_F(HeaderTest, SortClicksCycleAndMoveToAnotherColumn) {
  Build();
  using D = TEmberSortDirection;
  struct Step {
    TPoint at;
    D a, b;
    const char* logged;
  } steps[] = {
      {{50, 10}, D::esdAscending, D::esdNone, "click A"},
      {{50, 10}, D::esdDescending, D::esdNone, "click A"},
      {{50, 10}, D::esdAscending, D::esdNone, "click A"},
      {{150, 10}, D::esdNone, D::esdAscending, "click B"},
      {{150, 10}, D::esdNone, D::esdDescending, "click B"},
  };
  for (const Step& s : steps) {
    Log.Clear();
    Click(s.at);
    EXPECT_EQ(Col(0)->GetSortDirection(), s.a);
    EXPECT_EQ(Col(1)->GetSortDirection(), s.b);
    EXPECT_EQ(Log.Lines, std::vector<std::string>{s.logged});
  }
  EXPECT_EQ(LV->GetSelection()->GetFocusedColumn(), Col(1));
  // A column that is not clickable is neither clicked nor sorted.
  Col(2)->SetClickable(false);
  Log.Clear();
  Click({250, 10});
  EXPECT_EQ(Col(2)->GetSortDirection(), D::esdNone);
  EXPECT_TRUE(Log.Lines.empty());
  // A column drag begins once the mouse leaves the system's drag box around the press, SM_CXDRAG
  // to each side.
  const Integer cx = GetSystemMetrics(SM_CXDRAG);
  H->GetDragManager()->SetDragType(TEmberDragType::edtVCL);
  for (Integer dx : {cx - 1, cx}) {
    Down({50, 10});
    Move({50 + dx, 10}, MK_LBUTTON);
    EXPECT_EQ(H->GetState().Contains(TEmberHeaderState::ehsDragging), dx == cx) << dx;
    Up({50 + dx, 10});
  }
  Log.Clear();
  // A press released on another column clicks nothing.
  H->SetDraggable(false);
  Down({50, 10});
  Move({150, 10}, MK_LBUTTON);
  Up({150, 10});
  EXPECT_TRUE(Log.Lines.empty());
  EXPECT_FALSE(Col(0)->GetClicking());
}

TEST_F(HeaderTest, HotTrackingFollowsTheMouseAndEndsOutsideTheHeader) {
  Build();
  H->SetSizeable(false);
  Move({150, 10});
  EXPECT_EQ(H->GetHotTrackedColumn(), Col(1));
  EXPECT_EQ(GetCapture(), LV->Handle()) << "captured while a column is hot";
  Move({203, 10});
  EXPECT_EQ(H->GetHotTrackedColumn(), Col(1)) << "five pixels past its right edge still count";
  Move({206, 10});
  EXPECT_EQ(H->GetHotTrackedColumn(), Col(2));
  Move({206, 60});
  EXPECT_EQ(H->GetHotTrackedColumn(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  // Pressing a column ends its hot tracking.
  Move({50, 10});
  Down({50, 10});
  EXPECT_EQ(H->GetHotTrackedColumn(), nullptr);
  Up({50, 10});
  Move({50, 60});
  dynamic_cast<TEmberPaintInfoBaseColumn*>(LV->GetPaintInfoColumn())->SetHotTrack(false);
  Move({150, 10});
  EXPECT_EQ(H->GetHotTrackedColumn(), nullptr);
}

TEST_F(HeaderTest, DropDownButtonAndCheckBoxClickOnlyWhenReleasedOnThem) {
  Build();
  Col(1)->GetDropDownButton()->SetVisible(true);
  int dropDowns = 0;
  LV->OnColumnDropDownButtonClick = [&](TCustomEmberListview*, TEmberColumn* c, TCommonMouseButton, TShiftState,
                                        TPoint, bool&) { dropDowns += c == Col(1); };
  // B's arrow is x 184..199.
  Move({190, 10});
  EXPECT_TRUE(Col(1)->GetDropDownButton()->GetState().Contains(TEmberColumnDropDownButtonState::cdbsHovering));
  Click({190, 10});
  EXPECT_EQ(dropDowns, 1);
  EXPECT_TRUE(Log.Lines.empty()) << "the arrow does not sort";
  Down({190, 10});
  Move({170, 10}, MK_LBUTTON);
  EXPECT_FALSE(Col(1)->GetDropDownButton()->GetState().Contains(TEmberColumnDropDownButtonState::cdbsDown));
  Up({170, 10});
  EXPECT_EQ(dropDowns, 1);
  Col(1)->GetDropDownButton()->SetEnabled(false);
  Click({190, 10});
  EXPECT_EQ(dropDowns, 1);
  // A's check box is x 2..13, y 4..15.
  Click({5, 8});
  EXPECT_TRUE(Col(0)->GetChecked());
  Down({5, 8});
  Move({40, 8}, MK_LBUTTON);
  Up({40, 8});
  EXPECT_TRUE(Col(0)->GetChecked()) << "released off the box";
  EXPECT_EQ(LV->GetCheckManager()->GetPendingObject(), nullptr);
}

TEST_F(HeaderTest, SpringColumnsShareAChangeOfWidth) {
  Build();
  for (Integer i = 0; i < 3; ++i) Col(i)->SetAutoSpring(true);
  TMessage size{WM_SIZE, 0, 0, 0};
  H->WMSize(size);
  LV->SetBounds(0, 0, 410, 300);
  H->WMSize(size);
  for (Integer i = 0; i < 3; ++i) {
    EXPECT_EQ(Col(i)->GetWidth(), 103);
    EXPECT_NEAR(Col(i)->GetSpringRest(), 1.0 / 3, 1e-5);
  }
  // Two more pixels and the rests make three.
  LV->SetBounds(0, 0, 412, 300);
  H->WMSize(size);
  for (Integer i = 0; i < 3; ++i) EXPECT_EQ(Col(i)->GetWidth(), 104);
  LV->SetBounds(0, 0, 382, 300);
  H->WMSize(size);
  for (Integer i = 0; i < 3; ++i) EXPECT_EQ(Col(i)->GetWidth(), 94);
}

// The window's own messages reach the header: presses, releases and double clicks over it, its
// context menu, and a new width for its spring columns; the same presses below it are the items'.
TEST_F(HeaderTest, TheWindowsMessagesReachTheHeader) {
  Build();
  HWND h = LV->Handle();
  LV->OnColumnDblClick = [this](TCustomEmberListview*, TCommonMouseButton, TPoint, TEmberColumn* c) {
    Log.Add("double click " + Name(c));
  };
  LV->OnColumnContextMenu = [this](TCustomEmberListview*, TEmberHitInfoColumn hit, TPoint, TPopupMenu*&) {
    Log.Add("menu " + (hit.Column ? Name(hit.Column) : std::string("none")));
  };
  auto at = [](Integer x, Integer y) { return static_cast<LPARAM>((x & 0xFFFF) | ((y & 0xFFFF) << 16)); };
  struct Case {
    const char* what;
    std::vector<std::pair<UINT, TPoint>> messages;
    std::vector<std::string> logged;
  } cases[] = {
      {"a click on B", {{WM_LBUTTONDOWN, {150, 10}}, {WM_LBUTTONUP, {150, 10}}}, {"click B"}},
      {"a double click on C", {{WM_LBUTTONDBLCLK, {250, 10}}, {WM_LBUTTONUP, {250, 10}}}, {"double click C"}},
      {"a click under the header", {{WM_LBUTTONDOWN, {150, 60}}, {WM_LBUTTONUP, {150, 60}}}, {}},
      {"the menu over A", {{WM_CONTEXTMENU, {50, 10}}}, {"menu A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Log.Clear();
    for (const auto& [msg, p] : c.messages) {
      TPoint screen = msg == WM_CONTEXTMENU ? LV->ClientToScreen(p) : p;
      SendMessage(h, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, at(screen.X, screen.Y));
    }
    EXPECT_EQ(Log.Lines, c.logged);
  }
  EXPECT_EQ(Col(1)->GetSortDirection(), TEmberSortDirection::esdAscending);
  // A double click on the divider of a column that does not size itself is one on the column.
  Col(0)->SetAutoSizeOnDblClk(false);
  Log.Clear();
  SendMessage(h, WM_LBUTTONDBLCLK, 0, at(101, 10));
  SendMessage(h, WM_LBUTTONUP, 0, at(101, 10));
  EXPECT_EQ(Log.Lines, std::vector<std::string>{"double click B"});
  // Thirty pixels more for three spring columns: ten each, without calling the header.
  // The first size the header hears is where it starts from.
  for (Integer i = 0; i < 3; ++i) Col(i)->SetAutoSpring(true);
  LV->SetBounds(0, 0, 400, 299);
  LV->SetBounds(0, 0, 430, 299);
  for (Integer i = 0; i < 3; ++i) EXPECT_EQ(Col(i)->GetWidth(), 110);
}

TEST_F(HeaderTest, TheDragRecordIsOursOrIgnored) {
  Build();
  MakeList();
  TEmberListview* other = LV;
  LV = Made.front();
  std::vector<Byte> good = headerdrag::Encode(LV, 2);
  EXPECT_EQ(headerdrag::Decode(good.data(), good.size(), LV), 2);
  auto changed = [&](size_t at, Byte value) {
    std::vector<Byte> r = good;
    r[at] ^= value;
    return r;
  };
  struct Case {
    const char* what;
    std::vector<Byte> data;
    TCustomEmberListview* control;
  } cases[] = {
      {"short", std::vector<Byte>(good.begin(), good.begin() + 12), LV},
      {"another control", good, other},
      {"another layout", changed(0, 1), LV},
      {"another version", changed(4, 2), LV},
      {"another process", changed(8, 1), LV},
      {"another token", changed(20, 0x40), LV},
      {"a column beyond the last", headerdrag::Encode(LV, 3), LV},
      {"a negative column", headerdrag::Encode(LV, -1), LV},
  };
  for (const Case& c : cases) EXPECT_EQ(headerdrag::Decode(c.data.data(), c.data.size(), c.control), -1) << c.what;
}

// A column drag scrolls by the side edges in the report views alone; an item drag never sideways.
TEST_F(HeaderTest, DragsScrollSidewaysOnlyWithColumnsInReportViews) {
  struct Case {
    const char* what;
    TEmberListStyle view;
    bool columns;
    Integer x, y;
    bool scrolls;
  } cases[] = {
      {"a column by the left edge", TEmberListStyle::elsReport, true, 5, 150, true},
      {"a column by the right edge", TEmberListStyle::elsReportThumb, true, 395, 150, true},
      {"a column in the middle", TEmberListStyle::elsReport, true, 200, 150, false},
      {"a column by the bottom edge", TEmberListStyle::elsReport, true, 200, 295, false},
      {"a column in the icon view", TEmberListStyle::elsIcon, true, 5, 150, false},
      {"items by the left edge", TEmberListStyle::elsReport, false, 5, 150, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build();
    LV->SetView(c.view);
    TCustomEmberDragManagerBase* m = c.columns ? static_cast<TCustomEmberDragManagerBase*>(H->GetDragManager())
                                               : LV->GetDragManager();
    TCommonDropEffect effect = TCommonDropEffect::cdeNone;
    m->DragEnter(nullptr, {}, {c.x, c.y}, effect);
    m->Drag({}, {c.x, c.y}, effect);
    EXPECT_EQ(m->AutoScrollTimerRunning(), c.scrolls);
    m->DragEnd({}, {c.x, c.y});
  }
}

TEST_F(HeaderTest, TheDragCursorIsTheControls) {
  Build();
  H->GetDragManager()->SetDragCursor(crHandPoint);
  EXPECT_EQ(LV->GetDragCursor(), crHandPoint);
  LV->SetDragCursor(crMultiDrag);
  EXPECT_EQ(LV->GetDragManager()->GetDragCursor(), crMultiDrag);
}

class HeaderDragTest : public HeaderTest {
public:
  void SetUp() override {
    HeaderTest::SetUp();
    Build();
    LV->GetDragManager()->SetEnabled(true);
    // The drag finds its target under the pointer: the windows must be on the screen.
    Form->Show();
    guitest::PumpPending();
  }
  void TearDown() override {
    pf::testing::SetKeyDown(VK_LBUTTON, false);
    HeaderTest::TearDown();
  }
  // Presses on `from`, then lets the drag loop take the queued moves to `to` and the release there.
  void DragColumn(TPoint from, TPoint to) {
    pf::testing::SetKeyDown(VK_LBUTTON, true);
    TPoint screen = from;
    ClientToScreen(LV->Handle(), &screen);
    pf::testing::SetCursorScreenPos(screen);
    Down(from);
    guitest::Mouse(LV->Handle(), QEvent::MouseMove, Qt::NoButton, {(from.X + to.X) / 2, to.Y}, Qt::LeftButton);
    guitest::Mouse(LV->Handle(), QEvent::MouseMove, Qt::NoButton, to, Qt::LeftButton);
    guitest::Mouse(LV->Handle(), QEvent::MouseButtonRelease, Qt::LeftButton, to, Qt::NoButton);
    Move({from.X + 10, from.Y}, MK_LBUTTON);
    pf::testing::SetKeyDown(VK_LBUTTON, false);
    guitest::PumpPending();
  }
};

TEST_F(HeaderDragTest, AColumnDraggedOntoAnotherTakesItsPlace) {
  struct Case {
    const char* what;
    TPoint from, to;
    std::string order;
  } cases[] = {
      {"A onto C", {20, 10}, {250, 10}, "BCA"},
      {"C onto A", {250, 10}, {20, 10}, "CAB"},
      {"onto itself", {150, 10}, {160, 10}, "ABC"},
      {"where no column lies", {20, 10}, {350, 10}, "ABC"},
      {"below the header", {20, 10}, {150, 100}, "ABC"},
  };
  int ends = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (Integer i = 0; i < 3; ++i) Col(i)->SetPosition(i);
    H->Rebuild(true);
    ASSERT_EQ(Order(), "ABC");
    Log.Clear();
    DragColumn(c.from, c.to);
    EXPECT_EQ(Order(), c.order);
    EXPECT_TRUE(Log.Lines.empty()) << "a drag is no click";
    EXPECT_TRUE(H->GetState().Empty());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(H->GetDragManager()->GetTargetColumn(), nullptr);
    for (Integer i = 0; i < 3; ++i) EXPECT_FALSE(Col(i)->GetState().Contains(TEmberStorageObjectState::esosDropTarget));
    ++ends;
  }
  EXPECT_EQ(ends, 5);
  // Positions stay a permutation and the layout follows them.
  EXPECT_EQ(Col(0)->GetDisplayRect(), (TRect{0, 0, 100, 21}));
}

// The column drag lands through the list's drop target, which the list's new window must hold
// again once the form's window has been made again.
TEST_F(HeaderDragTest, AColumnDragsAfterTheFormsWindowIsMadeAgain) {
  const HWND old = LV->Handle();
  Form->RecreateWnd();
  guitest::PumpPending();
  ASSERT_NE(LV->Handle(), old);
  DragColumn({20, 10}, {250, 10});
  EXPECT_EQ(Order(), "BCA");
}

// The column the user drags to the front is the row's first cell: an item's rectangles asked for
// without a column are measured in it, with its caption.
TEST_F(HeaderDragTest, TheColumnDraggedToTheFrontIsTheOneAnItemIsMeasuredIn) {
  TEmberGroup* g = LV->GetGroups()->Add();
  TEmberItem* item = g->GetItems()->Add();
  item->SetCaptions(0, u"a");
  item->SetCaptions(2, u"longer one");
  LV->GetGroups()->Rebuild(true);
  TEmberViewItem* view = item->GetView();
  ASSERT_NE(view, nullptr);
  auto textWidth = [&](const String& t) {
    TCanvas* c = LV->GetScratchCanvas();
    c->SetFont(LV->GetFont());
    return c->TextWidth(t);
  };
  EXPECT_EQ(view->ItemRect(item, nullptr, TEmberCellRectType::ertText).Width(), textWidth(u"a"));
  DragColumn({250, 10}, {20, 10});
  ASSERT_EQ(Order(), "CAB");
  LV->GetGroups()->Rebuild(true);
  const TRect bounds = view->ItemRect(item, nullptr, TEmberCellRectType::ertBounds);
  EXPECT_EQ(bounds.Left, 0);
  EXPECT_EQ(bounds.Right, 100);
  EXPECT_EQ(view->ItemRect(item, nullptr, TEmberCellRectType::ertText).Width(), textWidth(u"longer one"));
}

// Captions belong to a column wherever the user has put it: after the size column is dragged in
// front of the name column, a click on it sorts by size, and a click on the name column by name.
TEST_F(HeaderDragTest, AColumnDraggedToTheFrontSortsByItsOwnCaptions) {
  // Column A holds the name, column B the size; name order and size order differ.
  TEmberGroup* g = LV->GetGroups()->Add();
  std::vector<TEmberCollectionItem*> input;
  for (auto [name, size] : {std::pair{u"apple", u"3"}, {u"banana", u"1"}, {u"cherry", u"4"}, {u"date", u"2"}}) {
    TEmberItem* it = g->GetItems()->Add();
    it->SetCaptions(0, name);
    it->SetCaptions(1, size);
    input.push_back(it);
  }
  auto order = [&] {
    std::string out;
    for (Integer i = 0; i < g->GetItemCount(); ++i) out += static_cast<char>(g->GetItem(i)->GetCaptions(0)[0]);
    return out;
  };
  DragColumn({150, 10}, {20, 10});
  ASSERT_EQ(Order(), "BAC");
  // The unit's own comparison, as a collection without a sort manager uses it.
  auto item = [&](Integer i) { return static_cast<TEmberItem*>(input[static_cast<size_t>(i)]); };
  Col(1)->SetSortDirection(TEmberSortDirection::esdAscending);
  EXPECT_GT(DefaultItemCompare(Col(1), item(0), item(1)), 0) << "size 3 after size 1";
  Col(1)->SetSortDirection(TEmberSortDirection::esdNone);
  LV->GetSort()->SetAutoSort(true);
  struct Step {
    TPoint at;
    TEmberSortDirection direction;
    const char* order;
  } steps[] = {
      {{50, 10}, TEmberSortDirection::esdAscending, "bdac"},   // B, now in front: by size
      {{50, 10}, TEmberSortDirection::esdDescending, "cadb"},
      {{150, 10}, TEmberSortDirection::esdAscending, "abcd"},  // A, now second: by name
      {{150, 10}, TEmberSortDirection::esdDescending, "dcba"},
  };
  for (TEmberSortAlgorithm alg : {TEmberSortAlgorithm::esaQuickSort, TEmberSortAlgorithm::esaBubbleSort,
                                  TEmberSortAlgorithm::esaMergeSort}) {
    SCOPED_TRACE(static_cast<int>(alg));
    LV->GetSort()->SetAlgorithm(alg);
    for (Integer i = 0; i < 2; ++i) Col(i)->SetSortDirection(TEmberSortDirection::esdNone);
    g->GetItems()->Reorder(input);
    for (const Step& c : steps) {
      Click(c.at);
      TEmberColumn* clicked = c.at.X < 100 ? Col(1) : Col(0);
      EXPECT_EQ(clicked->GetSortDirection(), c.direction);
      EXPECT_EQ(order(), c.order);
    }
  }
}

TEST_F(HeaderDragTest, AColumnDragShowsTheColumnsImageUnderThePointer) {
  TRect shown;
  TPoint pointer;
  QImage image;
  LV->OnOLEDragEnter = [&](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint p, TCommonDropEffects, TCommonDropEffect&) {
    pointer = p;
    ClientToScreen(LV->Handle(), &pointer);
    ole::testing::DragImageOnScreen(&shown);
    if (QWidget* w = olebridge::DragImageWindow()) image = w->grab().toImage();
  };
  // Column B (100..200) pressed at (130, 8) and let go over itself: the image is the column
  // alone, 100 x 21, held where it was pressed, and as the header shows it.
  DragColumn({130, 8}, {160, 10});
  EXPECT_EQ(Order(), "ABC");
  EXPECT_EQ(shown, (TRect{pointer.X - 30, pointer.Y - 8, pointer.X + 70, pointer.Y + 13}));
  ASSERT_EQ(image.size(), QSize(100, 21));
  InvalidateRect(LV->Handle(), nullptr, false);
  guitest::PumpPending();
  const QImage window = layer::WidgetOf(LV->Handle())->grab().toImage();
  const TPoint o = ClientOrigin(LV->Handle());
  int differ = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 100; ++x) {
      EXPECT_EQ(qAlpha(image.pixel(x, y)), 255);
      if ((image.pixel(x, y) & 0xFFFFFF) != (window.pixel(100 + x + o.X, y + o.Y) & 0xFFFFFF)) ++differ;
    }
  EXPECT_EQ(differ, 0);
  TRect none;
  EXPECT_FALSE(ole::testing::DragImageOnScreen(&none));
}

TEST_F(HeaderDragTest, AColumnOfAnotherListIsRefused) {
  TEmberListview* first = LV;
  // A second list below the first one, with columns of its own.
  Build();
  LV->SetBounds(0, 150, 400, 150);
  TEmberListview* second = LV;
  first->SetBounds(0, 0, 400, 150);
  LV = second;
  H = second->GetHeader();
  // From the second list's column A up into the first list's header over its column C.
  DragColumn({20, 10}, {250, 10 - 150});
  EXPECT_EQ(Order(), "ABC");
  H = first->GetHeader();
  EXPECT_EQ(Order(), "ABC");
}

}  // namespace
}  // namespace lvtest
