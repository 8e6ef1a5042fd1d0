#pragma once
// The class library's unit started as the program starts it, and the clean-up every test needs:
// no form, window, queued message, message-box hook or manual clock survives a test.

#include <gtest/gtest.h>

#include <functional>

#include "platform/classlib/Forms.h"
#include "platform/rtl/Clock.h"
#include "platform/user/guimain/GuiTest.h"

namespace classlibtest {

class ClassLibTest : public ::testing::Test {
protected:
  void TearDown() override {
    pf::testing::SetMessageBoxHook({});
    pf::testing::ClearMessageBoxLog();
    while (pf::Screen->FormCount() > 0) pf::Screen->Forms(pf::Screen->FormCount() - 1)->Free();
    for (int i = pf::Application->ComponentCount() - 1; i >= 0; --i) pf::Application->Components(i)->Free();
    guitest::ResetWork();
    pf::testing::ResetQueue();
    pf::Application->ResetForTests();
    pf::Application->Title.clear();
    pf::clock::UseReal();
    EXPECT_EQ(pf::testing::LiveWindowCount(), 0);
  }

  // Runs the application's loop (dialog keys and the idle pass included) until `done` holds.
  static bool PumpUntil(const std::function<bool()>& done) {
    return guitest::PumpUntil([&] {
      pf::Application->ProcessMessages();
      return done();
    });
  }
  static void Pump() { pf::Application->ProcessMessages(); }
};

}  // namespace classlibtest
