// The stand-in lab server in process: orders, the record and the faults.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "labserver/LabServer.h"
#include "support/TestEnv.h"

namespace {

namespace fs = std::filesystem;
using labserver::TFaultAction;
using labserver::TRequestKind;

const std::string kB = "7AE6386958DD459B8941C4083E6EBEBD";
const std::string kTrans = "00112233445566778899AABBCCDDEEFF";

// A text field as the program writes it.
std::string Field(const std::string& name, const std::string& value, const std::string& b = kB) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
         "\r\n";
}

std::string Close(const std::string& b = kB) { return "--" + b + "--\r\n"; }

std::string ActionBody(const std::string& number, const std::string& action) {
  return Field("order_number", number) + Field("transaction", kTrans) + Field("action", action) +
         Close();
}

// `size` in the bytes the program sends: Windows-1251.
std::string PhotoBody(int number, const std::string& paper, const std::string& size, int index,
                      int count, const std::string& jpeg) {
  return Field("order_number", std::to_string(number)) + Field("paper_type", paper) +
         Field("paper_size", size) + Field("photo_index", std::to_string(index)) +
         Field("photo_count", std::to_string(count)) + "--" + kB +
         "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"01.jpg\"\r\n"
         "Content-Type: image/jpeg\r\n\r\n" +
         jpeg + "\r\n" + Close();
}

std::string TextBody(int number, const std::string& text) {
  return Field("order_number", std::to_string(number)) + Field("text", text) + Close();
}

struct Reply {
  bool Ok{false};  // an HTTP reply came
  int Status{0};
  std::string Body;
};

class LabServer : public ::testing::Test {
protected:
  void SetUp() override { StartServer(); }

  void StartServer(int firstOrder = 1) {
    labserver::TLabServerOptions options;
    Orders = testsupport::MakeTempDir("orders");
    options.OrdersDir = Orders;
    options.FirstOrderNumber = firstOrder;
    options.PriceList = "UploadScript={{LAB}}/upload3.php\r\nDownloadURL={{LAB}}/x.exe\r\n";
    Server = std::make_unique<labserver::TLabServer>(options);
    std::string error;
    ASSERT_TRUE(Server->Start(&error)) << error;
  }

  Reply Post(const std::string& body, const std::string& boundary = kB) {
    httplib::Client client("127.0.0.1", Server->Port());
    client.set_read_timeout(60);
    auto res = client.Post(labserver::kUploadPath, body,
                           ("multipart/form-data; boundary=" + boundary).c_str());
    if (!res) return {};
    return {true, res->status, res->body};
  }

  Reply Get(const std::string& path) {
    httplib::Client client("127.0.0.1", Server->Port());
    auto res = client.Get(path.c_str());
    if (!res) return {};
    return {true, res->status, res->body};
  }

  int StartOrder() {
    Reply r = Post(ActionBody("dummy", "start"));
    EXPECT_EQ(r.Body.rfind("order_number=", 0), 0u) << r.Body;
    return std::atoi(r.Body.c_str() + 13);
  }

  std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path Orders;
  std::unique_ptr<labserver::TLabServer> Server;
};

TEST_F(LabServer, CannotBeReachedFromOtherAddressesOfThisMachine) {
  ifaddrs* list = nullptr;
  ASSERT_EQ(getifaddrs(&list), 0);
  int tried = 0;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
    sockaddr_in addr = *reinterpret_cast<sockaddr_in*>(a->ifa_addr);
    if ((ntohl(addr.sin_addr.s_addr) >> 24) == 127) continue;
    addr.sin_port = htons(static_cast<uint16_t>(Server->Port()));
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << a->ifa_name;
    close(fd);
    ++tried;
  }
  freeifaddrs(list);
  EXPECT_EQ(Get(labserver::kManualPath).Status, 200);
  if (tried == 0) GTEST_SKIP() << "this machine has no address but loopback";
}

TEST_F(LabServer, CommitWritesTheOrderFolderWithTheLastCopyOfEachPhotoAndText) {
  EXPECT_EQ(Post(ActionBody("dummy", "start")).Body, "order_number=1\r\norder_digits=6");
  const std::string size = "10\xF5" "15";  // "10х15" in Windows-1251
  EXPECT_EQ(Post(PhotoBody(1, "glossy", size, 1, 2, "old")).Body, "OK");
  // Sent again after a lost reply: replaces.
  EXPECT_EQ(Post(PhotoBody(1, "glossy", size, 1, 2, "\xFF\xD8\xFF")).Body, "OK");
  EXPECT_EQ(Post(PhotoBody(1, "glossy", size, 2, 1, "two")).Body, "OK");
  EXPECT_EQ(Post(PhotoBody(1, "pearl", "30x40", 1, 3, "big")).Body, "OK");
  EXPECT_EQ(Post(TextBody(1, "first")).Body, "OK");
  EXPECT_EQ(Post(TextBody(1, "Имя: Анна\r\nТелефон: 123")).Body, "OK");
  EXPECT_FALSE(fs::exists(Orders / "000001")) << "an open order reached the disk";

  EXPECT_EQ(Post(ActionBody("1", "commit")).Body, "OK");
  const fs::path folder = Orders / "000001";
  EXPECT_EQ(Server->OrderFolder(1), folder);
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"glossy_10х15_1_x2.jpg", "glossy_10х15_2_x1.jpg",
                                                       "order.txt", "pearl_30x40_1_x3.jpg"}));
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "glossy_10х15_1_x2.jpg"), "\xFF\xD8\xFF");
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "order.txt"), "Имя: Анна\r\nТелефон: 123");

  // A commit whose reply was lost comes again; a rollback after it is refused.
  EXPECT_EQ(Post(ActionBody("1", "commit")).Body, "OK");
  EXPECT_EQ(Post(ActionBody("1", "rollback")).Body.rfind("ERROR", 0), 0u);
  EXPECT_EQ(Post(PhotoBody(1, "glossy", size, 3, 1, "late")).Body.rfind("ERROR", 0), 0u);
  EXPECT_EQ(FilesIn(folder).size(), 4u);
  EXPECT_EQ(Server->Order(1).State, labserver::TOrderState::Committed);
  EXPECT_EQ(FilesIn(Orders), std::vector<std::string>{"000001"});
}

TEST_F(LabServer, RefusesRequestsThatDoNotFitAnOpenOrder) {
  int n = StartOrder();
  const std::string other = "FFEEDDCCBBAA99887766554433221100";
  struct Case {
    const char* Name;
    std::string Body;
  } cases[] = {
      {"unknown order", PhotoBody(n + 5, "glossy", "10x15", 1, 1, "j")},
      {"padded number", Field("order_number", "00000" + std::to_string(n)) + Field("text", "t") + Close()},
      {"unknown paper", PhotoBody(n, "velvet", "10x15", 1, 1, "j")},
      {"index 0", PhotoBody(n, "glossy", "10x15", 0, 1, "j")},
      {"commit of another transaction",
       Field("order_number", std::to_string(n)) + Field("transaction", other) +
           Field("action", "commit") + Close()},
      {"start without transaction", Field("order_number", "dummy") + Field("action", "start") + Close()},
      {"no form", "just text"},
  };
  for (const Case& c : cases) {
    Reply r = Post(c.Body);
    EXPECT_EQ(r.Status, 200) << c.Name;
    EXPECT_EQ(r.Body.rfind("ERROR", 0), 0u) << c.Name << ": " << r.Body;
  }
  EXPECT_EQ(Server->Order(n).State, labserver::TOrderState::Open);
  EXPECT_TRUE(Server->Order(n).Photos.empty());
}

TEST_F(LabServer, OrderNumbersSkipFoldersAlreadyThere) {
  fs::create_directories(Orders / "000001");
  fs::create_directories(Orders / "000002");
  EXPECT_EQ(StartOrder(), 3);
  EXPECT_EQ(StartOrder(), 4);
  std::vector<std::thread> threads;
  std::vector<int> numbers(8);
  for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { numbers[i] = StartOrder(); });
  for (auto& t : threads) t.join();
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers, (std::vector<int>{5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(LabServer, RecordsEveryRequestWithDecodedFields) {
  int n = StartOrder();
  Post(PhotoBody(n, "silk", "10\xF5" "15 \xF1\xEC", 4, 2, "\xFF\xD8"));
  // The customer text travels in UTF-8; curl-style boundary.
  const std::string b = "------------------------b240130f62499fa1";
  const std::string text = Field("order_number", std::to_string(n), b) +
                           Field("text", "Фамилия: Петрова", b) + Close(b);
  Post(text, b);
  auto photo = Server->Requests(TRequestKind::Photo);
  ASSERT_EQ(photo.size(), 1u);
  EXPECT_EQ(photo[0].FieldText("paper_size"), "10х15 см");
  EXPECT_EQ(photo[0].Field("paper_size")->Value, "10\xF5" "15 \xF1\xEC");
  EXPECT_EQ(photo[0].Reply, "OK");
  EXPECT_EQ(Server->Order(n).Photos.at(0).FileName, "silk_10х15 см_4_x2.jpg");

  auto texts = Server->Requests(TRequestKind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].FieldText("text"), "Фамилия: Петрова");
  EXPECT_EQ(Server->Order(n).Text.value_or(""), "Фамилия: Петрова");
  auto all = Server->Requests();
  ASSERT_EQ(all.size(), 3u);
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].Sequence, static_cast<int>(i) + 1);
    EXPECT_TRUE(all[i].Finished);
    EXPECT_FALSE(all[i].ClientClosedEarly);
  }
}

TEST_F(LabServer, FaultsActOnTheRequestsTheyName) {
  struct Case {
    const char* Name;
    labserver::TFault Fault;
    TRequestKind Sent;
    int Status;
    std::string Reply;  // "*" for the normal reply
  };
  auto fault = [](TRequestKind kind, TFaultAction action, std::string reply = "", int status = 500) {
    labserver::TFault f;
    f.Kind = kind;
    f.Action = action;
    f.Reply = std::move(reply);
    f.Status = status;
    return f;
  };
  // Status and reply faults are read by the uploader's tests; here only what they cannot see:
  // a fault acts on its own kind and only once.
  const Case cases[] = {
      {"refuse", fault(TRequestKind::Photo, TFaultAction::Refuse), TRequestKind::Photo, 200, "ERROR: refused"},
      {"refuse another kind", fault(TRequestKind::Text, TFaultAction::Refuse), TRequestKind::Photo, 200, "OK"},
      {"any upload", fault(TRequestKind::AnyUpload, TFaultAction::Reply, "OK\n"), TRequestKind::Text, 200, "OK\n"},
      {"any request", fault(TRequestKind::Any, TFaultAction::Status, "", 500), TRequestKind::Rollback, 500, ""},
  };
  for (const Case& c : cases) {
    Server->ClearFaults();
    int n = StartOrder();
    Server->AddFault(c.Fault);
    std::string body = c.Sent == TRequestKind::Photo  ? PhotoBody(n, "glossy", "9x13", 1, 1, "j")
                       : c.Sent == TRequestKind::Text ? TextBody(n, "t")
                                                      : ActionBody(std::to_string(n), "rollback");
    Reply r = Post(body);
    ASSERT_TRUE(r.Ok) << c.Name;
    EXPECT_EQ(r.Status, c.Status) << c.Name;
    EXPECT_EQ(r.Body, c.Reply) << c.Name;
    // The fault acts once; the same request then goes through.
    Reply again = Post(body);
    EXPECT_EQ(again.Body, "OK") << c.Name;
  }
}

TEST_F(LabServer, ClosedConnectionLosesTheReplyButMayKeepThePhoto) {
  int n = StartOrder();
  Server->CloseConnection(TRequestKind::Photo, 1, /*apply=*/true);
  Reply lost = Post(PhotoBody(n, "glossy", "9x13", 1, 1, "first"));
  EXPECT_FALSE(lost.Ok);
  ASSERT_EQ(Server->Order(n).Photos.size(), 1u);
  // The program sends it again; the lab keeps one copy.
  EXPECT_EQ(Post(PhotoBody(n, "glossy", "9x13", 1, 1, "second")).Body, "OK");
  ASSERT_EQ(Server->Order(n).Photos.size(), 1u);
  EXPECT_EQ(Server->Order(n).Photos[0].Jpeg, "second");

  Server->CloseConnection(TRequestKind::Text, 1);
  EXPECT_FALSE(Post(TextBody(n, "t")).Ok);
  EXPECT_FALSE(Server->Order(n).Text.has_value());
  auto texts = Server->Requests(TRequestKind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].Status, 0);
  EXPECT_TRUE(texts[0].Finished);
}

TEST_F(LabServer, DelayedReplyEndsWithTheClientOrWithStop) {
  Server->DelayReply(TRequestKind::Start, 3600 * 1000, 1);
  // A client that gives up: the server sees it go.
  {
    httplib::Client client("127.0.0.1", Server->Port());
    client.set_read_timeout(0, 200000);
    auto res = client.Post(labserver::kUploadPath, ActionBody("dummy", "start"),
                           ("multipart/form-data; boundary=" + kB).c_str());
    EXPECT_FALSE(res);
  }
  EXPECT_TRUE(Server->WaitForRecord(
      [](const auto& r) { return r.size() == 1 && r[0].Finished && r[0].ClientClosedEarly; },
      60000));
  EXPECT_TRUE(Server->Order(1).State == labserver::TOrderState::Unknown);

  // A client still waiting when the server stops: Stop does not wait for the delay.
  Server->DelayReply(TRequestKind::Start, 3600 * 1000, 1);
  Reply waiting;
  std::thread client([&] { waiting = Post(ActionBody("dummy", "start")); });
  ASSERT_TRUE(Server->WaitForRecord([](const auto& r) { return r.size() == 2; }, 60000));
  Server->Stop();
  client.join();
  EXPECT_NE(waiting.Body.rfind("order_number=", 0), 0u);
  EXPECT_FALSE(Server->Running());
}

TEST_F(LabServer, ATrickledReplyActsFirstAndComesByteByByte) {
  int n = StartOrder();
  Server->TrickleReply(TRequestKind::Commit, "OK", 50, 1);
  // A patient client gets the whole reply; the order was committed before it began.
  httplib::Client client("127.0.0.1", Server->Port());
  auto res = client.Post(labserver::kUploadPath, ActionBody(std::to_string(n), "commit"),
                         ("multipart/form-data; boundary=" + kB).c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "OK");
  EXPECT_EQ(Server->Order(n).State, labserver::TOrderState::Committed);
  EXPECT_TRUE(Server->WaitForRecord(
      [](const auto& r) { return r.size() == 2 && r[1].Finished && !r[1].ClientClosedEarly; }, 60000));

  // A client that gives up after the first bytes: the server sees it go.
  int m = StartOrder();
  Server->TrickleReply(TRequestKind::Rollback, std::string(100000, 'x'), 20, 1, false);
  {
    const std::string body = ActionBody(std::to_string(m), "rollback");
    const std::string request = std::string("POST ") + labserver::kUploadPath +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=" + kB +
                                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(Server->Port()));
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    std::string got;
    char buffer[256];
    while (got.find("\r\n\r\nxx") == std::string::npos) {
      ssize_t k = recv(fd, buffer, sizeof buffer, 0);
      ASSERT_GT(k, 0);
      got.append(buffer, static_cast<size_t>(k));
    }
    EXPECT_EQ(got.rfind("HTTP/1.1 200", 0), 0u) << got;
    EXPECT_NE(got.find("Content-Length: 100000"), std::string::npos) << "the whole length is declared";
    close(fd);
  }
  EXPECT_TRUE(Server->WaitForRecord(
      [](const auto& r) { return r.size() == 4 && r[3].Finished && r[3].ClientClosedEarly; }, 60000));
  EXPECT_EQ(Server->Order(m).State, labserver::TOrderState::Open) << "a fault without apply does nothing";
}

}  // namespace
