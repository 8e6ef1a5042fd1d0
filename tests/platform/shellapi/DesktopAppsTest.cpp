// The desktop's applications for a type of file: Exec lines as argument vectors, the order the
// freedesktop rules give the applications of a private XDG tree, and a program really started
// with a file whose name a shell would have taken apart.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/DesktopApps.h"
#include "platform/shellapi/ShellApi.h"
#include "platform/shellapi/ShellExecute.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::shellapi;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(ExecLineTest, FieldCodesBecomeFilesAndNoShellEverReadsTheLine) {
  const Args two{"/p/a b.jpg", "/p/c.jpg"};
  struct Case {
    const char* exec;
    Args files;
    std::optional<std::vector<Args>> runs;
  };
  const Case cases[] = {
      {"viewer %f", two, std::vector<Args>{{"viewer", "/p/a b.jpg"}, {"viewer", "/p/c.jpg"}}},
      {"viewer %F", two, std::vector<Args>{{"viewer", "/p/a b.jpg", "/p/c.jpg"}}},
      {"viewer --x %U", two, std::vector<Args>{{"viewer", "--x", "file:///p/a%20b.jpg", "file:///p/c.jpg"}}},
      {"viewer %u", {"/p/a b.jpg"}, std::vector<Args>{{"viewer", "file:///p/a%20b.jpg"}}},
      // Deprecated and other codes go, and an argument that was only a code goes with them.
      {"viewer %i %c %k -n %d --name=%c %f", {"/p/c.jpg"}, std::vector<Args>{{"viewer", "-n", "--name=", "/p/c.jpg"}}},
      {"viewer 100%% %f", {"/p/c.jpg"}, std::vector<Args>{{"viewer", "100%", "/p/c.jpg"}}},
      {"viewer", two, std::vector<Args>{{"viewer"}}},
      // Quoting keeps blanks and the shell's characters inside one argument, literally.
      {"\"/opt/My App/run\" \"a;b $HOME `x`\" '%f'", {"/p/c.jpg"},
       std::vector<Args>{{"/opt/My App/run", "a;b $HOME `x`", "'/p/c.jpg'"}}},
      {"run \"say \\\"hi\\\" \\$5 \\\\ \\`\" \"\"", {}, std::vector<Args>{{"run", "say \"hi\" $5 \\ `", ""}}},
      {"run  \t  two", {}, std::vector<Args>{{"run", "two"}}},
      {"run \"unclosed", {}, std::nullopt},
      {"", {}, std::nullopt},
      {"%i %f", {"/p/c.jpg"}, std::vector<Args>{{"/p/c.jpg"}}},
      {"%i", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exec);
    EXPECT_EQ(ExecCommands(c.exec, c.files), c.runs);
  }
}

class DesktopAppsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = testsupport::MakeTempDir("apps");
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP", "PATH"})
      FSaved.emplace_back(v, std::getenv(v) ? std::optional<std::string>(std::getenv(v)) : std::nullopt);
    for (const char* d : {"config", "etc", "data/applications", "sys1/applications/vendor", "sys2/applications", "bin"})
      fs::create_directories(Dir / d);
    // The shared MIME database is still needed for the types' parents.
    fs::create_directory_symlink("/usr/share/mime", Dir / "sys2" / "mime");
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", ("relative:" + (Dir / "etc").string()).c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", ((Dir / "sys1").string() + ":" + (Dir / "sys2").string()).c_str(), 1);
    setenv("XDG_CURRENT_DESKTOP", "Lab:GNOME", 1);
  }
  void TearDown() override {
    pf::testing::SetShellExecuteLauncher(nullptr);
    for (const auto& [name, value] : FSaved) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  void Entry(const fs::path& file, const std::string& name, const std::string& types, const std::string& extra = "") {
    testsupport::WriteFileBytes(Dir / file, "# a comment\n[Desktop Entry]\nType=Application\nName=" + name +
                                                "\nExec=" + name + " %F\nMimeType=" + types + "\n" + extra +
                                                "[Desktop Action New]\nName=Other\nExec=nothing\n");
  }
  static std::vector<std::string> Ids(const TTypeApps& apps) {
    std::vector<std::string> ids;
    for (const TDesktopApp& a : apps) ids.push_back(a.Id);
    return ids;
  }

  fs::path Dir;

private:
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

TEST_F(DesktopAppsTest, TheDefaultComesFirstThenTheAssociationsInTheOrderOfTheFolders) {
  // The user's lists: a default that is not installed is passed over; a removal hides a system
  // program. The desktop's own list is read before the general one.
  testsupport::WriteFileBytes(Dir / "config" / "mimeapps.list",
                              "[Default Applications]\nimage/jpeg=missing.desktop;photoview.desktop;\n"
                              "[Removed Associations]\nimage/jpeg=oldview.desktop;\n");
  testsupport::WriteFileBytes(Dir / "config" / "gnome-mimeapps.list", "[Added Associations]\nimage/jpeg=editor.desktop\n");
  testsupport::WriteFileBytes(Dir / "etc" / "mimeapps.list",
                              "[Added Associations]\nimage/jpeg=painter.desktop;\n"
                              "[Default Applications]\ntext/plain=notes.desktop\n");
  testsupport::WriteFileBytes(Dir / "sys2" / "applications" / "mimeapps.list",
                              "[Default Applications]\nimage/jpeg=vendor-viewer2.desktop\n");
  Entry("data/applications/photoview.desktop", "PhotoView", "image/jpeg;image/png;");
  Entry("sys1/applications/photoview.desktop", "System PhotoView", "text/plain;");  // hidden by the user's
  Entry("sys1/applications/painter.desktop", "Painter", "image/png;");
  Entry("sys1/applications/oldview.desktop", "OldView", "image/jpeg;");
  Entry("sys1/applications/vendor/viewer2.desktop", "Viewer Two", "image/jpeg");
  Entry("sys1/applications/gone.desktop", "Gone", "image/jpeg;", "Hidden=true\n");
  Entry("sys1/applications/notthere.desktop", "NotThere", "image/jpeg;", "TryExec=/nonexistent/program\n");
  Entry("sys1/applications/link.desktop", "Link", "image/jpeg;", "Type=Link\n");
  Entry("sys1/applications/notes.desktop", "Notes", "text/plain;");
  Entry("sys1/applications/editor.desktop", "Editor", "text/plain;");
  Entry("sys2/applications/gone.desktop", "Gone Below", "image/jpeg;");  // hidden above

  struct Case {
    std::vector<std::string> types;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {{"image/jpeg"}, {"photoview.desktop", "editor.desktop", "painter.desktop", "vendor-viewer2.desktop"}},
      // An alias names the same type.
      {{"image/pjpeg"}, {"photoview.desktop", "editor.desktop", "painter.desktop", "vendor-viewer2.desktop"}},
      {{"text/plain"}, {"notes.desktop", "editor.desktop"}},
      {{"image/png"}, {"photoview.desktop", "painter.desktop"}},
      // A C source is a kind of text: the text's programs follow its own (it has none).
      {{"text/x-csrc"}, {"notes.desktop", "editor.desktop"}},
      {{"application/x-no-such-type"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.types[0]);
    EXPECT_EQ(Ids(AppsForTypes(c.types)), c.ids);
  }
  auto app = FindDesktopApp("vendor-viewer2.desktop");
  ASSERT_TRUE(app);
  EXPECT_EQ(app->Name, "Viewer Two");
  EXPECT_EQ(app->File, (Dir / "sys1/applications/vendor/viewer2.desktop").string());
  EXPECT_EQ(app->Exec, "Viewer Two %F") << "the Desktop Entry group's Exec, not an action's";
  EXPECT_FALSE(FindDesktopApp("gone.desktop")) << "a hidden entry hides the same ID in less important folders";
  EXPECT_EQ(FindDesktopApp("photoview.desktop")->Name, "PhotoView");
}

TEST_F(DesktopAppsTest, AnApplicationStartsWithItsFileAsOneArgumentWithoutAShell) {
  fs::path out = Dir / "out";
  fs::create_directories(out);
  // A name with a blank, quotes, a dollar sign and a semicolon: a shell would split or expand it.
  fs::path photo = Dir / "it's \"my\" $HOME; photo.jpg";
  testsupport::WriteFileBytes(photo, "JPEG");
  std::string cp = FindProgram("cp");
  ASSERT_FALSE(cp.empty());
  testsupport::WriteFileBytes(Dir / "data/applications/copier.desktop",
                              "[Desktop Entry]\nType=Application\nName=Copier\nExec=cp %f copied.jpg\nPath=" + out.string() + "\n");
  testsupport::WriteFileBytes(Dir / "bin" / "broken", "not a program");
  fs::permissions(Dir / "bin" / "broken", fs::perms::owner_all);
  testsupport::WriteFileBytes(Dir / "data/applications/broken.desktop",
                              "[Desktop Entry]\nType=Application\nName=Broken\nExec=" + (Dir / "bin" / "broken").string() + " %f\n");
  testsupport::WriteFileBytes(Dir / "data/applications/absent.desktop",
                              "[Desktop Entry]\nType=Application\nName=Absent\nExec=no-such-program-here %f\n");
  struct Case {
    const char* cls;
    BOOL ok;
    uintptr_t code;
  };
  for (const Case& c : {Case{"copier.desktop", 1, 42}, Case{"broken.desktop", 0, SE_ERR_NOASSOC},
                        Case{"absent.desktop", 0, SE_ERR_FNF}, Case{"unknown.desktop", 0, SE_ERR_NOASSOC}}) {
    SCOPED_TRACE(c.cls);
    String file = FromNativePath(photo.string()), cls = FromNativePath(c.cls);
    SHELLEXECUTEINFOW sei;
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_CLASSNAME;
    sei.lpFile = file.c_str();
    sei.lpClass = cls.c_str();
    EXPECT_EQ(ShellExecuteExW(&sei), c.ok);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(sei.hInstApp) > 32 ? 42u : reinterpret_cast<uintptr_t>(sei.hInstApp), c.code);
  }
  // The program runs on its own; wait for its copy, which may not exist yet (reading a missing file
  // throws), generously: a loaded machine may take its time to start a process.
  auto copied = [&out] { return fs::exists(out / "copied.jpg") && testsupport::ReadFileBytes(out / "copied.jpg") == "JPEG"; };
  for (int i = 0; i < 6000 && !copied(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(testsupport::ReadFileBytes(out / "copied.jpg"), "JPEG");
  EXPECT_EQ(fs::directory_iterator(out)->path().filename(), "copied.jpg") << "nothing else was made";
}

}  // namespace
