// The upload thread posting to the order dialog's window after the dialog is gone.
#include <gtest/gtest.h>

#include "app/uWorkThread.h"
#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "platform/gdiplus/PhotoFixtures.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace app;

TEST(UploadWindow, MessagesToADialogThatIsGoneLeakNothing) {
  inet::GlobalInitialize();
  auto* size = TPhotoSize::New();
  size->Name = u"10x15";
  size->Width = 1800;
  size->Height = 1200;
  size->Prices[order::ptGlossy] = 12.5;
  order::PhotoSizes()->Add(size);
  labserver::TLabServerOptions options;
  options.OrdersDir = testsupport::MakeTempDir("orders");
  labserver::TLabServer server(options);
  ASSERT_TRUE(server.Start());
  order::UploadScriptURL = Utf8ToString(server.UploadUrl());
  const auto dir = testsupport::MakeTempDir("photos");
  testsupport::WriteFileBytes(dir / "a.bmp", fixtures::MakeBmp24(150, 100, [](int, int) {
    return fixtures::Rgb{10, 20, 30};
  }));
  int received = 0;
  HWND wnd = CreateWindowEx(0, u"TDlgUpload", u"", 0, 0, 0, 100, 100, nullptr,
                            [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                              if (m >= WM_UPLOADLOG && m <= WM_UPLOADFAILED) ++received;
                              return DefWindowProc(h, m, w, l);
                            });
  ASSERT_NE(wnd, nullptr);
  clock::UseManual(0);
  clock::SetInstant(true);
  server.RefuseFirst(labserver::TRequestKind::Text, 10);  // eleven log lines, each with a payload
  DestroyWindow(wnd);
  const int64_t before = TObject::LiveObjects();
  {
    TInfo info;
    info.FileName = Utf8ToString((dir / "a.bmp").string());
    info.SizeName = u"10x15";
    info.PhotoCount = 1;
    info.PhotoWidth = 1800;
    info.PhotoHeight = 1200;
    info.TotalPrice = 12.5;
    TInfoList list{info};
    Owned<TWorkThread> thread(TWorkThread::New(wnd, &list, u"Имя"));
    thread->WaitFor();
  }
  guitest::PumpPending();
  EXPECT_EQ(TObject::LiveObjects(), before);
  EXPECT_EQ(received, 0);
  EXPECT_EQ(server.Requests(labserver::TRequestKind::Rollback).size(), 1u);
  server.Stop();
  order::uLists::Reset();
  clock::UseReal();
}

}  // namespace
