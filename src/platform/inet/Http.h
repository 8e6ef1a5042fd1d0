#pragma once
// A blocking HTTP/1.1 client over libcurl: one session per worker thread. It offers what the lab
// protocol needs and no more: GET, and POST of a prepared body with one extra header line; the
// status code and text; the body; and, on failure, the stage at which the exchange failed with a
// readable reason. No cookies, no cache, no "Expect: 100-continue". Every request goes out once,
// on a connection of its own: libcurl resends a request by itself when a kept connection fails,
// which would make one attempt of the caller's two requests at the server.

#include <atomic>
#include <memory>
#include <string>

#include "platform/rtl/Types.h"

namespace pf::inet {

// Where an exchange failed.
enum class THttpStage {
  None,     // it did not fail
  Connect,  // the address could not be used or reached (bad scheme, name, refused, TLS)
  Send,     // the request could not be sent, or no reply status came back
  Receive,  // the status came, the body could not be read whole
};

// Why an exchange failed, for a reason the customer can read.
enum class THttpError {
  None,
  Cancelled,          // the cancel flag was set
  TimedOut,           // the deadline passed, or the reply came slower than the minimum rate
  ConnectionRefused,  // nothing listens at the address
  HostNotFound,       // the name does not resolve
  SecureConnection,   // the TLS handshake or the certificate check failed
  ReplyTooLong,       // the body is longer than MaxBodyBytes
  Other,
};

struct THttpResult {
  THttpStage FailedStage{THttpStage::None};
  THttpError Error{THttpError::None};
  String ErrorText;      // the reason, when FailedStage is not None
  int StatusCode{-1};    // -1 when no status line arrived
  String StatusText;     // the reason phrase of the status line ("Not Found")
  RawBytes Body;         // what was read of the body
  // The whole request (line, headers and body) was written to the connection: from then on the
  // server may have acted on it, whatever became of the reply. False when the exchange failed
  // before the last byte went out, so the server cannot have a complete request.
  bool RequestSent{false};
  bool Failed() const { return FailedStage != THttpStage::None; }
};

// Limits of every exchange. The deadline and the reply rate are kept on the layer's clock, so a
// test can pass them on its manual clock.
struct THttpOptions {
  long ConnectTimeoutMs{30000};
  // An exchange must end within BaseDeadlineMs plus one second for every FloorBytesPerSecond
  // bytes of its request body and of its reply read so far: a large photo gets the time a slow
  // line needs, a silent or trickling server does not hold the caller for longer.
  Int64 BaseDeadlineMs{30000};
  Int64 FloorBytesPerSecond{4096};
  // Once the status line has come, the reply must keep coming at this rate at least, measured
  // over windows of ReplyRateWindowMs.
  Int64 MinReplyBytesPerSecond{64};
  Int64 ReplyRateWindowMs{30000};
  size_t MaxBodyBytes{1 << 20};     // a longer body fails at the Receive stage
};

class THttpSession {
public:
  explicit THttpSession(const std::string& userAgent);
  ~THttpSession();
  THttpSession(const THttpSession&) = delete;
  THttpSession& operator=(const THttpSession&) = delete;

  bool IsOpen() const;
  void SetOptions(const THttpOptions& options);
  // While set and true, a running transfer is aborted (FailedStage as where it stopped, and
  // ErrorText saying it was cancelled).
  void SetCancelFlag(const std::atomic<bool>* cancel);

  // Only http and https addresses are requested; https verifies certificates.
  THttpResult Get(const std::string& url);
  THttpResult Post(const std::string& url, const std::string& headerLine, const RawBytes& body);

private:
  struct Impl;
  std::unique_ptr<Impl> FImpl;
};

// Process-wide libcurl start-up; call once before any thread makes a session.
void GlobalInitialize();

}  // namespace pf::inet
