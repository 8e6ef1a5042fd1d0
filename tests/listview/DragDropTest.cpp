// Dragging onto and out of the list: files dropped from another program through the toolkit's
// drag events, the insert mark following the mouse over thumbnails, the control's own items moved
// to the mark through the platform's drag loop and through the class library's drag, and the mark
// as painted.
#include <functional>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include "ListviewTestUtil.h"
#include "common/CommonDataObject.h"
#include "platform/ole/OleBridge_p.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace lvtest {
namespace {

using IK = TEmberInsertKind;

class DragDropTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    Form->SetClientWidth(640);
    Form->SetClientHeight(480);
    MakeList();
    LV->SetBounds(0, 0, 640, 480);
    LV->SetView(TEmberListStyle::elsThumbnail);
    LV->GetSelection()->SetMultiSelect(true);
    LV->GetDragManager()->SetEnabled(true);
    LV->GetDragManager()->GetInsertMark()->SetEnabled(true);
    // Group headers to drop on.
    LV->SetShowGroupMargins(true);
    LV->GetPaintInfoGroup()->GetMarginTop()->SetVisible(true);
    LV->GetPaintInfoGroup()->GetMarginTop()->SetSize(24);
    Fill();
    Form->Show();
    LV->SetFocus();
    guitest::PumpPending();
  }
  // Groups A and B of four items each (a0..a3, b0..b3), nothing selected, the mark as it starts.
  void Fill() {
    TEmberUpdateGuard update(LV);
    LV->GetGroups()->Clear(true);
    for (const char* g : {"A", "B"}) {
      TEmberGroup* group = LV->GetGroups()->Add();
      group->SetCaption(String(g, g + 1));
      for (int i = 0; i < 4; ++i) {
        std::string name = std::string(1, static_cast<char>(g[0] + 32)) + std::to_string(i);
        group->GetItems()->Add()->SetCaption(String(name.begin(), name.end()));
      }
    }
    update.End();
    Mark()->SetAutoMove(true);
    Mark()->SetReSelectAfterMove(true);
    LV->OnOLEDragDrop = nullptr;
  }

  TEmberItem* Item(const char* name) const {
    for (Integer g = 0; g < LV->GetGroups()->GetCount(); ++g)
      for (Integer i = 0; i < LV->GetGroups()->GetGroup(g)->GetItemCount(); ++i)
        if (Name(LV->GetGroups()->GetGroup(g)->GetItem(i)) == name) return LV->GetGroups()->GetGroup(g)->GetItem(i);
    return nullptr;
  }
  // A point of an item in window (client) coordinates, `dx` from its left edge, halfway down.
  TPoint At(const char* name, Integer dx) const {
    const TRect r = Rect(name);
    return TPoint{r.Left + dx, (r.Top + r.Bottom) / 2};
  }
  // A point on the header band of group `g`, above its first row.
  TPoint Header(Integer g) const {
    const TRect r = LV->GetGroups()->GetGroup(g)->GetDisplayRect();
    const TPoint p = LV->GetScrollbars()->MapViewToWindow(TPoint{r.Left, r.Top});
    return TPoint{p.X + 40, p.Y + 5};
  }
  TRect Rect(const char* name) const {
    return LV->GetScrollbars()->MapViewRectToWindowRect(Item(name)->GetDisplayRect());
  }
  // The captions of each group, "A: a0 a1 | B: b0".
  std::string Order() const {
    std::string out;
    for (Integer g = 0; g < LV->GetGroups()->GetCount(); ++g) {
      TEmberGroup* group = LV->GetGroups()->GetGroup(g);
      out += (g ? " | " : "") + Name(group) + ":";
      for (Integer i = 0; i < group->GetItemCount(); ++i) out += " " + Name(group->GetItem(i));
    }
    return out;
  }
  std::string Selected() const {
    std::string out;
    for (TEmberItem* i = LV->GetSelection()->First(); i; i = LV->GetSelection()->Next(i)) out += (out.empty() ? "" : " ") + Name(i);
    return out;
  }
  void Select(std::initializer_list<const char*> names) {
    LV->GetSelection()->ClearAll();
    for (const char* n : names) Item(n)->SetSelected(true);
  }

  // ---- The toolkit's drag events, as a file manager's drag delivers them to our window ----
  QPoint WindowPoint(TPoint client) const {
    QWidget* w = layer::WidgetOf(LV->Handle());
    const TPoint o = ClientOrigin(LV->Handle());
    return w->mapTo(w->window(), QPoint(client.X + o.X, client.Y + o.Y));
  }
  QWindow* Window() const { return layer::WidgetOf(LV->Handle())->window()->windowHandle(); }
  static constexpr Qt::DropActions kAll = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  Qt::DropAction Enter(QMimeData& mime, TPoint client, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QDragEnterEvent e(WindowPoint(client), kAll, &mime, Qt::LeftButton, mods);
    QCoreApplication::sendEvent(Window(), &e);
    return e.isAccepted() ? e.dropAction() : Qt::IgnoreAction;
  }
  Qt::DropAction Move(QMimeData& mime, TPoint client, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QDragMoveEvent e(WindowPoint(client), kAll, &mime, Qt::LeftButton, mods);
    QCoreApplication::sendEvent(Window(), &e);
    return e.isAccepted() ? e.dropAction() : Qt::IgnoreAction;
  }
  Qt::DropAction Drop(QMimeData& mime, TPoint client, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QDropEvent e(QPointF(WindowPoint(client)), kAll, &mime, Qt::NoButton, mods);
    QCoreApplication::sendEvent(Window(), &e);
    return e.isAccepted() ? e.dropAction() : Qt::IgnoreAction;
  }
  void Leave() {
    QDragLeaveEvent e;
    QCoreApplication::sendEvent(Window(), &e);
  }

  // ---- The control's own drag, by the mouse ----
  // Presses on `from`, then moves past the drag distance and on to `to`, and lets go there. The
  // drag loop runs inside the first move and takes the rest of the input from the queue.
  // The drag loop runs inside the first move; the rest of the input comes once the drag has
  // begun (queued earlier, the moves would merge into one, as the platform's do).
  void DragItems(TPoint from, TPoint to) {
    HWND h = LV->Handle();
    guitest::Mouse(h, QEvent::MouseButtonPress, Qt::LeftButton, from, Qt::LeftButton);
    guitest::PumpPending();
    bool queued = false;
    auto rest = [&queued, h, to] {
      if (queued) return;
      queued = true;
      guitest::Mouse(h, QEvent::MouseMove, Qt::NoButton, to, Qt::LeftButton);
      guitest::Mouse(h, QEvent::MouseButtonRelease, Qt::LeftButton, to, Qt::NoButton);
    };
    auto enter = LV->OnOLEDragEnter;
    auto start = LV->OnStartDrag;
    LV->OnOLEDragEnter = [&, enter](TCustomEmberListview* lv, IDataObject* d, TCommonKeyStates k, TPoint p,
                                    TCommonDropEffects a, TCommonDropEffect& e) {
      if (enter) enter(lv, d, k, p, a, e);
      rest();
    };
    LV->OnStartDrag = [&, start](TObject* sender) {
      if (start) start(sender);
      rest();
    };
    guitest::Mouse(h, QEvent::MouseMove, Qt::NoButton, TPoint{from.X + 10, from.Y + 10}, Qt::LeftButton);
    guitest::PumpPending();
    LV->OnOLEDragEnter = enter;
    LV->OnStartDrag = start;
    rest();
    guitest::PumpPending();
  }

  TEmberInsertMark* Mark() const { return LV->GetDragManager()->GetInsertMark(); }
  TRect MarkInWindow() const { return LV->GetScrollbars()->MapViewRectToWindowRect(Mark()->GetDisplayRect()); }

  // The window as it shows now.
  QImage Shot() {
    InvalidateRect(LV->Handle(), nullptr, false);
    guitest::PumpPending();
    QImage img = layer::WidgetOf(LV->Handle())->grab().toImage();
    if (const char* dir = std::getenv("PO_SCREENSHOT_DIR"))
      img.save(QString::fromUtf8(dir) + QStringLiteral("/listview-insertmark-thumbnail.png"));
    return img;
  }
};

const std::vector<String> kFiles = {u"/tmp/фото/Лето 2024.jpg", u"/tmp/a folder/b c.png", u"/tmp/100% real.jpeg"};

std::vector<String> DroppedFiles(IDataObject* data) {
  Owned<common::TCommonHDrop> drop(common::TCommonHDrop::New());
  if (!data || !drop->LoadFromDataObject(data)) return {};
  Owned<TStringList> names(TStringList::New());
  drop->FileNamesW(names.get());
  std::vector<String> out;
  for (Integer i = 0; i < names->Count(); ++i) out.push_back(names->Get(i));
  return out;
}

TEST_F(DragDropTest, FilesFromAFileManagerDropThroughTheToolkitOntoTheThumbnails) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const String& f : kFiles) urls << QUrl::fromLocalFile(QString::fromStdU16String(f));
  mime.setUrls(urls);
  std::vector<std::string> events;
  std::vector<String> files;
  // As the order window does: a copy for file lists; the drop is taken.
  LV->OnOLEDragEnter = [&](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint, TCommonDropEffects,
                           TCommonDropEffect&) { events.push_back("enter"); };
  LV->OnOLEDragOver = [&](TCustomEmberListview*, TCommonKeyStates, TPoint, TCommonDropEffects, TCommonDropEffect&) {
    events.push_back("over");
  };
  LV->OnOLEDragLeave = [&](TCustomEmberListview*) { events.push_back("leave"); };
  LV->OnOLEDragDrop = [&](TCustomEmberListview*, IDataObject* data, TCommonKeyStates, TPoint, TCommonDropEffects,
                          TCommonDropEffect&, bool&) {
    events.push_back("drop");
    files = DroppedFiles(data);
  };
  Select({"a0", "a1"});
  const std::string before = Order();

  // The effect follows the keys: none held moves, Ctrl copies, Ctrl+Shift links.
  EXPECT_EQ(Enter(mime, At("b1", 60)), Qt::MoveAction);
  EXPECT_TRUE(LV->GetDragManager()->GetDragTarget());
  // Halfway across a thumbnail the item is the target; no mark shows.
  EXPECT_EQ(Move(mime, At("b1", 60), Qt::ControlModifier), Qt::CopyAction);
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), Item("b1"));
  EXPECT_TRUE(Item("b1")->GetHilighted());
  EXPECT_FALSE(Mark()->GetVisible());
  // Near its left edge the mark stands on the edge, and the item's hilight goes.
  const TRect b1 = Rect("b1");
  EXPECT_EQ(Move(mime, At("b1", 2), Qt::ShiftModifier | Qt::ControlModifier), Qt::LinkAction);
  EXPECT_TRUE(Mark()->GetVisible());
  EXPECT_EQ(Mark()->GetPosition(), IK::eipBefore);
  EXPECT_EQ(Mark()->GetTarget(), Item("b1"));
  EXPECT_EQ(MarkInWindow(), (TRect{b1.Left - 3, b1.Top, b1.Left + 3, b1.Bottom}));
  EXPECT_FALSE(Item("b1")->GetHilighted());

  // The mark as the window shows it: an I of black lines along the edge (two wide, with two
  // lines at the top and three at the bottom across its six pixels).
  const QImage shot = Shot();
  const TPoint o = ClientOrigin(LV->Handle());
  auto black = [&](Integer x, Integer y) { return (shot.pixel(x + o.X, y + o.Y) & 0xFFFFFF) == 0; };
  const Integer mid = (b1.Top + b1.Bottom) / 2;
  EXPECT_TRUE(black(b1.Left - 1, mid));
  EXPECT_TRUE(black(b1.Left, mid));
  EXPECT_FALSE(black(b1.Left + 1, mid));
  EXPECT_FALSE(black(b1.Left - 2, mid));
  EXPECT_TRUE(black(b1.Left - 3, b1.Top + 1));
  EXPECT_FALSE(black(b1.Left - 3, b1.Top + 2));
  EXPECT_TRUE(black(b1.Left + 2, b1.Bottom - 3));
  EXPECT_FALSE(black(b1.Left + 2, b1.Bottom - 4));

  EXPECT_EQ(Drop(mime, At("b1", 2)), Qt::MoveAction);
  EXPECT_EQ(files, kFiles);
  // Files from outside never carry the list's own selection to the mark.
  EXPECT_EQ(Order(), before);
  EXPECT_EQ(Selected(), "a0 a1");
  EXPECT_FALSE(Mark()->GetVisible());
  EXPECT_FALSE(LV->GetDragManager()->GetDragTarget());
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events.front(), "enter");
  EXPECT_EQ(events.back(), "drop");

  // A drag that goes away again leaves nothing marked.
  events.clear();
  Enter(mime, At("a2", 2));
  Move(mime, At("a2", 2));
  EXPECT_TRUE(Mark()->GetVisible());
  Leave();
  EXPECT_EQ(events.back(), "leave");
  EXPECT_FALSE(Mark()->GetVisible());
  EXPECT_EQ(Mark()->GetTarget(), nullptr);
}

// A border or theme change makes the form's window again, and the list's with it: the new window
// takes the files as the first one did, and holds one registration, not two.
TEST_F(DragDropTest, FilesDropOnTheListAfterItsWindowIsMadeAgain) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const String& f : kFiles) urls << QUrl::fromLocalFile(QString::fromStdU16String(f));
  mime.setUrls(urls);
  std::vector<String> files;
  LV->OnOLEDragDrop = [&](TCustomEmberListview*, IDataObject* data, TCommonKeyStates, TPoint, TCommonDropEffects,
                          TCommonDropEffect&, bool&) { files = DroppedFiles(data); };
  const int targets = ole::testing::RegisteredTargets();
  struct Case {
    const char* what;
    std::function<void()> remake;
  } cases[] = {
      {"the form's window", [this] { Form->RecreateWnd(); }},
      {"the form's window once more", [this] { Form->RecreateWnd(); }},
      {"the list's own window", [this] { LV->RecreateWnd(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const HWND old = LV->Handle();
    c.remake();
    guitest::PumpPending();
    ASSERT_NE(LV->Handle(), old);
    EXPECT_EQ(ole::testing::RegisteredTargets(), targets);
    files.clear();
    EXPECT_EQ(Enter(mime, At("b1", 60)), Qt::MoveAction);
    EXPECT_EQ(Drop(mime, At("b1", 60)), Qt::MoveAction);
    EXPECT_EQ(files, kFiles);
  }
}

TEST_F(DragDropTest, TheMarkFollowsTheCatchZonesOfAThumbnail) {
  struct Case {
    const char* name;
    std::function<void(TEmberListview*)> setup;
    Integer dx;  // from the item's left edge (negative: from its right edge)
    IK position;
    // The expected mark from the item's rectangle; empty when no mark shows.
    std::function<TRect(const TRect&)> mark;
  };
  // A thumbnail is 125 wide here, so a quarter of it is 31 pixels; the mark is 3 x 2 wide and
  // straddles the edge.
  const Case cases[] = {
      {"just inside the left edge", nullptr, 1, IK::eipBefore, [](const TRect& r) { return TRect{r.Left - 3, r.Top, r.Left + 3, r.Bottom}; }},
      {"the last pixel of the left zone", nullptr, 31, IK::eipBefore, [](const TRect& r) { return TRect{r.Left - 3, r.Top, r.Left + 3, r.Bottom}; }},
      {"just past the left zone", nullptr, 32, IK::eipNone, nullptr},
      {"the first pixel of the right zone", nullptr, -31, IK::eipAfter, [](const TRect& r) { return TRect{r.Right - 3, r.Top, r.Right + 3, r.Bottom}; }},
      {"not centred: inside the item", [](TEmberListview* lv) { lv->GetDragManager()->GetInsertMark()->SetCenterMark(false); }, -1, IK::eipAfter,
       [](const TRect& r) { return TRect{r.Right - 6, r.Top, r.Right, r.Bottom}; }},
      {"a wider mark", [](TEmberListview* lv) { lv->GetDragManager()->GetInsertMark()->SetWidth(3); }, 1, IK::eipBefore,
       [](const TRect& r) { return TRect{r.Left - 4, r.Top, r.Left + 5, r.Bottom}; }},
      {"the handler narrows the zone", [](TEmberListview* lv) {
         lv->OnInsertMarkPosition = [](TCustomEmberListview*, TEmberInsertMarkerDir&, Byte& range) { range = 5; };
       }, 6, IK::eipNone, nullptr},
  };
  QMimeData mime;
  mime.setText(QStringLiteral("x"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mark()->SetCenterMark(true);
    Mark()->SetWidth(2);
    LV->OnInsertMarkPosition = nullptr;
    if (c.setup) c.setup(LV);
    const TRect r = Rect("a1");
    ASSERT_EQ(r.Width(), 125);
    const TPoint p{c.dx >= 0 ? r.Left + c.dx : r.Right + c.dx, (r.Top + r.Bottom) / 2};
    Enter(mime, p);
    Move(mime, p);
    EXPECT_EQ(Mark()->GetPosition(), c.position);
    EXPECT_EQ(Mark()->GetVisible(), c.mark != nullptr);
    if (c.mark) {
      EXPECT_EQ(MarkInWindow(), c.mark(r));
    }
    Leave();
  }

  // Turned across by the handler, the mark lies along the top edge.
  LV->OnInsertMarkPosition = [](TCustomEmberListview*, TEmberInsertMarkerDir& dir, Byte& range) {
    dir = TEmberInsertMarkerDir::dmdHorz;
    range = 10;
  };
  const TRect r = Rect("a1");
  Enter(mime, TPoint{r.Left + 60, r.Top + 4});
  Move(mime, TPoint{r.Left + 60, r.Top + 4});
  EXPECT_EQ(Mark()->GetPosition(), IK::eipBefore);
  EXPECT_EQ(MarkInWindow(), (TRect{r.Left, r.Top - 3, r.Right, r.Top + 3}));
  // Over a group's header band the group is the target, and no mark shows.
  Move(mime, Header(1));
  EXPECT_EQ(Mark()->GetPosition(), IK::eipHeader);
  EXPECT_EQ(Mark()->GetTarget(), LV->GetGroups()->GetGroup(1));
  EXPECT_FALSE(Mark()->GetVisible());
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), LV->GetGroups()->GetGroup(1));
  Leave();
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), nullptr);

  // Back from an edge to the middle of the item, the mark goes and the item is the target again;
  // from an edge to where no item lies, the mark points nowhere, so a drop there moves nothing.
  LV->OnInsertMarkPosition = nullptr;
  Enter(mime, At("b1", 2));
  Move(mime, At("b1", 2));
  ASSERT_TRUE(Mark()->GetVisible());
  Move(mime, At("b1", 60));
  Move(mime, At("b1", 61));
  EXPECT_FALSE(Mark()->GetVisible());
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), Item("b1"));
  EXPECT_TRUE(Item("b1")->GetHilighted());
  Move(mime, At("b1", 2));
  const TRect b3 = Rect("b3");
  Move(mime, TPoint{b3.Right + 20, (b3.Top + b3.Bottom) / 2});
  EXPECT_EQ(Mark()->GetTarget(), nullptr);
  EXPECT_EQ(Mark()->GetPosition(), IK::eipNone);
  Leave();
}

TEST_F(DragDropTest, OwnItemsMoveToTheMark) {
  struct Case {
    const char* name;
    std::vector<const char*> selected;
    const char* pressOn;
    const char* target;  // nil: the header of group B
    Integer dx;          // from the target's left edge (negative: from its right edge)
    std::function<void(TEmberListview*)> setup;
    std::string order;
    std::string selectedAfter;
  };
  const Case cases[] = {
      {"before an item of the same group", {"a0", "a1"}, "a1", "a3", 2, nullptr, "A: a2 a0 a1 a3 | B: b0 b1 b2 b3", "a0 a1"},
      {"after an item of another group, in their order", {"a0", "a2", "a3"}, "a2", "b1", -2, nullptr,
       "A: a1 | B: b0 b1 a0 a2 a3 b2 b3", "a0 a2 a3"},
      {"not selected again when so set", {"a0", "a2"}, "a0", "b0", 2,
       [](TEmberListview* lv) { lv->GetDragManager()->GetInsertMark()->SetReSelectAfterMove(false); }, "A: a1 a3 | B: a0 a2 b0 b1 b2 b3", ""},
      // Handled tells the application's own story; only AutoMove keeps the items where they are.
      {"the handler took the drop", {"a0"}, "a0", "b0", 2,
       [](TEmberListview* lv) {
         lv->OnOLEDragDrop = [](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint, TCommonDropEffects,
                                  TCommonDropEffect&, bool& handled) { handled = true; };
       },
       "A: a1 a2 a3 | B: a0 b0 b1 b2 b3", "a0"},
      {"in the middle of an item nothing moves", {"a0"}, "a0", "b2", 60, nullptr, "A: a0 a1 a2 a3 | B: b0 b1 b2 b3", "a0"},
      {"without auto-move", {"a0"}, "a0", "b2", 2, [](TEmberListview* lv) { lv->GetDragManager()->GetInsertMark()->SetAutoMove(false); },
       "A: a0 a1 a2 a3 | B: b0 b1 b2 b3", "a0"},
      {"on a group's header: to the group's end", {"a1", "a2"}, "a1", nullptr, 0, nullptr, "A: a0 a3 | B: b0 b1 b2 b3 a1 a2",
       "a1 a2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fill();
    std::vector<std::string> ends;
    LV->OnOLEDragEnd = [&](TCustomEmberListview*, IDataObject*, TCommonOLEDragResult r, TCommonDropEffects e,
                           TCommonKeyStates) {
      ends.push_back(r == TCommonOLEDragResult::cdrDrop && e == TCommonDropEffects{TCommonDropEffect::cdeMove} ? "moved" : "other");
    };
    Select({});
    for (const char* n : c.selected) Item(n)->SetSelected(true);
    LV->GetSelection()->SetFocusedItem(Item(c.pressOn));
    if (c.setup) c.setup(LV);
    const TRect t = c.target ? Rect(c.target) : TRect{};
    DragItems(At(c.pressOn, 60), !c.target ? Header(1) : TPoint{c.dx >= 0 ? t.Left + c.dx : t.Right + c.dx, (t.Top + t.Bottom) / 2});
    EXPECT_EQ(Order(), c.order);
    EXPECT_EQ(Selected(), c.selectedAfter);
    EXPECT_EQ(ends, (std::vector<std::string>{"moved"}));
    EXPECT_FALSE(Mark()->GetVisible());
    EXPECT_EQ(LV->GetDragManager()->GetDragItem(), nullptr);
    EXPECT_TRUE((LV->GetStates() * TEmberControlStates{TEmberControlState::ebcsDragging, TEmberControlState::ebcsDragPending}).Empty());
  }
}

TEST_F(DragDropTest, ADragTheHandlerRefusesNeitherMovesNorEnds) {
  int ends = 0;
  LV->OnOLEDragStart = [](TCustomEmberListview*, IDataObject*, TCommonDropEffects&, bool& allow) { allow = false; };
  LV->OnOLEDragEnd = [&ends](TCustomEmberListview*, IDataObject*, TCommonOLEDragResult, TCommonDropEffects,
                             TCommonKeyStates) { ++ends; };
  Select({"a0"});
  LV->GetSelection()->SetFocusedItem(Item("a0"));
  DragItems(At("a0", 60), At("b1", 2));
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(Order(), "A: a0 a1 a2 a3 | B: b0 b1 b2 b3");
}

TEST_F(DragDropTest, TheDefaultDragImageIsTheSelectionAroundTheStartPoint) {
  struct Case {
    const char* name;
    TPoint start;
    TPoint hotSpot;
  };
  // A 200 x 300 image centred on the start point; what sticks out over the top or the left edge
  // of the window moves the hot spot by as much.
  const Case cases[] = {
      {"inside the window", {300, 200}, {100, 150}},
      {"over the top and left edges", {50, 40}, {50, 40}},
      {"over the left edge only", {40, 160}, {40, 150}},
  };
  Select({"a1"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TBitmap> image(TBitmap::New());
    image->SetPixelFormat(TPixelFormat::pf32bit);
    image->SetSize(200, 300);
    TPoint hot;
    TColor transparent = clNone;
    bool handled = false;
    LV->GetDragManager()->DefaultImage(nullptr, image.get(), c.start, hot, transparent, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(hot, c.hotSpot);
    EXPECT_EQ(transparent, LV->GetColor());
    // The selected item shows where it stands in the window; the others not at all.
    auto inked = [&](const char* name) {
      const TRect r = Rect(name);
      int n = 0;
      for (Integer y = r.Top; y < r.Bottom; ++y)
        for (Integer x = r.Left; x < r.Right; ++x) {
          const Integer ix = x - (c.start.X - 100), iy = y - (c.start.Y - 150);
          if (ix < 0 || iy < 0 || ix >= 200 || iy >= 300) continue;
          if ((image->GetCanvas()->GetPixel(ix, iy) & 0xFFFFFF) != (ColorToRGB(transparent) & 0xFFFFFF)) ++n;
        }
      return n;
    };
    EXPECT_GT(inked("a1"), 0);
    EXPECT_EQ(inked("a2"), 0);
    EXPECT_EQ(inked("a0"), 0);
  }
}

TEST_F(DragDropTest, AnItemDragShowsTheSelectionsImageUnderThePointer) {
  Select({"b1"});
  LV->GetSelection()->SetFocusedItem(Item("b1"));
  const TPoint start = At("b1", 60);
  // The drag begins where the move passed the drag distance; the image is 200 x 300, centred
  // there, so the pointer holds it at its middle unless the window's top or left edge cuts it.
  const TPoint begin{start.X + 10, start.Y + 10};
  const TPoint hot{100 - std::max(0, 100 - begin.X), 150 - std::max(0, 150 - begin.Y)};
  TRect shown;
  TPoint pointer;
  QImage image;
  LV->OnOLEDragEnter = [&](TCustomEmberListview*, IDataObject*, TCommonKeyStates, TPoint p, TCommonDropEffects, TCommonDropEffect&) {
    pointer = p;
    ClientToScreen(LV->Handle(), &pointer);
    ole::testing::DragImageOnScreen(&shown);
    if (QWidget* w = olebridge::DragImageWindow()) image = w->grab().toImage();
  };
  DragItems(start, At("b3", 60));
  EXPECT_EQ(shown, (TRect{pointer.X - hot.X, pointer.Y - hot.Y, pointer.X - hot.X + 200, pointer.Y - hot.Y + 300}));
  TRect none;
  EXPECT_FALSE(ole::testing::DragImageOnScreen(&none)) << "the image goes with the drag";
  // The dragged item shows in the image where it stands; nothing else does, neither the items
  // not dragged nor the list's background.
  ASSERT_EQ(image.size(), QSize(200, 300));
  const TRect b1 = Rect("b1");
  const QRect item(b1.Left - begin.X + hot.X, b1.Top - begin.Y + hot.Y, b1.Width(), b1.Height());
  int inside = 0, outside = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) != 0) ++(item.contains(x, y) ? inside : outside);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
  if (const char* dir = std::getenv("PO_SCREENSHOT_DIR")) image.save(QString::fromUtf8(dir) + QStringLiteral("/listview-drag-image.png"));
}

TEST_F(DragDropTest, TheDropTargetHandsEveryStepOfADragToItsHelper) {
  ComPtr<IDropTarget> target;
  ASSERT_EQ(LV->GetDropTarget()->QueryInterface(IDropTarget::Iid, target.GetVoidAddress()), S_OK);
  auto* manager = dynamic_cast<TEmberDropTargetManager*>(target.Get());
  ASSERT_NE(manager, nullptr);
  // A drag of a 10 x 8 image held at (4, 3), over the list while no drag loop of ours runs: only
  // the helper the target hands the drag to can show it.
  ComPtr<IDataObject> data(common::TCommonDataObject::New(true)->AsDataObject());
  ComPtr<common::ICommonDataObject> common;
  ASSERT_EQ(data.As(common), S_OK);
  Owned<TBitmap> bmp(TBitmap::New());
  bmp->SetPixelFormat(TPixelFormat::pf32bit);
  bmp->SetSize(10, 8);
  bmp->GetCanvas()->GetBrush()->SetColor(clNavy);
  bmp->GetCanvas()->FillRect(TRect{0, 0, 10, 8});
  ASSERT_TRUE(common->AssignDragImage(bmp.get(), TPoint{4, 3}, clWhite));
  auto screen = [this](TPoint client) {
    ClientToScreen(LV->Handle(), &client);
    return client;
  };
  auto shown = [] {
    TRect r;
    return ole::testing::DragImageOnScreen(&r) ? r : TRect{};
  };
  const TPoint p = screen(At("a1", 60)), q = screen(At("b2", 60));
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, p, &effect), S_OK);
  EXPECT_NE(manager->GetDropTargetHelper(), nullptr);
  EXPECT_EQ(shown(), (TRect{p.X - 4, p.Y - 3, p.X + 6, p.Y + 5}));
  effect = DROPEFFECT_COPY;
  target->DragOver(MK_LBUTTON, q, &effect);
  EXPECT_EQ(shown(), (TRect{q.X - 4, q.Y - 3, q.X + 6, q.Y + 5}));
  target->DragLeave();
  EXPECT_EQ(shown(), TRect{});
  effect = DROPEFFECT_COPY;
  target->DragEnter(data.Get(), MK_LBUTTON, p, &effect);
  EXPECT_NE(shown(), TRect{});
  effect = DROPEFFECT_COPY;
  target->Drop(data.Get(), 0, p, &effect);
  EXPECT_EQ(shown(), TRect{});
  // A disabled drag manager still lets the helper follow the drag.
  LV->GetDragManager()->SetEnabled(false);
  effect = DROPEFFECT_COPY;
  target->DragEnter(data.Get(), MK_LBUTTON, q, &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_EQ(shown(), (TRect{q.X - 4, q.Y - 3, q.X + 6, q.Y + 5}));
  target->DragLeave();
  EXPECT_EQ(shown(), TRect{});
}

TEST_F(DragDropTest, AFileDragRestingNearTheBottomScrollsTheThumbnailsAfterTheDelay) {
  pf::clock::UseManual(1000);
  struct RealClock {
    ~RealClock() { pf::clock::UseReal(); }
  } real;
  {
    TEmberUpdateGuard update(LV);
    for (Integer i = 4; i < 16; ++i) LV->GetGroups()->GetGroup(1)->GetItems()->Add()->SetCaption(u"b" + pf::IntToStr(i));
    update.End();
  }
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.jpg"))});
  // 5 pixels above the bottom: 10 pixels into the 15-pixel zone, so each step is 10 x 2.
  const TPoint p{200, LV->GetClientHeight() - 5};
  TPoint screen = p;
  ClientToScreen(LV->Handle(), &screen);
  pf::testing::SetCursorScreenPos(screen);
  Enter(mime, p);
  Move(mime, p);
  pf::clock::Advance(499);
  guitest::PumpPending();
  EXPECT_EQ(LV->GetScrollbars()->GetOffsetY(), 0);
  pf::clock::Advance(1);
  guitest::PumpPending();
  EXPECT_EQ(LV->GetScrollbars()->GetOffsetY(), 0) << "the delay only arms the steps";
  pf::clock::Advance(50);
  guitest::PumpPending();
  EXPECT_EQ(LV->GetScrollbars()->GetOffsetY(), 20);
  Leave();
}

TEST_F(DragDropTest, AnItemFreedDuringADragLeavesNothingBehind) {
  QMimeData mime;
  mime.setText(QStringLiteral("x"));
  Enter(mime, At("a1", 60));
  Move(mime, At("a1", 60));
  ASSERT_EQ(LV->GetDragManager()->GetDropTarget(), Item("a1"));
  Move(mime, At("a1", 2));
  ASSERT_EQ(Mark()->GetTarget(), Item("a1"));
  LV->GetGroups()->GetGroup(0)->GetItems()->Delete(1);
  EXPECT_EQ(Mark()->GetTarget(), nullptr);
  EXPECT_FALSE(Mark()->GetVisible());
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), nullptr);
  Move(mime, At("a2", 60));
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), Item("a2"));
  LV->GetGroups()->GetGroup(0)->GetItems()->Delete(1);  // a2 now
  EXPECT_EQ(LV->GetDragManager()->GetDropTarget(), nullptr);
  Drop(mime, At("a0", 60));
  EXPECT_EQ(Order(), "A: a0 a3 | B: b0 b1 b2 b3");
}

TEST_F(DragDropTest, TheClassLibrarysDragMovesItemsAndReportsItsEnds) {
  TEmberOLEDragManager* dm = LV->GetDragManager();
  dm->SetDragType(TEmberDragType::edtVCL);
  dm->SetDragMode(TDragMode::dmAutomatic);
  std::vector<std::string> events;
  LV->OnStartDrag = [&](TObject*) { events.push_back("start"); };
  LV->OnDragOver = [&](TObject*, TObject* source, Integer, Integer, TDragState, bool& accept) {
    accept = source == LV;
  };
  LV->OnEndDrag = [&](TObject*, TObject* target, Integer, Integer) {
    events.push_back(target == LV ? "end on the list" : "end elsewhere");
  };
  Select({"a0", "a1"});
  LV->GetSelection()->SetFocusedItem(Item("a0"));
  const TRect b2 = Rect("b2");
  DragItems(At("a0", 60), TPoint{b2.Left + 2, (b2.Top + b2.Bottom) / 2});
  EXPECT_EQ(Order(), "A: a2 a3 | B: b0 b1 a0 a1 b2 b3");
  EXPECT_EQ(events, (std::vector<std::string>{"start", "end on the list"}));
  EXPECT_TRUE((LV->GetStates() * TEmberControlStates{TEmberControlState::ebcsDragging, TEmberControlState::ebcsVCLDrag,
                                                      TEmberControlState::ebcsLButtonDown})
                  .Empty());

  // A start handler that fails leaves no drag pending or running behind it, even before the
  // button comes up; the failure goes on to the loop.
  LV->OnStartDrag = [](TObject*) { throw EAbortTest(); };
  Select({"a2"});
  LV->GetSelection()->SetFocusedItem(Item("a2"));
  const TPoint a2 = At("a2", 60);
  guitest::Mouse(LV->Handle(), QEvent::MouseButtonPress, Qt::LeftButton, a2, Qt::LeftButton);
  guitest::PumpPending();
  guitest::Mouse(LV->Handle(), QEvent::MouseMove, Qt::NoButton, TPoint{a2.X + 10, a2.Y + 10}, Qt::LeftButton);
  guitest::PumpPending();
  EXPECT_TRUE((LV->GetStates() * TEmberControlStates{TEmberControlState::ebcsDragPending, TEmberControlState::ebcsDragging,
                                                      TEmberControlState::ebcsVCLDrag})
                  .Empty());
  EXPECT_FALSE(LV->Dragging());
  guitest::Mouse(LV->Handle(), QEvent::MouseButtonRelease, Qt::LeftButton, a2, Qt::NoButton);
  guitest::PumpPending();
  EXPECT_EQ(Order(), "A: a2 a3 | B: b0 b1 a0 a1 b2 b3");
}

}  // namespace
}  // namespace lvtest
