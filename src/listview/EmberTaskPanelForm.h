#pragma once
// A form meant to live inside a task-panel group of the list view as a child window. It paints
// its background as the theme's explorer-bar group and repaints its whole subtree when it
// scrolls, so nested panels do not keep stale pictures.

#include "common/CommonObjects.h"
#include "platform/classlib/Forms.h"

namespace ember {

using namespace pf;

class TEmberTaskPanelForm : public TCustomForm {
  PF_CLASS(TEmberTaskPanelForm)
public:
  // False while the form loads or when switched off; otherwise whether themes are in use.
  bool GetThemed() const;
  void SetThemed(bool Value);
  common::TCommonThemeManager* GetThemes() const { return FThemes; }

protected:
  void Create(TComponent* AOwner) override;
  void Destroy() override;
  void Loaded() override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DoShow() override;
  void Dispatch(TMessage& Msg) override;

private:
  bool Designing() const { return ComponentState().Contains(TComponentStateItem::csDesigning); }
  void EraseBackground(HDC DC);

  bool FThemed{false};
  common::TCommonThemeManager* FThemes{nullptr};
};

}  // namespace ember
