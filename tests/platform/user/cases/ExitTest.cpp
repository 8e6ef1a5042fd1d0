// The toolkit ends the process with exit() when its display goes away (the X server of a virtual
// display ended by Ctrl+C): that way out must end with the toolkit's status, not a crash while
// windows still live.

#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class ExitTest : public LayerTest {};

TEST_F(ExitTest, ExitWhileWindowsLiveEndsWithItsStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd);
        ShowWindow(child, SW_SHOW);
        guitest::PumpPending();
        std::exit(1);
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace usertest
