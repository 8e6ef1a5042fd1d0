#pragma once
// Class references: a metaclass object per class, with its name, its parent's metaclass and, for a
// class that can be made from a reference, its virtual constructor. A registry by name lets a
// stream name the class of each object it holds and make that class again when it is read.

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/rtl/Object.h"

namespace pf {

class TMetaClass {
public:
  TMetaClass(std::string name, const TMetaClass* parent) : FName(std::move(name)), FParent(parent) {}
  TMetaClass(const TMetaClass&) = delete;
  TMetaClass& operator=(const TMetaClass&) = delete;
  virtual ~TMetaClass() = default;

  const std::string& ClassName() const { return FName; }
  const TMetaClass* ClassParent() const { return FParent; }
  // True for the class itself and every class derived from `other`.
  bool InheritsFrom(const TMetaClass* other) const {
    for (const TMetaClass* c = this; c; c = c->FParent)
      if (c == other) return true;
    return false;
  }

private:
  std::string FName;
  const TMetaClass* FParent;
};

// The reference of a class whose virtual constructor takes `Args`. Making an object goes through
// New, so Create and AfterConstruction run on the class referred to. An abstract class has a
// reference without a constructor: CanMake() is false.
template <class Base, class... Args>
class TClassOf : public TMetaClass {
public:
  using Maker = Base* (*)(Args...);
  TClassOf(std::string name, const TMetaClass* parent, Maker make)
      : TMetaClass(std::move(name), parent), FMake(make) {}
  bool CanMake() const { return FMake != nullptr; }
  Base* Make(Args... args) const { return FMake(args...); }

private:
  Maker FMake;
};

// The maker of a TClassOf for a concrete T (nullptr for an abstract one).
template <class T, class Base, class... Args>
constexpr typename TClassOf<Base, Args...>::Maker ClassMaker() {
  if constexpr (std::is_abstract_v<T>)
    return nullptr;
  else
    return [](Args... args) -> Base* { return ::pf::New<T>(args...); };
}

// The registry. Registering a class again does nothing; another class under a name already taken
// raises EInvalidOperation, as two classes may not share a stream name.
void RegisterClass(const TMetaClass& cls);
void UnRegisterClass(const TMetaClass& cls);
// The class registered under `name` (exact, case-sensitive), nullptr when none is.
const TMetaClass* GetClass(std::string_view name);

}  // namespace pf
