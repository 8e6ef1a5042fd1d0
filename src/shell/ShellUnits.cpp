#include "shell/ShellUnits.h"

#include "common/CommonUnits.h"
#include "platform/rtl/Units.h"
#include "shell/ShellUtilities.h"

namespace shell {

void RegisterShellUnits() {
  common::RegisterCommonUnits();
  pf::RegisterUnit(ShellUtilitiesUnitOrder, "ShellUtilities", InitializeShellUtilities, FinalizeShellUtilities);
}

}  // namespace shell
