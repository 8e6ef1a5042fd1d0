#pragma once
// Building a form's controls in code, as a form layout would: each control gets its owner, its
// name (also its toolkit object name), its parent and its bounds in the parent's client area.

#include "platform/classlib/Controls.h"

namespace app {

template <class T>
T* AddControl(pf::TComponent* Owner, pf::TWinControl* Parent, const pf::String& Name, pf::Integer Left,
              pf::Integer Top, pf::Integer Width, pf::Integer Height) {
  T* control = T::New(Owner);
  control->SetName(Name);
  control->SetBounds(Left, Top, Width, Height);
  control->SetParent(Parent);
  return control;
}

}  // namespace app
