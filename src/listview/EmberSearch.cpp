#include "listview/EmberSearch.h"

#include "listview/EmberControl.h"
#include "platform/user/User.h"

namespace ember {

void TEmberIncrementalSearchManager::Destroy() {
  // Going away: the timer is released quietly, there is no one left to tell of a failure.
  if (FhTimer) KillTimer(nullptr, FhTimer);
  FhTimer = 0;
  FState -= TEmberIncrementalSearchState::eissTimerRunning;
  TEmberOwnedPersistent::Destroy();
}

// The timer runs on the layer's clock with no window; its callback ends the search.
void TEmberIncrementalSearchManager::StartTimer() {
  if (!FEnabled || TimerRunning()) return;
  FhTimer = SetTimer(nullptr, 0, static_cast<UINT>(FResetTime > 0 ? FResetTime : 0),
                     [this](HWND, UINT, UINT_PTR, DWORD) { ResetSearch(); });
  if (FhTimer) FState += TEmberIncrementalSearchState::eissTimerRunning;
}

void TEmberIncrementalSearchManager::EndTimer() {
  if (!TimerRunning()) return;
  if (!KillTimer(nullptr, FhTimer)) throw Exception(EmberSearchTimerError);
  FhTimer = 0;
  FState -= TEmberIncrementalSearchState::eissTimerRunning;
}

void TEmberIncrementalSearchManager::ClearSearch() {
  FSearchItem = nullptr;
  FNextSearchItem = nullptr;
}

void TEmberIncrementalSearchManager::ResetSearch() {
  FSearchBuffer.clear();
  if (FStart != TCoolIncrementalSearchStart::eissLastHit) ClearSearch();
  FState -= TEmberIncrementalSearchState::eissSearching;
  EndTimer();
}

TEmberItem* TEmberIncrementalSearchManager::FirstSearchItem() const {
  TEmberGroups* groups = OwnerListview() ? OwnerListview()->GetGroups() : nullptr;
  if (!groups) return nullptr;
  const bool back = FDirection == TEmberIncrementalSearchDir::eisdBackward;
  switch (FItemType) {
    case TEmberIncrementalSearchItemType::eisiAll:
      return back ? groups->LastItem() : groups->FirstItem();
    case TEmberIncrementalSearchItemType::eisiInitializedOnly:
      return back ? groups->LastInitializedItem() : groups->FirstInitializedItem();
    case TEmberIncrementalSearchItemType::eisiVisible:
      break;
  }
  return back ? groups->LastVisibleItem() : groups->FirstVisibleItem();
}

// The item after Item in the search direction, wrapping round to the first one at the end.
TEmberItem* TEmberIncrementalSearchManager::StepFrom(TEmberItem* Item) const {
  TEmberGroups* groups = OwnerListview() ? OwnerListview()->GetGroups() : nullptr;
  if (!groups || !Item) return FirstSearchItem();
  const bool back = FDirection == TEmberIncrementalSearchDir::eisdBackward;
  TEmberItem* next = nullptr;
  switch (FItemType) {
    case TEmberIncrementalSearchItemType::eisiAll:
      next = back ? groups->PrevItem(Item) : groups->NextItem(Item);
      break;
    case TEmberIncrementalSearchItemType::eisiInitializedOnly:
      next = back ? groups->PrevInitializedItem(Item) : groups->NextInitializedItem(Item);
      break;
    case TEmberIncrementalSearchItemType::eisiVisible:
      next = back ? groups->PrevVisibleItem(Item) : groups->NextVisibleItem(Item);
      break;
  }
  return next ? next : FirstSearchItem();
}

void TEmberIncrementalSearchManager::SetUpNextSearchItem() {
  FNextSearchItem = FSearchItem ? StepFrom(FSearchItem) : FirstSearchItem();
}

void TEmberIncrementalSearchManager::HandleWMKeyDown(TMessage& /*Msg*/) {
  if (!FEnabled) return;
  if (!Searching()) {
    // Without a last hit or a focused item to step on from, the search begins at the first item
    // itself: stepping past it made "a" in a list starting with "apple" select the second "a...".
    switch (FStart) {
      case TCoolIncrementalSearchStart::eissStartOver:
        FSearchItem = FirstSearchItem();
        break;
      case TCoolIncrementalSearchStart::eissLastHit:
        if (FSearchItem)
          SetUpNextSearchItem();
        else
          FSearchItem = FNextSearchItem = FirstSearchItem();
        break;
      case TCoolIncrementalSearchStart::eissFocusedNode: {
        TEmberSelectionManager* sel = OwnerListview() ? OwnerListview()->GetSelection() : nullptr;
        FSearchItem = sel ? sel->GetFocusedItem() : nullptr;
        if (FSearchItem)
          SetUpNextSearchItem();
        else
          FSearchItem = FNextSearchItem = FirstSearchItem();
        break;
      }
    }
  }
  StartTimer();
  FState += TEmberIncrementalSearchState::eissSearching;
}

void TEmberIncrementalSearchManager::HandleWMChar(TMessage& Msg) {
  if (!FEnabled || !Searching()) return;
  TCustomEmberListview* lv = OwnerListview();
  if (!lv) return;
  EndTimer();
  StartTimer();
  // WM_CHAR already carries the typed UTF-16 unit; there is no code page to convert from.
  const Char ch = static_cast<Char>(Msg.WParam & 0xFFFF);
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || ch < 32) {
    ClearSearch();
    return;
  }
  FSearchBuffer.push_back(ch);
  if (!FNextSearchItem) SetUpNextSearchItem();
  const bool startOver = FStart == TCoolIncrementalSearchStart::eissStartOver;
  if (FSearchBuffer.size() == 1) {
    if (!startOver) FSearchItem = FNextSearchItem;
  } else if (FSearchBuffer[0] == FSearchBuffer[1]) {
    // The same letter again steps on to the next item that begins with it.
    FSearchBuffer.resize(1);
    if (!startOver) FSearchItem = FNextSearchItem;
  }
  if (!FSearchItem || FSearchBuffer.empty()) return;

  Integer result = 0;
  lv->DoIncrementalSearch(FSearchItem, FSearchBuffer, result);
  TEmberItem* hit = result == 0 ? FSearchItem : nullptr;
  if (!hit) {
    // Round the list once from the candidate, over the end back to the start.
    TEmberItem* start = FSearchItem;
    for (TEmberItem* it = StepFrom(start); it && it != start; it = StepFrom(it)) {
      lv->DoIncrementalSearch(it, FSearchBuffer, result);
      if (result == 0) {
        hit = it;
        break;
      }
    }
  }
  FSearchItem = hit;
  if (!hit) return;
  TEmberSelectionManager* sel = lv->GetSelection();
  if (sel) {
    sel->ClearAll();
    sel->SetFocusedItem(hit);
  }
  hit->SetSelected(true);
  hit->MakeVisible(TEmberMakeVisiblePos::emvAuto);
  if (!startOver) SetUpNextSearchItem();
}

}  // namespace ember
