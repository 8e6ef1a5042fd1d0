#pragma once
// Opening web links in the user's browser.

#include <functional>

#include "platform/rtl/Types.h"

namespace app {

using namespace pf;

// True for an absolute http or https address with a host and nothing that a shell or a browser
// could read as something else (blanks, control characters). The installer's address comes from
// a downloaded price list: anything else (a local program, a file: address) is never opened.
bool IsWebAddress(const String& URL);

// Opens URL in the browser when it is a web address; answers whether it was handed over.
bool OpenLink(const String& URL);

// Replaces what OpenLink does with an address that passed the check (tests record it instead of
// starting a browser); an empty hook restores xdg-open.
using TOpenLinkHook = std::function<bool(const String& URL)>;
void SetOpenLinkHook(TOpenLinkHook Hook);

}  // namespace app
