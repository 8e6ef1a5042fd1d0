#include "orderui/uWait.h"

#include "platform/user/User.h"

namespace order {

void BeginWait() { pf::SetCursor(pf::LoadCursor(pf::IDC_WAIT)); }

void EndWait() { pf::SetCursor(pf::LoadCursor(pf::IDC_ARROW)); }

}  // namespace order
