// The price-list download thread against the stand-in lab server, posting to a real window of the
// layer, and the version test. (Applying a list is read through the start-up tests.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "app/startup/PriceListFixtures.h"
#include "app/uDownloadThread.h"
#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "platform/rtl/Strings.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace app;
using labserver::TRequestKind;

// A top-level window of the layer that keeps what the thread posts to it.
class TReceiver {
public:
  TReceiver() {
    FWnd = CreateWindowEx(0, u"PriceListReceiver", u"", 0, 0, 0, 50, 50, nullptr,
                          [this](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                            if (msg == WM_PRICELISTREADY) {
                              Settings = TakePayload<order::TSettings>(l);
                              ++Messages;
                              return 0;
                            }
                            if (msg == WM_PRICELISTERROR) {
                              String text;
                              order::UnboxString(TakePayload(l), text);
                              Error = text;
                              ++Messages;
                              return 0;
                            }
                            return DefWindowProc(h, msg, w, l);
                          });
  }
  ~TReceiver() { DestroyWindow(FWnd); }
  HWND Wnd() const { return FWnd; }

  Owned<order::TSettings> Settings;
  std::optional<String> Error;
  int Messages{0};

private:
  HWND FWnd{nullptr};
};

class DownloadThread : public ::testing::Test {
protected:
  void StartServer(const std::string& priceList) {
    labserver::TLabServerOptions options;
    options.PriceList = priceList;
    options.OrdersDir = testsupport::MakeTempDir("orders");
    Server = std::make_unique<labserver::TLabServer>(options);
    ASSERT_TRUE(Server->Start());
    setenv("PHOTO_ORDER_LAB_URL", Server->BaseUrl().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("PHOTO_ORDER_LAB_URL");
    order::uLists::Reset();
  }
  // Runs one download to its message.
  void Download(TReceiver& receiver) {
    Owned<TDownloadThread> thread(TDownloadThread::New(receiver.Wnd()));
    ASSERT_TRUE(guitest::PumpUntil([&] { return receiver.Messages > 0; }));
    thread->WaitFor();
    guitest::PumpPending();
  }
  std::string Url() const { return Server->BaseUrl(); }

  std::unique_ptr<labserver::TLabServer> Server;
};

TEST_F(DownloadThread, ReportsTheListOrWhyThereIsNone) {
  struct Case {
    const char* name;
    std::string priceList;
    std::function<void(labserver::TLabServer&)> fault;
    bool ready;
    std::string error;  // UTF-8; a prefix when it ends with "*"
  };
  const Case cases[] = {
      // A list without sizes and a 404 are read through the start-up dialog's tests.
      {"good list", fixtures::GoodPriceList, nullptr, true, ""},
      {"connection closed", fixtures::GoodPriceList,
       [](labserver::TLabServer& s) { s.CloseConnection(TRequestKind::PriceList); }, false, "Сбой*"},
      {"server gone", fixtures::GoodPriceList, [](labserver::TLabServer& s) { s.Stop(); }, false,
       "Сбой при подключении. *"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartServer(c.priceList);
    if (c.fault) c.fault(*Server);
    TReceiver receiver;
    Download(receiver);
    EXPECT_EQ(receiver.Messages, 1);
    if (c.ready) {
      ASSERT_TRUE(receiver.Settings);
      EXPECT_FALSE(receiver.Error);
      EXPECT_GE(receiver.Settings->GetSizeCount(), 1);
    } else {
      EXPECT_FALSE(receiver.Settings);
      ASSERT_TRUE(receiver.Error);
      std::string text = StringToUtf8(*receiver.Error);
      if (!c.error.empty() && c.error.back() == '*')
        EXPECT_EQ(text.substr(0, c.error.size() - 1), c.error.substr(0, c.error.size() - 1)) << text;
      else
        EXPECT_EQ(text, c.error);
    }
    if (Server->Running()) {
      auto requests = Server->Requests(TRequestKind::PriceList);
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0].Method, "GET");
      EXPECT_EQ(requests[0].Path, "/UserFiles/Image/params3.cfg");
    }
    Server.reset();
  }
}

TEST_F(DownloadThread, AListPostedToAWindowThatIsGoneIsFreed) {
  StartServer(fixtures::GoodPriceList);
  const int64_t before = TObject::LiveObjects();
  {
    auto receiver = std::make_unique<TReceiver>();
    HWND gone = receiver->Wnd();
    receiver.reset();
    Owned<TDownloadThread> thread(TDownloadThread::New(gone));
    thread->WaitFor();
  }
  guitest::PumpPending();
  EXPECT_EQ(Server->Requests(TRequestKind::PriceList).size(), 1u);
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST(VersionNumber, MajorTimesHundredPlusMinor) {
  struct Case {
    const char16_t* text;
    Int64 number;
    bool current;
  };
  const Case cases[] = {
      {u"3.0", 300, true},      {u"2.9", 209, true},     {u"3.1", 301, false},    {u"4", 0, true},
      {u" 3 . 1 ", 301, false}, {u"3.1.2", 300, true},   {u"x.5", 5, true},       {u"3.x", 300, true},
      {u"10.0", 1000, false},   {u"2.150", 350, false},  {u"-1.0", -100, true},   {u"99999999999.0", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.text));
    EXPECT_EQ(VersionNumber(c.text), c.number);
    EXPECT_EQ(IsCurrentVersion(c.text), c.current);
  }
}

}  // namespace
