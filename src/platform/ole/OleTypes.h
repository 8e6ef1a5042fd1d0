#pragma once
// Values of OLE drag and drop and of the shell's string returns that the program's code reads.

#include "platform/rtl/Types.h"

namespace pf {

constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr DWORD DROPEFFECT_MOVE = 2;
constexpr DWORD DROPEFFECT_LINK = 4;
constexpr DWORD DROPEFFECT_SCROLL = 0x80000000u;

// A string the shell hands back: in a task-allocator block, at an offset inside an item ID list,
// or inside the record itself.
constexpr UINT STRRET_WSTR = 0;
constexpr UINT STRRET_OFFSET = 1;
constexpr UINT STRRET_CSTR = 2;

struct STRRET {
  UINT uType{STRRET_CSTR};
  Char* pOleStr{nullptr};  // STRRET_WSTR
  UINT uOffset{0};         // STRRET_OFFSET
  char cStr[260]{};        // STRRET_CSTR
};

}  // namespace pf
