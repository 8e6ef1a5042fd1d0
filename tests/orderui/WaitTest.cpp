// The hourglass guard.
#include <gtest/gtest.h>

#include <stdexcept>

#include "orderui/uWait.h"
#include "platform/user/User.h"

namespace {

using namespace order;

TEST(WaitCursor, HourglassForTheScopeAndDefaultAfterEvenWhenTheWorkRaises) {
  const pf::HCURSOR arrow = pf::LoadCursor(pf::IDC_ARROW);
  const pf::HCURSOR wait = pf::LoadCursor(pf::IDC_WAIT);
  pf::SetCursor(arrow);
  {
    TWaitCursor guard;
    EXPECT_EQ(pf::GetCursor(), wait);
  }
  EXPECT_EQ(pf::GetCursor(), arrow);
  try {
    TWaitCursor guard;
    throw std::runtime_error("work failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(pf::GetCursor(), arrow);
}

}  // namespace
