#include "platform/rtl/Resources.h"

#include <mutex>
#include <vector>

namespace pf {

namespace {

struct Table {
  std::mutex Lock;
  std::vector<TResourceEntry> Entries;
};

Table& Resources() {
  static Table table;
  return table;
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void RegisterResources(const TResourceEntry* entries, std::size_t count) {
  Table& t = Resources();
  std::lock_guard<std::mutex> guard(t.Lock);
  t.Entries.insert(t.Entries.end(), entries, entries + count);
}

std::optional<std::string_view> FindResource(std::string_view type, std::string_view name) {
  Table& t = Resources();
  std::lock_guard<std::mutex> guard(t.Lock);
  for (const TResourceEntry& e : t.Entries)
    if (SameAscii(e.Type, type) && SameAscii(e.Name, name))
      return std::string_view(reinterpret_cast<const char*>(e.Data), e.Size);
  return std::nullopt;
}

}  // namespace pf
