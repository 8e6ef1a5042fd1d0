#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Threads.h"

using namespace pf;

namespace {

// Every test ends on the real clock with no listener. Nothing here asserts on elapsed time: a
// wait that never returned would be caught by the test's time-out instead.
class ClockTest : public ::testing::Test {
protected:
  void TearDown() override {
    clock::SetAdvanceListener(nullptr);
    clock::UseReal();
  }
};

TEST_F(ClockTest, ManualClockMovesOnlyWhenAdvanced) {
  clock::UseManual(1000);
  EXPECT_EQ(clock::TickCount(), 1000);
  int heard = 0;
  clock::SetAdvanceListener([&] { ++heard; });
  clock::Advance(250);
  EXPECT_EQ(clock::TickCount(), 1250);
  EXPECT_EQ(heard, 1);

  std::atomic<int> result{-1};
  std::thread waiter([&] { result = clock::Wait(3000) ? 1 : 0; });
  // The waiter may start before or after any of these steps; it returns once 3000 ms have
  // passed on the manual clock after it started.
  while (result == -1) {
    clock::Advance(500);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  waiter.join();
  EXPECT_EQ(result, 1);
  EXPECT_GE(clock::TickCount(), 4250);
}

TEST_F(ClockTest, InstantModePassesEveryWaitAtOnce) {
  clock::UseManual(0);
  clock::SetInstant(true);
  int heard = 0;
  clock::SetAdvanceListener([&] { ++heard; });
  EXPECT_TRUE(clock::Wait(3000));
  EXPECT_TRUE(clock::Wait(3000));
  EXPECT_EQ(clock::TickCount(), 6000);
  EXPECT_EQ(heard, 2);
  std::atomic<bool> stop{true};
  EXPECT_FALSE(clock::Wait(3000, &stop));
  EXPECT_EQ(clock::TickCount(), 6000);
}

TEST_F(ClockTest, AStopFlagInterruptsAWaitFromAnotherThread) {
  for (bool manual : {false, true}) {
    if (manual) clock::UseManual(0);
    std::atomic<bool> stop{false};
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = clock::Wait(600000, &stop) ? 1 : 0; });
    stop = true;
    clock::WakeWaiters();
    waiter.join();
    EXPECT_EQ(result, 0) << manual;
  }
}

class TSleeper : public TThread {
  PF_CLASS(TSleeper)
public:
  std::atomic<int> Outcome{-1};
  std::atomic<bool>* DestroyedAfterExit{nullptr};

protected:
  void Create(bool suspended) { TThread::Create(suspended); }
  void Execute() override {
    Outcome = SleepInterruptible(600000) ? 1 : 0;
    ReturnValue = 7;
  }
  void Destroy() override {
    // The thread has ended before a derived class frees what Execute used.
    if (DestroyedAfterExit) *DestroyedAfterExit = Finished();
    TThread::Destroy();
  }
};

class TFailing : public TThread {
  PF_CLASS(TFailing)
protected:
  void Create() { TThread::Create(false); }
  void Execute() override { throw EConvertError(u"bad price"); }
};

TEST_F(ClockTest, TerminateWakesASleepingThreadAndFreeJoinsIt) {
  Owned<TSleeper> t(TSleeper::New(false));
  t->Terminate();
  EXPECT_EQ(t->WaitFor(), 7);
  EXPECT_EQ(t->Outcome, 0);
  EXPECT_EQ(t->FatalException(), nullptr);

  // Freeing a running thread joins it before the derived class is destroyed.
  std::atomic<bool> finishedBeforeDestroy{false};
  TSleeper* running = TSleeper::New(false);
  running->DestroyedAfterExit = &finishedBeforeDestroy;
  running->Free();
  EXPECT_TRUE(finishedBeforeDestroy);

  Owned<TSleeper> suspended(TSleeper::New(true));
  clock::UseManual(0);
  clock::SetInstant(true);
  suspended->Start();
  suspended->WaitFor();
  EXPECT_EQ(suspended->Outcome, 1);  // the instant clock passed the whole sleep
  EXPECT_THROW(suspended->Start(), EThread);
}

TEST_F(ClockTest, ExceptionsStayInTheirThread) {
  Owned<TFailing> t(TFailing::New());
  t->WaitFor();
  ASSERT_NE(t->FatalException(), nullptr);
  EXPECT_THROW(std::rethrow_exception(t->FatalException()), EConvertError);
}

TEST_F(ClockTest, MainThreadAndEvents) {
  EXPECT_TRUE(TThread::IsMainThread());
  std::atomic<bool> onOther{true};
  std::thread([&] { onOther = TThread::IsMainThread(); }).join();
  EXPECT_FALSE(onOther);

  TEvent autoReset(false, false);
  EXPECT_FALSE(autoReset.WaitFor(0));
  std::thread setter([&] { autoReset.SetEvent(); });
  EXPECT_TRUE(autoReset.WaitFor(-1));
  setter.join();
  EXPECT_FALSE(autoReset.WaitFor(0));  // taken by the first wait

  TEvent manual(true, true);
  EXPECT_TRUE(manual.WaitFor(0));
  manual.ResetEvent();
  clock::UseManual(0);
  clock::SetInstant(true);
  EXPECT_FALSE(manual.WaitFor(1500));
  EXPECT_EQ(clock::TickCount(), 1500);
}

}  // namespace
