// The HTTP client against hand-written replies and against the stand-in lab server.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "ScriptedServer.h"
#include "labserver/LabServer.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace pf;
using namespace pf::inet;
using inettest::TScriptedServer;

const char* kAgent = "photo-order test";
const std::string kBoundary = "7AE6386958DD459B8941C4083E6EBEBD";
const std::string kContentType = "Content-Type: multipart/form-data; boundary=" + kBoundary;

std::string Describe(const THttpResult& r) {
  return "stage " + std::to_string(static_cast<int>(r.FailedStage)) + ", status " +
         std::to_string(r.StatusCode) + " '" + StringToUtf8(r.StatusText) + "', error '" +
         StringToUtf8(r.ErrorText) + "'";
}

// A port on which nothing listens: bound, then closed again.
int FreePort() { return TScriptedServer("").Port(); }

// ---- replies written by hand ----

TEST(HttpReply, HandWrittenRepliesGiveStatusBodyAndStage) {
  struct Case {
    const char* Name;
    std::string Reply;
    THttpStage Stage;
    int Status;
    std::string StatusText;  // UTF-8
    std::string Body;
  } cases[] = {
      {"404 is no failure", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", THttpStage::None,
       404, "Not Found", "gone"},
      {"reason of several words", "HTTP/1.1 503 Service Temporarily Unavailable\r\nContent-Length: 0\r\n\r\n",
       THttpStage::None, 503, "Service Temporarily Unavailable", ""},
      {"empty reason", "HTTP/1.1 200 \r\nContent-Length: 1\r\n\r\nx", THttpStage::None, 200, "", "x"},
      {"no reason", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\nx", THttpStage::None, 200, "", "x"},
      {"reason of the last status line",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created Here\r\nContent-Length: 0\r\n\r\n",
       THttpStage::None, 201, "Created Here", ""},
      {"body until close", "HTTP/1.0 200 Fine\r\n\r\nall of it", THttpStage::None, 200, "Fine", "all of it"},
      {"closed without reply", "", THttpStage::Send, -1, "", ""},
      {"not http", "hello there\r\n\r\n", THttpStage::Send, -1, "", ""},
      {"closed inside the headers", "HTTP/1.1 200 OK\r\nContent-Len", THttpStage::Receive, 200, "OK", ""},
      {"body cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", THttpStage::Receive, 200, "OK", ""},
      // The session below takes 16 bytes of body at most.
      {"body of the limit", "HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\n0123456789abcdef", THttpStage::None,
       200, "OK", "0123456789abcdef"},
      {"body over the limit", "HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n0123456789abcdefg",
       THttpStage::Receive, 200, "OK", ""},
      // Without a length the limit is found while reading.
      {"chunked body over the limit",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n0123456789abcdef\r\n1\r\ng\r\n0\r\n\r\n",
       THttpStage::Receive, 200, "OK", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TScriptedServer server(c.Reply);
    THttpSession session(kAgent);
    THttpOptions options;
    options.MaxBodyBytes = 16;
    session.SetOptions(options);
    THttpResult r = session.Get(server.Url("/x"));
    EXPECT_EQ(r.FailedStage, c.Stage) << Describe(r);
    EXPECT_LE(r.Body.size(), 16u);
    EXPECT_EQ(r.StatusCode, c.Status) << Describe(r);
    EXPECT_EQ(StringToUtf8(r.StatusText), c.StatusText);
    EXPECT_EQ(r.ErrorText.empty(), c.Stage == THttpStage::None) << Describe(r);
    if (c.Stage == THttpStage::None) {
      EXPECT_EQ(r.Body, c.Body);
    }
  }
}

// ---- addresses that must not be reached ----

TEST(HttpAddress, UnusableAddressesFailAtConnect) {
  TScriptedServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
  const std::string cases[] = {
      "ftp://" + hostPort + "/x",
      "file:///etc/hostname",
      "HTTPX://" + hostPort + "/x",
      "http://[::1",
      "http://127.0.0.1:" + std::to_string(FreePort()) + "/refused",
  };
  for (const std::string& url : cases) {
    THttpSession session(kAgent);
    THttpResult post = session.Post(url, kContentType, "body");
    EXPECT_EQ(post.FailedStage, THttpStage::Connect) << url << ": " << Describe(post);
  }
  EXPECT_TRUE(server.Requests().empty()) << "an address of another scheme reached the server";
}

class HttpLab : public ::testing::Test {
protected:
  void SetUp() override {
    labserver::TLabServerOptions options;
    options.OrdersDir = testsupport::MakeTempDir("orders");
    options.PriceList = "UploadScript={{LAB}}/upload3.php\r\n";
    Server = std::make_unique<labserver::TLabServer>(options);
    std::string error;
    ASSERT_TRUE(Server->Start(&error)) << error;
  }

  std::unique_ptr<labserver::TLabServer> Server;
};

TEST_F(HttpLab, HttpsToThePlainServerFailsAtConnectAndNeverFallsBackToHttp) {
  THttpSession session(kAgent);
  const std::string url = "https://127.0.0.1:" + std::to_string(Server->Port()) + "/upload3.php";
  THttpResult post = session.Post(url, kContentType, "--" + kBoundary + "--\r\n");
  EXPECT_EQ(post.FailedStage, THttpStage::Connect) << Describe(post);
  // The handshake reached the port, but no request was ever made in clear text.
  EXPECT_EQ(Server->RequestCount(), 0u);
}

TEST_F(HttpLab, GetFollowsRedirectsOfHttpOnly) {
  const std::string priceList = Server->PriceListUrl();
  TScriptedServer silent("");
  struct Case {
    const char* Name;
    std::string Location;
    THttpStage Stage;
  } cases[] = {
      {"to the lab", priceList, THttpStage::None},
      {"to a file", "file:///etc/hostname", THttpStage::Connect},
      {"in a loop", "/again", THttpStage::Connect},
      {"to a closed port", "http://127.0.0.1:" + std::to_string(FreePort()) + "/x",
       THttpStage::Connect},
      // The new address was reached, but it did not answer.
      {"to a silent server", silent.Url("/x"), THttpStage::Send},
  };
  for (const Case& c : cases) {
    TScriptedServer redirector("HTTP/1.1 302 Found\r\nLocation: " + c.Location +
                               "\r\nContent-Length: 0\r\n\r\n");
    THttpSession session(kAgent);
    THttpResult r = session.Get(redirector.Url("/start"));
    EXPECT_EQ(r.FailedStage, c.Stage) << c.Name << ": " << Describe(r);
    if (c.Stage == THttpStage::None) {
      EXPECT_EQ(r.StatusCode, 200) << c.Name;
      EXPECT_EQ(StringToUtf8(r.StatusText), "OK") << c.Name;
      EXPECT_EQ(r.Body, "UploadScript=" + Server->BaseUrl() + "/upload3.php\r\n");
    } else {
      EXPECT_EQ(r.StatusCode, -1) << c.Name;
    }
    if (std::string(c.Name) == "in a loop") {
      // The first request and five redirects, no more.
      EXPECT_EQ(redirector.Requests().size(), 6u);
    }
  }
}

TEST_F(HttpLab, PostIsNotRedirected) {
  TScriptedServer redirector("HTTP/1.1 302 Found\r\nLocation: " + Server->UploadUrl() +
                             "\r\nContent-Length: 0\r\n\r\n");
  THttpSession session(kAgent);
  THttpResult r = session.Post(redirector.Url("/upload3.php"), kContentType, "x");
  EXPECT_FALSE(r.Failed()) << Describe(r);
  EXPECT_EQ(r.StatusCode, 302);
  EXPECT_EQ(StringToUtf8(r.StatusText), "Found");
  EXPECT_EQ(Server->RequestCount(), 0u);
}

TEST_F(HttpLab, PostSendsTheBodyAndTheHeaderLineUnchangedWithoutExpect) {
  // Large enough that libcurl would ask for "100 Continue" unless told not to.
  std::string jpeg(3 << 20, '\0');
  for (size_t i = 0; i < jpeg.size(); ++i) jpeg[i] = static_cast<char>(i * 7);
  const std::string body = "--" + kBoundary + "\r\n"
                           "Content-Disposition: form-data; name=\"order_number\"\r\n\r\n"
                           "17\r\n"
                           "--" + kBoundary + "\r\n"
                           "Content-Disposition: form-data; name=\"photo\"; filename=\"01.jpg\"\r\n"
                           "Content-Type: image/jpeg\r\n\r\n" +
                           jpeg + "\r\n--" + kBoundary + "--\r\n";
  THttpSession session("\xD1\xE5\xEB\xFC\xE2\xE0\xED\xE0");  // an agent in Windows-1251
  for (int round = 0; round < 2; ++round) {  // the second one on the kept connection
    THttpResult r = session.Post(Server->UploadUrl(), kContentType, body);
    ASSERT_FALSE(r.Failed()) << Describe(r);
    EXPECT_EQ(r.StatusCode, 200);
  }
  auto requests = Server->Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& q : requests) {
    EXPECT_EQ(q.Target, "/upload3.php");
    EXPECT_EQ(q.Body, body);
    EXPECT_EQ(q.Header("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(q.Header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(q.Header("Expect"), "");
    EXPECT_EQ(q.Header("Cookie"), "");
    EXPECT_EQ(q.Header("User-Agent"), "\xD1\xE5\xEB\xFC\xE2\xE0\xED\xE0");
  }
}

TEST_F(HttpLab, CancelWhileTheServerDelaysEndsTheTransferAndClosesTheConnection) {
  // Far longer than the test's time limit: only the cancel can end the request in time.
  Server->DelayReply(labserver::TRequestKind::Any, 3600 * 1000);
  std::atomic<bool> cancel{false};
  std::thread canceller([&] {
    Server->WaitForRecord([](const auto& r) { return !r.empty(); }, 60000);
    cancel = true;
  });
  THttpSession session(kAgent);
  session.SetCancelFlag(&cancel);
  THttpResult r = session.Post(Server->UploadUrl(), kContentType, "--" + kBoundary + "--\r\n");
  canceller.join();
  EXPECT_EQ(r.FailedStage, THttpStage::Send) << Describe(r);
  EXPECT_EQ(r.Error, THttpError::Cancelled);
  EXPECT_TRUE(Server->WaitForRecord(
      [](const auto& rs) { return rs.size() == 1 && rs[0].ClientClosedEarly; }, 60000));
  EXPECT_EQ(Server->Requests()[0].Status, 0);

  // A cancel flag already set stops the next request before it is made.
  THttpResult again = session.Get(Server->PriceListUrl());
  EXPECT_EQ(again.FailedStage, THttpStage::Connect) << Describe(again);
  EXPECT_EQ(Server->RequestCount(), 1u);
}

// The deadlines are kept on the layer's clock: the test moves its manual clock while a request
// waits, and nothing depends on how fast this machine is.
class HttpDeadline : public HttpLab {
protected:
  void SetUp() override {
    HttpLab::SetUp();
    clock::UseManual(0);
  }
  void TearDown() override { clock::UseReal(); }

  // Makes the request on a thread of its own while the manual clock moves on by StepMs for every
  // millisecond of real time; answers the result and the manual time it took.
  static std::pair<THttpResult, Int64> WhileTheClockRuns(const std::function<THttpResult()>& Request,
                                                         Int64 StepMs) {
    std::atomic<bool> done{false};
    THttpResult result;
    const Int64 start = clock::TickCount();
    Int64 end = 0;
    std::thread worker([&] {
      result = Request();
      end = clock::TickCount();
      done = true;
    });
    while (!done) {
      clock::Advance(StepMs);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    return {result, end - start};
  }
};

TEST_F(HttpDeadline, ASilentOrTricklingServerHoldsARequestOnlyUntilItsDeadline) {
  THttpOptions options;
  options.BaseDeadlineMs = 10000;
  options.FloorBytesPerSecond = 1024;
  options.MinReplyBytesPerSecond = 64;
  options.ReplyRateWindowMs = 10000;
  struct Case {
    const char* Name;
    labserver::TFaultAction Fault;
    size_t BodyBytes;
    THttpStage Stage;
    Int64 AtLeastMs;  // the deadline: the base, and a second per 1024 bytes of the body
  } cases[] = {
      {"silent, small request", labserver::TFaultAction::Delay, 10, THttpStage::Send, 10000},
      {"silent, 256 KB request", labserver::TFaultAction::Delay, 256 << 10, THttpStage::Send, 10000 + 256000},
      // One byte every 20 ms of real time is far below 64 bytes a second on the running clock.
      {"trickling reply", labserver::TFaultAction::Trickle, 10, THttpStage::Receive, 10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Server->ClearFaults();
    Server->ClearRequests();
    labserver::TFault fault;
    fault.Kind = labserver::TRequestKind::Any;
    fault.Action = c.Fault;
    fault.DelayMs = c.Fault == labserver::TFaultAction::Delay ? 3600 * 1000 : 20;
    fault.Reply = std::string(100000, 'x');
    fault.Count = -1;
    Server->AddFault(fault);
    THttpSession session(kAgent);
    session.SetOptions(options);
    const std::string body(c.BodyBytes, 'b');
    auto [r, tookMs] = WhileTheClockRuns([&] { return session.Post(Server->UploadUrl(), kContentType, body); }, 250);
    EXPECT_EQ(r.FailedStage, c.Stage) << Describe(r);
    EXPECT_EQ(r.Error, THttpError::TimedOut) << Describe(r);
    EXPECT_TRUE(r.RequestSent) << "the server had the whole request";
    EXPECT_GE(tookMs, c.AtLeastMs);
    EXPECT_TRUE(Server->WaitForRecord(
        [](const auto& rs) { return rs.size() == 1 && rs[0].Finished && rs[0].ClientClosedEarly; }, 60000))
        << "the client gave up and closed the connection";
  }
}

TEST_F(HttpLab, EveryRequestGoesOutOnceOnAConnectionOfItsOwn) {
  // A server that closes the connection without answering: libcurl would resend a request that
  // failed so on a kept connection. Here each request reaches the server exactly once.
  Server->CloseConnection(labserver::TRequestKind::Any, -1);
  THttpSession session(kAgent);
  for (int i = 0; i < 3; ++i) {
    THttpResult r = session.Post(Server->UploadUrl(), kContentType, "--" + kBoundary + "--\r\n");
    EXPECT_EQ(r.FailedStage, THttpStage::Send) << Describe(r);
    EXPECT_TRUE(r.RequestSent);
  }
  EXPECT_EQ(Server->RequestCount(), 3u);
  THttpResult refused = session.Post("http://127.0.0.1:" + std::to_string(FreePort()) + "/x", kContentType, "x");
  EXPECT_EQ(refused.Error, THttpError::ConnectionRefused) << Describe(refused);
  EXPECT_FALSE(refused.RequestSent);
}

}  // namespace
