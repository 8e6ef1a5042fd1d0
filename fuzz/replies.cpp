// The lab's replies as the uploader reads them: the status, the body decoded from UTF-8, the
// start reply's Name=Value lines with the order number and its digits, and the "OK" of the other
// requests. A loopback server answers the request with the input: its first byte picks the
// request and the status, the rest is the body.
#include <httplib.h>

#include <mutex>
#include <thread>

#include "order/uLists.h"
#include "order/uUploader.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Strings.h"

using namespace pf;
using namespace order;

namespace {

std::mutex gLock;
int gStatus = 200;
std::string gBody;
httplib::Server* gServer = nullptr;
TUploader* gUploader = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gServer = new httplib::Server;
  gServer->set_tcp_nodelay(true);
  gServer->Post(".*", [](const httplib::Request&, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(gLock);
    res.status = gStatus;
    res.set_content(gBody, "text/plain");
  });
  const int port = gServer->bind_to_any_port("127.0.0.1");
  std::thread([] { gServer->listen_after_bind(); }).detach();
  UploadScriptURL = Utf8ToString("http://127.0.0.1:" + std::to_string(port) + "/upload3.php");
  gUploader = TUploader::New();
  gUploader->Initialize();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int statuses[] = {200, 200, 200, 200, 404, 500, 503, 204};
  const unsigned pick = size ? data[0] : 0;
  {
    std::lock_guard<std::mutex> lock(gLock);
    gStatus = statuses[pick % 8];
    gBody.assign(reinterpret_cast<const char*>(data) + (size ? 1 : 0), size ? size - 1 : 0);
  }
  String response;
  if ((pick & 0x18) == 0x08)
    gUploader->PostText(u"Иванов", response);
  else if ((pick & 0x18) == 0x10)
    gUploader->PostTA(atCommit, response);
  else if (gUploader->PostTA(atStart, response))
    (void)gUploader->GetOrderNumber();
  return 0;
}
