#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace inettest {

TScriptedServer::TScriptedServer(std::string reply) : FReply(std::move(reply)) {
  FListen = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (FListen < 0 || bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(FListen, 16) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  socklen_t len = sizeof addr;
  getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
  FPort = ntohs(addr.sin_port);
  FThread = std::thread([this] { Run(); });
}

TScriptedServer::~TScriptedServer() {
  FStop = true;
  FThread.join();
  close(FListen);
}

std::string TScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + path;
}

std::vector<std::string> TScriptedServer::Requests() const {
  std::lock_guard lock(FMutex);
  return FRequests;
}

void TScriptedServer::Run() {
  while (!FStop) {
    pollfd p{FListen, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    int fd = accept(FListen, nullptr, nullptr);
    if (fd < 0) continue;
    Serve(fd);
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }
}

// Reads one request and answers it.
void TScriptedServer::Serve(int fd) {
  std::string request;
  size_t headerEnd = std::string::npos;
  size_t need = 0;
  char buf[65536];
  while (!FStop) {
    if (headerEnd == std::string::npos) {
      headerEnd = request.find("\r\n\r\n");
      if (headerEnd != std::string::npos) {
        headerEnd += 4;
        need = headerEnd;
        std::string head = request.substr(0, headerEnd);
        for (auto& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t at = head.find("\r\ncontent-length:");
        if (at != std::string::npos) need += std::stoul(head.substr(at + 17));
      }
    }
    if (headerEnd != std::string::npos && request.size() >= need) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    request.append(buf, static_cast<size_t>(n));
  }
  if (FStop) return;
  {
    std::lock_guard lock(FMutex);
    FRequests.push_back(request);
  }
  for (size_t sent = 0; sent < FReply.size();) {
    ssize_t n = send(fd, FReply.data() + sent, FReply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace inettest
