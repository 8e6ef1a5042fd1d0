// labserver: the stand-in lab web server as a program.
//
//   labserver --price-list FILE --orders DIR [--port N] [--first-order N] [--with-parent]
//
// Prints the port it listens on (127.0.0.1) as the first line of its output, then serves until it
// gets SIGINT, SIGTERM or SIGHUP; with --with-parent also when the process that started it ends
// (scripts and tests that start it pass that, so none is left behind). Started on its own, in the
// background or detached from a terminal, it keeps serving.

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "labserver/LabServer.h"

namespace {

int Usage(const char* message) {
  std::cerr << "labserver: " << message << "\n"
            << "usage: labserver --price-list FILE --orders DIR [--port N] [--first-order N] [--with-parent]\n";
  return 2;
}

bool ParseInt(const char* s, int min, int max, int& value) {
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (!*s || *end || v < min || v > max) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  labserver::TLabServerOptions options;
  std::string priceList;
  bool withParent = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--with-parent") {
      withParent = true;
      continue;
    }
    if (i + 1 >= argc) return Usage(("missing value of " + arg).c_str());
    const char* value = argv[++i];
    if (arg == "--price-list") {
      priceList = value;
    } else if (arg == "--orders") {
      options.OrdersDir = value;
    } else if (arg == "--port") {
      if (!ParseInt(value, 0, 65535, options.Port)) return Usage("bad port");
    } else if (arg == "--first-order") {
      if (!ParseInt(value, 1, 99999999, options.FirstOrderNumber)) return Usage("bad order number");
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  if (priceList.empty() || options.OrdersDir.empty())
    return Usage("--price-list and --orders are required");
  if (!labserver::ReadFileBytes(priceList, options.PriceList)) {
    std::cerr << "labserver: cannot read " << priceList << "\n";
    return 1;
  }

  const pid_t parent = getppid();
  if (withParent) {
    // A server left behind by a test that crashed would run forever: end with the parent.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have ended before the line above.
    if (getppid() != parent) return 0;
  }

  // The serving threads inherit this mask, so the signals reach sigwait below only.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  labserver::TLabServer server(std::move(options));
  std::string error;
  if (!server.Start(&error)) {
    std::cerr << "labserver: " << error << "\n";
    return 1;
  }
  std::cout << server.Port() << std::endl;
  std::cerr << "labserver: listening on " << server.BaseUrl() << ", price list at "
            << server.PriceListUrl() << ", orders in " << server.OrdersDir().string() << "\n";

  int sig = 0;
  sigwait(&stopSignals, &sig);
  server.Stop();
  return 0;
}
