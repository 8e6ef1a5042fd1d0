// Photo items: the crop frame and borders on their thumbnails, prices, copies, and what of them a
// list view's stream keeps.
#include <memory>

#include "app/dialogs/DialogsFixture.h"
#include "listview/EmberListview.h"
#include "platform/rtl/Streams.h"

namespace {

using namespace dlgtest;
using ember::TEmberListview;

class ItemsTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    Form = TForm::New(Application);
    List = TEmberListview::New(Form);
    List->SetParent(Form);
  }
  void TearDown() override {
    FreeAndNil(Form);
    DialogsTest::TearDown();
  }
  TImageItemEx* AddItem(TEmberListview* LV, int ThumbW, int ThumbH, Integer Size = 0) {
    auto* item = static_cast<TImageItemEx*>(LV->GetItems()->AddCustom(&TImageItemEx::StaticClass()));
    item->SetPhotoSize(Size);
    item->ChangeThumb(PatternThumb(ThumbW, ThumbH), true);
    return item;
  }
  TForm* Form{nullptr};
  TEmberListview* List{nullptr};
};

TEST_F(ItemsTest, FrameFollowsTheThumbnailAndThePrintShape) {
  struct Case {
    const char* Name;
    int W, H;
    bool Borders;
    int Turns;  // right turns
    TFrameType Type;
    int FrameW, FrameH, Offset, ThumbW, ThumbH;
  };
  // 10x15 is 1800 × 1200 (S = 1.5).
  const Case cases[] = {
      {"4:3 landscape slides down", 200, 150, false, 0, ftMoveVert, 200, 133, 8, 200, 150},
      {"turned upright slides across, offset kept", 200, 150, false, 1, ftMoveHorz, 133, 200, 8, 150, 200},
      {"within 0.01 of the print: no frame", 200, 133, false, 0, ftNone, 200, 133, 0, 200, 133},
      {"square counts as upright", 200, 200, false, 0, ftMoveHorz, 133, 200, 33, 200, 200},
      {"panorama slides across", 200, 66, false, 0, ftMoveHorz, 99, 66, 50, 200, 66},
      // Borders keep the offset the plain photo had: switching them off again shows that frame.
      {"borders: print-shaped box, no frame", 200, 150, true, 0, ftNone, 200, 133, 8, 200, 133},
      {"borders turned: upright box", 200, 150, true, 1, ftNone, 133, 200, 8, 133, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TImageItemEx* item = AddItem(List, c.W, c.H);
    item->SetWithBorders(c.Borders);
    for (int i = 0; i < c.Turns; ++i) item->RotateRight();
    EXPECT_EQ(item->FrameType(), c.Type);
    EXPECT_EQ(item->FrameWidth(), c.FrameW);
    EXPECT_EQ(item->FrameHeight(), c.FrameH);
    EXPECT_EQ(item->FrameOffset, c.Offset);
    EXPECT_EQ(item->Thumb()->Width(), c.ThumbW);
    EXPECT_EQ(item->Thumb()->Height(), c.ThumbH);
    EXPECT_EQ(item->GetRotateAngle(), 90 * c.Turns);
  }
}

TEST_F(ItemsTest, BorderedThumbnailIsThePhotoCentredOnWhite) {
  TImageItemEx* item = AddItem(List, 200, 150);
  item->SetWithBorders(true);
  // Box 200 × 133, the photo fitted to 177 × 133 and centred 11 pixels from the left.
  const TDIB* thumb = item->Thumb();
  ASSERT_EQ(thumb->Width(), 200);
  ASSERT_EQ(thumb->Height(), 133);
  auto at = [thumb](int x, int y) { return thumb->ScanLine(y) + x * 3; };
  for (int x : {0, 10, 189, 199}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(at(x, 66)[0], 255);
    EXPECT_EQ(at(x, 66)[2], 255);
  }
  // Inside the picture the red byte is the pattern's 7, whatever the stretching did to the rest.
  for (int x : {12, 100, 187}) {
    SCOPED_TRACE(x);
    EXPECT_NEAR(at(x, 66)[2], 7, 2);
  }
}

TEST_F(ItemsTest, BordersOffGiveBackThePlainThumbnailAndACentredFrame) {
  TImageItemEx* item = AddItem(List, 200, 150);
  TDIB* plain = item->Thumb();
  item->FrameOffset = 0;
  item->SetWithBorders(true);
  EXPECT_EQ(item->OrigThumb(), plain);
  EXPECT_NE(item->Thumb(), plain);
  item->SetWithBorders(false);
  EXPECT_EQ(item->Thumb(), plain);
  EXPECT_EQ(item->OrigThumb(), nullptr);
  EXPECT_EQ(item->FrameOffset, 8);
}

TEST_F(ItemsTest, CopyOfABorderedItemShowsThePlainPhotoWithTheSourcesFrame) {
  TImageItemEx* source = AddItem(List, 200, 150);
  source->FileName = u"/photos/a.jpg";
  source->OrigWidth = 4000;
  source->OrigHeight = 3000;
  source->PaperType = order::ptMatte;
  source->PhotoCount = 3;
  source->RotateLeft();
  source->FrameOffset = 5;
  source->SetWithBorders(true);
  auto* copy = static_cast<TImageItemEx*>(List->GetItems()->AddCustom(&TImageItemEx::StaticClass()));
  copy->AssignItem(source);
  EXPECT_TRUE(copy->WithBorders());
  EXPECT_NE(copy->OrigThumb(), source->OrigThumb());
  EXPECT_EQ(copy->FileName, u"/photos/a.jpg");
  EXPECT_EQ(copy->PaperType, order::ptMatte);
  EXPECT_EQ(copy->PhotoCount, 3);
  EXPECT_EQ(copy->GetRotateAngle(), -90);
  EXPECT_EQ(copy->Thumb()->Width(), source->Thumb()->Width());
  copy->SetWithBorders(false);
  source->SetWithBorders(false);
  // Turned left the plain thumbnail is 150 × 200: the frame slides across, centred at 8.
  EXPECT_EQ(copy->Thumb()->Width(), 150);
  EXPECT_EQ(copy->FrameType(), ftMoveHorz);
  EXPECT_EQ(copy->FrameOffset, source->FrameOffset);
}

TEST_F(ItemsTest, PricesResolutionAndClampedOffsets) {
  TImageItemEx* item = AddItem(List, 200, 150);
  item->PhotoCount = 3;
  EXPECT_DOUBLE_EQ(item->TotalPrice(), 37.5);
  EXPECT_EQ(item->TotalKopecks(), 3750);
  item->PaperType = order::ptSilk;  // not offered for 10x15
  EXPECT_DOUBLE_EQ(item->TotalPrice(), 0);

  struct Res {
    int W, H;
    bool Low;
  };
  for (const Res& r : {Res{479, 479, true}, Res{480, 100, false}, Res{100, 480, false}}) {
    item->OrigWidth = r.W;
    item->OrigHeight = r.H;
    EXPECT_EQ(item->LowResolution(), r.Low) << r.W << " x " << r.H;
  }

  // The frame of a 200 × 150 thumbnail on 10x15 slides 0 .. 17 pixels.
  struct Clamp {
    int Asked, Kept;
  };
  for (const Clamp& c : {Clamp{-5, 0}, Clamp{0, 0}, Clamp{17, 17}, Clamp{18, 17}, Clamp{400, 17}}) {
    item->SetFrameOffsetClamped(c.Asked);
    EXPECT_EQ(item->FrameOffset, c.Kept) << c.Asked;
  }
}

TEST_F(ItemsTest, SnapshotCarriesThePrintSettings) {
  TImageItemEx* item = AddItem(List, 200, 150, 1);  // 15x20: 2400 × 1800 (S = 1.333)
  item->FileName = u"/photos/b.png";
  item->PhotoCount = 2;
  for (int i = 0; i < 5; ++i) item->RotateRight();
  TInfo info;
  item->GetInfo(info);
  EXPECT_FALSE(info.Uploaded);
  EXPECT_EQ(info.SizeName, u"15x20");
  EXPECT_EQ(info.RotateAngle, 450);
  EXPECT_EQ(info.PhotoWidth, 2400);
  EXPECT_EQ(info.PhotoHeight, 1800);
  EXPECT_EQ(info.ThumbWidth, 150);
  EXPECT_EQ(info.ThumbHeight, 200);
  EXPECT_EQ(info.FrameType, ftNone);  // 4:3 on a 4:3 print
  EXPECT_DOUBLE_EQ(info.TotalPrice, 40);
  EXPECT_EQ(info.ImageItemEx, item);
}

TEST_F(ItemsTest, AStreamKeepsOnlyWhatEveryStoredItemHas) {
  TImageItemEx* item = AddItem(List, 200, 150);
  item->SetCaption(u"a");
  item->FileName = u"/photos/a.jpg";
  item->PhotoCount = 4;
  Owned<TMemoryStream> stream(TMemoryStream::New());
  List->SaveToStream(*stream);
  stream->SetPosition(0);
  auto* other = TEmberListview::New(Form);
  other->LoadFromStream(*stream);
  auto* copy = dynamic_cast<TImageItemEx*>(other->GetGroups()->GetGroup(0)->GetItem(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetCaption(), u"a");
  EXPECT_EQ(copy->FileName, u"");
  EXPECT_EQ(copy->PhotoCount, 0);
  EXPECT_EQ(copy->Thumb(), nullptr);
}

}  // namespace
