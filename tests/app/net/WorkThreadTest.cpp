// The upload thread against the stand-in lab server, with faults injected, on the manual clock in
// instant mode (every 3-second wait returns at once and advances the clock by its length).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <atomic>
#include <mutex>
#include <thread>

#include "app/uWorkThread.h"
#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace app;
using fixtures::Rgb;
using labserver::TRequestKind;

struct TMsg {
  UINT Msg{0};
  WPARAM W{0};
  String Text;  // the boxed string, when one came with it
};

// Collects the thread's messages; `Hook` sees each one on the thread as it is posted.
class TRecorder {
public:
  std::function<void(TWorkThread&, const TMsg&)> Hook;
  std::atomic<TWorkThread*> Thread{nullptr};

  TUploadMessageSink Sink() {
    return [this](UINT msg, WPARAM w, Owned<TObject> payload) {
      TMsg m{msg, w, {}};
      if (auto* box = dynamic_cast<order::TBoxedString*>(payload.get())) m.Text = box->Value;
      {
        std::lock_guard<std::mutex> lock(FMutex);
        FMessages.push_back(m);
      }
      if (Hook) {
        while (!Thread.load()) std::this_thread::yield();
        Hook(*Thread.load(), m);
      }
    };
  }
  std::vector<TMsg> Messages() {
    std::lock_guard<std::mutex> lock(FMutex);
    return FMessages;
  }
  std::vector<UINT> Kinds() {
    std::vector<UINT> kinds;
    for (const TMsg& m : Messages()) kinds.push_back(m.Msg);
    return kinds;
  }
  int Count(UINT msg) {
    const auto kinds = Kinds();
    return static_cast<int>(std::count(kinds.begin(), kinds.end(), msg));
  }
  std::vector<std::string> Logs() {
    std::vector<std::string> logs;
    for (const TMsg& m : Messages())
      if (m.Msg == WM_UPLOADLOG) logs.push_back(StringToUtf8(m.Text));
    return logs;
  }

private:
  std::mutex FMutex;
  std::vector<TMsg> FMessages;
};

const Rgb Red{220, 20, 20}, Green{20, 200, 20}, Blue{20, 20, 220}, Yellow{230, 230, 30};
const Rgb White{255, 255, 255}, Slate{40, 90, 160}, Brick{200, 100, 50};

class UploadThread : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    inet::GlobalInitialize();
    Dir = new std::filesystem::path(testsupport::MakeTempDir("photos"));
    const auto& d = *Dir;
    // 3000 × 2000, quadrants red, green / blue, yellow.
    fixtures::WriteJpeg(d / "land.jpg", 3000, 2000, [](int x, int y) {
      return y < 1000 ? (x < 1500 ? Red : Green) : (x < 1500 ? Blue : Yellow);
    });
    fixtures::WriteJpeg(d / "slate.jpg", 4000, 3000, [](int, int) { return Slate; });
    // Upright 1000 × 3000: top half red, bottom half blue.
    fixtures::WriteJpeg(d / "tall.jpg", 1000, 3000, [](int, int y) { return y < 1500 ? Red : Blue; });
    // Wide 3000 × 1000: left half red, right half blue.
    fixtures::WriteJpeg(d / "bands.jpg", 3000, 1000, [](int x, int) { return x < 1500 ? Red : Blue; });
    // Upright 600 × 900 PNG: the left half transparent (black underneath), the right half green.
    fixtures::WritePng(d / "up.png", 600, 900, [](int x, int) { return x < 300 ? Rgb{} : Green; },
                       [](int x, int) -> unsigned char { return x < 300 ? 0 : 255; });
    testsupport::WriteFileBytes(d / "small.bmp", fixtures::MakeBmp24(300, 200, [](int, int) { return Brick; }));
    testsupport::WriteFileBytes(d / "b.bmp", fixtures::MakeBmp24(150, 100, [](int, int) { return Brick; }));
  }
  static void TearDownTestSuite() {
    delete Dir;
    Dir = nullptr;
  }

  void SetUp() override {
    FSavedFormat = FormatSettings();
    TFormatSettings fs;
    fs.DecimalSeparator = u'.';
    fs.ThousandSeparator = u' ';
    SetFormatSettings(fs);
    clock::UseManual(0);
    clock::SetInstant(true);
    AddSize(u"10x15", 1800, 1200, 12.5, 15);
    AddSize(u"15x20", 2400, 1800, 30, 35);
    labserver::TLabServerOptions options;
    options.OrdersDir = testsupport::MakeTempDir("orders");
    options.FirstOrderNumber = 42;
    Server = std::make_unique<labserver::TLabServer>(options);
    std::string error;
    ASSERT_TRUE(Server->Start(&error)) << error;
    order::UploadScriptURL = Utf8ToString(Server->UploadUrl());
  }

  void TearDown() override {
    Server->Stop();
    order::uLists::Reset();
    clock::UseReal();
    SetFormatSettings(FSavedFormat);
  }

  static void AddSize(const String& name, Integer w, Integer h, double glossy, double matte) {
    auto* s = TPhotoSize::New();
    s->Name = name;
    s->Width = w;
    s->Height = h;
    s->Prices[order::ptGlossy] = glossy;
    s->Prices[order::ptMatte] = matte;
    order::PhotoSizes()->Add(s);
  }

  // A snapshot as the main window gives it, for size 0 (10x15) unless changed.
  static TInfo Photo(const char* file, TPaperType paper = order::ptGlossy, Integer count = 1) {
    TInfo info;
    info.FileName = Utf8ToString((*Dir / file).string());
    info.SizeName = u"10x15";
    info.PaperType = paper;
    info.PhotoCount = count;
    info.PhotoSize = 0;
    info.PhotoWidth = 1800;
    info.PhotoHeight = 1200;
    info.ThumbWidth = 200;
    info.ThumbHeight = 133;
    info.TotalPrice = count * (paper == order::ptGlossy ? 12.5 : 15);
    return info;
  }

  // Runs the thread to its end.
  void Run(TInfoList& list, const String& text = u"Имя: Анна") { Run(list, text, Recorder); }
  static void Run(TInfoList& list, const String& text, TRecorder& recorder) {
    Owned<TWorkThread> thread(TWorkThread::New(recorder.Sink(), &list, text));
    recorder.Thread = thread.get();
    thread->WaitFor();
  }

  // Runs the thread to its end while moving the manual clock on whenever the lab holds a request
  // with a fault (a silent or trickling reply), so that request meets its deadline. `During`
  // runs once, when the first held request shows up.
  void RunPastHeldRequests(TInfoList& list, TRecorder& recorder, const std::function<void()>& During = {}) {
    Owned<TWorkThread> thread(TWorkThread::New(recorder.Sink(), &list, u"Имя"));
    recorder.Thread = thread.get();
    bool first = true;
    while (!thread->Finished()) {
      bool held = false;
      for (const auto& r : Server->Requests())
        held = held || (!r.FaultApplied.empty() && !r.Finished);
      if (held) {
        if (first && During) During();
        first = false;
        clock::Advance(1000);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread->WaitFor();
  }

  // Moves a snapshot to the second size, 15x20 (2400 × 1800).
  static TInfo Large(TInfo info) {
    info.PhotoSize = 1;
    info.SizeName = u"15x20";
    info.PhotoWidth = 2400;
    info.PhotoHeight = 1800;
    return info;
  }

  // The order a run's rollback named.
  int RolledBackOrder() {
    const auto rollbacks = Server->Requests(TRequestKind::Rollback);
    EXPECT_EQ(rollbacks.size(), 1u);
    return rollbacks.empty() ? 0 : std::stoi(rollbacks[0].FieldText("order_number"));
  }

  int Count(UINT msg) { return Recorder.Count(msg); }

  int OnlyOrderNumber() {
    const auto numbers = Server->OrderNumbers();
    EXPECT_EQ(numbers.size(), 1u);
    return numbers.empty() ? 0 : numbers[0];
  }

  static std::filesystem::path* Dir;
  std::unique_ptr<labserver::TLabServer> Server;
  TRecorder Recorder;
  TFormatSettings FSavedFormat;
};

std::filesystem::path* UploadThread::Dir = nullptr;

TEST_F(UploadThread, PrintsThatReachTheLab) {
  struct Probe { int x, y; Rgb colour; };
  struct Case {
    const char* name;
    TInfo info;
    std::vector<Probe> probes;
    int width = 1800, height = 1200;
  };
  auto with = [](TInfo info, auto change) {
    change(info);
    return info;
  };
  // The upright photo's thumbnail is 66 × 200; its frame, 66 × 99, slides up and down.
  auto tallCrop = [](Integer offset) {
    TInfo i = Photo("tall.jpg");
    i.FrameType = ftMoveVert;
    i.ThumbWidth = i.FrameWidth = 66;
    i.ThumbHeight = 200;
    i.FrameHeight = 99;
    i.FrameOffset = offset;
    return i;
  };
  const std::vector<Probe> upright{{450, 300, Red}, {1350, 300, Green}, {450, 900, Blue}, {1350, 900, Yellow}};
  const std::vector<Probe> halfTurn{{450, 300, Yellow}, {1350, 300, Blue}, {450, 900, Green}, {1350, 900, Red}};
  const std::vector<Case> cases = {
      {"plain", Photo("land.jpg"), upright},
      // 450 degrees is a clockwise quarter turn; the portrait drawing is stored turned clockwise
      // again, so the stored print shows the photo upside down.
      {"450", with(Photo("land.jpg"), [](TInfo& i) { i.RotateAngle = 450; }), halfTurn},
      {"45 turns nothing", with(Photo("land.jpg"), [](TInfo& i) { i.RotateAngle = 45; }), upright},
      // Counter-clockwise, then stored turned clockwise: as the file.
      {"-90", with(Photo("land.jpg"), [](TInfo& i) { i.RotateAngle = -90; }), upright},
      // White 1800 × 1200 with the 4000 × 3000 photo at 1600 × 1200, 100 pixels from the left.
      {"borders", with(Photo("slate.jpg"), [](TInfo& i) { i.WithBorders = true; }),
       {{50, 600, White}, {1750, 600, White}, {104, 600, Slate}, {1695, 600, Slate}, {900, 3, Slate}, {900, 1196, Slate}}},
      // A portrait crop at the top takes rows 0 to 1485 of 3000, all red; drawn 1200 × 1800, stored turned to 1800 × 1200.
      {"portrait crop top",
       tallCrop(0),
       {{3, 3, Red}, {1796, 3, Red}, {3, 1196, Red}, {1796, 1196, Red}, {900, 600, Red}}},
      {"portrait crop bottom",
       tallCrop(101),
       {{3, 3, Blue}, {1796, 3, Blue}, {3, 1196, Blue}, {1796, 1196, Blue}}},
      // One step past the end: the frame is kept inside the photo, so the edge shows no seam.
      {"frame past the end",
       tallCrop(102),
       {{0, 600, Blue}, {0, 0, Blue}, {0, 1199, Blue}, {1799, 600, Blue}}},
      // A landscape crop from the middle: columns 750 to 2235 of 3000, red up to column 1500,
      // which lands at 909 of 1800.
      {"landscape crop",
       with(Photo("bands.jpg"), [](TInfo& i) { i.FrameType = ftMoveHorz; i.ThumbWidth = 200; i.ThumbHeight = 66;
                                              i.FrameWidth = 99; i.FrameHeight = 66; i.FrameOffset = 50; }),
       {{10, 600, Red}, {880, 600, Red}, {940, 600, Blue}, {1790, 600, Blue}}},
      // Upright PNG stored turned clockwise: its transparent left half becomes the white top.
      {"transparent", Photo("up.png"), {{900, 300, White}, {900, 900, Green}, {10, 10, White}, {1790, 1190, Green}}},
      {"small bitmap enlarged", Photo("small.bmp"), {{5, 5, Brick}, {900, 600, Brick}, {1794, 1194, Brick}}},
      // A larger print keeps its exact size; an upright photo is drawn 1800 × 2400 and stored turned.
      {"15x20 upright", Large(Photo("up.png")), {{1200, 300, White}, {1200, 1500, Green}}, 2400, 1800},
      {"15x20", Large(Photo("land.jpg")), {{600, 450, Red}, {1800, 1350, Yellow}}, 2400, 1800},
  };
  TInfoList list;
  for (const Case& c : cases) list.push_back(c.info);
  Run(list);
  ASSERT_EQ(Count(WM_UPLOADSENT), static_cast<int>(cases.size()));
  const labserver::TOrderInfo order = Server->Order(OnlyOrderNumber());
  ASSERT_EQ(order.State, labserver::TOrderState::Committed);
  ASSERT_EQ(order.Photos.size(), cases.size());
  // The lab lists them by paper, size and index: the 10x15 prints first, in the order sent.
  std::map<String, int> indexes;
  for (size_t i = 0; i < cases.size(); ++i) {
    const labserver::TPhotoInfo& p = order.Photos[i];
    ASSERT_EQ(p.Index, ++indexes[cases[i].info.SizeName]) << cases[i].name;
    ASSERT_EQ(p.SizeName, StringToUtf8(cases[i].info.SizeName));
    const fixtures::JpegMarkers m = fixtures::ReadMarkers(p.Jpeg);
    EXPECT_EQ(m.Width, cases[i].width) << cases[i].name;
    EXPECT_EQ(m.Height, cases[i].height) << cases[i].name;
    EXPECT_TRUE(m.Jfif && m.DensityUnit == 1 && m.DensityX == 300 && m.DensityY == 300) << cases[i].name;
    EXPECT_EQ(m.Tables[0], fixtures::ScaledTable(fixtures::StdLuma, 90)) << cases[i].name;
    EXPECT_EQ(m.Tables[1], fixtures::ScaledTable(fixtures::StdChroma, 90)) << cases[i].name;
    const fixtures::Decoded d = fixtures::DecodeJpeg(p.Jpeg);
    for (const Probe& pr : cases[i].probes)
      EXPECT_TRUE(fixtures::Near(d.At(pr.x, pr.y), pr.colour, 10))
          << cases[i].name << " at " << pr.x << "," << pr.y << ": " << int(d.At(pr.x, pr.y).R) << " "
          << int(d.At(pr.x, pr.y).G) << " " << int(d.At(pr.x, pr.y).B);
  }
  for (const TInfo& info : list) EXPECT_TRUE(info.Uploaded);
}

TEST_F(UploadThread, PhotoIndexesCountEachPaperAndSize) {
  // A 15x20 print first: the summary still lists the sizes in the price list's order.
  TInfoList list{Large(Photo("b.bmp", order::ptGlossy, 2)), Photo("b.bmp"), Photo("b.bmp", order::ptGlossy, 2),
                 Photo("b.bmp"), Photo("b.bmp", order::ptMatte, 3)};
  list[0].TotalPrice = 1000.5;
  Run(list, u"Имя: Анна\r\nТелефон: 123");
  const auto photos = Server->Requests(TRequestKind::Photo);
  ASSERT_EQ(photos.size(), 5u);
  struct Sent { const char *paper, *size, *index, *count; };
  const Sent sent[] = {{"glossy", "15x20", "1", "2"}, {"glossy", "10x15", "1", "1"}, {"glossy", "10x15", "2", "2"},
                       {"glossy", "10x15", "3", "1"}, {"matte", "10x15", "1", "3"}};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(photos[i].FieldText("paper_type"), sent[i].paper);
    EXPECT_EQ(photos[i].FieldText("paper_size"), sent[i].size);
    EXPECT_EQ(photos[i].FieldText("photo_index"), sent[i].index);
    EXPECT_EQ(photos[i].FieldText("photo_count"), sent[i].count);
  }
  // The messages, in order: each photo sent and counted, then the order number after the commit.
  std::vector<UINT> expected;
  for (int i = 0; i < 5; ++i) {
    expected.push_back(WM_UPLOADSENT);
    expected.push_back(WM_UPLOADPROGRESS);
  }
  expected.push_back(WM_UPLOADDONE);
  EXPECT_EQ(Recorder.Kinds(), expected);
  const auto messages = Recorder.Messages();
  EXPECT_EQ(messages[1].W, 1u);
  EXPECT_EQ(messages[9].W, 5u);
  EXPECT_EQ(StringToUtf8(messages.back().Text), "000042");
  // The committed folder holds exactly the five photos and the text with its summary:
  // 1000.5 + 12.5 + 2 × 12.5 + 12.5 + 3 × 15 = 1095.5, grouped with the locale's separator.
  const labserver::TOrderInfo order = Server->Order(42);
  ASSERT_EQ(order.State, labserver::TOrderState::Committed);
  ASSERT_TRUE(order.Text.has_value());
  EXPECT_EQ(*order.Text,
            "Имя: Анна\r\nТелефон: 123\r\n10x15: 7 шт.\r\n15x20: 2 шт.\r\nСумма заказа: 1 095.50 руб.");
  int files = 0, jpegs = 0;
  for (const auto& e : std::filesystem::directory_iterator(order.Folder)) {
    ++files;
    jpegs += e.path().extension() == ".jpg";
  }
  EXPECT_EQ(files, 6);
  EXPECT_EQ(jpegs, 5);
}

TEST_F(UploadThread, APhotoRefusedTenTimesIsGivenUpAndTheOrderGoesOn) {
  Server->RefuseFirst(TRequestKind::Photo, 10);
  TInfoList list{Photo("b.bmp"), Photo("small.bmp")};
  const Int64 before = clock::TickCount();
  Run(list);
  // Nine waits of three seconds between the ten attempts.
  EXPECT_EQ(clock::TickCount() - before, 9 * 3000);
  std::vector<std::string> expected(10, "Фотография b.bmp: ERROR: refused");
  expected.push_back("Не удалось отправить фотографию b.bmp, она будет пропущена!");
  EXPECT_EQ(Recorder.Logs(), expected);
  EXPECT_EQ(Count(WM_UPLOADSKIPPED), 1);
  EXPECT_EQ(Count(WM_UPLOADSENT), 1);
  EXPECT_EQ(Count(WM_UPLOADDONE), 1);
  EXPECT_FALSE(list[0].Uploaded);
  EXPECT_TRUE(list[1].Uploaded);
  // The given-up photo keeps its number: the next photo of the pair is the second.
  const labserver::TOrderInfo order = Server->Order(OnlyOrderNumber());
  ASSERT_EQ(order.Photos.size(), 1u);
  EXPECT_EQ(order.Photos[0].Index, 2);
  EXPECT_EQ(order.State, labserver::TOrderState::Committed);
  // The folder holds the accepted photo and the text, nothing of the given-up one.
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(order.Folder)) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], order.Photos[0].FileName);
  EXPECT_EQ(files[1], "order.txt");
}

TEST_F(UploadThread, ATextOrCommitRefusedTenTimesRollsTheOrderBack) {
  std::vector<std::string> textLogs(10, "Не удалось отправить данные о заказчике: ERROR: refused");
  textLogs.push_back("Не удалось отправить данные о заказчике, заказ будет отменён!");
  struct Case { TRequestKind kind; size_t commits; std::vector<std::string> logs; };
  const Case cases[] = {{TRequestKind::Text, 0, textLogs}, {TRequestKind::Commit, 10, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    Server->ClearFaults();
    Server->ClearRequests();
    Server->RefuseFirst(c.kind, 10);
    TRecorder recorder;
    TInfoList list{Photo("b.bmp")};
    const Int64 before = clock::TickCount();
    Run(list, u"Имя", recorder);
    EXPECT_EQ(clock::TickCount() - before, 9 * 3000);
    if (!c.logs.empty()) {
      EXPECT_EQ(recorder.Logs(), c.logs);
    }
    EXPECT_EQ(Server->Requests(c.kind).size(), 10u);
    EXPECT_EQ(Server->Requests(TRequestKind::Commit).size(), c.commits);
    EXPECT_EQ(recorder.Count(WM_UPLOADDONE), 0);
    EXPECT_EQ(recorder.Count(WM_UPLOADFAILED), 1);
    EXPECT_EQ(recorder.Messages().back().W, 1u);
    const labserver::TOrderInfo order = Server->Order(RolledBackOrder());
    EXPECT_EQ(order.State, labserver::TOrderState::RolledBack);
    EXPECT_FALSE(std::filesystem::exists(order.Folder));
  }
}

TEST_F(UploadThread, ACommitWhoseReplyIsLostIsRetriedAndCommittedOnce) {
  // The lab commits, but the reply does not arrive: once as a server error, once as a connection
  // closed before the reply. The second attempt finds the order committed.
  struct Case { labserver::TFaultAction action; Int64 waits; };
  for (const Case& c : {Case{labserver::TFaultAction::Status, 3000}, Case{labserver::TFaultAction::CloseConnection, 3000}}) {
    SCOPED_TRACE(static_cast<int>(c.action));
    Server->ClearFaults();
    Server->ClearRequests();
    labserver::TFault lost;
    lost.Kind = TRequestKind::Commit;
    lost.Action = c.action;
    lost.Status = 500;
    lost.Count = 1;
    lost.Apply = true;
    Server->AddFault(lost);
    TRecorder recorder;
    TInfoList list{Photo("b.bmp")};
    const Int64 before = clock::TickCount();
    Run(list, u"Имя", recorder);
    EXPECT_EQ(clock::TickCount() - before, c.waits);
    const auto commits = Server->Requests(TRequestKind::Commit);
    ASSERT_EQ(commits.size(), 2u) << "one request per attempt";
    const int number = std::stoi(commits[0].FieldText("order_number"));
    EXPECT_EQ(Server->Requests(TRequestKind::Rollback).size(), 0u);
    EXPECT_EQ(Server->Order(number).State, labserver::TOrderState::Committed);
    EXPECT_TRUE(std::filesystem::exists(Server->Order(number).Folder));
    // Reported once, and only after the lab confirmed.
    ASSERT_FALSE(recorder.Kinds().empty());
    EXPECT_EQ(recorder.Kinds().back(), WM_UPLOADDONE);
    EXPECT_EQ(recorder.Count(WM_UPLOADDONE), 1);
    EXPECT_EQ(recorder.Count(WM_UPLOADFAILED), 0);
  }
}

TEST_F(UploadThread, AnOrderWithoutAnAcceptedPhotoIsRolledBack) {
  TInfoList list{Photo("missing.jpg")};
  Run(list);
  EXPECT_EQ(Recorder.Logs(), std::vector<std::string>{"Ошибка при обработке фотографии missing.jpg, она будет пропущена!"});
  const std::vector<UINT> expected{WM_UPLOADSKIPPED, WM_UPLOADLOG, WM_UPLOADPROGRESS, WM_UPLOADFAILED};
  EXPECT_EQ(Recorder.Kinds(), expected);
  EXPECT_EQ(Recorder.Messages().back().W, 1u);
  EXPECT_EQ(Server->Requests(TRequestKind::Commit).size(), 0u);
  EXPECT_EQ(Server->Requests(TRequestKind::Rollback).size(), 1u);
  EXPECT_EQ(Server->Order(42).State, labserver::TOrderState::RolledBack);
}

TEST_F(UploadThread, AnExceptionWhileOnePhotoIsHandledSkipsThatPhotoOnly) {
  // A size index outside the price list makes the photo's counters raise after it was prepared.
  TInfoList list{Photo("b.bmp"), Photo("small.bmp")};
  list[0].PhotoSize = 7;
  Run(list);
  EXPECT_EQ(Recorder.Logs(), std::vector<std::string>{"Ошибка при обработке фотографии b.bmp, она будет пропущена!"});
  const std::vector<UINT> expected{WM_UPLOADSKIPPED, WM_UPLOADLOG,      WM_UPLOADPROGRESS,
                                   WM_UPLOADSENT,    WM_UPLOADPROGRESS, WM_UPLOADDONE};
  EXPECT_EQ(Recorder.Kinds(), expected);
  EXPECT_FALSE(list[0].Uploaded);
  EXPECT_EQ(Server->Order(42).Photos.size(), 1u);
}

TEST_F(UploadThread, CancelDuringThePhotosOrTheTextRollsBack) {
  struct Case {
    const char* name;
    UINT cancelOn;  // the message on whose posting the customer cancels
    size_t photos, texts;
  };
  const Case cases[] = {{"after the first photo", WM_UPLOADSENT, 1, 0},
                        {"while the text is refused", WM_UPLOADLOG, 3, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Server->ClearFaults();
    Server->ClearRequests();
    Server->RefuseFirst(TRequestKind::Text, 10);
    TRecorder recorder;
    recorder.Hook = [&c](TWorkThread& t, const TMsg& m) {
      if (m.Msg == c.cancelOn) t.Terminate();
    };
    TInfoList list{Photo("b.bmp"), Photo("b.bmp"), Photo("b.bmp")};
    Run(list, u"Имя", recorder);
    EXPECT_EQ(Server->Requests(TRequestKind::Photo).size(), c.photos);
    EXPECT_EQ(Server->Requests(TRequestKind::Text).size(), c.texts);
    EXPECT_EQ(Server->Requests(TRequestKind::Commit).size(), 0u);
    EXPECT_EQ(recorder.Kinds().back(), WM_UPLOADFAILED);
    EXPECT_EQ(recorder.Messages().back().W, 0u);  // cancelled, not failed
    EXPECT_EQ(Server->Order(RolledBackOrder()).State, labserver::TOrderState::RolledBack);
  }
}

TEST_F(UploadThread, AConnectionClosedMidRequestIsRetried) {
  // Closed twice: each attempt is one request on the wire, and the third one is accepted.
  Server->CloseConnection(TRequestKind::Photo, 2);
  TInfoList list{Photo("b.bmp")};
  Run(list);
  for (const std::string& line : Recorder.Logs()) EXPECT_EQ(line.rfind("Фотография b.bmp: ", 0), 0u) << line;
  EXPECT_EQ(Recorder.Logs().size(), 2u);
  EXPECT_EQ(Server->Requests(TRequestKind::Photo).size(), 3u);
  const labserver::TOrderInfo order = Server->Order(42);
  EXPECT_EQ(order.State, labserver::TOrderState::Committed);
  ASSERT_EQ(order.Photos.size(), 1u);
  EXPECT_EQ(order.Photos[0].Index, 1);
  EXPECT_TRUE(list[0].Uploaded);
}

TEST_F(UploadThread, AFailedStartSendsNothingAndRollsBack) {
  labserver::TFault zero;
  zero.Kind = TRequestKind::Start;
  zero.Action = labserver::TFaultAction::ZeroOrderNumber;
  Server->AddFault(zero);
  TInfoList list{Photo("b.bmp")};
  Run(list);
  const auto logs = Recorder.Logs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].rfind("Не удалось начать отправку фотографий на сайт фотолаборатории. ", 0), 0u);
  EXPECT_EQ(Server->Requests(TRequestKind::Photo).size(), 0u);
  EXPECT_EQ(Server->Requests(TRequestKind::Rollback).size(), 1u);
  EXPECT_EQ(Recorder.Kinds().back(), WM_UPLOADFAILED);
  EXPECT_EQ(Recorder.Messages().back().W, 1u);
}

TEST_F(UploadThread, APhotoGivenUpWhileTheLabMayHoldItRollsTheOrderBack) {
  using labserver::TFaultAction;
  struct Case {
    const char* name;
    std::vector<labserver::TFault> faults;  // on the first photo's requests
  };
  auto fault = [](TFaultAction action, int count, bool apply) {
    labserver::TFault f;
    f.Kind = TRequestKind::Photo;
    f.Action = action;
    f.Count = count;
    f.Apply = apply;
    f.Status = 500;
    f.DelayMs = 20;
    f.Reply = std::string(100000, ' ');
    return f;
  };
  const Case cases[] = {
      {"stored, then the reply lost", {fault(TFaultAction::CloseConnection, 10, true)}},
      {"stored, then a server error", {fault(TFaultAction::Status, 10, true)}},
      {"stored, then a trickling reply", {fault(TFaultAction::Trickle, 10, true)}},
      // One reply lost, then nine clear refusals: the first attempt may still be at the lab.
      {"lost once, refused after", {fault(TFaultAction::CloseConnection, 1, false), fault(TFaultAction::Refuse, 9, false)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Server->ClearFaults();
    Server->ClearRequests();
    for (const auto& f : c.faults) Server->AddFault(f);
    TRecorder recorder;
    TInfoList list{Photo("small.bmp"), Photo("b.bmp"), Photo("b.bmp")};
    RunPastHeldRequests(list, recorder);
    // Nothing after the given-up photo is sent, and the customer is not told it was skipped.
    EXPECT_EQ(Server->Requests(TRequestKind::Photo).size(), 10u);
    EXPECT_EQ(Server->Requests(TRequestKind::Text).size(), 0u);
    EXPECT_EQ(Server->Requests(TRequestKind::Commit).size(), 0u);
    EXPECT_EQ(recorder.Count(WM_UPLOADSKIPPED), 0);
    EXPECT_EQ(recorder.Count(WM_UPLOADDONE), 0);
    ASSERT_EQ(recorder.Kinds().back(), WM_UPLOADFAILED);
    EXPECT_EQ(recorder.Messages().back().W, 1u);
    EXPECT_EQ(recorder.Logs().size(), 10u) << "one line per attempt";
    const labserver::TOrderInfo order = Server->Order(RolledBackOrder());
    EXPECT_EQ(order.State, labserver::TOrderState::RolledBack);
    EXPECT_FALSE(std::filesystem::exists(order.Folder));
    for (const TInfo& info : list) EXPECT_FALSE(info.Uploaded);
  }
}

TEST_F(UploadThread, ATrickledPhotoReplyCostsOneAttempt) {
  Server->TrickleReply(TRequestKind::Photo, std::string(100000, ' '), 20, 1, true);
  TInfoList list{Photo("b.bmp")};
  RunPastHeldRequests(list, Recorder);
  EXPECT_EQ(Server->Requests(TRequestKind::Photo).size(), 2u);
  EXPECT_EQ(Recorder.Logs().size(), 1u);
  const labserver::TOrderInfo order = Server->Order(42);
  EXPECT_EQ(order.State, labserver::TOrderState::Committed);
  EXPECT_EQ(order.Photos.size(), 1u) << "the second copy replaced the first";
  EXPECT_EQ(Recorder.Kinds().back(), WM_UPLOADDONE);
}

TEST_F(UploadThread, ACommitWithoutAnAnswerIsRolledBackAndReportedAfterTheRollback) {
  using labserver::TFaultAction;
  struct Case {
    const char* name;
    TFaultAction action;
    bool apply;               // the lab commits before the reply is lost
    labserver::TOrderState state;
    bool logged;              // the rollback was not accepted, so the customer is warned
  };
  const Case cases[] = {
      {"committed, reply lost", TFaultAction::CloseConnection, true, labserver::TOrderState::Committed, true},
      {"committed, server error", TFaultAction::Status, true, labserver::TOrderState::Committed, true},
      {"committed, reply trickling", TFaultAction::Trickle, true, labserver::TOrderState::Committed, true},
      {"not committed, reply lost", TFaultAction::CloseConnection, false, labserver::TOrderState::RolledBack, false},
      {"not committed, lab silent", TFaultAction::Delay, false, labserver::TOrderState::RolledBack, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Server->ClearFaults();
    Server->ClearRequests();
    labserver::TFault f;
    f.Kind = TRequestKind::Commit;
    f.Action = c.action;
    f.Count = -1;
    f.Apply = c.apply;
    f.Status = 500;
    f.DelayMs = c.action == TFaultAction::Delay ? 3600 * 1000 : 20;
    f.Reply = std::string(100000, ' ');
    Server->AddFault(f);
    TRecorder recorder;
    TInfoList list{Photo("b.bmp")};
    RunPastHeldRequests(list, recorder);
    const auto requests = Server->Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(Server->Requests(TRequestKind::Commit).size(), 10u);
    EXPECT_EQ(requests.back().Kind, TRequestKind::Rollback) << "the rollback follows the commits";
    const int number = std::stoi(requests.back().FieldText("order_number"));
    EXPECT_EQ(Server->Order(number).State, c.state);
    // The log line, if any, and then the failure, both after the rollback's answer.
    const auto messages = recorder.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages.back().Msg, WM_UPLOADFAILED);
    EXPECT_EQ(messages.back().W, 1u);
    EXPECT_EQ(recorder.Count(WM_UPLOADDONE), 0);
    const auto& beforeLast = messages[messages.size() - 2];
    const std::string mayBeAccepted =
        "Заказ № 0000" + std::to_string(number) + " мог быть принят фотолабораторией: подтверждение не получено.";
    EXPECT_EQ(beforeLast.Msg == WM_UPLOADLOG && StringToUtf8(beforeLast.Text) == mayBeAccepted, c.logged)
        << StringToUtf8(beforeLast.Text);
    EXPECT_FALSE(list[0].Uploaded);
  }
}

TEST_F(UploadThread, ACancelDuringTheCommitsEndsTheWaitsBetweenThem) {
  // The lab is silent at the commit. Time only moves while a commit is held, and the 3-second
  // waits are real waits on the standing manual clock: only the cancel can end one.
  clock::SetInstant(false);
  Server->DelayReply(TRequestKind::Commit, 3600 * 1000);
  TInfoList list{Photo("b.bmp")};
  TRecorder recorder;
  TWorkThread* running = nullptr;
  recorder.Hook = [&running](TWorkThread& t, const TMsg&) { running = &t; };
  RunPastHeldRequests(list, recorder, [&] { running->Terminate(); });
  EXPECT_EQ(Server->Requests(TRequestKind::Commit).size(), 1u);
  EXPECT_EQ(Server->Requests().back().Kind, TRequestKind::Rollback);
  EXPECT_EQ(Server->Order(42).State, labserver::TOrderState::RolledBack);
  ASSERT_EQ(recorder.Kinds().back(), WM_UPLOADFAILED);
  EXPECT_EQ(recorder.Messages().back().W, 0u) << "cancelled, and the lab confirmed the rollback";
}

TEST_F(UploadThread, APhotoCutShortIsSkippedAsOneThatCannotBePrepared) {
  // The first half of a camera photo: its rows below the cut would reach the lab grey.
  const std::string whole = testsupport::ReadFileBytes(*Dir / "land.jpg");
  testsupport::WriteFileBytes(*Dir / "cut.jpg", whole.substr(0, whole.size() / 2));
  TInfoList list{Photo("cut.jpg"), Photo("small.bmp")};
  Run(list);
  EXPECT_EQ(Recorder.Logs(), std::vector<std::string>{"Ошибка при обработке фотографии cut.jpg, она будет пропущена!"});
  const std::vector<UINT> expected{WM_UPLOADSKIPPED, WM_UPLOADLOG,      WM_UPLOADPROGRESS,
                                   WM_UPLOADSENT,    WM_UPLOADPROGRESS, WM_UPLOADDONE};
  EXPECT_EQ(Recorder.Kinds(), expected);
  EXPECT_FALSE(list[0].Uploaded);
  EXPECT_EQ(Server->Order(42).Photos.size(), 1u);
}

}  // namespace
