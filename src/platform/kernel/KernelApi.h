#pragma once
// The entry points the layer implements for the system modules: wide string routines, folder
// enumeration, disk space, and the shell's item ID list tests. The program reaches most of them
// through the module table (GetProcAddress), as it binds them at start-up.

#include <cstdint>

#include "platform/rtl/Types.h"

namespace pf {

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
constexpr DWORD MAX_PATH = 260;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
// Symbolic links carry this, so that folder walks can decline to follow them.
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

struct FILETIME {
  DWORD dwLowDateTime{0};
  DWORD dwHighDateTime{0};
};

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes{0};
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh{0};
  DWORD nFileSizeLow{0};
  DWORD dwReserved0{0};
  DWORD dwReserved1{0};
  Char cFileName[MAX_PATH]{};
  Char cAlternateFileName[14]{};
};

// The 8-bit form: the names in the system's ANSI code page.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes{0};
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh{0};
  DWORD nFileSizeLow{0};
  DWORD dwReserved0{0};
  DWORD dwReserved1{0};
  char cFileName[MAX_PATH]{};
  char cAlternateFileName[14]{};
};

// Compare as the platform does: negative, zero or positive.
int lstrcmpiW(const Char* a, const Char* b);
int lstrcmpW(const Char* a, const Char* b);
Char* lstrcpynW(Char* dst, const Char* src, int max);
Char* lstrcpyW(Char* dst, const Char* src);
DWORD CharUpperBuffW(Char* s, DWORD length);
DWORD CharLowerBuffW(Char* s, DWORD length);

// "folder\*.*" or "folder/*.*": "*" and "?" patterns, case-insensitive; "." and ".." come first as
// the platform lists them. Both separators are accepted; names are the file system's.
HANDLE FindFirstFileW(const Char* pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
// The same with the pattern and the names in the system's ANSI code page.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);
DWORD GetFileAttributesW(const Char* path);
BOOL CreateDirectoryW(const Char* path, void* security);
DWORD GetTempPathW(DWORD size, Char* buffer);
BOOL GetDiskFreeSpaceExW(const Char* dir, uint64_t* freeToCaller, uint64_t* total, uint64_t* totalFree);
BOOL GetDiskFreeSpaceExA(const char* dir, uint64_t* freeToCaller, uint64_t* total, uint64_t* totalFree);
// The old form in clusters: a cluster is the file system's fragment, counted in sectors of 512
// bytes where it divides into them; counts above 32 bits are cut to the largest.
BOOL GetDiskFreeSpaceA(const char* root, DWORD* sectorsPerCluster, DWORD* bytesPerSector, DWORD* freeClusters,
                       DWORD* totalClusters);

// An item ID list: item IDs of a 16-bit byte count (itself included) and data, ended by a zero
// count. Item IDs are not aligned, so counts are read byte by byte.
struct ITEMIDLIST;
using PItemIDList = ITEMIDLIST*;
Word ItemIdSize(const void* id);
// shell32 ordinal 21: the same IDs, byte for byte. False for nil.
BOOL ILIsEqual(const ITEMIDLIST* a, const ITEMIDLIST* b);
// shell32 ordinal 23: the parent's IDs begin the child's and the child has more (exactly one more
// when `immediate`); the empty list is the parent of every other. False for nil.
BOOL ILIsParent(const ITEMIDLIST* parent, const ITEMIDLIST* child, BOOL immediate);

}  // namespace pf
