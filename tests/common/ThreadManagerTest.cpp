// Worker threads, requests answered to windows, and opening things with the shell.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "CommonTestUtil.h"
#include "common/CommonThreadManager.h"
#include "platform/classlib/Forms.h"
#include "platform/kernel/Version.h"
#include "platform/user/guimain/GuiTest.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "support/TestEnv.h"

namespace {

using namespace commontest;
using namespace common;

class TProbeThread : public TCommonThread {
  PF_CLASS(TProbeThread)
public:
  std::atomic<bool> Ran{false};
  std::atomic<bool> OleDuring{false};
  std::function<void()> Work;

protected:
  void Execute() override {
    Ran = true;
    OleDuring = GetOLEInitialized();
    if (Work) Work();
  }
};

class TProbeRequest : public TCommonThreadRequest {
  PF_CLASS(TProbeRequest)
public:
  void HandleRequest() override {}
};

void WaitFinished(TCommonThread* t) {
  while (!t->GetFinished()) std::this_thread::yield();
}

struct Threads : ::testing::Test {
  std::vector<std::string> Opened;
  void SetUp() override {
    InitializeCommonUtilities();  // binds the shell's entry points
    InitializeCommonThreadManager();
    pf::testing::SetShellExecuteOpener([this](const std::string& target) {
      Opened.push_back(target);
      return true;
    });
  }
  void TearDown() override {
    JoinSelfFreeingThreads();
    pf::testing::SetShellExecuteOpener({});
    FinalizeCommonThreadManager();
    FinalizeCommonUtilities();
    pf::testing::ResetQueue();
    EXPECT_EQ(CommonThreadCount(), 0);
    EXPECT_EQ(CommonThreadRequestCount(), 0);
  }
};

TEST_F(Threads, AnUnfinishedThreadCannotBeFreedAndTerminateResumesIt) {
  TProbeThread* t = TProbeThread::New(true);
  EXPECT_TRUE(t->GetSuspended());
  EXPECT_NE(t->GetHandle(), nullptr);
  EXPECT_EQ(CommonThreadCount(), 1);
  try {
    t->Free();
    ADD_FAILURE() << "freed while unfinished";
  } catch (const EAssertionFailed& e) {
    String m = e.Message();
    EXPECT_NE(m.find(u"The Thread must be terminated before destroying the TCommonThread object"), String::npos);
    EXPECT_NE(m.find(u"CommonLibrary\\Source\\CommonThreadManager"), String::npos);
  }
  EXPECT_FALSE(t->Ran);
  t->Terminate();
  EXPECT_FALSE(t->GetSuspended());
  WaitFinished(t);
  EXPECT_TRUE(t->Ran);
  EXPECT_TRUE(t->OleDuring);
  EXPECT_TRUE(t->GetOLEInitialized()) << "it tells how the initialisation went";
  EXPECT_EQ(t->GetHandle(), nullptr) << "the routine let its handle go";
  EXPECT_TRUE(t->GetTerminated());
  EXPECT_TRUE(t->Event().WaitFor(0));
  t->Free();

  // A thread that runs cannot be stopped from outside here: asking changes nothing, and it says so.
  std::atomic<bool> go{false};
  t = TProbeThread::New(true);
  t->Work = [&go] { while (!go) std::this_thread::yield(); };
  t->Resume();
  while (!t->GetRunning()) std::this_thread::yield();
  t->SetSuspended(true);
  EXPECT_FALSE(t->GetSuspended());
  go = true;
  WaitFinished(t);
  t->Free();
}

TEST_F(Threads, RequestsReachTheWindowTheirWindowHasThenOrAreFreed) {
  using Seen = std::tuple<TForm*, Integer, TCommonThreadRequest*, bool>;  // window, ID, request, payload taken
  std::vector<Seen> seen;
  TForm *early = TForm::New(Application), *late = TForm::New(Application), *remade = TForm::New(Application),
        *gone = TForm::New(Application);
  for (TForm* f : {early, late, remade, gone}) {
    TWndMethod inherited = f->WindowProc;
    f->WindowProc = [&seen, f, inherited](TMessage& m) {
      if (m.Msg != WM_COMMONTHREADCALLBACK) return inherited(m);
      TWMThreadRequest r = ThreadRequestOf(m.Msg, m.WParam, m.LParam);
      EXPECT_EQ(r.Msg, 0x8164u);
      seen.emplace_back(f, r.RequestID, r.Request, TakePayload<TCommonThreadRequest>(m.LParam) != nullptr);
    };
  }
  early->HandleNeeded();
  remade->HandleNeeded();
  gone->HandleNeeded();
  std::vector<Owned<TCommonThreadRequest>> requests;
  std::vector<TCommonThreadRequest*> made;
  for (auto [window, id] : {std::pair<TForm*, Cardinal>{early, 7}, {late, 8}, {remade, 9}, {gone, 10}, {nullptr, 11}}) {
    made.push_back(requests.emplace_back(TProbeRequest::New()).get());
    made.back()->SetID(id);
    made.back()->SetWindow(window);  // on the GUI thread
  }
  // Made suspended: the work must be in place before the thread can run.
  TProbeThread* t = TProbeThread::New(true);
  t->Work = [&] {
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(PostThreadRequest(std::move(requests[i])));
    // No window: the answer goes nowhere and the request is freed at once.
    EXPECT_FALSE(PostThreadRequest(std::move(requests[4])));
  };
  t->Resume();
  WaitFinished(t);
  t->Free();
  HWND before = remade->Handle();
  remade->RecreateWnd();
  ASSERT_NE(remade->Handle(), before);
  gone->Free();
  guitest::PumpPending();
  EXPECT_EQ(seen, (std::vector<Seen>{{early, 7, made[0], true}, {late, 8, made[1], true}, {remade, 9, made[2], true}}));
  EXPECT_EQ(CommonThreadRequestCount(), 0);
  // The number is anyone's to post: a plain lParam under it is no request.
  seen.clear();
  PostMessage(early->Handle(), WM_COMMONTHREADCALLBACK, 5, 0x1234);
  guitest::PumpPending();
  EXPECT_EQ(seen, (std::vector<Seen>{{early, 5, nullptr, false}}));
  for (TForm* f : {early, late, remade}) f->Free();
}

// A thread that frees itself may end, and free its object, as soon as a call lets it: the hook
// runs it to its end at that moment, and the call must not touch the object afterwards (the
// sanitizer build sees any access to the freed object).
TEST_F(Threads, ACallThatLetsAThreadFreeItselfTouchesNothingOfItAfterwards) {
  struct Case {
    const char* name;
    bool suspended;      // made suspended; otherwise it is running when the call comes
    bool freeItselfFirst;
    std::function<void(TProbeThread*)> call;
  } cases[] = {
      {"terminate while suspended", true, true, [](TProbeThread* t) { t->Terminate(); }},
      {"terminate while running", false, true, [](TProbeThread* t) { t->Terminate(); }},
      {"freeing itself switched on while running", false, false, [](TProbeThread* t) { t->SetFreeOnTerminate(true); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> firstLook{-1};  // Terminated when the work began: -1 not run, 0 or 1
    std::atomic<bool> go{false}, running{false};
    TProbeThread* t = TProbeThread::New(true);
    t->SetFreeOnTerminate(c.freeItselfFirst);
    t->Work = [&, t] {
      firstLook = t->GetTerminated();
      running = true;
      // A running thread ends when terminated, or when let go.
      while (!c.suspended && !t->GetTerminated() && !go) std::this_thread::yield();
    };
    if (!c.suspended) {
      t->Resume();
      while (!running) std::this_thread::yield();
    }
    int handOvers = 0;
    common::testing::SetHandOverHook([&] {
      ++handOvers;
      go = true;
      for (int i = 0; i < 10000 && CommonThreadCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ASSERT_EQ(CommonThreadCount(), 0) << "the thread freed itself";
      JoinSelfFreeingThreads();  // its thread has ended: the object is gone
    });
    c.call(t);
    common::testing::SetHandOverHook({});
    go = true;
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(firstLook, c.suspended ? 1 : 0) << "a suspended thread sees the flag at its first look";
  }
}

// A priority is a step from the niceness the thread starts with (the test thread's): below
// normal +5, lowest +10, idle the bottom (19); raising may be refused without privilege, and
// then the thread runs on as it was.
TEST_F(Threads, ThePriorityBecomesTheThreadsOwnNiceness) {
  const int base = ThreadNice();
  auto down = [base](int step) { return std::min(19, base + step); };
  auto up = [base](int step) { return std::max(-20, base - step); };
  struct Case {
    const char* name;
    Integer priority;
    int nice;
    bool mayBeRefused;
  } cases[] = {
      {"normal leaves it", THREAD_PRIORITY_NORMAL, base, false},
      {"below normal", THREAD_PRIORITY_BELOW_NORMAL, down(5), false},
      {"lowest", THREAD_PRIORITY_LOWEST, down(10), false},
      {"between lowest and idle", -7, down(15), false},
      {"idle: the bottom of the range", THREAD_PRIORITY_IDLE, 19, false},
      {"above normal", THREAD_PRIORITY_ABOVE_NORMAL, up(5), true},
      {"time critical: the top", THREAD_PRIORITY_TIME_CRITICAL, -20, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TProbeThread* t = TProbeThread::New(true);
    t->SetPriority(c.priority);
    EXPECT_EQ(t->GetPriority(), c.priority);
    std::atomic<int> seen{1000};
    t->Work = [&seen] { seen = ThreadNice(); };
    t->Resume();
    WaitFinished(t);
    EXPECT_TRUE(t->Ran);
    if (c.mayBeRefused) EXPECT_TRUE(seen == c.nice || seen == base) << seen;
    else EXPECT_EQ(seen, c.nice);
    t->Free();
  }
  // Only the worker moved.
  EXPECT_EQ(ThreadNice(), base);

  // A running thread is moved at once.
  TProbeThread* t = TProbeThread::New(true);
  std::atomic<bool> go{false};
  std::atomic<int> before{1000}, after{1000};
  t->Work = [&] {
    before = ThreadNice();
    while (!go) std::this_thread::yield();
    after = ThreadNice();
  };
  t->Resume();
  while (before == 1000) std::this_thread::yield();
  t->SetPriority(THREAD_PRIORITY_LOWEST);
  go = true;
  WaitFinished(t);
  EXPECT_EQ(before, base);
  EXPECT_EQ(after, down(10));
  // Once it has ended nothing is set through its old kernel id.
  t->SetPriority(THREAD_PRIORITY_IDLE);
  EXPECT_EQ(ThreadNice(), base);
  t->Free();
}

TEST_F(Threads, ARequestCopiesWhatAnotherCarriesAndRefusesNil) {
  Owned<TProbeRequest> a(TProbeRequest::New()), b(TProbeRequest::New());
  a->SetID(3);
  a->SetTag(4);
  a->SetPriority(90);
  a->SetRemainingRequests(5);
  a->SetCallbackWndMessage(0x8200);
  b->Assign(a.get());
  EXPECT_EQ(std::make_tuple(b->GetID(), b->GetTag(), b->GetPriority(), b->GetRemainingRequests(), b->GetCallbackWndMessage()),
            std::make_tuple(3u, 4, 90, 5, 0x8200u));
  EXPECT_THROW(b->Assign(nullptr), EConvertError);
}

TEST_F(Threads, AShellExecuteThreadWithNothingFilledOpensNothing) {
  TCommonShellExecuteThread* t = TCommonShellExecuteThread::New(true);
  EXPECT_TRUE(t->GetFreeOnTerminate());
  t->SetFreeOnTerminate(false);  // kept, to look at what went to the shell
  t->Resume();
  WaitFinished(t);
  const SHELLEXECUTEINFOW& info = t->ShellExecuteInfoW;
  EXPECT_EQ(info.lpFile, nullptr);
  EXPECT_EQ(info.lpVerb, nullptr);
  EXPECT_EQ(info.lpParameters, nullptr);
  EXPECT_EQ(info.lpDirectory, nullptr);
  EXPECT_EQ(info.lpClass, nullptr);
  EXPECT_EQ(info.lpIDList, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(info.hInstApp), SE_ERR_NOASSOC);
  EXPECT_TRUE(Opened.empty());
  t->Free();

  // The usual way: it frees itself, and the unit joins its thread.
  TCommonShellExecuteThread* self = TCommonShellExecuteThread::New(true);
  self->SetlpFile(u"https://example.invalid/manual");
  self->Resume();
  JoinSelfFreeingThreads();
  EXPECT_EQ(CommonThreadCount(), 0);
  EXPECT_EQ(Opened, (std::vector<std::string>{"https://example.invalid/manual"}));
}

// What the creator put in the record stays where the thread has no text of its own.
TEST_F(Threads, TheCreatorsFieldsStayWhereTheThreadHasNone) {
  auto dir = testsupport::MakeTempDir("record");
  std::ofstream(dir / "photo.jpg") << "x";
  const std::string folder = dir.string();
  const String wideFolder = Utf8ToString(folder);
  for (TPlatformVersion platform : {TPlatformVersion{}, TPlatformVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222}}) {
    SetPlatformVersion(platform);
    Opened.clear();
    TCommonShellExecuteThread* t = TCommonShellExecuteThread::New(true);
    t->SetFreeOnTerminate(false);
    t->SetlpFile(u"photo.jpg");
    t->ShellExecuteInfoA.lpDirectory = folder.c_str();
    t->ShellExecuteInfoW.lpDirectory = wideFolder.c_str();
    t->Resume();
    WaitFinished(t);
    EXPECT_EQ(Opened, std::vector<std::string>{(dir / "photo.jpg").string()}) << platform.Platform;
    t->Free();
  }
  ResetPlatformVersion();
}

TEST_F(Threads, WithoutTheShellsEntryPointNothingIsOpened) {
  pf::kernel::testing::RemoveExport("shell32.dll", "ShellExecuteExW");
  ResetWideApiBindingForTests();
  BindWideApiFunctions();
  TCommonShellExecuteThread* t = TCommonShellExecuteThread::New(true);
  t->SetlpFile(u"https://example.invalid/");
  t->Resume();
  JoinSelfFreeingThreads();
  EXPECT_TRUE(Opened.empty());
  pf::kernel::testing::RestoreExports();
  ResetWideApiBindingForTests();
  BindWideApiFunctions();
}

TEST_F(Threads, ShellExecuteOpensOnlyFilesThatExistAndWebAddresses) {
  auto dir = testsupport::MakeTempDir("open");
  std::ofstream(dir / "фото.jpg") << "x";
  String folder = Utf8ToString(dir.string());
  struct Case {
    const char16_t* verb;
    String file;
    String directory;
    uintptr_t answer;
    std::string opened;
  } cases[] = {
      {nullptr, folder + u"/фото.jpg", u"", 42, (dir / "фото.jpg").string()},
      {u"open", u"фото.jpg", folder, 42, (dir / "фото.jpg").string()},
      {u"open", u"HTTP://lab.example/prices", u"", 42, "HTTP://lab.example/prices"},
      {u"explore", folder, u"", 42, dir.string()},
      {u"open", folder + u"/missing.jpg", u"", SE_ERR_FNF, ""},
      {u"print", folder + u"/фото.jpg", u"", SE_ERR_NOASSOC, ""},
      {u"open", u"mailto:lab@example.org", u"", SE_ERR_NOASSOC, ""},
      {u"open", u"ftp://lab.example/x", u"", SE_ERR_NOASSOC, ""},
      {u"open", u"", u"", SE_ERR_NOASSOC, ""},
  };
  for (const Case& c : cases) {
    Opened.clear();
    SHELLEXECUTEINFOW info;
    info.cbSize = sizeof(info);
    info.lpVerb = c.verb;
    info.lpFile = c.file.c_str();
    info.lpDirectory = c.directory.empty() ? nullptr : c.directory.c_str();
    BOOL ok = ShellExecuteExW(&info);
    EXPECT_EQ(ok != 0, c.answer > 32) << StringToUtf8(c.file);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.hInstApp), c.answer) << StringToUtf8(c.file);
    EXPECT_EQ(Opened, c.opened.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.opened})
        << StringToUtf8(c.file);
  }
}

}  // namespace
