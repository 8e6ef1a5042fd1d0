#include "platform/classlib/Component.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace pf {

namespace {
template <class T>
void Erase(std::vector<T*>& v, T* p) {
  v.erase(std::remove(v.begin(), v.end(), p), v.end());
}
}  // namespace

void TComponent::Create(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
  if (owner && owner->IsLoading()) FComponentState.Include(TComponentStateItem::csLoading);
}

void TComponent::BeginLoad() { FComponentState.Include(TComponentStateItem::csLoading); }

void TComponent::EndLoad() {
  if (!IsLoading()) return;
  // A Loaded handler may add or free components: walk a copy and skip those gone meanwhile.
  std::vector<TComponent*> loading;
  for (TComponent* c : FComponents)
    if (c->IsLoading()) loading.push_back(c);
  for (TComponent* c : loading)
    if (std::find(FComponents.begin(), FComponents.end(), c) != FComponents.end() && c->IsLoading()) c->Loaded();
  Loaded();
}

void TComponent::Loaded() { FComponentState.Exclude(TComponentStateItem::csLoading); }

void TComponent::BeforeDestruction() {
  FComponentState.Include(TComponentStateItem::csDestroying);
}

void TComponent::Destroy() {
  FComponentState.Include(TComponentStateItem::csDestroying);
  // Those that asked to hear of this component's end drop their pointers to it.
  while (!FFreeNotifies.empty()) {
    TComponent* c = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Erase(c->FFreeNotifies, this);
    c->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

Integer TComponent::GetComponentIndex() const {
  if (!FOwner) return -1;
  auto& v = FOwner->FComponents;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<Integer>(it - v.begin());
}

TComponent* TComponent::FindComponent(StringView name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::SetName(const String& name) {
  if (name == FName) return;
  if (!name.empty() && FOwner) {
    TComponent* other = FOwner->FindComponent(name);
    if (other && other != this) throw EInvalidOperation(u"A component named " + name + u" already exists");
  }
  FName = name;
  NameChanged();
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c || c->FOwner == this) return;
  if (c->FOwner) c->FOwner->RemoveComponent(c);
  Insert(c);
  Notification(c, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  if (!c || c->FOwner != this) return;
  Notification(c, TOperation::opRemove);
  Remove(c);
}

void TComponent::Insert(TComponent* c) {
  FComponents.push_back(c);
  c->FOwner = this;
}

void TComponent::Remove(TComponent* c) {
  Erase(FComponents, c);
  c->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  // The last made goes first; each leaves the list as it is freed.
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    Remove(c);
    c->Free();
  }
}

void TComponent::Notification(TComponent* c, TOperation op) {
  if (op == TOperation::opRemove && c) Erase(FFreeNotifies, c);
  // Owned components hear of every sibling that comes or goes, as the class library tells them.
  for (TComponent* child : std::vector<TComponent*>(FComponents))
    if (child != c) child->Notification(c, op);
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), c) == FFreeNotifies.end()) FFreeNotifies.push_back(c);
  if (std::find(c->FFreeNotifies.begin(), c->FFreeNotifies.end(), this) == c->FFreeNotifies.end())
    c->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  if (!c) return;
  Erase(FFreeNotifies, c);
  Erase(c->FFreeNotifies, this);
}

}  // namespace pf
