#pragma once
// Files, folders, paths, the environment and the command line.

#include <vector>

#include "platform/rtl/Types.h"

namespace pf {

constexpr Char PathDelim = u'/';

bool FileExists(const String& fileName);        // a regular file
bool DirectoryExists(const String& dir);
bool ForceDirectories(const String& dir);       // creates every missing folder; false on failure
bool DeleteFile(const String& fileName);        // false when it could not be removed
bool RemoveDir(const String& dir);              // false when missing or not empty
String IncludeTrailingPathDelimiter(const String& path);
String ExcludeTrailingPathDelimiter(const String& path);
String ExtractFileName(const String& path);     // after the last "/"
String ExtractFilePath(const String& path);     // up to and including the last "/"
String ExtractFileExt(const String& path);      // from the last "." after the last "/"
String ChangeFileExt(const String& path, const String& ext);
Int64 FileSize(const String& fileName);         // -1 when missing
// File names are bytes on Linux: they are kept as UTF-8 and converted here. A byte that is not
// part of valid UTF-8 travels as U+DC80..U+DCFF, so such a file can still be opened.
std::string ToNativePath(const String& path);
String FromNativePath(std::string_view path);

String GetEnvironmentVariable(const String& name);  // empty when unset

// The command line: ParamStr(0) is the program, ParamStr(1) the first argument.
void SetCommandLine(int argc, char** argv);
void SetCommandLine(const std::vector<String>& args);  // tests
Integer ParamCount();
String ParamStr(Integer index);

}  // namespace pf
