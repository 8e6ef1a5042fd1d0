#pragma once
// A label whose caption holds links written as <a href="address">text</a> (or <a>text</a>, whose
// text is the address). Clicking a link fires OnLinkClick with its address; nothing is opened by
// the control itself.

#include <vector>

#include "platform/classlib/Controls.h"

namespace pf {

enum class TSysLinkType { sltURL, sltID };
using TSysLinkEvent = std::function<void(TObject* Sender, const String& Link, TSysLinkType LinkType)>;

class TLinkLabel : public TWinControl {
  PF_CLASS(TLinkLabel)
public:
  TSysLinkEvent OnLinkClick;

  // The caption as shown, without the markup.
  String VisibleText() const;
  // The links' addresses, in caption order.
  std::vector<String> Links() const;
  // What a click on the link at `index` does (tests call it to click a link).
  void ClickLink(Integer index);

protected:
  void Create(TComponent* owner) override;
  void CreateHandleDone() override;
  void TextChanged() override;
  void Dispatch(TMessage& msg) override;
  virtual void DoLinkClick(const String& Link, TSysLinkType LinkType);

private:
  void UpdateLabel();
};

}  // namespace pf
