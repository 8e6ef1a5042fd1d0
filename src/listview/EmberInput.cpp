// The list view's mouse, keyboard and wheel input: focus, selection, check boxes, group
// expansion, rubber band and drag start, hot tracking, gestures and scrolling.

#include <algorithm>

#include "listview/EmberControl.h"
#include "platform/classlib/ExtCtrls.h"

namespace ember {

}  // namespace ember
