// Panels, shapes, paint boxes and up-downs on real windows; bevels of the non-client area;
// windowless controls painted by their parent and handed its mouse; loading.

#include <QImage>
#include <QWidget>

#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

// A component that writes down when it hears Loaded.
class Probe : public TComponent {
  PF_CLASS(Probe)
public:
  std::vector<String>* Log{nullptr};

protected:
  void Loaded() override {
    Log->push_back(GetName() + (IsLoading() ? u" loading" : u" done"));
    TComponent::Loaded();
  }
};

class ExtCtrlsTest : public ClassLibTest {
protected:
  TForm* MakeForm(Integer w = 300, Integer h = 200) {
    TForm* f = TForm::New(Application);
    f->SetClientWidth(w);
    f->SetClientHeight(h);
    return f;
  }
  static uint32_t Pixel(TWinControl* c, Integer x, Integer y) {
    return layer::Find(c->Handle())->Surface->PixelRGB(x, y);
  }
  // Shows the form and lets every pending paint happen.
  void ShowAndPaint(TForm* f) {
    f->Show();
    Pump();
    guitest::PumpPending();
  }
};

TEST_F(ExtCtrlsTest, ComponentsMadeWhileTheOwnerLoadsHearLoadedInOrderThenTheOwner) {
  TForm* f = MakeForm();
  std::vector<String> order;
  f->BeginLoad();
  Probe* a = Probe::New(f);
  a->SetName(u"a");
  a->Log = &order;
  Probe* b = Probe::New(f);
  b->SetName(u"b");
  b->Log = &order;
  EXPECT_TRUE(a->IsLoading());
  EXPECT_TRUE(f->IsLoading());
  f->EndLoad();
  EXPECT_EQ(order, (std::vector<String>{u"a loading", u"b loading"}));
  EXPECT_FALSE(a->IsLoading());
  EXPECT_FALSE(b->IsLoading());
  EXPECT_FALSE(f->IsLoading());
  Probe* late = Probe::New(f);
  EXPECT_FALSE(late->IsLoading()) << "made after loading: not loading";
}

TEST_F(ExtCtrlsTest, BevelsAndBorderWidthTakeTheirEdgesOffTheClientArea) {
  struct Case {
    const char* name;
    TBevelKind kind;
    TBevelCut inner, outer;
    TBevelEdges edges;
    Integer bevelWidth, borderWidth;
    Integer clientW, clientH;
  };
  const TBevelEdges leftTop{TBevelEdge::beLeft, TBevelEdge::beTop};
  const Case cases[] = {
      {"no bevel kind: bevels take nothing", TBevelKind::bkNone, TBevelCut::bvRaised, TBevelCut::bvLowered,
       kAllBevelEdges, 1, 0, 100, 60},
      {"two bevels of 1 on every edge", TBevelKind::bkTile, TBevelCut::bvRaised, TBevelCut::bvLowered, kAllBevelEdges,
       1, 0, 96, 56},
      {"one bevel (inner none)", TBevelKind::bkFlat, TBevelCut::bvNone, TBevelCut::bvLowered, kAllBevelEdges, 1, 0,
       98, 58},
      {"two bevels of 2 on the left and top only", TBevelKind::bkSoft, TBevelCut::bvRaised, TBevelCut::bvLowered,
       leftTop, 2, 0, 96, 56},
      {"border width alone", TBevelKind::bkNone, TBevelCut::bvRaised, TBevelCut::bvLowered, kAllBevelEdges, 1, 3, 94,
       54},
      {"border width and one bevel", TBevelKind::bkTile, TBevelCut::bvNone, TBevelCut::bvRaised, kAllBevelEdges, 1, 2,
       94, 54},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm* f = MakeForm();
    TCustomControl* ctl = TCustomControl::New(f);
    ctl->SetBounds(10, 10, 100, 60);
    ctl->SetBevelKind(c.kind);
    ctl->SetBevelInner(c.inner);
    ctl->SetBevelOuter(c.outer);
    ctl->SetBevelEdges(c.edges);
    ctl->SetBevelWidth(c.bevelWidth);
    ctl->SetBorderWidth(c.borderWidth);
    ctl->SetParent(f);
    EXPECT_EQ(ctl->GetClientWidth(), c.clientW) << "before the window exists";
    EXPECT_EQ(ctl->GetClientHeight(), c.clientH);
    ctl->HandleNeeded();
    EXPECT_EQ(ctl->GetClientWidth(), c.clientW) << "on the window";
    EXPECT_EQ(ctl->GetClientHeight(), c.clientH);
    f->Free();
  }
}

TEST_F(ExtCtrlsTest, ABevelChangedOnALiveWindowMovesItsClientAreaAndIsDrawn) {
  constexpr uint32_t kShadow = 0xA0A0A0, kHighlight = 0xFFFFFF, kFrame = 0x646464;
  TForm* f = MakeForm();
  TCustomControl* ctl = TCustomControl::New(f);
  ctl->SetBounds(10, 10, 100, 60);
  ctl->SetParent(f);
  ShowAndPaint(f);
  ASSERT_EQ(ctl->GetClientWidth(), 100);
  ctl->SetBevelInner(TBevelCut::bvNone);
  ctl->SetBevelOuter(TBevelCut::bvLowered);
  ctl->SetBevelKind(TBevelKind::bkTile);
  guitest::PumpPending();
  EXPECT_EQ(ctl->GetClientWidth(), 98);
  EXPECT_EQ(Pixel(ctl, 0, 0), kShadow) << "a lowered outer bevel: shadow at the top left";
  EXPECT_EQ(Pixel(ctl, 99, 59), kHighlight) << "highlight at the bottom right";
  ctl->SetCtl3D(false);
  ctl->RecreateWnd();
  guitest::PumpPending();
  EXPECT_EQ(Pixel(ctl, 0, 0), kFrame) << "without Ctl3D the bevel is flat (BF_MONO)";
}

TEST_F(ExtCtrlsTest, Ctl3DReachesTheChildrenThatFollowTheirParent) {
  TForm* f = MakeForm();
  TPanel* p = TPanel::New(f);
  p->SetParent(f);
  TPanel* follows = TPanel::New(f);
  follows->SetParent(p);
  TPanel* own = TPanel::New(f);
  own->SetCtl3D(true);
  own->SetParent(p);
  p->SetCtl3D(false);
  EXPECT_FALSE(follows->GetCtl3D());
  EXPECT_TRUE(own->GetCtl3D()) << "a child with its own Ctl3D keeps it";
  TPanel* later = TPanel::New(f);
  later->SetParent(p);
  EXPECT_FALSE(later->GetCtl3D()) << "a child inserted later takes the parent's";
}

TEST_F(ExtCtrlsTest, APanelDrawsItsBevelsInsideItsClientArea) {
  constexpr uint32_t kShadow = 0xA0A0A0, kHighlight = 0xFFFFFF, kSilver = 0xC0C0C0;
  struct Case {
    const char* name;
    TBevelCut outer, inner;
    uint32_t topLeft, bottomRight, second;
  };
  const Case cases[] = {
      {"raised outer bevel (the default)", TBevelCut::bvRaised, TBevelCut::bvNone, kHighlight, kShadow, kSilver},
      {"lowered outer, raised inner", TBevelCut::bvLowered, TBevelCut::bvRaised, kShadow, kHighlight, kHighlight},
      {"no bevel: the colour up to the edge", TBevelCut::bvNone, TBevelCut::bvNone, kSilver, kSilver, kSilver},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm* f = MakeForm();
    TPanel* p = TPanel::New(f);
    p->SetBounds(5, 5, 50, 40);
    p->SetColor(clSilver);
    p->SetBevelOuter(c.outer);
    p->SetBevelInner(c.inner);
    p->SetParent(f);
    ShowAndPaint(f);
    EXPECT_EQ(Pixel(p, 0, 0), c.topLeft);
    EXPECT_EQ(Pixel(p, 49, 39), c.bottomRight);
    EXPECT_EQ(Pixel(p, 1, 1), c.second) << "the inner bevel's top left, or the colour";
    EXPECT_EQ(Pixel(p, 25, 20), kSilver);
    f->Free();
  }
}

// A check box on a coloured panel takes the panel's colour around its box, but the box itself
// stays the window colour, so a tick stays readable on any panel.
TEST_F(ExtCtrlsTest, ACheckBoxOnASilverPanelKeepsAWhiteBox) {
  TForm* f = MakeForm();
  TPanel* p = TPanel::New(f);
  p->SetBounds(5, 5, 120, 40);
  p->SetColor(clSilver);
  p->SetParent(f);
  TCheckBox* c = TCheckBox::New(f);
  c->SetParent(p);
  c->SetBounds(10, 10, 90, 21);
  c->SetCaption(u"С полями");
  ShowAndPaint(f);
  const QImage shot = layer::WidgetOf(p->Handle())->grab().toImage();
  int white = 0, silver = 0;
  for (int y = 10; y < 31; ++y)
    for (int x = 10; x < 31; ++x) {
      const QRgb px = shot.pixel(x, y) & 0xFFFFFF;
      white += px == 0xFFFFFF;
      silver += px == 0xC0C0C0;
    }
  EXPECT_GE(white, 36) << "the inside of the box (at least 6 x 6 pixels)";
  EXPECT_GT(silver, 0) << "the panel's colour around the box";
  f->Free();
}

// Edits on a coloured panel keep their own window colour: the panel's colour must not reach
// the field a customer types into, or it looks disabled.
TEST_F(ExtCtrlsTest, AnEditOnASilverPanelKeepsItsWhiteField) {
  TForm* f = MakeForm();
  TPanel* p = TPanel::New(f);
  p->SetBounds(5, 5, 200, 60);
  p->SetColor(clSilver);
  p->SetParent(f);
  TEdit* e = TEdit::New(f);
  e->SetParent(p);
  e->SetBounds(10, 10, 60, 21);
  TMemo* m = TMemo::New(f);
  m->SetParent(p);
  m->SetBounds(90, 10, 100, 40);
  m->SetColor(clYellow);
  ShowAndPaint(f);
  const QImage shot = layer::WidgetOf(p->Handle())->grab().toImage();
  struct Probe {
    const char* what;
    int x, y;
    QRgb colour;
  } probes[] = {
      {"inside the edit", 40, 20, 0xFFFFFF},
      {"inside the yellow memo", 140, 30, 0xFFFF00},
      {"the panel beside them", 80, 50, 0xC0C0C0},
  };
  for (const Probe& pr : probes) EXPECT_EQ(shot.pixel(pr.x, pr.y) & 0xFFFFFF, pr.colour) << pr.what;
  f->Free();
}

TEST_F(ExtCtrlsTest, AShapeFigureFollowsItsPenWidthAndKind) {
  struct Case {
    const char* name;
    TShapeType shape;
    Integer penWidth, w, h;
    TRect expected;
  };
  const Case cases[] = {
      {"pen of 1: the whole control", TShapeType::stRectangle, 1, 65, 65, TRect{0, 0, 65, 65}},
      {"a pen of 0 draws as one of 1", TShapeType::stRectangle, 0, 65, 65, TRect{0, 0, 65, 65}},
      {"pen of 2 (the preview's crop frame)", TShapeType::stRectangle, 2, 560, 325, TRect{1, 1, 560, 325}},
      {"pen of 3", TShapeType::stEllipse, 3, 40, 30, TRect{1, 1, 39, 29}},
      {"a circle is centred in a wide control", TShapeType::stCircle, 1, 100, 50, TRect{25, 0, 75, 50}},
      {"a square in a tall control", TShapeType::stSquare, 1, 40, 100, TRect{0, 30, 40, 70}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TShape* s = TShape::New(Application);
    s->SetShape(c.shape);
    s->GetPen()->SetWidth(c.penWidth);
    s->SetBounds(0, 0, c.w, c.h);
    EXPECT_EQ(s->FigureRect(), c.expected);
    s->Free();
  }
}

// The main window's thumbnail panel: a paint box fills it, a shape with a clear brush and an aqua
// pen lies over the paint box and shows the picture inside it.
struct ThumbPanel {
  TPanel* Panel;
  TPaintBox* Box;
  TShape* Frame;
  int Paints{0};
  explicit ThumbPanel(TForm* f) {
    Panel = TPanel::New(f);
    Panel->SetBounds(7, 5, 100, 80);
    Panel->SetBevelOuter(TBevelCut::bvNone);
    Panel->SetColor(clSilver);
    Panel->SetParent(f);
    Box = TPaintBox::New(f);
    Box->SetBounds(0, 0, 100, 80);
    Box->SetParent(Panel);
    Box->OnPaint = [this](TObject*) {
      ++Paints;
      Box->GetCanvas()->GetBrush()->SetColor(clRed);
      Box->GetCanvas()->FillRect(TRect{0, 0, 100, 80});
    };
    Frame = TShape::New(f);
    Frame->GetBrush()->SetStyle(TBrushStyle::bsClear);
    Frame->GetPen()->SetColor(clAqua);
    Frame->SetBounds(10, 10, 40, 30);
    Frame->SetParent(Panel);
  }
};

TEST_F(ExtCtrlsTest, AClearShapeOverAPaintBoxShowsThePaintBoxInside) {
  constexpr uint32_t kRed = 0xFF0000, kAqua = 0x00FFFF;
  TForm* f = MakeForm();
  ThumbPanel t(f);
  ShowAndPaint(f);
  EXPECT_GE(t.Paints, 1);
  EXPECT_EQ(Pixel(t.Panel, 5, 5), kRed) << "the paint box, outside the frame";
  EXPECT_EQ(Pixel(t.Panel, 10, 25), kAqua) << "the frame's left line";
  EXPECT_EQ(Pixel(t.Panel, 49, 25), kAqua) << "the frame's right line";
  EXPECT_EQ(Pixel(t.Panel, 30, 25), kRed) << "inside the clear frame";
  EXPECT_EQ(Pixel(t.Panel, 50, 25), kRed) << "right of the frame";
  // The blink of the crop frame: a new pen colour repaints the frame.
  t.Frame->GetPen()->SetColor(clRed);
  guitest::PumpPending();
  EXPECT_EQ(Pixel(t.Panel, 10, 25), kRed);
}

TEST_F(ExtCtrlsTest, AControlCanvasPaintsAWindowlessControlAtItsPlaceOnItsParent) {
  constexpr uint32_t kBlue = 0x0000FF;
  TForm* f = MakeForm();
  ThumbPanel t(f);
  ShowAndPaint(f);
  TCanvas* c = t.Frame->GetCanvas();
  c->GetBrush()->SetColor(clBlue);
  c->FillRect(TRect{0, 0, 100, 100});  // clipped to the shape's 40 x 30
  TControlCanvas::FreeDeviceContexts();
  EXPECT_EQ(Pixel(t.Panel, 10, 10), kBlue) << "the shape's (0, 0)";
  EXPECT_EQ(Pixel(t.Panel, 49, 39), kBlue) << "the shape's last pixel";
  EXPECT_NE(Pixel(t.Panel, 50, 39), kBlue) << "nothing beyond the shape";
  EXPECT_NE(Pixel(t.Panel, 9, 10), kBlue);
}

TEST_F(ExtCtrlsTest, AWindowlessControlGetsTheMouseOverItAndKeepsItWhileTheButtonIsDown) {
  TForm* f = MakeForm();
  ThumbPanel t(f);
  ShowAndPaint(f);
  std::vector<std::string> seen;
  auto at = [](Integer x, Integer y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; };
  t.Frame->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, Integer x, Integer y) { seen.push_back("down " + at(x, y)); };
  t.Frame->OnMouseMove = [&](TObject*, TShiftState, Integer x, Integer y) { seen.push_back("move " + at(x, y)); };
  t.Frame->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, Integer x, Integer y) { seen.push_back("up " + at(x, y)); };
  int boxDowns = 0;
  t.Box->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, Integer, Integer) { ++boxDowns; };
  HWND h = t.Panel->Handle();
  guitest::Mouse(h, QEvent::MouseButtonPress, Qt::LeftButton, TPoint{20, 25}, Qt::LeftButton);
  Pump();
  guitest::Mouse(h, QEvent::MouseMove, Qt::NoButton, TPoint{90, 70}, Qt::LeftButton);
  Pump();
  guitest::Mouse(h, QEvent::MouseButtonRelease, Qt::LeftButton, TPoint{90, 70});
  Pump();
  guitest::Mouse(h, QEvent::MouseMove, Qt::NoButton, TPoint{91, 70});
  guitest::Mouse(h, QEvent::MouseButtonPress, Qt::LeftButton, TPoint{91, 70}, Qt::LeftButton);
  guitest::Mouse(h, QEvent::MouseButtonRelease, Qt::LeftButton, TPoint{91, 70});
  Pump();
  EXPECT_EQ(seen, (std::vector<std::string>{"down (10,15)", "move (80,60)", "up (80,60)"}))
      << "the frame keeps the mouse while the button is down, then lets it go";
  EXPECT_EQ(boxDowns, 1) << "after the release the paint box under the point has the mouse";
  EXPECT_NE(GetCapture(), h);
}

TEST_F(ExtCtrlsTest, TheIdlePassTellsAWindowlessControlThePointerCameAndWent) {
  TForm* f = MakeForm();
  ThumbPanel t(f);
  ShowAndPaint(f);
  std::vector<std::string> seen;
  t.Frame->OnMouseEnter = [&](TObject*) { seen.push_back("frame enter"); };
  t.Frame->OnMouseLeave = [&](TObject*) { seen.push_back("frame leave"); };
  t.Box->OnMouseEnter = [&](TObject*) { seen.push_back("box enter"); };
  t.Box->OnMouseLeave = [&](TObject*) { seen.push_back("box leave"); };
  auto pointAt = [&](TPoint client) {
    pf::testing::SetCursorScreenPos(t.Panel->ClientToScreen(client));
    Application->Idle();
  };
  pointAt(TPoint{5, 5});
  pointAt(TPoint{20, 20});
  pointAt(TPoint{21, 20});
  pointAt(TPoint{5, 5});
  t.Frame->Free();
  pointAt(TPoint{20, 20});
  EXPECT_EQ(seen, (std::vector<std::string>{"box enter", "box leave", "frame enter", "frame leave", "box enter"}))
      << "one enter and one leave per change; a freed control is no longer told";
}

TEST_F(ExtCtrlsTest, AnUpDownStepsWithinItsRangeAndAsksItsChangingEvent) {
  TFormatSettings fs = FormatSettings();
  TFormatSettings grouped = fs;
  grouped.ThousandSeparator = u' ';
  SetFormatSettings(grouped);
  struct Case {
    const char* name;
    int16_t min, max, start;
    bool wrap, thousands, refuse;
    TUDBtnType button;
    int16_t expected;
    std::vector<std::string> events;
    String text;
  };
  const Case cases[] = {
      {"a step up", 1, 100, 1, false, false, false, TUDBtnType::btNext, 2, {"changing 2 up", "click next"}, u"2"},
      {"no step below the minimum, still a click", 1, 100, 1, false, false, false, TUDBtnType::btPrev, 1,
       {"click prev"}, u"1"},
      {"beyond the maximum with wrap goes round", 1, 100, 100, true, false, false, TUDBtnType::btNext, 1,
       {"changing 1 up", "click next"}, u"1"},
      {"a refused change keeps the position and does not click", 1, 100, 5, false, false, true, TUDBtnType::btNext,
       5, {"changing 6 up"}, u"5"},
      {"digit groups in the edit", 0, 2000, 1233, false, true, false, TUDBtnType::btNext, 1234,
       {"changing 1234 up", "click next"}, u"1 234"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm* f = MakeForm();
    TEdit* ed = TEdit::New(f);
    ed->SetParent(f);
    TUpDown* ud = TUpDown::New(f);
    ud->SetParent(f);
    ud->SetMin(c.min);
    ud->SetMax(c.max);
    ud->SetThousands(c.thousands);
    ud->Wrap = c.wrap;
    ud->SetPosition(c.start);
    ud->SetAssociate(ed);
    std::vector<std::string> events;
    ud->OnChangingEx = [&](TObject*, bool& allow, int16_t v, TUpDownDirection d) {
      events.push_back("changing " + std::to_string(v) + (d == TUpDownDirection::updUp ? " up" : d == TUpDownDirection::updDown ? " down" : " none"));
      if (c.refuse) allow = false;
    };
    ud->OnClick = [&](TObject*, TUDBtnType b) { events.push_back(b == TUDBtnType::btNext ? "click next" : "click prev"); };
    ud->Step(c.button);
    EXPECT_EQ(ud->GetPosition(), c.expected);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(ed->GetText(), c.text);
    f->Free();
  }
  SetFormatSettings(fs);
}

TEST_F(ExtCtrlsTest, AnUpDownPositionSetByTheProgramIsLimitedAndReportedAsNoDirection) {
  TForm* f = MakeForm();
  TEdit* ed = TEdit::New(f);
  ed->SetParent(f);
  TUpDown* ud = TUpDown::New(f);
  ud->SetParent(f);
  ud->SetMin(1);
  ud->SetPosition(1);
  ud->SetAssociate(ed);
  ud->SetThousands(false);
  std::vector<int> proposed;
  ud->OnChangingEx = [&](TObject*, bool&, int16_t v, TUpDownDirection d) {
    EXPECT_EQ(d, TUpDownDirection::updNone);
    proposed.push_back(v);
  };
  ud->SetPosition(500);
  ud->SetPosition(100);
  ud->SetPosition(-3);
  EXPECT_EQ(proposed, (std::vector<int>{100, 1})) << "limited to 1..100 (the default maximum); no change, no event";
  EXPECT_EQ(ed->GetText(), u"1");
  ud->OnChangingEx = nullptr;
  f->Show();
  ed->SetFocus();
  guitest::Type(ed->Handle(), Qt::Key_Up);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 2) << "the edit's Up key steps the up-down";
  ed->Free();
  ud->Step(TUDBtnType::btNext);
  EXPECT_EQ(ud->GetPosition(), 3) << "the associate gone, the up-down goes on alone";
}

TEST_F(ExtCtrlsTest, AnUpDownFollowsTheTextTypedIntoItsEditAndShowsItsPositionWhenLeft) {
  TForm* f = MakeForm();
  TEdit* ed = TEdit::New(f);
  ed->SetBounds(10, 10, 60, 21);
  ed->SetParent(f);
  TButton* next = TButton::New(f);
  next->SetBounds(10, 50, 60, 25);
  next->SetParent(f);
  TUpDown* ud = TUpDown::New(f);
  ud->SetParent(f);
  ud->SetMin(1);
  ud->SetPosition(1);
  ud->SetThousands(false);
  ud->SetAssociate(ed);
  // As a program binds them: the text typed sets the position, which the up-down limits.
  ed->OnChange = [&](TObject*) {
    const String t = ed->GetText();
    if (!t.empty()) ud->SetPosition(static_cast<int16_t>(std::min<Int64>(StrToInt64Def(t, 0), 32767)));
  };
  f->Show();
  struct Case {
    const char* Typed;
    int Position;
    const char16_t* Left;  // the edit's text once the focus has gone
  };
  const Case cases[] = {{"0", 1, u"1"}, {"150", 100, u"100"}, {"99999", 100, u"100"}, {"42", 42, u"42"}, {"", 42, u"42"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Typed);
    ed->SetFocus();
    Pump();
    SendMessage(ed->Handle(), EM_SETSEL, 0, -1);
    guitest::Type(ed->Handle(), Qt::Key_Delete);
    for (const char* k = c.Typed; *k; ++k) guitest::Type(ed->Handle(), Qt::Key_0 + (*k - '0'), QString(QChar(*k)));
    Pump();
    EXPECT_EQ(ed->GetText(), Utf8ToString(c.Typed)) << "what is typed stays as typed";
    EXPECT_EQ(ud->GetPosition(), c.Position);
    next->SetFocus();
    Pump();
    EXPECT_EQ(ed->GetText(), c.Left);
  }
  // Set by the program, the position shows at once.
  ud->SetPosition(7);
  EXPECT_EQ(ed->GetText(), u"7");
}

TEST_F(ExtCtrlsTest, AClickOnTheUpDownsUpperHalfStepsUpAndHoldingRepeatsOnTheClock) {
  clock::UseManual();
  TForm* f = MakeForm();
  TUpDown* ud = TUpDown::New(f);
  ud->SetBounds(10, 10, 17, 22);
  ud->SetParent(f);
  ShowAndPaint(f);
  HWND h = ud->Handle();
  guitest::Mouse(h, QEvent::MouseButtonPress, Qt::LeftButton, TPoint{8, 3}, Qt::LeftButton);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 1);
  clock::Advance(399);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 1) << "no repeat before the first pause";
  clock::Advance(1);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 2);
  clock::Advance(100);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 3);
  guitest::Mouse(h, QEvent::MouseButtonRelease, Qt::LeftButton, TPoint{8, 3});
  Pump();
  clock::Advance(500);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 3) << "the release stops the repeat";
  guitest::Click(h, TPoint{8, 18});
  Pump();
  EXPECT_EQ(ud->GetPosition(), 2) << "the lower half steps down";
}

}  // namespace
}  // namespace classlibtest
