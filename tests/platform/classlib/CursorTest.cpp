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

}  // namespace
}  // namespace classlibtest
