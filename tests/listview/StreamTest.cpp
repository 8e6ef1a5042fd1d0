// The list view stream: golden bytes written by hand, the older versions, and damaged streams.
#include <cstdlib>
#include <new>

#include "ListviewTestUtil.h"
#include "listview/EmberStreamIO.h"
#include "platform/rtl/Strings.h"

// The largest single allocation while a load runs: a damaged count must not make the reader ask
// for memory the stream cannot fill.
// (The sanitizer build keeps its own allocator; the check runs in the plain build.)
namespace {
bool gWatchAllocations = false;
size_t gLargestAllocation = 0;
}  // namespace
#if !defined(__SANITIZE_ADDRESS__)
void* operator new(size_t n) {
  if (gWatchAllocations && n > gLargestAllocation) gLargestAllocation = n;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#endif

namespace lvtest {
namespace {

// ---- Records written by hand from the format ----
const std::string Head = "FF FE CE 00  06 00 00 00";
const std::string EmptyArray = "00 00 00 00";
// Captions ["A"], then details, image, overlay, group-key and state-image arrays, all empty.
const std::string ItemA = Head + " 80 08  01 00 00 00 01 00 00 00 41 00" + " 00000000 00000000 00000000 00000000 00000000";
// A new group (enabled, visible, checked), no items, captions ["G"], three empty arrays.
const std::string GroupGEmpty = Head + " 81 08  06 00 00 00 00 00 00 00  01 00 00 00 01 00 00 00 47 00" +
                                " 00000000 00000000 00000000";
// A new first column: alignment left, auto-size on double click, auto-sort on click, no spring,
// toggled sort glyph, position 0, no sort, thick style, clickable, width 50, background clNone,
// drop-down button (always show no, enabled, always show no, no state, hidden), captions ["C"].
const std::string ColumnC = Head + " 80 08  00 01 01 00 01  00 00 00 00  00 00 01  32 00 00 00  FF FF FF 1F" +
                            " 00 01 00 00 00  01 00 00 00 01 00 00 00 43 00  00000000 00000000 00000000";

std::string Save(TCustomEmberListview* lv) {
  Owned<TMemoryStream> s(TMemoryStream::New());
  lv->SaveToStream(*s);
  return std::string(s->Bytes());
}

void Load(TCustomEmberListview* lv, const std::string& bytes) {
  Owned<TMemoryStream> s(TMemoryStream::New());
  s->WriteBytes(bytes);
  s->SetPosition(0);
  lv->LoadFromStream(*s);
}

class StreamTest : public ListviewTest {
protected:
  void SetUp() override {
    ListviewTest::SetUp();
    MakeList();
  }
  // A thumbnail view with group "G" holding item "A", and column "C".
  void Fill() {
    LV->SetView(TEmberListStyle::elsThumbnail);
    TEmberGroup* g = LV->GetGroups()->Add();
    g->SetCaption(u"G");
    g->GetItems()->Add()->SetCaption(u"A");
    LV->GetHeader()->GetColumns()->Add()->SetCaption(u"C");
  }
  std::string Golden() const {
    return Bytes("06 00 00 00 04  06 00 00 00 01 00 00 00") + NameField("TEmberGroupStored") +
           Bytes(Head + " 81 08  06 00 00 00 01 00 00 00") + NameField("TEmberItemStored") + Bytes(ItemA) +
           Bytes("01 00 00 00 01 00 00 00 47 00 00000000 00000000 00000000") +
           Bytes("06 00 00 00 01 00 00 00") + NameField("TEmberColumnStored") + Bytes(ColumnC);
  }
};

TEST_F(StreamTest, OneItemOneGroupAndOneColumnWriteTheirRecords) {
  TEmberGroup* g = LV->GetGroups()->Add();
  g->SetCaption(u"G");
  Owned<TMemoryStream> s(TMemoryStream::New());
  g->SaveToStream(*s, 6);
  EXPECT_EQ(Hex(s->Bytes()), Hex(Bytes(GroupGEmpty)));

  TEmberItem* a = g->GetItems()->Add();
  a->SetCaption(u"A");
  s->Clear();
  a->SaveToStream(*s, 6);
  EXPECT_EQ(Hex(s->Bytes()), Hex(Bytes(ItemA)));

  TEmberColumn* c = LV->GetHeader()->GetColumns()->Add();
  c->SetCaption(u"C");
  s->Clear();
  c->SaveToStream(*s, 6);
  EXPECT_EQ(Hex(s->Bytes()), Hex(Bytes(ColumnC)));
}

TEST_F(StreamTest, ASmallControlWritesItsRecordAndReadsItBack) {
  Fill();
  EXPECT_EQ(Hex(Save(LV)), Hex(Golden()));
  EXPECT_EQ(Hex(Save(MakeList())), Hex(Bytes("06000000 00  06000000 00000000  06000000 00000000")));
  int viewChanges = 0;
  LV->OnViewChange = [&](TCustomEmberListview*) { ++viewChanges; };
  Load(LV, Golden());
  EXPECT_EQ(viewChanges, 1);
  EXPECT_EQ(LV->GetView(), TEmberListStyle::elsThumbnail);
  ASSERT_EQ(LV->GetGroups()->GetCount(), 1);
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetItem(0)->GetCaption(), u"A");
  EXPECT_EQ(LV->GetHeader()->GetColumns()->GetColumn(0)->GetCaption(), u"C");
  EXPECT_EQ(Hex(Save(LV)), Hex(Golden()));
}

TEST_F(StreamTest, AnApplicationItemClassComesBackAsItselfWithItsOwnBytes) {
  auto save = [](TCustomEmberListview*, TEmberItem* i, TStream* s, Integer) {
    streamio::WriteInt32(*s, static_cast<TAppItem*>(i)->Extra);
  };
  auto load = [](TCustomEmberListview*, TEmberItem* i, TStream* s, Integer) {
    static_cast<TAppItem*>(i)->Extra = streamio::ReadInt32(*s);
  };
  LV->OnItemSaveToStream = save;
  TAppItem* item = static_cast<TAppItem*>(LV->GetItems()->AddCustom(&TAppItem::StaticClass()));
  item->SetCaption(u"photo");
  item->Extra = 42;
  const std::string bytes = Save(LV);
  EXPECT_NE(bytes.find(NameField("TAppItem")), std::string::npos);

  TEmberListview* other = MakeList();
  other->OnItemLoadFromStream = load;
  Load(other, bytes);
  TEmberItem* back = other->GetGroups()->GetGroup(0)->GetItem(0);
  ASSERT_EQ(&back->ClassType(), &TAppItem::StaticClass());
  EXPECT_EQ(static_cast<TAppItem*>(back)->Extra, 42);
  EXPECT_EQ(back->GetCaption(), u"photo");
}

// An application class named outside ASCII: the stream names it in the system's single-byte code
// page, as every class name, and reading the name back finds the class.
class TCyrillicItem : public TEmberItemStored {
  PF_CLASS(TCyrillicItem)
public:
  static const TEmberCollectionItemClass& StaticClass() {
    static const TEmberCollectionItemClass cls("T\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", &TEmberItemStored::StaticClass(),
                                               ClassMaker<TCyrillicItem, TEmberCollectionItem, TEmberCollection*>());
    return cls;
  }
  const TEmberCollectionItemClass& ClassType() const override { return StaticClass(); }
};

TEST_F(StreamTest, AClassNamedOutsideAsciiIsNamedInTheSystemCodePage) {
  struct Setting {
    Setting() {
      SetAnsiCodePage(1251);
      RegisterClass(TCyrillicItem::StaticClass());
    }
    ~Setting() {
      UnRegisterClass(TCyrillicItem::StaticClass());
      ResetAnsiCodePage();
    }
  } setting;
  LV->GetItems()->AddCustom(&TCyrillicItem::StaticClass())->SetCaption(u"A");
  const std::string bytes = Save(LV);
  // "TФото" in Windows-1251: T D4 EE F2 EE.
  EXPECT_NE(bytes.find(Bytes("05 00 00 00 54 D4 EE F2 EE") + Bytes(ItemA)), std::string::npos) << Hex(bytes);
  TEmberListview* other = MakeList();
  Load(other, bytes);
  ASSERT_EQ(other->GetGroups()->GetCount(), 1);
  TEmberItem* back = other->GetGroups()->GetGroup(0)->GetItem(0);
  EXPECT_EQ(&back->ClassType(), &TCyrillicItem::StaticClass());
  EXPECT_EQ(back->GetCaption(), u"A");
}

TEST_F(StreamTest, OlderRecordsRead) {
  TEmberGroup* g = LV->GetGroups()->Add();
  struct Case {
    const char* Name;
    std::string Bytes;
    String Caption;
    bool Selected;
  };
  // Collections of version 4 name no classes: the collection's own item class is made.
  const std::vector<Case> cases = {
      {"an item without its magic is a version-2 record",
       "04000000 01000000  80 0C  01000000 01000000 4100  00000000 00000000 00000000 00000000", u"A", true},
      {"a version-2 item has no state-image array",
       "04000000 01000000  FFFECE00 02000000 8008  01000000 01000000 4200  00000000 00000000 00000000 00000000",
       u"B", false},
      {"a version-6 item",
       "04000000 01000000  FFFECE00 06000000 8008  01000000 01000000 4300  00000000 00000000 00000000 00000000 "
       "01000000 05000000",
       u"C", false},
  };
  LV->GetSelection()->SetMultiSelect(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Owned<TMemoryStream> s(TMemoryStream::New());
    s->WriteBytes(Bytes(c.Bytes));
    s->SetPosition(0);
    g->GetItems()->ReadItems(*s);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    ASSERT_EQ(g->GetItemCount(), 1);
    EXPECT_EQ(g->GetItem(0)->GetCaption(), c.Caption);
    EXPECT_EQ(g->GetItem(0)->GetSelected(), c.Selected);
  }
  EXPECT_EQ(g->GetItem(0)->GetStateImageIndex(), 5);
  // A version-2 record read into an existing item leaves its state images as they were.
  Owned<TMemoryStream> s(TMemoryStream::New());
  s->WriteBytes(Bytes("FFFECE00 02000000 8008  01000000 01000000 4200  00000000 00000000 00000000 00000000"));
  s->SetPosition(0);
  Integer version = 6;
  g->GetItem(0)->LoadFromStream(*s, version);
  EXPECT_EQ(version, 2);
  EXPECT_EQ(g->GetItem(0)->GetCaption(), u"B");
  EXPECT_EQ(g->GetItem(0)->GetStateImageIndex(), 5);
}

TEST_F(StreamTest, OlderColumnsRead) {
  TEmberColumns* cols = LV->GetHeader()->GetColumns();
  // Version 5: no background colour and no drop-down button; the next record starts after Width.
  // Version 1: no auto-sort flag either.
  const std::string v5 = "FFFECE00 05000000 8008  02 00 01 00 00  01000000  02 01 00  40000000";
  const std::string v1 = "FFFECE00 01000000 8008  01 00    00 00  00000000  01 03 01  20000000";
  const std::string data = "01000000 01000000 5800  00000000 00000000 00000000";
  Owned<TMemoryStream> s(TMemoryStream::New());
  s->WriteBytes(Bytes("06000000 02000000") + NameField("TEmberColumnStored") + Bytes(v5 + data) +
                NameField("TEmberColumnStored") + Bytes(v1 + data));
  s->SetPosition(0);
  cols->ReadItems(*s);
  EXPECT_EQ(s->GetPosition(), s->GetSize());
  ASSERT_EQ(cols->GetCount(), 2);
  TEmberColumn* a = cols->GetColumn(0);
  EXPECT_EQ(a->GetAlignment(), TAlignment::taCenter);
  EXPECT_FALSE(a->GetAutoSizeOnDblClk());
  EXPECT_TRUE(a->GetAutoSortOnClick());
  EXPECT_EQ(a->GetSortDirection(), TEmberSortDirection::esdDescending);
  EXPECT_EQ(a->GetWidth(), 64);
  EXPECT_EQ(a->GetBkGndColor(), clNone);
  TEmberColumn* b = cols->GetColumn(1);
  EXPECT_TRUE(b->GetAutoSortOnClick());  // not in a version-1 record: the default stays
  EXPECT_EQ(b->GetStyle(), TEmberHeaderButtonStyle::ehbsThemed);
  EXPECT_EQ(b->GetWidth(), 32);
  EXPECT_EQ(b->GetCaption(), u"X");
}

// A control that has read virtual groups and columns reads a record without class names, or an
// empty one, as its own collections would: with the classes it read last.
TEST_F(StreamTest, ARecordWithoutClassNamesMakesTheClassesReadLast) {
  const std::string group = Head + " 81 08  06000000 00000000";  // a virtual group: no data block
  const std::string column = Head + " 80 08  00 01 01 00 01  00000000  00 00 01  32000000  FFFFFF1F 00 01 00 00 00";
  const std::string virtuals = Bytes("06000000 00  06000000 01000000") + NameField("TEmberGroupVirtual") +
                               Bytes(group + " 06000000 01000000") + NameField("TEmberColumnVirtual") + Bytes(column);
  struct Case {
    const char* what;
    std::string stream;
    Integer count;  // groups and columns read
  };
  const Case cases[] = {
      {"version-4 records", Bytes("06000000 00  04000000 01000000" + group + " 04000000 01000000" + column), 1},
      {"empty records", Bytes("06000000 00  06000000 00000000  06000000 00000000"), 0},
      {"empty version-4 records", Bytes("06000000 00  04000000 00000000  04000000 00000000"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TEmberListview* lv = MakeList();
    Load(lv, virtuals);
    Owned<TMemoryStream> s(TMemoryStream::New());
    s->WriteBytes(c.stream);
    s->SetPosition(0);
    lv->LoadFromStream(*s);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    TEmberGroups* groups = lv->GetGroups();
    TEmberColumns* columns = lv->GetHeader()->GetColumns();
    EXPECT_EQ(groups->GetCount(), c.count);
    EXPECT_EQ(columns->GetCount(), c.count);
    EXPECT_EQ(groups->GetItemClass(), &TEmberGroupVirtual::StaticClass());
    EXPECT_EQ(columns->GetItemClass(), &TEmberColumnVirtual::StaticClass());
    EXPECT_EQ(&groups->Add()->ClassType(), &TEmberGroupVirtual::StaticClass());
    EXPECT_EQ(&columns->Add()->ClassType(), &TEmberColumnVirtual::StaticClass());
  }
}

// The control changes only once the whole stream was read soundly (a damaged one leaves it as it
// was), so the stream events see it as it was: its view and its groups. The object being read is
// already in the collection that reads it, after the objects read before it, and belongs to the
// control.
TEST_F(StreamTest, StreamEventsSeeTheControlAsItWasAndTheObjectsReadSoFar) {
  Fill();
  LV->GetGroups()->Add()->GetItems()->Add()->SetCaption(u"B");
  const std::string bytes = Save(LV);
  TEmberListview* other = MakeList();
  other->SetView(TEmberListStyle::elsReport);
  other->GetGroups()->Add()->SetCaption(u"old");
  std::vector<std::string> seen;
  other->OnItemLoadFromStream = [&](TCustomEmberListview* lv, TEmberItem* item, TStream*, Integer) {
    TEmberGroups* reading = item->GetOwnerGroup()->GetOwnerGroups();
    seen.push_back(std::to_string(static_cast<int>(lv->GetView())) + " " + Name(lv->GetGroups()->GetGroup(0)) + " " +
                   std::to_string(lv->GetGroups()->GetCount()) + " " + std::to_string(reading->GetCount()) + " " +
                   std::to_string(item->GetOwnerGroup()->GetIndex()) + " " +
                   (item->GetOwnerListview() == lv ? "ours" : "another's"));
  };
  Load(other, bytes);
  // Report view (3); the old group alone; the group read so far, then both.
  EXPECT_EQ(seen, (std::vector<std::string>{"3 old 1 1 0 ours", "3 old 1 2 1 ours"}));
  EXPECT_EQ(other->GetView(), TEmberListStyle::elsThumbnail);
  ASSERT_EQ(other->GetGroups()->GetCount(), 2);
  EXPECT_EQ(other->GetGroups()->GetGroup(1)->GetItem(0)->GetCaption(), u"B");
}

TEST_F(StreamTest, AControlVersionOfZeroOnlyRunsTheUpdate) {
  Fill();
  const std::string before = Save(LV);
  int begins = 0, ends = 0;
  LV->OnBeginUpdate = [&](TObject*) { ++begins; };
  LV->OnEndUpdate = [&](TObject*) { ++ends; };
  Load(LV, Bytes("00000000 04"));
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(Hex(Save(LV)), Hex(before));
}

TEST_F(StreamTest, AnUnknownClassStopsTheReadAndKeepsWhatCameBefore) {
  const std::string firstGroup = NameField("TEmberGroupStored") + Bytes(GroupGEmpty);
  for (const char* bad : {"TNoSuchGroup", "TEmberItemStored", "TEmberGroup"}) {
    SCOPED_TRACE(bad);
    const std::string stream = Bytes("06000000 00  06000000 02000000") + firstGroup + NameField(bad) +
                               Bytes(GroupGEmpty) + Bytes("06000000 00000000");
    try {
      Load(LV, stream);
      ADD_FAILURE() << "no failure";
    } catch (const EAssertionFailed& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find("you must register them with the streaming system"), std::string::npos);
      EXPECT_NE(what.find("EmberListview\\Source\\EmberListview"), std::string::npos);
    }
    ASSERT_EQ(LV->GetGroups()->GetCount(), 1);
    EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetCaption(), u"G");
    EXPECT_EQ(LV->GetUpdateCount(), 0);
  }
}

TEST_F(StreamTest, EveryDamagedStreamRaisesAReadErrorAndChangesNothing) {
  Fill();
  const std::string golden = Golden();
  LV->GetGroups()->GetGroup(0)->GetItem(0)->SetCaption(u"Z");
  const std::string before = Save(LV);

  // Offsets into the golden stream, counted from the format.
  const size_t groupsCount = 9, groupClassName = 13, itemsCount = 13 + 21 + 10 + 4;
  const size_t itemCaptionCount = itemsCount + 4 + 20 + 10;
  // The column's fields: five flags, position, three bytes, width, colour, button, data block.
  const size_t columnFields = golden.size() - (5 + 4 + 3 + 4 + 4 + 5 + 22);
  std::vector<std::pair<std::string, std::string>> cases;
  for (size_t n = 0; n < golden.size(); ++n) cases.push_back({"cut after " + std::to_string(n), golden.substr(0, n)});
  auto patched = [&](const char* name, size_t at, std::string bytes) {
    std::string s = golden;
    s.replace(at, bytes.size(), bytes);
    cases.push_back({name, s});
  };
  patched("view out of range", 4, Bytes("09"));
  patched("huge group count", groupsCount, Bytes("FFFFFF7F"));
  patched("negative group count", groupsCount, Bytes("FFFFFFFF"));
  patched("huge class name", groupClassName, Bytes("00000040"));
  patched("huge item count", itemsCount, Bytes("00000010"));
  patched("huge caption count", itemCaptionCount, Bytes("FFFFFF0F"));
  patched("huge caption length", itemCaptionCount + 4, Bytes("00000020"));
  patched("column alignment out of range", columnFields, Bytes("03"));
  patched("column sort direction out of range", columnFields + 9, Bytes("03"));
  patched("column style out of range", columnFields + 10, Bytes("04"));
  patched("drop-down state out of range", columnFields + 23, Bytes("08"));

  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    gLargestAllocation = 0;
    gWatchAllocations = true;
    try {
      Load(LV, bytes);
      ADD_FAILURE() << "no failure";
    } catch (const EReadError&) {
    } catch (...) {
      ADD_FAILURE() << "another failure";
    }
    gWatchAllocations = false;
    EXPECT_LE(gLargestAllocation, bytes.size() * 2 + 1024);
    EXPECT_EQ(Hex(Save(LV)), Hex(before));
    EXPECT_EQ(LV->GetUpdateCount(), 0);
  }
}

TEST_F(StreamTest, ClassReferencesAreFoundByName) {
  EXPECT_EQ(GetClass("TEmberItemStored"), &TEmberItemStored::StaticClass());
  EXPECT_EQ(GetClass("TAppItem"), &TAppItem::StaticClass());
  EXPECT_EQ(GetClass("TNoSuchClass"), nullptr);
  EXPECT_TRUE(TAppItem::StaticClass().InheritsFrom(&TEmberItem::StaticClass()));
  EXPECT_FALSE(TEmberGroupStored::StaticClass().InheritsFrom(&TEmberItem::StaticClass()));
  EXPECT_FALSE(TEmberItem::StaticClass().CanMake());
  // Registering again is harmless.
  RegisterClass(TAppItem::StaticClass());
  EXPECT_EQ(GetClass("TAppItem"), &TAppItem::StaticClass());
}

}  // namespace
}  // namespace lvtest

namespace lvtest {
namespace {

TEST_F(ListviewTest, CollectionsLeftOutOfTheStreamAreNeitherWrittenNorRead) {
  MakeList();
  LV->GetItems()->Add()->SetCaption(u"kept");
  LV->GetGroups()->SetStreamGroups(false);
  LV->GetHeader()->SetStreamColumns(false);
  EXPECT_EQ(Hex(Save(LV)), Hex(Bytes("06000000 00")));
  Load(LV, Bytes("06000000 02"));
  EXPECT_EQ(LV->GetView(), TEmberListStyle::elsList);
  EXPECT_EQ(LV->GetGroups()->GetGroup(0)->GetItem(0)->GetCaption(), u"kept");
}

// A task-panel group writes the stored group's record and then its Height; a list reads it back
// into a group of the same class.
TEST_F(StreamTest, ATaskPanelGroupWritesItsHeightAfterTheGroupRecord) {
  LV->GetGroups()->Add();
  auto* g = TEmberGroupTaskPanel::New(static_cast<TEmberCollection*>(nullptr));
  LV->GetGroups()->SetGroup(0, g);
  g->SetCaption(u"G");
  g->SetHeight(321);
  Owned<TMemoryStream> s(TMemoryStream::New());
  g->SaveToStream(*s, 6);
  EXPECT_EQ(Hex(s->Bytes()), Hex(Bytes(GroupGEmpty + " 41 01 00 00")));

  const std::string saved = Save(LV);
  const std::string expected = Bytes("06 00 00 00 00  06 00 00 00 01 00 00 00") + NameField("TEmberGroupTaskPanel") +
                               Bytes(GroupGEmpty + " 41 01 00 00") + Bytes("06 00 00 00 00 00 00 00");
  EXPECT_EQ(Hex(saved), Hex(expected));
  TEmberListview* other = MakeList();
  Load(other, saved);
  ASSERT_EQ(other->GetGroups()->GetCount(), 1);
  auto* back = dynamic_cast<TEmberGroupTaskPanel*>(other->GetGroups()->GetGroup(0));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetHeight(), 321);
  EXPECT_EQ(back->GetCaption(), u"G");
  EXPECT_FALSE(back->GetTaskWindowCreated());
}

}  // namespace
}  // namespace lvtest
