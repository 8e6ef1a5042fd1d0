#include "order/uUploader.h"

#include <sys/random.h>

#include <array>
#include <random>

#include "order/uLists.h"
#include "order/uUtils.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

namespace order {

namespace {

const String ConnectFailed = u"Не удалось подключиться к серверу. ";
const String RequestFailed = u"Не удалось создать запрос. ";
const String SendFailed = u"Не удалось отправить файл. ";
const String OpenUrlFailed = u"Сбой при подключении. ";
const String DownloadFailed = u"Не удалось скачать файл. ";
const String ReadFailed = u"Сбой при скачивании данных. ";

std::array<uint8_t, 16> RandomBytes() {
  std::array<uint8_t, 16> bytes{};
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = getrandom(bytes.data() + done, bytes.size() - done, 0);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done < bytes.size()) {
    std::random_device rd;
    for (auto& b : bytes) b = static_cast<uint8_t>(rd());
  }
  return bytes;
}

std::string HexUpper(const std::array<uint8_t, 16>& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (uint8_t b : bytes) {
    hex.push_back(digits[b >> 4]);
    hex.push_back(digits[b & 0x0F]);
  }
  return hex;
}

// A version 4 GUID as it lies in memory: Data3's high byte is byte 7, Data4 starts at byte 8.
String NewTransID() {
  auto bytes = RandomBytes();
  bytes[7] = static_cast<uint8_t>((bytes[7] & 0x0F) | 0x40);
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  return Utf8ToString(HexUpper(bytes));
}

bool AnyFieldHolds(const std::vector<TFormField>& fields, std::string_view boundary) {
  for (const TFormField& f : fields)
    if (f.Value.find(boundary) != RawBytes::npos) return true;
  return false;
}

String StatusText(const inet::THttpResult& r) {
  if (r.StatusCode == -1) return String();
  return Format(u"%d - %s", {r.StatusCode, r.StatusText});
}

bool IsDecimalPort(const String& port) {
  if (port.empty() || port.size() > 5) return false;
  for (Char c : port)
    if (c < u'0' || c > u'9') return false;
  Integer n = StrToIntDef(port, 0);
  return n >= 1 && n <= 65535;
}

bool HasBlankOrControl(const String& s) {
  for (Char c : s)
    if (c <= 0x20 || c == 0x7F) return true;
  return false;
}

// The first value of a Name=Value line of the reply; names compared without regard to case.
bool FindReplyValue(const String& reply, StringView name, String& value) {
  Owned<TStringList> lines(TStringList::New());
  lines->SetText(reply);
  for (Integer i = 0; i < lines->Count(); ++i) {
    String line = lines->Get(i);
    size_t eq = line.find(u'=');
    if (eq != String::npos && SameText(StringView(line).substr(0, eq), name)) {
      value = line.substr(eq + 1);
      return true;
    }
  }
  return false;
}

void AddText(std::vector<TFormField>& fields, const char* name, RawBytes value) {
  fields.push_back(TFormField{name, std::move(value), false});
}

}  // namespace

// ---- addresses ----

TUrlParts ParseUrlParts(const String& URL) {
  TUrlParts parts;
  parts.Protocol = u"http";
  String rest = URL;
  if (size_t p = rest.find(u"://"); p != String::npos) {
    parts.Protocol = rest.substr(0, p);
    rest.erase(0, p + 3);
  }
  // The authority ends at the path, the query or the fragment, whichever comes first.
  size_t authorityEnd = rest.find_first_of(u"/?#");
  if (size_t at = rest.find(u'@'); at != String::npos && at < authorityEnd) {
    String credentials = rest.substr(0, at);
    rest.erase(0, at + 1);
    authorityEnd = rest.find_first_of(u"/?#");
    size_t colon = credentials.find(u':');
    parts.User = credentials.substr(0, colon);
    if (colon != String::npos) parts.Password = credentials.substr(colon + 1);
  }
  String hostPart = rest.substr(0, authorityEnd);
  String tail = authorityEnd == String::npos ? String() : rest.substr(authorityEnd);
  size_t fragment = tail.find(u'#');
  if (fragment != String::npos) tail.erase(fragment);
  size_t query = tail.find(u'?');
  parts.Path = tail.substr(0, query);
  if (parts.Path.empty()) parts.Path = u"/";
  if (query != String::npos) parts.Params = tail.substr(query + 1);

  if (!hostPart.empty() && hostPart[0] == u'[') {
    size_t close = hostPart.find(u']');
    parts.Host = hostPart.substr(1, close == String::npos ? String::npos : close - 1);
    if (close != String::npos && close + 1 < hostPart.size() && hostPart[close + 1] == u':')
      parts.Port = hostPart.substr(close + 2);
  } else {
    size_t colon = hostPart.find(u':');
    parts.Host = hostPart.substr(0, colon);
    if (colon != String::npos) parts.Port = hostPart.substr(colon + 1);
  }
  if (parts.Port.empty()) {
    String protocol = UpperCase(parts.Protocol);
    parts.Port = protocol == u"HTTPS" ? u"443" : protocol == u"FTP" ? u"21" : u"80";
  }
  if (parts.Host.empty()) parts.Host = u"localhost";
  return parts;
}

// ---- request bodies ----

TMultipartRequest BuildMultipartRequest(const std::vector<TFormField>& Fields) {
  std::string boundary(FixedBoundary);
  while (AnyFieldHolds(Fields, boundary)) boundary = HexUpper(RandomBytes());

  TMultipartRequest request;
  request.HeaderLine = "Content-Type: multipart/form-data; boundary=" + boundary;
  RawBytes& body = request.Body;
  for (const TFormField& f : Fields) {
    body += "--" + boundary + "\r\n";
    if (f.IsPhoto) {
      body += "Content-Disposition: form-data; name=\"" + f.Name + "\"; filename=\"01.jpg\"\r\n";
      body += "Content-Type: image/jpeg\r\n";
    } else {
      body += "Content-Disposition: form-data; name=\"" + f.Name + "\"\r\n";
    }
    body += "\r\n";
    body += f.Value;
    body += "\r\n";
  }
  body += "--" + boundary + "--\r\n";
  return request;
}

TMultipartRequest TransactionRequest(const String& OrderNumber, const String& TransID, TActionType Action) {
  std::vector<TFormField> fields;
  AddText(fields, "order_number", StringToUtf8(OrderNumber));
  AddText(fields, "transaction", StringToUtf8(TransID));
  AddText(fields, "action", StringToUtf8(ActionNames[Action]));
  return BuildMultipartRequest(fields);
}

TMultipartRequest ImageRequest(Integer OrderNumber, TPaperType PaperType, Integer PhotoIndex, Integer PhotoCount,
                               const String& SizeName, std::string_view Image) {
  std::vector<TFormField> fields;
  AddText(fields, "order_number", StringToAnsi(IntToStr(OrderNumber)));
  AddText(fields, "paper_type", StringToAnsi(PaperTypeKeys[PaperType]));
  AddText(fields, "paper_size", StringToAnsi(SizeName));
  AddText(fields, "photo_index", StringToAnsi(IntToStr(PhotoIndex)));
  AddText(fields, "photo_count", StringToAnsi(IntToStr(PhotoCount)));
  fields.push_back(TFormField{"photo", RawBytes(Image), true});
  return BuildMultipartRequest(fields);
}

TMultipartRequest TextRequest(Integer OrderNumber, const String& Text) {
  std::vector<TFormField> fields;
  AddText(fields, "order_number", StringToUtf8(IntToStr(OrderNumber)));
  AddText(fields, "text", StringToUtf8(Text));
  return BuildMultipartRequest(fields);
}

// ---- TUploader ----

void TUploader::Destroy() {
  FSession.reset();
  TObject::Destroy();
}

bool TUploader::Initialize() {
  FSession.reset();
  try {
    // The agent name travels in the code page, as the system's own HTTP client sent it.
    FSession = std::make_unique<inet::THttpSession>(StringToAnsi(AppTitle));
    if (!FSession->IsOpen()) FSession.reset();
  } catch (const std::exception&) {
    FSession.reset();
  }
  if (FSession) FSession->SetCancelFlag(FCancel);
  FTransID = NewTransID();
  return FSession != nullptr;
}

void TUploader::SetCancelFlag(const std::atomic<bool>* Cancel) {
  FCancel = Cancel;
  if (FSession) FSession->SetCancelFlag(Cancel);
}

String TUploader::GetOrderNumber() const {
  String number = IntToStr(FOrderNumber);
  if (static_cast<Integer>(number.size()) < FOrderDigits) number.insert(0, FOrderDigits - number.size(), u'0');
  return number;
}

bool TUploader::DownloadURL(const String& URL, TMemoryStream* SaveTo, String& Response) {
  Response.clear();
  if (!FSession) {
    Response = OpenUrlFailed + u"Сеанс HTTP не открыт.";
    return false;
  }
  inet::THttpOptions options;
  options.MaxBodyBytes = MaxDownloadBytes;
  FSession->SetOptions(options);
  inet::THttpResult r = FSession->Get(StringToUtf8(URL));
  if (r.FailedStage == inet::THttpStage::Connect || r.FailedStage == inet::THttpStage::Send) {
    Response = OpenUrlFailed + r.ErrorText;
    return false;
  }
  if (r.StatusCode != 200) {
    Response = DownloadFailed + StatusText(r);
    return false;
  }
  // What arrived before a read failed stays in the stream, as each read appends to it.
  SaveTo->Clear();
  SaveTo->WriteBytes(r.Body);
  if (r.FailedStage == inet::THttpStage::Receive) {
    Response = ReadFailed + r.ErrorText;
    return false;
  }
  return true;
}

bool TUploader::Exchange(const TMultipartRequest& Request, String& Response) {
  Response.clear();
  FLastOutcome = TRequestOutcome::NotSent;
  if (!FSession) {
    Response = ConnectFailed + u"Сеанс HTTP не открыт.";
    return false;
  }
  // The address's own scheme and port are honoured: a lab that asks for TLS gets it, and never
  // a clear-text fall-back.
  TUrlParts parts = ParseUrlParts(UploadScriptURL);
  String scheme = LowerCase(parts.Protocol);
  if (scheme != u"http" && scheme != u"https") {
    Response = ConnectFailed + Format(u"Протокол «%s» не поддерживается.", {parts.Protocol});
    return false;
  }
  if (!IsDecimalPort(parts.Port)) {
    Response = ConnectFailed + Format(u"Неверный номер порта «%s».", {parts.Port});
    return false;
  }
  if (HasBlankOrControl(parts.Host) || parts.Host.find_first_of(u"[]\\") != String::npos) {
    Response = ConnectFailed + Format(u"Неверное имя сервера «%s».", {parts.Host});
    return false;
  }
  // Blanks or line breaks in the path would break the request line.
  if (HasBlankOrControl(parts.Path)) {
    Response = RequestFailed + u"Недопустимые символы в пути к сценарию.";
    return false;
  }
  String host = parts.Host.find(u':') != String::npos ? u"[" + parts.Host + u"]" : parts.Host;
  std::string url = StringToUtf8(scheme + u"://" + host + u":" + parts.Port + parts.Path);

  inet::THttpOptions options;
  options.MaxBodyBytes = MaxReplyBytes;
  FSession->SetOptions(options);
  inet::THttpResult r = FSession->Post(url, Request.HeaderLine, Request.Body);
  // A clear answer is a complete reply: a 4xx status, or status 200 with its whole body. Anything
  // else after the request went out leaves open what the lab did with it.
  if (r.StatusCode >= 400 && r.StatusCode < 500)
    FLastOutcome = TRequestOutcome::Refused;
  else
    FLastOutcome = r.RequestSent ? TRequestOutcome::Unknown : TRequestOutcome::NotSent;
  if (r.FailedStage == inet::THttpStage::Connect) {
    Response = ConnectFailed + r.ErrorText;
    return false;
  }
  if (r.FailedStage == inet::THttpStage::Send) {
    Response = SendFailed + r.ErrorText;
    return false;
  }
  if (r.StatusCode != 200) {
    Response = SendFailed + StatusText(r);
    return false;
  }
  if (r.FailedStage == inet::THttpStage::Receive) {
    Response = ReadFailed + r.ErrorText;
    return false;
  }
  Response = Utf8ToString(r.Body);
  return true;
}

bool TUploader::Answered(bool Accepted) {
  FLastOutcome = Accepted ? TRequestOutcome::Accepted : TRequestOutcome::Refused;
  return Accepted;
}

bool TUploader::PostTA(TActionType Action, String& Response) {
  if (Action != atStart)
    return Exchange(TransactionRequest(IntToStr(FOrderNumber), FTransID, Action), Response) &&
           Answered(Response == u"OK");
  FOrderNumber = 0;
  FOrderDigits = 6;
  if (!Exchange(TransactionRequest(u"dummy", FTransID, Action), Response)) return false;
  String value;
  Integer number = 0;
  if (FindReplyValue(Response, u"order_number", value) && TryDecimalToInt(value, number)) FOrderNumber = number;
  Integer digits = 0;
  // 0 (or less) pads nothing; the padding is kept bounded by taking a value above 100 as absent.
  if (FindReplyValue(Response, u"order_digits", value) && TryDecimalToInt(value, digits) && digits <= 100)
    FOrderDigits = digits;
  return Answered(FOrderNumber > 0);
}

bool TUploader::PostImage(TPaperType PaperType, Integer PhotoIndex, Integer PhotoCount, const String& SizeName,
                          TMemoryStream* Image, String& Response) {
  return Exchange(ImageRequest(FOrderNumber, PaperType, PhotoIndex, PhotoCount, SizeName, Image->Bytes()), Response) &&
         Answered(Response == u"OK");
}

bool TUploader::PostText(const String& Text, String& Response) {
  return Exchange(TextRequest(FOrderNumber, Text), Response) && Answered(Response == u"OK");
}

}  // namespace order
