#include <gtest/gtest.h>

#include "platform/rtl/Streams.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Units.h"
#include "support/TestEnv.h"

using namespace pf;

namespace {

TEST(FoldersTest, ForceDirectoriesAndRemoval) {
  const String root = FromNativePath(testsupport::MakeTempDir("sys").string());
  const String deep = root + U("/Сельвана/профиль 2/");
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));  // already there

  const String file = deep + u"Info.cfg";
  Owned<TFileStream>(TFileStream::New(file, fmCreate));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(ForceDirectories(file + u"/below"));  // a file is in the way

  const String parent = root + U("/Сельвана");
  EXPECT_FALSE(RemoveDir(parent));  // not empty: answered, not raised
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(DeleteFile(file));
  EXPECT_TRUE(RemoveDir(deep));
  EXPECT_TRUE(RemoveDir(parent));
}

TEST(PathTest, NameParts) {
  struct Case {
    const char* path;
    const char* name;
    const char* dir;
    const char* ext;
    const char* changed;  // extension changed to ".png"
  } cases[] = {
      {"/home/u/IMG_0001.JPG", "IMG_0001.JPG", "/home/u/", ".JPG", "/home/u/IMG_0001.png"},
      {"photo", "photo", "", "", "photo.png"},
      {"/a.b/photo", "photo", "/a.b/", "", "/a.b/photo.png"},
      {"/a/x.tar.gz", "x.tar.gz", "/a/", ".gz", "/a/x.tar.png"},
      {"/a/", "", "/a/", "", "/a/.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileName(U(c.path)), U(c.name)) << c.path;
    EXPECT_EQ(ExtractFilePath(U(c.path)), U(c.dir)) << c.path;
    EXPECT_EQ(ExtractFileExt(U(c.path)), U(c.ext)) << c.path;
    EXPECT_EQ(ChangeFileExt(U(c.path), u".png"), U(c.changed)) << c.path;
  }
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a"), u"/a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/"), u"/");
}

TEST(PathTest, NamesThatAreNotUtf8SurviveTheRoundTrip) {
  struct Case {
    std::string native;
    String text;
  } cases[] = {
      {"/tmp/\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE.jpg", U("/tmp/Фото.jpg")},
      {"caf\xE9.jpg", u"caf\xDCE9.jpg"},                 // Latin-1 byte kept as is
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                     // an overlong "/" is no "/"
      {"a\xF0\x9F\x98\x80", u"a\xD83D\xDE00"},
      {"x\xE2\x82", u"x\xDCE2\xDC82"},                // a sequence cut short by the name's end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromNativePath(c.native), c.text) << c.native;
    EXPECT_EQ(ToNativePath(c.text), c.native) << c.native;
  }
  const auto dir = testsupport::MakeTempDir("latin1");
  testsupport::WriteFileBytes(dir / "caf\xE9.jpg", "x");
  EXPECT_TRUE(FileExists(FromNativePath((dir / "caf\xE9.jpg").string())));
}

class UnitsTest : public ::testing::Test {
protected:
  void TearDown() override { ClearUnitRegistry(); }
  std::vector<std::string> FCalls;
  void Add(int order, const char* name, bool failInit = false) {
    RegisterUnit(
        order, name,
        [this, name, failInit] {
          if (failInit) throw std::runtime_error(name);
          FCalls.push_back(std::string("+") + name);
        },
        [this, name] { FCalls.push_back(std::string("-") + name); });
  }
};

TEST_F(UnitsTest, OrderCountingAndReverseFinalisation) {
  Add(2, "Settings");
  Add(1, "Utils");
  Add(1, "Lists");
  Add(0, "Utils");  // a second registration of a name is ignored
  InitializeUnits();
  InitializeUnits();  // counted: the second call does nothing
  EXPECT_TRUE(UnitsInitialized());
  FinalizeUnits();
  EXPECT_TRUE(UnitsInitialized());
  FinalizeUnits();
  EXPECT_FALSE(UnitsInitialized());
  FinalizeUnits();  // one too many does nothing
  EXPECT_EQ(FCalls, (std::vector<std::string>{"+Utils", "+Lists", "+Settings", "-Settings", "-Lists", "-Utils"}));
}

TEST_F(UnitsTest, AFailedStartFinalisesWhatStarted) {
  Add(1, "A");
  Add(2, "B", true);
  Add(3, "C");
  EXPECT_THROW(InitializeUnits(), std::runtime_error);
  EXPECT_FALSE(UnitsInitialized());
  EXPECT_EQ(FCalls, (std::vector<std::string>{"+A", "-A"}));
}

}  // namespace
