#pragma once
// Unit start-up and shut-down. Each library unit offers counted Initialize/Finalize functions;
// the program registers them in the order its units start and InitializeUnits runs them, while
// FinalizeUnits runs them in reverse. Test mains use the same calls.

#include <functional>

namespace pf {

// Adds a unit. Units run in the order of `order`, then of registration. Registering a name twice
// keeps the first registration.
void RegisterUnit(int order, const char* name, std::function<void()> initialize,
                  std::function<void()> finalize);
void InitializeUnits();
void FinalizeUnits();
bool UnitsInitialized();
void ClearUnitRegistry();  // tests

// A unit's initialisation counter: the first Enter and the last Leave do the work.
class TUnitCounter {
public:
  bool Enter() { return FCount++ == 0; }
  bool Leave() { return FCount > 0 && --FCount == 0; }
  int Count() const { return FCount; }

private:
  int FCount{0};
};

}  // namespace pf
