#pragma once
// A memory DC over a 32-bit DIB section and the fixed-metrics font source for the common
// routines' tests. The fixed font: every character 8 wide ("..." is 24), cell 16 high, glyph box
// rows 3..12, average width 7, widest character 8.

#include <gtest/gtest.h>

#include "common/CommonUtilities.h"
#include "platform/gdi/GdiTestUtil.h"

namespace commontest {

using namespace pf;

using Dib = gditest::DibCanvas;
using FixedFont = gditest::FixedFontScope;

}  // namespace commontest
