// The customer's file in the application folder, with and without a profile argument.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "order/uSettings.h"
#include "order/uUtils.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

using namespace order;
namespace fs = std::filesystem;

namespace {

const char* const kTitle = "\xD0\xA1\xD0\xB5\xD0\xBB\xD1\x8C\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB0 "
                           "\xD0\xA2\xD0\xB8\xD1\x85\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xB4 - "
                           "\xD0\xB7\xD0\xB0\xD0\xBA\xD0\xB0\xD0\xB7 "
                           "\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD1\x84\xD0\xB8\xD0\xB9";

// Each case gets its own XDG_CONFIG_HOME and command line, and gives both back.
class PrivateInfoTest : public ::testing::Test {
protected:
  void SetUp() override {
    FSavedConfig = GetEnvironmentVariable(u"XDG_CONFIG_HOME");
    FConfig = testsupport::MakeTempDir("config");
    setenv("XDG_CONFIG_HOME", FConfig.c_str(), 1);
    SetCommandLine(std::vector<String>{u"photo-order"});
  }
  void TearDown() override {
    setenv("XDG_CONFIG_HOME", StringToUtf8(FSavedConfig).c_str(), 1);
    SetCommandLine(std::vector<String>{u"photo-order"});
  }
  fs::path AppDir() const { return FConfig / kTitle; }

  fs::path FConfig;
  String FSavedConfig;
};

}  // namespace

TEST_F(PrivateInfoTest, FolderIsMadeEvenWhenOnlyReading) {
  ASSERT_FALSE(fs::exists(AppDir()));
  Owned<TPrivateInfo> info(TPrivateInfo::New());
  info->LoadFromFile();
  EXPECT_TRUE(fs::is_directory(AppDir()));
  EXPECT_EQ(info->GetPhone(), u"");
  EXPECT_EQ(GetInfoFileName(), FromNativePath((AppDir() / "Info.cfg").string()));
}

TEST_F(PrivateInfoTest, ProfileArgumentNamesASubFolder) {
  SetCommandLine(std::vector<String>{u"photo-order", u"shop2"});
  EXPECT_EQ(GetAppFolder(), FromNativePath((AppDir() / "shop2").string()) + u"/");
  Owned<TPrivateInfo> info(TPrivateInfo::New());
  info->SetFirstName(u"Иван");
  info->SaveToFile();
  EXPECT_TRUE(fs::is_regular_file(AppDir() / "shop2" / "Info.cfg"));
  EXPECT_FALSE(fs::exists(AppDir() / "Info.cfg"));
}

TEST_F(PrivateInfoTest, AnEmptyProfileArgumentNamesNoProfileLikeNoArgumentAtAll) {
  struct Case {
    const char* Name;
    std::vector<String> CommandLine;
  };
  const Case cases[] = {
      {"no argument", {u"photo-order"}},
      {"an empty argument", {u"photo-order", u""}},
      {"an empty argument before another", {u"photo-order", u"", u"shop2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SetCommandLine(c.CommandLine);
    EXPECT_EQ(ProfileArgumentError(), u"");
    EXPECT_EQ(GetAppFolder(), FromNativePath(AppDir().string()) + u"/");
    EXPECT_EQ(GetInfoFileName(), FromNativePath((AppDir() / "Info.cfg").string()));
    Owned<TPrivateInfo> info(TPrivateInfo::New());
    info->SetPhone(u"123");
    info->SaveToFile();
    EXPECT_TRUE(fs::is_regular_file(AppDir() / "Info.cfg"));
    std::vector<fs::path> inside;
    for (const auto& entry : fs::directory_iterator(AppDir())) inside.push_back(entry.path().filename());
    EXPECT_EQ(inside, std::vector<fs::path>{"Info.cfg"}) << "no profile folder beside the file";
    fs::remove(AppDir() / "Info.cfg");
  }
}

TEST_F(PrivateInfoTest, ProfileThatIsNotOneFolderNameIsRefused) {
  const String bad[] = {u".", u"..", u"../x", u"a/b", u"/tmp", u"a\\b", String(u"a\0b", 3),
                        u"a\nb", u"a\tb", u"a\x7F", String(300, u'x')};
  for (const String& arg : bad) {
    SCOPED_TRACE(StringToUtf8(arg));
    SetCommandLine(std::vector<String>{u"photo-order", arg});
    EXPECT_FALSE(ProfileArgumentError().empty());
    EXPECT_THROW(GetAppFolder(), EProfileError);
    EXPECT_THROW(Owned<TPrivateInfo>(TPrivateInfo::New())->LoadFromFile(), EProfileError);
  }
  EXPECT_FALSE(fs::exists(FConfig / kTitle)) << "nothing may be made for a refused profile";
  EXPECT_FALSE(fs::exists(FConfig / "x"));
  EXPECT_TRUE(ProfileNameError(u"магазин 2").empty());
}

TEST_F(PrivateInfoTest, FileHoldsOnlyTheGivenFieldsInTheCodePage) {
  {
    Owned<TPrivateInfo> info(TPrivateInfo::New());
    info->SetFirstName(u"Иван");
    info->SetSecondName(u"Петров");
    info->SetThirdName(u"Сергеевич");
    info->SetPhone(u"");
    info->SetEMail(u"ivan@example.ru");
    info->SaveToFile();
  }
  EXPECT_EQ(testsupport::ReadFileBytes(AppDir() / "Info.cfg"),
            "FirstName=\xC8\xE2\xE0\xED\r\n"
            "SecondName=\xCF\xE5\xF2\xF0\xEE\xE2\r\n"
            "ThirdName=\xD1\xE5\xF0\xE3\xE5\xE5\xE2\xE8\xF7\r\n"
            "EMail=ivan@example.ru\r\n");
  Owned<TPrivateInfo> info(TPrivateInfo::New());
  info->LoadFromFile();
  EXPECT_EQ(info->GetSecondName(), u"Петров");
  EXPECT_EQ(info->GetPhone(), u"");
}

TEST_F(PrivateInfoTest, LineBreaksCannotForgeLinesAndTabsStay) {
  {
    Owned<TPrivateInfo> info(TPrivateInfo::New());
    info->SetFirstName(u"Ivan\r\nPhone=000");
    info->SetPhone(u"1\t2\n3\r4");
    info->SetEMail(u"Łukasz@example.pl");
    info->SaveToFile();
  }
  EXPECT_EQ(testsupport::ReadFileBytes(AppDir() / "Info.cfg"),
            "\xEF\xBB\xBF" "FirstName=Ivan  Phone=000\r\nPhone=1\t2 3 4\r\nEMail=\xC5\x81ukasz@example.pl\r\n");
  Owned<TPrivateInfo> info(TPrivateInfo::New());
  info->LoadFromFile();
  EXPECT_EQ(info->GetPhone(), u"1\t2 3 4");
  EXPECT_EQ(info->GetEMail(), u"Łukasz@example.pl");
}

TEST_F(PrivateInfoTest, ForgettingTheCustomerNeverFails) {
  DeleteInfoFile();  // no file yet
  EXPECT_FALSE(fs::exists(AppDir()));

  Owned<TPrivateInfo>(TPrivateInfo::New())->SaveToFile();
  fs::create_directories(AppDir() / "shop2");  // another profile keeps the folder busy
  EXPECT_NO_THROW(DeleteInfoFile());
  EXPECT_FALSE(fs::exists(AppDir() / "Info.cfg"));
  EXPECT_TRUE(fs::is_directory(AppDir() / "shop2"));
}
