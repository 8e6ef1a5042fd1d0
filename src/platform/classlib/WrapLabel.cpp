#include "platform/classlib/WrapLabel.h"

#include <QLabel>

#include "platform/classlib/HostedWidget_p.h"

namespace pf {

void TWrapLabel::CreateHandleDone() {
  TLabel::CreateHandleDone();
  // The label's window is the toolkit's label itself.
  if (auto* label = qobject_cast<QLabel*>(hosted::Host(FHandle))) label->setWordWrap(true);
}

}  // namespace pf
