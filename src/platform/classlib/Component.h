#pragma once
// Components: ownership by an owner that frees what it owns, names, and removal notifications
// that let a component drop its pointers to another that goes away.

#include <vector>

#include "platform/rtl/Set.h"
#include "platform/rtl/Classes.h"

namespace pf {

enum class TOperation { opInsert, opRemove };
enum class TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning, csFreeNotification };
using TComponentState = TSet<TComponentStateItem>;

class TComponent : public TObject {
  PF_CLASS(TComponent)
public:
  TComponent* GetOwner() const { return FOwner; }
  Integer ComponentCount() const { return static_cast<Integer>(FComponents.size()); }
  TComponent* Components(Integer i) const { return FComponents.at(static_cast<size_t>(i)); }
  Integer GetComponentIndex() const;
  TComponent* FindComponent(StringView name) const;

  const String& GetName() const { return FName; }
  // Names are unique among an owner's components (case-insensitive); a clash raises.
  virtual void SetName(const String& name);
  TComponentState ComponentState() const { return FComponentState; }
  bool Destroying() const { return FComponentState.Contains(TComponentStateItem::csDestroying); }
  bool IsLoading() const { return FComponentState.Contains(TComponentStateItem::csLoading); }

  // A form's layout is built between BeginLoad and EndLoad, as a form resource is read: the
  // component and every component made for its owner meanwhile are csLoading; EndLoad calls
  // Loaded on those (in creation order), then on this one. Property setters that would repaint
  // or recreate a window wait for Loaded while csLoading.
  void BeginLoad();
  void EndLoad();

  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  void DestroyComponents();
  // Asks `c` to tell this component when it goes away, though neither owns the other.
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);

  intptr_t Tag{0};

protected:
  virtual void Create(TComponent* owner);
  void Destroy() override;
  void BeforeDestruction() override;
  // Told of components inserted into or removed from the owner, and of those that asked for
  // FreeNotification going away.
  virtual void Notification(TComponent* c, TOperation op);
  // A component's Qt object name follows its name; windowed controls override this.
  virtual void NameChanged() {}
  // After loading: the component's properties are all set. Clears csLoading.
  virtual void Loaded();

private:
  void Insert(TComponent* c);
  void Remove(TComponent* c);
  TComponent* FOwner{nullptr};
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  String FName;
  TComponentState FComponentState;
};

}  // namespace pf
