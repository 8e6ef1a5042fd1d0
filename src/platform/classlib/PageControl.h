#pragma once
// A page control: pages (TTabSheet) of which one shows at a time, chosen by a row of tabs. A page
// whose tab is hidden can still be shown by the program, so a control with every tab hidden shows
// its pages as the steps of a wizard.

#include <vector>

#include "platform/classlib/Controls.h"

namespace pf {

enum class TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
enum class TTabStyle { tsTabs, tsButtons, tsFlatButtons };

class TPageControl;

class TTabSheet : public TWinControl {
  PF_CLASS(TTabSheet)
public:
  TPageControl* GetPageControl() const { return FPageControl; }
  // Puts the page on a page control (its parent too), as its last page; nil takes it off.
  void SetPageControl(TPageControl* pageControl);
  Integer GetPageIndex() const;
  bool GetTabVisible() const { return FTabVisible; }
  void SetTabVisible(bool visible);

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;

private:
  friend class TPageControl;
  TPageControl* FPageControl{nullptr};
  bool FTabVisible{true};
};

class TPageControl : public TWinControl {
  PF_CLASS(TPageControl)
public:
  Integer PageCount() const { return static_cast<Integer>(FPages.size()); }
  TTabSheet* Pages(Integer index) const { return FPages.at(static_cast<size_t>(index)); }
  TTabSheet* GetActivePage() const { return FActivePage; }
  void SetActivePage(TTabSheet* page);
  Integer GetActivePageIndex() const;
  void SetActivePageIndex(Integer index);

  TTabPosition GetTabPosition() const { return FTabPosition; }
  void SetTabPosition(TTabPosition position);
  TTabStyle GetStyle() const { return FStyle; }
  void SetStyle(TTabStyle style);
  // True when at least one page shows its tab (the row of tabs is then on screen).
  bool TabsShown() const;
  // The part of the client area the pages take.
  TRect DisplayRect() const;
  // Without a tab on screen (a wizard's steps) the keys have nothing to pick: Tab goes on to the
  // page's own controls.
  bool IsTabStop() const override { return TabStop && TabsShown(); }

  // The user chose another page by its tab.
  TNotifyEvent OnChange;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void CreateHandleDone() override;
  void Dispatch(TMessage& msg) override;
  void BoundsChanged() override;
  virtual void Change();

private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  // Tabs, the row's place and every page's bounds and visibility from the current state.
  void UpdateLayout();
  Integer TabRowHeight() const;
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage{nullptr};
  TTabPosition FTabPosition{TTabPosition::tpTop};
  TTabStyle FStyle{TTabStyle::tsTabs};
};

}  // namespace pf
