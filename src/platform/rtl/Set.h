#pragma once
// A set of up to 64 values of an enumeration, as the class library's `set of` types.

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace pf {

template <class E>
class TSet {
  static_assert(std::is_enum_v<E>);

public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) FBits |= Bit(v);
  }
  static constexpr TSet FromBits(uint64_t bits) {
    TSet s;
    s.FBits = bits;
    return s;
  }

  constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr uint64_t Bits() const { return FBits; }
  constexpr TSet& Include(E v) {
    FBits |= Bit(v);
    return *this;
  }
  constexpr TSet& Exclude(E v) {
    FBits &= ~Bit(v);
    return *this;
  }

  constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
  constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
  constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
  constexpr TSet operator+(E v) const { return FromBits(FBits | Bit(v)); }
  constexpr TSet operator-(E v) const { return FromBits(FBits & ~Bit(v)); }
  constexpr TSet& operator+=(TSet o) { FBits |= o.FBits; return *this; }
  constexpr TSet& operator-=(TSet o) { FBits &= ~o.FBits; return *this; }
  constexpr TSet& operator+=(E v) { return Include(v); }
  constexpr TSet& operator-=(E v) { return Exclude(v); }
  // a <= b: every member of a is in b.
  constexpr bool operator<=(TSet o) const { return (FBits & ~o.FBits) == 0; }
  friend constexpr bool operator==(TSet, TSet) = default;

private:
  static constexpr uint64_t Bit(E v) { return uint64_t{1} << static_cast<unsigned>(v); }
  uint64_t FBits{0};
};

}  // namespace pf
