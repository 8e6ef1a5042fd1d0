#pragma once
// TObject and the class library's construction and freeing model.
//
// C++ constructors only give members their defaults. The body of a class's constructor goes into a
// virtual Create(...) that calls the inherited Create first; T::New(...) (or pf::New<T>(...)) does
// `new`, then Create(...), then AfterConstruction(). Freeing is Free(): BeforeDestruction(), then
// the virtual Destroy() with the destructor's body, then `delete`. Virtual calls made from Create
// and Destroy therefore reach the most derived class, as the class library guarantees.

#include <memory>
#include <utility>

#include "platform/rtl/Types.h"

namespace pf {

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // Frees the object (null-safe through pf::Free / FreeAndNil).
  void Free();

  virtual void AfterConstruction() {}
  virtual void BeforeDestruction() {}
  virtual String ClassName() const { return u"TObject"; }

  // Counts the live objects made through New; tests use it to find leaks of posted payloads.
  static int64_t LiveObjects();

protected:
  virtual void Create() {}
  virtual void Destroy() {}

  template <class T, class... A>
  friend T* New(A&&... args);

private:
  void CountCreated();
  bool FCounted{false};
};

// Makes an object: new, Create(args...), AfterConstruction(). When Create throws, the object's
// Destroy runs on the part that was made and the object is deleted, as the class library does.
template <class T, class... A>
T* New(A&&... args) {
  T* obj = new T();
  try {
    obj->Create(std::forward<A>(args)...);
    obj->AfterConstruction();
  } catch (...) {
    static_cast<TObject*>(obj)->Destroy();
    delete obj;
    throw;
  }
  static_cast<TObject*>(obj)->CountCreated();
  return obj;
}

// Null-safe free.
inline void Free(TObject* obj) {
  if (obj) obj->Free();
}

template <class T>
void FreeAndNil(T*& obj) {
  T* p = obj;
  obj = nullptr;
  if (p) p->Free();
}

struct FreeDeleter {
  void operator()(TObject* obj) const { pf::Free(obj); }
};

// Single ownership of a TObject: the deleter calls Free().
template <class T>
using Owned = std::unique_ptr<T, FreeDeleter>;

template <class T, class... A>
Owned<T> MakeOwned(A&&... args) {
  return Owned<T>(New<T>(std::forward<A>(args)...));
}

// Gives a class the static T::New(...) and its class name.
#define PF_CLASS(TName)                                       \
public:                                                       \
  template <class... A>                                       \
  static TName* New(A&&... args) {                            \
    return ::pf::New<TName>(std::forward<A>(args)...);        \
  }                                                           \
  ::pf::String ClassName() const override { return u"" #TName; } \
  template <class T_, class... A_>                            \
  friend T_* ::pf::New(A_&&...);                              \
                                                              \
private:

}  // namespace pf
