#include "platform/user/ThemeSwitch.h"

#include <vector>

#include "platform/user/Window_p.h"

namespace pf::testing {

void SetThemesActive(bool active) {
  if (IsThemeActive() == active) return;
  gdi::SetThemeSwitch(active);
  // A handler may destroy windows (recreating a control's window): the handles are taken first and
  // each is checked before it is told.
  std::vector<HWND> handles;
  for (const auto& [id, wnd] : layer::Windows()) handles.push_back(wnd->Handle());
  for (HWND h : handles)
    if (IsWindow(h)) SendMessage(h, WM_THEMECHANGED, 0, 0);
}

}  // namespace pf::testing
