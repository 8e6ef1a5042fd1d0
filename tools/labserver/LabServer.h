#pragma once
// A stand-in for the lab's web server, for tests and the demo. It listens on 127.0.0.1 only and
// serves:
//   GET  /UserFiles/Image/params3.cfg  the price list, with every "{{LAB}}" replaced by the
//                                      server's own address ("http://127.0.0.1:PORT")
//   GET  /UserFiles/Image/Selvana.exe  stub bytes standing in for the installer
//   GET  /manual.htm, GET /            small HTML pages (the manual and the lab's site)
//   POST /upload3.php                  the order protocol (multipart/form-data, any boundary)
//
// The upload script: "start" allocates an order number and answers
// "order_number=N" CR LF "order_digits=D". Photos (keyed by paper, size and index) and the customer
// text of an open order are kept in memory; a photo or text sent again replaces the earlier one.
// "commit" writes the order folder <orders>/<number padded to D digits>/ holding one file
// "<paper>_<size>_<index>_x<count>.jpg" per photo and "order.txt" (the customer text in UTF-8);
// a repeated commit is answered "OK". "rollback" forgets an open order (nothing reaches the disk)
// and is refused after a commit. Every accepted request is answered "OK"; a refused one
// "ERROR: <reason>"; numbers are taken in plain decimal only, so a padded "order_number" is
// refused. The photo request's text fields travel in Windows-1251, the other requests'
// in UTF-8; the record keeps both the raw bytes and the text decoded to UTF-8.
//
// Faults make the server misbehave on purpose; every request is recorded. All members are
// thread-safe. The server stops when Stop() is called or the object is destroyed; a reply it is
// delaying ends at once then.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace labserver {

// The placeholder of the price list that becomes the server's own address.
inline constexpr const char* kAddressPlaceholder = "{{LAB}}";
inline constexpr const char* kPriceListPath = "/UserFiles/Image/params3.cfg";
inline constexpr const char* kInstallerPath = "/UserFiles/Image/Selvana.exe";
inline constexpr const char* kManualPath = "/manual.htm";
inline constexpr const char* kUploadPath = "/upload3.php";

// What a request was, as the server understood it.
enum class TRequestKind {
  PriceList,
  Installer,
  Manual,
  Site,
  Start,     // upload script, action "start"
  Photo,     // upload script, a request with a "photo" part
  Text,      // upload script, a request with a "text" field
  Commit,    // upload script, action "commit"
  Rollback,  // upload script, action "rollback"
  Upload,    // upload script, none of the above (refused)
  Other,     // any other path (404)
  // Only for fault rules:
  AnyUpload,  // Start, Photo, Text, Commit, Rollback or Upload
  Any,
};

const char* KindName(TRequestKind kind);

// One part of a multipart/form-data body.
struct TFormField {
  std::string Name;
  std::string FileName;     // empty for text fields
  std::string ContentType;  // the part's Content-Type, empty when it had none
  std::string Value;        // the part's bytes as sent
  std::string Text;         // text fields: Value decoded to UTF-8 (Windows-1251 for the photo request)
};

struct TRecordedRequest {
  int Sequence{0};  // 1, 2, ... in the order the requests arrived
  TRequestKind Kind{TRequestKind::Other};
  std::string Method;
  std::string Path;    // without the query
  std::string Target;  // as in the request line, query included
  std::vector<std::pair<std::string, std::string>> Headers;  // names as sent, sorted by name
  std::string Body;    // the raw body
  std::vector<TFormField> Fields;  // in body order; empty when the body was not multipart
  bool MultipartOk{false};         // the body parsed as multipart/form-data
  std::string FaultApplied;        // name of the fault that acted on it ("" when none)
  int Status{0};                   // status answered (0 when no reply was sent)
  std::string Reply;               // body answered
  bool ClientClosedEarly{false};   // the client closed the connection before the reply was sent
  bool Finished{false};            // the server is done with it

  // First header with this name (case-insensitive), empty when absent.
  std::string Header(const std::string& name) const;
  // First field with this name, null when absent.
  const TFormField* Field(const std::string& name) const;
  // Text of the first field with this name, empty when absent.
  std::string FieldText(const std::string& name) const;
};

enum class TFaultAction {
  Refuse,           // answer 200 with `Reply` (default "ERROR: refused"); the request has no effect
  Reply,            // answer 200 with `Reply` (e.g. "OK\n", "ok")
  Status,           // answer `Status` (404 "Not Found", 500 "Internal Server Error", ...)
  CloseConnection,  // close the connection without a reply
  Delay,            // hold the reply for `DelayMs` (ended early by Stop() or by the client closing),
                    // then answer normally
  OmitOrderNumber,  // start: the reply has no "order_number" line
  ZeroOrderNumber,  // start: "order_number=0"
  OmitOrderDigits,  // start: the reply has no "order_digits" line
  OrderDigits,      // start: "order_digits=" followed by `Reply` (e.g. "99999999999")
  Trickle,          // answer 200 whose body (`Reply`, default "OK") comes one byte every `DelayMs`,
                    // its whole length declared up front; ends with the client or Stop()
  CutShort,         // answer 200 declaring one byte more than `Reply` (default "OK") holds, send
                    // `Reply`, then close the connection: a reply cut off in its body
};

struct TFault {
  TRequestKind Kind{TRequestKind::AnyUpload};  // which requests it acts on
  TFaultAction Action{TFaultAction::Refuse};
  int Count{1};          // how many matching requests it acts on; -1: all of them
  int Status{500};       // for Status
  std::string Reply;     // for Refuse, Reply, OrderDigits, Trickle and CutShort
  int64_t DelayMs{0};    // for Delay
  // For Reply, Status, CloseConnection, Trickle and CutShort: whether the request still takes
  // effect (a photo stored whose reply is then lost). Start faults always allocate the order;
  // Refuse never applies.
  bool Apply{false};
};

enum class TOrderState { Unknown, Open, Committed, RolledBack };

struct TPhotoInfo {
  std::string Paper;      // "glossy", "matte", "silk", "pearl"
  std::string SizeName;   // UTF-8
  int Index{0};
  int Count{0};
  std::string Jpeg;
  std::string FileName;   // the file's name in the order folder
};

struct TOrderInfo {
  int Number{0};
  std::string Transaction;
  TOrderState State{TOrderState::Unknown};
  std::vector<TPhotoInfo> Photos;  // ordered by paper, size and index
  std::optional<std::string> Text;  // UTF-8
  std::filesystem::path Folder;     // where it is (or would be) written
};

struct TLabServerOptions {
  std::string PriceList;                  // the price list's bytes, served with the address put in
  std::filesystem::path OrdersDir;        // committed orders go here (made when missing)
  int Port{0};                            // 0: any free port
  int FirstOrderNumber{1};                // numbers already used in OrdersDir are skipped
  int OrderDigits{6};
};

class TLabServer {
public:
  explicit TLabServer(TLabServerOptions options);
  ~TLabServer();
  TLabServer(const TLabServer&) = delete;
  TLabServer& operator=(const TLabServer&) = delete;

  // Binds 127.0.0.1 and serves on a thread of its own. False (and `error`) when it cannot bind.
  bool Start(std::string* error = nullptr);
  void Stop();
  bool Running() const;

  int Port() const;
  std::string BaseUrl() const;      // "http://127.0.0.1:PORT"
  std::string UploadUrl() const;    // BaseUrl() + "/upload3.php"
  std::string PriceListUrl() const;

  void SetPriceList(std::string bytes);

  // ---- faults: rules are tried in the order added; the first that matches acts ----
  void AddFault(TFault fault);
  void ClearFaults();
  // Shorthands.
  void RefuseFirst(TRequestKind kind, int count, std::string reply = "ERROR: refused");
  void ReplyWith(TRequestKind kind, std::string reply, int count = -1);
  void AnswerStatus(TRequestKind kind, int status, int count = -1);
  void CloseConnection(TRequestKind kind, int count = -1, bool apply = false);
  void DelayReply(TRequestKind kind, int64_t delayMs, int count = -1);
  // Acts on the request (when `apply`), then trickles `reply` one byte every `intervalMs`.
  void TrickleReply(TRequestKind kind, std::string reply, int64_t intervalMs, int count = -1, bool apply = true);

  // ---- the record ----
  std::vector<TRecordedRequest> Requests() const;
  std::vector<TRecordedRequest> Requests(TRequestKind kind) const;
  size_t RequestCount() const;
  void ClearRequests();
  // Waits until `done` holds for the record, or `timeoutMs` passed (answers false then).
  bool WaitForRecord(const std::function<bool(const std::vector<TRecordedRequest>&)>& done,
                     int64_t timeoutMs) const;

  // ---- orders ----
  TOrderInfo Order(int number) const;
  std::vector<int> OrderNumbers() const;
  std::filesystem::path OrdersDir() const;
  std::filesystem::path OrderFolder(int number) const;

  struct Impl;

private:
  std::unique_ptr<Impl> FImpl;
};

// Helpers the server uses, offered to tests.
// Windows-1251 bytes to UTF-8.
std::string Cp1251ToUtf8(std::string_view bytes);
// The boundary parameter of a multipart Content-Type value (quotes removed), empty when none.
std::string MultipartBoundary(std::string_view contentType);
// Splits a multipart/form-data body; false when it is not well formed.
bool ParseMultipart(std::string_view body, std::string_view boundary, std::vector<TFormField>& fields);
// Reads a file's bytes; false when it cannot be read.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);

}  // namespace labserver
