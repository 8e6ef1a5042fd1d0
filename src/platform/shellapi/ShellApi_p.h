#pragma once
// Inside the namespace: what an item ID list names, and the objects the folders hand out.

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shellapi/ShellApi.h"

namespace pf::gdiplus {
class TPhoto;
}

namespace pf::shellapi {

// What a list of IDs, read from the desktop, names.
struct TNode {
  enum TType { Desktop, Computer, Trash, Network, FileSys };
  TType Type{Desktop};
  std::string Path;  // for FileSys
  bool Drive{false};
  bool Removable{false};
  bool Remote{false};  // on a network mount
  bool DesktopEntry{false};  // an entry of the physical desktop folder, as the root lists it
};

struct TItemId {
  TItemKind Kind{TItemKind::Root};
  std::string_view Payload;
};

// Reads one ID; false when it is not one of ours (too short, wrong framing, a zero inside).
bool DecodeId(const Byte* id, TItemId& out);
// Follows `ids` (a terminated list) from `start`; nothing when an ID does not fit.
std::optional<TNode> Resolve(const TNode& start, const Byte* ids);
std::optional<TNode> ResolveAbsolute(const ITEMIDLIST* pidl);
// The bytes of a list without its terminator.
std::string IdBytes(const ITEMIDLIST* pidl);
// A task-allocator list of `bytes` (IDs without terminator) plus the terminator.
PItemIDList AllocIdList(std::string_view bytes);
std::string EncodeId(TItemKind kind, std::string_view payload);
bool ValidFileName(std::string_view name);
// Every byte but letters, digits and those of `keep` as %XX (upper-case hex).
std::string PercentEncode(std::string_view bytes, const char* keep);
std::string JoinPath(const std::string& dir, std::string_view name);
std::string BaseName(const std::string& path);
bool IsDirectory(const std::string& path);
bool PathExists(const std::string& path);  // lstat
std::string PhysicalDesktopDir();

// The folders' details columns: a title (node nil) or an item's text, the default states, the
// property key and the value of a column.
HRESULT ColumnDetails(const TNode* node, UINT column, SHELLDETAILS* details);
HRESULT ColumnState(UINT column, DWORD* flags);
HRESULT ColumnScid(UINT column, SHCOLUMNID* scid);
HRESULT ColumnValue(const TNode& node, const SHCOLUMNID* scid, void* value);

// Counts the layer's live namespace objects, for leak tests.
extern std::atomic<int> gLiveObjects;

// An object of a folder for an image file; nil when the file is no picture this layer decodes.
IExtractImage* CreateThumbnailer(const std::string& path);
// The desktop folder's .desktop entries: Type=Link or Type=Application.
bool IsDesktopLinkEntry(const std::string& path);

// ---- Small files of the desktop, read whole ----
// Reads a regular file of at most `limit` bytes; false (and nothing in `out`) for anything else:
// a larger file, one that grows past the limit while read, a FIFO, a device, a folder.
bool ReadBoundedFile(const std::string& path, size_t limit, std::string& out);
// Desktop entries: the largest real ones, with every translation, are a few tens of kilobytes.
constexpr size_t kDesktopEntryMaxBytes = 1 << 20;
constexpr size_t kDesktopEntryMaxLines = 8192;
constexpr size_t kDesktopEntryMaxLineBytes = 64 << 10;
// The [Desktop Entry] group's plain keys (localised keys left out); false, with no keys, when the
// text has no such group or passes a bound.
bool ParseDesktopEntry(std::string_view text, std::map<std::string, std::string>& keys);
bool ReadDesktopEntry(const std::string& path, std::map<std::string, std::string>& keys);
// user-dirs.dirs holds a handful of short lines.
constexpr size_t kUserDirsMaxBytes = 64 << 10;

// ---- The freedesktop thumbnail cache ----
// The largest thumbnail (1024 pixels a side) needs a few megabytes even stored without
// compression.
constexpr size_t kThumbnailMaxBytes = 8 << 20;
constexpr size_t kThumbnailMaxChunks = 4096;
// A file's address, as Thumb::URI holds it, percent-encoded.
constexpr size_t kThumbnailMaxTextBytes = 64 << 10;
struct TThumbnailEntry {
  int64_t Width{0};
  int64_t Height{0};
};
// A cached thumbnail's bytes, checked before any pixel: a PNG whose header gives a size within
// `maxSide`, whose chunks lie inside it, and whose text names `uri` (Thumb::URI) and the file's
// modification time (Thumb::MTime), each once.
bool CheckThumbnailEntry(std::string_view png, std::string_view uri, int64_t mtime, int maxSide,
                         TThumbnailEntry& entry);
// Reads, checks and decodes a cache entry with the photo decoders' own limits; false for an entry
// that is missing, stale, of another file, too large or damaged.
bool ReadCachedThumbnail(const std::string& file, std::string_view uri, int64_t mtime, int maxSide,
                         gdiplus::TPhoto& out);
IUnknown* CreateShellLinkObject();
// A 32-bit bottom-up DIB section from top-down rows of blue, green, red and alpha bytes.
HBITMAP BitmapFromRows(int width, int height, const std::function<const Byte*(int)>& row);
// The picture of an icon name from the desktop's icon theme, for the system image lists.
HBITMAP ThemeIconBitmap(const std::string& iconName, int size);
// Icon of a node for the system image list.
int NodeIconIndex(const TNode& node, bool open);

// A small COM object base: counts references and the live objects.
template <class Base>
class TShellObject : public Base {
public:
  TShellObject() { ++gLiveObjects; }
  ULONG AddRef() override { return ++FRefs; }
  ULONG Release() override {
    ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }

protected:
  ~TShellObject() override { --gLiveObjects; }

private:
  std::atomic<ULONG> FRefs{1};
};

}  // namespace pf::shellapi
