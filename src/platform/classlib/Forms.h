#pragma once
// Forms, the application object and the screen. Show, ShowModal with modal results (each modal
// form runs a layer loop of its own), Close and the close box, placement, border styles,
// KeyPreview; the application's message loop with its idle pass that updates actions.

#include <exception>
#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/classlib/Hints.h"

namespace pf {

using TModalResult = Integer;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = mrNo + 1;

enum class TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                       poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
// The title-bar buttons a form's border offers: the system menu (with the close box), minimise and
// maximise. A dialog border offers the system menu alone, a form without a border none.
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize };
using TBorderIcons = TSet<TBorderIcon>;
enum class TFormStateItem { fsCreating, fsVisible, fsShowing, fsModal, fsActivated };
using TFormState = TSet<TFormStateItem>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
  PF_CLASS(TCustomForm)
public:
  void Show();
  void Hide();
  // Shows the form modally: the other forms are disabled and a layer loop runs until ModalResult
  // is set (a button with a modal result, Close, the close box) or the application terminates.
  virtual TModalResult ShowModal();
  void Close();
  bool CloseQuery();
  // Frees the form once the messages already queued for it are handled.
  void Release();

  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult r) { FModalResult = r; }
  TFormState FormState() const { return FFormState; }

  TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle s);
  TBorderIcons GetBorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons icons);
  // The form this one stays above on the desktop: its window's owner, before the owner form.
  TCustomForm* GetPopupParent() const { return FPopupParent; }
  void SetPopupParent(TCustomForm* f);
  TPosition Position{TPosition::poDesigned};
  bool KeyPreview{false};
  void SetConstraints(const TSizeConstraints& c) override;

  TWinControl* GetActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* c);
  void FocusedControlChanged(TWinControl* c);
  // Moves the focus to the next (or previous) control that takes it, in tab order.
  void SelectNext(TWinControl* current, bool forward);
  // Updates the actions of the form's visible controls (the application's idle pass).
  void UpdateActions();

  bool DoKeyDown(Word& key, TShiftState shift) override;
  bool DoKeyPress(Char& key) override;
  bool DoKeyUp(Word& key, TShiftState shift) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  void Notification(TComponent* c, TOperation op) override;
  void VisibleChanged() override;
  virtual void DoClose(TCloseAction& action);
  virtual void DoShow();
  virtual void DoHide();
  // Where the form goes when it first shows, from Position.
  void PlaceForm();
  // The window takes the styles of the present border style and icons.
  void UpdateBorder();

  TModalResult FModalResult{mrNone};
  TFormState FFormState;
  TFormBorderStyle FBorderStyle{TFormBorderStyle::bsSizeable};
  TBorderIcons FBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
  TCustomForm* FPopupParent{nullptr};
  TWinControl* FActiveControl{nullptr};
  bool FPlaced{false};
};

class TForm : public TCustomForm {
  PF_CLASS(TForm)
};

class TApplication : public TComponent {
  PF_CLASS(TApplication)
public:
  void Initialize();
  // Shows the main form and runs the loop until the application terminates.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // One turn of the loop: a message if there is one, else the idle pass and a wait.
  void HandleMessage();
  void ProcessMessages();
  // The idle pass: action updates of the visible forms, then OnIdle.
  void Idle();

  template <class T>
  void CreateForm(T*& reference) {
    reference = T::New(this);
    if (!FMainForm) FMainForm = reference;
  }
  TCustomForm* GetMainForm() const { return FMainForm; }
  void SetMainForm(TCustomForm* f) { FMainForm = f; }
  bool MainFormOnTaskBar{false};
  bool ShowMainForm{true};
  String Title;

  // Shows a message box owned by the active form; answers IDOK, IDCANCEL...
  Integer MessageBox(const String& text, const String& caption, UINT flags = MB_OK);
  void HandleException(std::exception_ptr e);
  void ShowException(const std::exception& e);

  std::function<void(TObject* Sender, const std::exception& E)> OnException;
  std::function<void(TObject* Sender, bool& Done)> OnIdle;

  // ---- hints
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  // Before the first hint, in milliseconds of the layer's clock: the desktop's hover time.
  Integer HintPause{500};
  Integer HintShortPause{50};   // before the next one while a hint shows
  Integer HintHidePause{2500};  // how long a hint stays
  TColor HintColor{clInfoBk};
  THintWindowClass HintWindowClass{&HintWindowOf<THintWindow>};
  std::function<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)> OnShowHint;
  // The pointer moved over a control (a mouse message of its window): a hint is waited for.
  void HintMouseMessage(TControl* control, const MSG& msg);
  // Shows the hint of the waited-for control at the pointer, now.
  void ActivateHint(TPoint cursorPos);
  void HideHint();
  void CancelHint();
  THintWindow* GetHintWindow() const { return FHintWindow; }
  TControl* GetHintControl() const { return FHintControl; }

  // For tests: the loop state back to a fresh application's.
  void ResetForTests();

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Notification(TComponent* c, TOperation op) override;

private:
  enum class THintTimerMode { htmHint, htmHide, htmReshow };
  void StartHintTimer(Integer ms, THintTimerMode mode);
  void StopHintTimer();
  void HintTimerExpired();
  void SetHintControl(TControl* c);
  void ReadHintPause();
  // The control under the pointer hears CM_MOUSEENTER and CM_MOUSELEAVE; a hint of another
  // control goes.
  void DoMouseIdle();
  bool FShowHint{true};
  TControl* FHintControl{nullptr};
  THintWindow* FHintWindow{nullptr};
  THintWindowClass FHintWindowMadeBy{nullptr};
  bool FHintActive{false};
  TRect FHintCursorRect;
  // The window asked to report the pointer leaving while a hint shows (the hinted control's own,
  // or its parent's for a control without one).
  HWND FHintTrackWnd{nullptr};
  UINT_PTR FHintTimer{0};
  THintTimerMode FHintTimerMode{THintTimerMode::htmHint};
  TControl* FMouseControl{nullptr};
  bool ProcessMessage(MSG& msg);
  bool IsKeyMsg(MSG& msg);
  TCustomForm* FMainForm{nullptr};
  bool FTerminated{false};
};

class TScreen : public TComponent {
  PF_CLASS(TScreen)
public:
  TCursor GetCursor() const { return FCursor; }
  // crHourGlass shows the wait cursor over every window until crDefault comes back.
  void SetCursor(TCursor c);
  // The cursor table: Screen.Cursors[768] := LoadCursor(HInstance, "...") installs a cursor.
  HCURSOR GetCursors(TCursor c) const { return CursorHandle(c); }
  void SetCursors(TCursor c, HCURSOR h) { SetCursorHandle(c, h); }
  Integer Width() const;
  Integer Height() const;
  Integer FormCount() const { return static_cast<Integer>(FForms.size()); }
  TCustomForm* Forms(Integer i) const { return FForms.at(static_cast<size_t>(i)); }
  TCustomForm* ActiveForm() const;
  void AddForm(TCustomForm* f);
  void RemoveForm(TCustomForm* f);

private:
  TCursor FCursor{crDefault};
  std::vector<TCustomForm*> FForms;
};

extern TApplication* Application;
extern TScreen* Screen;

// Routes an exception out of a window procedure to the application (an error box).
void HandleControlException(std::exception_ptr e);

// The program's start-up and shut-down in the platform's order: the layer (the toolkit's
// application object first), then the units (the class library's, then those `registerUnits`
// adds), then the application object's Initialize. The destructor finalises the units in reverse
// and stops the layer.
class TProgramSession {
public:
  TProgramSession(int& argc, char** argv, const std::function<void()>& registerUnits = {});
  ~TProgramSession();
  TProgramSession(const TProgramSession&) = delete;
  TProgramSession& operator=(const TProgramSession&) = delete;
};

// Registers the class library's unit (the application and screen objects) with the program's
// units; the program's main and GUI test mains call it before InitializeUnits.
void RegisterClassLibUnits();
void InitializeForms();
void FinalizeForms();

}  // namespace pf
