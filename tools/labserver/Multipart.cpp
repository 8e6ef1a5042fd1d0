// The lab server's byte-level helpers: multipart/form-data, Windows-1251, files.

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "labserver/LabServer.h"

namespace labserver {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Splits `name=value; a="b"; c=d` style parameters; quoted values may hold ";".
std::vector<std::pair<std::string, std::string>> HeaderParams(std::string_view value) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = 0;
  while (i < value.size()) {
    bool quoted = false;
    std::string name, val;
    bool inValue = false;
    for (; i < value.size(); ++i) {
      char c = value[i];
      if (quoted) {
        if (c == '\\' && i + 1 < value.size()) {
          val += value[++i];
        } else if (c == '"') {
          quoted = false;
        } else {
          val += c;
        }
        continue;
      }
      if (c == ';') break;
      if (!inValue && c == '=') {
        inValue = true;
        continue;
      }
      if (inValue && c == '"' && TrimBlanks(val).empty()) {
        val.clear();
        quoted = true;
        continue;
      }
      (inValue ? val : name) += c;
    }
    out.emplace_back(std::string(TrimBlanks(name)), inValue ? std::string(val) : std::string());
    if (i < value.size()) ++i;  // the ";"
  }
  return out;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buf[256];
  while (inLeft > 0) {
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buf, static_cast<size_t>(outPtr - buf));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // The one byte Windows-1251 leaves undefined (0x98).
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

std::string MultipartBoundary(std::string_view contentType) {
  auto params = HeaderParams(contentType);
  if (params.empty()) return {};
  if (!EqualsNoCase(TrimBlanks(params[0].first), "multipart/form-data")) return {};
  for (size_t i = 1; i < params.size(); ++i)
    if (EqualsNoCase(params[i].first, "boundary")) return params[i].second;
  return {};
}

bool ParseMultipart(std::string_view body, std::string_view boundary,
                    std::vector<TFormField>& fields) {
  fields.clear();
  if (boundary.empty()) return false;
  const std::string dash = "--" + std::string(boundary);
  const std::string delimiter = "\r\n" + dash;
  // The first delimiter starts the body or follows a preamble line.
  size_t pos;
  if (body.substr(0, dash.size()) == dash) {
    pos = dash.size();
  } else {
    size_t at = body.find(delimiter);
    if (at == std::string_view::npos) return false;
    pos = at + delimiter.size();
  }
  for (;;) {
    if (body.substr(pos, 2) == "--") return true;  // the closing delimiter
    // Blanks may follow a delimiter before its line break (RFC 2046).
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (body.substr(pos, 2) != "\r\n") return false;
    pos += 2;
    size_t headersEnd = body.find("\r\n\r\n", pos);
    size_t contentStart;
    if (body.substr(pos, 2) == "\r\n") {  // a part without headers
      headersEnd = pos;
      contentStart = pos + 2;
    } else {
      if (headersEnd == std::string_view::npos) return false;
      contentStart = headersEnd + 4;
    }
    TFormField field;
    bool disposition = false;
    std::string_view headers = body.substr(pos, headersEnd - pos);
    while (!headers.empty()) {
      size_t eol = headers.find("\r\n");
      std::string_view line = headers.substr(0, eol);
      headers = eol == std::string_view::npos ? std::string_view() : headers.substr(eol + 2);
      size_t colon = line.find(':');
      if (colon == std::string_view::npos) return false;
      std::string_view name = TrimBlanks(line.substr(0, colon));
      std::string_view value = TrimBlanks(line.substr(colon + 1));
      if (EqualsNoCase(name, "Content-Disposition")) {
        auto params = HeaderParams(value);
        if (params.empty() || !EqualsNoCase(params[0].first, "form-data")) return false;
        disposition = true;
        for (size_t i = 1; i < params.size(); ++i) {
          if (EqualsNoCase(params[i].first, "name")) field.Name = params[i].second;
          else if (EqualsNoCase(params[i].first, "filename")) field.FileName = params[i].second;
        }
      } else if (EqualsNoCase(name, "Content-Type")) {
        field.ContentType = std::string(value);
      }
    }
    if (!disposition) return false;
    size_t end = body.find(delimiter, contentStart);
    if (end == std::string_view::npos) return false;
    field.Value = std::string(body.substr(contentStart, end - contentStart));
    fields.push_back(std::move(field));
    pos = end + delimiter.size();
  }
}

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  bytes = ss.str();
  return true;
}

}  // namespace labserver
