// Forms: modal loops and their results, the close box, dialog keys, KeyPreview, placement and
// border styles, the idle pass that updates actions, exceptions shown in an error box.

#include <QImage>
#include <QLineEdit>

#include "platform/classlib/ActnList.h"
#include "platform/classlib/PageControl.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "support/TestEnv.h"
#include "ClassLibFixture.h"

namespace classlibtest {
namespace {

using namespace pf;

// A dialog as the program's forms are made: an edit, an OK button (default, mrOk) and a Cancel
// button (cancel, mrCancel).
struct Dialog {
  TForm* Form;
  TEdit* Edit;
  TButton* Ok;
  TButton* Cancel;

  explicit Dialog(TComponent* owner, const String& name = u"DlgTest") {
    Form = TForm::New(owner);
    Form->SetName(name);
    Form->SetBorderStyle(TFormBorderStyle::bsDialog);
    Form->SetClientWidth(300);
    Form->SetClientHeight(120);
    Edit = TEdit::New(Form);
    Edit->SetName(u"edFirstName");
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 200, 21);
    Ok = AddButton(u"btnOk", u"OK", 130, mrOk);
    Ok->SetDefault(true);
    Cancel = AddButton(u"btnCancel", u"Отмена", 215, mrCancel);
    Cancel->Cancel = true;
  }
  TButton* AddButton(const String& name, const String& caption, Integer left, TModalResult result) {
    TButton* b = TButton::New(Form);
    b->SetName(name);
    b->SetParent(Form);
    b->SetBounds(left, 85, 75, 25);
    b->SetCaption(caption);
    b->ModalResult = result;
    return b;
  }
};

class FormsTest : public ClassLibTest {};

// Whether any pixel of `r` in a control's picture satisfies `test`.
bool AnyPixel(const QImage& shot, QRect r, const std::function<bool(QColor)>& test) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (test(shot.pixelColor(x, y))) return true;
  return false;
}

TEST_F(FormsTest, AFormWithALeastSizeGrowsButDoesNotShrinkBelowIt) {
  TForm* form = TForm::New(Application);
  form->SetBounds(50, 50, 400, 300);
  form->SetConstraints(TSizeConstraints{400, 300});
  form->Show();
  Pump();
  struct Case {
    const char* Name;
    Integer Width, Height;  // asked for
    Integer W, H;           // taken
  };
  const Case cases[] = {
      {"larger", 700, 500, 700, 500},
      {"smaller than the least", 200, 100, 400, 300},
      {"narrower only", 350, 450, 400, 450},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    form->SetBounds(form->GetLeft(), form->GetTop(), c.Width, c.Height);
    EXPECT_EQ(form->GetWidth(), c.W);
    EXPECT_EQ(form->GetHeight(), c.H);
  }
  // The customer drags the frame in: the window stops at the least size.
  QWidget* widget = layer::WidgetOf(form->Handle());
  widget->resize(10, 10);
  Pump();
  EXPECT_EQ(form->GetWidth(), 400);
  EXPECT_EQ(form->GetHeight(), 300);
  // Without a least size it takes any size.
  form->SetConstraints(TSizeConstraints{});
  form->SetBounds(form->GetLeft(), form->GetTop(), 200, 100);
  EXPECT_EQ(form->GetWidth(), 200);
}

// A sizeable form of 300 x 200 at 10, 10: what its handlers answer, one thing done to it, and the
// events that came, then (when sized) where it ended.
TEST_F(FormsTest, ANewSizeIsAskedForFirstAndAnUnhandledWheelGoesOnByItsDirection) {
  enum class Act { SetBounds, UserSizes, Wheel };
  struct Case {
    const char* Name;
    Act What;
    bool Shown, Refuse;
    Integer Width, MaxWidth;  // OnCanResize's width, OnConstrainedResize's greatest width (0: as it was)
    std::vector<int> Turns;   // wheel deltas
    bool WheelHandled;
    std::string Expected;
  };
  const Case cases[] = {
      {"a new size is asked for and taken", Act::SetBounds, true, false, 0, 0, {}, false, "can 20,20 400x250"},
      {"a refusal keeps the size, not the place", Act::SetBounds, true, true, 0, 0, {}, false, "can 20,20 300x200"},
      {"before the window exists too", Act::SetBounds, false, true, 0, 0, {}, false, "can 20,20 300x200"},
      {"the handler's size is taken", Act::SetBounds, true, false, 350, 0, {}, false, "can 20,20 350x250"},
      {"the limits are the handler's", Act::SetBounds, true, false, 0, 320, {}, false, "can 20,20 320x250"},
      {"the user's sizing refused", Act::UserSizes, true, true, 0, 0, {}, false, "can 10,10 300x200"},
      {"a notch down", Act::Wheel, true, false, 0, 0, {-120}, false, "down "},
      {"two notches up", Act::Wheel, true, false, 0, 0, {240}, false, "up up "},
      {"half notches gather into one", Act::Wheel, true, false, 0, 0, {60, 60}, false, "up "},
      {"a handled wheel goes no further", Act::Wheel, true, false, 0, 0, {-120}, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TForm* form = TForm::New(Application);
    form->SetBounds(10, 10, 300, 200);
    if (c.Shown) form->Show();
    Pump();
    std::string log;
    form->OnCanResize = [&](TObject*, Integer& w, Integer&, bool& resize) {
      log += "can ";
      if (c.Width) w = c.Width;
      resize = !c.Refuse;
    };
    form->OnConstrainedResize = [&](TObject*, Integer&, Integer&, Integer& maxW, Integer&) {
      if (c.MaxWidth) maxW = c.MaxWidth;
    };
    form->OnMouseWheel = [&](TObject*, TShiftState, Integer, TPoint, bool& handled) { handled = c.WheelHandled; };
    form->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool&) { log += "down "; };
    form->OnMouseWheelUp = [&](TObject*, TShiftState, TPoint, bool&) { log += "up "; };
    if (c.What == Act::SetBounds) form->SetBounds(20, 20, 400, 250);
    if (c.What == Act::UserSizes) layer::WidgetOf(form->Handle())->resize(500, 400);
    for (int delta : c.Turns) SendMessage(form->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
    Pump();
    if (c.What != Act::Wheel)
      log += std::to_string(form->GetLeft()) + "," + std::to_string(form->GetTop()) + " " +
             std::to_string(form->GetWidth()) + "x" + std::to_string(form->GetHeight());
    EXPECT_EQ(log, c.Expected);
    form->Free();
  }
}

TEST_F(FormsTest, ModalFormShownFromAModalFormReturnsItsResultToTheRightCaller) {
  Dialog outer(Application, u"DlgOuter");
  Dialog inner(outer.Form, u"DlgInner");
  TModalResult innerResult = -1;
  bool outerDisabledMeanwhile = false;
  bool outerEnabledAfter = false;
  guitest::PostWork([&] {  // inside the outer form's loop
    guitest::PostWork([&] {  // inside the inner form's loop
      outerDisabledMeanwhile = !IsWindowEnabled(outer.Form->Handle());
      SendMessage(inner.Ok->Handle(), BM_CLICK, 0, 0);
    });
    innerResult = inner.Form->ShowModal();
    outerEnabledAfter = IsWindowEnabled(outer.Form->Handle());
    guitest::PostWork([&] { guitest::CloseBox(outer.Form->Handle()); });
  });
  TModalResult outerResult = outer.Form->ShowModal();
  EXPECT_EQ(innerResult, mrOk);
  EXPECT_EQ(outerResult, mrCancel) << "the close box of a modal form gives mrCancel";
  EXPECT_TRUE(outerDisabledMeanwhile);
  EXPECT_TRUE(outerEnabledAfter);
  EXPECT_FALSE(inner.Form->GetVisible());
  EXPECT_FALSE(outer.Form->GetVisible());
  EXPECT_FALSE(outer.Form->FormState().Contains(TFormStateItem::fsModal));
}

TEST_F(FormsTest, EnterAndEscapeGoToTheDefaultAndCancelButtons) {
  struct Case {
    const char* name;
    int qtKey;
    bool focusCancelButton;
    TModalResult expected;
  };
  const Case cases[] = {
      {"Enter in the edit clicks the default button", Qt::Key_Return, false, mrOk},
      {"Esc in the edit clicks the cancel button", Qt::Key_Escape, false, mrCancel},
      {"Enter on a focused button clicks that button", Qt::Key_Return, true, mrCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dialog dlg(Application);
    int okClicks = 0;
    dlg.Ok->OnClick = [&](TObject*) { ++okClicks; };
    guitest::PostWork([&] {
      TWinControl* target = c.focusCancelButton ? static_cast<TWinControl*>(dlg.Cancel) : dlg.Edit;
      target->SetFocus();
      QString text = c.qtKey == Qt::Key_Return ? QStringLiteral("\r") : QString(QChar(0x1B));
      guitest::Type(target->Handle(), c.qtKey, text);
    });
    EXPECT_EQ(dlg.Form->ShowModal(), c.expected);
    EXPECT_EQ(okClicks, c.expected == mrOk ? 1 : 0);
    dlg.Form->Free();
  }
}

TEST_F(FormsTest, KeyPreviewLetsTheFormSeeAndSwallowKeysFirst) {
  Dialog dlg(Application);
  dlg.Form->KeyPreview = true;
  std::vector<std::string> seen;
  dlg.Form->OnKeyDown = [&](TObject* sender, Word& key, TShiftState) {
    seen.push_back("form " + std::to_string(key) + (sender == dlg.Form ? "" : " (wrong sender)"));
    if (key == VK_F2) key = 0;
  };
  dlg.Edit->OnKeyDown = [&](TObject*, Word& key, TShiftState) { seen.push_back("edit " + std::to_string(key)); };
  dlg.Form->Show();
  dlg.Edit->SetFocus();
  guitest::Type(dlg.Edit->Handle(), Qt::Key_F2);
  guitest::Type(dlg.Edit->Handle(), Qt::Key_Left);
  Pump();
  std::vector<std::string> expected{"form 113", "form 37", "edit 37"};
  EXPECT_EQ(seen, expected);
}

TEST_F(FormsTest, EditChangeFiresForProgramAndUserChangesButNotForTheSameText) {
  Dialog dlg(Application);
  std::vector<String> changes;
  dlg.Edit->OnChange = [&](TObject* s) { changes.push_back(static_cast<TEdit*>(s)->GetText()); };
  dlg.Edit->SetText(u"Пётр");  // before the window exists
  dlg.Form->Show();
  dlg.Edit->SetText(u"Иван");
  dlg.Edit->SetText(u"Иван");
  dlg.Edit->SetFocus();
  guitest::Type(dlg.Edit->Handle(), 0x0430, QString(QChar(0x0430)));
  Pump();
  std::vector<String> expected{u"Иван", u"Ивана"};
  EXPECT_EQ(changes, expected);
  EXPECT_EQ(dlg.Edit->GetText(), u"Ивана");
  auto* line = qobject_cast<QLineEdit*>(layer::WidgetOf(dlg.Edit->Handle()));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->objectName(), QStringLiteral("edFirstName")) << "the Qt object name is the component's name";
  // A text goes to the field unit for unit: a leading U+FEFF or U+FFFE is no byte-order mark.
  for (const char16_t* t : {u"\uFEFF\u0418\u0432\u0430\u043d", u"\uFFFE\u0418\u0432\u0430\u043d"}) {
    dlg.Edit->SetText(t);
    EXPECT_EQ(line->text(), QChar(t[0]) + QStringLiteral("\u0418\u0432\u0430\u043d"));
    EXPECT_EQ(dlg.Edit->GetText(), t);
  }
}

TEST_F(FormsTest, ActionUpdateRunsInTheIdlePassAndDrivesItsButton) {
  Dialog dlg(Application);
  TActionList* list = TActionList::New(dlg.Form);
  TAction* act = TAction::New(dlg.Form);
  act->SetName(u"ActUpload");
  act->SetActionList(list);
  act->SetCaption(u"Оформить заказ");
  bool allowed = false;
  int updates = 0, executions = 0;
  act->OnUpdate = [&](TObject* s) {
    ++updates;
    static_cast<TAction*>(s)->SetEnabled(allowed);
  };
  act->OnExecute = [&](TObject*) { ++executions; };
  dlg.Ok->SetAction(act);
  dlg.Ok->ModalResult = mrNone;
  dlg.Form->Show();
  EXPECT_EQ(dlg.Ok->GetCaption(), u"Оформить заказ");
  EXPECT_EQ(updates, 0) << "updates wait for the idle pass";
  struct Step {
    bool allowed;
    bool enabled;
  };
  for (const Step& s : {Step{false, false}, Step{true, true}, Step{false, false}}) {
    allowed = s.allowed;
    Application->Idle();
    EXPECT_EQ(IsWindowEnabled(dlg.Ok->Handle()), s.enabled);
    EXPECT_EQ(dlg.Ok->GetEnabled(), s.enabled);
    // The caption's darkest pixel: black text when enabled, visibly greyed when disabled.
    QImage shot = layer::WidgetOf(dlg.Ok->Handle())->grab().toImage();
    QRect inner = shot.rect().adjusted(4, 4, -4, -4);
    EXPECT_EQ(AnyPixel(shot, inner, [](QColor c) { return qGray(c.rgb()) < 60; }), s.enabled);
    EXPECT_EQ(AnyPixel(shot, inner, [](QColor c) { return qGray(c.rgb()) <= 100; }), s.enabled)
        << "a disabled button's caption is drawn grey";
  }
  allowed = true;
  Application->Idle();
  SendMessage(dlg.Ok->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(executions, 1);
  // A hidden form's actions are not updated.
  dlg.Form->Hide();
  int before = updates;
  Application->Idle();
  EXPECT_EQ(updates, before);
  // Freeing the action unlinks the button.
  act->Free();
  EXPECT_EQ(dlg.Ok->GetAction(), nullptr);
}

TEST_F(FormsTest, PlacementAndBorderStyles) {
  // Caption 23, dialog frame 3, sizing frame 4 pixels; the screen is the platform's primary one.
  const Integer sx = (GetSystemMetrics(SM_CXSCREEN) - 306) / 2;
  const Integer sy = (GetSystemMetrics(SM_CYSCREEN) - 229) / 2;
  TForm* owner = TForm::New(Application);
  owner->SetBounds(100, 100, 600, 400);
  owner->Show();
  struct Case {
    const char* name;
    TFormBorderStyle border;
    TPosition position;
    Integer clientW, clientH;
    TRect bounds;
  };
  const Case cases[] = {
      {"screen-centred dialog", TFormBorderStyle::bsDialog, TPosition::poScreenCenter, 300, 200,
       {sx, sy, sx + 306, sy + 229}},
      {"owner-centred sizeable", TFormBorderStyle::bsSizeable, TPosition::poOwnerFormCenter, 192, 92,
       {300, 238, 300 + 200, 238 + 123}},
      {"designed position, no border", TFormBorderStyle::bsNone, TPosition::poDesigned, 50, 40, {0, 0, 50, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TForm* f = TForm::New(owner);
    f->SetBorderStyle(c.border);
    f->Position = c.position;
    f->SetBounds(0, 0, 10, 10);
    f->SetClientWidth(c.clientW);
    f->SetClientHeight(c.clientH);
    f->Show();
    EXPECT_EQ(f->GetBoundsRect(), c.bounds);
    EXPECT_EQ(f->GetClientWidth(), c.clientW);
    EXPECT_EQ(f->GetClientHeight(), c.clientH);
    QWidget* w = layer::WidgetOf(f->Handle());
    bool fixed = w->minimumSize() == w->maximumSize();
    EXPECT_EQ(fixed, c.border != TFormBorderStyle::bsSizeable) << "only a sizeable form can be resized";
    f->Free();
  }
}

// A form whose window is made again (a border or theme change) stays on the screen when it was
// shown, and stays hidden when it was not.
TEST_F(FormsTest, AFormsWindowMadeAgainShowsAsTheOldOneDid) {
  for (bool shown : {true, false}) {
    SCOPED_TRACE(shown ? "shown" : "hidden");
    TForm* f = TForm::New(Application);
    TEdit* e = TEdit::New(f);
    e->SetParent(f);
    f->HandleNeeded();
    if (shown) f->Show();
    const HWND old = f->Handle();
    f->RecreateWnd();
    ASSERT_NE(f->Handle(), old);
    EXPECT_EQ(IsWindowVisible(f->Handle()), shown);
    EXPECT_EQ(IsWindowVisible(e->Handle()), shown) << "the children show with it";
    EXPECT_EQ(f->GetVisible(), shown);
    f->Free();
  }
}

TEST_F(FormsTest, ClosingTheMainFormEndsTheApplicationLoop) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  Application->MainFormOnTaskBar = true;
  EXPECT_EQ(Application->GetMainForm(), main);
  bool closed = false;
  main->OnClose = [&](TObject*, TCloseAction&) { closed = true; };
  guitest::PostWork([&] { guitest::CloseBox(main->Handle()); });
  Application->Run();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(GetWindowLongPtr(main->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(FormsTest, CloseActionsHideFreeOrKeepAForm) {
  struct Case {
    const char* name;
    TCloseAction action;
    bool visibleAfter;
    bool freed;
  };
  const Case cases[] = {{"caHide", TCloseAction::caHide, false, false},
                        {"caNone keeps it open", TCloseAction::caNone, true, false},
                        {"caFree frees it after the queue", TCloseAction::caFree, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int64_t before = TObject::LiveObjects();
    TForm* f = TForm::New(Application);
    f->OnClose = [&](TObject*, TCloseAction& a) { a = c.action; };
    f->Show();
    HWND h = f->Handle();
    f->Close();
    Pump();
    EXPECT_EQ(IsWindow(h), !c.freed);
    if (!c.freed) {
      EXPECT_EQ(f->GetVisible(), c.visibleAfter);
      f->Free();
    }
    EXPECT_EQ(TObject::LiveObjects(), before);
  }
}

TEST_F(FormsTest, AnExceptionInAHandlerIsShownInAnErrorBox) {
  Application->Title = u"Фотозаказ";
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Dialog dlg(Application);
  dlg.Ok->ModalResult = mrNone;
  dlg.Ok->OnClick = [](TObject*) { throw Exception(u"Не удалось получить данные"); };
  dlg.Form->Show();
  guitest::Click(dlg.Ok->Handle(), {5, 5});
  Pump();
  ASSERT_EQ(pf::testing::MessageBoxLog().size(), 1u);
  const auto& box = pf::testing::MessageBoxLog()[0];
  EXPECT_EQ(box.Text, u"Не удалось получить данные.");
  EXPECT_EQ(box.Caption, u"Фотозаказ");
  EXPECT_EQ(box.Type, MB_OK | MB_ICONSTOP);
}

// An action update or OnIdle that raises while a dialog is up: the error box shows and the
// dialog's loop goes on to the customer's answer, as for a raising click handler.
TEST_F(FormsTest, AnExceptionInTheIdlePassOfAModalLoopIsShownAndTheLoopGoesOn) {
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Dialog dlg(Application);
  int idlePasses = 0;
  Application->OnIdle = [&](TObject*, bool&) {
    if (idlePasses++ > 0) return;
    guitest::PostWork([&] { SendMessage(dlg.Ok->Handle(), BM_CLICK, 0, 0); });
    throw Exception(u"Сбой при обновлении");
  };
  TModalResult result = mrNone;
  EXPECT_NO_THROW(result = dlg.Form->ShowModal());
  EXPECT_EQ(result, mrOk);
  ASSERT_EQ(pf::testing::MessageBoxLog().size(), 1u);
  EXPECT_EQ(pf::testing::MessageBoxLog()[0].Text, u"Сбой при обновлении.");
}

// An edit whose window method is replaced, as in-place editing does, inside its own loop: the hook
// sees Enter and Escape first, and the keys it passes on still edit natively.
TEST_F(FormsTest, ReplacedWindowMethodOfAnEditSeesKeysFirst) {
  Dialog dlg(Application);
  dlg.Form->Show();
  dlg.Edit->SetText(u"ab");
  dlg.Edit->SetFocus();
  TWndMethod old = dlg.Edit->WindowProc;
  std::vector<WPARAM> hooked;
  bool finished = false;
  dlg.Edit->WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_KEYDOWN && (m.WParam == VK_RETURN || m.WParam == VK_ESCAPE)) {
      hooked.push_back(m.WParam);
      finished = m.WParam == VK_ESCAPE;
      return;
    }
    old(m);
  };
  guitest::Type(dlg.Edit->Handle(), Qt::Key_End);
  guitest::Type(dlg.Edit->Handle(), Qt::Key_C, "c");
  guitest::Type(dlg.Edit->Handle(), Qt::Key_Return, "\r");
  guitest::Type(dlg.Edit->Handle(), Qt::Key_Escape, QString(QChar(0x1B)));
  MSG msg;
  while (!finished && GetMessage(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  dlg.Edit->WindowProc = old;
  EXPECT_EQ(hooked, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
  EXPECT_EQ(dlg.Edit->GetText(), u"abc");
  EXPECT_EQ(dlg.Form->GetModalResult(), mrNone) << "the default button heard nothing";
}

// The form erases its client area in its colour through the layer's paint cycle, and the standard
// controls paint themselves over it. The picture is kept in the test's folder for a look.
TEST_F(FormsTest, TestFormShowsItsBackgroundAndControls) {
  Dialog dlg(Application);
  dlg.Form->SetCaption(u"Заказ фотографий");
  TLabel* label = TLabel::New(dlg.Form);
  label->SetParent(dlg.Form);
  label->SetBounds(10, 45, 200, 16);
  label->SetCaption(u"Ошибка. Не удалось получить данные");
  label->GetFont()->SetColor(clRed);
  label->GetFont()->SetStyle({TFontStyle::fsBold});
  dlg.Form->Show();
  MSG probe;
  ASSERT_TRUE(PumpUntil([&] { return !PeekMessage(&probe, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE); }));
  QWidget* w = layer::WidgetOf(dlg.Form->Handle());
  QImage shot = w->grab().toImage();
  auto dir = testsupport::MakeTempDir("form");
  shot.save(QString::fromStdString((dir / "form.png").string()));
  ASSERT_EQ(shot.width(), 300);
  ASSERT_EQ(shot.height(), 120);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  QColor expected(face & 0xFF, (face >> 8) & 0xFF, (face >> 16) & 0xFF);
  EXPECT_EQ(shot.pixelColor(5, 5), expected) << "the form's own background";
  EXPECT_EQ(shot.pixelColor(295, 60), expected);
  // Something other than the background where the OK button and the edit are.
  auto differs = [&](QColor c) { return c != expected; };
  EXPECT_TRUE(AnyPixel(shot, QRect(130, 85, 75, 25), differs));
  EXPECT_TRUE(AnyPixel(shot, QRect(10, 10, 200, 21), differs));
  EXPECT_TRUE(AnyPixel(shot, QRect(10, 45, 200, 16),
                       [](QColor c) { return c.red() > 150 && c.green() < 80 && c.blue() < 80; }))
      << "the label's red text";
}

// A bold label draws heavy strokes over the bold advances, as the canvas does: Tahoma's M advances
// 8 pixels at 11, 10 in bold, and fonts-wine's bold file holds the regular outlines, which the
// toolkit's widgets would otherwise draw thin and spread over the wider cells.
TEST_F(FormsTest, ABoldLabelDrawsHeavierStrokesOverTheBoldAdvances) {
  struct Ink {
    long Dark = 0;  // darkness against the background, summed
    int Left = -1, Right = -1;
  };
  struct Case {
    const char* name;
    TFontStyles style;
    int span;  // the four Ms' cells
  };
  Dialog dlg(Application);
  std::vector<std::pair<Case, TLabel*>> labels;
  int top = 40;
  for (const Case& k : {Case{"regular", {}, 32}, Case{"bold", {TFontStyle::fsBold}, 40}}) {
    TLabel* label = TLabel::New(dlg.Form);
    label->SetParent(dlg.Form);
    label->SetBounds(10, top, 80, 16);
    label->GetFont()->SetName(u"Tahoma");
    label->GetFont()->SetHeight(-11);
    label->GetFont()->SetColor(clBlack);
    label->GetFont()->SetStyle(k.style);
    label->SetCaption(u"MMMM");
    labels.emplace_back(k, label);
    top += 20;
  }
  dlg.Form->Show();
  MSG probe;
  ASSERT_TRUE(PumpUntil([&] { return !PeekMessage(&probe, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE); }));
  std::vector<Ink> inks;
  for (const auto& [k, label] : labels) {
    SCOPED_TRACE(k.name);
    const QImage shot = layer::WidgetOf(label->Handle())->grab().toImage();
    const int background = qGray(shot.pixel(shot.width() - 1, shot.height() - 1));
    Ink ink;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const int dark = background - qGray(shot.pixel(x, y));
        if (dark <= 0) continue;
        ink.Dark += dark;
        if (dark < 128) continue;
        if (ink.Left < 0) ink.Left = x;
        ink.Left = std::min(ink.Left, x);
        ink.Right = std::max(ink.Right, x);
      }
    ASSERT_GE(ink.Left, 0) << "no text drawn";
    // From the first M's left stem to the last one's right stem: the cells less a pixel or two
    // each side (the bold M keeps the regular outline, a little widened, in its wider cell).
    EXPECT_GE(ink.Right - ink.Left + 1, k.span - 4);
    EXPECT_LE(ink.Right - ink.Left + 1, k.span + 1);
    inks.push_back(ink);
  }
  EXPECT_GE(inks[1].Dark * 100, inks[0].Dark * 125) << inks[1].Dark << " dark against " << inks[0].Dark;
}

TEST_F(FormsTest, TabAndShiftTabMoveTheFocusInTabOrderSkippingDisabledControls) {
  Dialog dlg(Application);
  TEdit* second = TEdit::New(dlg.Form);
  second->SetParent(dlg.Form);
  second->SetBounds(10, 40, 100, 21);
  second->SetTabOrder(1);  // after the first edit, before the buttons
  dlg.Form->Show();
  dlg.Edit->SetFocus();
  struct Step {
    const char* name;
    Qt::KeyboardModifiers mods;
    TWinControl* expected;
  };
  dlg.Ok->SetEnabled(false);
  const Step steps[] = {
      {"to the second edit", Qt::NoModifier, second},
      {"past the disabled OK button to Cancel", Qt::NoModifier, dlg.Cancel},
      {"round to the first edit", Qt::NoModifier, dlg.Edit},
      {"Shift+Tab goes back to Cancel", Qt::ShiftModifier, dlg.Cancel},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    HWND from = GetFocus();
    if (s.mods & Qt::ShiftModifier) guitest::Key(from, Qt::Key_Shift, "", Qt::ShiftModifier);
    guitest::Type(from, s.mods & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab, "\t", s.mods);
    if (s.mods & Qt::ShiftModifier) guitest::Key(from, Qt::Key_Shift, "", Qt::NoModifier, false);
    Pump();
    EXPECT_EQ(FindControl(GetFocus()), s.expected);
  }
}

// A shown form gives the focus to its active control, or else to its first tab stop; a page
// control whose tabs are all hidden (a wizard's steps) is no stop, its page's controls are.
TEST_F(FormsTest, AShownFormFocusesItsActiveControlOrItsFirstTabStop) {
  struct Case {
    const char* name;
    bool wizard;      // the edits stand on a page of a page control without tabs
    bool tabsShown;   // ... or with its tab row shown
    bool active;      // the second edit is the form's active control
    const char* expected;
  } cases[] = {
      {"plain form", false, false, false, "edFirst"},
      {"active control", false, false, true, "edSecond"},
      {"wizard page", true, false, false, "edFirst"},
      {"wizard page with an active control", true, false, true, "edSecond"},
      {"page control with tabs", true, true, false, "Pages"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dialog dlg(Application);
    TWinControl* parent = dlg.Form;
    if (c.wizard) {
      TPageControl* pages = TPageControl::New(dlg.Form);
      pages->SetName(u"Pages");
      pages->SetParent(dlg.Form);
      pages->SetBounds(0, 0, 300, 80);
      pages->SetTabOrder(0);
      TTabSheet* page = TTabSheet::New(dlg.Form);
      page->SetPageControl(pages);
      page->SetTabVisible(c.tabsShown);
      parent = page;
    }
    auto edit = [&](const String& name, Integer top) {
      TEdit* e = TEdit::New(dlg.Form);
      e->SetName(name);
      e->SetParent(parent);
      e->SetBounds(10, top, 100, 21);
      e->SetTabOrder(0);
      return e;
    };
    TEdit* second = edit(u"edSecond", 40);
    edit(u"edFirst", 10);  // first in tab order
    dlg.Edit->SetTabOrder(5);
    if (c.active) dlg.Form->SetActiveControl(second);
    dlg.Form->Show();
    Pump();
    TWinControl* focused = FindControl(GetFocus());
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(StringToUtf8(focused->GetName()), c.expected);
    dlg.Form->Free();
  }
}

// The usual way a dialog opens: the user clicks a button and its handler runs ShowModal, whose
// loop runs inside the button's own click.
TEST_F(FormsTest, AClickedButtonRunsAModalFormAndGetsItsResult) {
  Dialog main(Application, u"FormMain");
  main.Ok->ModalResult = mrNone;
  main.Form->Show();
  TModalResult got = mrNone;
  int clicks = 0;
  main.Ok->OnClick = [&](TObject*) {
    ++clicks;
    Dialog dlg(main.Form, u"DlgAdd");
    guitest::PostWork([&] { guitest::Click(dlg.Ok->Handle(), {10, 10}); });
    got = dlg.Form->ShowModal();
    dlg.Form->Free();
  };
  guitest::Click(main.Ok->Handle(), {10, 10});
  ASSERT_TRUE(PumpUntil([&] { return got != mrNone; }));
  EXPECT_EQ(got, mrOk);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(IsWindowEnabled(main.Form->Handle()));
  // The main form's button still works afterwards.
  got = mrNone;
  guitest::Click(main.Ok->Handle(), {10, 10});
  ASSERT_TRUE(PumpUntil([&] { return got != mrNone; }));
  EXPECT_EQ(clicks, 2);
}

TEST_F(FormsTest, AnUnhandledWheelTurnGoesToTheParent) {
  TForm* form = TForm::New(Application);
  form->SetBounds(0, 0, 300, 200);
  TCustomControl* canvas = TCustomControl::New(form);
  canvas->SetParent(form);
  canvas->SetBounds(10, 10, 100, 100);
  std::vector<std::string> seen;
  bool canvasHandles = false;
  canvas->OnMouseWheel = [&](TObject*, TShiftState shift, Integer delta, TPoint, bool& handled) {
    seen.push_back("canvas " + std::to_string(delta) + (shift.Contains(TShiftStateItem::ssCtrl) ? " ctrl" : ""));
    handled = canvasHandles;
  };
  form->OnMouseWheel = [&](TObject*, TShiftState, Integer delta, TPoint, bool& handled) {
    seen.push_back("form " + std::to_string(delta));
    handled = true;
  };
  form->Show();
  guitest::Wheel(canvas->Handle(), {5, 5}, -120, Qt::ControlModifier);
  Pump();
  canvasHandles = true;
  guitest::Wheel(canvas->Handle(), {5, 5}, 240);
  Pump();
  std::vector<std::string> expected{"canvas -120 ctrl", "form -120", "canvas 240"};
  EXPECT_EQ(seen, expected);
}

// A click handler that frees the form its button lies on: the button's widget outlives the
// toolkit's event it is inside, and nothing is left over.
TEST_F(FormsTest, AButtonMayFreeItsOwnFormInItsClickHandler) {
  int64_t before = TObject::LiveObjects();
  Dialog dlg(Application);
  dlg.Ok->ModalResult = mrNone;
  bool freed = false;
  dlg.Ok->OnClick = [&](TObject*) {
    dlg.Form->Free();
    freed = true;
  };
  dlg.Form->Show();
  HWND button = dlg.Ok->Handle();
  guitest::Click(button, {10, 10});
  Pump();
  EXPECT_TRUE(freed);
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(TObject::LiveObjects(), before);
}

}  // namespace
}  // namespace classlibtest
