// A window with a list view of three photos, the second selected, shown on the real display until
// it is killed (or a minute passes): what a screen reader looks at in run.sh.
#include "common/CommonUnits.h"
#include "listview/EmberListview.h"
#include "platform/classlib/Forms.h"
#include "platform/user/User.h"

using namespace ember;

int main(int argc, char** argv) {
  TProgramSession session(argc, argv, common::RegisterCommonUnits);
  TForm* form = TForm::New(nullptr);
  form->SetCaption(u"Заказ фотографий");
  form->SetBounds(40, 40, 420, 320);
  TEmberListview* list = TEmberListview::New(form);
  list->SetParent(form);
  list->SetBounds(10, 10, 400, 300);
  TEmberGroup* prints = list->GetGroups()->Add();
  prints->SetCaption(u"Отпечатки");
  for (const char16_t* name : {u"beach.jpg", u"dog.jpg", u"cat.jpg"}) prints->GetItems()->Add()->SetCaption(name);
  prints->GetItem(1)->SetSelected(true);
  prints->GetItem(1)->SetFocused(true);
  form->Show();
  SetTimer(nullptr, 0, 60000, [](HWND, UINT, UINT_PTR, DWORD) { Application->Terminate(); });
  Application->Run();
  form->Free();
  return 0;
}
