#pragma once
// A tiny HTTP server for the client's edge cases: it answers each request with bytes the test
// writes by hand (malformed, cut short, oversized), which a real server would never send.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace inettest {

struct TScriptedReply {
  std::string Bytes;     // sent as they are
  bool Close{true};      // close the connection after sending them
};

class TScriptedServer {
public:
  // `script` answers the n-th request (0-based) given its raw bytes.
  explicit TScriptedServer(std::function<TScriptedReply(int, const std::string&)> script);
  explicit TScriptedServer(std::string reply);  // the same reply to every request
  ~TScriptedServer();

  int Port() const { return FPort; }
  std::string Url(const std::string& path = "/") const;
  std::vector<std::string> Requests() const;  // raw request bytes, in order

private:
  void Run();
  bool Serve(int fd);

  std::function<TScriptedReply(int, const std::string&)> FScript;
  int FListen{-1};
  int FPort{0};
  std::atomic<bool> FStop{false};
  mutable std::mutex FMutex;
  std::vector<std::string> FRequests;
  std::thread FThread;
};

}  // namespace inettest
