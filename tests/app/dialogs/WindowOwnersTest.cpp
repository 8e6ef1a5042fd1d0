// The windows the main window opens are its own on the desktop: the add-photos dialog, the order
// dialog, a message box and the preview each have the main window as owner, and are dialogs
// transient for it, so that the desktop keeps them above it.

#include <QWidget>
#include <QWindow>

#include <functional>

#include "app/dialogs/DialogsFixture.h"
#include "app/uFormMain.h"
#include "order/uLists.h"
#include "platform/classlib/Dialogs.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace dlgtest {
namespace {

// What the desktop is told of a window while it shows.
struct TOwnership {
  bool Shown{false};
  HWND Owner{nullptr};
  Qt::WindowType Type{Qt::Widget};
  QWindow* TransientParent{nullptr};
};

class WindowOwnersTest : public DialogsTest {
protected:
  TMain* Main{nullptr};
  void SetUp() override {
    DialogsTest::SetUp();
    order::MinPrice = 0;
    Main = TMain::New(Application);
    Main->Show();
    guitest::PumpPending();
  }
  void TearDown() override {
    pf::testing::SetOpenDialogHook(nullptr);
    Main->Free();
    DialogsTest::TearDown();
  }
  // Runs `open`, which shows a modal window; once `find` finds it, notes what the desktop is told
  // of it and closes it with its close box.
  TOwnership Observe(const std::function<void()>& open, const std::function<HWND()>& find) {
    TOwnership seen;
    int looks = 0;
    std::function<void()> look = [&] {
      HWND h = find();
      if (!h) {
        // The window shows inside the loop that took this work; until then, look again.
        if (++looks < 10000) guitest::PostWork(look);
        return;
      }
      QWidget* w = layer::WidgetOf(h);
      seen.Shown = true;
      seen.Owner = GetParent(h);
      seen.Type = w->windowType();
      seen.TransientParent = w->windowHandle() ? w->windowHandle()->transientParent() : nullptr;
      PostMessage(h, WM_CLOSE, 0, 0);
    };
    guitest::PostWork(look);
    open();
    return seen;
  }
  static HWND Shown(const String& name) {
    for (Integer i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (f->GetName() == name && f->HandleAllocated() && IsWindowVisible(f->Handle())) return f->Handle();
    }
    return nullptr;
  }
};

TEST_F(WindowOwnersTest, TheDialogsOfTheMainWindowStayAboveIt) {
  const String photo = Utf8ToString(WritePhoto(Dir, "лето.jpg", 600, 400));
  struct Case {
    const char* name;
    std::function<void()> open;
    std::function<HWND()> find;
  } cases[] = {
      {"message box", [this] { Main->ActUpload->Execute(); }, [] { return pf::testing::OpenMessageBox(); }},
      {"add-photos dialog",
       [&] {
         pf::testing::SetOpenDialogHook([&](const pf::testing::TOpenDialogRequest&, std::vector<String>& chosen, Integer&) {
           chosen.push_back(photo);
           return true;
         });
         Main->ActAddFoto->Execute();
       },
       [] { return Shown(u"DlgAdd"); }},
      // The preview belongs to the application; the main window makes itself its popup parent.
      {"preview",
       [&] {
         Owned<TImageItem> source(TImageItem::New(nullptr));
         source->FileName = photo;
         source->OrigWidth = 600;
         source->OrigHeight = 400;
         source->ChangeThumb(PatternThumb(150, 100), true);
         Main->AddImage(source.get(), order::ptGlossy, false, 1, 0);
         ember::TEmberItem* item = Main->Photos()->GetItem(0);
         item->SetFocused(true);
         item->SetSelected(true);
         Main->btnEnlargeClick(Main);
       },
       [] { return Shown(u"DlgPreview"); }},
      {"order dialog", [this] { Main->ActUpload->Execute(); }, [] { return Shown(u"DlgUpload"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TOwnership seen = Observe(c.open, c.find);
    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.Owner, Main->Handle());
    EXPECT_EQ(seen.Type, Qt::Dialog);
    EXPECT_EQ(seen.TransientParent, layer::WidgetOf(Main->Handle())->windowHandle());
  }
}

}  // namespace
}  // namespace dlgtest
