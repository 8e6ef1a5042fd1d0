#pragma once
// Type-ahead search in the list view: the typed characters find the next item whose caption
// starts with them.

#include "listview/EmberManagers.h"

namespace ember {

// The message a failing release of the search's reset timer raises.
inline constexpr const char16_t* EmberSearchTimerError = u"Can not Destroy Incremental Search Timer";

}  // namespace ember
