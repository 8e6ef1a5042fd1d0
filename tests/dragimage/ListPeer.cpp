// A window with a list view in the report view, its header draggable and its items draggable,
// shown on the real display until it is killed (or two minutes pass). It prints where run.sh must
// press: the screen points of the first selected item and of the header's second column.
#include <cstdio>

#include "common/CommonUnits.h"
#include "listview/EmberListview.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Strings.h"
#include "platform/user/User.h"

using namespace ember;

int main(int argc, char** argv) {
  TProgramSession session(argc, argv, common::RegisterCommonUnits);
  TForm* form = TForm::New(nullptr);
  form->SetCaption(u"drag image peer");
  form->SetBounds(0, 0, 640, 480);
  TEmberListview* list = TEmberListview::New(form);
  list->SetParent(form);
  list->SetBounds(0, 0, 640, 480);
  list->SetView(TEmberListStyle::elsReport);
  list->GetSelection()->SetMultiSelect(true);
  list->GetSelection()->SetFullRowSelect(true);
  list->GetDragManager()->SetEnabled(true);
  TEmberHeader* header = list->GetHeader();
  header->SetVisible(true);
  header->SetDraggable(true);
  for (const char16_t* caption : {u"Photo", u"Size", u"Prints"}) {
    TEmberColumn* c = header->GetColumns()->Add();
    c->SetCaption(caption);
    c->SetWidth(150);
  }
  TEmberGroup* group = list->GetGroups()->Add();
  const char16_t* const names[] = {u"beach.jpg", u"dog.jpg", u"cat.jpg", u"garden.jpg", u"bridge.jpg", u"lake.jpg"};
  int n = 0;
  for (const char16_t* name : names) {
    TEmberItem* item = group->GetItems()->Add();
    item->SetCaptions(0, name);
    item->SetCaptions(1, n % 2 ? u"10 x 15" : u"13 x 18");
    item->SetCaptions(2, pf::IntToStr(n + 1));
    ++n;
  }
  group->GetItem(1)->SetSelected(true);
  group->GetItem(2)->SetSelected(true);
  group->GetItem(1)->SetFocused(true);
  form->Show();
  Application->ProcessMessages();
  const TRect item = list->GetScrollbars()->MapViewRectToWindowRect(group->GetItem(1)->GetDisplayRect());
  TPoint itemAt{item.Left + 30, (item.Top + item.Bottom) / 2};
  const TRect column = header->GetColumns()->GetColumn(1)->GetDisplayRect();
  TPoint columnAt{(column.Left + column.Right) / 2, (column.Top + column.Bottom) / 2};
  ClientToScreen(list->Handle(), &itemAt);
  ClientToScreen(list->Handle(), &columnAt);
  std::printf("ITEM %d %d\nCOLUMN %d %d\n", itemAt.X, itemAt.Y, columnAt.X, columnAt.Y);
  std::fflush(stdout);
  SetTimer(nullptr, 0, 120000, [](HWND, UINT, UINT_PTR, DWORD) { Application->Terminate(); });
  Application->Run();
  form->Free();
  return 0;
}
