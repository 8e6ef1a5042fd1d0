#include "platform/rtl/Metaclass.h"

#include <map>
#include <mutex>

#include "platform/rtl/Exceptions.h"


namespace pf {

namespace {
struct Registry {
  std::mutex Lock;
  std::map<std::string, const TMetaClass*, std::less<>> ByName;
};
Registry& TheRegistry() {
  static Registry r;
  return r;
}
}  // namespace

void RegisterClass(const TMetaClass& cls) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto [it, added] = r.ByName.emplace(cls.ClassName(), &cls);
  if (!added && it->second != &cls) {
    String name(cls.ClassName().begin(), cls.ClassName().end());
    throw EInvalidOperation(u"A class named " + name + u" is already registered");
  }
}

void UnRegisterClass(const TMetaClass& cls) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto it = r.ByName.find(cls.ClassName());
  if (it != r.ByName.end() && it->second == &cls) r.ByName.erase(it);
}

const TMetaClass* GetClass(std::string_view name) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto it = r.ByName.find(name);
  return it == r.ByName.end() ? nullptr : it->second;
}

}  // namespace pf
