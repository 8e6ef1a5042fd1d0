#pragma once
// Private to the class library: a Qt widget of a standard control placed inside the custom window
// the control is made with, covering the window and following its size. The control's font and
// colours, set on the window's widget, reach it through Qt's inheritance.

#include <QWidget>

#include "platform/gdi/QtConvert_p.h"
#include "platform/user/User.h"

namespace pf::hosted {

// Puts `inner` into the window's widget; answers false (and deletes `inner`) when the window has
// no widget.
bool Embed(HWND h, QWidget* inner);

// The widget that presents the window (null when the handle is gone).
QWidget* Host(HWND h);
// The standard control's own widget inside it.
template <class W>
W* Inner(HWND h) {
  QWidget* host = h ? Host(h) : nullptr;
  return host ? host->findChild<W*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

// The conversions, as the hosted controls name them.
using pf::FromQ;
using pf::Q;

}  // namespace pf::hosted
