#pragma once
// The screen's logical resolution that GetDeviceCaps answers for LOGPIXELSX and LOGPIXELSY. The
// layer paints at 96 dots per inch; a test sets another resolution to see what scales with it.

namespace pf {

// Sets the resolution every DC reports from now on (values below 1 restore 96).
void SetScreenLogPixels(int x, int y);

}  // namespace pf
