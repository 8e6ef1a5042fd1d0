// The road of one order through the whole program in one process: the program's entry point with
// its price-list download, the main window, the add-photos dialog with its thumbnail thread, the
// preview, the order dialog with its upload thread, against the lab server on a loopback port.
// The customer's hand is a driver that waits for each window and then clicks, types and drops as
// the toolkit delivers it; the lab refuses the first photo until it is given up, and its retries
// pass at once on the layer's manual clock. At the end the lab's committed order folder is
// decoded: exactly the photos sent, each print of the size, paper, count, turn and crop chosen.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "app/uCustomViewItem.h"
#include "app/uDlgAdd.h"
#include "app/uDlgPreview.h"
#include "app/uDlgUpload.h"
#include "app/uFormMain.h"
#include "app/uProgram.h"
#include "labserver/LabServer.h"
#include "order/uUtils.h"
#include "platform/classlib/Dialogs.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace app;
using fixtures::Rgb;
namespace fs = std::filesystem;

// Two sizes (the second given upright, stored landscape), two cities of one place each; the
// descriptions are Base64 of "ул. Ленина, 1\r\nс 9 до 18" and "ул. Набережная, 7\r\nс 10 до 19".
const std::string kPriceList =
    "\xEF\xBB\xBF"
    "MinPrice=150\r\n"
    "UploadScript={{LAB}}/upload3.php\r\n"
    "DownloadURL={{LAB}}/UserFiles/Image/Selvana.exe\r\n"
    "LastVersion=3.0\r\n"
    "CityCount=2\r\n"
    "City1.Name=Тихоград\r\n"
    "City1.PlaceCount=1\r\n"
    "City1.Place1.Name=Центр\r\n"
    "City1.Place1.Desc=0YPQuy4g0JvQtdC90LjQvdCwLCAxDQrRgSA5INC00L4gMTg=\r\n"
    "City2.Name=Озёрск\r\n"
    "City2.PlaceCount=1\r\n"
    "City2.Place1.Name=Набережная\r\n"
    "City2.Place1.Desc=0YPQuy4g0J3QsNCx0LXRgNC10LbQvdCw0Y8sIDcNCtGBIDEwINC00L4gMTk=\r\n"
    "SizeCount=2\r\n"
    "Size1.Caption=10х15 см\r\n"
    "Size1.Width=1800\r\n"
    "Size1.Height=1200\r\n"
    "Size1.Glossy.Price=12.5\r\n"
    "Size1.Matte.Price=14.5\r\n"
    "Size2.Caption=15х20 см\r\n"
    "Size2.Width=1800\r\n"
    "Size2.Height=2400\r\n"
    "Size2.Glossy.Price=20\r\n"
    "Size2.Silk.Price=25\r\n";

const Rgb Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Yellow{255, 255, 0}, White{255, 255, 255};

// A photo of four flat quadrants: red, green above; blue, yellow below.
std::string WriteQuadrants(const fs::path& dir, const std::string& name, int w, int h) {
  const fs::path path = dir / name;
  auto paint = [w, h](int x, int y) { return y < h / 2 ? (x < w / 2 ? Red : Green) : (x < w / 2 ? Blue : Yellow); };
  const std::string ext = path.extension().string();
  if (ext == ".png") fixtures::WritePng(path, w, h, paint);
  else if (ext == ".bmp") testsupport::WriteFileBytes(path, fixtures::MakeBmp24(w, h, paint));
  else fixtures::WriteJpeg(path, w, h, paint);
  return path.string();
}

// ---- the customer's hand ----

// Steps that each wait for their moment, then act. A timer of the toolkit looks at the next step
// (real time only paces the looking: the program runs on the manual clock); its act is posted to
// the layer's queue, so it runs inside whichever loop is current. The next step waits until the
// act has returned, unless the act ends by opening a modal loop (Opens): the following steps then
// run inside that loop.
class TRoad {
public:
  enum TKind { Returns, Opens };
  void Add(std::string name, std::function<bool()> ready, std::function<void()> act, TKind kind = Returns) {
    FSteps.push_back({std::move(name), std::move(ready), std::move(act), kind});
  }
  void Start() {
    FSince = std::chrono::steady_clock::now();
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
    FTimer.start(5);
  }
  bool Finished() const { return FNext == FSteps.size() && FActive.empty(); }
  std::string Pending() const { return FNext == FSteps.size() ? "" : FSteps[FNext].Name; }

private:
  struct Step {
    std::string Name;
    std::function<bool()> Ready;
    std::function<void()> Act;
    TKind Kind;
  };
  void Tick() {
    if (FNext == FSteps.size() || FPosted) return;
    if (!FActive.empty() && FSteps[FActive.back()].Kind != Opens) return;
    // A safety net for a broken road, not a measure of speed: the step it stopped at is named.
    if (std::chrono::steady_clock::now() - FSince > std::chrono::seconds(120)) {
      std::fprintf(stderr, "the road stopped before: %s\n", Pending().c_str());
      std::fflush(stderr);
      std::abort();
    }
    if (!FSteps[FNext].Ready()) return;
    FPosted = true;
    guitest::PostWork([this] {
      FPosted = false;
      FSince = std::chrono::steady_clock::now();
      const size_t index = FNext++;
      FActive.push_back(index);
      {
        SCOPED_TRACE(FSteps[index].Name);
        FSteps[index].Act();
      }
      FActive.pop_back();
    });
  }
  std::vector<Step> FSteps;
  size_t FNext{0};
  std::vector<size_t> FActive;  // the acts under way, innermost last
  bool FPosted{false};
  std::chrono::steady_clock::time_point FSince;
  QTimer FTimer;
};

TCustomForm* Shown(const String& name) {
  for (Integer i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->GetName() == name && f->HandleAllocated() && IsWindowVisible(f->Handle())) return f;
  }
  return nullptr;
}
template <class T>
T* Shown(const String& name) {
  return dynamic_cast<T*>(Shown(name));
}
bool Gone(const String& name) { return Shown(name) == nullptr; }
bool Enabled(TWinControl* c) { return c && c->HandleAllocated() && IsWindowEnabled(c->Handle()); }

// The input goes through the layer's queue, as the desktop's does: each helper lets the queue
// run before it returns (a click that opens a dialog returns when the dialog has closed).
void ClickControl(TWinControl* c) {
  guitest::Click(c->Handle(), TPoint{c->GetWidth() / 2, c->GetHeight() / 2});
  guitest::PumpPending();
}
// A picture button of the editing panel, clicked where it lies on the panel.
void ClickOn(TWinControl* parent, TControl* c) {
  guitest::Click(parent->Handle(), TPoint{c->GetLeft() + c->GetWidth() / 2, c->GetTop() + c->GetHeight() / 2});
  guitest::PumpPending();
}
// The pointer goes where the hand is before the event says so: on a desktop the program reads
// the real pointer (the frame in the cell follows it, as on the platform), which the toolkit's
// events alone do not move.
void PointerAt(HWND h, TPoint client) {
  ClientToScreen(h, &client);
  SetCursorPos(client.X, client.Y);
}
// A hand slower than the loop: each step of the drag is handled before the next.
void Drag(HWND h, TPoint from, TPoint to) {
  PointerAt(h, from);
  guitest::Mouse(h, QEvent::MouseButtonPress, Qt::LeftButton, from, Qt::LeftButton);
  guitest::PumpPending();
  PointerAt(h, to);
  guitest::Mouse(h, QEvent::MouseMove, Qt::NoButton, to, Qt::LeftButton);
  guitest::PumpPending();
  guitest::Mouse(h, QEvent::MouseButtonRelease, Qt::LeftButton, to, Qt::NoButton);
  guitest::PumpPending();
}
void Choose(TComboBox* combo, const String& entry) {
  const Integer i = combo->GetItems()->IndexOf(entry);
  ASSERT_GE(i, 0) << StringToUtf8(entry);
  combo->SetItemIndex(i);
  if (combo->OnChange) combo->OnChange(combo);
}

// The centre of a photo's thumbnail in the order list, in the list's client pixels.
TPoint ThumbCentre(TMain* main, ember::TEmberItem* item) {
  ember::TEmberRectArrayObject rects;
  item->ItemRectArray(nullptr, main->List->GetScratchCanvas(), rects);
  const TPoint at = main->List->GetScrollbars()->MapViewToWindow({rects.BoundsRect.Left, rects.BoundsRect.Top});
  return TPoint{at.X + 103, at.Y + 103};
}

// Files dropped from a file manager: the toolkit's drag events, delivered to the main window.
void DropFiles(TMain* main, const std::vector<std::string>& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& f : files) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(f)));
  mime.setUrls(urls);
  QWidget* list = layer::WidgetOf(main->List->Handle());
  QWindow* window = list->window()->windowHandle();
  ASSERT_NE(window, nullptr);
  // Over the third cell of the first row: away from the editing panel.
  const QPoint at = list->mapTo(list->window(), QPoint(560, 150));
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDragMoveEvent move(at + QPoint(3, 3), offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &move);
  EXPECT_TRUE(move.isAccepted());
  EXPECT_EQ(move.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(at + QPoint(3, 3)), offered, &mime, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
}

// The paints still pending, as the customer sees them once the queue is idle: a step runs as a
// posted message, which comes before WM_PAINT, so a window shown a moment ago may not yet have
// painted every control (on a desktop its first paints wait for the server's exposure).
void PaintPending(HWND h) {
  UpdateWindow(h);
  if (TWindowObj* w = layer::Find(h))
    for (TWindowObj* c : std::vector<TWindowObj*>(w->Children))
      if (c->IsChild()) PaintPending(c->Handle());
}

void Shot(TWinControl* form, const std::string& name) {
  const char* out = std::getenv("PO_SCREENSHOT_DIR");
  if (!out || !*out || !form) return;
  PaintPending(form->Handle());
  if (QWidget* w = layer::WidgetOf(form->Handle()))
    w->grab().toImage().save(QString::fromUtf8(out) + "/" + QString::fromStdString(name) + ".png");
}

std::vector<String> TakeBoxes() {
  std::vector<String> texts;
  for (const auto& b : pf::testing::MessageBoxLog()) texts.push_back(b.Caption + u": " + b.Text);
  pf::testing::ClearMessageBoxLog();
  return texts;
}

std::vector<String> Names(TMain* main) {
  std::vector<String> names;
  for (Integer i = 0; i < main->Photos()->GetItemCount(); ++i)
    names.push_back(ExtractFileName(static_cast<TImageItemEx*>(main->Photos()->GetItem(i))->FileName));
  return names;
}

// The cell's rows 1 to 4 of a photo: size, paper, count, price.
std::vector<String> Cell(TImageItemEx* item) {
  std::vector<String> rows;
  for (Integer r = 1; r < TCustomViewItem::RowCount; ++r) rows.push_back(TCustomViewItem::GetRowValue(item, r));
  return rows;
}

// Keys typed into an edit as the customer types them, over what it held; digits and blanks.
void TypeOver(TWinControl* edit, const char* text) {
  SendMessage(edit->Handle(), EM_SETSEL, 0, -1);
  guitest::Type(edit->Handle(), Qt::Key_Delete);
  for (const char* k = text; *k; ++k)
    guitest::Type(edit->Handle(), *k == ' ' ? int(Qt::Key_Space) : Qt::Key_0 + (*k - '0'), QString(QChar(*k)));
  guitest::PumpPending();
}

// The memo's last line lies inside its view.
// A lab's refusal of a photo, longer than the upload log is wide.
constexpr std::string_view kLongRefusal =
    "ERROR: refused, the disk for incoming orders is full; the photo was not stored and can be sent again later";

bool LastLineInView(TMemo* memo) {
  auto* edit = qobject_cast<QPlainTextEdit*>(layer::WidgetOf(memo->Handle()));
  if (!edit) return false;
  const QRect last = edit->cursorRect(QTextCursor(edit->document()->lastBlock()));
  return last.top() >= 0 && last.bottom() <= edit->viewport()->height();
}

// The newest line is seen from its start: the character at the first visible column of the last
// line is that line's first, and its sideways scroll bar stands at the left.
bool LastLineStartInView(TMemo* memo) {
  auto* edit = qobject_cast<QPlainTextEdit*>(layer::WidgetOf(memo->Handle()));
  if (!edit) return false;
  const QTextBlock last = edit->document()->lastBlock();
  const QRect start = edit->cursorRect(QTextCursor(last));
  const QTextCursor firstColumn = edit->cursorForPosition(QPoint(0, start.center().y()));
  return firstColumn.block() == last && firstColumn.positionInBlock() == 0 && start.left() >= 0 &&
         edit->horizontalScrollBar()->value() == 0;
}

// Whether some line of the memo is wider than its view (so that it can be scrolled sideways).
bool LinesWiderThanTheView(TMemo* memo) {
  auto* edit = qobject_cast<QPlainTextEdit*>(layer::WidgetOf(memo->Handle()));
  return edit && edit->horizontalScrollBar()->maximum() > 0;
}

// The window sized as the desktop sizes it: its toolkit window takes a new client size.
void SizeWindow(TMain* main, int clientWidth, int clientHeight) {
  layer::WidgetOf(main->Handle())->resize(clientWidth, clientHeight);
  guitest::PumpPending();
}

class OrderRoad : public ::testing::Test {
protected:
  void SetUp() override {
    Photos = testsupport::MakeTempDir("photos");
    labserver::TLabServerOptions options;
    options.PriceList = kPriceList;
    options.OrdersDir = testsupport::MakeTempDir("orders");
    options.FirstOrderNumber = 41;
    Lab = std::make_unique<labserver::TLabServer>(options);
    ASSERT_TRUE(Lab->Start());
    setenv("PHOTO_ORDER_LAB_URL", Lab->BaseUrl().c_str(), 1);
    // The customer's desktop is Russian: decimal comma, no-break blanks between digit groups.
    TFormatSettings ru = FormatSettings();
    ru.DecimalSeparator = u',';
    ru.ThousandSeparator = u'\u00A0';
    SetFormatSettings(ru);
    // Every wait of the program passes at once: the lab's refusals cost no real time.
    clock::UseManual();
    clock::SetInstant(true);
    // The preview's largest picture is 512 × 410 on this desktop.
    TRect area{0, 0, 640, 512};
    SystemParametersInfo(SPI_SETWORKAREA, 0, &area, 0);
    pf::testing::SetMessageBoxHook([](const pf::testing::TMessageBoxRequest&) { return IDOK; });
  }
  void TearDown() override {
    pf::testing::SetMessageBoxHook({});
    pf::testing::SetOpenDialogHook({});
    pf::testing::ResetSystemParameters();
    clock::UseReal();
    unsetenv("PHOTO_ORDER_LAB_URL");
    Lab.reset();
  }
  std::string Photo(const std::string& name) const { return (Photos / name).string(); }

  fs::path Photos;
  std::unique_ptr<labserver::TLabServer> Lab;
  TRoad Road;
};

TEST_F(OrderRoad, FromTheFirstPhotoToTheLabsOrderFolder) {
  // a, b and c come from the file dialog with a picture too small to print; d and e are dropped
  // with a note that is no picture. 600 × 400 is the print's shape; b is twice as wide as high
  // and is cropped; c is upright and turned; d is square and printed with borders.
  WriteQuadrants(Photos, "a.png", 600, 400);
  WriteQuadrants(Photos, "b.bmp", 800, 400);
  WriteQuadrants(Photos, "c.png", 400, 600);
  WriteQuadrants(Photos, "tiny.png", 80, 80);
  WriteQuadrants(Photos, "d.jpg", 600, 600);
  WriteQuadrants(Photos, "e.png", 500, 300);
  testsupport::WriteFileBytes(Photos / "notes.txt", "not a photo");
  const std::string infoFile = StringToUtf8(order::GetInfoFileName());

  pf::testing::TOpenDialogRequest asked;
  pf::testing::SetOpenDialogHook([&](const pf::testing::TOpenDialogRequest& r, std::vector<String>& files, Integer&) {
    asked = r;
    for (const char* n : {"a.png", "b.bmp", "tiny.png", "c.png"}) files.push_back(Utf8ToString(Photo(n)));
    return true;
  });
  // The first photo of the order is refused until it is given up: 10 attempts, 9 waits of 3 s.
  // The lab says why at length, so the log's lines are wider than the log.
  Lab->RefuseFirst(labserver::TRequestKind::Photo, 10, std::string(kLongRefusal));

  TMain* main = nullptr;
  TDlgAdd* add = nullptr;
  TDlgPreview* preview = nullptr;
  TDlgUpload* order = nullptr;
  auto photo = [&](Integer i) { return static_cast<TImageItemEx*>(main->Photos()->GetItem(i)); };
  auto named = [&](const char16_t* name) -> TImageItemEx* {
    for (Integer i = main->Photos()->GetItemCount() - 1; i >= 0; --i)
      if (ExtractFileName(photo(i)->FileName) == name) return photo(i);
    return nullptr;
  };
  auto select = [&](TImageItemEx* item) {
    guitest::Click(main->List->Handle(), ThumbCentre(main, item));
    guitest::PumpPending();
  };
  auto addDialogChecked = [&] {
    add = Shown<TDlgAdd>(u"DlgAdd");
    return add && !add->Checking() && Enabled(add->btnAdd);
  };

  Road.Add("the main window", [&] { return (main = Shown<TMain>(u"Main")) != nullptr; }, [&] {
    EXPECT_EQ(main->GetCaption(), u"Сельвана Тихоград - заказ фотографий - версия 3.0");
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 0 шт., отпечатков: 0 шт. Сумма заказа - 0,00 руб.");
    EXPECT_EQ(main->lblMinPrice->GetCaption(), u"(мин. заказ - 150 руб.)");
    EXPECT_TRUE(main->lblMinPrice->GetVisible());
    ClickControl(main->btnUpload);
    EXPECT_EQ(TakeBoxes(), (std::vector<String>{
                               u"Информация: Перед оформлением заказа надо добавить хотя бы одну фотографию в список"}));
    Shot(main, "road-1-empty");
    ClickControl(main->btnAddFoto);  // the add-photos dialog runs in here
  }, TRoad::Opens);
  Road.Add("the file dialog's photos checked", addDialogChecked, [&] {
    EXPECT_TRUE(asked.MultiSelect);
    ASSERT_EQ(asked.Filters.size(), 4u);
    EXPECT_EQ(asked.Filters[0].Description, u"Все поддерживаемые форматы");
    EXPECT_EQ(add->lblAdded->GetCaption(), u"Добавлено фотографий: 3");
    EXPECT_EQ(add->lblFiltered->GetCaption(), u"Отфильтровано фотографий: 1");
    EXPECT_EQ(add->lblMessage->GetCaption(), u"Проверка фотографий завершена");
    Choose(add->cbPhotoSize, u"10х15 см");
    Choose(add->cbPaperType, u"Матовая  (14,5 руб.)");
    add->edPhotoCount->SetText(u"");
    guitest::Type(add->edPhotoCount->Handle(), Qt::Key_3, "3");
    guitest::PumpPending();
    EXPECT_EQ(add->PhotoCount(), 3);
    EXPECT_FALSE(add->cbWithBorders->GetChecked());
    Shot(add, "road-2-add");
    ClickControl(add->btnAdd);
  });
  Road.Add("three photos in the list", [&] { return Gone(u"DlgAdd") && main->Photos()->GetItemCount() == 3; }, [&] {
    EXPECT_EQ(Names(main), (std::vector<String>{u"a.png", u"b.bmp", u"c.png"}));
    for (Integer i = 0; i < 3; ++i)
      EXPECT_EQ(Cell(photo(i)), (std::vector<String>{u"10х15 см", u"Матовая  (14,5 руб.)", u"3", u"43,5 руб."}));
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 3 шт., отпечатков: 9 шт. Сумма заказа - 130,50 руб.");
    EXPECT_TRUE(main->lblMinPrice->GetVisible());
    // The first photo is selected and the panel lies over it.
    EXPECT_EQ(main->CurrentItem(), photo(0));
    EXPECT_TRUE(main->pnlImage->GetVisible());
    ClickControl(main->btnUpload);
    EXPECT_EQ(TakeBoxes(), (std::vector<String>{
                               u"Информация: Стоимость заказа должна быть от 150 руб. У Вас сейчас - 130,50 руб."}));
    DropFiles(main, {Photo("d.jpg"), Photo("notes.txt"), Photo("e.png")});
  });
  Road.Add("the dropped photos checked", addDialogChecked, [&] {
    EXPECT_EQ(add->Images->GetItems()->GetCount(), 2);
    EXPECT_EQ(add->lblAdded->GetCaption(), u"Добавлено фотографий: 2");
    EXPECT_EQ(add->lblFiltered->GetCaption(), u"Отфильтровано фотографий: 0");
    Choose(add->cbPhotoSize, u"15х20 см");
    Choose(add->cbPaperType, u"Шёлк  (25 руб.)");
    add->edPhotoCount->SetText(u"");
    guitest::Type(add->edPhotoCount->Handle(), Qt::Key_2, "2");
    guitest::PumpPending();
    ClickControl(add->cbWithBorders);
    EXPECT_TRUE(add->WithBorders());
    ClickControl(add->btnAdd);
  });
  Road.Add("five photos in the list", [&] { return Gone(u"DlgAdd") && main->Photos()->GetItemCount() == 5; }, [&] {
    EXPECT_EQ(Names(main), (std::vector<String>{u"a.png", u"b.bmp", u"c.png", u"d.jpg", u"e.png"}));
    for (Integer i = 3; i < 5; ++i) {
      EXPECT_EQ(Cell(photo(i)), (std::vector<String>{u"15х20 см", u"Шёлк  (25 руб.)", u"2", u"50 руб."}));
      EXPECT_TRUE(photo(i)->WithBorders());
    }
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 5 шт., отпечатков: 13 шт. Сумма заказа - 230,50 руб.");
    EXPECT_FALSE(main->lblMinPrice->GetVisible());
    DropFiles(main, {Photo("notes.txt")});
  });
  Road.Add("a drop without a photo", [&] { return !pf::testing::MessageBoxLog().empty(); }, [&] {
    EXPECT_EQ(TakeBoxes(), (std::vector<String>{u"Ошибка: Не найдено ни одного изображения"}));
    EXPECT_EQ(main->Photos()->GetItemCount(), 5);
    select(named(u"b.bmp"));
  });
  Road.Add("b selected", [&] { return main->CurrentItem() == named(u"b.bmp"); }, [&] {
    TImageItemEx* b = named(u"b.bmp");
    // 800 × 400 on a 3:2 print: the thumbnail is 200 × 100, the frame 150 × 100, centred at 25.
    ASSERT_EQ(b->FrameType(), ftMoveHorz);
    EXPECT_EQ(main->edPhotoCount->GetText(), u"3");
    EXPECT_EQ(main->cbPaperType->GetText(), u"Матовая  (14,5 руб.)");
    EXPECT_EQ(main->pnlThumb->GetBoundsRect(), (TRect{7, 57, 207, 157}));
    EXPECT_EQ(main->shpFrame->GetBoundsRect(), (TRect{25, 0, 175, 100}));
    Shot(main, "road-3-panel");
    // Ten pixels to the left with the mouse on the thumbnail in the cell.
    Drag(main->pnlThumb->Handle(), {100, 50}, {90, 50});
    EXPECT_EQ(b->FrameOffset, 15);
    EXPECT_EQ(main->shpFrame->GetLeft(), 15);
    ClickOn(main->pnlImage, main->btnEnlarge);  // the preview runs in here
  }, TRoad::Opens);
  Road.Add("the preview", [&] { return (preview = Shown<TDlgPreview>(u"DlgPreview")) != nullptr; }, [&] {
    // The photo at 512 × 256 from (10, 10); the frame 384 × 256 at 10 + Round(15 / 200 × 512).
    EXPECT_EQ(preview->GetFrameProp(6), 512);
    EXPECT_EQ(preview->GetFrameProp(7), 256);
    EXPECT_EQ(preview->shpFrame->GetBoundsRect(), (TRect{48, 10, 432, 266}));
    Drag(preview->Handle(), {200, 100}, {260, 100});
    EXPECT_EQ(preview->GetFrameProp(0), 108);
    Shot(preview, "road-4-preview");
    ClickControl(preview->btnClose);
  });
  Road.Add("the preview closed", [&] { return Gone(u"DlgPreview"); }, [&] {
    // Round((108 - 10) / 512 × 200) on the thumbnail.
    EXPECT_EQ(named(u"b.bmp")->FrameOffset, 38);
    EXPECT_EQ(main->shpFrame->GetLeft(), 38);
    select(named(u"c.png"));
  });
  Road.Add("c selected", [&] { return main->CurrentItem() == named(u"c.png"); }, [&] {
    TImageItemEx* c = named(u"c.png");
    ASSERT_EQ(c->Thumb()->Width(), 133);
    ClickOn(main->pnlImage, main->btnRotate270);
    EXPECT_EQ(c->Thumb()->Width(), 200);
    EXPECT_EQ(c->Thumb()->Height(), 133);
    EXPECT_EQ(main->pnlThumb->GetBoundsRect(), (TRect{7, 40, 207, 173}));
    EXPECT_EQ(c->FrameType(), ftNone);
    // One print more with the up-down's upper arrow.
    guitest::Click(main->udPhotoCount->Handle(), TPoint{8, 4});
    guitest::PumpPending();
    EXPECT_EQ(main->edPhotoCount->GetText(), u"4");
    EXPECT_EQ(Cell(c), (std::vector<String>{u"10х15 см", u"Матовая  (14,5 руб.)", u"4", u"58 руб."}));
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 5 шт., отпечатков: 14 шт. Сумма заказа - 245,00 руб.");
  });
  Road.Add("the count field", [&] { return main->CurrentItem() == named(u"c.png") && named(u"c.png")->PhotoCount == 4; }, [&] {
    TImageItemEx* c = named(u"c.png");
    // Typed, then left with Tab: the field keeps what is typed and shows the count taken once left.
    struct Typed {
      const char* Keys;
      const char16_t* Shown;
      Integer Count;
    } typed[] = {{"0", u"1", 1}, {"150", u"100", 100}, {"99999", u"100", 100}, {"4", u"4", 4}};
    for (const Typed& t : typed) {
      SCOPED_TRACE(t.Keys);
      main->edPhotoCount->SetFocus();
      guitest::PumpPending();
      TypeOver(main->edPhotoCount, t.Keys);
      EXPECT_EQ(main->edPhotoCount->GetText(), Utf8ToString(t.Keys));
      guitest::Type(main->edPhotoCount->Handle(), Qt::Key_Tab);
      Application->ProcessMessages();  // the form's dialog keys
      ASSERT_NE(GetFocus(), main->edPhotoCount->Handle());
      EXPECT_EQ(main->edPhotoCount->GetText(), t.Shown);
      EXPECT_EQ(c->PhotoCount, t.Count);
      EXPECT_EQ(Cell(c)[2], t.Shown);
    }
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 5 шт., отпечатков: 14 шт. Сумма заказа - 245,00 руб.");
    select(named(u"a.png"));
  });
  Road.Add("a selected", [&] { return main->CurrentItem() == named(u"a.png"); }, [&] {
    TImageItemEx* a = named(u"a.png");
    ClickOn(main->pnlImage, main->btnCopy);
    // The copy stands before the photo it copies.
    EXPECT_EQ(Names(main), (std::vector<String>{u"a.png", u"a.png", u"b.bmp", u"c.png", u"d.jpg", u"e.png"}));
    EXPECT_EQ(photo(1), a);
    EXPECT_EQ(Cell(photo(0)), Cell(a));
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 6 шт., отпечатков: 17 шт. Сумма заказа - 288,50 руб.");
    select(named(u"e.png"));
  });
  Road.Add("the window sized", [&] { return main->CurrentItem() == named(u"e.png"); }, [&] {
    // e is the sixth photo: at the first size (a list 730 wide, cells of 214 × 310, three to a
    // row) it is the last of the second row; 400 pixels wider, five cells fit a row and it is
    // the first of the second. Past its first size the window does not shrink.
    struct Size {
      const char* Name;
      int Width, Height;  // the client size the desktop asks for
      int W, H;           // the client size taken
      TRect Panel;        // the editing panel, on e's cell
      const char* Shot;
    } sizes[] = {
        {"widened", 1150, 650, 1150, 650, {0, 310, 214, 620}, "road-5a-widened"},
        {"narrowed to its least", 600, 400, 750, 550, {428, 310, 642, 620}, "road-5b-narrowed"},
    };
    for (const Size& z : sizes) {
      SCOPED_TRACE(z.Name);
      SizeWindow(main, z.Width, z.Height);
      EXPECT_EQ(main->GetClientWidth(), z.W);
      EXPECT_EQ(main->GetClientHeight(), z.H);
      ASSERT_EQ(main->CurrentItem(), named(u"e.png"));
      ASSERT_TRUE(main->pnlImage->GetVisible());
      EXPECT_EQ(main->pnlImage->GetBoundsRect(), z.Panel);
      Shot(main, z.Shot);
    }
  });
  Road.Add("e selected", [&] { return main->CurrentItem() == named(u"e.png"); }, [&] {
    ClickOn(main->pnlImage, main->btnDelete);
    EXPECT_EQ(Names(main), (std::vector<String>{u"a.png", u"a.png", u"b.bmp", u"c.png", u"d.jpg"}));
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 5 шт., отпечатков: 15 шт. Сумма заказа - 238,50 руб.");
    EXPECT_FALSE(main->lblMinPrice->GetVisible());
    Shot(main, "road-5-list");
    ClickControl(main->btnUpload);  // the order dialog runs in here
  }, TRoad::Opens);
  Road.Add("the order dialog, first time", [&] { return (order = Shown<TDlgUpload>(u"DlgUpload")) != nullptr; }, [&] {
    EXPECT_EQ(order->Pages->GetActivePage(), order->PageData);
    EXPECT_EQ(order->edSecondName->GetText(), u"");
    EXPECT_TRUE(order->cbSaveInfo->GetChecked());
    order->edSecondName->SetText(u"Петрова");
    order->edFirstName->SetText(u"Анна");
    order->edThirdName->SetText(u"Сергеевна");
    order->edPhone->SetText(u"+7 912 345-67-89");
    order->edEMail->SetText(u"anna@example.ru");
    Shot(order, "road-6-details");
    // Not now: the details are kept all the same, the box being ticked.
    ClickControl(order->btnCancel);
    EXPECT_EQ(order->Pages->GetActivePage(), order->PageCancel);
    ClickControl(order->btnCancel);
  });
  Road.Add("the details kept", [&] { return Gone(u"DlgUpload") && fs::exists(infoFile); }, [&] {
    EXPECT_NE(testsupport::ReadFileBytes(infoFile).find("Phone=+7 912 345-67-89"), std::string::npos);
    EXPECT_EQ(main->Photos()->GetItemCount(), 5);
    EXPECT_TRUE(Lab->Requests(labserver::TRequestKind::Start).empty());
    ClickControl(main->btnUpload);
  }, TRoad::Opens);
  Road.Add("a surname of blanks, then none", [&] {
    order = Shown<TDlgUpload>(u"DlgUpload");
    return order && Enabled(order->btnProcess);
  }, [&] {
    order->edSecondName->SetFocus();
    TypeOver(order->edSecondName, "   ");
    EXPECT_EQ(order->edSecondName->GetText(), u"   ");
    Application->Idle();
    EXPECT_TRUE(Enabled(order->btnProcess)) << "a field is taken as typed";
    order->edSecondName->SetText(u"");
    Application->Idle();
    EXPECT_FALSE(Enabled(order->btnProcess)) << "an order without a surname";
    order->edSecondName->SetText(u"Петрова");
    Application->Idle();
    EXPECT_TRUE(Enabled(order->btnProcess));
  });
  Road.Add("the order dialog, second time", [&] {
    order = Shown<TDlgUpload>(u"DlgUpload");
    return order && Enabled(order->btnProcess);
  }, [&] {
    EXPECT_EQ(order->edSecondName->GetText(), u"Петрова");
    EXPECT_EQ(order->edThirdName->GetText(), u"Сергеевна");
    EXPECT_EQ(order->edEMail->GetText(), u"anna@example.ru");
    // This time the customer wants them forgotten.
    ClickControl(order->cbSaveInfo);
    EXPECT_FALSE(order->cbSaveInfo->GetChecked());
    ClickControl(order->btnProcess);
    EXPECT_EQ(order->Pages->GetActivePage(), order->PageAddress);
  });
  Road.Add("the pick-up place", [&] { return Enabled(order->btnProcess); }, [&] {
    EXPECT_EQ(order->btnProcess->GetCaption(), u"Отправить");
    EXPECT_EQ(order->cbCity->GetText(), u"Тихоград");
    EXPECT_EQ(order->cbPlace->GetText(), u"Центр");
    Choose(order->cbCity, u"Озёрск");
    EXPECT_EQ(order->cbPlace->GetText(), u"Набережная");
    String desc = order->edDesc->GetText();
    std::erase(desc, u'\r');
    EXPECT_EQ(desc, u"ул. Набережная, 7\nс 10 до 19");
    Shot(order, "road-7-address");
    ClickControl(order->btnProcess);
    EXPECT_EQ(order->Pages->GetActivePage(), order->PageUpload);
    EXPECT_EQ(order->pbProgress->GetMax(), 5);
  });
  Road.Add("the log after ten refusals", [&] { return order->Pages->GetActivePage() == order->PageSucc; }, [&] {
    // Back on the sending page for a look: the log's newest line, the give-up, is in view.
    order->Pages->SetActivePage(order->PageUpload);
    guitest::PumpPending();
    EXPECT_GE(order->edLog->GetLines()->Count(), 11);
    EXPECT_NE(order->edLog->GetLines()->Get(order->edLog->GetLines()->Count() - 1).find(u"будет пропущена!"), String::npos);
    EXPECT_TRUE(LastLineInView(order->edLog));
    // The give-up line is wider than the log; the log still shows it, and every line, from the
    // start: the times, "Фотография" and "Не удалось".
    EXPECT_TRUE(LinesWiderThanTheView(order->edLog));
    EXPECT_TRUE(LastLineStartInView(order->edLog));
    Shot(order, "road-8a-log");
    order->Pages->SetActivePage(order->PageSucc);
  });
  Road.Add("the result page", [&] { return order->Pages->GetActivePage() == order->PageSucc; }, [&] {
    EXPECT_EQ(order->edOrderNumber->GetText(), u"000041");
    EXPECT_EQ(order->lblResult->GetCaption(), u"4 фото были успешно отправлены на сайт; 1 фото пропущено");
    EXPECT_EQ(order->lblTotal->GetCaption(), u"Отправлено фотографий: 4 шт.; отпечатков: 12 шт. Сумма заказа: 195,00 руб.");
    EXPECT_EQ(order->lblStat->GetCaption(), u"Отправлено 4 фото из 5; пропущено 1 фото");
    EXPECT_EQ(order->pbProgress->GetPosition(), 5);
    EXPECT_EQ(order->btnCancel->GetCaption(), u"Закрыть");
    String address = order->edAddress->GetText();
    std::erase(address, u'\r');
    EXPECT_EQ(address, u"Озёрск\nНабережная\nул. Набережная, 7\nс 10 до 19");
    // The log: ten refusals of the copy of a, each stamped with the time, and the give-up.
    const std::string log = StringToUtf8(order->edLog->GetText());
    const std::regex refusal("(^|\n)\\d\\d:\\d\\d:\\d\\d - Фотография a\\.png: " + std::string(kLongRefusal) + "(?=\n|$)");
    EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), refusal), std::sregex_iterator()), 10) << log;
    EXPECT_NE(log.find(" - Не удалось отправить фотографию a.png, она будет пропущена!"), std::string::npos) << log;
    // The sent photos are gone from the list already; the one given up stays.
    EXPECT_EQ(Names(main), (std::vector<String>{u"a.png"}));
    Shot(order, "road-8-result");
    ClickControl(order->btnCancel);
  });
  Road.Add("back in the main window", [&] { return Gone(u"DlgUpload"); }, [&] {
    EXPECT_FALSE(fs::exists(infoFile));
    ASSERT_EQ(main->Photos()->GetItemCount(), 1);
    EXPECT_EQ(Cell(photo(0)), (std::vector<String>{u"10х15 см", u"Матовая  (14,5 руб.)", u"3", u"43,5 руб."}));
    EXPECT_EQ(main->lblStat->GetCaption(), u"Фотографий: 1 шт., отпечатков: 3 шт. Сумма заказа - 43,50 руб.");
    EXPECT_TRUE(main->lblMinPrice->GetVisible());
    EXPECT_TRUE(TakeBoxes().empty());
    main->Close();
  });
  Road.Start();

  std::vector<std::string> argv0{"photo-order"};
  char* argv[] = {argv0[0].data(), nullptr};
  EXPECT_EQ(app::RunProgram(1, argv), 0);
  ASSERT_TRUE(Road.Finished()) << Road.Pending();

  // ---- the lab's committed order folder ----
  ASSERT_EQ(Lab->OrderNumbers(), std::vector<int>{41});
  const labserver::TOrderInfo placed = Lab->Order(41);
  ASSERT_EQ(placed.State, labserver::TOrderState::Committed);
  ASSERT_EQ(placed.Folder, Lab->OrdersDir() / "000041");
  struct Print {
    std::string Paper, Size;
    int Index, Count, W, H;
    std::vector<std::pair<TPoint, Rgb>> Probes;
  };
  // a: the whole photo, 3 times larger. b: cropped from column Round(38 × 4) = 152 to 752 of
  // 800, so its middle (400) lands at (400 − 152) × 3 = 744. c: turned left, so green comes up
  // to the top left, printed 4 times. d: square in a 2400 × 1800 print; drawn upright at 1800 × 2400 with white
  // bands of 300 above and below, then stored turned clockwise: the bands stand left and right
  // and blue (its lower left) comes to the top left. The copy of a, given up, took number 1.
  const std::vector<Print> expected = {
      {"matte", "10х15 см", 2, 3, 1800, 1200, {{{450, 300}, Red}, {{1350, 300}, Green}, {{450, 900}, Blue}, {{1350, 900}, Yellow}}},
      {"matte", "10х15 см", 3, 3, 1800, 1200, {{{20, 300}, Red}, {{684, 300}, Red}, {{804, 300}, Green}, {{1780, 300}, Green},
                                                 {{684, 900}, Blue}, {{804, 900}, Yellow}}},
      {"matte", "10х15 см", 4, 4, 1800, 1200, {{{450, 300}, Green}, {{1350, 300}, Yellow}, {{450, 900}, Red}, {{1350, 900}, Blue}}},
      {"silk", "15х20 см", 1, 2, 2400, 1800, {{{150, 900}, White}, {{2250, 900}, White}, {{750, 450}, Blue}, {{1650, 450}, Red},
                                               {{750, 1350}, Yellow}, {{1650, 1350}, Green}}},
  };
  ASSERT_EQ(placed.Photos.size(), expected.size());
  std::vector<std::string> onDisk;
  for (const auto& entry : fs::directory_iterator(placed.Folder)) onDisk.push_back(entry.path().filename().string());
  std::sort(onDisk.begin(), onDisk.end());
  std::vector<std::string> wanted{"order.txt"};
  for (const labserver::TPhotoInfo& p : placed.Photos) wanted.push_back(p.FileName);
  std::sort(wanted.begin(), wanted.end());
  EXPECT_EQ(onDisk, wanted);
  for (size_t i = 0; i < expected.size(); ++i) {
    const Print& e = expected[i];
    const labserver::TPhotoInfo& p = placed.Photos[i];
    SCOPED_TRACE(p.FileName);
    EXPECT_EQ(p.Paper, e.Paper);
    EXPECT_EQ(p.SizeName, e.Size);
    EXPECT_EQ(p.Index, e.Index);
    EXPECT_EQ(p.Count, e.Count);
    const fixtures::Decoded d = fixtures::DecodeJpeg(testsupport::ReadFileBytes(placed.Folder / p.FileName));
    ASSERT_EQ(d.W, e.W);
    ASSERT_EQ(d.H, e.H);
    for (const auto& [at, colour] : e.Probes) {
      const Rgb got = d.At(at.X, at.Y);
      EXPECT_TRUE(fixtures::Near(got, colour, 16))
          << "at " << at.X << "," << at.Y << ": " << int(got.R) << " " << int(got.G) << " " << int(got.B);
    }
  }
  EXPECT_EQ(testsupport::ReadFileBytes(placed.Folder / "order.txt"),
            "Город: Озёрск\r\nАдрес: Набережная ул. Набережная, 7 с 10 до 19\r\nФИО: Петрова Анна Сергеевна\r\n"
            "Телефон: +7 912 345-67-89\r\nE-Mail: anna@example.ru\r\n"
            "10х15 см: 10 шт.\r\n15х20 см: 2 шт.\r\nСумма заказа: 195,00 руб.");
  EXPECT_EQ(Lab->Requests(labserver::TRequestKind::Photo).size(), 14u);
  EXPECT_TRUE(Lab->Requests(labserver::TRequestKind::Rollback).empty());
}

TEST_F(OrderRoad, DroppedPhotosOfOtherKindsAreCheckedAndPrinted) {
  // A camera photo cut short (its reduced thumbnail decode and the full one both meet the early
  // end), a grey PNG and a 16-bit RGB PNG are dropped; the first is filtered, the other two are
  // printed with their own pixels.
  const Rgb Dark{40, 40, 40}, Mid{120, 120, 120}, Light{200, 200, 200}, Pale{250, 250, 250};
  WriteQuadrants(Photos, "cut.jpg", 1800, 1200);
  const std::string whole = testsupport::ReadFileBytes(Photo("cut.jpg"));
  testsupport::WriteFileBytes(Photo("cut.jpg"), whole.substr(0, whole.size() / 2));
  fixtures::WritePngOfKind(Photos / "grey.png", 600, 400, [&](int x, int y) {
    return y < 200 ? (x < 300 ? Dark : Mid) : (x < 300 ? Light : Pale);
  }, true, 8);
  fixtures::WritePngOfKind(Photos / "deep.png", 600, 400, [&](int x, int y) {
    return y < 200 ? (x < 300 ? Red : Green) : (x < 300 ? Blue : Yellow);
  }, false, 16);

  TMain* main = nullptr;
  TDlgAdd* add = nullptr;
  TDlgUpload* order = nullptr;
  Road.Add("the main window", [&] { return (main = Shown<TMain>(u"Main")) != nullptr; }, [&] {
    DropFiles(main, {Photo("cut.jpg"), Photo("grey.png"), Photo("deep.png")});
  });
  Road.Add("the dropped photos checked", [&] {
    add = Shown<TDlgAdd>(u"DlgAdd");
    return add && !add->Checking() && Enabled(add->btnAdd);
  }, [&] {
    EXPECT_EQ(add->lblAdded->GetCaption(), u"Добавлено фотографий: 2");
    EXPECT_EQ(add->lblFiltered->GetCaption(), u"Отфильтровано фотографий: 1");
    Shot(add, "road-kinds-add");
    Choose(add->cbPhotoSize, u"10х15 см");
    add->edPhotoCount->SetText(u"");
    guitest::Type(add->edPhotoCount->Handle(), Qt::Key_6, "6");
    guitest::PumpPending();
    ClickControl(add->btnAdd);
  });
  Road.Add("two photos in the list", [&] { return Gone(u"DlgAdd") && main->Photos()->GetItemCount() == 2; }, [&] {
    EXPECT_EQ(Names(main), (std::vector<String>{u"grey.png", u"deep.png"}));
    Shot(main, "road-kinds-list");
    ClickControl(main->btnUpload);
  }, TRoad::Opens);
  Road.Add("the order dialog", [&] { return (order = Shown<TDlgUpload>(u"DlgUpload")) != nullptr; }, [&] {
    order->edSecondName->SetText(u"Петрова");
    order->edFirstName->SetText(u"Анна");
    order->edThirdName->SetText(u"Сергеевна");
    order->edPhone->SetText(u"+7 912 345-67-89");
    order->edEMail->SetText(u"anna@example.ru");
    // The button follows the details in the idle pass: a click before it would find it disabled.
    Application->Idle();
    ClickControl(order->btnProcess);
  });
  Road.Add("the pick-up place", [&] { return order->Pages->GetActivePage() == order->PageAddress && Enabled(order->btnProcess); },
           [&] { ClickControl(order->btnProcess); });
  Road.Add("the result page", [&] { return order->Pages->GetActivePage() == order->PageSucc; }, [&] {
    EXPECT_EQ(order->lblResult->GetCaption(), u"Все фотографии были успешно отправлены на сайт");
    ClickControl(order->btnCancel);
  });
  Road.Add("back in the main window", [&] { return Gone(u"DlgUpload"); }, [&] { main->Close(); });
  Road.Start();

  std::vector<std::string> argv0{"photo-order"};
  char* argv[] = {argv0[0].data(), nullptr};
  EXPECT_EQ(app::RunProgram(1, argv), 0);
  ASSERT_TRUE(Road.Finished()) << Road.Pending();

  ASSERT_EQ(Lab->OrderNumbers(), std::vector<int>{41});
  const labserver::TOrderInfo placed = Lab->Order(41);
  ASSERT_EQ(placed.State, labserver::TOrderState::Committed);
  ASSERT_EQ(placed.Photos.size(), 2u);
  const std::vector<Rgb> quadrants[] = {{Dark, Mid, Light, Pale}, {Red, Green, Blue, Yellow}};
  for (size_t i = 0; i < 2; ++i) {
    const labserver::TPhotoInfo& p = placed.Photos[i];
    SCOPED_TRACE(p.FileName);
    EXPECT_EQ(p.Index, static_cast<int>(i) + 1);
    EXPECT_EQ(p.Count, 6);
    const fixtures::Decoded d = fixtures::DecodeJpeg(testsupport::ReadFileBytes(placed.Folder / p.FileName));
    ASSERT_EQ(d.W, 1800);
    ASSERT_EQ(d.H, 1200);
    const TPoint probes[] = {{450, 300}, {1350, 300}, {450, 900}, {1350, 900}};
    for (size_t q = 0; q < 4; ++q) {
      const Rgb got = d.At(probes[q].X, probes[q].Y);
      EXPECT_TRUE(fixtures::Near(got, quadrants[i][q], 4))
          << "at " << probes[q].X << "," << probes[q].Y << ": " << int(got.R) << " " << int(got.G) << " " << int(got.B);
    }
  }
}

}  // namespace
