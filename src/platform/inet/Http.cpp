// The HTTP client over libcurl's easy interface.
//
// Where a failure is reported (THttpStage), so that the protocol client can say "could not
// connect", "could not send" or "could not read the reply" as WinInet's callers did:
//
//   Connect  the address cannot be used or reached:
//              CURLE_UNSUPPORTED_PROTOCOL (a scheme other than http/https, also in a redirect),
//              CURLE_URL_MALFORMAT, CURLE_COULDNT_RESOLVE_HOST, CURLE_COULDNT_RESOLVE_PROXY,
//              CURLE_COULDNT_CONNECT, CURLE_TOO_MANY_REDIRECTS, and every TLS failure
//              (CURLE_SSL_CONNECT_ERROR, CURLE_PEER_FAILED_VERIFICATION, CURLE_SSL_CERTPROBLEM,
//              CURLE_SSL_CIPHER, CURLE_SSL_CACERT_BADFILE, CURLE_SSL_ISSUER_ERROR, ...);
//              any other failure, a timeout or a cancel, before the connection was made.
//   Send     the connection was made (or reused) but no status line came back: CURLE_SEND_ERROR,
//              CURLE_GOT_NOTHING (closed without a reply), CURLE_RECV_ERROR,
//              CURLE_WEIRD_SERVER_REPLY, CURLE_UNSUPPORTED_PROTOCOL for a reply that is not
//              HTTP ("HTTP/0.9"), CURLE_OPERATION_TIMEDOUT, a cancel, ... at that point.
//   Receive  a status line had arrived: any failure after it (CURLE_PARTIAL_FILE,
//              CURLE_RECV_ERROR, a timeout, a cancel), a connection closed inside the headers
//              (which libcurl itself lets pass), and a body longer than MaxBodyBytes.
//
// After a redirect the stage starts again from Connect for the new address.
// The error text is a short sentence in the customer's language, as the desktop's own network
// messages are (refused, host not found, timed out, secure connection failed, ...); libcurl's
// technical description goes to the error stream with the address, for whoever looks into it.

#include "platform/inet/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Strings.h"

namespace pf::inet {

namespace {

std::once_flag GlobalInitOnce;

bool IsSecureConnectionFailure(CURLcode code) {
  switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return true;
    default:
      return false;
  }
}

// Every TLS failure is one of connecting too.
bool IsConnectFailure(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_PROXY:
      return true;
    default:
      return IsSecureConnectionFailure(code);
  }
}

THttpError ErrorOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_CONNECT: return THttpError::ConnectionRefused;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return THttpError::HostNotFound;
    case CURLE_OPERATION_TIMEDOUT: return THttpError::TimedOut;
    default: return IsSecureConnectionFailure(code) ? THttpError::SecureConnection : THttpError::Other;
  }
}

// The customer's reason for a failure.
String ReasonText(THttpError error, THttpStage stage) {
  switch (error) {
    case THttpError::Cancelled: return u"Операция отменена.";
    case THttpError::TimedOut: return u"Сервер не ответил вовремя.";
    case THttpError::ConnectionRefused: return u"Сервер отказал в подключении.";
    case THttpError::HostNotFound: return u"Сервер с таким именем не найден.";
    case THttpError::SecureConnection: return u"Не удалось установить защищённое соединение с сервером.";
    case THttpError::ReplyTooLong: return u"Ответ сервера слишком велик.";
    default: break;
  }
  switch (stage) {
    case THttpStage::Connect: return u"Адрес сервера недоступен.";
    case THttpStage::Send: return u"Соединение с сервером прервалось до получения ответа.";
    default: return u"Ответ сервера получен не полностью.";
  }
}

// Loopback is never sent through a proxy: a proxy cannot reach this machine's own services.
std::string NoProxyList() {
  const char* env = std::getenv("no_proxy");
  if (!env || !*env) env = std::getenv("NO_PROXY");
  std::string list = env ? env : "";
  if (list == "*") return list;
  if (!list.empty()) list += ",";
  return list + "localhost,127.0.0.1,::1";
}

}  // namespace

void GlobalInitialize() {
  std::call_once(GlobalInitOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct THttpSession::Impl {
  CURL* Curl{nullptr};
  std::string UserAgent;
  std::string NoProxy;
  THttpOptions Options;
  const std::atomic<bool>* Cancel{nullptr};

  // State of the running exchange, kept by libcurl's callbacks.
  THttpResult* Result{nullptr};
  Int64 BodySize{0};        // of the request
  Int64 Received{0};        // bytes of the reply (headers and body) so far
  Int64 StartedMs{0};       // on the layer's clock
  Int64 WindowStartMs{0};   // the reply rate's current window ...
  Int64 WindowBytes{0};     // ... and Received when it began
  bool TimedOut{false};
  bool Connected{false};    // a connection was made or reused for the current request
  bool StatusSeen{false};   // a status line of the current request's reply arrived
  bool HeadersDone{false};  // ... and the empty line that ends its headers
  int LastStatus{0};        // the code of the last status line
  bool FollowRedirects{false};
  bool Cancelled{false};
  bool TooLong{false};
  char ErrorBuffer[CURL_ERROR_SIZE]{};

  THttpResult Perform(const std::string& url, const std::string* headerLine, const RawBytes* body);
  void SetCommonOptions(const std::string& url);

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static int OnRequestReady(void* self, char*, char*, int, int);
};

size_t THttpSession::Impl::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* impl = static_cast<Impl*>(self);
  size_t n = size * count;
  impl->Received += static_cast<Int64>(n);
  std::string_view line(data, n);
  // Every reply of the exchange (an interim 1xx, a redirect, the final one) starts with its
  // status line; the last one is the reply the caller gets.
  if (line.substr(0, 5) == "HTTP/") {
    if (!impl->StatusSeen) {
      impl->WindowStartMs = clock::TickCount();
      impl->WindowBytes = impl->Received;
    }
    impl->StatusSeen = true;
    impl->HeadersDone = false;
    impl->LastStatus = 0;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    std::string_view reason;
    size_t afterVersion = line.find(' ');
    if (afterVersion != std::string_view::npos) {
      size_t afterCode = line.find(' ', afterVersion + 1);
      std::string_view code = line.substr(afterVersion + 1, afterCode - afterVersion - 1);
      if (code.size() == 3 && std::isdigit(static_cast<unsigned char>(code[0])))
        impl->LastStatus = std::atoi(std::string(code).c_str());
      if (afterCode != std::string_view::npos) reason = line.substr(afterCode + 1);
    }
    impl->Result->StatusText = Utf8ToString(reason);
  } else if (line == "\r\n" || line == "\n") {
    impl->HeadersDone = true;
    // libcurl goes on to the address the redirect names: that one starts from connecting again.
    int s = impl->LastStatus;
    if (impl->FollowRedirects && (s == 301 || s == 302 || s == 303 || s == 307 || s == 308))
      impl->Connected = impl->StatusSeen = false;
  }
  return n;
}

size_t THttpSession::Impl::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* impl = static_cast<Impl*>(self);
  size_t n = size * count;
  impl->Received += static_cast<Int64>(n);
  RawBytes& body = impl->Result->Body;
  if (body.size() + n > impl->Options.MaxBodyBytes) {
    body.append(data, impl->Options.MaxBodyBytes - body.size());
    impl->TooLong = true;
    return CURL_WRITEFUNC_ERROR;
  }
  body.append(data, n);
  return n;
}

int THttpSession::Impl::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* impl = static_cast<Impl*>(self);
  if (impl->Cancel && impl->Cancel->load()) {
    impl->Cancelled = true;
    return 1;
  }
  const THttpOptions& o = impl->Options;
  const Int64 now = clock::TickCount();
  const Int64 floor = std::max<Int64>(o.FloorBytesPerSecond, 1);
  const Int64 allowed = o.BaseDeadlineMs + (impl->BodySize + impl->Received) * 1000 / floor;
  if (now - impl->StartedMs > allowed) {
    impl->TimedOut = true;
    return 1;
  }
  if (impl->StatusSeen && o.ReplyRateWindowMs > 0 && now - impl->WindowStartMs >= o.ReplyRateWindowMs) {
    const Int64 expected = o.MinReplyBytesPerSecond * (now - impl->WindowStartMs) / 1000;
    if (impl->Received - impl->WindowBytes < expected) {
      impl->TimedOut = true;
      return 1;
    }
    impl->WindowStartMs = now;
    impl->WindowBytes = impl->Received;
  }
  return 0;
}

// Called once the connection stands (new or reused), right before each request of the
// exchange is sent, redirects included.
int THttpSession::Impl::OnRequestReady(void* self, char*, char*, int, int) {
  auto* impl = static_cast<Impl*>(self);
  impl->Connected = true;
  impl->StatusSeen = false;
  return CURL_PREREQFUNC_OK;
}

void THttpSession::Impl::SetCommonOptions(const std::string& url) {
  curl_easy_reset(Curl);
  curl_easy_setopt(Curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(Curl, CURLOPT_USERAGENT, UserAgent.c_str());
  curl_easy_setopt(Curl, CURLOPT_NOSIGNAL, 1L);
  // HTTP/2 has no reason phrase, and the lab's replies are read by it.
  curl_easy_setopt(Curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(Curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(Curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(Curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(Curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(Curl, CURLOPT_NOPROXY, NoProxy.c_str());
  curl_easy_setopt(Curl, CURLOPT_CONNECTTIMEOUT_MS, Options.ConnectTimeoutMs);
  // The lab's server may give "." and ".." in its script's path a meaning of its own.
  curl_easy_setopt(Curl, CURLOPT_PATH_AS_IS, 1L);
  // A request on a kept connection that fails before its reply is resent by libcurl on a new one,
  // unasked: the lab would see two requests for one attempt, and could store a photo twice. Each
  // request gets a connection of its own, which libcurl never resends on.
  curl_easy_setopt(Curl, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(Curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(Curl, CURLOPT_ERRORBUFFER, ErrorBuffer);
  curl_easy_setopt(Curl, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(Curl, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(Curl, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
  curl_easy_setopt(Curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(Curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(Curl, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
  curl_easy_setopt(Curl, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(Curl, CURLOPT_PREREQFUNCTION, &Impl::OnRequestReady);
  curl_easy_setopt(Curl, CURLOPT_PREREQDATA, this);
}

THttpResult THttpSession::Impl::Perform(const std::string& url, const std::string* headerLine,
                                        const RawBytes* body) {
  THttpResult result;
  if (!Curl || (Cancel && Cancel->load())) {
    result.FailedStage = THttpStage::Connect;
    result.Error = Curl ? THttpError::Cancelled : THttpError::Other;
    result.ErrorText = ReasonText(result.Error, result.FailedStage);
    return result;
  }
  Result = &result;
  Connected = StatusSeen = HeadersDone = Cancelled = TooLong = TimedOut = false;
  BodySize = body ? static_cast<Int64>(body->size()) : 0;
  Received = WindowBytes = 0;
  StartedMs = WindowStartMs = clock::TickCount();
  ErrorBuffer[0] = '\0';
  SetCommonOptions(url);

  // The lab's requests name no accept types; libcurl would send "Accept: */*" by itself.
  curl_slist* headers = curl_slist_append(nullptr, "Accept:");
  if (body) {
    curl_easy_setopt(Curl, CURLOPT_POST, 1L);
    curl_easy_setopt(Curl, CURLOPT_POSTFIELDS, body->data());
    curl_easy_setopt(Curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    curl_easy_setopt(Curl, CURLOPT_FOLLOWLOCATION, 0L);
    FollowRedirects = false;
    if (headerLine && !headerLine->empty()) headers = curl_slist_append(headers, headerLine->c_str());
    // libcurl would otherwise wait for "100 Continue" before larger bodies, which the lab's
    // server never sends.
    headers = curl_slist_append(headers, "Expect:");
  } else {
    curl_easy_setopt(Curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(Curl, CURLOPT_FOLLOWLOCATION, 1L);
    FollowRedirects = true;
    curl_easy_setopt(Curl, CURLOPT_MAXREDIRS, 5L);
  }
  curl_easy_setopt(Curl, CURLOPT_HTTPHEADER, headers);

  CURLcode code = curl_easy_perform(Curl);
  long status = 0;
  curl_easy_getinfo(Curl, CURLINFO_RESPONSE_CODE, &status);
  long requestSize = 0;
  curl_off_t uploaded = 0;
  curl_easy_getinfo(Curl, CURLINFO_REQUEST_SIZE, &requestSize);
  curl_easy_getinfo(Curl, CURLINFO_SIZE_UPLOAD_T, &uploaded);
  // A status line answers a request the server read; otherwise every byte must have gone out.
  result.RequestSent = StatusSeen || (Connected && requestSize > 0 && uploaded >= BodySize);
  curl_easy_setopt(Curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  Result = nullptr;

  result.StatusCode = status > 0 ? static_cast<int>(status) : -1;
  if (code == CURLE_OK) {
    // libcurl takes a connection closed inside the headers for a complete reply without body.
    if (StatusSeen && !HeadersDone) {
      result.FailedStage = THttpStage::Receive;
      result.Error = THttpError::Other;
      result.ErrorText = ReasonText(result.Error, result.FailedStage);
      std::fprintf(stderr, "HTTP %s: the reply ended inside its headers\n", url.c_str());
    }
    return result;
  }

  THttpStage progress = !Connected    ? THttpStage::Connect
                        : !StatusSeen ? THttpStage::Send
                                      : THttpStage::Receive;
  std::string technical;
  if (Cancelled) {
    result.FailedStage = progress;
    result.Error = THttpError::Cancelled;
    technical = "cancelled";
  } else if (TimedOut) {
    result.FailedStage = progress;
    result.Error = THttpError::TimedOut;
    technical = StatusSeen ? "the reply came slower than the minimum rate or past the deadline"
                           : "no reply before the deadline";
  } else if (TooLong) {
    result.FailedStage = THttpStage::Receive;
    result.Error = THttpError::ReplyTooLong;
    technical = "the reply is longer than " + std::to_string(Options.MaxBodyBytes) + " bytes";
  } else {
    // An answer that is not HTTP at all is reported as an unsupported protocol too; it came
    // after the request was sent.
    bool notHttpReply = code == CURLE_UNSUPPORTED_PROTOCOL && progress == THttpStage::Send;
    result.FailedStage = IsConnectFailure(code) && !notHttpReply ? THttpStage::Connect : progress;
    result.Error = ErrorOf(code);
    technical = ErrorBuffer[0] ? ErrorBuffer : curl_easy_strerror(code);
  }
  result.ErrorText = ReasonText(result.Error, result.FailedStage);
  std::fprintf(stderr, "HTTP %s: %s\n", url.c_str(), technical.c_str());
  // A status seen before the failure belongs to an earlier reply (a redirect), not to this one.
  if (result.FailedStage != THttpStage::Receive) {
    result.StatusCode = -1;
    result.StatusText.clear();
  }
  return result;
}

THttpSession::THttpSession(const std::string& userAgent) : FImpl(std::make_unique<Impl>()) {
  GlobalInitialize();
  FImpl->Curl = curl_easy_init();
  FImpl->UserAgent = userAgent;
  FImpl->NoProxy = NoProxyList();
}

THttpSession::~THttpSession() {
  if (FImpl->Curl) curl_easy_cleanup(FImpl->Curl);
}

bool THttpSession::IsOpen() const { return FImpl->Curl != nullptr; }
void THttpSession::SetOptions(const THttpOptions& options) { FImpl->Options = options; }
void THttpSession::SetCancelFlag(const std::atomic<bool>* cancel) { FImpl->Cancel = cancel; }

THttpResult THttpSession::Get(const std::string& url) {
  return FImpl->Perform(url, nullptr, nullptr);
}

THttpResult THttpSession::Post(const std::string& url, const std::string& headerLine,
                               const RawBytes& body) {
  return FImpl->Perform(url, &headerLine, &body);
}

}  // namespace pf::inet
