#pragma once
// A tiny HTTP server for the client's edge cases: it answers every request with bytes the test
// writes by hand (malformed, cut short, oversized), which a real server would never send, and
// then closes the connection.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace inettest {

class TScriptedServer {
public:
  explicit TScriptedServer(std::string reply);
  ~TScriptedServer();

  int Port() const { return FPort; }
  std::string Url(const std::string& path = "/") const;
  std::vector<std::string> Requests() const;  // raw request bytes, in order

private:
  void Run();
  void Serve(int fd);

  std::string FReply;
  int FListen{-1};
  int FPort{0};
  std::atomic<bool> FStop{false};
  mutable std::mutex FMutex;
  std::vector<std::string> FRequests;
  std::thread FThread;
};

}  // namespace inettest
