#pragma once
// The layer's themes switch as a user changes it: every window hears WM_THEMECHANGED.

#include "platform/gdi/Theme.h"
#include "platform/user/User.h"

namespace pf::testing {

// Turns visual themes on or off; when that changes anything, every live window (children
// included) gets WM_THEMECHANGED, sent on the GUI thread.
void SetThemesActive(bool active);

}  // namespace pf::testing
