#pragma once
// The order core's routines that need windows: message boxes with the program's fixed captions,
// the hourglass, and the wizard look of a page control.

#include <initializer_list>

#include "platform/rtl/Format.h"
#include "platform/user/User.h"

namespace pf {
class TPageControl;
}

namespace order {

using namespace pf;

// The owner of the message boxes: the screen's active form; else the application's main form;
// else the thread's active window.
HWND GetOwnerWindow();

// "Информация", OK and the information icon.
void ShowInfo(const String& Text);
void ShowInfoFmt(StringView Fmt, std::initializer_list<TVarRec> Args);
// "Ошибка", OK and the error icon; task-modal, so every window of the program waits for it.
void ShowError(const String& Text);
void ShowErrorFmt(StringView Fmt, std::initializer_list<TVarRec> Args);

// The screen's cursor becomes the hourglass, and the default cursor again.
void BeginWait();
void EndWait();

// BeginWait for one scope; EndWait even when the work raises.
class TWaitCursor {
public:
  TWaitCursor() { BeginWait(); }
  ~TWaitCursor() { EndWait(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// Hides every page's tab, puts the tab row on top in the button style and shows the first page:
// the pages then show one at a time, as the steps of a wizard.
void HidePageTabs(TPageControl* Pages);

}  // namespace order
