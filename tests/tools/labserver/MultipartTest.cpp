// The lab server's reading of request bodies: multipart/form-data with any boundary, and the
// Windows-1251 text of the photo request.

#include <gtest/gtest.h>

#include "labserver/LabServer.h"

namespace {

using labserver::TFormField;

TEST(LabMultipart, BoundaryComesFromTheContentType) {
  struct Case {
    const char* ContentType;
    const char* Boundary;
  } cases[] = {
      {"multipart/form-data; boundary=------------------------b240130f62499fa1",
       "------------------------b240130f62499fa1"},
      {"Multipart/Form-Data;BOUNDARY=\"a;b c\"", "a;b c"},
      {"multipart/form-data; charset=utf-8; boundary=xyz", "xyz"},
      {"multipart/form-data", ""},
      {"application/octet-stream; boundary=xyz", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(labserver::MultipartBoundary(c.ContentType), c.Boundary) << c.ContentType;
}

// The program's own bodies are read in every upload test; curl's differ.
TEST(LabMultipart, SplitsCurlsBodies) {
  std::vector<TFormField> f;
  // curl's style: its own boundary, a file part, a value holding line breaks and a text that
  // looks like a delimiter without being one.
  const std::string curl =
      "--------------------------b240130f62499fa1\r\n"
      "Content-Disposition: form-data; name=\"text\"\r\n"
      "\r\n"
      "line one\r\n--not the boundary\r\nline three\r\n"
      "--------------------------b240130f62499fa1\r\n"
      "Content-Disposition: form-data; name=\"photo\"; filename=\"01.jpg\"\r\n"
      "Content-Type: image/jpeg\r\n"
      "\r\n"
      "\xFF\xD8\r\n\xFF\r\n"
      "--------------------------b240130f62499fa1--\r\n";
  ASSERT_TRUE(labserver::ParseMultipart(curl, "------------------------b240130f62499fa1", f));
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].Value, "line one\r\n--not the boundary\r\nline three");
  EXPECT_EQ(f[1].Name, "photo");
  EXPECT_EQ(f[1].FileName, "01.jpg");
  EXPECT_EQ(f[1].ContentType, "image/jpeg");
  EXPECT_EQ(f[1].Value, "\xFF\xD8\r\n\xFF");
}

TEST(LabMultipart, RefusesBodiesThatAreNotWellFormed) {
  const char* bodies[] = {
      "",
      "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nno closing line",
      "--B\r\nContent-Type: text/plain\r\n\r\nx\r\n--B--\r\n",              // no disposition
      "--B\r\nContent-Disposition: attachment; name=\"a\"\r\n\r\nx\r\n--B--\r\n",
      "--C\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--C--\r\n",  // other boundary
  };
  for (const char* body : bodies) {
    std::vector<TFormField> f;
    EXPECT_FALSE(labserver::ParseMultipart(body, "B", f)) << body;
  }
}

TEST(LabText, Windows1251BecomesUtf8) {
  struct Case {
    std::string In;
    std::string Out;
  } cases[] = {
      {"\xD2\xE8\xF5\xEE\xE3\xF0\xE0\xE4", "Тихоград"},
      {"10\xF5" "15 \xF1\xEC", "10х15 см"},
      {"\xA8\xB8\xB9\xAB\xBB", "Ёё№«»"},
      {"a\x98" "b", "a\xEF\xBF\xBD" "b"},  // the one byte the code page leaves undefined
  };
  for (const Case& c : cases) EXPECT_EQ(labserver::Cp1251ToUtf8(c.In), c.Out);
}

}  // namespace
