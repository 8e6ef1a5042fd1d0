#pragma once
// Basic types of the platform layer. The program's code is written against these names.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pf {

using Integer = int32_t;
using Cardinal = uint32_t;
using Int64 = int64_t;
using UInt64 = uint64_t;
using Byte = uint8_t;
using Word = uint16_t;
using LongWord = uint32_t;
using Char = char16_t;
using String = std::u16string;          // UTF-16 text, as the class library's strings
using StringView = std::u16string_view;
using AnsiString = std::string;         // 8-bit text; its code page is explicit at every conversion
using RawBytes = std::string;           // bytes that are not text (bodies, file contents)

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using HRESULT = int32_t;

struct TPoint {
  Integer X{0};
  Integer Y{0};
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// A point packed in 16-bit halves, as mouse messages carry it in their LParam.
struct TSmallPoint {
  int16_t X{0};
  int16_t Y{0};
  friend bool operator==(const TSmallPoint&, const TSmallPoint&) = default;
};

struct TRect {
  Integer Left{0};
  Integer Top{0};
  Integer Right{0};
  Integer Bottom{0};
  friend bool operator==(const TRect&, const TRect&) = default;
  Integer Width() const { return Right - Left; }
  Integer Height() const { return Bottom - Top; }
};

struct TSize {
  Integer cx{0};
  Integer cy{0};
  friend bool operator==(const TSize&, const TSize&) = default;
};

inline TRect Rect(Integer l, Integer t, Integer r, Integer b) { return TRect{l, t, r, b}; }
inline TPoint Point(Integer x, Integer y) { return TPoint{x, y}; }

}  // namespace pf
