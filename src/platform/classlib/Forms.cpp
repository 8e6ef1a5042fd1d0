#include "platform/classlib/Forms.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/Units.h"

namespace pf {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

TUnitCounter gFormsUnit;

void CollectTabStops(TWinControl* parent, std::vector<TWinControl*>& out) {
  for (Integer i = 0; i < parent->ControlCount(); ++i) {
    auto* wc = dynamic_cast<TWinControl*>(parent->Controls(i));
    if (!wc) continue;
    if (wc->IsTabStop()) out.push_back(wc);
    CollectTabStops(wc, out);
  }
}

}  // namespace

// ---------------------------------------------------------------- TCustomForm

void TCustomForm::Create(TComponent* owner) {
  FFormState.Include(TFormStateItem::fsCreating);
  TWinControl::Create(owner);
  FVisible = false;
  FParentFont = false;
  FColor = clBtnFace;
  FWidth = 320;
  FHeight = 240;
  if (Screen) Screen->AddForm(this);
}

void TCustomForm::AfterConstruction() {
  TWinControl::AfterConstruction();
  FFormState.Exclude(TFormStateItem::fsCreating);
  if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  if (OnDestroy) OnDestroy(this);
}

void TCustomForm::Destroy() {
  if (Screen) Screen->RemoveForm(this);
  if (Application && Application->GetMainForm() == this) Application->SetMainForm(nullptr);
  TWinControl::Destroy();
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style = WS_CLIPCHILDREN;
  p.ExStyle = 0;
  TBorderIcons icons = FBorderIcons;
  switch (FBorderStyle) {
    case TFormBorderStyle::bsNone:
      p.Style |= WS_POPUP;
      icons = {};
      break;
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsToolWindow: p.Style |= WS_CAPTION; break;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION;
      p.ExStyle |= WS_EX_DLGMODALFRAME;
      icons = icons * TBorderIcons{TBorderIcon::biSystemMenu};
      break;
  }
  if (FBorderStyle == TFormBorderStyle::bsToolWindow || FBorderStyle == TFormBorderStyle::bsSizeToolWin) {
    p.ExStyle |= WS_EX_TOOLWINDOW;
    icons = icons * TBorderIcons{TBorderIcon::biSystemMenu};
  }
  if (icons.Contains(TBorderIcon::biSystemMenu)) p.Style |= WS_SYSMENU;
  if (icons.Contains(TBorderIcon::biMinimize)) p.Style |= WS_MINIMIZEBOX;
  if (icons.Contains(TBorderIcon::biMaximize)) p.Style |= WS_MAXIMIZEBOX;
  if (!FEnabled) p.Style |= WS_DISABLED;
  if (Application && Application->GetMainForm() == this && Application->MainFormOnTaskBar)
    p.ExStyle |= WS_EX_APPWINDOW;
  p.WndParent = nullptr;
  if (FPopupParent)
    p.WndParent = FPopupParent->Handle();
  else if (auto* ownerForm = dynamic_cast<TCustomForm*>(GetOwner()); ownerForm && ownerForm->HandleAllocated())
    p.WndParent = ownerForm->FHandle;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle s) {
  if (s == FBorderStyle) return;
  FBorderStyle = s;
  UpdateBorder();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == FBorderIcons) return;
  FBorderIcons = icons;
  UpdateBorder();
}

void TCustomForm::UpdateBorder() {
  if (!HandleAllocated()) return;
  TCreateParams p;
  CreateParams(p);
  SetWindowLongPtr(FHandle, GWL_STYLE, static_cast<LONG_PTR>(p.Style | (GetWindowLongPtr(FHandle, GWL_STYLE) & WS_VISIBLE)));
  SetWindowLongPtr(FHandle, GWL_EXSTYLE, static_cast<LONG_PTR>(p.ExStyle));
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  UpdateBounds();
}

void TCustomForm::SetPopupParent(TCustomForm* f) {
  if (f == this) f = nullptr;
  if (f == FPopupParent) return;
  if (FPopupParent) FPopupParent->RemoveFreeNotification(this);
  FPopupParent = f;
  if (f) f->FreeNotification(this);
  // A window made already takes its new owner at once; the desktop learns it when it next shows.
  if (HandleAllocated()) {
    TCreateParams p;
    CreateParams(p);
    SetWindowLongPtr(FHandle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(p.WndParent));
  }
}

void TCustomForm::Notification(TComponent* c, TOperation op) {
  TWinControl::Notification(c, op);
  if (op == TOperation::opRemove && c == FPopupParent) SetPopupParent(nullptr);
}

void TCustomForm::PlaceForm() {
  if (FPlaced) return;
  FPlaced = true;
  TCustomForm* center = nullptr;
  switch (Position) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
      break;
    case TPosition::poOwnerFormCenter:
      center = dynamic_cast<TCustomForm*>(GetOwner());
      if (!center && Application) center = Application->GetMainForm();
      break;
    case TPosition::poMainFormCenter:
      if (Application) center = Application->GetMainForm();
      break;
    default:
      return;
  }
  if (center == this) center = nullptr;
  Integer x, y;
  if (center) {
    x = center->GetLeft() + (center->GetWidth() - FWidth) / 2;
    y = center->GetTop() + (center->GetHeight() - FHeight) / 2;
  } else {
    x = (GetSystemMetrics(SM_CXSCREEN) - FWidth) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - FHeight) / 2;
  }
  // Never off the top-left of the screen, where the caption could not be reached.
  SetBounds(std::max(0, x), std::max(0, y), FWidth, FHeight);
}

void TCustomForm::VisibleChanged() {
  if (FVisible) {
    HandleNeeded();
    PlaceForm();
    FFormState.Include(TFormStateItem::fsVisible);
    ShowWindow(FHandle, SW_SHOW);
    if (FActiveControl && FActiveControl->CanFocus()) FActiveControl->SetFocus();
    else SelectNext(nullptr, true);
    DoShow();
  } else {
    FFormState.Exclude(TFormStateItem::fsVisible);
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
    DoHide();
  }
}

void TCustomForm::Show() {
  SetVisible(true);
  if (FHandle) SetActiveWindow(FHandle);
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::DoShow() {
  if (TNotifyEvent handler = OnShow) handler(this);
}

void TCustomForm::DoHide() {
  if (TNotifyEvent handler = OnHide) handler(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (TCloseEvent handler = OnClose) handler(this, action);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (FFormState.Contains(TFormStateItem::fsModal)) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  DoClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application && Application->GetMainForm() == this) {
    Application->Terminate();
  } else if (action == TCloseAction::caHide || action == TCloseAction::caMinimize) {
    Hide();
  } else {
    Release();
  }
}

void TCustomForm::Release() {
  if (FHandle)
    PostMessage(FHandle, CM_RELEASE, 0, 0);
  else
    Free();
}

TModalResult TCustomForm::ShowModal() {
  if (FVisible || !FEnabled || FFormState.Contains(TFormStateItem::fsModal))
    throw EInvalidOperation(u"Cannot make a visible window modal");
  if (GetCapture()) ReleaseCapture();
  FFormState.Include(TFormStateItem::fsModal);
  HWND activeBefore = GetActiveWindow();
  std::vector<HWND> disabled;
  if (Screen) {
    for (Integer i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (f == this || !f->HandleAllocated()) continue;
      HWND h = f->FHandle;
      if (IsWindowVisible(h) && IsWindowEnabled(h)) {
        EnableWindow(h, false);
        disabled.push_back(h);
      }
    }
  }
  // The other forms come back whatever ends the loop, an exception included.
  struct Restore {
    TCustomForm* Form;
    std::vector<HWND>& Disabled;
    HWND Active;
    ~Restore() {
      for (HWND h : Disabled)
        if (IsWindow(h)) EnableWindow(h, true);
      Form->FFormState.Exclude(TFormStateItem::fsModal);
      if (Active && IsWindow(Active)) SetActiveWindow(Active);
    }
  } restore{this, disabled, activeBefore};
  FModalResult = mrNone;
  Show();
  do {
    Application->HandleMessage();
    if (Application->Terminated()) {
      FModalResult = mrCancel;
    } else if (FModalResult != mrNone) {
      TCloseAction action = TCloseAction::caNone;
      if (CloseQuery()) {
        action = TCloseAction::caHide;
        DoClose(action);
      }
      if (action == TCloseAction::caNone) FModalResult = mrNone;
      else if (action == TCloseAction::caFree) Release();
    }
  } while (FModalResult == mrNone);
  TModalResult result = FModalResult;
  Hide();
  return result;
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  FActiveControl = c;
  if (c && FVisible && c->CanFocus()) c->SetFocus();
}

void TCustomForm::FocusedControlChanged(TWinControl* c) { FActiveControl = c; }

void TCustomForm::SelectNext(TWinControl* current, bool forward) {
  std::vector<TWinControl*> stops;
  CollectTabStops(this, stops);
  stops.erase(std::remove_if(stops.begin(), stops.end(), [](TWinControl* c) { return !c->CanFocus(); }), stops.end());
  if (stops.empty()) return;
  auto it = std::find(stops.begin(), stops.end(), current);
  size_t n = stops.size();
  size_t next;
  if (it == stops.end())
    next = forward ? 0 : n - 1;
  else {
    size_t i = static_cast<size_t>(it - stops.begin());
    next = forward ? (i + 1) % n : (i + n - 1) % n;
  }
  stops[next]->SetFocus();
}

void TCustomForm::UpdateActions() {
  if (!FVisible) return;
  InitiateAction();
}

bool TCustomForm::DoKeyDown(Word& key, TShiftState shift) {
  KeyDown(key, shift);
  return key == 0;
}

bool TCustomForm::DoKeyPress(Char& key) {
  KeyPress(key);
  return key == 0;
}

bool TCustomForm::DoKeyUp(Word& key, TShiftState shift) {
  KeyUp(key, shift);
  return key == 0;
}

void TCustomForm::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case CM_RELEASE:
      Free();  // nothing of the form may be touched after this
      return;
    case CM_DIALOGKEY:
      if (msg.WParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
        TWinControl* current = FindControl(GetFocus());
        SelectNext(current && ContainsControl(current) ? current : FActiveControl, GetKeyState(VK_SHIFT) >= 0);
        msg.Result = 1;
        return;
      }
      TWinControl::Dispatch(msg);
      return;
    case WM_ACTIVATE:
      DefaultHandler(msg);
      if (LOWORD(msg.WParam) != WA_INACTIVE && OnActivate) OnActivate(this);
      return;
    case WM_SETFOCUS:
      DefaultHandler(msg);
      if (FActiveControl && FActiveControl != this && FActiveControl->CanFocus()) FActiveControl->SetFocus();
      return;
    case WM_GETMINMAXINFO:
      DefaultHandler(msg);
      if (auto* mm = reinterpret_cast<MINMAXINFO*>(msg.LParam)) {
        if (FConstraints.MinWidth > 0) mm->ptMinTrackSize.X = FConstraints.MinWidth;
        if (FConstraints.MinHeight > 0) mm->ptMinTrackSize.Y = FConstraints.MinHeight;
        if (FConstraints.MaxWidth > 0) mm->ptMaxTrackSize.X = FConstraints.MaxWidth;
        if (FConstraints.MaxHeight > 0) mm->ptMaxTrackSize.Y = FConstraints.MaxHeight;
        ConstrainedResize(mm->ptMinTrackSize.X, mm->ptMinTrackSize.Y, mm->ptMaxTrackSize.X, mm->ptMaxTrackSize.Y);
      }
      return;
    default:
      TWinControl::Dispatch(msg);
  }
}

void TCustomForm::SetConstraints(const TSizeConstraints& c) {
  FConstraints = c;
  // The window asks again: the desktop learns the new least size.
  if (HandleAllocated())
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- TApplication

void TApplication::Create(TComponent* owner) {
  TComponent::Create(owner);
  ReadHintPause();
}

// The first hint waits as long as the desktop's hover time, when the layer knows it.
void TApplication::ReadHintPause() {
  UINT hover = 0;
  if (LayerStarted() && SystemParametersInfo(SPI_GETMOUSEHOVERTIME, 0, &hover, 0) && hover > 0)
    HintPause = static_cast<Integer>(hover);
}

void TApplication::Destroy() {
  StopHintTimer();
  TComponent::Destroy();
}

void TApplication::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != TOperation::opRemove) return;
  if (c == FMainForm) FMainForm = nullptr;
  if (c == FMouseControl) FMouseControl = nullptr;
  if (c == FHintWindow) {
    FHintWindow = nullptr;
    FHintWindowMadeBy = nullptr;
  }
  if (c == FHintControl) {
    FHintControl = nullptr;
    FHintActive = false;
    StopHintTimer();
    HideHint();
  }
}

// ---- hints

namespace {
// The control whose hint counts at a control: it, or the first parent whose ShowHint holds.
TControl* HintControlOf(TControl* c) {
  while (c && !c->EffectiveShowHint()) c = c->GetParent();
  return c;
}
// How far below the pointer a hint starts: the height of the arrow cursor.
constexpr Integer kCursorHeightMargin = 20;
}  // namespace

void TApplication::SetShowHint(bool v) {
  if (v == FShowHint) return;
  FShowHint = v;
  if (!v) {
    CancelHint();
    if (FHintWindow) FreeAndNil(FHintWindow);
  }
}

void TApplication::SetHintControl(TControl* c) {
  if (c == FHintControl) return;
  if (FHintControl && FHintControl != FMouseControl) FHintControl->RemoveFreeNotification(this);
  FHintControl = c;
  if (c) c->FreeNotification(this);
}

void TApplication::StartHintTimer(Integer ms, THintTimerMode mode) {
  StopHintTimer();
  FHintTimerMode = mode;
  FHintTimer = SetTimer(nullptr, 0, static_cast<UINT>(std::max(1, ms)), [this](HWND, UINT, UINT_PTR, DWORD) { HintTimerExpired(); });
}

void TApplication::StopHintTimer() {
  if (!FHintTimer) return;
  KillTimer(nullptr, FHintTimer);
  FHintTimer = 0;
}

void TApplication::HintTimerExpired() {
  THintTimerMode mode = FHintTimerMode;
  StopHintTimer();
  TPoint p;
  GetCursorPos(&p);
  switch (mode) {
    case THintTimerMode::htmHint:
    case THintTimerMode::htmReshow:
      ActivateHint(p);
      break;
    case THintTimerMode::htmHide:
      HideHint();
      break;
  }
}

void TApplication::HintMouseMessage(TControl* control, const MSG& msg) {
  if (!FShowHint || !control) return;
  TPoint client{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
  TPoint screen = control->ClientToScreen(client);
  TControl* hinted = HintControlOf(FindDragTarget(screen, true));
  if (!hinted) {
    CancelHint();
    return;
  }
  TPoint inHinted = hinted->ScreenToClient(screen);
  const TRect& r = FHintCursorRect;
  bool inRect = inHinted.X >= r.Left && inHinted.X < r.Right && inHinted.Y >= r.Top && inHinted.Y < r.Bottom;
  if (hinted == FHintControl && inRect) return;
  bool wasActive = FHintActive;
  Integer pause = wasActive ? HintShortPause : HintPause;
  hinted->Perform(CM_HINTSHOWPAUSE, wasActive ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
  CancelHint();
  FHintActive = wasActive;
  SetHintControl(hinted);
  StartHintTimer(pause, THintTimerMode::htmHint);
}

void TApplication::ActivateHint(TPoint cursorPos) {
  StopHintTimer();
  TControl* control = FHintControl;
  // The pointer must still be over the control the hint was waited for.
  if (!control || !control->Showing() || HintControlOf(FindDragTarget(cursorPos, true)) != control) {
    CancelHint();
    return;
  }
  THintInfo info;
  info.HintControl = control;
  info.HintPos = TPoint{cursorPos.X, cursorPos.Y + kCursorHeightMargin};
  info.HintMaxWidth = GetSystemMetrics(SM_CXSCREEN);
  info.HintColor = HintColor;
  info.CursorRect = control->GetClientRect();
  info.CursorPos = control->ScreenToClient(cursorPos);
  info.HintStr = GetShortHint(control->GetHint());
  info.HideTimeout = HintHidePause;
  info.HintWindowClass = HintWindowClass;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
  if (control != FHintControl) return;  // the handler freed the control or moved on
  if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
  FHintActive = canShow;
  if (canShow && !info.HintStr.empty()) {
    THintWindowClass make = info.HintWindowClass ? info.HintWindowClass : &HintWindowOf<THintWindow>;
    if (FHintWindow && FHintWindowMadeBy != make) FreeAndNil(FHintWindow);
    if (!FHintWindow) {
      FHintWindow = make(this);
      FHintWindowMadeBy = make;
    }
    FHintCursorRect = info.CursorRect;
    TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    r = TRect{r.Left + info.HintPos.X, r.Top + info.HintPos.Y, r.Right + info.HintPos.X, r.Bottom + info.HintPos.Y};
    FHintWindow->SetColor(info.HintColor);
    FHintWindow->ActivateHintData(r, info.HintStr, info.HintData);
    // The pointer may leave for a window that is not ours, which tells us nothing: the window
    // under it is asked to say so.
    TWinControl* owner = dynamic_cast<TWinControl*>(control);
    if (!owner) owner = control->GetParent();
    FHintTrackWnd = owner && owner->HandleAllocated() ? owner->Handle() : nullptr;
    if (FHintTrackWnd) {
      TRACKMOUSEEVENT tme;
      tme.dwFlags = TME_LEAVE;
      tme.hwndTrack = FHintTrackWnd;
      TrackMouseEvent(&tme);
    }
    if (info.ReshowTimeout > 0)
      StartHintTimer(info.ReshowTimeout, THintTimerMode::htmReshow);
    else if (info.HideTimeout > 0)
      StartHintTimer(info.HideTimeout, THintTimerMode::htmHide);
    return;
  }
  FHintCursorRect = info.CursorRect;
  if (info.ReshowTimeout > 0)
    StartHintTimer(info.ReshowTimeout, THintTimerMode::htmReshow);
  else
    CancelHint();
}

void TApplication::HideHint() {
  if (FHintWindow && FHintWindow->HandleAllocated() && IsWindowVisible(FHintWindow->Handle())) {
    ShowWindow(FHintWindow->Handle(), SW_HIDE);
    FHintWindow->SetVisible(false);
  }
}

void TApplication::CancelHint() {
  // The tracking itself is left alone: the window may have asked for it on its own account.
  FHintTrackWnd = nullptr;
  StopHintTimer();
  HideHint();
  FHintActive = false;
  FHintCursorRect = TRect{};
  SetHintControl(nullptr);
}

void TApplication::DoMouseIdle() {
  if (!LayerStarted()) return;
  TPoint p;
  GetCursorPos(&p);
  TControl* control = FindDragTarget(p, true);
  // Away from the hinted control (on one without the hint, or on none of ours) its hint goes.
  if (FHintControl && HintControlOf(control) != FHintControl) CancelHint();
  if (control == FMouseControl) return;
  TControl* old = FMouseControl;
  if (old && old != FHintControl) old->RemoveFreeNotification(this);
  FMouseControl = control;
  if (control) control->FreeNotification(this);
  if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (FMouseControl) FMouseControl->Perform(CM_MOUSEENTER, 0, 0);
}

void TApplication::Initialize() {}

void TApplication::Run() {
  if (FMainForm && ShowMainForm) FMainForm->Show();
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(std::current_exception());
    }
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

bool TApplication::IsKeyMsg(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (!FindControl(msg.hwnd)) return false;
  return SendMessage(msg.hwnd, CN_KEYDOWN, msg.wParam, msg.lParam) != 0;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  if (msg.message == WM_MOUSEMOVE) {
    HintMouseMessage(FindControl(msg.hwnd), msg);
  } else if (msg.message == WM_MOUSELEAVE) {
    if (FHintTrackWnd && msg.hwnd == FHintTrackWnd) CancelHint();
    DoMouseIdle();
  } else if (FHintControl && FHintWindow && FHintWindow->IsHintMsg(msg)) {
    CancelHint();
  }
  if (!IsKeyMsg(msg)) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  return true;
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) {
    Idle();
    if (!FTerminated) WaitMessage();
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Idle() {
  // A handler that raises here is reported like one raised by a message: a modal form's loop,
  // which has no handler of its own around the idle pass, goes on instead of unwinding past it.
  try {
    // Control canvases let their DCs go, so what they painted is presented.
    TControlCanvas::FreeDeviceContexts();
    DoMouseIdle();
    bool done = true;
    if (OnIdle) OnIdle(this, done);
    if (!Screen) return;
    // Actions follow the state of the program on each idle pass, on forms the user can reach.
    for (Integer i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (f->HandleAllocated() && IsWindowVisible(f->Handle()) && IsWindowEnabled(f->Handle())) f->UpdateActions();
    }
  } catch (...) {
    HandleException(std::current_exception());
  }
}

Integer TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  return pf::MessageBox(owner, text, caption, flags);
}

void TApplication::ShowException(const std::exception& e) {
  String msg;
  if (auto* pe = dynamic_cast<const Exception*>(&e))
    msg = pe->Message();
  else
    msg = Utf8ToString(e.what());
  if (!msg.empty() && msg.back() > u'.') msg += u'.';
  MessageBox(msg, Title, MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    if (OnException)
      OnException(this, ex);
    else
      ShowException(ex);
  } catch (...) {
    ShowException(Exception(u"Unknown exception"));
  }
}

void TApplication::ResetForTests() {
  CancelHint();
  if (FHintWindow) FreeAndNil(FHintWindow);
  if (FMouseControl) FMouseControl->RemoveFreeNotification(this);
  FMouseControl = nullptr;
  OnShowHint = nullptr;
  HintWindowClass = &HintWindowOf<THintWindow>;
  ReadHintPause();
  FTerminated = false;
  FMainForm = nullptr;
  OnException = nullptr;
  OnIdle = nullptr;
}

// ---------------------------------------------------------------- TScreen

void TScreen::SetCursor(TCursor c) {
  FCursor = c;
  if (c != crDefault) {
    pf::SetCursor(CursorHandle(c));
    return;
  }
  // Back to the default: the window under the pointer says again which cursor it shows.
  TPoint p;
  GetCursorPos(&p);
  HWND h = WindowFromPoint(p);
  if (!h) {
    pf::SetCursor(LoadCursor(IDC_ARROW));
    return;
  }
  LRESULT hit = SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(p.X, p.Y));
  if (!SendMessage(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(static_cast<int>(hit), WM_MOUSEMOVE)))
    pf::SetCursor(LoadCursor(IDC_ARROW));
}

Integer TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
Integer TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TCustomForm* TScreen::ActiveForm() const {
  return dynamic_cast<TCustomForm*>(FindControl(GetActiveWindow()));
}

void TScreen::AddForm(TCustomForm* f) {
  if (std::find(FForms.begin(), FForms.end(), f) == FForms.end()) FForms.push_back(f);
}

void TScreen::RemoveForm(TCustomForm* f) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), f), FForms.end());
}

// ---------------------------------------------------------------- unit

void HandleControlException(std::exception_ptr e) {
  if (Application)
    Application->HandleException(e);
  else
    std::rethrow_exception(e);
}

void InitializeForms() {
  if (!gFormsUnit.Enter()) return;
  Application = TApplication::New(nullptr);
  Screen = TScreen::New(nullptr);
  SetDispatchExceptionHandler([](std::exception_ptr e) { HandleControlException(e); });
}

void FinalizeForms() {
  if (!gFormsUnit.Leave()) return;
  SetDispatchExceptionHandler({});
  // Forms owned by the application go with it; forms without an owner are the program's to free,
  // but none may outlive the layer.
  FreeAndNil(Application);
  while (Screen && Screen->FormCount() > 0) Screen->Forms(Screen->FormCount() - 1)->Free();
  FreeAndNil(Screen);
}

TProgramSession::TProgramSession(int& argc, char** argv, const std::function<void()>& registerUnits) {
  StartLayer(argc, argv);
  RegisterClassLibUnits();
  if (registerUnits) registerUnits();
  InitializeUnits();
  Application->Initialize();
}

TProgramSession::~TProgramSession() {
  FinalizeUnits();
  FinishLayer();
}

void RegisterClassLibUnits() {
  RegisterUnit(10, "Forms", InitializeForms, FinalizeForms);
}

}  // namespace pf
