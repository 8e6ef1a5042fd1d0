// The list view's mouse, keyboard and wheel input: focus, selection, check boxes, group
// expansion, rubber band and drag start, hot tracking, gestures and scrolling.

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/classlib/ExtCtrls.h"

namespace ember {

// ---- The edit manager's auto-edit timer: a click on the single selected item edits it ----
void TEmberEditManager::StartAutoEditTimer(TPoint ClickPt) {
  StopAutoEditTimer();
  if (!FEnabled) return;
  FAutoEditStartClickPt = ClickPt;
  FTimer = TTimer::New(nullptr);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(static_cast<UINT>(std::max(1, FAutoEditDelayTime)));
  FTimer->OnTimer = [this](TObject*) {
    StopAutoEditTimer();
    TCustomEmberListview* lv = OwnerListview();
    if (TEmberItem* item = lv ? lv->GetSelection()->GetFocusedItem() : nullptr) BeginEdit(item, nullptr);
  };
  FTimer->SetEnabled(true);
  FTimerRunning = true;
}

void TEmberEditManager::StopAutoEditTimer() {
  FTimerRunning = false;
  // Safe from inside the timer's own tick: the tick touches nothing of the timer afterwards.
  FreeAndNil(FTimer);
}

// In-place editors come with the editing unit; without one nothing is shown.
void TEmberEditManager::BeginEdit(TEmberItem*, TEmberColumn*) {}
void TEmberEditManager::EndEdit() {
  StopAutoEditTimer();
  FEditing = false;
}

}  // namespace ember
