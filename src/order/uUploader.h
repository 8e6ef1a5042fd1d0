#pragma once
// The program's only network code: the download of a file (the price list) and the lab's order
// protocol, multipart/form-data POSTs to the lab's upload script whose replies are short texts.
// Each worker thread makes its own TUploader; every call blocks.

#include <atomic>
#include <memory>
#include <vector>

#include "order/uTypes.h"
#include "platform/rtl/Streams.h"

namespace pf::inet {
class THttpSession;
}

namespace order {

enum TActionType { atStart, atCommit, atRollback };
inline const String ActionNames[3] = {u"start", u"commit", u"rollback"};

// The pieces of an address. Defaults: protocol "http", port "80" ("443" for https, "21" for
// ftp), host "localhost", path "/".
struct TUrlParts {
  String Protocol;
  String User;
  String Password;
  String Host;
  String Port;
  String Path;    // without the query
  String Params;  // the text after "?"
};
TUrlParts ParseUrlParts(const String& URL);

// The lab's script reads this boundary; a request whose content happens to contain it gets a
// fresh random one instead, so no value can end its part early and forge fields.
inline constexpr std::string_view FixedBoundary = "7AE6386958DD459B8941C4083E6EBEBD";

// Reply limits: the price list is small and a reply of the script a few lines; anything larger
// is refused rather than held in memory.
constexpr size_t MaxDownloadBytes = 16u << 20;
constexpr size_t MaxReplyBytes = 1u << 20;

// One field of a request: a text value already in its wire encoding, or the photo's bytes.
struct TFormField {
  std::string Name;
  RawBytes Value;
  bool IsPhoto{false};
};

// The Content-Type header line and the body of a request.
struct TMultipartRequest {
  std::string HeaderLine;
  RawBytes Body;
};

TMultipartRequest BuildMultipartRequest(const std::vector<TFormField>& Fields);

// The requests of the protocol. Text values travel as UTF-8, except in the photo request, whose
// text fields are in the system's code page (the size caption goes back as the price list gave it).
TMultipartRequest TransactionRequest(const String& OrderNumber, const String& TransID, TActionType Action);
TMultipartRequest ImageRequest(Integer OrderNumber, TPaperType PaperType, Integer PhotoIndex, Integer PhotoCount,
                               const String& SizeName, std::string_view Image);
TMultipartRequest TextRequest(Integer OrderNumber, const String& Text);

// What became of a request at the lab, as far as its reply tells.
enum class TRequestOutcome {
  Accepted,  // the lab answered "OK" (the start: with an order number)
  Refused,   // a clear answer other than that: a 4xx status, or status 200 with another reply
  NotSent,   // it failed before the whole request went out, so the lab has nothing of it
  Unknown,   // it went out without a clear answer (a lost, cut or malformed reply, another
             // status such as 5xx, a timeout): the lab may have acted on it
};

class TUploader : public TObject {
  PF_CLASS(TUploader)
public:
  // Opens the HTTP session and makes the order's transaction id; true when the session opened.
  bool Initialize();

  // GET of URL into SaveTo (its content replaced). Response is empty on success, else the error.
  bool DownloadURL(const String& URL, TMemoryStream* SaveTo, String& Response);

  // Each post leaves the server's reply in Response when the exchange itself worked, otherwise
  // an error text; they succeed on status 200 with the reply "OK" exactly. The start instead
  // succeeds when its reply names an order number above 0.
  bool PostTA(TActionType Action, String& Response);
  bool PostImage(TPaperType PaperType, Integer PhotoIndex, Integer PhotoCount, const String& SizeName,
                 TMemoryStream* Image, String& Response);
  bool PostText(const String& Text, String& Response);

  // The order number padded with zeros to the digits the lab asked for.
  String GetOrderNumber() const;

  // The outcome of the last request made (Accepted exactly when it answered true).
  TRequestOutcome GetLastOutcome() const { return FLastOutcome; }

  // While *Cancel is true a running transfer is aborted and the call fails, and so does every
  // later call: a thread that was cancelled clears the flag (SetCancelFlag(nullptr)) before it
  // sends the rollback. The flag must outlive the uploader (a worker thread passes its terminate
  // flag).
  void SetCancelFlag(const std::atomic<bool>* Cancel);

  const String& GetTransID() const { return FTransID; }
  // Tests give a known transaction id after Initialize.
  void SetTransIDForTesting(const String& TransID) { FTransID = TransID; }

protected:
  void Destroy() override;

private:
  // True when the exchange itself worked (status 200 and the whole reply read); Response then
  // holds the reply. Otherwise the last outcome says whether the lab may have acted on it.
  bool Exchange(const TMultipartRequest& Request, String& Response);
  // Sets the last outcome of an exchange that worked: accepted or refused.
  bool Answered(bool Accepted);

  std::unique_ptr<inet::THttpSession> FSession;
  Integer FOrderNumber{0};
  Integer FOrderDigits{0};
  String FTransID;
  const std::atomic<bool>* FCancel{nullptr};
  TRequestOutcome FLastOutcome{TRequestOutcome::NotSent};
};

}  // namespace order
