// The queue: Windows' order, nested loops, posting from threads, payload ownership, timers.

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Object.h"
#include "LayerFixture.h"

namespace usertest {
namespace {

using namespace pf;

class TPayload : public TObject {
  PF_CLASS(TPayload)
public:
  int Value{0};

protected:
  void Create(int v) { Value = v; }
};

class TOtherPayload : public TObject {
  PF_CLASS(TOtherPayload)
};

class QueueTest : public LayerTest {};

TEST_F(QueueTest, PostedBeforeInputBeforePaintBeforeTimerEvenWhenPaintCameFirst) {
  clock::UseManual(1000);
  ASSERT_NE(SetTimer(Wnd, 7, 50), 0u);
  InvalidateRect(Wnd, nullptr, false);       // paint requested first
  clock::Advance(60);                         // the timer is due
  guitest::Click(Wnd, {5, 5});                // input
  PostMessage(Wnd, WM_APP + 1, 0, 0);         // posted last of all

  std::vector<UINT> order;
  MSG msg;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    order.push_back(msg.message);
    DispatchMessage(&msg);
  }
  std::vector<UINT> expected{WM_APP + 1, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_PAINT, WM_TIMER};
  EXPECT_EQ(order, expected);
  MSG extra;
  EXPECT_FALSE(PeekMessage(&extra, nullptr, 0, 0, PM_REMOVE)) << "message " << extra.message;
}

TEST_F(QueueTest, QuitComesAfterPostedAndInputButBeforePaint) {
  InvalidateRect(Wnd, nullptr, false);
  PostQuitMessage(3);
  PostMessage(Wnd, WM_APP, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_APP);
  EXPECT_FALSE(GetMessage(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_PAINT);
}

TEST_F(QueueTest, PeekWithoutRemoveLeavesTheMessageAndFiltersByWindowAndRange) {
  HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, Wnd);
  HWND other = MakeWindow(WS_VISIBLE, nullptr);
  ValidateRect(Wnd, nullptr);
  ValidateRect(child, nullptr);
  ValidateRect(other, nullptr);
  PostMessage(other, WM_APP + 1, 0, 0);
  PostMessage(child, WM_APP + 2, 0, 0);
  PostMessage(Wnd, WM_USER + 5, 0, 0);

  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, Wnd, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_APP + 2) << "a window filter takes its children's messages";
  ASSERT_TRUE(PeekMessage(&msg, Wnd, WM_USER, WM_USER + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_APP + 1);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_APP + 2);
}

TEST_F(QueueTest, NestedLoopSeesPostedAndInputMessages) {
  // The outer handler runs its own GetMessage loop, as a modal loop or a drag detector does.
  std::vector<UINT> nested;
  WNDPROC old = SetWindowProc(Wnd, nullptr);
  SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP) {
      guitest::Click(h, {3, 4});
      PostMessage(h, WM_APP + 1, 0, 0);
      PostMessage(h, WM_APP + 2, 0, 0);
      MSG msg;
      while (GetMessage(&msg, nullptr, 0, 0)) {
        nested.push_back(msg.message);
        if (msg.message == WM_APP + 2) break;
        TranslateMessage(&msg);
        DispatchMessage(&msg);
      }
      return 0;
    }
    return CallWindowProc(old, h, m, w, l);
  });
  PostMessage(Wnd, WM_APP, 0, 0);
  guitest::PumpPending();
  std::vector<UINT> expected{WM_APP + 1, WM_APP + 2};
  EXPECT_EQ(nested, expected);
  guitest::PumpPending();
  std::vector<UINT> input;
  for (UINT m : Messages(Wnd))
    if (m == WM_LBUTTONDOWN || m == WM_LBUTTONUP) input.push_back(m);
  EXPECT_EQ(input, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(QueueTest, MessagesPostedFromSeveralThreadsAllArriveInOrderPerThread) {
  constexpr int kThreads = 6, kEach = 300;
  std::map<int, std::vector<int>> got;
  WNDPROC old = SetWindowProc(Wnd, nullptr);
  SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP + 9) got[static_cast<int>(w)].push_back(static_cast<int>(l));
    return CallWindowProc(old, h, m, w, l);
  });
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int i = 0; i < kEach; ++i) EXPECT_TRUE(PostMessage(Wnd, WM_APP + 9, static_cast<WPARAM>(t), i));
    });
  }
  auto total = [&] {
    size_t n = 0;
    for (auto& [t, v] : got) n += v.size();
    return n;
  };
  bool all = guitest::PumpUntil([&] { return total() == static_cast<size_t>(kThreads * kEach); });
  for (auto& th : threads) th.join();
  ASSERT_TRUE(all) << total();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(got[t].size(), static_cast<size_t>(kEach));
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(got[t][static_cast<size_t>(i)], i) << "thread " << t;
  }
}

TEST_F(QueueTest, PayloadToAWindowDestroyedBeforeDispatchIsFreed) {
  int64_t before = TObject::LiveObjects();
  HWND target = MakeWindow(0, nullptr);
  std::thread poster([&] { EXPECT_TRUE(PostMessage(target, WM_APP, 0, MakeOwned<TPayload>(1))); });
  poster.join();
  EXPECT_EQ(TObject::LiveObjects(), before + 1);
  DestroyWindow(target);
  guitest::PumpPending();
  EXPECT_EQ(TObject::LiveObjects(), before);
  // Posting to the gone handle fails and frees the payload at once.
  EXPECT_FALSE(PostMessage(target, WM_APP, 0, MakeOwned<TPayload>(2)));
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST_F(QueueTest, PayloadIsFreedUnlessTheHandlerTakesIt) {
  struct Case {
    const char* name;
    bool take;
    int64_t liveAfter;  // relative to before
  };
  const Case cases[] = {{"not taken", false, 0}, {"taken", true, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int64_t before = TObject::LiveObjects();
    Owned<TPayload> kept;
    int seenValue = 0;
    WNDPROC old = SetWindowProc(Wnd, nullptr);
    SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_APP + 3) {
        seenValue = reinterpret_cast<TPayload*>(l)->Value;
        if (c.take) {
          kept = TakePayload<TPayload>(l);
          EXPECT_FALSE(TakePayload(l)) << "a payload is taken once";
        }
        return 0;
      }
      return CallWindowProc(old, h, m, w, l);
    });
    ASSERT_TRUE(PostMessage(Wnd, WM_APP + 3, 0, MakeOwned<TPayload>(42)));
    guitest::PumpPending();
    SetWindowProc(Wnd, old);
    EXPECT_EQ(seenValue, 42);
    EXPECT_EQ(TObject::LiveObjects(), before + c.liveAfter);
    kept.reset();
    EXPECT_EQ(TObject::LiveObjects(), before);
  }
}

// A handler keeps what CurrentMessage gave it while it sends messages that nest deeply (each
// nested dispatch stacks another frame); the message it reads afterwards is still its own.
TEST_F(QueueTest, CurrentMessageStaysValidAcrossNestedSends) {
  constexpr int Depth = 64;
  const MSG* outer = nullptr;
  int deepest = 0;
  WNDPROC old = SetWindowProc(Wnd, nullptr);
  SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP + 4) {
      outer = CurrentMessage();
      SendMessage(h, WM_APP + 5, 1, 0);
      EXPECT_EQ(outer, CurrentMessage());
      EXPECT_EQ(outer->message, WM_APP + 4);
      EXPECT_EQ(outer->wParam, 77u);
      return 0;
    }
    if (m == WM_APP + 5) {
      deepest = std::max(deepest, static_cast<int>(w));
      if (w < Depth) SendMessage(h, WM_APP + 5, w + 1, 0);
      return 0;
    }
    return CallWindowProc(old, h, m, w, l);
  });
  ASSERT_TRUE(PostMessage(Wnd, WM_APP + 4, 77, 0));
  guitest::PumpPending();
  SetWindowProc(Wnd, old);
  EXPECT_EQ(deepest, Depth);
  ASSERT_NE(outer, nullptr);
}

// A handler that expects a payload of one class and gets one of another is handed nothing; the
// payload it did not get is freed all the same.
TEST_F(QueueTest, APayloadOfAnotherClassIsNotTakenAsTheExpectedOne) {
  int64_t before = TObject::LiveObjects();
  bool handled = false;
  bool gotOther = true;
  WNDPROC old = SetWindowProc(Wnd, nullptr);
  SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP + 6) {
      handled = true;
      gotOther = TakePayload<TOtherPayload>(l) != nullptr;
      return 0;
    }
    return CallWindowProc(old, h, m, w, l);
  });
  ASSERT_TRUE(PostMessage(Wnd, WM_APP + 6, 0, MakeOwned<TPayload>(5)));
  guitest::PumpPending();
  SetWindowProc(Wnd, old);
  EXPECT_TRUE(handled);
  EXPECT_FALSE(gotOther);
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST_F(QueueTest, PayloadsLeftInTheQueueAreFreedWhenItIsDropped) {
  int64_t before = TObject::LiveObjects();
  for (int i = 0; i < 5; ++i) PostMessage(Wnd, WM_APP, 0, MakeOwned<TPayload>(i));
  PostMessage(nullptr, WM_APP, 0, MakeOwned<TPayload>(9));  // a thread message nobody handles
  EXPECT_EQ(TObject::LiveObjects(), before + 6);
  pf::testing::ResetQueue();
  EXPECT_EQ(TObject::LiveObjects(), before);
}

TEST_F(QueueTest, SendMessageFromAWorkerThreadFailsAnAssertion) {
  bool asserted = false;
  bool reached = false;
  WNDPROC old = SetWindowProc(Wnd, nullptr);
  SetWindowProc(Wnd, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP) reached = true;
    return CallWindowProc(old, h, m, w, l);
  });
  std::thread worker([&] {
    try {
      SendMessage(Wnd, WM_APP, 0, 0);
    } catch (const EAssertionFailed&) {
      asserted = true;
    }
  });
  worker.join();
  EXPECT_TRUE(asserted);
  EXPECT_FALSE(reached);
  EXPECT_EQ(SendMessage(Wnd, WM_APP, 0, 0), 0);
  EXPECT_TRUE(reached) << "on the GUI thread SendMessage calls the procedure directly";
}

TEST_F(QueueTest, TimerOnTheManualClockFiresWhenItsIntervalHasPassedAndNotBefore) {
  clock::UseManual(5000);
  ASSERT_NE(SetTimer(Wnd, 3, 100), 0u);
  auto timerQueued = [&] {
    MSG msg;
    return PeekMessage(&msg, Wnd, WM_TIMER, WM_TIMER, PM_NOREMOVE) && msg.wParam == 3;
  };
  struct Step {
    Int64 advance;
    bool fires;
  };
  // Due at 5100; once taken it is due again 100 ms after the moment it was taken.
  const Step steps[] = {{0, false}, {99, false}, {1, true}, {50, false}, {49, false}, {1, true}, {250, true}};
  Int64 at = 5000;
  for (const Step& s : steps) {
    clock::Advance(s.advance);
    at += s.advance;
    SCOPED_TRACE(at);
    EXPECT_EQ(timerQueued(), s.fires);
    if (s.fires) {
      MSG msg;
      ASSERT_TRUE(GetMessage(&msg, Wnd, WM_TIMER, WM_TIMER));
      DispatchMessage(&msg);
      EXPECT_FALSE(timerQueued()) << "one WM_TIMER per expiry, however late";
    }
  }
  std::vector<UINT> seen = Messages(Wnd);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_TIMER), 3);
  EXPECT_TRUE(KillTimer(Wnd, 3));
  clock::Advance(1000);
  EXPECT_FALSE(timerQueued());
  EXPECT_FALSE(KillTimer(Wnd, 3));
}

TEST_F(QueueTest, ClockAdvanceWakesABlockedLoopForATimer) {
  clock::UseManual(0);
  UINT_PTR id = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {});
  int fired = 0;
  SetTimer(Wnd, 1, 30, [&](HWND, UINT, UINT_PTR, DWORD) { ++fired; });
  std::thread advancer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    clock::Advance(30);
  });
  MSG msg;
  // GetMessage blocks until the other thread moves the clock.
  ASSERT_TRUE(GetMessage(&msg, nullptr, WM_TIMER, WM_TIMER));
  advancer.join();
  DispatchMessage(&msg);
  if (msg.hwnd == nullptr) {
    ASSERT_TRUE(GetMessage(&msg, Wnd, WM_TIMER, WM_TIMER));
    DispatchMessage(&msg);
  }
  EXPECT_EQ(fired, 1);
  KillTimer(nullptr, id);
}

TEST_F(QueueTest, ExceptionInAHandlerDoesNotCrossDispatch) {
  std::vector<std::string> reported;
  SetDispatchExceptionHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      reported.push_back(ex.what());
    }
  });
  int64_t before = TObject::LiveObjects();
  SetWindowProc(Wnd, [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_APP) throw Exception(u"boom");
    return 0;
  });
  PostMessage(Wnd, WM_APP, 0, MakeOwned<TPayload>(1));
  EXPECT_NO_THROW(guitest::PumpPending());
  SetDispatchExceptionHandler({});
  EXPECT_EQ(reported, (std::vector<std::string>{"boom"}));
  EXPECT_EQ(TObject::LiveObjects(), before) << "the payload of a failed handler is freed too";
}

}  // namespace
}  // namespace usertest
