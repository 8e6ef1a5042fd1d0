#include "platform/rtl/Units.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

namespace pf {

namespace {

struct Unit {
  int order;
  size_t sequence;
  std::string name;
  std::function<void()> initialize;
  std::function<void()> finalize;
};

struct Registry {
  std::recursive_mutex mutex;
  std::vector<Unit> units;
  std::vector<Unit> started;  // copies, in the order they were initialised
  int count{0};
};

Registry& R() {
  static Registry r;
  return r;
}

// Runs the finalisations of the started units in reverse; the first failure is raised after all
// of them have run, so one faulty unit cannot keep the others' globals alive.
void FinalizeStarted(Registry& r) {
  std::exception_ptr first;
  while (!r.started.empty()) {
    Unit u = std::move(r.started.back());
    r.started.pop_back();
    try {
      if (u.finalize) u.finalize();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

}  // namespace

void RegisterUnit(int order, const char* name, std::function<void()> initialize, std::function<void()> finalize) {
  Registry& r = R();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  std::string n = name ? name : "";
  for (const Unit& u : r.units)
    if (u.name == n) return;
  r.units.push_back(Unit{order, r.units.size(), n, std::move(initialize), std::move(finalize)});
  std::stable_sort(r.units.begin(), r.units.end(), [](const Unit& a, const Unit& b) {
    return a.order != b.order ? a.order < b.order : a.sequence < b.sequence;
  });
}

void InitializeUnits() {
  Registry& r = R();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  if (r.count++ > 0) return;
  try {
    // A snapshot: an initialisation may register further units, which then wait for the next run.
    std::vector<Unit> units = r.units;
    for (Unit& u : units) {
      if (u.initialize) u.initialize();
      r.started.push_back(std::move(u));
    }
  } catch (...) {
    r.count = 0;
    try {
      FinalizeStarted(r);
    } catch (...) {
    }
    throw;
  }
}

void FinalizeUnits() {
  Registry& r = R();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  if (r.count == 0 || --r.count > 0) return;
  FinalizeStarted(r);
}

bool UnitsInitialized() {
  Registry& r = R();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  return r.count > 0;
}

void ClearUnitRegistry() {
  Registry& r = R();
  std::lock_guard<std::recursive_mutex> lock(r.mutex);
  r.units.clear();
  r.started.clear();
  r.count = 0;
}

}  // namespace pf
