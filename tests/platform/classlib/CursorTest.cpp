// The class library's cursors reach the screen through the window layer's WM_SETCURSOR: the
// screen's cursor first, then the control's own, the class cursor for crDefault.

#include <QEvent>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

class CursorTest : public ClassLibTest {};

TEST_F(CursorTest, ScreenCursorThenTheControlsThenTheClassCursorAnswerSetCursor) {
  TForm* form = TForm::New(Application);
  form->SetBounds(0, 0, 300, 200);
  TCustomControl* canvas = TCustomControl::New(form);
  canvas->SetParent(form);
  canvas->SetBounds(10, 10, 100, 100);
  form->Show();
  struct Case {
    const char* name;
    TCursor screen;
    TCursor control;
    uintptr_t shown;
  };
  const Case cases[] = {
      {"both default: the class cursor", crDefault, crDefault, IDC_ARROW},
      {"the control's own", crDefault, crHandPoint, IDC_HAND},
      {"the screen's wins over the control's", crHourGlass, crHandPoint, IDC_WAIT},
      {"the screen's over a default control", crSizeWE, crDefault, IDC_SIZEWE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    canvas->SetCursor(c.control);
    Screen->SetCursor(c.screen);
    pf::SetCursor(LoadCursor(IDC_CROSS));
    guitest::Mouse(canvas->Handle(), QEvent::MouseMove, Qt::NoButton, {5, 5});
    EXPECT_EQ(GetCursor(), LoadCursor(c.shown));
  }
  // Back to the default screen cursor: the window under the pointer is asked again at once.
  canvas->SetCursor(crHandPoint);
  Screen->SetCursor(crHourGlass);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(GetCursor(), LoadCursor(IDC_HAND));
  // A cursor installed in the screen's table under the program's own number.
  Screen->SetCursors(TCursor{768}, LoadCursor(IDC_SIZENS));
  canvas->SetCursor(TCursor{768});
  guitest::Mouse(canvas->Handle(), QEvent::MouseMove, Qt::NoButton, {6, 6});
  EXPECT_EQ(GetCursor(), LoadCursor(IDC_SIZENS));
  Screen->SetCursors(TCursor{768}, nullptr);
  form->Free();
}

TEST_F(CursorTest, AWindowlessControlShowsItsCursorOverItsPartOfTheParent) {
  // The crop frame of the preview is a shape whose cursor says which way it moves.
  TForm* form = TForm::New(Application);
  form->SetBounds(0, 0, 300, 200);
  TShape* frame = TShape::New(form);
  frame->SetParent(form);
  frame->SetBounds(20, 20, 50, 40);
  frame->SetCursor(crSizeWE);
  form->SetCursor(crHandPoint);
  form->Show();
  struct Case {
    const char* name;
    TPoint at;  // in the form's client area
    uintptr_t shown;
  };
  const Case cases[] = {{"over the shape", {30, 30}, IDC_SIZEWE}, {"beside it: the form's own", {150, 150}, IDC_HAND}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    guitest::Mouse(form->Handle(), QEvent::MouseMove, Qt::NoButton, c.at);
    EXPECT_EQ(GetCursor(), LoadCursor(c.shown));
  }
  form->Free();
}

// A control with DragMode automatic is dragged by a press and a move past the drag distance; the
// cursor the drag leaves when the button comes up over the target is the one it showed there.
TEST_F(CursorTest, TheDragShowsTheSourcesDragCursorOverATargetThatAccepts) {
  TForm* form = TForm::New(Application);
  form->SetBounds(0, 0, 300, 200);
  TCustomControl* source = TCustomControl::New(form);
  source->SetParent(form);
  source->SetBounds(10, 10, 60, 60);
  TCustomControl* target = TCustomControl::New(form);
  target->SetParent(form);
  target->SetBounds(150, 10, 100, 100);
  form->Show();
  EXPECT_EQ(source->GetDragCursor(), crDrag);
  EXPECT_EQ(source->GetDragMode(), TDragMode::dmManual);
  struct Case {
    const char* name;
    TCursor dragCursor;
    bool accepts;
    uintptr_t shown;
    bool dropped;
  } cases[] = {
      {"the class library's own drag cursor", crDrag, true, IDC_DRAGOBJECT, true},
      {"one the program chose", crHandPoint, true, IDC_HAND, true},
      {"a target that refuses: no entry", crHandPoint, false, IDC_NO, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    source->SetDragMode(TDragMode::dmAutomatic);
    source->SetDragCursor(c.dragCursor);
    target->OnDragOver = [&c](TObject*, TObject*, Integer, Integer, TDragState, bool& accept) { accept = c.accepts; };
    HCURSOR atEnd = nullptr;
    TObject* droppedOn = reinterpret_cast<TObject*>(1);
    source->OnEndDrag = [&](TObject*, TObject* to, Integer, Integer) {
      atEnd = GetCursor();
      droppedOn = to;
    };
    guitest::Mouse(source->Handle(), QEvent::MouseButtonPress, Qt::LeftButton, {5, 5}, Qt::LeftButton);
    guitest::Mouse(target->Handle(), QEvent::MouseMove, Qt::NoButton, {20, 20}, Qt::LeftButton);
    guitest::Mouse(target->Handle(), QEvent::MouseMove, Qt::NoButton, {30, 30}, Qt::LeftButton);
    guitest::Mouse(target->Handle(), QEvent::MouseButtonRelease, Qt::LeftButton, {30, 30}, Qt::NoButton);
    Pump();
    EXPECT_EQ(atEnd, LoadCursor(c.shown));
    EXPECT_EQ(droppedOn, c.dropped ? static_cast<TObject*>(target) : nullptr);
    EXPECT_FALSE(source->Dragging());
  }
  // Manual again: a press is a press.
  source->SetDragMode(TDragMode::dmManual);
  bool down = false;
  source->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, Integer, Integer) { down = true; };
  guitest::Click(source->Handle(), {5, 5});
  Pump();
  EXPECT_TRUE(down);
  form->Free();
}

}  // namespace
}  // namespace classlibtest
