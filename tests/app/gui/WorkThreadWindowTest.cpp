// The upload thread posting to a window of the layer, as the order dialog receives it.
#include <gtest/gtest.h>

#include "app/uWorkThread.h"
#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace app;

struct TMsg {
  UINT Msg{0};
  WPARAM W{0};
  std::string Text;
};

class UploadWindow : public ::testing::Test {
protected:
  void SetUp() override {
    inet::GlobalInitialize();
    auto* size = TPhotoSize::New();
    size->Name = u"10x15";
    size->Width = 1800;
    size->Height = 1200;
    size->Prices[order::ptGlossy] = 12.5;
    order::PhotoSizes()->Add(size);
    labserver::TLabServerOptions options;
    options.OrdersDir = testsupport::MakeTempDir("orders");
    Server = std::make_unique<labserver::TLabServer>(options);
    ASSERT_TRUE(Server->Start());
    order::UploadScriptURL = Utf8ToString(Server->UploadUrl());
    Dir = testsupport::MakeTempDir("photos");
    testsupport::WriteFileBytes(Dir / "a.bmp", fixtures::MakeBmp24(150, 100, [](int, int) {
      return fixtures::Rgb{10, 20, 30};
    }));
    Wnd = CreateWindowEx(0, u"TDlgUpload", u"", 0, 0, 0, 100, 100, nullptr,
                         [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                           if (m < WM_UPLOADLOG || m > WM_UPLOADFAILED) return DefWindowProc(h, m, w, l);
                           TMsg msg{m, w, {}};
                           if (m == WM_UPLOADLOG || m == WM_UPLOADDONE) {
                             String text;
                             order::UnboxString(TakePayload(l), text);
                             msg.Text = StringToUtf8(text);
                           }
                           Got.push_back(msg);
                           return 0;
                         });
    ASSERT_NE(Wnd, nullptr);
  }

  void TearDown() override {
    if (IsWindow(Wnd)) DestroyWindow(Wnd);
    Server->Stop();
    order::uLists::Reset();
    clock::UseReal();
  }

  TInfo Photo() {
    TInfo info;
    info.FileName = Utf8ToString((Dir / "a.bmp").string());
    info.SizeName = u"10x15";
    info.PhotoCount = 1;
    info.PhotoWidth = 1800;
    info.PhotoHeight = 1200;
    info.TotalPrice = 12.5;
    return info;
  }

  bool Ended() const {
    for (const TMsg& m : Got)
      if (m.Msg == WM_UPLOADDONE || m.Msg == WM_UPLOADFAILED) return true;
    return false;
  }

  std::unique_ptr<labserver::TLabServer> Server;
  std::filesystem::path Dir;
  HWND Wnd{nullptr};
  std::vector<TMsg> Got;
};

TEST_F(UploadWindow, TheDialogReceivesEveryMessageWithItsText) {
  TInfoList list{Photo()};
  Owned<TWorkThread> thread(TWorkThread::New(Wnd, &list, u"Имя"));
  ASSERT_TRUE(guitest::PumpUntil([this] { return Ended(); }));
  thread->WaitFor();
  ASSERT_EQ(Got.size(), 3u);
  EXPECT_EQ(Got[0].Msg, WM_UPLOADSENT);
  EXPECT_EQ(Got[1].Msg, WM_UPLOADPROGRESS);
  EXPECT_EQ(Got[1].W, 1u);
  EXPECT_EQ(Got[2].Msg, WM_UPLOADDONE);
  EXPECT_EQ(Got[2].Text, "000001");
  EXPECT_TRUE(list[0].Uploaded);
}

TEST_F(UploadWindow, MessagesToADialogThatIsGoneLeakNothing) {
  clock::UseManual(0);
  clock::SetInstant(true);
  Server->RefuseFirst(labserver::TRequestKind::Text, 10);  // eleven log lines, each with a payload
  DestroyWindow(Wnd);
  const int64_t before = TObject::LiveObjects();
  {
    TInfoList list{Photo()};
    Owned<TWorkThread> thread(TWorkThread::New(Wnd, &list, u"Имя"));
    thread->WaitFor();
  }
  guitest::PumpPending();
  EXPECT_EQ(TObject::LiveObjects(), before);
  EXPECT_TRUE(Got.empty());
  EXPECT_EQ(Server->Requests(labserver::TRequestKind::Rollback).size(), 1u);
}

}  // namespace
