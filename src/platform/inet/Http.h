#pragma once
// A blocking HTTP/1.1 client over libcurl: one session per worker thread. It offers what the lab
// protocol needs and no more: GET, and POST of a prepared body with one extra header line; the
// status code and text; the body; and, on failure, the stage at which the exchange failed with a
// readable reason. No cookies, no cache, no "Expect: 100-continue".

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

struct THttpResult {
  THttpStage FailedStage{THttpStage::None};
  String ErrorText;      // the reason, when FailedStage is not None
  int StatusCode{-1};    // -1 when no status line arrived
  String StatusText;     // the reason phrase of the status line ("Not Found")
  RawBytes Body;         // what was read of the body
  bool Failed() const { return FailedStage != THttpStage::None; }
};

struct THttpOptions {
  long ConnectTimeoutMs{30000};
  long LowSpeedBytesPerSecond{1};   // abort when slower than this ...
  long LowSpeedSeconds{60};         // ... for this long
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
