// Which addresses the program hands to the browser: the installer's address comes from a
// downloaded price list, so only plain web addresses may be opened.
#include <gtest/gtest.h>

#include <vector>

#include "app/uOpenLink.h"
#include "platform/rtl/Strings.h"

namespace {

using namespace app;

TEST(OpenLink, OnlyAbsoluteWebAddressesWithAHostAreOpened) {
  struct Case {
    const char16_t* url;
    bool web;
  };
  const Case cases[] = {
      {u"http://lab.example/UserFiles/Image/Selvana.exe", true},
      {u"HTTPS://lab.example:8080/setup.exe?v=3.1#top", true},
      {u"http://user@lab.example/", true},
      {u"http://[::1]:80/", true},
      {u"", false},
      {u"http://", false},
      {u"http://:80/", false},
      {u"http://user@/x", false},
      {u"http://[]/", false},
      {u"http://host:abc/", false},
      {u"http://host:/", false},
      {u"http://host:1234567/", false},
      {u"ftp://lab.example/setup.exe", false},
      {u"file:///bin/sh", false},
      {u"C:\\Windows\\system32\\cmd.exe", false},
      {u"\\\\server\\share\\setup.exe", false},
      {u"javascript:alert(1)", false},
      {u"http//lab.example/", false},
      {u" http://lab.example/", false},
      {u"http://lab.example/a b", false},
      {u"http://lab.example/\n--help", false},
  };
  std::vector<String> opened;
  SetOpenLinkHook([&](const String& url) {
    opened.push_back(url);
    return true;
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.url));
    opened.clear();
    EXPECT_EQ(IsWebAddress(c.url), c.web);
    EXPECT_EQ(OpenLink(c.url), c.web);
    EXPECT_EQ(opened.size(), c.web ? 1u : 0u);
  }
  SetOpenLinkHook({});
}

}  // namespace
