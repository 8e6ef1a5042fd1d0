#include "common/CommonUnits.h"

#include "common/CommonObjects.h"
#include "common/CommonUtilities.h"
#include "platform/rtl/Units.h"

namespace common {

void RegisterCommonUnits() {
  pf::RegisterUnit(CommonUtilitiesUnitOrder, "CommonUtilities", InitializeCommonUtilities, FinalizeCommonUtilities);
  pf::RegisterUnit(CommonObjectsUnitOrder, "CommonObjects", InitializeCommonObjects, FinalizeCommonObjects);
}

}  // namespace common
