#include "common/CommonUnits.h"

#include "common/CommonDataObject.h"
#include "common/CommonObjects.h"
#include "common/CommonThreadManager.h"
#include "common/CommonUtilities.h"
#include "platform/rtl/Units.h"

namespace common {

void RegisterCommonUnits() {
  pf::RegisterUnit(CommonUtilitiesUnitOrder, "CommonUtilities", InitializeCommonUtilities, FinalizeCommonUtilities);
  pf::RegisterUnit(CommonObjectsUnitOrder, "CommonObjects", InitializeCommonObjects, FinalizeCommonObjects);
  pf::RegisterUnit(CommonThreadManagerUnitOrder, "CommonThreadManager", InitializeCommonThreadManager,
                   FinalizeCommonThreadManager);
  pf::RegisterUnit(CommonDataObjectUnitOrder, "CommonDataObject", InitializeCommonDataObject,
                   FinalizeCommonDataObject);
}

}  // namespace common
