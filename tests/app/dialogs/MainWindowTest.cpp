// The order window: its totals and the minimum order, the order action's refusals, files that are
// not photos, copying, deleting and removing what was sent, the editing panel over the selected
// photo with its crop frame dragged on the thumbnail and blinking, scrolling the list, a photo
// the preview cannot show, and a picture of the window.

#include <QImage>
#include <QWidget>

#include <functional>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgAdd.h"
#include "app/uFormMain.h"
#include "common/CommonDataObject.h"
#include "order/uLists.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace dlgtest {
namespace {

class MainWindowTest : public DialogsTest {
protected:
  TMain* Main{nullptr};
  void SetUp() override {
    DialogsTest::SetUp();
    order::MinPrice = 50;
    Main = TMain::New(Application);
    Main->Show();
    guitest::PumpPending();
  }
  void TearDown() override {
    Main->Free();
    DialogsTest::TearDown();
  }
  // A photo as the add-photos dialog hands it over: its file, full size and a thumbnail.
  TImageItemEx* Add(const char16_t* name, Integer size, TPaperType paper, Integer count, int tw = 150, int th = 100) {
    Owned<TImageItem> source(TImageItem::New(nullptr));
    source->FileName = String(u"/photos/") + name + u".jpg";
    source->OrigWidth = tw * 20;
    source->OrigHeight = th * 20;
    source->ChangeThumb(PatternThumb(tw, th), true);
    Main->AddImage(source.get(), paper, false, count, size);
    EXPECT_EQ(source->Thumb(), nullptr) << "the thumbnail moved to the order's photo";
    auto* g = Main->Photos();
    return static_cast<TImageItemEx*>(g->GetItem(g->GetItemCount() - 1));
  }
  std::vector<String> Boxes() {
    std::vector<String> texts;
    for (const auto& b : pf::testing::MessageBoxLog()) texts.push_back(b.Text);
    pf::testing::ClearMessageBoxLog();
    return texts;
  }
};

TEST_F(MainWindowTest, TotalsAndTheMinimumOrder) {
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Main->ActUploadExecute(nullptr);
  EXPECT_EQ(Boxes(), (std::vector<String>{u"Перед оформлением заказа надо добавить хотя бы одну фотографию в список"}));
  // 10x15 glossy 12.50 × 2 + 15x20 glossy 20 × 1 = 45.00 (below 50).
  Add(u"beach", 0, order::ptGlossy, 2);
  TImageItemEx* dog = Add(u"dog", 1, order::ptGlossy, 1);
  Main->UpdateTotals();
  EXPECT_EQ(Main->lblStat->GetCaption(), u"Фотографий: 2 шт., отпечатков: 3 шт. Сумма заказа - 45,00 руб.");
  EXPECT_TRUE(Main->lblMinPrice->GetVisible());
  Main->ActUploadExecute(nullptr);
  EXPECT_EQ(Boxes(), (std::vector<String>{u"Стоимость заказа должна быть от 50 руб. У Вас сейчас - 45,00 руб."}));
  // Exactly the minimum passes: the warning goes.
  struct Step {
    Integer count;
    bool warned;
  } steps[] = {{1, true}, {2, false}, {3, false}};
  for (const Step& s : steps) {
    dog->PhotoCount = s.count;  // 25 + 20 × count
    Main->UpdateTotals();
    EXPECT_EQ(Main->lblMinPrice->GetVisible(), s.warned) << s.count;
  }
}

TEST_F(MainWindowTest, TheEmptyListTellsHowToBegin) {
  // The two lines of the note stand in the middle of the empty list, one above the other; the
  // first photo's cell takes the list and the note goes. It was once never shown.
  auto textRows = [&] {
    guitest::PumpPending();
    const QImage list = layer::WidgetOf(Main->List->Handle())->grab().toImage();
    std::vector<int> rows;  // rows of the right half that hold dark pixels
    for (int y = 0; y < list.height(); ++y)
      for (int x = list.width() / 2; x < list.width() - 20; ++x)
        if (qGray(list.pixel(x, y)) < 100) {
          rows.push_back(y);
          break;
        }
    return rows;
  };
  std::vector<int> rows = textRows();
  ASSERT_FALSE(rows.empty());
  int bands = 1;
  for (size_t i = 1; i < rows.size(); ++i) bands += rows[i] > rows[i - 1] + 1 ? 1 : 0;
  EXPECT_GE(bands, 2);
  EXPECT_GT(rows.front(), 100);
  EXPECT_LT(rows.back(), 350);
  Add(u"beach", 0, order::ptGlossy, 1);
  EXPECT_TRUE(textRows().empty());
}

TEST_F(MainWindowTest, SettingsLabelsStandWhereTheFormsPlaceThem) {
  Owned<TDlgAdd> add(TDlgAdd::New(Application));
  const struct { TComponent* Form; const char16_t* Name; Integer Left, Top; } labels[] = {
      {Main, u"lblPanel1", 7, 235},     {Main, u"lblPanel2", 7, 260},      {Main, u"lblPanel3", 7, 285},
      {add.get(), u"lblSize", 480, 115}, {add.get(), u"lblPaper", 480, 145}, {add.get(), u"lblCount", 480, 175}};
  for (const auto& l : labels) {
    auto* label = dynamic_cast<TControl*>(l.Form->FindComponent(l.Name));
    ASSERT_NE(label, nullptr) << StringToUtf8(l.Name);
    EXPECT_EQ(label->GetLeft(), l.Left) << StringToUtf8(l.Name);
    EXPECT_EQ(label->GetTop(), l.Top) << StringToUtf8(l.Name);
  }
}

TEST_F(MainWindowTest, OnlyPhotoFilesAreAdded) {
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Owned<TStringList> files(TStringList::New());
  files->Add(u"/photos/notes.txt");
  files->Add(u"/photos/folder");
  Main->AddFiles(files.get());
  EXPECT_EQ(Boxes(), (std::vector<String>{u"Не найдено ни одного изображения"}));
  EXPECT_EQ(Main->Photos()->GetItemCount(), 0);
}

TEST_F(MainWindowTest, FilesDroppedOnTheListReachTheWindowAfterTheDrop) {
  pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  Owned<TStringList> files(TStringList::New());
  files->Add(u"/photos/notes.txt");
  Owned<common::TCommonHDrop> drop(common::TCommonHDrop::New());
  drop->AssignFilesW(files.get());
  ComPtr<IDataObject> data(common::TCommonDataObject::New(true)->AsDataObject());
  ASSERT_TRUE(drop->SaveToDataObject(data.Get()));
  ComPtr<IDropTarget> target;
  ASSERT_NE(Main->List->GetDropTarget(), nullptr);
  Main->List->GetDropTarget()->QueryInterface(IDropTarget::Iid, target.GetVoidAddress());
  ASSERT_TRUE(target);
  TPoint at{10, 10};
  ClientToScreen(Main->List->Handle(), &at);
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(target->DragEnter(data.Get(), 0, at, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  // The photos are copied whatever the keys choose: a move would have the file manager delete them.
  for (DWORD keys : {DWORD(0), DWORD(MK_SHIFT), DWORD(MK_CONTROL)}) {
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragOver(keys, at, &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY) << keys;
  }
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(target->Drop(data.Get(), 0, at, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_TRUE(Boxes().empty()) << "nothing happens inside the drop";
  guitest::PumpPending();
  EXPECT_EQ(Boxes(), (std::vector<String>{u"Не найдено ни одного изображения"}));
}

TEST_F(MainWindowTest, CopyDeleteAndWhatWasSent) {
  TImageItemEx* a = Add(u"a", 0, order::ptGlossy, 1);
  Add(u"b", 0, order::ptMatte, 2);
  a->SetFocused(true);
  a->SetSelected(true);
  Main->btnCopyClick(nullptr);
  auto names = [&] {
    std::vector<String> n;
    for (Integer i = 0; i < Main->Photos()->GetItemCount(); ++i)
      n.push_back(static_cast<TImageItemEx*>(Main->Photos()->GetItem(i))->FileName);
    return n;
  };
  // The copy stands where the photo stood; the photo moves one cell on.
  EXPECT_EQ(names(), (std::vector<String>{u"/photos/a.jpg", u"/photos/a.jpg", u"/photos/b.jpg"}));
  EXPECT_EQ(Main->Photos()->GetItem(1), a);
  EXPECT_EQ(Main->lblStat->GetCaption().substr(0, 40), String(u"Фотографий: 3 шт., отпечатков: 4 шт. Сум").substr(0, 40));
  // What the lab received goes; the skipped photo stays.
  TInfoList infos(3);
  for (Integer i = 0; i < 3; ++i) static_cast<TImageItemEx*>(Main->Photos()->GetItem(i))->GetInfo(infos[static_cast<size_t>(i)]);
  infos[0].Uploaded = infos[2].Uploaded = true;
  Main->DeleteImages(infos);
  EXPECT_EQ(names(), (std::vector<String>{u"/photos/a.jpg"}));
  EXPECT_EQ(Main->Photos()->GetItem(0), a);
  Main->btnDeleteClick(nullptr);
  EXPECT_EQ(Main->Photos()->GetItemCount(), 0);
  EXPECT_FALSE(Main->pnlImage->GetVisible());
}

TEST_F(MainWindowTest, ThePanelFollowsTheSelectionAndTheFrameStaysOnTheThumbnail) {
  // A 150 × 100 thumbnail printed on a 10x15 (3:2) crops nothing; 200 × 100 crops its width.
  TImageItemEx* wide = Add(u"wide", 0, order::ptGlossy, 3, 200, 100);
  EXPECT_FALSE(Main->pnlImage->GetVisible());
  wide->SetFocused(true);
  wide->SetSelected(true);
  ASSERT_TRUE(Main->pnlImage->GetVisible());
  EXPECT_EQ(Main->edPhotoCount->GetText(), u"3");
  EXPECT_EQ(Main->cbPhotoSize->GetItemIndex(), 0);
  ASSERT_EQ(wide->FrameType(), ftMoveHorz);
  ASSERT_TRUE(Main->shpFrame->GetVisible());
  const Integer most = wide->MaxFrameOffset();
  ASSERT_GT(most, 0);
  // Dragged with the left button far past either end, the frame stops at the thumbnail's edges.
  TPoint origin{100, 100};
  struct Drag {
    TMouseButton button;
    Integer dx;
    Integer offset;
  } drags[] = {{TMouseButton::mbLeft, 1000, most}, {TMouseButton::mbLeft, -1000, 0}, {TMouseButton::mbRight, 500, 0}};
  for (const Drag& d : drags) {
    pf::testing::SetCursorScreenPos(origin);
    Main->shpFrame->OnMouseDown(Main->shpFrame, d.button, {}, 0, 0);
    pf::testing::SetCursorScreenPos(TPoint{origin.X + d.dx, origin.Y});
    Main->shpFrame->OnMouseMove(Main->shpFrame, {}, 0, 0);
    Main->shpFrame->OnMouseUp(Main->shpFrame, d.button, {}, 0, 0);
    EXPECT_EQ(wide->FrameOffset, d.offset) << d.dx;
    EXPECT_EQ(Main->shpFrame->GetLeft(), d.offset) << d.dx;
  }
  // Changing the size starts the paper over at the first one offered.
  Main->cbPaperType->SetItemIndex(1);
  Main->cbPaperType->OnChange(Main->cbPaperType);
  EXPECT_EQ(wide->PaperType, order::ptMatte);
  Main->cbPhotoSize->SetItemIndex(1);
  Main->cbPhotoSize->OnChange(Main->cbPhotoSize);
  EXPECT_EQ(wide->GetPhotoSize(), 1);
  EXPECT_EQ(wide->PaperType, order::ptGlossy);
  // Deselecting hides the panel.
  wide->SetSelected(false);
  EXPECT_FALSE(Main->pnlImage->GetVisible());
}

TEST_F(MainWindowTest, ThePanelStaysOnItsPhotoWhenTheWindowIsSizedAndTheWindowKeepsItsFirstSize) {
  for (const char16_t* name : {u"a", u"b", u"c", u"d", u"e", u"f"}) Add(name, 0, order::ptGlossy, 1);
  TImageItemEx* fifth = static_cast<TImageItemEx*>(Main->Photos()->GetItem(4));
  fifth->SetFocused(true);
  fifth->SetSelected(true);
  const Integer firstWidth = Main->GetWidth(), firstHeight = Main->GetHeight();
  // Cells of 214 × 310: three to a row in the first width (the list is 730 wide), five once the
  // window is 400 pixels wider; the fifth photo is then the last of the first row.
  EXPECT_EQ(Main->pnlImage->GetBoundsRect(), (TRect{214, 310, 428, 620}));
  struct Case {
    const char* Name;
    Integer Width, Height;  // asked of the window
    Integer W, H;           // the window's size then
    TRect Panel;
  };
  const Case cases[] = {
      {"widened", firstWidth + 400, firstHeight + 100, firstWidth + 400, firstHeight + 100, {856, 0, 1070, 310}},
      {"narrowed past its first size", firstWidth - 300, firstHeight - 200, firstWidth, firstHeight, {214, 310, 428, 620}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Main->SetBounds(Main->GetLeft(), Main->GetTop(), c.Width, c.Height);
    guitest::PumpPending();
    EXPECT_EQ(Main->GetWidth(), c.W);
    EXPECT_EQ(Main->GetHeight(), c.H);
    ASSERT_TRUE(Main->pnlImage->GetVisible());
    EXPECT_EQ(Main->pnlImage->GetBoundsRect(), c.Panel);
  }
  // Sized by the desktop (the toolkit's window takes a client size): the same, and the sizing
  // stops at the first size.
  QWidget* window = layer::WidgetOf(Main->Handle());
  window->resize(1150, 650);
  guitest::PumpPending();
  EXPECT_EQ(Main->pnlImage->GetBoundsRect(), (TRect{856, 0, 1070, 310}));
  window->resize(300, 200);
  guitest::PumpPending();
  EXPECT_EQ(Main->GetWidth(), firstWidth);
  EXPECT_EQ(Main->GetHeight(), firstHeight);
  EXPECT_EQ(Main->GetClientWidth(), 750);
  EXPECT_EQ(Main->GetClientHeight(), 550);
  EXPECT_EQ(Main->pnlImage->GetBoundsRect(), (TRect{214, 310, 428, 620}));
}

TEST_F(MainWindowTest, ScrollingTheListClearsTheSelectionAndHidesThePanel) {
  // Twelve photos, three to a row of 310-pixel cells: four rows in a list 450 pixels high.
  for (int i = 0; i < 12; ++i) Add((u"p" + IntToStr(i)).c_str(), 0, order::ptGlossy, 1);
  ember::TEmberScrollbarManager* bars = Main->List->GetScrollbars();
  ASSERT_GT(bars->MaxOffsetY(), 0);
  const HWND list = Main->List->Handle();
  struct Case {
    const char* Name;
    std::function<void()> Do;
    bool Scrolls;
  };
  const Case cases[] = {
      {"the wheel turned down", [&] { guitest::Wheel(list, TPoint{100, 100}, -120); }, true},
      {"the scroll bar's arrow", [&] { SendMessage(list, WM_VSCROLL, SB_LINEDOWN, 0); }, true},
      {"a page down on the scroll bar", [&] { SendMessage(list, WM_VSCROLL, SB_PAGEDOWN, 0); }, true},
      {"to the end", [&] { SendMessage(list, WM_VSCROLL, SB_BOTTOM, 0); }, true},
      // Nothing scrolls above the top: the photo stays selected, the panel stays on it.
      {"the wheel turned up at the top", [&] { guitest::Wheel(list, TPoint{100, 100}, 120); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SendMessage(list, WM_VSCROLL, SB_TOP, 0);
    guitest::PumpPending();
    ASSERT_EQ(bars->GetOffsetY(), 0);
    TImageItemEx* second = static_cast<TImageItemEx*>(Main->Photos()->GetItem(1));
    second->SetFocused(true);
    second->SetSelected(true);
    ASSERT_TRUE(Main->pnlImage->GetVisible());
    ASSERT_EQ(Main->CurrentItem(), second);
    c.Do();
    guitest::PumpPending();
    EXPECT_EQ(bars->GetOffsetY() > 0, c.Scrolls);
    EXPECT_EQ(Main->List->GetSelection()->GetCount(), c.Scrolls ? 0 : 1);
    EXPECT_EQ(second->GetSelected(), !c.Scrolls);
    EXPECT_EQ(Main->CurrentItem(), c.Scrolls ? nullptr : second);
    EXPECT_EQ(Main->pnlImage->GetVisible(), !c.Scrolls);
  }
}

TEST_F(MainWindowTest, TheCropFrameBlinksRedAndAquaEvery700Milliseconds) {
  // The window's timer runs on the layer's clock from the window's start.
  Main->Free();
  clock::UseManual();
  Main = TMain::New(Application);
  Main->Show();
  guitest::PumpPending();
  // 200 × 100 on a 10x15 crops its width; 150 × 100 has the print's shape and no frame.
  TImageItemEx* wide = Add(u"wide", 0, order::ptGlossy, 1, 200, 100);
  TImageItemEx* fitting = Add(u"fitting", 0, order::ptGlossy, 1, 150, 100);
  ASSERT_EQ(fitting->FrameType(), ftNone);
  wide->SetFocused(true);
  wide->SetSelected(true);
  ASSERT_TRUE(Main->pnlImage->GetVisible());
  ASSERT_TRUE(Main->shpFrame->GetVisible());
  TPen* pen = Main->shpFrame->GetPen();
  // The colour the frame is drawn in, on the thumbnail's panel at the middle of its left side.
  auto drawn = [&] {
    guitest::PumpPending();
    const QImage thumb = layer::WidgetOf(Main->pnlThumb->Handle())->grab().toImage();
    return thumb.pixel(Main->shpFrame->GetLeft(), Main->shpFrame->GetTop() + Main->shpFrame->GetHeight() / 2) & 0xFFFFFF;
  };
  constexpr QRgb Red = 0xFF0000, Aqua = 0x00FFFF;
  EXPECT_EQ(pen->GetColor(), clAqua);
  EXPECT_EQ(drawn(), Aqua);
  struct Phase {
    TColor Pen;
    QRgb Drawn;
  };
  const Phase phases[] = {{clRed, Red}, {clAqua, Aqua}, {clRed, Red}, {clAqua, Aqua}};
  for (const Phase& p : phases) {
    clock::Advance(699);
    guitest::PumpPending();
    EXPECT_NE(pen->GetColor(), p.Pen) << "changed before its 700 ms";
    clock::Advance(1);
    guitest::PumpPending();
    EXPECT_EQ(pen->GetColor(), p.Pen);
    EXPECT_EQ(drawn(), p.Drawn);
  }
  // With the panel hidden, or a photo without a frame in it, the ticks leave the pen alone.
  wide->SetSelected(false);
  ASSERT_FALSE(Main->pnlImage->GetVisible());
  clock::Advance(700);
  guitest::PumpPending();
  EXPECT_EQ(pen->GetColor(), clAqua);
  fitting->SetFocused(true);
  fitting->SetSelected(true);
  ASSERT_TRUE(Main->pnlImage->GetVisible());
  ASSERT_FALSE(Main->shpFrame->GetVisible());
  clock::Advance(700);
  guitest::PumpPending();
  EXPECT_EQ(pen->GetColor(), clAqua);
  // Back on the framed photo, it blinks on.
  fitting->SetSelected(false);
  wide->SetFocused(true);
  wide->SetSelected(true);
  clock::Advance(700);
  guitest::PumpPending();
  EXPECT_EQ(pen->GetColor(), clRed);
}

TEST_F(MainWindowTest, APhotoThePreviewCannotPrepareIsReportedThroughTheEnlargeButton) {
  std::vector<pf::testing::TMessageBoxRequest> boxes;
  pf::testing::SetMessageBoxHook([&](const pf::testing::TMessageBoxRequest& r) {
    boxes.push_back(r);
    return IDOK;
  });
  const std::string good = WritePhoto(Dir, "good.jpg", 600, 300);
  const std::string notAPicture = (Dir / "notes.jpg").string();
  testsupport::WriteFileBytes(notAPicture, "not a photo at all");
  struct Case {
    const char* Name;
    std::string File;
    const char16_t* Box;  // nullptr: the preview opens
  };
  const Case cases[] = {
      {"the file is gone", (Dir / "gone.jpg").string(), u"Ошибка при загрузке фотографии. Не удалось загрузить фотографию"},
      {"the file is no picture", notAPicture, u"Ошибка при загрузке фотографии. Не удалось загрузить фотографию"},
      {"a photo that can be shown", good, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    boxes.clear();
    TImageItemEx* photo = Add(u"photo", 0, order::ptGlossy, 1, 200, 100);
    photo->FileName = Utf8ToString(c.File);
    photo->SetFocused(true);
    photo->SetSelected(true);
    ASSERT_TRUE(Main->pnlImage->GetVisible());
    const Integer offset = photo->FrameOffset;
    // A preview shown is closed from a timer, which fires inside its modal loop.
    bool previewShown = false;
    const UINT_PTR watch = SetTimer(nullptr, 0, 10, [&](HWND, UINT, UINT_PTR, DWORD) {
      for (Integer i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->GetName() == u"DlgPreview" && Screen->Forms(i)->GetVisible()) {
          previewShown = true;
          Screen->Forms(i)->SetModalResult(mrOk);
        }
    });
    // The customer clicks the button with the magnifier on the panel.
    guitest::Click(Main->pnlImage->Handle(), TPoint{Main->btnEnlarge->GetLeft() + 10, Main->btnEnlarge->GetTop() + 10});
    guitest::PumpPending();
    KillTimer(nullptr, watch);
    if (c.Box) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].Text, c.Box);
      EXPECT_EQ(boxes[0].Caption, u"Ошибка");
      EXPECT_EQ(boxes[0].Type & 0xF0u, 0x10u);  // the error icon
      EXPECT_FALSE(previewShown);
      EXPECT_EQ(photo->FrameOffset, offset) << "the photo is unchanged";
    } else {
      EXPECT_TRUE(boxes.empty());
      EXPECT_TRUE(previewShown);
    }
    EXPECT_EQ(Screen->GetCursor(), crDefault) << "the hourglass is gone";
    Main->btnDeleteClick(nullptr);
  }
  for (Integer i = 0; i < Screen->FormCount(); ++i) EXPECT_NE(Screen->Forms(i)->GetName(), u"DlgPreview");
}

TEST_F(MainWindowTest, PictureOfTheWindowWithADozenPhotos) {
  // Two names as some archives give them: accents decomposed, with an emoji and an Arabic word.
  const String shaped[] = {u"Cafe\u0301 Нови\u0306 \U0001F600 سلام", u"Cafe\u0301 e\u0301te\u0301 Нови\u0306 год سلام عليكم \U0001F600\U0001F600 e\u0301te\u0301 Нови\u0306"};
  for (int i = 0; i < 12; ++i) {
    const String name = i == 0 || i == 2 ? shaped[i / 2] : u"IMG_00" + String(1, static_cast<Char>(u'a' + i));
    Add(name.c_str(), i % 2, i % 3 == 0 ? order::ptMatte : order::ptGlossy, 1 + i % 3, i % 4 == 0 ? 100 : 150, i % 4 == 0 ? 150 : 100);
  }
  Main->UpdateTotals();
  ember::TEmberItem* second = Main->Photos()->GetItem(1);
  second->SetFocused(true);
  second->SetSelected(true);
  Shot(Main, "main-window");
  SUCCEED();
}

TEST_F(MainWindowTest, PictureOfTheWindowWithNamesInScriptsWithoutAFace) {
  // Names in Hindi (no installed face holds Devanagari: its letters show the face's default
  // glyph), in Thai with an emoji, and one that begins with a byte-order mark: the list paints
  // them all, and each cell draws its name's ink.
  const String names[] = {u"\u092b\u094b\u091f\u094b", u"\u0e01\u0e481\U0001F600v", u"\uFEFFname",
                          u"\u092e\u0947\u0930\u0940 \u092b\u094b\u091f\u094b 1"};
  for (const String& name : names) Add(name.c_str(), 0, order::ptGlossy, 1);
  Main->UpdateTotals();
  guitest::PumpPending();
  const QImage list = layer::WidgetOf(Main->List->Handle())->grab().toImage();
  int dark = 0;
  for (int y = 0; y < list.height(); ++y)
    for (int x = 0; x < list.width(); ++x) dark += qGray(list.pixel(x, y)) < 80;
  EXPECT_GT(dark, 0);
  Shot(Main, "main-window-names");
}

}  // namespace
}  // namespace dlgtest
