#include "platform/classlib/ActnList.h"

#include <algorithm>

#include "platform/classlib/Controls.h"

namespace pf {

bool TBasicAction::Execute() {
  TNotifyEvent handler = OnExecute;  // the handler may free the action
  if (!handler) return false;
  handler(this);
  return true;
}

bool TBasicAction::Update() {
  TNotifyEvent handler = OnUpdate;
  if (!handler) return false;
  handler(this);
  return true;
}

void TBasicAction::RegisterClient(TControl* c) {
  if (std::find(FClients.begin(), FClients.end(), c) == FClients.end()) FClients.push_back(c);
}

void TBasicAction::UnregisterClient(TControl* c) {
  FClients.erase(std::remove(FClients.begin(), FClients.end(), c), FClients.end());
}

void TBasicAction::Change() {
  for (TControl* c : std::vector<TControl*>(FClients)) c->ActionChanged();
}

void TBasicAction::Destroy() {
  // The controls drop their link through the free notification.
  FClients.clear();
  TComponent::Destroy();
}

void TAction::SetCaption(const String& v) {
  if (v == FCaption) return;
  FCaption = v;
  Change();
}

void TAction::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  Change();
}

void TAction::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  Change();
}

void TAction::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  Change();
}

void TAction::SetHint(const String& v) {
  if (v == FHint) return;
  FHint = v;
  Change();
}

bool TAction::Execute() {
  // The state may be stale between idle passes: bring it up to date before deciding.
  Update();
  if (!FEnabled) return false;
  return TBasicAction::Execute();
}

void TAction::SetActionList(TActionList* list) {
  if (list == FActionList) return;
  if (FActionList) FActionList->RemoveAction(this);
  if (list) list->AddAction(this);
}

void TAction::Destroy() {
  SetActionList(nullptr);
  TBasicAction::Destroy();
}

void TActionList::AddAction(TAction* a) {
  if (std::find(FActions.begin(), FActions.end(), a) != FActions.end()) return;
  if (a->FActionList && a->FActionList != this) a->FActionList->RemoveAction(a);
  FActions.push_back(a);
  a->FActionList = this;
}

void TActionList::RemoveAction(TAction* a) {
  auto it = std::find(FActions.begin(), FActions.end(), a);
  if (it == FActions.end()) return;
  FActions.erase(it);
  a->FActionList = nullptr;
}

void TActionList::UpdateActions() {
  for (TAction* a : std::vector<TAction*>(FActions)) a->Update();
}

void TActionList::Destroy() {
  for (TAction* a : FActions) a->FActionList = nullptr;
  FActions.clear();
  TComponent::Destroy();
}

}  // namespace pf
