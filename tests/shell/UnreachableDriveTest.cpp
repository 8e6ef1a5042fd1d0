// Drives, whose roots are mount points here. Those that must not be touched: a network share or a
// mount whose device has gone counts as an unreachable drive, which an item's validity does not
// question, while a vanished folder on a reachable drive is invalid. A drive in Computer shows
// every column, and one whose medium has gone is not browsed. The mount table and the block
// devices are written by the test.

#include "common/CommonUtilities.h"
#include "platform/kernel/Drives.h"
#include "support/FakeMounts.h"
#include "ShellFakes.h"

namespace shelltest {
namespace {

// An item of Computer under any name for parsing, with the columns of the folder given.
class TComputerChild : public TFakeItem {
  PF_CLASS(TComputerChild)
public:
  String Name;
  String GetNameForParsing() override { return Name; }
};

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

TEST_F(UnreachableDriveTest, ADriveInComputerShowsEveryColumnAndAnythingElseThereOnlyTheFirstTwo) {
  fs::create_directories(M / "card" / "DCIM");
  TFakeFolder columns;
  columns.Script.Count = -1;
  auto native = [](const fs::path& p) { return FromNativePath(p.string()); };
  struct Case {
    const char* name;
    String parseName;
    bool drive;
  };
  const Case cases[] = {
      {"the root", u"/", true},
      {"a memory card", native(M / "card"), true},
      {"a memory card with a slash behind", native(M / "card") + u"/", true},
      {"a stick pulled out while mounted", native(M / "yanked"), true},
      {"a network share", native(M / "net"), true},
      {"a drive letter's root", u"C:\\", true},
      {"a folder on the card", native(M / "card" / "DCIM"), false},
      {"a folder beside the card", native(M / "cardboard"), false},
      {"a mount whose folder was deleted", native(M / "old dir"), false},
      {"a virtual item", u"::{645FF040-5081-101B-9F08-00AA002F954E}", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TComputerChild> item(TComputerChild::New(PathToPIDL(u"/"), nullptr));
    item->Name = c.parseName;
    item->ParentFolder = &columns;
    ASSERT_TRUE(item->GetParent()->IsMyComputer());
    EXPECT_EQ(item->DetailsOf(1), u"v1");
    for (Integer col = 2; col < 5; ++col)
      EXPECT_EQ(item->DetailsOf(col), c.drive ? u"v" + IntToStr(col) : String()) << "column " << col;
  }
  EXPECT_EQ(columns.Refs, 0);
}

TEST_F(UnreachableDriveTest, OnlyADriveWhoseMediumHasGoneIsNotBrowsed) {
  fs::create_directories(M / "card" / "DCIM");
  fs::create_directories(M / "lost");
  struct Case {
    const char* name;
    fs::path path;
    bool removeAfterParse;
    bool diskInDrive;
    bool browse;
  };
  const Case cases[] = {
      {"the root", "/", false, true, true},
      {"a memory card", M / "card", false, true, true},
      {"a fixed disk", M / "disk", false, true, true},
      {"a CD", M / "cd", false, true, true},
      // Not asked: the table says remote.
      {"a network share whose server is away", M / "net", true, true, true},
      {"a stick pulled out while mounted", M / "yanked", false, false, false},
      {"a mount whose folder went", M / "lost", true, false, false},
      {"a folder on the card", M / "card" / "DCIM", false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned<TNamespace> item(Item(c.path));
    ASSERT_NE(item.get(), nullptr);
    if (c.removeAfterParse) fs::remove_all(c.path);
    EXPECT_EQ(common::DiskInDrive(item->GetNameForParsing()), c.diskInDrive);
    EXPECT_EQ(item->OkToBrowse(false), c.browse);
    EXPECT_EQ(item->OkToBrowse(true), c.browse);
  }
}

}  // namespace
}  // namespace shelltest
