#pragma once
// Registers the common library's units with the program's unit start-up: CommonUtilities first,
// then CommonObjects, which binds through it, then CommonThreadManager.

namespace common {

constexpr int CommonUtilitiesUnitOrder = 200;
constexpr int CommonObjectsUnitOrder = 210;
constexpr int CommonThreadManagerUnitOrder = 220;
constexpr int CommonDataObjectUnitOrder = 230;
void RegisterCommonUnits();

}  // namespace common
