// The add-photos dialog with its thumbnail thread: files checked in order on all cores, the ones
// that cannot be printed filtered out, and a cancel or a close that stops the thread at once.
#include <QObject>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgAdd.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace dlgtest;

class DlgAddTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    Files.reset(TStringList::New());
    Dlg = TDlgAdd::New(Application);
  }
  void TearDown() override {
    FreeAndNil(Dlg);
    TThumbThread::Workers = 0;
    DialogsTest::TearDown();
  }
  void Add(const std::string& Name, int W, int H) { Files->Add(Utf8ToString(WritePhoto(Dir, Name, W, H))); }
  ember::TEmberGroup* Group() const { return Dlg->Images->GetGroups()->GetGroup(0); }
  TImageItem* Item(Integer I) const { return static_cast<TImageItem*>(Group()->GetItem(I)); }
  Integer WithThumbs() const {
    Integer n = 0;
    for (Integer i = 0; i < Group()->GetItemCount(); ++i) n += Item(i)->Thumb() ? 1 : 0;
    return n;
  }
  bool ActAddEnabled() {
    Application->Idle();
    return Dlg->ActAdd->GetEnabled();
  }

  Owned<TStringList> Files;
  TDlgAdd* Dlg{nullptr};
};

TEST_F(DlgAddTest, FilesThatCannotBePrintedAreFilteredAndTheRestKeepTheirOrder) {
  struct File {
    const char* Name;
    int W, H;
    bool Kept;
    int ThumbW, ThumbH;
  };
  const File files[] = {
      // decoded at 1/8; a name as some archives give it, accents decomposed
      {"Cafe\u0301 e\u0301te\u0301 Нови\u0306 год سلام عليكم \U0001F600\U0001F600 e\u0301te\u0301 Нови\u0306.jpg", 3000, 2000, true, 200, 133},
      {"b.png", 300, 200, true, 200, 133},
      {"narrow.png", 99, 500, false, 0, 0},
      {"c.BMP", 150, 120, true, 200, 160},
      {"d.jpg", 1000, 1000, true, 200, 200},
      {"e.jpeg", 640, 480, true, 200, 150},
      {"tiny.jpg", 50, 50, false, 0, 0},
      {"f.png", 100, 100, true, 200, 200},  // enlarged
      {"g.jpg", 480, 1200, true, 80, 200},
      {"h.bmp", 500, 99, false, 0, 0},
      {"i.jpg", 1601, 900, true, 200, 112},
  };
  for (const File& f : files) Add(f.Name, f.W, f.H);
  testsupport::WriteFileBytes(Dir / "broken.jpg", "not a picture");
  Files->Add(Utf8ToString((Dir / "broken.jpg").string()));

  bool disabledWhileChecking = false;
  guitest::PostWork([&] {
    disabledWhileChecking = Dlg->Checking() && !ActAddEnabled();
    ASSERT_TRUE(guitest::PumpUntil([&] { return !Dlg->Checking(); }));
    Shot(Dlg, "add-photos");
    EXPECT_TRUE(ActAddEnabled());
    Dlg->ActAdd->Execute();
  });
  ASSERT_TRUE(Dlg->Execute(Files.get()));
  EXPECT_TRUE(disabledWhileChecking);
  EXPECT_EQ(Dlg->lblMessage->GetCaption(), u"Проверка фотографий завершена");
  EXPECT_EQ(Dlg->lblAdded->GetCaption(), u"Добавлено фотографий: 8");
  EXPECT_EQ(Dlg->lblFiltered->GetCaption(), u"Отфильтровано фотографий: 4");
  ASSERT_EQ(Group()->GetItemCount(), 8);
  Integer i = 0;
  for (const File& f : files) {
    if (!f.Kept) continue;
    SCOPED_TRACE(f.Name);
    TImageItem* item = Item(i++);
    EXPECT_EQ(StringToUtf8(item->GetCaption()), std::string(f.Name).substr(0, std::string(f.Name).find('.')));
    EXPECT_EQ(item->OrigWidth, f.W);
    EXPECT_EQ(item->OrigHeight, f.H);
    ASSERT_NE(item->Thumb(), nullptr);
    EXPECT_EQ(item->Thumb()->Width(), f.ThumbW);
    EXPECT_EQ(item->Thumb()->Height(), f.ThumbH);
  }
}

TEST_F(DlgAddTest, ThumbnailsArriveInFileOrderFromSeveralWorkers) {
  TThumbThread::Workers = 4;
  // Large and small files alternate, so later files are often ready before earlier ones.
  for (int i = 0; i < 16; ++i) Add("p" + std::to_string(100 + i) + ".png", i % 2 ? 120 : 1400, i % 2 ? 100 : 1000);
  bool prefix = true;
  guitest::PostWork([&] {
    guitest::PumpUntil([&] {
      // Every thumbnail that has arrived belongs to a file before every one still waiting.
      bool waiting = false;
      for (Integer i = 0; i < Group()->GetItemCount(); ++i) {
        if (!Item(i)->Thumb()) waiting = true;
        else if (waiting) prefix = false;
      }
      return !Dlg->Checking();
    });
    Dlg->ActAdd->Execute();
  });
  ASSERT_TRUE(Dlg->Execute(Files.get()));
  EXPECT_TRUE(prefix);
  EXPECT_EQ(Dlg->Added(), 16);
  for (Integer i = 0; i < 16; ++i) EXPECT_EQ(Item(i)->GetCaption(), Utf8ToString("p" + std::to_string(100 + i)));
}

TEST_F(DlgAddTest, CancelOrCloseWhileCheckingStopsTheThreadBeforeTheNextFile) {
  TThumbThread::Workers = 1;
  for (int i = 0; i < 30; ++i) Add("q" + std::to_string(i) + ".png", 900, 700);
  struct Way {
    const char* Name;
    std::function<void(TDlgAdd*)> Stop;
  };
  const Way ways[] = {
      {"cancel button", [](TDlgAdd* d) { d->ActCancel->Execute(); }},
      {"close box", [](TDlgAdd* d) { guitest::CloseBox(d->Handle()); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.Name);
    FreeAndNil(Dlg);
    Dlg = TDlgAdd::New(Application);
    Integer atStop = -1;
    guitest::PostWork([&] {
      ASSERT_TRUE(guitest::PumpUntil([&] { return Dlg->Added() >= 1; }));
      way.Stop(Dlg);
      atStop = WithThumbs();
    });
    EXPECT_FALSE(Dlg->Execute(Files.get()));
    EXPECT_FALSE(Dlg->Checking());
    // The thread is stopped when Execute returns: what it posted before is not applied.
    const Integer stopped = WithThumbs();
    guitest::PumpPending();
    EXPECT_EQ(WithThumbs(), stopped);
    EXPECT_LT(stopped, 30);
    // The cancel action stops the thread at once; the close box when the dialog's loop ends.
    if (way.Name == std::string("cancel button")) {
      EXPECT_EQ(stopped, atStop);
    }
  }
}

TEST_F(DlgAddTest, ACountTypedInTheEditIsTheCountEveryPhotoGets) {
  // The count was once the up-down's alone: a count typed without the arrows was lost.
  struct Case {
    const char* Typed;
    Integer Count;
  } cases[] = {{"3", 3}, {"12", 12}, {"", 12}, {"250", 100}, {"0", 1}, {"7", 7}};
  const HWND edit = Dlg->edPhotoCount->Handle();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Typed);
    Dlg->edPhotoCount->SetText(u"");
    for (const char* k = c.Typed; *k; ++k) guitest::Type(edit, Qt::Key_0 + (*k - '0'), QString(QChar(*k)));
    guitest::PumpPending();
    EXPECT_EQ(Dlg->PhotoCount(), c.Count);
  }
}

TEST_F(DlgAddTest, ChangingTheSizeOffersItsPapersFromTheFirst) {
  ASSERT_EQ(Dlg->cbPhotoSize->GetItems()->Count(), 2);
  EXPECT_EQ(Dlg->PhotoSize(), 0);
  ASSERT_EQ(Dlg->cbPaperType->GetItems()->Count(), 2);
  Dlg->cbPaperType->SetItemIndex(1);
  EXPECT_EQ(Dlg->PaperType(), order::ptMatte);
  Dlg->cbPhotoSize->SetItemIndex(1);
  Dlg->cbPhotoSize->OnChange(Dlg->cbPhotoSize);
  EXPECT_EQ(Dlg->cbPaperType->GetItems()->Count(), 1);
  EXPECT_EQ(Dlg->PaperType(), order::ptGlossy);
  Dlg->cbPhotoSize->SetItemIndex(0);
  Dlg->cbPhotoSize->OnChange(Dlg->cbPhotoSize);
  EXPECT_EQ(Dlg->cbPaperType->GetItemIndex(), 0);
  // Cells hold a 200-pixel thumbnail and its caption inside the default border of 4.
  EXPECT_EQ(Dlg->Images->GetCellSizes()->GetThumbnail()->GetWidth(), 216);
  EXPECT_EQ(Dlg->Images->GetCellSizes()->GetThumbnail()->GetHeight(), 242);
}

}  // namespace
