#pragma once
// A label whose caption holds links written as <a href="address">text</a> (or <a>text</a>, whose
// text is the address). Clicking a link fires OnLinkClick with its address; nothing is opened by
// the control itself. As the platform's link control: Tab reaches each link in turn (the focused
// one has the focus mark the other controls have), Enter or Space opens it; a disabled control
// shows its links as plain grey text and opens nothing.

#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/classlib/StdCtrls.h"

namespace pf {

enum class TSysLinkType { sltURL, sltID };
using TSysLinkEvent = std::function<void(TObject* Sender, const String& Link, TSysLinkType LinkType)>;

class TLinkLabel : public TWinControl {
  PF_CLASS(TLinkLabel)
public:
  TSysLinkEvent OnLinkClick;

  // Where each line of the caption stands in the control's width.
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);

  // The caption as shown, without the markup.
  String VisibleText() const;
  // The links' addresses, in caption order.
  std::vector<String> Links() const;
  // What a click on the link at `index` does (tests call it to click a link).
  void ClickLink(Integer index);
  // The height the caption takes when broken into lines of the control's width (0 before the
  // control has its window), so that a dialog can place what follows right under it.
  Integer TextHeight() const;

protected:
  void Create(TComponent* owner) override;
  void CreateHandleDone() override;
  void TextChanged() override;
  void Dispatch(TMessage& msg) override;
  void EnabledChanged() override;
  bool WantsKey(Word key) const override;
  void DoEnter() override;
  void DoExit() override;
  virtual void DoLinkClick(const String& Link, TSysLinkType LinkType);

public:
  // The link Enter or Space opens, -1 while the control does not have the focus.
  Integer FocusedLink() const { return FFocusedLink; }

private:
  void UpdateLabel();
  TAlignment FAlignment{TAlignment::taLeftJustify};
  Integer FFocusedLink{-1};
  bool FKeyTaken{false};  // the last key down was the control's own
};

}  // namespace pf
