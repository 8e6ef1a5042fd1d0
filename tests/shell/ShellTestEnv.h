#pragma once
// A private desktop for each case: HOME and the XDG folders in a fresh temporary folder, TZ=UTC,
// fixed format settings, only "/" mounted; the library started for the case and shut down after
// it, with the task allocator's live blocks back where they began.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "common/CommonThreadManager.h"
#include "common/CommonDataObject.h"
#include "common/CommonObjects.h"
#include "common/CommonUtilities.h"
#include "platform/kernel/Version.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "shell/ShellUtilities.h"
#include "support/TestEnv.h"

namespace shelltest {

namespace fs = std::filesystem;
using namespace pf;
using namespace shell;

class ShellFixture : public ::testing::Test {
protected:
  // Folders of the fake desktop; `userDirs` is the text of user-dirs.dirs (none when empty).
  void MakeDesktop(const std::string& userDirs, bool makeDesktopDir = true) {
    Root = testsupport::MakeTempDir("desk");
    Home = Root / "home";
    Config = Root / "config";
    fs::create_directories(Home);
    fs::create_directories(Config);
    fs::create_directories(Root / "data");
    fs::create_directories(Root / "cache");
    if (makeDesktopDir) fs::create_directories(Home / "Desktop");
    if (!userDirs.empty()) testsupport::WriteFileBytes(Config / "user-dirs.dirs", userDirs);
    setenv("HOME", Home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", Config.c_str(), 1);
    setenv("XDG_DATA_HOME", (Root / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (Root / "cache").c_str(), 1);
  }

  void Start() {
    common::InitializeCommonUtilities();
    common::InitializeCommonObjects();
    common::InitializeCommonDataObject();
    common::InitializeCommonThreadManager();
    InitializeShellUtilities();
    FStarted = true;
  }
  void Stop() {
    if (!FStarted) return;
    FinalizeShellUtilities();
    common::FinalizeCommonThreadManager();
    common::FinalizeCommonDataObject();
    common::FinalizeCommonObjects();
    common::FinalizeCommonUtilities();
    FStarted = false;
  }

  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    TFormatSettings fs;
    fs.ShortDateFormat = u"dd.MM.yyyy";
    fs.LongTimeFormat = u"hh:nn:ss";
    fs.ThousandSeparator = u' ';
    SetFormatSettings(fs);
    shellapi::Hooks().Mounts = [] { return std::vector<shellapi::TMount>{{"/", false}}; };
    FBlocks = ole::testing::LiveTaskBlocks();
    FObjects = shellapi::testing::LiveShellObjects();
    FTObjects = TObject::LiveObjects();
  }
  void TearDown() override {
    Stop();
    ResetPlatformVersion();
    shellapi::ResetHooks();
    EXPECT_EQ(ole::testing::LiveTaskBlocks(), FBlocks) << "task allocator blocks left";
    EXPECT_EQ(shellapi::testing::LiveShellObjects(), FObjects) << "namespace objects left";
    EXPECT_EQ(TObject::LiveObjects(), FTObjects) << "objects left";
  }

  // An item for a path; the fixture's caller frees it.
  static TNamespace* Item(const fs::path& p) { return TNamespace::CreateFromFileName(FromNativePath(p.string())); }

  fs::path Root, Home, Config;

private:
  bool FStarted{false};
  int64_t FBlocks{0};
  int FObjects{0};
  int64_t FTObjects{0};
};

}  // namespace shelltest
