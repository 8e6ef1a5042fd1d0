#pragma once
// The program's embedded resources: pictures, cursors and bitmaps compiled into the executable by
// the build (cmake/Resources.cmake) and found by type and name, as the program's code loads them.

#include <cstddef>
#include <optional>
#include <string_view>

namespace pf {

struct TResourceEntry {
  const char* Type;   // "RCDATA", "BITMAP", "CURSOR", "PNG"
  const char* Name;   // "WARNING", "SORTARROWUP", ...
  const unsigned char* Data;
  std::size_t Size;
};

// Called by the generated tables when the program starts.
void RegisterResources(const TResourceEntry* entries, std::size_t count);
// Type and name compare without regard to ASCII case; nothing when the resource does not exist.
std::optional<std::string_view> FindResource(std::string_view type, std::string_view name);

}  // namespace pf
