#pragma once
// A label that breaks its caption into lines at word boundaries to fit its width, for the longer
// explanations of the program's dialogs.

#include "platform/classlib/StdCtrls.h"

namespace pf {

class TWrapLabel : public TLabel {
  PF_CLASS(TWrapLabel)
protected:
  void CreateHandleDone() override;
};

}  // namespace pf
