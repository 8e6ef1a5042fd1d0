#include "labserver/LabServer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <tuple>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace labserver {

namespace fs = std::filesystem;

namespace {

// cpp-httplib reads a multipart body into its own parts and drops the raw bytes, which the record
// must keep; so the original Content-Type is moved aside before routing and put back in the record.
constexpr const char* kSavedContentType = "X-Labserver-Content-Type";
constexpr const char* kTextPlain = "text/plain; charset=utf-8";

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// A plain decimal number as the program sends it: no sign, blanks or padding zeros (a padded
// order number is the program's fault, and is refused so that tests see it).
bool ParseNumber(const std::string& s, int& value) {
  if (s.empty() || s.size() > 9 || (s.size() > 1 && s[0] == '0')) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  value = std::stoi(s);
  return true;
}

std::string Padded(int number, int digits) {
  std::string s = std::to_string(number);
  if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
  return s;
}

// The size caption goes into a file name: no separators or control characters.
std::string SafeFilePart(const std::string& s) {
  std::string out;
  for (unsigned char c : s)
    out += (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
            c == '"' || c == '<' || c == '>' || c == '|')
               ? '_'
               : static_cast<char>(c);
  if (out.empty() || out == "." || out == "..") out = "_";
  return out;
}

bool IsPaper(const std::string& s) {
  return s == "glossy" || s == "matte" || s == "silk" || s == "pearl";
}

int PaperOrder(const std::string& s) {
  if (s == "glossy") return 0;
  if (s == "matte") return 1;
  if (s == "silk") return 2;
  return 3;
}

// The server's end of the connection of a request: the loopback socket whose local port is the
// server's and whose peer port is the client's. cpp-httplib does not hand it to handlers, and the
// delay and close faults need it.
int FindServerSocket(int localPort, int remotePort) {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int found = -1;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    int fd = std::atoi(e->d_name);
    if (fd == dirfd(dir)) continue;
    sockaddr_in local{}, peer{};
    socklen_t len = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0 || local.sin_family != AF_INET)
      continue;
    len = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 || peer.sin_family != AF_INET)
      continue;
    if (ntohs(local.sin_port) == localPort && ntohs(peer.sin_port) == remotePort) {
      found = fd;
      break;
    }
  }
  closedir(dir);
  return found;
}

// Waits up to `ms` for the peer to close; true when it did.
bool PeerClosed(int fd, int ms) {
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  int r = poll(&p, 1, ms);
  if (r <= 0) return false;
  if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) return true;
  char c;
  ssize_t n = recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n == 0) return true;
  if (n > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));  // data, not a close
  return false;
}

const char* FaultName(TFaultAction a) {
  switch (a) {
    case TFaultAction::Refuse: return "Refuse";
    case TFaultAction::Reply: return "Reply";
    case TFaultAction::Status: return "Status";
    case TFaultAction::CloseConnection: return "CloseConnection";
    case TFaultAction::Delay: return "Delay";
    case TFaultAction::OmitOrderNumber: return "OmitOrderNumber";
    case TFaultAction::ZeroOrderNumber: return "ZeroOrderNumber";
    case TFaultAction::OmitOrderDigits: return "OmitOrderDigits";
    case TFaultAction::OrderDigits: return "OrderDigits";
    case TFaultAction::Trickle: return "Trickle";
    case TFaultAction::CutShort: return "CutShort";
  }
  return "";
}

bool KindMatches(TRequestKind rule, TRequestKind kind) {
  if (rule == TRequestKind::Any) return true;
  if (rule == TRequestKind::AnyUpload)
    return kind == TRequestKind::Start || kind == TRequestKind::Photo ||
           kind == TRequestKind::Text || kind == TRequestKind::Commit ||
           kind == TRequestKind::Rollback || kind == TRequestKind::Upload;
  return rule == kind;
}

struct TOutcome {
  int Status{200};
  std::string Reply;
  std::string ContentType{kTextPlain};
};

struct TOrder {
  int Number{0};
  std::string Transaction;
  TOrderState State{TOrderState::Open};
  std::map<std::tuple<int, std::string, int>, TPhotoInfo> Photos;
  std::optional<std::string> Text;
};

}  // namespace

const char* KindName(TRequestKind kind) {
  switch (kind) {
    case TRequestKind::PriceList: return "PriceList";
    case TRequestKind::Installer: return "Installer";
    case TRequestKind::Manual: return "Manual";
    case TRequestKind::Site: return "Site";
    case TRequestKind::Start: return "Start";
    case TRequestKind::Photo: return "Photo";
    case TRequestKind::Text: return "Text";
    case TRequestKind::Commit: return "Commit";
    case TRequestKind::Rollback: return "Rollback";
    case TRequestKind::Upload: return "Upload";
    case TRequestKind::Other: return "Other";
    case TRequestKind::AnyUpload: return "AnyUpload";
    case TRequestKind::Any: return "Any";
  }
  return "";
}

std::string TRecordedRequest::Header(const std::string& name) const {
  for (const auto& [n, v] : Headers)
    if (EqualsNoCase(n, name)) return v;
  return {};
}

const TFormField* TRecordedRequest::Field(const std::string& name) const {
  for (const auto& f : Fields)
    if (f.Name == name) return &f;
  return nullptr;
}

std::string TRecordedRequest::FieldText(const std::string& name) const {
  const TFormField* f = Field(name);
  return f ? f->Text : std::string();
}

struct TLabServer::Impl {
  TLabServerOptions Options;
  httplib::Server Server;
  std::thread Thread;
  std::atomic<bool> Stopping{false};
  std::atomic<int> BoundPort{0};
  std::atomic<bool> ListenEnded{false};

  mutable std::mutex Mutex;
  mutable std::condition_variable RecordChanged;
  std::vector<TRecordedRequest> Records;
  std::vector<TFault> Faults;
  std::map<int, TOrder> Orders;
  int NextOrder{1};

  std::string Base() const { return "http://127.0.0.1:" + std::to_string(BoundPort.load()); }
  fs::path Folder(int number) const {
    return Options.OrdersDir / Padded(number, Options.OrderDigits);
  }

  void Install();
  void Handle(const httplib::Request& req, httplib::Response& res);
  TRecordedRequest Describe(const httplib::Request& req) const;
  std::optional<TFault> TakeFault(TRequestKind kind);
  void Update(size_t index, const std::function<void(TRecordedRequest&)>& change);
  TOutcome Process(const TRecordedRequest& r, const TFault* startFault);
  TOutcome Start(const TRecordedRequest& r, const TFault* startFault);
  TOutcome Photo(const TRecordedRequest& r);
  TOutcome Text(const TRecordedRequest& r);
  TOutcome Commit(const TRecordedRequest& r);
  TOutcome Rollback(const TRecordedRequest& r);
  // The order a commit or rollback names, when its number and transaction match one; otherwise
  // nil and the refusal to answer. The caller holds Mutex.
  TOrder* TransactionOrder(const TRecordedRequest& r, TOutcome& refusal);
  bool WriteOrder(const TOrder& order, std::string& error);
  // Answers 200 with `reply`, one byte every `intervalMs`; the record is finished when the last
  // byte went, the client closed or the server stops.
  void Trickle(size_t index, int fd, std::string reply, int64_t intervalMs, httplib::Response& res);
  // Answers 200 declaring one byte more than `reply`, sends `reply` and closes the connection.
  void CutShort(size_t index, std::string reply, httplib::Response& res);
};

void TLabServer::Impl::CutShort(size_t index, std::string reply, httplib::Response& res) {
  res.status = 200;
  Update(index, [&](TRecordedRequest& r) {
    r.Status = 200;
    r.Reply = reply;
  });
  auto body = std::make_shared<std::string>(std::move(reply));
  // The provider's refusal makes the server close the connection with the body unfinished.
  res.set_content_provider(
      body->size() + 1, kTextPlain,
      [body](size_t offset, size_t, httplib::DataSink& sink) {
        return offset < body->size() && sink.write(body->data() + offset, body->size() - offset);
      },
      [this, index](bool) { Update(index, [](TRecordedRequest& r) { r.Finished = true; }); });
}

void TLabServer::Impl::Trickle(size_t index, int fd, std::string reply, int64_t intervalMs,
                               httplib::Response& res) {
  res.status = 200;
  Update(index, [&](TRecordedRequest& r) {
    r.Status = 200;
    r.Reply = reply;
  });
  auto body = std::make_shared<std::string>(std::move(reply));
  res.set_content_provider(
      body->size(), kTextPlain,
      [this, fd, body, intervalMs](size_t offset, size_t, httplib::DataSink& sink) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(intervalMs);
        while (std::chrono::steady_clock::now() < until) {
          if (Stopping) return false;
          if (fd >= 0 ? PeerClosed(fd, 10) : (std::this_thread::sleep_for(std::chrono::milliseconds(10)), false))
            return false;
        }
        return sink.write(body->data() + offset, 1);
      },
      [this, index](bool success) {
        Update(index, [&](TRecordedRequest& r) {
          r.ClientClosedEarly = r.ClientClosedEarly || !success;
          r.Finished = true;
        });
      });
}

void TLabServer::Impl::Install() {
  Server.new_task_queue = [] { return new httplib::ThreadPool(16); };
  Server.set_keep_alive_max_count(1000);
  Server.set_keep_alive_timeout(5);
  Server.set_read_timeout(10);
  Server.set_write_timeout(10);
  Server.set_payload_max_length(size_t{512} << 20);
  Server.set_pre_routing_handler([](const httplib::Request& creq, httplib::Response&) {
    // The request object is the server's own, not const; only the handler's view of it is.
    auto& req = const_cast<httplib::Request&>(creq);
    auto it = req.headers.find("Content-Type");
    if (it != req.headers.end() && StartsWithNoCase(it->second, "multipart/")) {
      std::string original = it->second;
      req.headers.erase(it);
      req.headers.emplace("Content-Type", "application/octet-stream");
      req.headers.emplace(kSavedContentType, original);
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  auto handler = [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); };
  Server.Get(".*", handler);
  Server.Post(".*", handler);
}

TRecordedRequest TLabServer::Impl::Describe(const httplib::Request& req) const {
  TRecordedRequest r;
  r.Method = req.method;
  r.Path = req.path;
  r.Target = req.target;
  std::string saved = req.get_header_value(kSavedContentType);
  for (const auto& [name, value] : req.headers) {
    if (EqualsNoCase(name, kSavedContentType)) continue;
    if (!saved.empty() && EqualsNoCase(name, "Content-Type"))
      r.Headers.emplace_back(name, saved);
    else
      r.Headers.emplace_back(name, value);
  }
  r.Body = req.body;
  std::string boundary = MultipartBoundary(r.Header("Content-Type"));
  if (!boundary.empty()) r.MultipartOk = ParseMultipart(r.Body, boundary, r.Fields);

  if (req.method == "GET" && req.path == kPriceListPath) r.Kind = TRequestKind::PriceList;
  else if (req.method == "GET" && req.path == kInstallerPath) r.Kind = TRequestKind::Installer;
  else if (req.method == "GET" && req.path == kManualPath) r.Kind = TRequestKind::Manual;
  else if (req.method == "GET" && req.path == "/") r.Kind = TRequestKind::Site;
  else if (req.path == kUploadPath) {
    r.Kind = TRequestKind::Upload;
    if (req.method == "POST" && r.MultipartOk) {
      if (const TFormField* action = r.Field("action")) {
        if (action->Value == "start") r.Kind = TRequestKind::Start;
        else if (action->Value == "commit") r.Kind = TRequestKind::Commit;
        else if (action->Value == "rollback") r.Kind = TRequestKind::Rollback;
      } else if (r.Field("photo")) {
        r.Kind = TRequestKind::Photo;
      } else if (r.Field("text")) {
        r.Kind = TRequestKind::Text;
      }
    }
  } else {
    r.Kind = TRequestKind::Other;
  }
  // The lab's rule: the photo request carries its text in the code page the price list came in,
  // every other request UTF-8.
  for (auto& f : r.Fields) {
    if (!f.FileName.empty()) continue;
    f.Text = r.Kind == TRequestKind::Photo ? Cp1251ToUtf8(f.Value) : f.Value;
  }
  return r;
}

std::optional<TFault> TLabServer::Impl::TakeFault(TRequestKind kind) {
  for (auto& f : Faults) {
    if (f.Count == 0 || !KindMatches(f.Kind, kind)) continue;
    bool startOnly = f.Action == TFaultAction::OmitOrderNumber ||
                     f.Action == TFaultAction::ZeroOrderNumber ||
                     f.Action == TFaultAction::OmitOrderDigits ||
                     f.Action == TFaultAction::OrderDigits;
    if (startOnly && kind != TRequestKind::Start) continue;
    if (f.Count > 0) --f.Count;
    return f;
  }
  return std::nullopt;
}

void TLabServer::Impl::Update(size_t index, const std::function<void(TRecordedRequest&)>& change) {
  {
    std::lock_guard lock(Mutex);
    change(Records[index]);
  }
  RecordChanged.notify_all();
}

void TLabServer::Impl::Handle(const httplib::Request& req, httplib::Response& res) {
  TRecordedRequest described = Describe(req);
  size_t index;
  std::optional<TFault> fault;
  {
    std::lock_guard lock(Mutex);
    described.Sequence = static_cast<int>(Records.size()) + 1;
    fault = TakeFault(described.Kind);
    if (fault) described.FaultApplied = FaultName(fault->Action);
    index = Records.size();
    Records.push_back(described);
  }
  RecordChanged.notify_all();

  // Looked up once: the search walks every descriptor of the process, and the connection keeps
  // its descriptor until the handler returns.
  const int fd = FindServerSocket(req.local_port, req.remote_port);
  // The record is complete before the client can see the connection go.
  auto noReply = [&](bool clientClosed) {
    Update(index, [&](TRecordedRequest& r) {
      r.ClientClosedEarly = r.ClientClosedEarly || clientClosed;
      r.Finished = true;
    });
    if (fd >= 0) shutdown(fd, SHUT_RDWR);
    res.status = 500;  // never reaches the client: the connection is gone
  };

  if (fault && fault->Action == TFaultAction::Delay) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(fault->DelayMs);
    while (!Stopping && std::chrono::steady_clock::now() < deadline) {
      if (fd < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      } else if (PeerClosed(fd, 20)) {
        noReply(true);
        return;
      }
    }
    if (Stopping) {
      noReply(false);
      return;
    }
    fault.reset();
  }

  TOutcome out;
  const TFault* startFault = nullptr;
  bool apply = true;
  if (fault) {
    switch (fault->Action) {
      case TFaultAction::Refuse:
        apply = false;
        break;
      case TFaultAction::Reply:
      case TFaultAction::Status:
      case TFaultAction::CloseConnection:
      case TFaultAction::Trickle:
      case TFaultAction::CutShort:
        apply = fault->Apply;
        break;
      default:
        startFault = &*fault;
        break;
    }
  }
  if (apply) out = Process(described, startFault);
  if (fault) {
    switch (fault->Action) {
      case TFaultAction::Refuse:
        out = TOutcome{200, fault->Reply.empty() ? "ERROR: refused" : fault->Reply};
        break;
      case TFaultAction::Reply:
        out = TOutcome{200, fault->Reply};
        break;
      case TFaultAction::Status:
        out = TOutcome{fault->Status, ""};
        break;
      case TFaultAction::CloseConnection:
        noReply(false);
        return;
      case TFaultAction::Trickle:
        Trickle(index, fd, fault->Reply.empty() ? "OK" : fault->Reply, fault->DelayMs, res);
        return;
      case TFaultAction::CutShort:
        CutShort(index, fault->Reply.empty() ? "OK" : fault->Reply, res);
        return;
      default:
        break;
    }
  }

  const bool closed = fd >= 0 && PeerClosed(fd, 0);
  res.status = out.Status;
  if (!out.Reply.empty() || out.Status == 200) res.set_content(out.Reply, out.ContentType.c_str());
  Update(index, [&](TRecordedRequest& r) {
    r.Status = out.Status;
    r.Reply = out.Reply;
    r.ClientClosedEarly = closed;
    r.Finished = true;
  });
}

TOutcome TLabServer::Impl::Process(const TRecordedRequest& r, const TFault* startFault) {
  switch (r.Kind) {
    case TRequestKind::PriceList: {
      std::string list;
      {
        std::lock_guard lock(Mutex);
        list = Options.PriceList;
      }
      const std::string token = kAddressPlaceholder;
      const std::string base = Base();
      for (size_t at = list.find(token); at != std::string::npos;
           at = list.find(token, at + base.size()))
        list.replace(at, token.size(), base);
      return TOutcome{200, list, "text/plain"};
    }
    case TRequestKind::Installer:
      return TOutcome{200, std::string("MZ stand-in installer of the lab server\r\n"),
                      "application/octet-stream"};
    case TRequestKind::Manual:
      return TOutcome{200,
                      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Manual</title>"
                      "</head><body><p>The program's manual.</p></body></html>\n",
                      "text/html; charset=utf-8"};
    case TRequestKind::Site:
      return TOutcome{200,
                      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Lab</title>"
                      "</head><body><p>The lab's site.</p></body></html>\n",
                      "text/html; charset=utf-8"};
    case TRequestKind::Start: return Start(r, startFault);
    case TRequestKind::Photo: return Photo(r);
    case TRequestKind::Text: return Text(r);
    case TRequestKind::Commit: return Commit(r);
    case TRequestKind::Rollback: return Rollback(r);
    case TRequestKind::Upload:
      return TOutcome{200, r.MultipartOk ? "ERROR: unknown request" : "ERROR: not a form"};
    default:
      return TOutcome{404, "Not Found"};
  }
}

TOutcome TLabServer::Impl::Start(const TRecordedRequest& r, const TFault* startFault) {
  std::string transaction = r.FieldText("transaction");
  if (transaction.empty()) return TOutcome{200, "ERROR: no transaction"};
  int number;
  {
    std::lock_guard lock(Mutex);
    number = NextOrder;
    std::error_code ec;
    while (Orders.count(number) || fs::exists(Folder(number), ec)) ++number;
    NextOrder = number + 1;
    TOrder order;
    order.Number = number;
    order.Transaction = transaction;
    Orders[number] = std::move(order);
  }
  std::string numberLine = "order_number=" + std::to_string(number);
  std::string digitsLine = "order_digits=" + std::to_string(Options.OrderDigits);
  if (startFault) {
    switch (startFault->Action) {
      case TFaultAction::OmitOrderNumber: numberLine.clear(); break;
      case TFaultAction::ZeroOrderNumber: numberLine = "order_number=0"; break;
      case TFaultAction::OmitOrderDigits: digitsLine.clear(); break;
      case TFaultAction::OrderDigits: digitsLine = "order_digits=" + startFault->Reply; break;
      default: break;
    }
  }
  std::string reply = numberLine;
  if (!digitsLine.empty()) reply += (reply.empty() ? "" : "\r\n") + digitsLine;
  return TOutcome{200, reply};
}

TOutcome TLabServer::Impl::Photo(const TRecordedRequest& r) {
  int number, index, count;
  if (!ParseNumber(r.FieldText("order_number"), number)) return {200, "ERROR: bad order number"};
  TPhotoInfo photo;
  photo.Paper = r.FieldText("paper_type");
  photo.SizeName = r.FieldText("paper_size");
  if (!IsPaper(photo.Paper)) return {200, "ERROR: unknown paper"};
  if (photo.SizeName.empty()) return {200, "ERROR: no size"};
  if (!ParseNumber(r.FieldText("photo_index"), index) || index < 1)
    return {200, "ERROR: bad photo index"};
  if (!ParseNumber(r.FieldText("photo_count"), count) || count < 1)
    return {200, "ERROR: bad photo count"};
  const TFormField* file = r.Field("photo");
  if (!file || file->FileName.empty()) return {200, "ERROR: no photo"};
  photo.Index = index;
  photo.Count = count;
  photo.Jpeg = file->Value;
  photo.FileName = photo.Paper + "_" + SafeFilePart(photo.SizeName) + "_" + std::to_string(index) +
                   "_x" + std::to_string(count) + ".jpg";
  std::lock_guard lock(Mutex);
  auto it = Orders.find(number);
  if (it == Orders.end() || it->second.State != TOrderState::Open)
    return {200, "ERROR: no open order " + std::to_string(number)};
  // A retry after a lost reply sends the same paper, size and index again: it replaces.
  it->second.Photos[{PaperOrder(photo.Paper), photo.SizeName, index}] = std::move(photo);
  return {200, "OK"};
}

TOutcome TLabServer::Impl::Text(const TRecordedRequest& r) {
  int number;
  if (!ParseNumber(r.FieldText("order_number"), number)) return {200, "ERROR: bad order number"};
  std::lock_guard lock(Mutex);
  auto it = Orders.find(number);
  if (it == Orders.end() || it->second.State != TOrderState::Open)
    return {200, "ERROR: no open order " + std::to_string(number)};
  it->second.Text = r.FieldText("text");
  return {200, "OK"};
}

TOrder* TLabServer::Impl::TransactionOrder(const TRecordedRequest& r, TOutcome& refusal) {
  int number;
  if (!ParseNumber(r.FieldText("order_number"), number)) {
    refusal = {200, "ERROR: bad order number"};
    return nullptr;
  }
  auto it = Orders.find(number);
  if (it == Orders.end()) {
    refusal = {200, "ERROR: no order " + std::to_string(number)};
    return nullptr;
  }
  if (it->second.Transaction != r.FieldText("transaction")) {
    refusal = {200, "ERROR: wrong transaction"};
    return nullptr;
  }
  return &it->second;
}

TOutcome TLabServer::Impl::Commit(const TRecordedRequest& r) {
  std::lock_guard lock(Mutex);
  TOutcome refusal;
  TOrder* found = TransactionOrder(r, refusal);
  if (!found) return refusal;
  TOrder& order = *found;
  if (order.State == TOrderState::Committed) return {200, "OK"};
  if (order.State == TOrderState::RolledBack)
    return {200, "ERROR: order " + std::to_string(order.Number) + " was rolled back"};
  std::string error;
  if (!WriteOrder(order, error)) return {500, "ERROR: " + error};
  order.State = TOrderState::Committed;
  return {200, "OK"};
}

TOutcome TLabServer::Impl::Rollback(const TRecordedRequest& r) {
  std::lock_guard lock(Mutex);
  TOutcome refusal;
  TOrder* found = TransactionOrder(r, refusal);
  if (!found) return refusal;
  TOrder& order = *found;
  if (order.State == TOrderState::Committed)
    return {200, "ERROR: order " + std::to_string(order.Number) + " is committed"};
  order.State = TOrderState::RolledBack;
  order.Photos.clear();
  order.Text.reset();
  return {200, "OK"};
}

bool TLabServer::Impl::WriteOrder(const TOrder& order, std::string& error) {
  // Written under another name and renamed, so a half-written order never shows as a folder.
  std::error_code ec;
  fs::create_directories(Options.OrdersDir, ec);
  fs::path target = Folder(order.Number);
  if (fs::exists(target, ec)) {
    error = "order folder exists";
    return false;
  }
  fs::path temp = Options.OrdersDir /
                  (".writing-" + std::to_string(order.Number) + "-" +
                   std::to_string(std::random_device{}()));
  if (!fs::create_directory(temp, ec)) {
    error = "cannot make " + temp.string();
    return false;
  }
  auto write = [&](const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
  };
  bool ok = true;
  for (const auto& [key, photo] : order.Photos) ok = ok && write(temp / photo.FileName, photo.Jpeg);
  if (order.Text) ok = ok && write(temp / "order.txt", *order.Text);
  if (ok) {
    fs::rename(temp, target, ec);
    ok = !ec;
  }
  if (!ok) {
    fs::remove_all(temp, ec);
    error = "cannot write the order";
  }
  return ok;
}

// ---- TLabServer ----

TLabServer::TLabServer(TLabServerOptions options) : FImpl(std::make_unique<Impl>()) {
  FImpl->Options = std::move(options);
  FImpl->NextOrder = std::max(1, FImpl->Options.FirstOrderNumber);
  FImpl->Install();
}

TLabServer::~TLabServer() { Stop(); }

bool TLabServer::Start(std::string* error) {
  if (FImpl->Thread.joinable()) return true;
  auto fail = [&](const std::string& text) {
    if (error) *error = text;
    return false;
  };
  std::error_code ec;
  if (!FImpl->Options.OrdersDir.empty()) fs::create_directories(FImpl->Options.OrdersDir, ec);
  int port = FImpl->Options.Port;
  if (port == 0) {
    port = FImpl->Server.bind_to_any_port("127.0.0.1");
    if (port <= 0) return fail("cannot bind 127.0.0.1");
  } else if (!FImpl->Server.bind_to_port("127.0.0.1", port)) {
    return fail("cannot bind 127.0.0.1:" + std::to_string(port));
  }
  FImpl->BoundPort = port;
  FImpl->Stopping = false;
  FImpl->ListenEnded = false;
  FImpl->Thread = std::thread([impl = FImpl.get()] {
    impl->Server.listen_after_bind();
    impl->ListenEnded = true;
  });
  // stop() is lost when it comes before the listening loop has begun.
  while (!FImpl->Server.is_running() && !FImpl->ListenEnded)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (FImpl->ListenEnded) {
    FImpl->Thread.join();
    return fail("the server did not start");
  }
  return true;
}

void TLabServer::Stop() {
  if (!FImpl->Thread.joinable()) return;
  FImpl->Stopping = true;
  FImpl->Server.stop();
  FImpl->Thread.join();
}

bool TLabServer::Running() const { return FImpl->Thread.joinable() && FImpl->Server.is_running(); }
int TLabServer::Port() const { return FImpl->BoundPort; }
std::string TLabServer::BaseUrl() const { return FImpl->Base(); }
std::string TLabServer::UploadUrl() const { return FImpl->Base() + kUploadPath; }
std::string TLabServer::PriceListUrl() const { return FImpl->Base() + kPriceListPath; }

void TLabServer::SetPriceList(std::string bytes) {
  std::lock_guard lock(FImpl->Mutex);
  FImpl->Options.PriceList = std::move(bytes);
}

void TLabServer::AddFault(TFault fault) {
  std::lock_guard lock(FImpl->Mutex);
  FImpl->Faults.push_back(std::move(fault));
}

void TLabServer::ClearFaults() {
  std::lock_guard lock(FImpl->Mutex);
  FImpl->Faults.clear();
}

void TLabServer::RefuseFirst(TRequestKind kind, int count, std::string reply) {
  AddFault({.Kind = kind, .Action = TFaultAction::Refuse, .Count = count, .Reply = std::move(reply)});
}

void TLabServer::ReplyWith(TRequestKind kind, std::string reply, int count) {
  AddFault({.Kind = kind, .Action = TFaultAction::Reply, .Count = count, .Reply = std::move(reply)});
}

void TLabServer::AnswerStatus(TRequestKind kind, int status, int count) {
  AddFault({.Kind = kind, .Action = TFaultAction::Status, .Count = count, .Status = status});
}

void TLabServer::CloseConnection(TRequestKind kind, int count, bool apply) {
  AddFault({.Kind = kind, .Action = TFaultAction::CloseConnection, .Count = count, .Apply = apply});
}

void TLabServer::DelayReply(TRequestKind kind, int64_t delayMs, int count) {
  AddFault({.Kind = kind, .Action = TFaultAction::Delay, .Count = count, .DelayMs = delayMs});
}

void TLabServer::TrickleReply(TRequestKind kind, std::string reply, int64_t intervalMs, int count, bool apply) {
  AddFault({.Kind = kind,
            .Action = TFaultAction::Trickle,
            .Count = count,
            .Reply = std::move(reply),
            .DelayMs = intervalMs,
            .Apply = apply});
}

std::vector<TRecordedRequest> TLabServer::Requests() const {
  std::lock_guard lock(FImpl->Mutex);
  return FImpl->Records;
}

std::vector<TRecordedRequest> TLabServer::Requests(TRequestKind kind) const {
  std::lock_guard lock(FImpl->Mutex);
  std::vector<TRecordedRequest> out;
  for (const auto& r : FImpl->Records)
    if (KindMatches(kind, r.Kind)) out.push_back(r);
  return out;
}

size_t TLabServer::RequestCount() const {
  std::lock_guard lock(FImpl->Mutex);
  return FImpl->Records.size();
}

void TLabServer::ClearRequests() {
  std::lock_guard lock(FImpl->Mutex);
  FImpl->Records.clear();
}

bool TLabServer::WaitForRecord(
    const std::function<bool(const std::vector<TRecordedRequest>&)>& done,
    int64_t timeoutMs) const {
  std::unique_lock lock(FImpl->Mutex);
  return FImpl->RecordChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [&] { return done(FImpl->Records); });
}

TOrderInfo TLabServer::Order(int number) const {
  std::lock_guard lock(FImpl->Mutex);
  TOrderInfo info;
  info.Number = number;
  info.Folder = FImpl->Folder(number);
  auto it = FImpl->Orders.find(number);
  if (it == FImpl->Orders.end()) return info;
  info.Transaction = it->second.Transaction;
  info.State = it->second.State;
  for (const auto& [key, photo] : it->second.Photos) info.Photos.push_back(photo);
  info.Text = it->second.Text;
  return info;
}

std::vector<int> TLabServer::OrderNumbers() const {
  std::lock_guard lock(FImpl->Mutex);
  std::vector<int> out;
  for (const auto& [n, order] : FImpl->Orders) out.push_back(n);
  return out;
}

std::filesystem::path TLabServer::OrdersDir() const { return FImpl->Options.OrdersDir; }
std::filesystem::path TLabServer::OrderFolder(int number) const { return FImpl->Folder(number); }

}  // namespace labserver
