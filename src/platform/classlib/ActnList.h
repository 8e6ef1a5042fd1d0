#pragma once
// Actions: a command with a caption and enabled, visible and checked states that the controls
// linked to it follow; OnExecute runs it, OnUpdate (in the application's idle pass) keeps its
// state current.

#include <vector>

#include "platform/classlib/Component.h"

namespace pf {

class TControl;
class TActionList;

class TBasicAction : public TComponent {
  PF_CLASS(TBasicAction)
public:
  // Runs OnExecute; answers whether there was a handler.
  virtual bool Execute();
  // Runs OnUpdate; answers whether there was a handler.
  virtual bool Update();
  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;

  void RegisterClient(TControl* c);
  void UnregisterClient(TControl* c);

protected:
  void Destroy() override;
  // Tells the linked controls that a property changed.
  void Change();
  std::vector<TControl*> FClients;
};

class TAction : public TBasicAction {
  PF_CLASS(TAction)
public:
  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& v);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool v);
  bool GetChecked() const { return FChecked; }
  void SetChecked(bool v);
  const String& GetHint() const { return FHint; }
  void SetHint(const String& v);

  TActionList* GetActionList() const { return FActionList; }
  void SetActionList(TActionList* list);
  // A disabled action does not run.
  bool Execute() override;

protected:
  void Destroy() override;

private:
  String FCaption;
  bool FEnabled{true};
  bool FVisible{true};
  bool FChecked{false};
  String FHint;
  TActionList* FActionList{nullptr};
  friend class TActionList;
};

class TActionList : public TComponent {
  PF_CLASS(TActionList)
public:
  Integer ActionCount() const { return static_cast<Integer>(FActions.size()); }
  TAction* Actions(Integer i) const { return FActions.at(static_cast<size_t>(i)); }
  void AddAction(TAction* a);
  void RemoveAction(TAction* a);
  // Runs every action's update handler (what an idle pass does for their controls).
  void UpdateActions();

protected:
  void Destroy() override;

private:
  std::vector<TAction*> FActions;
};

}  // namespace pf
