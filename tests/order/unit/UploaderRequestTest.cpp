// Requests whose content collides with the lab's boundary, and the address rule the uploader
// connects by. (The bytes of every request are compared on the wire, in the integration tests.)
#include <gtest/gtest.h>

#include "order/uUploader.h"
#include "platform/rtl/Strings.h"

using namespace order;

TEST(UploaderRequests, ContentHoldingTheBoundaryGetsAFreshOne) {
  const String forged = u"x\r\n--7AE6386958DD459B8941C4083E6EBEBD\r\n"
                        u"Content-Disposition: form-data; name=\"order_number\"\r\n\r\n1";
  const std::string jpeg = "\xFF\xD8--7AE6386958DD459B8941C4083E6EBEBD--";
  const TMultipartRequest requests[] = {
      TextRequest(17, forged),
      ImageRequest(17, ptGlossy, 1, 1, u"10x15", jpeg),
      ImageRequest(17, ptGlossy, 1, 1, u"7AE6386958DD459B8941C4083E6EBEBD", "\xFF"),
  };
  for (const TMultipartRequest& r : requests) {
    const std::string prefix = "Content-Type: multipart/form-data; boundary=";
    ASSERT_EQ(r.HeaderLine.compare(0, prefix.size(), prefix), 0);
    std::string boundary = r.HeaderLine.substr(prefix.size());
    EXPECT_NE(boundary, "7AE6386958DD459B8941C4083E6EBEBD");
    EXPECT_EQ(boundary.size(), 32u);
    EXPECT_EQ(r.Body.compare(0, boundary.size() + 4, "--" + boundary + "\r\n"), 0);
    EXPECT_EQ(r.Body.substr(r.Body.size() - boundary.size() - 6), "--" + boundary + "--\r\n");
    // The fresh boundary appears only where parts begin and end.
    size_t count = 0;
    for (size_t p = r.Body.find(boundary); p != std::string::npos; p = r.Body.find(boundary, p + 1)) ++count;
    EXPECT_EQ(count, r.Body.find("filename") == std::string::npos ? 3u : 7u);
  }
}

TEST(ParseUrlParts, TheAddressRule) {
  struct Case {
    const char16_t* url;
    TUrlParts expected;
  };
  const Case cases[] = {
      {u"http://lab.test/upload3.php", {u"http", u"", u"", u"lab.test", u"80", u"/upload3.php", u""}},
      {u"lab.test", {u"http", u"", u"", u"lab.test", u"80", u"/", u""}},
      {u"https://lab.test/a/b.php?x=1&y=2", {u"https", u"", u"", u"lab.test", u"443", u"/a/b.php", u"x=1&y=2"}},
      {u"HTTPS://lab.test:8443/", {u"HTTPS", u"", u"", u"lab.test", u"8443", u"/", u""}},
      {u"ftp://u:p@files.test/x", {u"ftp", u"u", u"p", u"files.test", u"21", u"/x", u""}},
      {u"http://anna@lab.test:81", {u"http", u"anna", u"", u"lab.test", u"81", u"/", u""}},
      {u"http://lab.test/mail@here", {u"http", u"", u"", u"lab.test", u"80", u"/mail@here", u""}},
      {u"http://[::1]:8080/up.php", {u"http", u"", u"", u"::1", u"8080", u"/up.php", u""}},
      {u"http://[::1]/up.php", {u"http", u"", u"", u"::1", u"80", u"/up.php", u""}},
      {u"http:///up.php", {u"http", u"", u"", u"localhost", u"80", u"/up.php", u""}},
      {u"http://lab.test?q=a@b", {u"http", u"", u"", u"lab.test", u"80", u"/", u"q=a@b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.url));
    TUrlParts p = ParseUrlParts(c.url);
    EXPECT_EQ(p.Protocol, c.expected.Protocol);
    EXPECT_EQ(p.User, c.expected.User);
    EXPECT_EQ(p.Password, c.expected.Password);
    EXPECT_EQ(p.Host, c.expected.Host);
    EXPECT_EQ(p.Port, c.expected.Port);
    EXPECT_EQ(p.Path, c.expected.Path);
    EXPECT_EQ(p.Params, c.expected.Params);
  }
}
