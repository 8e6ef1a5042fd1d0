#pragma once
// The test process's private environment: every test executable writes only below its own
// temporary folder, which also holds the XDG folders the program reads.

#include <filesystem>
#include <string>

namespace testsupport {

// Made on first use and removed when the process ends.
const std::filesystem::path& TempRoot();
// A fresh, empty folder below TempRoot().
std::filesystem::path MakeTempDir(const std::string& prefix = "t");
// Points HOME and the XDG folders at TempRoot(); test mains call it first.
void SetUpProcessEnvironment();
std::string ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, std::string_view bytes);

}  // namespace testsupport
