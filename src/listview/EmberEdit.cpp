#include "listview/EmberEdit.h"

#include "listview/EmberCollections.h"
#include "listview/EmberColumns.h"
#include "listview/EmberGroups.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Menus.h"

namespace ember {

namespace {

// A clicked point counts for the editor when it lies in the edit control's bounds.
TPoint ClientPointOf(HWND from, HWND to, LPARAM l) {
  TPoint p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
  if (from != to) {
    ClientToScreen(from, &p);
    ScreenToClient(to, &p);
  }
  return p;
}

// Text measured for an empty caption: it only gives an empty editor a minimum size.
constexpr const char16_t* kEmptyMeasure = u"W";

}  // namespace

// ---- The edit manager ----

void TEmberEditManager::Create(TCustomEmberListview* AOwner) {
  TEmberOwnedPersistent::Create(AOwner);
  FFont = TFont::New();
}

void TEmberEditManager::Destroy() {
  // A control freed during an edit: the edit is cancelled and its loop must not touch it again.
  if (FEditing) {
    FAbandoned = true;
    CloseEditor();
  }
  *FAlive = false;
  StopAutoEditTimer();
  FreeAndNil(FTimer);
  FreeAndNil(FFont);
  TEmberOwnedPersistent::Destroy();
}

void TEmberEditManager::SetFont(const TFont* Value) {
  if (Value) FFont->Assign(*Value);
}

void TEmberEditManager::SetEnabled(bool Value) {
  FEnabled = Value;
  if (FEditing) CancelEdit();
  StopAutoEditTimer();
}

void TEmberEditManager::StartAutoEditTimer(TPoint ClickPt) {
  StopAutoEditTimer();
  if (!FEnabled) return;
  FAutoEditStartClickPt = ClickPt;
  if (!FTimer) {
    FTimer = TTimer::New(nullptr);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this](TObject*) {
      StopAutoEditTimer();
      TCustomEmberListview* lv = OwnerListview();
      if (TEmberItem* focused = lv ? lv->GetSelection()->GetFocusedItem() : nullptr) BeginEdit(focused, nullptr);
    };
  }
  FTimer->SetInterval(static_cast<Cardinal>(std::max<Integer>(1, FAutoEditDelayTime)));
  FTimer->SetEnabled(true);
  FTimerRunning = true;
}

void TEmberEditManager::StopAutoEditTimer() {
  if (FTimer) FTimer->SetEnabled(false);
  FTimerRunning = false;
}

void TEmberEditManager::EndEdit() {
  StopAutoEditTimer();
  FAppHooked = false;
  FEditFinished = true;
}

void TEmberEditManager::CancelEdit() {
  CloseEditor();
  EndEdit();
}

void TEmberEditManager::ElementFreeing(TEmberCollectionItem* Element) {
  if (Element == FTabMoveFocusItem) FTabMoveFocusItem = nullptr;
  if (Element == FTabMoveFocusColumn) FTabMoveFocusColumn = nullptr;
  if (FEditing && (Element == FEditItem || Element == FEditColumn)) {
    // The edit cannot write into an element that is going: it ends without accepting.
    CancelEdit();
    FEditColumn = nullptr;
  }
}

// Closes the editor once: hides it, tells the program, frees the edit control.
void TEmberEditManager::CloseEditor() {
  if (FEditorClosed || !FEditor) return;
  FEditorClosed = true;
  FEditor->Hide();
  TCustomEmberListview* lv = OwnerListview();
  if (lv && FEditItem && !FAbandoned) lv->DoItemEditEnd(FEditItem);
  FEditor->Finalize();
  FEditItem = nullptr;
  FEditFinished = true;
}

// The next cell of a run of edits is one the program lets edit, so the run goes on past refused items.
TEmberItem* TEmberEditManager::NextEditableItem(TEmberItem* From, bool Forward) const {
  TEmberGroups* groups = OwnerListview()->GetGroups();
  return Forward ? groups->NextEditableItem(From) : groups->PrevEditableItem(From);
}

void TEmberEditManager::BeginEdit(TEmberItem* Item, TEmberColumn* Column) {
  TCustomEmberListview* lv = OwnerListview();
  if (GetEditing() || !lv || lv->Destroying()) return;
  FEditFinished = false;
  if (!Item || !FEnabled) return;
  Item->MakeVisible(TEmberMakeVisiblePos::emvAuto);
  FEditItem = Item;
  bool allow = true;
  Integer columnIndex = Column ? Column->GetIndex() : 0;
  lv->DoItemEditBegin(Item, columnIndex, allow);
  TEmberColumns* columns = lv->GetHeader()->GetColumns();
  const bool report = lv->GetView() == TEmberListStyle::elsReport || lv->GetView() == TEmberListStyle::elsReportThumb;
  if (report && columnIndex >= 0 && columnIndex < columns->GetCount()) columns->GetColumn(columnIndex)->MakeVisible(TEmberMakeVisiblePos::emvAuto);
  else columnIndex = 0;
  FEditColumn = columnIndex < columns->GetCount() ? columns->GetColumn(columnIndex) : nullptr;
  if (!allow) {
    FEditItem = nullptr;
    FEditColumn = nullptr;
    return;
  }
  FAppHooked = true;
  FEditor = nullptr;
  lv->DoItemCreateEditor(Item, FEditor);
  if (FEditor) {
    HWND previous = GetFocus();
    FEditorClosed = false;
    FAbandoned = false;
    FEditor->Initialize(Item, FEditColumn);
    FEditing = true;
    Item->Invalidate(false);
    FEditor->Show();
    std::shared_ptr<bool> alive = FAlive;
    if (FEditor->SetEditorFocus()) RunLoop();
    // The control may have gone while the loop ran; then nothing of it is touched.
    if (!*alive) return;
    FAppHooked = false;
    CloseEditor();
    FEditing = false;
    if (previous && IsWindow(previous) && IsWindowVisible(previous) && IsWindowEnabled(previous)) {
      TWinControl* c = FindControl(previous);
      if (!c || c->CanFocus()) SetFocus(previous);
    }
  } else {
    FAppHooked = false;
    FEditItem = nullptr;
  }
  FEditor = nullptr;
  FEditColumn = nullptr;
}

void TEmberEditManager::RunLoop() {
  // A message of the loop may free the control and this manager with it: `alive` tells.
  std::shared_ptr<bool> alive = FAlive;
  MSG msg;
  while (!FEditFinished) {
    if (!GetMessage(&msg, nullptr, 0, 0)) {
      // Quitting the program ends the edit without accepting, and the quit goes on.
      CancelEdit();
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (HandleLoopMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessage(&msg);
    if (!*alive) return;
  }
}

// Answers true when the message is used up by the edit.
bool TEmberEditManager::HandleLoopMessage(MSG& Msg) {
  TCustomEmberListview* lv = OwnerListview();
  HWND control = lv->Handle();
  switch (Msg.message) {
    case WM_KEYDOWN:
      if (Msg.wParam == VK_ESCAPE) {
        CloseEditor();
        return false;
      }
      if ((Msg.wParam == 'A' || Msg.wParam == 'a') && GetKeyState(VK_CONTROL) < 0) {
        FEditor->SelectAll();
        return true;
      }
      if ((Msg.wParam == VK_UP || Msg.wParam == VK_DOWN) && FArrowMoveFocus) {
        TEmberItem* from = FEditItem;
        // Refused, the editor stays and the key is the editor's like any other.
        if (!FEditor->AcceptEdit()) return false;
        FTabMoveFocusItem = NextEditableItem(from, Msg.wParam == VK_DOWN);
        FTabMoveFocusColumn = nullptr;
        EndEdit();
        PostMessage(control, WM_EMBER_EDITNEXT, 0, 0);
        return true;
      }
      if (Msg.wParam == VK_TAB && FTabMoveFocus) {
        TEmberItem* from = FEditItem;
        TEmberColumn* column = FEditColumn;
        if (!FEditor->AcceptEdit()) return false;
        const bool back = GetAsyncKeyState(VK_CONTROL) < 0;
        TEmberHeader* header = lv->GetHeader();
        const auto& visible = header->VisibleColumns();
        TEmberColumn* nextColumn = nullptr;
        if (FTabEditColumns && column) {
          auto it = std::find(visible.begin(), visible.end(), column);
          if (it != visible.end()) {
            if (!back && it + 1 != visible.end()) nextColumn = *(it + 1);
            if (back && it != visible.begin()) nextColumn = *(it - 1);
          }
        }
        if (nextColumn) {
          FTabMoveFocusItem = from;
          FTabMoveFocusColumn = nextColumn;
        } else {
          FTabMoveFocusItem = NextEditableItem(from, !back);
          FTabMoveFocusColumn = FTabEditColumns && !visible.empty() ? (back ? visible.back() : visible.front()) : nullptr;
        }
        EndEdit();
        PostMessage(control, WM_EMBER_EDITNEXT, 0, 0);
        return true;
      }
      return false;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      if (FEditor->PtInEditControl(ClientPointOf(Msg.hwnd, control, Msg.lParam))) return false;
      if (!FEditor->AcceptEdit()) return true;
      CloseEditor();
      return false;
    }
    case WM_MOUSEWHEEL:
    case CM_MOUSEWHEEL:
      CloseEditor();
      return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      // Dragging a window by its caption keeps the edit; anything else of the frame ends it.
      if (SendMessage(Msg.hwnd, WM_NCHITTEST, 0, Msg.lParam) != HTCAPTION) CloseEditor();
      return false;
    case WM_ACTIVATEAPP:
      if (FAppHooked && Msg.wParam == 0) PostMessage(control, WM_EMBER_EDITAPPDEACTIVATED, 0, 0);
      return false;
    case WM_EMBER_EDITAPPDEACTIVATED:
      if (Msg.hwnd == control) CloseEditor();
      return false;
    default:
      return false;
  }
}

// ---- Editors ----

void TEmberMemo::CreateParams(TCreateParams& Params) {
  TMemo::CreateParams(Params);
  Params.Style |= ES_CENTER;
}

bool TEmberBaseEditor::ImplementsInterface(REFIID iid, void** out) {
  if (iid != IEmberCellEditor::Iid) return false;
  *out = static_cast<IEmberCellEditor*>(this);
  return true;
}

HWND TEmberBaseEditor::GetHandle() { return FEditor && FEditor->HandleAllocated() ? FEditor->Handle() : nullptr; }
void TEmberBaseEditor::Hide() {
  if (FEditor) FEditor->SetVisible(false);
}
void TEmberBaseEditor::Show() {
  if (FEditor) FEditor->SetVisible(true);
}
bool TEmberBaseEditor::PtInEditControl(TPoint P) {
  return FEditor && PtInRectEx(FEditor->GetBoundsRect(), P);
}
void TEmberBaseEditor::SelectAll() {
  if (auto* e = dynamic_cast<TCustomEdit*>(FEditor)) e->SelectAll();
}

void TEmberBaseEditor::GetEditText(TEmberItem* Item, TEmberColumn* Column, String& Text) {
  Text.clear();
  TCustomEmberListview* lv = Item->GetOwnerListview();
  WideString caption;
  if (lv) lv->DoItemGetEditCaption(Item, Column, caption);
  Text = caption;
  if (Text.empty()) Text = Column ? Item->GetCaptions(Column->GetIndex()) : Item->GetCaption();
}

void TEmberBaseEditor::Initialize(TEmberItem* Item, TEmberColumn* Column) {
  FItem = Item;
  FEditColumn = Column;
  TCustomEmberListview* lv = Item->GetOwnerListview();
  TWinControl* editor = nullptr;
  CreateEditor(editor, Column, lv);
  FEditor = editor;
  auto* edit = dynamic_cast<TCustomEdit*>(editor);
  if (edit) {
    String text;
    GetEditText(Item, Column, text);
    edit->SetText(text);
    edit->OnKeyDown = [this](TObject*, Word& Key, TShiftState) {
      FModified = true;
      if (Key == VK_RETURN) {
        Key = 0;
        AcceptEdit();
      } else if (Key == VK_F2) {
        SelectAll();
      } else if (GetHandle()) {
        PostMessage(GetHandle(), WM_EMBER_EDITRESIZE, 0, 0);
      }
    };
  }
  if (!lv->GetThemed()) {
    editor->SetCtl3D(false);
    editor->SetBevelInner(TBevelCut::bvNone);
    editor->SetBevelOuter(TBevelCut::bvNone);
  }
  FOldWndProc = editor->WindowProc;
  editor->WindowProc = [this](TMessage& Msg) { ControlWndHookProc(Msg); };
  FHooked = true;
  editor->DoubleBuffered = true;
  editor->SetColor(lv->GetEditManager()->GetColor());
  editor->GetFont()->Assign(*lv->GetEditManager()->GetFont());
  Item->ItemRectArray(Column, lv->GetScratchCanvas(), FRectArray);
  Position();
  if (HWND h = GetHandle()) SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_TOPMOST);
}

void TEmberBaseEditor::ControlWndHookProc(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_CONTEXTMENU: {
      TPopupMenu* menu = nullptr;
      if (TCustomEmberListview* lv = FItem ? FItem->GetOwnerListview() : nullptr) lv->DoItemGetEditMenu(this, menu);
      if (menu) menu->Popup(GET_X_LPARAM(Msg.LParam), GET_Y_LPARAM(Msg.LParam));
      else if (FOldWndProc) FOldWndProc(Msg);
      Msg.Result = 1;
      return;
    }
    case WM_CHAR:
      // A Tab typed into the editor is a space: Tab belongs to moving the edit.
      if (Msg.WParam == VK_TAB) Msg.WParam = u' ';
      break;
    case WM_EMBER_EDITRESIZE:
      Position();
      break;
    default:
      break;
  }
  if (FOldWndProc) FOldWndProc(Msg);
}

void TEmberBaseEditor::Position() {
  auto* edit = dynamic_cast<TCustomEdit*>(FEditor);
  if (!edit) return;
  TRect r;
  CalcEditorRect(edit->GetText(), r);
  FEditor->SetBounds(r.Left, r.Top, r.Width(), r.Height());
}

void TEmberBaseEditor::MeasureText(const String& Text, UINT Flags, TSize Grow, TRect& R) {
  TCustomEmberListview* lv = FItem->GetOwnerListview();
  TRect label = lv->GetScrollbars()->MapViewRectToWindowRect(FRectArray.LabelRect);
  label = TRect{label.Left + 4, label.Top + 2, label.Right - 4, label.Bottom - 2};
  if (label.Right < label.Left) label.Right = label.Left;
  R = label;
  const String measured = Text.empty() ? String(kEmptyMeasure) : Text;
  HDC dc = GetDC(GetHandle() ? GetHandle() : lv->Handle());
  HGDIOBJ old = SelectObject(dc, GetEditorFont()->GetHandle());
  DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &R, Flags | DT_CALCRECT);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(GetHandle() ? GetHandle() : lv->Handle(), dc);
  R = TRect{R.Left - Grow.cx, R.Top - Grow.cy, R.Right + Grow.cx, R.Bottom + Grow.cy};
  R.Right = std::min(R.Right, lv->GetClientWidth() - tm.tmAveCharWidth + 12);
  R.Bottom = std::min(R.Bottom, lv->GetClientHeight() - 2);
  if (R.Right < R.Left) R.Right = R.Left;
  if (R.Bottom < R.Top) R.Bottom = R.Top;
}

bool TEmberBaseEditor::AcceptEdit() {
  TCustomEmberListview* lv = FItem ? FItem->GetOwnerListview() : nullptr;
  if (!lv) return false;
  Variant value;
  GetText(value);
  bool accept = true;
  lv->DoItemEdited(FItem, value, accept);
  if (accept) {
    if (FEditColumn) FItem->SetCaptions(FEditColumn->GetIndex(), value.ToString());
    else FItem->SetCaption(value.ToString());
    lv->GetEditManager()->EndEdit();
    lv->DoItemEditAccepted(FItem);
  }
  return accept;
}

bool TEmberBaseEditor::SetEditorFocus() {
  if (!FEditor || !FEditor->CanFocus()) return false;
  FEditor->SetFocus();
  SelectAll();
  return true;
}

void TEmberBaseEditor::Finalize() {
  FEditColumn = nullptr;
  if (!FEditor) return;
  if (FHooked) FEditor->WindowProc = FOldWndProc;
  FHooked = false;
  TWinControl* editor = FEditor;
  FEditor = nullptr;
  editor->Free();
}

void TEmberStringEditor::CreateEditor(TWinControl*& Editor, TEmberColumn*, TWinControl* Parent) {
  TEmberEdit* e = TEmberEdit::New(nullptr);
  e->SetVisible(false);
  e->SetParent(Parent);
  e->HandleNeeded();
  Editor = e;
}
void TEmberStringEditor::CalcEditorRect(const String& Text, TRect& R) {
  MeasureText(Text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, TSize{6, 2}, R);
}
TFont* TEmberStringEditor::GetEditorFont() { return FEditor->GetFont(); }
void TEmberStringEditor::GetText(Variant& Value) { Value = Variant(FEditor->GetText()); }

void TEmberMemoEditor::CreateEditor(TWinControl*& Editor, TEmberColumn*, TWinControl* Parent) {
  TEmberMemo* m = TEmberMemo::New(nullptr);
  m->SetVisible(false);
  m->SetParent(Parent);
  m->HandleNeeded();
  Editor = m;
}
void TEmberMemoEditor::CalcEditorRect(const String& Text, TRect& R) {
  MeasureText(Text, DT_CENTER | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX, TSize{12, 3}, R);
}
TFont* TEmberMemoEditor::GetEditorFont() { return FEditor->GetFont(); }
void TEmberMemoEditor::GetText(Variant& Value) { Value = Variant(FEditor->GetText()); }

}  // namespace ember
