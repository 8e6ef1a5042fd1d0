#include "listview/EmberTaskPanelForm.h"

#include "platform/gdi/Theme.h"

namespace ember {

namespace {

// Every windowed control below `Control`, depth first, redrawn without erasing.
void InvalidateTree(TWinControl* Control) {
  if (Control->HandleAllocated()) InvalidateRect(Control->Handle(), nullptr, false);
  for (Integer i = 0; i < Control->ControlCount(); ++i)
    if (auto* child = dynamic_cast<TWinControl*>(Control->Controls(i))) InvalidateTree(child);
}

}  // namespace

void TEmberTaskPanelForm::Create(TComponent* AOwner) {
  // The theme manager must exist before the inherited constructor can make the window.
  FThemes = common::TCommonThemeManager::New(this);
  TCustomForm::Create(AOwner);
  FThemed = true;
  DoubleBuffered = true;
}

void TEmberTaskPanelForm::Destroy() {
  FreeAndNil(FThemes);
  TCustomForm::Destroy();
}

bool TEmberTaskPanelForm::GetThemed() const {
  if (IsLoading() || !FThemed) return false;
  return common::CommonThemesInUse();
}

void TEmberTaskPanelForm::SetThemed(bool Value) {
  if (Value == FThemed) return;
  FThemed = Value;
  FThemes->ThemesFree();
  FThemes->ThemesLoad();
  if (!HandleAllocated()) return;
  // Hiding and showing again (or the reverse) makes the window drop what it painted.
  SetVisible(!GetVisible());
  SetVisible(!GetVisible());
  InvalidateRect(Handle(), nullptr, true);
}

void TEmberTaskPanelForm::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  if (Designing()) return;
  Params.Style |= WS_CHILD;
  if (GetParent() && GetParent()->HandleAllocated()) Params.WndParent = GetParent()->Handle();
}

void TEmberTaskPanelForm::CreateWnd() {
  TCustomForm::CreateWnd();
  FThemes->ThemesLoad();
}

void TEmberTaskPanelForm::Loaded() {
  TCustomForm::Loaded();
  if (!Designing()) SetBorderStyle(TFormBorderStyle::bsNone);
}

void TEmberTaskPanelForm::DoShow() {
  TCustomForm::DoShow();
  // The group that hosts the form gives it its size.
  SetWidth(0);
  SetHeight(0);
}

void TEmberTaskPanelForm::EraseBackground(HDC DC) {
  TRect r = GetClientRect();
  HTHEME theme = FThemes->GetExplorerBarTheme();
  if (GetThemed() && !Designing() && theme &&
      DrawThemeBackground(theme, DC, EBP_NORMALGROUPBACKGROUND, 0, &r, nullptr) == THEME_S_OK)
    return;
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(GetColor())));
  FillRect(DC, &r, brush);
  DeleteObject(brush);
}

void TEmberTaskPanelForm::Dispatch(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_DESTROY:
      TCustomForm::Dispatch(Msg);
      // A form freed while its parent lives loses its window after the theme manager is gone.
      if (FThemes) FThemes->ThemesFree();
      return;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(Msg.WParam));
      Msg.Result = 1;
      return;
    case WM_HSCROLL:
    case WM_VSCROLL:
      TCustomForm::Dispatch(Msg);
      InvalidateTree(this);
      return;
    case WM_THEMECHANGED:
      DefaultHandler(Msg);
      FThemes->ThemesFree();
      FThemes->ThemesLoad();
      return;
    default:
      TCustomForm::Dispatch(Msg);
  }
}

}  // namespace ember
