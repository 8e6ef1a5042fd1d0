#pragma once
// Controls of the class library over the window layer: TControl (bounds, visibility, text, font,
// colour, mouse events, the replaceable window method), TWinControl (the window handle, parent
// and child windows, focus, keys) and TCustomControl (a custom-drawn window with a canvas).

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Component.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/Graphics.h"
#include "platform/user/User.h"

namespace pf {

// A window message as the class library's window methods see it.
struct TMessage {
  UINT Msg{0};
  WPARAM WParam{0};
  LPARAM LParam{0};
  LRESULT Result{0};
};
using TWndMethod = std::function<void(TMessage&)>;

// The class library's own messages.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_BORDERCHANGED = CM_BASE + 59;
constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 62;
constexpr UINT CM_MOUSEWHEEL = CM_BASE + 67;
// The class library's own drag and drop between controls: WParam a TDragMessage, LParam the
// TDragRec of the drag. Enter and move answer 1 when the control accepts the drop there; the
// find-target step answers the TControl* that takes the drag at the point.
constexpr UINT CM_DRAG = CM_BASE + 36;
// Notifications a parent reflects back to the control they came from.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Key data of a key message: Alt from bit 29 of lParam, Shift and Ctrl from the key state.
TShiftState KeyDataToShiftState(LPARAM keyData);
TShiftState KeysToShiftState(WPARAM mkKeys);

using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, Char& Key)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, Integer X, Integer Y)>;
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, Integer WheelDelta, TPoint MousePos,
                                            bool& Handled)>;
using TMouseWheelUpDownEvent = std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
// A control is about to take a new size: Resize false keeps the old one; the handler may also
// change the size it takes.
using TCanResizeEvent = std::function<void(TObject* Sender, Integer& NewWidth, Integer& NewHeight, bool& Resize)>;
// The limits a new size is held to, from Constraints (0: none); the handler may change them.
using TConstrainedResizeEvent =
    std::function<void(TObject* Sender, Integer& MinWidth, Integer& MinHeight, Integer& MaxWidth, Integer& MaxHeight)>;

// The least and greatest outer size a control takes (0: no limit of its own). A form's window
// tells the desktop, which stops the user's sizing there.
struct TSizeConstraints {
  Integer MinWidth{0};
  Integer MinHeight{0};
  Integer MaxWidth{0};
  Integer MaxHeight{0};
};

enum class TCursor : int16_t {};
constexpr TCursor crDefault{0};
constexpr TCursor crNone{-1};
constexpr TCursor crArrow{-2};
constexpr TCursor crCross{-3};
constexpr TCursor crIBeam{-4};
constexpr TCursor crSizeNESW{-6};
constexpr TCursor crSizeNS{-7};
constexpr TCursor crSizeNWSE{-8};
constexpr TCursor crSizeWE{-9};
constexpr TCursor crUpArrow{-10};
constexpr TCursor crHourGlass{-11};
constexpr TCursor crNo{-18};
constexpr TCursor crAppStart{-19};
constexpr TCursor crHelp{-20};
constexpr TCursor crHandPoint{-21};
constexpr TCursor crSizeAll{-22};
// The class library's drag cursors: one object, several.
constexpr TCursor crDrag{-12};
constexpr TCursor crMultiDrag{-16};
// The screen's cursor table (Screen.Cursors): the system shapes under the negative numbers, and
// what the program installs under its own (the list view's header split cursor under 768, say).
// An unknown number answers the default cursor.
HCURSOR CursorHandle(TCursor c);
void SetCursorHandle(TCursor c, HCURSOR h);

enum class TControlStyleItem {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption, csOpaque,
  csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents,
  csDisplayDragImage, csReflector, csActionClient, csMenuEvents, csNeedsBorderPaint, csParentBackground,
  csPannable
};
using TControlStyle = TSet<TControlStyleItem>;

// Borders of controls and forms; a control's border style takes bsNone or bsSingle.
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

// Bevels of a windowed control, drawn in its non-client area when BevelKind is not bkNone.
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum class TBevelKind { bkNone, bkTile, bkSoft, bkFlat };
enum class TBevelEdge { beLeft, beTop, beRight, beBottom };
using TBevelEdges = TSet<TBevelEdge>;
constexpr TBevelEdges kAllBevelEdges{TBevelEdge::beLeft, TBevelEdge::beTop, TBevelEdge::beRight,
                                     TBevelEdge::beBottom};
// The DrawEdge edge of an inner and an outer bevel, and the BF_ flags of the edges and the kind.
UINT BevelInnerEdge(TBevelCut cut);
UINT BevelOuterEdge(TBevelCut cut);
UINT BevelFlags(TBevelEdges edges, TBevelKind kind, bool ctl3D);

class TWinControl;
class TCustomForm;
class TBasicAction;
class TPopupMenu;

// The context menu is about to show at MousePos (client coordinates; (-1, -1) from the
// keyboard); Handled keeps the control's PopupMenu from showing.
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// dmAutomatic: a left button press on the control starts its drag (BeginDrag, not at once).
enum class TDragMode { dmManual, dmAutomatic };
enum class TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };
class TControl;
struct TDragRec {
  TPoint Pos;  // screen coordinates
  TControl* Source{nullptr};
  TControl* Target{nullptr};
  bool Docking{false};
};
// The class library's drag events; X and Y are client coordinates of the receiving control.
using TStartDragEvent = std::function<void(TObject* Sender)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, Integer X, Integer Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, Integer X, Integer Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, Integer X, Integer Y)>;

class TControl : public TComponent {
  PF_CLASS(TControl)
public:
  TWinControl* GetParent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  // Reads false once the control is freed. Whoever holds it may look on the GUI thread whether
  // the control it was given still exists.
  std::shared_ptr<const bool> AliveFlag() const { return FAlive; }

  Integer GetLeft() const { return FLeft; }
  Integer GetTop() const { return FTop; }
  Integer GetWidth() const { return FWidth; }
  Integer GetHeight() const { return FHeight; }
  void SetLeft(Integer v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(Integer v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(Integer v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(Integer v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(Integer left, Integer top, Integer width, Integer height);
  TRect GetBoundsRect() const { return TRect{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  virtual TRect GetClientRect() const;
  Integer GetClientWidth() const { return GetClientRect().Width(); }
  Integer GetClientHeight() const { return GetClientRect().Height(); }
  void SetClientWidth(Integer v);
  void SetClientHeight(Integer v);
  virtual TPoint ClientToScreen(TPoint p) const;
  virtual TPoint ScreenToClient(TPoint p) const;

  bool GetVisible() const { return FVisible; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible with every parent up to a shown form.
  bool Showing() const;
  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool v);

  // Caption and Text are one value, as in the class library.
  virtual String GetText() const;
  virtual void SetText(const String& text);
  String GetCaption() const { return GetText(); }
  void SetCaption(const String& s) { SetText(s); }

  TFont* GetFont() const { return FFont; }
  void SetFont(const TFont* font) { FFont->Assign(*font); }
  bool GetParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor c);
  bool GetParentColor() const { return FParentColor; }
  void SetParentColor(bool v);
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor c);
  const String& GetHint() const { return FHint; }
  void SetHint(const String& h);
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  // Whether the control follows its parent's ShowHint (true until ShowHint is set).
  bool GetParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool v);
  // ShowHint of the control, or of the first parent it follows.
  bool EffectiveShowHint() const;

  // The three-dimensional look; children with ParentCtl3D follow their parent's.
  bool GetCtl3D() const { return FCtl3D; }
  void SetCtl3D(bool v);
  bool GetParentCtl3D() const { return FParentCtl3D; }
  void SetParentCtl3D(bool v);

  // The menu shown on WM_CONTEXTMENU; without one the message goes on to the parent.
  TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* menu);
  TContextPopupEvent OnContextPopup;

  TBasicAction* GetAction() const { return FAction; }
  void SetAction(TBasicAction* action);

  // The replaceable window method: a subclass keeps the old one and passes messages on to it.
  TWndMethod WindowProc;
  LRESULT Perform(UINT msg, WPARAM w, LPARAM l);
  virtual void Invalidate();
  virtual void Update();
  void Repaint() {
    Invalidate();
    Update();
  }
  void BringToFront();

  TControlStyle ControlStyle;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  // The pointer came onto the control, or left it (CM_MOUSEENTER, CM_MOUSELEAVE).
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  // The wheel, in notches of 120; MousePos in screen coordinates. Unhandled turns go to the parent.
  TMouseWheelEvent OnMouseWheel;
  // A windowed control's size changed (its WM_SIZE), after its window took the new size.
  TNotifyEvent OnResize;
  // Asked before every new size, from SetBounds or from the window being sized (CanResize), then
  // the limits (ConstrainedResize).
  TCanResizeEvent OnCanResize;
  TConstrainedResizeEvent OnConstrainedResize;
  // The wheel that OnMouseWheel leaves unhandled, one call per whole notch in its direction.
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  const TSizeConstraints& GetConstraints() const { return FConstraints; }
  virtual void SetConstraints(const TSizeConstraints& c) { FConstraints = c; }

  // The class library's drag of this control: at once, or once the mouse moves Threshold pixels
  // (the system's drag distance when negative) with the button held. Runs a layer loop until the
  // button comes up (a drop on a control that accepts) or Escape cancels.
  void BeginDrag(bool Immediate, Integer Threshold = -1);
  bool Dragging() const { return FDragging; }
  // The cursor the drag shows over a control that accepts it.
  TCursor GetDragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor v) { FDragCursor = v; }
  TDragMode GetDragMode() const { return FDragMode; }
  void SetDragMode(TDragMode v) { FDragMode = v; }
  TStartDragEvent OnStartDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

  // Actions: the control follows its action's caption, enabled and visible state.
  virtual void ActionChanged();
  virtual void InitiateAction();

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Notification(TComponent* c, TOperation op) override;

  virtual void WndProc(TMessage& msg);
  // Routes a message to the class's handlers; the root falls back to DefaultHandler.
  virtual void Dispatch(TMessage& msg);
  virtual void DefaultHandler(TMessage& msg);

  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y);
  virtual void MouseMove(TShiftState shift, Integer x, Integer y);
  virtual void FontChanged();
  virtual void ColorChanged() {}
  virtual void TextChanged() {}
  virtual void VisibleChanged() {}
  // The cursor shown over the control, and its tooltip.
  virtual void CursorChanged() {}
  virtual void HintChanged() {}
  virtual bool DoMouseWheel(TShiftState shift, Integer delta, TPoint mousePos);
  virtual bool DoMouseWheelDown(TShiftState shift, TPoint mousePos);
  virtual bool DoMouseWheelUp(TShiftState shift, TPoint mousePos);
  virtual bool CanResize(Integer& newWidth, Integer& newHeight);
  virtual void ConstrainedResize(Integer& minWidth, Integer& minHeight, Integer& maxWidth, Integer& maxHeight);
  // CanResize, then the size held to the limits; false keeps the old size.
  bool CheckNewSize(Integer& newWidth, Integer& newHeight);
  virtual void EnabledChanged() {}
  virtual void DoContextPopup(TPoint mousePos, bool& handled);
  // WM_CONTEXTMENU as the class library handles it: OnContextPopup, then the PopupMenu.
  void WMContextMenu(TMessage& msg);
  // Moves the window (controls without one only keep the numbers).
  virtual void BoundsChanged() {}
  // Fires OnResize.
  virtual void Resize();
  // The drag events: raised when a drag of this control starts and ends, and when a drag moves
  // over it or drops on it.
  virtual void DoStartDrag();
  virtual void DoEndDrag(TObject* Target, Integer X, Integer Y);
  virtual void DragOver(TObject* Source, Integer X, Integer Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, Integer X, Integer Y);
  // CM_DRAG as every control answers it: the events above, and itself as the target.
  void CMDrag(TMessage& msg);
  // Client size for a given outer size; windowed controls ask the window.
  virtual TSize NonClientSize() const { return {}; }

  TWinControl* FParent{nullptr};
  Integer FLeft{0}, FTop{0}, FWidth{0}, FHeight{0};
  bool FVisible{true};
  bool FEnabled{true};
  String FText;
  TFont* FFont{nullptr};
  bool FParentFont{true};
  TColor FColor{clWindow};
  bool FParentColor{false};
  TCursor FCursor{crDefault};
  String FHint;
  bool FShowHint{false};
  TBasicAction* FAction{nullptr};
  TPopupMenu* FPopupMenu{nullptr};
  bool FParentShowHint{true};
  bool FCtl3D{true};
  bool FParentCtl3D{true};
  bool FClicked{false};
  bool FSettingFromAction{false};
  bool FDragging{false};
  TCursor FDragCursor{crDrag};
  TDragMode FDragMode{TDragMode::dmManual};
  TSizeConstraints FConstraints;
  Integer FWheelAccumulator{0};
  // Becomes false when the control is freed: code that called out to a handler (which may free
  // the control, as a button's click closing its form does) looks at it before touching the
  // control again.
  std::shared_ptr<bool> FAlive{std::make_shared<bool>(true)};

private:
  void MouseMessage(TMessage& msg);
  friend class TWinControl;
  friend class TControlDragLoop;
};

class TWinControl : public TControl {
  PF_CLASS(TWinControl)
public:
  HWND GetHandle();  // makes the window when there is none
  HWND Handle() { return GetHandle(); }
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded();
  void DestroyHandle();
  void RecreateWnd();

  Integer ControlCount() const { return static_cast<Integer>(FControls.size()); }
  TControl* Controls(Integer i) const { return FControls.at(static_cast<size_t>(i)); }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  bool ContainsControl(const TControl* c) const;

  String GetText() const override;
  TRect GetClientRect() const override;
  TPoint ClientToScreen(TPoint p) const override;
  TPoint ScreenToClient(TPoint p) const override;

  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  Integer GetTabOrder() const;
  void SetTabOrder(Integer order);
  bool TabStop{false};
  // Whether the Tab key stops here: a tab stop that has something to offer the keyboard.
  virtual bool IsTabStop() const { return TabStop; }

  void Invalidate() override;
  void Update() override;

  // The child control at a client point, topmost first: windowless controls only unless
  // `allowWinControls`; disabled ones only with `allowDisabled`.
  TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls = false) const;
  // Paints the windowless children on a DC of this window's client area (their parent's paint).
  void PaintControls(HDC dc, TControl* first = nullptr);

  // Bevels in the non-client area (BevelKind not bkNone: BevelWidth per bevel that is not
  // bvNone on each edge in BevelEdges), inside a border of BorderWidth pixels.
  TBevelCut GetBevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut v);
  TBevelCut GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut v);
  TBevelKind GetBevelKind() const { return FBevelKind; }
  void SetBevelKind(TBevelKind v);
  TBevelEdges GetBevelEdges() const { return FBevelEdges; }
  void SetBevelEdges(TBevelEdges v);
  Integer GetBevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(Integer v);
  Integer GetBorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(Integer v);
  // The brush the control's background is painted with; its colour follows Color, a colour set
  // on the brush itself holds until Color changes.
  TBrush* GetBrush() const;
  // Painting through an off-screen picture; the layer's surfaces already do, so it is kept only.
  bool DoubleBuffered{false};

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // The window the class library makes for this control: class name, styles, initial bounds.
  struct TCreateParams {
    String WinClassName;
    String Caption;
    DWORD Style{0};
    DWORD ExStyle{0};
    UINT ClassStyle{0};
    Integer X{0}, Y{0}, Width{0}, Height{0};
    HWND WndParent{nullptr};
  };

  void InitiateAction() override;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void NameChanged() override;

  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // After the window exists: give it the control's state (text, font, enabled...).
  virtual void CreateHandleDone() {}

  void WndProc(TMessage& msg) override;
  void Dispatch(TMessage& msg) override;
  void DefaultHandler(TMessage& msg) override;

  virtual bool DoKeyDown(Word& key, TShiftState shift);
  virtual bool DoKeyPress(Char& key);
  virtual bool DoKeyUp(Word& key, TShiftState shift);
  virtual void KeyDown(Word& key, TShiftState shift);
  virtual void KeyPress(Char& key);
  virtual void KeyUp(Word& key, TShiftState shift);
  // True when the control handles the key itself (an edit's arrows, a memo's Enter); dialog
  // keys it does not want go to the form (Enter to the default button, Esc to the cancel one).
  virtual bool WantsKey(Word key) const;
  virtual void DoEnter();
  virtual void DoExit();

  void FontChanged() override;
  void ColorChanged() override;
  void TextChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void BoundsChanged() override;
  void CursorChanged() override;
  // WM_SETCURSOR: answers it (true) when the screen's or a control's cursor is not the default.
  bool SetCursorMessage(TMessage& msg);
  void HintChanged() override;
  TSize NonClientSize() const override;

  void UpdateBounds();  // reads the bounds back from the window
  // WM_PAINT of a custom-drawn window: BeginPaint, PaintWindow, the windowless children, EndPaint.
  void PaintHandler(TMessage& msg);
  virtual void PaintWindow(HDC dc);
  // The frame changed (bevels, border width): the window computes its client area again.
  void FrameChanged();
  void Loaded() override;

  HWND FHandle{nullptr};
  std::vector<TControl*> FControls;  // children in tab order (creation order until changed)

  TBevelCut FBevelInner{TBevelCut::bvRaised};
  TBevelCut FBevelOuter{TBevelCut::bvLowered};
  TBevelKind FBevelKind{TBevelKind::bkNone};
  TBevelEdges FBevelEdges{kAllBevelEdges};
  Integer FBevelWidth{1};
  Integer FBorderWidth{0};
  TBrush* FBrush{nullptr};
  mutable TColor FBrushFollows{clNone};  // the Color the brush last took

private:
  LRESULT MainWndProc(HWND h, UINT msg, WPARAM w, LPARAM l);
  bool IsControlMouseMsg(TMessage& msg);
  void NcCalcSizeBevels(TMessage& msg);
  void NcPaintBevels();
  void ApplyFontAndColor();
  bool FCreating{false};
};

// A canvas bound to a control: its DC is the control's client DC (for a windowless control, its
// parent's, moved to the control and clipped to it), made on first use and freed when the
// application goes idle, when the control's window goes or by FreeHandle.
class TControlCanvas : public TCanvas {
  PF_CLASS(TControlCanvas)
public:
  TControl* GetControl() const { return FControl; }
  void SetControl(TControl* control);
  // Lets the DC go (unless a paint handed it in with SetHandle).
  void FreeHandle();
  // Frees the DCs of every control canvas that is not locked (the idle pass), or of one control.
  static void FreeDeviceContexts();
  static void FreeDeviceContextsOf(TControl* control);

protected:
  void Destroy() override;
  void CreateHandle() override;

private:
  TControl* FControl{nullptr};
  HDC FDeviceContext{nullptr};
  HWND FWindowHandle{nullptr};
};

class TCustomControl : public TWinControl {
  PF_CLASS(TCustomControl)
public:
  TCanvas* GetCanvas() const { return FCanvas; }
  TNotifyEvent OnPaint;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Dispatch(TMessage& msg) override;
  void PaintWindow(HDC dc) override;
  virtual void Paint();
  TControlCanvas* FCanvas{nullptr};
};

// A control without a window of its own: its parent paints it (PaintControls) and hands it the
// mouse messages over it (the capture while a button is down on it).
class TGraphicControl : public TControl {
  PF_CLASS(TGraphicControl)
public:
  TCanvas* GetCanvas() const { return FCanvas; }
  void Invalidate() override;
  void Update() override;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Dispatch(TMessage& msg) override;
  void BoundsChanged() override;
  void VisibleChanged() override;
  virtual void Paint() {}
  TControlCanvas* FCanvas{nullptr};
};

// The form a control lies on (nullptr when none).
TCustomForm* GetParentForm(const TControl* control);
// The control of a window made by the class library (nullptr for other windows).
TWinControl* FindControl(HWND h);

}  // namespace pf
