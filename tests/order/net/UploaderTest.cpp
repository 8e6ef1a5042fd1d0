// Whole orders through TUploader against the stand-in lab server on a loopback port: what goes
// over the wire, what the lab keeps, and every way a request can fail.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <strings.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "order/uUploader.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

using namespace order;
using labserver::TFault;
using labserver::TFaultAction;
using labserver::TOrderState;
using labserver::TRequestKind;

namespace {

const String kTransID = u"00112233445566778899AABBCCDDEEFF";
const std::string kBoundaryHeader = "multipart/form-data; boundary=7AE6386958DD459B8941C4083E6EBEBD";
// "Сельвана Тихоград - заказ фотографий" in Windows-1251.
const std::string kAgent =
    "\xD1\xE5\xEB\xFC\xE2\xE0\xED\xE0 \xD2\xE8\xF5\xEE\xE3\xF0\xE0\xE4 - \xE7\xE0\xEA\xE0\xE7 "
    "\xF4\xEE\xF2\xEE\xE3\xF0\xE0\xF4\xE8\xE9";
const std::string kJpeg("\xFF\xD8\xFF", 3);

std::string TransactionFixture(const std::string& orderNumber, const std::string& action) {
  return "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
         "Content-Disposition: form-data; name=\"order_number\"\r\n"
         "\r\n" + orderNumber + "\r\n"
         "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
         "Content-Disposition: form-data; name=\"transaction\"\r\n"
         "\r\n"
         "00112233445566778899AABBCCDDEEFF\r\n"
         "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
         "Content-Disposition: form-data; name=\"action\"\r\n"
         "\r\n" + action + "\r\n"
         "--7AE6386958DD459B8941C4083E6EBEBD--\r\n";
}

const std::string kPhotoFixture =
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"order_number\"\r\n"
    "\r\n"
    "17\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"paper_type\"\r\n"
    "\r\n"
    "matte\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"paper_size\"\r\n"
    "\r\n"
    "10\xF5" "15\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"photo_index\"\r\n"
    "\r\n"
    "1\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"photo_count\"\r\n"
    "\r\n"
    "2\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"photo\"; filename=\"01.jpg\"\r\n"
    "Content-Type: image/jpeg\r\n"
    "\r\n"
    "\xFF\xD8\xFF\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD--\r\n";

const std::string kTextFixture =
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"order_number\"\r\n"
    "\r\n"
    "17\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD\r\n"
    "Content-Disposition: form-data; name=\"text\"\r\n"
    "\r\n"
    "\xD0\x98\xD0\xBC\xD1\x8F: \xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0\r\n"
    "\xD0\x98\xD1\x82\xD0\xBE\xD0\xB3\xD0\xBE\r\n"
    "--7AE6386958DD459B8941C4083E6EBEBD--\r\n";

// Either the whole text is fixed, or only its start, followed by the transfer's reason.
void ExpectFailureText(const String& response, const char16_t* prefix, const char16_t* exact) {
  if (exact) {
    EXPECT_EQ(response, exact);
  }
  if (!prefix) return;
  EXPECT_EQ(response.rfind(prefix, 0), 0u) << StringToUtf8(response);
  EXPECT_GT(response.size(), String(prefix).size()) << "the reason follows the text";
}

bool HasHeader(const labserver::TRecordedRequest& r, const std::string& name) {
  for (const auto& [n, v] : r.Headers)
    if (strcasecmp(n.c_str(), name.c_str()) == 0) return true;
  return false;
}

class UploaderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { inet::GlobalInitialize(); }

  void SetUp() override { StartServer(4); }

  void TearDown() override {
    if (FServer) FServer->Stop();
    uLists::Reset();
  }

  void StartServer(int orderDigits) {
    if (FServer) FServer->Stop();
    labserver::TLabServerOptions options;
    options.PriceList = "MinPrice=50\r\nUploadScript={{LAB}}/upload3.php\r\n";
    options.OrdersDir = testsupport::MakeTempDir("orders");
    options.FirstOrderNumber = 17;
    options.OrderDigits = orderDigits;
    FServer = std::make_unique<labserver::TLabServer>(options);
    std::string error;
    ASSERT_TRUE(FServer->Start(&error)) << error;
    UploadScriptURL = Utf8ToString(FServer->UploadUrl());
  }

  Owned<TUploader> NewUploader() {
    Owned<TUploader> uploader(TUploader::New());
    EXPECT_TRUE(uploader->Initialize());
    uploader->SetTransIDForTesting(kTransID);
    return uploader;
  }

  Owned<TUploader> StartedUploader() {
    Owned<TUploader> uploader = NewUploader();
    String response;
    EXPECT_TRUE(uploader->PostTA(atStart, response)) << StringToUtf8(response);
    return uploader;
  }

  static Owned<TMemoryStream> Jpeg() {
    Owned<TMemoryStream> stream(TMemoryStream::New());
    stream->WriteBytes(kJpeg);
    return stream;
  }

  // A loopback address where nothing listens.
  static int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
    EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    close(fd);
    return ntohs(addr.sin_port);
  }

  std::unique_ptr<labserver::TLabServer> FServer;
};

}  // namespace

TEST_F(UploaderTest, WholeOrderReachesTheLabByteForByte) {
  UploadScriptURL += u"?secret=1#top";  // the query never reaches the lab
  Owned<TUploader> uploader = StartedUploader();
  EXPECT_EQ(uploader->GetOrderNumber(), u"0017");
  String response;
  auto jpeg = Jpeg();
  ASSERT_TRUE(uploader->PostImage(ptMatte, 1, 2, u"10х15", jpeg.get(), response)) << StringToUtf8(response);
  EXPECT_EQ(response, u"OK");
  ASSERT_TRUE(uploader->PostText(u"Имя: Анна\r\nИтого", response)) << StringToUtf8(response);
  ASSERT_TRUE(uploader->PostTA(atCommit, response)) << StringToUtf8(response);

  auto records = FServer->Requests();
  ASSERT_EQ(records.size(), 4u);
  ASSERT_EQ(("Content-Type: " + kBoundaryHeader).size(), 76u) << "the lab's header line";
  const std::string expected[] = {TransactionFixture("dummy", "start"), kPhotoFixture, kTextFixture,
                                  TransactionFixture("17", "commit")};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].Method, "POST");
    EXPECT_EQ(records[i].Target, "/upload3.php");
    EXPECT_EQ(records[i].Header("Content-Type"), kBoundaryHeader);
    EXPECT_EQ(records[i].Header("User-Agent"), kAgent);
    EXPECT_EQ(records[i].Header("Cookie"), "");
    EXPECT_EQ(records[i].Header("Expect"), "");
    EXPECT_FALSE(HasHeader(records[i], "Accept")) << "the lab's requests name no accept types";
    EXPECT_EQ(records[i].Body, expected[i]);
  }

  labserver::TOrderInfo order = FServer->Order(17);
  EXPECT_EQ(order.State, TOrderState::Committed);
  EXPECT_EQ(order.Transaction, "00112233445566778899AABBCCDDEEFF");
  ASSERT_EQ(order.Photos.size(), 1u);
  EXPECT_EQ(order.Photos[0].SizeName, "10\xD1\x85" "15");
  EXPECT_EQ(order.Photos[0].Count, 2);
  EXPECT_EQ(order.Photos[0].Jpeg, kJpeg);
  EXPECT_TRUE(std::filesystem::is_directory(FServer->OrderFolder(17)));
}

TEST_F(UploaderTest, RollbackLeavesNothingAtTheLab) {
  Owned<TUploader> uploader = StartedUploader();
  String response;
  auto jpeg = Jpeg();
  ASSERT_TRUE(uploader->PostImage(ptGlossy, 1, 1, u"10x15", jpeg.get(), response));
  ASSERT_TRUE(uploader->PostTA(atRollback, response)) << StringToUtf8(response);
  EXPECT_EQ(FServer->Requests(TRequestKind::Rollback).at(0).Body, TransactionFixture("17", "rollback"));
  EXPECT_EQ(FServer->Order(17).State, TOrderState::RolledBack);
  EXPECT_FALSE(std::filesystem::exists(FServer->OrderFolder(17)));
}

TEST_F(UploaderTest, OrderNumberIsPaddedToTheDigitsTheLabAsks) {
  static const String hundred = String(98, u'0') + u"17";
  const char16_t* kHundredDigits = hundred.c_str();
  struct Case {
    const char* what;
    std::optional<TFaultAction> action;
    std::string digits;
    const char16_t* expected;  // nullptr: the start fails without a number
  };
  const Case cases[] = {
      {"four digits", std::nullopt, "", u"0017"},
      {"no order_digits line", TFaultAction::OmitOrderDigits, "", u"000017"},
      {"one digit, shorter than the number", TFaultAction::OrderDigits, "1", u"17"},
      {"twenty digits", TFaultAction::OrderDigits, "20", u"00000000000000000017"},
      {"twenty-one digits", TFaultAction::OrderDigits, "21", u"000000000000000000017"},
      {"zero pads nothing", TFaultAction::OrderDigits, "0", u"17"},
      {"negative pads nothing", TFaultAction::OrderDigits, "-3", u"17"},
      {"a hundred", TFaultAction::OrderDigits, "100", kHundredDigits},
      {"above a hundred counts as absent", TFaultAction::OrderDigits, "101", u"000017"},
      {"beyond any integer", TFaultAction::OrderDigits, "99999999999", u"000017"},
      {"not a number", TFaultAction::OrderDigits, "x", u"000017"},
      {"hex is not a number", TFaultAction::OrderDigits, "$8", u"000017"},
      {"no order_number line", TFaultAction::OmitOrderNumber, "", nullptr},
      {"order_number=0", TFaultAction::ZeroOrderNumber, "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartServer(4);  // every case gets order number 17
    if (c.action) {
      TFault f;
      f.Kind = TRequestKind::Start;
      f.Action = *c.action;
      f.Reply = c.digits;
      FServer->AddFault(f);
    }
    Owned<TUploader> uploader = NewUploader();
    String response;
    EXPECT_EQ(uploader->PostTA(atStart, response), c.expected != nullptr) << StringToUtf8(response);
    if (c.expected) {
      EXPECT_EQ(uploader->GetOrderNumber(), c.expected);
    } else {
      EXPECT_EQ(uploader->GetOrderNumber().find_first_not_of(u'0'), String::npos) << "no order number";
    }
  }
}

TEST_F(UploaderTest, OnlyAnExactOkAccepts) {
  struct Case {
    const char* what;
    TRequestKind kind;
    std::string reply;
  };
  const Case cases[] = {
      {"photo, OK and a line break", TRequestKind::Photo, "OK\n"},
      {"photo, lower case", TRequestKind::Photo, "ok"},
      {"text, OK and CR LF", TRequestKind::Text, "OK\r\n"},
      {"commit, OK and a line break", TRequestKind::Commit, "OK\n"},
      {"rollback, lower case", TRequestKind::Rollback, "ok"},
      {"photo, a refusal in Russian", TRequestKind::Photo, "\xD0\x9D\xD0\xB5\xD1\x82"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FServer->ClearFaults();
    Owned<TUploader> uploader = StartedUploader();
    FServer->ReplyWith(c.kind, c.reply);
    String response;
    auto jpeg = Jpeg();
    bool ok = c.kind == TRequestKind::Photo  ? uploader->PostImage(ptGlossy, 1, 1, u"10x15", jpeg.get(), response)
              : c.kind == TRequestKind::Text ? uploader->PostText(u"text", response)
              : c.kind == TRequestKind::Commit ? uploader->PostTA(atCommit, response)
                                               : uploader->PostTA(atRollback, response);
    EXPECT_FALSE(ok);
    EXPECT_EQ(response, Utf8ToString(c.reply));
  }
}

TEST_F(UploaderTest, EachFailureHasItsTextAndSaysWhetherTheLabMayHaveActed) {
  const int closedPort = ClosedPort();
  const String base = Utf8ToString(FServer->BaseUrl());
  using O = TRequestOutcome;
  struct Case {
    const char* what;
    String uploadScript;                      // empty: the server's
    std::function<void(labserver::TLabServer&)> fault;
    const char16_t* prefix;
    const char16_t* exact;                    // nullptr: only the prefix is fixed
    TRequestOutcome outcome;
  };
  const Case cases[] = {
      // A complete answer refuses.
      {"404", u"", [](auto& s) { s.AnswerStatus(TRequestKind::Photo, 404); }, nullptr,
       u"Не удалось отправить файл. 404 - Not Found", O::Refused},
      {"refused", u"", [](auto& s) { s.RefuseFirst(TRequestKind::Photo, 1); }, nullptr, u"ERROR: refused", O::Refused},
      {"ok in lower case", u"", [](auto& s) { s.ReplyWith(TRequestKind::Photo, "ok"); }, nullptr, u"ok", O::Refused},
      // Sent without a clear answer.
      {"500", u"", [](auto& s) { s.AnswerStatus(TRequestKind::Photo, 500); }, nullptr,
       u"Не удалось отправить файл. 500 - Internal Server Error", O::Unknown},
      {"connection closed mid-request", u"", [](auto& s) { s.CloseConnection(TRequestKind::Photo); },
       u"Не удалось отправить файл. ", nullptr, O::Unknown},
      {"reply beyond 1 MiB", u"", [](auto& s) { s.ReplyWith(TRequestKind::Photo, std::string((1 << 20) + 1, 'x')); },
       u"Сбой при скачивании данных. ", nullptr, O::Unknown},
      // Never sent.
      {"nobody listening", u"http://127.0.0.1:" + IntToStr(closedPort) + u"/upload3.php", nullptr,
       u"Не удалось подключиться к серверу. ", nullptr, O::NotSent},
      {"another scheme", u"ftp://127.0.0.1/upload3.php", nullptr, nullptr,
       u"Не удалось подключиться к серверу. Протокол «ftp» не поддерживается.", O::NotSent},
      {"port that is no number", u"http://127.0.0.1:80x/upload3.php", nullptr, nullptr,
       u"Не удалось подключиться к серверу. Неверный номер порта «80x».", O::NotSent},
      {"blank in the path", base + u"/upload 3.php", nullptr, nullptr,
       u"Не удалось создать запрос. Недопустимые символы в пути к сценарию.", O::NotSent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FServer->ClearFaults();
    UploadScriptURL = Utf8ToString(FServer->UploadUrl());
    Owned<TUploader> uploader = StartedUploader();
    EXPECT_EQ(uploader->GetLastOutcome(), O::Accepted);
    if (c.fault) c.fault(*FServer);
    if (!c.uploadScript.empty()) UploadScriptURL = c.uploadScript;
    String response;
    auto jpeg = Jpeg();
    EXPECT_FALSE(uploader->PostImage(ptGlossy, 1, 1, u"10x15", jpeg.get(), response));
    ExpectFailureText(response, c.prefix, c.exact);
    EXPECT_EQ(uploader->GetLastOutcome(), c.outcome);
  }
}

TEST_F(UploaderTest, HttpsIsNeverSentInClearText) {
  Owned<TUploader> uploader = StartedUploader();
  FServer->ClearRequests();
  UploadScriptURL = u"https://127.0.0.1:" + IntToStr(FServer->Port()) + u"/upload3.php";
  String response;
  EXPECT_FALSE(uploader->PostText(u"Телефон: 123", response));
  EXPECT_EQ(response.rfind(u"Не удалось подключиться к серверу. ", 0), 0u) << StringToUtf8(response);
  EXPECT_TRUE(FServer->Requests(TRequestKind::AnyUpload).empty());
  for (const auto& r : FServer->Requests()) EXPECT_EQ(r.Body.find("123"), std::string::npos);
}

TEST_F(UploaderTest, CancelEndsATransferTheLabIsHolding) {
  Owned<TUploader> uploader = StartedUploader();
  std::atomic<bool> cancel{false};
  uploader->SetCancelFlag(&cancel);
  FServer->DelayReply(TRequestKind::Photo, 10 * 60 * 1000);
  std::thread canceller([&] {
    FServer->WaitForRecord([](const auto& records) { return !records.empty() && records.back().Kind == TRequestKind::Photo; },
                           60000);
    cancel = true;
  });
  String response;
  auto jpeg = Jpeg();
  EXPECT_FALSE(uploader->PostImage(ptGlossy, 1, 1, u"10x15", jpeg.get(), response));
  canceller.join();
  EXPECT_EQ(response.rfind(u"Не удалось отправить файл. ", 0), 0u) << StringToUtf8(response);
  EXPECT_TRUE(FServer->WaitForRecord(
      [](const auto& records) { return records.back().Kind == TRequestKind::Photo && records.back().ClientClosedEarly; },
      60000))
      << "the lab must see the connection closed";

  // The cancelled order is still rolled back once the flag is cleared.
  uploader->SetCancelFlag(nullptr);
  EXPECT_TRUE(uploader->PostTA(atRollback, response)) << StringToUtf8(response);
  EXPECT_EQ(FServer->Order(17).State, TOrderState::RolledBack);
}

TEST_F(UploaderTest, TransactionIdIsAVersion4GuidInMemoryOrder) {
  Owned<TUploader> a(TUploader::New());
  Owned<TUploader> b(TUploader::New());
  ASSERT_TRUE(a->Initialize());
  ASSERT_TRUE(b->Initialize());
  // 32 upper-case hex digits; the version nibble (byte 7, high half) is 4 and the variant
  // bits (byte 8) are 10.
  const std::string id = StringToUtf8(a->GetTransID());
  ASSERT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
  EXPECT_EQ(id[14], '4') << id;
  EXPECT_NE(std::string("89AB").find(id[16]), std::string::npos) << id;
  EXPECT_NE(a->GetTransID(), b->GetTransID());
}

TEST_F(UploaderTest, DownloadOfThePriceList) {
  Owned<TUploader> uploader = NewUploader();
  Owned<TMemoryStream> stream(TMemoryStream::New());
  stream->WriteBytes("stale");
  String response = u"stale";
  ASSERT_TRUE(uploader->DownloadURL(Utf8ToString(FServer->PriceListUrl()), stream.get(), response));
  EXPECT_EQ(response, u"");
  EXPECT_EQ(stream->Bytes(), "MinPrice=50\r\nUploadScript=" + FServer->BaseUrl() + "/upload3.php\r\n");
  EXPECT_FALSE(HasHeader(FServer->Requests(TRequestKind::PriceList).at(0), "Accept"));

  FServer->SetPriceList("");
  ASSERT_TRUE(uploader->DownloadURL(Utf8ToString(FServer->PriceListUrl()), stream.get(), response));
  EXPECT_EQ(stream->GetSize(), 0);
}

TEST_F(UploaderTest, DownloadFailureTexts) {
  const String base = Utf8ToString(FServer->BaseUrl());
  const std::string stale = "stale";
  const std::string tooLong((16 << 20) + 1, 'x');
  struct Case {
    const char* what;
    String url;
    std::string priceList;
    const char16_t* prefix;
    const char16_t* exact;
    std::string kept;     // the stream afterwards: untouched until the body is read, then what came
    std::string cutReply; // when set, the reply is cut off after these bytes
  };
  // The reasons are short sentences in the customer's language, never the HTTP library's English.
  const Case cases[] = {
      {"missing file", base + u"/UserFiles/Image/none.cfg", "", nullptr, u"Не удалось скачать файл. 404 - Not Found",
       stale, ""},
      {"nobody listening", u"http://127.0.0.1:" + IntToStr(ClosedPort()) + u"/x", "", nullptr,
       u"Сбой при подключении. Сервер отказал в подключении.", stale, ""},
      // A name under .invalid is reserved never to have an address: it fails without any network.
      {"host not found", u"http://lab.invalid/x", "", nullptr, u"Сбой при подключении. Сервер с таким именем не найден.",
       stale, ""},
      {"secure connection to a plain server", u"https://127.0.0.1:" + IntToStr(FServer->Port()) + u"/x", "", nullptr,
       u"Сбой при подключении. Не удалось установить защищённое соединение с сервером.", stale, ""},
      {"another scheme", u"ftp://127.0.0.1/x", "", nullptr, u"Сбой при подключении. Адрес сервера недоступен.", stale,
       ""},
      {"price list beyond 16 MiB", Utf8ToString(FServer->PriceListUrl()), tooLong, nullptr,
       u"Сбой при скачивании данных. Ответ сервера слишком велик.", tooLong.substr(0, 16 << 20), ""},
      {"cut off in the body", Utf8ToString(FServer->PriceListUrl()), "", nullptr,
       u"Сбой при скачивании данных. Ответ сервера получен не полностью.", "MinPrice=50\r\n", "MinPrice=50\r\n"},
  };
  Owned<TUploader> uploader = NewUploader();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FServer->SetPriceList(c.priceList);
    FServer->ClearFaults();
    if (!c.cutReply.empty())
      FServer->AddFault({.Kind = TRequestKind::PriceList, .Action = TFaultAction::CutShort, .Reply = c.cutReply});
    Owned<TMemoryStream> stream(TMemoryStream::New());
    stream->WriteBytes(stale);
    String response;
    EXPECT_FALSE(uploader->DownloadURL(c.url, stream.get(), response));
    ExpectFailureText(response, c.prefix, c.exact);
    EXPECT_TRUE(stream->Bytes() == c.kept) << stream->GetSize() << " bytes kept";
  }
}

TEST_F(UploaderTest, ThePathTravelsAsGiven) {
  // The lab's script may sit behind a path the server itself resolves; the client sends it untouched.
  const String base = Utf8ToString(FServer->BaseUrl());
  Owned<TUploader> uploader = StartedUploader();
  FServer->ClearRequests();
  String response;
  UploadScriptURL = base + u"/a/../cgi/./up.php";
  EXPECT_FALSE(uploader->PostText(u"text", response));
  Owned<TMemoryStream> stream(TMemoryStream::New());
  EXPECT_FALSE(uploader->DownloadURL(base + u"/b/./../params.cfg", stream.get(), response));
  auto records = FServer->Requests();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Method, "POST");
  EXPECT_EQ(records[0].Target, "/a/../cgi/./up.php");
  EXPECT_EQ(records[1].Method, "GET");
  EXPECT_EQ(records[1].Target, "/b/./../params.cfg");
}
