#pragma once
// Between the accessibility calls and the toolkit's accessibility.

#include <functional>

#include "platform/oleacc/Oleacc.h"

class QAccessibleEvent;

namespace pf::oleacc {
// Hands a NotifyWinEvent to the toolkit's accessibility, when a bridge listens.
void ForwardWinEvent(DWORD event, HWND wnd, LONG objectId, LONG childId);

namespace testing {
// While set, the toolkit events made from NotifyWinEvent go to `sink`, also when no bridge
// listens (the offscreen platform has none).
void SetToolkitEventSink(std::function<void(QAccessibleEvent*)> sink);
}  // namespace testing
}  // namespace pf::oleacc
