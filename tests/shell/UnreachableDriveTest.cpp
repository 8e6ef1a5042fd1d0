// Drives that must not be touched: a network share or a mount whose device has gone counts as an
// unreachable drive, which an item's validity does not question, while a vanished folder on a
// reachable drive is invalid. The mount table and the block devices are written by the test.

#include "platform/kernel/Drives.h"
#include "support/FakeMounts.h"
#include "ShellTestEnv.h"

namespace shelltest {
namespace {

class UnreachableDriveTest : public ShellFixture {
protected:
  void SetUp() override {
    ShellFixture::SetUp();
    MakeDesktop("");
    Fake = testsupport::MakeFakeMounts();
    kernel::testing::SetMountTableSource(Fake.Table, Fake.Sys);
    shellapi::ResetHooks();  // the drives come from the table
    M = Fake.Dir / "m";
    Start();
  }
  void TearDown() override {
    kernel::testing::SetMountTableSource("", "");
    ShellFixture::TearDown();
  }

  testsupport::TFakeMounts Fake;
  fs::path M;
};

TEST_F(UnreachableDriveTest, NetworkDrivesAndDrivesWhoseDeviceIsGoneAreValidWithoutBeingAsked) {
  fs::create_directories(M / "net" / "photos");
  fs::create_directories(M / "card" / "DCIM");
  fs::create_directories(M / "my disk" / "sub");
  struct Case {
    const char* name;
    fs::path path;
    bool removeAfterParse;  // the folder goes away once the item exists
    bool unreachable;
    bool valid;
    bool removable;
  };
  const Case cases[] = {
      {"a folder on a network share", M / "net" / "photos", false, false, true, false},
      {"an sshfs mount", M / "ssh", false, true, true, false},
      {"a network share whose server is away", M / "net", true, true, true, false},
      {"a memory card", M / "card", false, false, true, true},
      {"a vanished folder on the card", M / "card" / "DCIM", true, false, false, false},
      {"a stick pulled out while mounted", M / "yanked", false, true, true, false},
      {"its folder gone as well", M / "yanked", true, true, true, false},
      {"a fixed disk", M / "disk", false, false, true, false},
      {"a vanished folder on a fixed disk", M / "my disk" / "sub", true, false, false, false},
      {"a CD", M / "cd", false, false, true, true},
      {"a RAM disk", M / "ram", false, false, true, false},
      {"the root", "/", false, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TNamespace> item(Item(c.path));
    ASSERT_NE(item.get(), nullptr);
    if (c.removeAfterParse) fs::remove_all(c.path);
    EXPECT_EQ(IsUnreachableDrive(item.get()), c.unreachable);
    EXPECT_EQ(item->GetValid(), c.valid);
    EXPECT_EQ(item->GetRemovable(), c.removable);
  }
}

TEST_F(UnreachableDriveTest, ComputerListsNetworkSharesWithoutAskingTheirServers) {
  fs::remove_all(M / "net");
  Owned<TNamespace> computer(TNamespace::New(PathToPIDL(u"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"), nullptr));
  std::map<std::string, TObjectDescription> drives;
  computer->EnumerateFolderEx(nullptr, {TFileObject::foFolders},
                              [&](HWND, PItemIDList pidl, TNamespace* parent, void*, bool&) {
                                Owned<TNamespace> child(TNamespace::New(pidl, parent));
                                drives[ToNativePath(child->GetNameForParsing())] = child->GetDescription();
                                return true;
                              },
                              nullptr);
  using D = TObjectDescription;
  // The stick that was pulled out and the fixed disks outside /mnt are no drives of the user's; a
  // disc is removable media.
  std::map<std::string, TObjectDescription> expected{{"/", D::odFixed},
                                                     {(M / "net").string(), D::odNetDrive},
                                                     {(M / "ssh").string(), D::odNetDrive},
                                                     {(M / "card").string(), D::odRemovable},
                                                     {(M / "cd").string(), D::odRemovable}};
  EXPECT_EQ(drives, expected);
}

}  // namespace
}  // namespace shelltest
