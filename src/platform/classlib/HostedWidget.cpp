#include "platform/classlib/HostedWidget_p.h"

#include <QHBoxLayout>

#include "platform/user/Window_p.h"

namespace pf::hosted {

bool Embed(HWND h, QWidget* inner) {
  QWidget* host = layer::WidgetOf(h);
  if (!host) {
    delete inner;
    return false;
  }
  auto* layout = new QHBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(inner);
  // Keyboard focus given to the window lands on the control itself.
  host->setFocusProxy(inner);
  inner->show();
  return true;
}

QWidget* Host(HWND h) { return layer::WidgetOf(h); }

}  // namespace pf::hosted
