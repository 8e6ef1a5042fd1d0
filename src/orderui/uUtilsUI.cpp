#include "orderui/uUtilsUI.h"

#include "platform/classlib/Forms.h"
#include "platform/classlib/PageControl.h"

namespace order {

HWND GetOwnerWindow() {
  if (Screen && Screen->ActiveForm()) return Screen->ActiveForm()->Handle();
  // The application object has no window of its own here; without a main form the thread's
  // active window owns the box.
  if (Application && Application->GetMainForm()) return Application->GetMainForm()->Handle();
  return GetActiveWindow();
}

void ShowInfo(const String& Text) { MessageBox(GetOwnerWindow(), Text, u"Информация", MB_OK | MB_ICONINFORMATION); }

void ShowInfoFmt(StringView Fmt, std::initializer_list<TVarRec> Args) { ShowInfo(Format(Fmt, Args)); }

void ShowError(const String& Text) {
  MessageBox(GetOwnerWindow(), Text, u"Ошибка", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void ShowErrorFmt(StringView Fmt, std::initializer_list<TVarRec> Args) { ShowError(Format(Fmt, Args)); }

void BeginWait() {
  if (Screen) Screen->SetCursor(crHourGlass);
}

void EndWait() {
  if (Screen) Screen->SetCursor(crDefault);
}

void HidePageTabs(TPageControl* Pages) {
  for (Integer i = 0; i < Pages->PageCount(); ++i) Pages->Pages(i)->SetTabVisible(false);
  Pages->SetTabPosition(TTabPosition::tpTop);
  Pages->SetStyle(TTabStyle::tsButtons);
  Pages->SetActivePageIndex(0);
}

}  // namespace order
