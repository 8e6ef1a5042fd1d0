// Worker threads draw on bitmaps of their own while the GUI thread draws too, as the thumbnail
// thread does: the shared stock objects and fonts must hold.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/gdi/Bitmap.h"

namespace {

using namespace pf;

void DrawSome(int seed, bool* ok) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(120, 40);
  for (int i = 0; i < 20; ++i) {
    TCanvas* c = b->GetCanvas();
    c->GetBrush()->SetColor(static_cast<TColor>(RGB(seed * 10, i, 0)));
    c->FillRect(TRect{0, 0, 120, 40});
    c->TextOut(2, 2, u"Thumbnail 10x15");
    TRect r{0, 20, 120, 40};
    DrawTextW(c->GetHandle(), u"caption", -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS);
  }
  *ok = b->GetCanvas()->TextWidth(u"abc") > 0;
}

TEST(Threads, BitmapsAndTextOnSeveralThreads) {
  constexpr int kThreads = 4;
  bool ok[kThreads + 1] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(DrawSome, t, &ok[t]);
  DrawSome(kThreads, &ok[kThreads]);
  for (auto& t : threads) t.join();
  for (bool b : ok) EXPECT_TRUE(b);
}

}  // namespace
