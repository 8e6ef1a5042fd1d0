// The enlarged preview: the picture's size and place on the work area, the crop frame kept on the
// picture by mouse and keys, the offset it gives back, and its blinking on the layer's clock.
#include <QEvent>
#include <QImage>
#include <QWidget>
#include <Qt>

#include <cstdlib>
#include <new>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgPreview.h"
#include "listview/EmberListview.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Clock.h"
#include "orderui/uUtilsUI.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace dlgtest;

class DlgPreviewTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    Host = TForm::New(Application);
    List = ember::TEmberListview::New(Host);
    List->SetParent(Host);
    SetWorkArea(TRect{0, 0, 640, 512});
  }
  void TearDown() override {
    FreeAndNil(Preview);
    FreeAndNil(Host);
    DialogsTest::TearDown();
  }
  static void SetWorkArea(TRect Area) { SystemParametersInfo(SPI_SETWORKAREA, 0, &Area, 0); }
  // An order item of the photo file, with the thumbnail the add-photos dialog would make.
  TImageItemEx* Photo(const std::string& Name, int W, int H, Integer Size = 0) {
    const String file = Utf8ToString(WritePhoto(Dir, Name, W, H));
    auto* item = static_cast<TImageItemEx*>(List->GetItems()->AddCustom(&TImageItemEx::StaticClass()));
    item->FileName = file;
    item->SetPhotoSize(Size);
    TDIB* thumb = TDIB::New();
    thumb->ExtractThumb(file, item->OrigWidth, item->OrigHeight);
    item->ChangeThumb(thumb, true);
    return item;
  }
  TDlgPreview* Open(TImageItemEx* Item) {
    FreeAndNil(Preview);
    Preview = TDlgPreview::New(Application);
    EXPECT_TRUE(Preview->PrepareImage(Item)) << StringToUtf8(Preview->LastError());
    return Preview;
  }
  TForm* Host{nullptr};
  ember::TEmberListview* List{nullptr};
  TDlgPreview* Preview{nullptr};
};

TEST_F(DlgPreviewTest, PictureFitsEightyPercentOfTheWorkAreaAndTheWindowIsCentredOnIt) {
  struct Case {
    const char* Name;
    TRect Area;
    int W, H;
    int Turns;  // left turns
    bool Borders;
    int PicW, PicH;
    bool Frame;
  };
  const Case cases[] = {
      // 80 % of 640 × 512 is 512 × 410; 2000 / 512 is the larger scale.
      {"reduced", {0, 0, 640, 512}, 2000, 1500, 0, false, 512, 384, true},
      {"own size", {0, 0, 640, 512}, 400, 300, 0, false, 400, 300, true},
      {"turned -270 as 90", {0, 0, 640, 512}, 400, 300, 3, false, 300, 400, true},
      // 80 % of 1280 × 1024 is 1024 × 819: the print-shaped box is 1024 × 683 and the 3:2 photo
      // fills it.
      {"bordered 3:2", {0, 0, 1280, 1024}, 3000, 2000, 0, true, 1024, 683, false},
      {"bordered square", {0, 0, 640, 512}, 2000, 2000, 0, true, 273, 410, false},
      {"work area beside a panel", {100, 50, 740, 562}, 2000, 1500, 0, false, 512, 384, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SetWorkArea(c.Area);
    TImageItemEx* item = Photo("p.jpg", c.W, c.H);
    for (int i = 0; i < c.Turns; ++i) item->RotateLeft();
    item->SetWithBorders(c.Borders);
    TDlgPreview* p = Open(item);
    ASSERT_NE(p->Image(), nullptr);
    EXPECT_EQ(p->Image()->Width(), c.PicW);
    EXPECT_EQ(p->Image()->Height(), c.PicH);
    EXPECT_EQ(p->GetClientWidth(), c.PicW + 20);
    EXPECT_EQ(p->GetClientHeight(), c.PicH + 55);
    EXPECT_EQ(p->pbThumb->GetWidth(), c.PicW);
    EXPECT_EQ(p->GetLeft(), c.Area.Left + (c.Area.Width() - p->GetWidth()) / 2);
    EXPECT_EQ(p->GetTop(), c.Area.Top + (c.Area.Height() - p->GetHeight()) / 2);
    EXPECT_EQ(p->shpFrame->GetVisible(), c.Frame);
  }
}

TEST_F(DlgPreviewTest, PictureShowsThePhotoAsItWillBePrinted) {
  // The photo's red mark lies in its top-left corner.
  TImageItemEx* turned = Photo("t.png", 400, 300);
  turned->RotateLeft();
  turned->RotateLeft();
  turned->RotateLeft();  // -270: a quarter turn clockwise
  const gdiplus::TPhoto* pic = Open(turned)->Image();
  EXPECT_GT(pic->Pixel(297, 2)[0], 200);  // now top right
  EXPECT_LT(pic->Pixel(2, 2)[0], 100);

  TImageItemEx* square = Photo("s.png", 2000, 2000);
  square->SetWithBorders(true);
  pic = Open(square)->Image();
  // The square photo fills 273 × 273 of the 273 × 410 box, 68 white rows above it.
  for (int y : {0, 67, 342, 409}) {
    SCOPED_TRACE(y);
    EXPECT_EQ(pic->Pixel(136, y)[0], 255);
    EXPECT_EQ(pic->Pixel(136, y)[1], 255);
    EXPECT_EQ(pic->Pixel(136, y)[2], 255);
  }
  EXPECT_LT(pic->Pixel(136, 200)[2], 200);  // the photo's blue of 128

  // A photo shown at its own size reduces nothing: missing or cut short, it fails to load.
  const std::string cut = WritePhoto(Dir, "cut.bmp", 100, 80);
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
  for (const String& file : {String(u"/nonexistent/m.png"), Utf8ToString(cut)}) {
    TImageItemEx* item = Photo("m.png", 300, 200);
    item->FileName = file;
    FreeAndNil(Preview);
    Preview = TDlgPreview::New(Application);
    EXPECT_FALSE(Preview->PrepareImage(item));
    EXPECT_EQ(Preview->LastError(), u"Не удалось загрузить фотографию") << StringToUtf8(file);
  }
}

TEST_F(DlgPreviewTest, SeeThroughPartsShowTheDialogUnlessThePrintHasBorders) {
  // Red, opaque over the left quarter, half see-through (128) over the next, see-through over the
  // right half. Laid over silver (192) the half see-through red is (255 × 128 + 192 × 127) / 255 =
  // 224 red and 192 × 127 / 255 = 96 green and blue; over white 255 and 127.
  struct Case {
    const char* Name;
    TRect Area;
    int W, H;
    bool Borders;
    int Half[2];  // red, green of the half see-through part
    int Clear;    // the see-through part's grey
  };
  const Case cases[] = {
      {"own size", {0, 0, 640, 512}, 400, 300, false, {224, 96}, 192},
      {"reduced", {0, 0, 640, 512}, 2000, 1500, false, {224, 96}, 192},
      // The 3:2 photo fills its 512 × 341 print-shaped box.
      {"bordered", {0, 0, 640, 512}, 1200, 800, true, {255, 127}, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SetWorkArea(c.Area);
    TImageItemEx* item = Photo("a.png", c.W, c.H);
    const int w = c.W;
    fixtures::WritePng(
        std::filesystem::path(StringToUtf8(item->FileName)), c.W, c.H, [](int, int) { return fixtures::Rgb{255, 0, 0}; },
        [w](int x, int) -> unsigned char { return x < w / 4 ? 255 : x < w / 2 ? 128 : 0; });
    item->SetWithBorders(c.Borders);
    const gdiplus::TPhoto* pic = Open(item)->Image();
    ASSERT_NE(pic, nullptr);
    const int y = pic->Height() / 2;
    const struct {
      int X;
      int R, G;
    } probes[] = {{pic->Width() / 8, 255, 0}, {pic->Width() * 3 / 8, c.Half[0], c.Half[1]}, {pic->Width() * 3 / 4, c.Clear, c.Clear}};
    for (const auto& at : probes) {
      const Byte* px = pic->Pixel(at.X, y);
      EXPECT_NEAR(px[0], at.R, 1) << at.X;
      EXPECT_NEAR(px[1], at.G, 1) << at.X;
      EXPECT_NEAR(px[2], at.G, 1) << at.X;
    }
  }
}

// A preview on a desktop without memory left for the window's copy of the picture.
class TPreviewWithoutRoom : public TDlgPreview {
  PF_CLASS(TPreviewWithoutRoom)
protected:
  TDIB* ScreenCopy(const gdiplus::TPhoto&) const override { throw std::bad_alloc(); }
};

TEST_F(DlgPreviewTest, APictureThatCannotBeShownIsAFailureWithItsOwnText) {
  TImageItemEx* item = Photo("w.png", 300, 200);
  Owned<TDlgPreview> preview(TPreviewWithoutRoom::New(Application));
  EXPECT_FALSE(preview->PrepareImage(item));
  EXPECT_EQ(preview->LastError(), u"Не удалось вывести фотографию");
  EXPECT_EQ(preview->Image(), nullptr);
  // The customer reads it in the main window's error box.
  guitest::PostWork([] {
    HWND box = pf::testing::OpenMessageBox();
    ASSERT_NE(box, nullptr);
    const char* out = std::getenv("PO_SCREENSHOT_DIR");
    if (out && *out) layer::WidgetOf(box)->grab().toImage().save(QString::fromUtf8(out) + "/preview-failure.png");
    SendMessage(guitest::FindChildByName(box, "OK"), BM_CLICK, 0, 0);
  });
  order::ShowErrorFmt(u"Ошибка при загрузке фотографии. %s", {preview->LastError()});
}

TEST_F(DlgPreviewTest, JpegIsDecodedAtTheLargestReductionThatCoversThePicture) {
  struct Case {
    int FileW, FileH, PicW, PicH, Scale;
  };
  const Case cases[] = {
      {2000, 1500, 512, 384, 4},   // 1/4 gives 500 × 375: too small; 1/2 gives 1000 × 750
      {6000, 4000, 1024, 683, 2},  // 1/8 gives 750 × 500, too small; 1/4 gives 1500 × 1000
      {6000, 4000, 750, 500, 1},
      {6000, 4000, 751, 500, 2},
      {1000, 700, 900, 630, 8},  // nearly full size: no reduction covers it
  };
  for (const Case& c : cases)
    EXPECT_EQ(TDlgPreview::PreviewJpegScale(c.FileW, c.FileH, c.PicW, c.PicH), c.Scale)
        << c.FileW << " x " << c.FileH << " for " << c.PicW << " x " << c.PicH;
}

TEST_F(DlgPreviewTest, FrameStaysOnThePictureAndGivesBackAnOffsetOnTheThumbnail) {
  // 2000 × 1500 on 10x15: the picture is 512 × 384 at (10, 10), the frame 512 × 341 sliding up
  // and down; the thumbnail is 200 × 150 with a frame of 200 × 133 (offsets 0 .. 17).
  TImageItemEx* item = Photo("f.jpg", 2000, 1500);
  ASSERT_EQ(item->FrameType(), ftMoveVert);
  TDlgPreview* p = Open(item);
  EXPECT_EQ(p->GetFrameProp(2), 512);
  EXPECT_EQ(p->GetFrameProp(3), 341);
  EXPECT_EQ(p->GetFrameProp(0), 10);
  EXPECT_EQ(p->GetFrameProp(1), 10 + 20);  // Round(8 / 150 × 384)
  p->Show();

  struct Step {
    const char* Name;
    std::function<void()> Do;
    int Top;
    int Offset;
  };
  const HWND form = p->Handle();
  auto key = [form](int qtKey, int times) {
    for (int i = 0; i < times; ++i) guitest::Type(form, qtKey);
    guitest::PumpPending();
  };
  auto drag = [form](Qt::MouseButton button, int dy) {
    guitest::Mouse(form, QEvent::MouseButtonPress, button, TPoint{200, 100}, button);
    guitest::Mouse(form, QEvent::MouseMove, Qt::NoButton, TPoint{200, 100 + dy}, button);
    guitest::Mouse(form, QEvent::MouseButtonRelease, button, TPoint{200, 100 + dy});
    guitest::PumpPending();
  };
  const Step steps[] = {
      {"down one pixel", [&] { key(Qt::Key_Down, 1); }, 31, 8},
      {"sideways keys do nothing", [&] { key(Qt::Key_Left, 3); key(Qt::Key_Right, 1); }, 31, 8},
      {"pushed past the end by keys", [&] { key(Qt::Key_Down, 60); }, 53, 17},
      {"up to the start", [&] { key(Qt::Key_Up, 60); }, 10, 0},
      {"dragged far down", [&] { drag(Qt::LeftButton, 300); }, 53, 17},
      {"right button drags nothing", [&] { drag(Qt::RightButton, -300); }, 53, 17},
      {"dragged up by 20", [&] { drag(Qt::LeftButton, -20); }, 33, 9},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.Name);
    s.Do();
    EXPECT_EQ(p->GetFrameProp(1), s.Top);
    EXPECT_EQ(p->GetFrameOffset(), s.Offset);
  }
  Shot(p, "preview");
  // Wherever the frame stands, the offset crops inside the thumbnail.
  for (int top = 10; top <= 53; ++top) {
    p->SetFrameProp(1, top);
    EXPECT_GE(p->GetFrameOffset(), 0);
    EXPECT_LE(p->GetFrameOffset(), 17) << top;
  }
}

TEST_F(DlgPreviewTest, FrameBlinksOnTheLayersClock) {
  clock::UseManual();
  TImageItemEx* framed = Photo("b.png", 400, 300);
  TDlgPreview* p = Open(framed);
  p->Show();
  TPen* pen = p->shpFrame->GetPen();
  EXPECT_EQ(pen->GetColor(), clAqua);
  const TColor expected[] = {clRed, clAqua, clRed};
  for (TColor c : expected) {
    clock::Advance(699);
    guitest::PumpPending();
    EXPECT_NE(pen->GetColor(), c);
    clock::Advance(1);
    guitest::PumpPending();
    EXPECT_EQ(pen->GetColor(), c);
  }
  // A bordered photo has no frame: its pen stays as it is.
  TImageItemEx* bordered = Photo("c.png", 400, 300);
  bordered->SetWithBorders(true);
  p = Open(bordered);
  p->Show();
  EXPECT_FALSE(p->shpFrame->GetVisible());
  clock::Advance(1400);
  guitest::PumpPending();
  EXPECT_EQ(p->shpFrame->GetPen()->GetColor(), clAqua);
}

}  // namespace
