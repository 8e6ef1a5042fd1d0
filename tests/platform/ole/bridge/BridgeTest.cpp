// The bridge to the desktop: drops arriving through the toolkit's drag events, the clipboard both
// ways, DoDragDrop's loop between two of our windows and out to the desktop, file lists that lie,
// and the drag image under the pointer.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QUrl>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QWindow>

#include "common/CommonDataObject.h"
#include "common/CommonUtilities.h"
#include "platform/ole/OleBridge_p.h"
#include "platform/rtl/Clock.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace common;

struct Call {
  std::string What;
  DWORD Keys{0};
  TPoint Pt;
  DWORD Effect{0};
  IDataObject* Data{nullptr};
};

// A target that records its calls and answers the effect of the keys, as the list view does:
// Ctrl copies, Ctrl+Shift links, otherwise a move, within what the source allows.
class Recorder final : public IDropTarget, private TComObjectBase {
public:
  std::vector<Call> Calls;
  ComPtr<IDataObject> Dropped;
  std::function<void()> OnEnter;
  std::function<void()> OnOver;

  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = iid == IUnknown::Iid || iid == IDropTarget::Iid ? static_cast<IDropTarget*>(this) : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }  // lives on the test's stack
  ULONG Refs() const { return RefCount(); }
  HRESULT DragEnter(IDataObject* data, DWORD keys, TPoint pt, DWORD* effect) override {
    Calls.push_back({"enter", keys, pt, *effect, data});
    *effect = Effect(keys, *effect);
    if (OnEnter) OnEnter();
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, TPoint pt, DWORD* effect) override {
    Calls.push_back({"over", keys, pt, *effect, nullptr});
    *effect = Effect(keys, *effect);
    if (OnOver) OnOver();
    return S_OK;
  }
  HRESULT DragLeave() override {
    Calls.push_back({"leave"});
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, TPoint pt, DWORD* effect) override {
    Calls.push_back({"drop", keys, pt, *effect, data});
    Dropped = ComPtr<IDataObject>(data);
    *effect = Effect(keys, *effect);
    return S_OK;
  }
  std::string Sequence() const {
    std::string s;
    for (const Call& c : Calls) s += (s.empty() ? "" : " ") + c.What;
    return s;
  }
  static DWORD Effect(DWORD keys, DWORD allowed) {
    TCommonDropEffect e = CommonKeyStatesToDropEffect(KeyStateToCommonKeyStates(keys));
    return CommonDropEffectToDropEffect(e) & allowed;
  }
};

// The list view's source rules: Esc cancels, no button down drops, and the default cursors.
class Source final : public IDropSource, private TComObjectBase {
public:
  int Feedbacks{0};
  DWORD LastFeedback{0};
  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (!(keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) return DRAGDROP_S_DROP;
    return escape ? DRAGDROP_S_CANCEL : S_OK;
  }
  HRESULT GiveFeedback(DWORD effect) override {
    ++Feedbacks;
    LastFeedback = effect;
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }
};

struct Bridge : ::testing::Test {
  HWND A{nullptr}, B{nullptr};
  std::vector<UINT> BMessages;
  int64_t globals = ole::testing::LiveGlobalBlocks();

  void SetUp() override {
    InitializeCommonDataObject();
    A = CreateWindowEx(0, u"DragSource", u"A", WS_VISIBLE, 0, 0, 200, 200, nullptr);
    B = CreateWindowEx(0, u"DropTarget", u"B", WS_VISIBLE, 300, 0, 200, 200, nullptr,
                       [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                         BMessages.push_back(m);
                         if (m == WM_PAINT) {
                           PAINTSTRUCT ps;
                           BeginPaint(h, &ps);
                           EndPaint(h, &ps);
                           return 0;
                         }
                         return DefWindowProc(h, m, w, l);
                       });
    guitest::PumpPending();
  }
  void TearDown() override {
    RevokeDragDrop(B);
    DestroyWindow(A);
    DestroyWindow(B);
    OleSetClipboard(nullptr);
    guitest::PumpPending();
    olebridge::SetDesktopDrag(nullptr);
    clock::UseReal();
    FinalizeCommonDataObject();
    EXPECT_EQ(ole::testing::RegisteredTargets(), 0);
    EXPECT_EQ(ole::testing::LiveGlobalBlocks(), globals);
  }
  static TPoint Screen(HWND h, TPoint client) {
    ClientToScreen(h, &client);
    return client;
  }
  // A data object with a file list of these names and a block of a format of our own.
  static ComPtr<IDataObject> FilesObject(std::initializer_list<String> names) {
    ComPtr<IDataObject> obj(TCommonDataObject::New(true)->AsDataObject());
    Owned<TStringList> list(TStringList::New());
    for (const String& n : names) list->Add(n);
    Owned<TCommonHDrop> drop(TCommonHDrop::New());
    drop->AssignFilesW(list.get());
    drop->SaveToDataObject(obj.Get());
    return obj;
  }
};

const String kCyrillic = u"/tmp/фото/Лето 2024.jpg";
const String kBlank = u"/tmp/a folder/b c.png";
const String kPercent = u"/tmp/100% real.jpeg";

std::vector<String> HDropNames(IDataObject* obj) {
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  if (!drop->LoadFromDataObject(obj)) return {};
  Owned<TStringList> names(TStringList::New());
  drop->FileNamesW(names.get());
  std::vector<String> out;
  for (Integer i = 0; i < names->Count(); ++i) out.push_back(names->Get(i));
  return out;
}

TEST_F(Bridge, ADropFromTheDesktopReachesTheWindowsTarget) {
  Recorder target;
  ASSERT_EQ(RegisterDragDrop(B, &target), S_OK);
  EXPECT_EQ(RegisterDragDrop(B, &target), DRAGDROP_E_ALREADYREGISTERED);
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdU16String(kCyrillic)), QUrl::fromLocalFile(QString::fromStdU16String(kBlank)),
                QUrl::fromLocalFile(QString::fromStdU16String(kPercent))});
  ASSERT_TRUE(mime.data("text/uri-list").contains("%25"));  // the desktop's form, percent-encoded
  // The window system's drag events go to the top-level window, which routes them to the widget.
  QWindow* win = layer::WidgetOf(B)->windowHandle();
  ASSERT_NE(win, nullptr);
  Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QDragEnterEvent enter(QPoint(10, 20), all, &mime, Qt::MouseButtons(Qt::LeftButton), Qt::KeyboardModifiers());
  QCoreApplication::sendEvent(win, &enter);
  QDragMoveEvent move(QPoint(15, 25), all, &mime, Qt::MouseButtons(Qt::LeftButton), Qt::KeyboardModifiers(Qt::ControlModifier));
  QCoreApplication::sendEvent(win, &move);
  EXPECT_TRUE(move.isAccepted());
  EXPECT_EQ(move.dropAction(), Qt::CopyAction);
  QDropEvent drop(QPointF(16, 26), all, &mime, Qt::MouseButtons(), Qt::ShiftModifier | Qt::ControlModifier);
  QCoreApplication::sendEvent(win, &drop);
  EXPECT_EQ(drop.dropAction(), Qt::LinkAction);

  ASSERT_GE(target.Calls.size(), 3u);
  EXPECT_EQ(target.Calls.front().What, "enter");
  EXPECT_EQ(target.Calls.back().What, "drop");
  for (const Call& c : target.Calls) EXPECT_EQ(c.Effect, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK) << c.What;
  EXPECT_EQ(target.Calls.front().Keys, static_cast<DWORD>(MK_LBUTTON));
  EXPECT_EQ(target.Calls.front().Pt, Screen(B, {10, 20}));
  const Call& over = target.Calls[target.Calls.size() - 2];
  EXPECT_EQ(over.What, "over");
  EXPECT_EQ(over.Keys, static_cast<DWORD>(MK_LBUTTON | MK_CONTROL));
  EXPECT_EQ(over.Pt, Screen(B, {15, 25}));
  EXPECT_EQ(target.Calls.back().Keys, static_cast<DWORD>(MK_SHIFT | MK_CONTROL));
  EXPECT_EQ(target.Calls.back().Pt, Screen(B, {16, 26}));

  ASSERT_TRUE(target.Dropped);
  EXPECT_EQ(HDropNames(target.Dropped.Get()), (std::vector<String>{kCyrillic, kBlank, kPercent}));
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(target.Dropped->QueryGetData(&hdrop), S_OK);
  target.Dropped = nullptr;
  EXPECT_EQ(RevokeDragDrop(B), S_OK);
  EXPECT_EQ(RevokeDragDrop(B), DRAGDROP_E_NOTREGISTERED);
  EXPECT_EQ(target.Refs(), 0u);

  // A window destroyed without revoking lets go of its target.
  ASSERT_EQ(RegisterDragDrop(B, &target), S_OK);
  EXPECT_EQ(target.Refs(), 1u);
  DestroyWindow(B);
  guitest::PumpPending();
  EXPECT_EQ(target.Refs(), 0u);
}

TEST_F(Bridge, OurObjectOnTheClipboardReadsBackInEveryFormat) {
  ComPtr<IDataObject> obj = FilesObject({kCyrillic, kBlank});
  ComPtr<ICommonDataObject> common;
  ASSERT_EQ(obj.As(common), S_OK);
  const char cida[] = {1, 0, 0, 0, 12, 0, 0, 0, 14, 0, 0, 0, 0, 0, 3, 0, 'x', 0, 0};
  ASSERT_TRUE(common->SaveGlobalBlock(CF_SHELLIDLIST, cida, sizeof(cida)));
  ASSERT_TRUE(common->SaveGlobalBlock(CF_PREFERREDDROPEFFECT, "\x01\0\0\0", 4));
  const char16_t text[] = u"Привет";
  ASSERT_TRUE(common->SaveGlobalBlock(CF_UNICODETEXT, text, sizeof(text)));

  ASSERT_EQ(OleSetClipboard(obj.Get()), S_OK);
  EXPECT_EQ(OleIsCurrentClipboard(obj.Get()), S_OK);
  ComPtr<IDataObject> same;
  ASSERT_EQ(OleGetClipboard(same.GetAddressOf()), S_OK);
  EXPECT_EQ(same.Get(), obj.Get());  // in this process the object itself comes back

  // The desktop sees file URLs, text, and our formats under their names.
  const QMimeData* seen = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(seen->urls(), (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdU16String(kCyrillic)),
                                       QUrl::fromLocalFile(QString::fromStdU16String(kBlank))}));
  EXPECT_EQ(seen->text(), QString::fromUtf16(u"Привет"));
  EXPECT_EQ(seen->data("application/x-qt-windows-mime;value=\"Shell IDList Array\""), QByteArray(cida, sizeof(cida)));

  // Another program copies what it saw; every format reads back from its data.
  QGuiApplication::clipboard()->setMimeData(olebridge::RenderedCopy(seen));
  EXPECT_EQ(OleIsCurrentClipboard(obj.Get()), S_FALSE);
  ComPtr<IDataObject> foreign;
  ASSERT_EQ(OleGetClipboard(foreign.GetAddressOf()), S_OK);
  ASSERT_NE(foreign.Get(), obj.Get());
  EXPECT_EQ(HDropNames(foreign.Get()), (std::vector<String>{kCyrillic, kBlank}));
  Owned<TCommonShellIDList> ids(TCommonShellIDList::New());
  ASSERT_TRUE(ids->LoadFromDataObject(foreign.Get()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ids->GetCIDA()), ids->GetCIDASize()), std::string(cida, sizeof(cida)));
  std::vector<Byte> bytes;
  for (TClipFormat f : {CF_PREFERREDDROPEFFECT, CF_UNICODETEXT}) {
    FORMATETC fe{f, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m;
    ASSERT_EQ(foreign->GetData(&fe, &m), S_OK) << f;
    std::string got(static_cast<const char*>(GlobalLock(m.hGlobal)), GlobalSize(m.hGlobal));
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    EXPECT_EQ(got, f == CF_UNICODETEXT ? std::string(reinterpret_cast<const char*>(text), sizeof(text)) : std::string("\x01\0\0\0", 4));
  }
  FORMATETC absent{CF_INSHELLDRAGLOOP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(foreign->QueryGetData(&absent), DV_E_FORMATETC);

  // Flushing keeps the data but lets go of our object.
  ASSERT_EQ(OleSetClipboard(obj.Get()), S_OK);
  ASSERT_EQ(OleFlushClipboard(), S_OK);
  EXPECT_EQ(OleIsCurrentClipboard(obj.Get()), S_FALSE);
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), QString::fromUtf16(u"Привет"));
}

TEST_F(Bridge, FilesCopiedByTheDesktopPasteAsAFileList) {
  auto* mime = new QMimeData();
  mime->setUrls({QUrl::fromLocalFile(QString::fromStdU16String(kPercent)), QUrl("https://example.invalid/x"),
                 QUrl::fromLocalFile(QString::fromStdU16String(kCyrillic))});
  QGuiApplication::clipboard()->setMimeData(mime);
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  ASSERT_TRUE(drop->LoadFromClipboard());
  EXPECT_EQ(drop->FileCount(), 2);  // only local files are file names
  EXPECT_EQ(drop->FileNameW(0), kPercent);
  EXPECT_EQ(drop->FileNameW(1), kCyrillic);

  // And the platform's own clipboard calls carry a list to the desktop.
  Owned<TStringList> list(TStringList::New());
  list->Add(kBlank);
  drop->AssignFilesA(list.get());
  ASSERT_TRUE(drop->SaveToClipboard());
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(QString::fromStdU16String(kBlank))});
  EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat("text/plain"));
}

// ---- DoDragDrop ----

struct Drag : Bridge {
  Recorder target;
  Source source;
  ComPtr<IDataObject> obj = FilesObject({kCyrillic});
  void SetUp() override {
    Bridge::SetUp();
    ASSERT_EQ(RegisterDragDrop(B, &target), S_OK);
    // The drag starts with the left button held over A.
    guitest::Mouse(A, QEvent::MouseButtonPress, Qt::LeftButton, {20, 20}, Qt::LeftButton);
    guitest::PumpPending();
  }
  void TearDown() override {
    guitest::Mouse(A, QEvent::MouseButtonRelease, Qt::LeftButton, {20, 20}, Qt::NoButton);
    guitest::PumpPending();
    target.Dropped = nullptr;
    obj = nullptr;
    Bridge::TearDown();
  }
  // Input to A while it holds the mouse; points relative to A's client area may lie in B.
  void MoveTo(TPoint client, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    guitest::Mouse(A, QEvent::MouseMove, Qt::NoButton, client, Qt::LeftButton, mods);
  }
  void Release(TPoint client, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    guitest::Mouse(A, QEvent::MouseButtonRelease, Qt::LeftButton, client, Qt::NoButton, mods);
  }
};

TEST_F(Drag, KeysDecideDropCancelAndEffect) {
  struct Case {
    const char* what;
    std::function<void(Drag&)> input;
    HRESULT result;
    DWORD effect;
    const char* sequence;
  } cases[] = {
      {"button up over the target drops a move",
       [](Drag& d) {
         d.MoveTo({310, 50});
         d.Release({310, 50});
       },
       DRAGDROP_S_DROP, DROPEFFECT_MOVE, "enter over drop"},
      {"Esc cancels",
       [](Drag& d) {
         d.MoveTo({310, 50});
         guitest::Key(d.A, Qt::Key_Escape);
       },
       DRAGDROP_S_CANCEL, DROPEFFECT_NONE, "enter over leave"},
      {"Ctrl copies",
       [](Drag& d) {
         d.MoveTo({310, 50});
         guitest::Key(d.A, Qt::Key_Control, {}, Qt::ControlModifier);
         d.MoveTo({320, 60}, Qt::ControlModifier);
         d.Release({320, 60}, Qt::ControlModifier);
       },
       DRAGDROP_S_DROP, DROPEFFECT_COPY, "enter over over over drop"},
      {"Ctrl+Shift is a link the source does not allow",
       [](Drag& d) {
         d.MoveTo({310, 50}, Qt::ControlModifier | Qt::ShiftModifier);
         d.Release({310, 50}, Qt::ControlModifier | Qt::ShiftModifier);
       },
       DRAGDROP_S_DROP, DROPEFFECT_NONE, "enter over leave"},
      {"button up over a window without a target",
       [](Drag& d) {
         d.MoveTo({310, 50});
         d.MoveTo({50, 50}, Qt::ShiftModifier);
         d.Release({50, 50}, Qt::ShiftModifier);
       },
       DRAGDROP_S_DROP, DROPEFFECT_NONE, "enter leave"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    target.Calls.clear();
    target.Dropped = nullptr;
    guitest::Mouse(A, QEvent::MouseButtonPress, Qt::LeftButton, {20, 20}, Qt::LeftButton);
    guitest::PumpPending();
    c.input(*this);
    DWORD effect = 0xFF;
    EXPECT_EQ(DoDragDrop(obj.Get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), c.result);
    EXPECT_EQ(effect, c.effect);
    EXPECT_EQ(target.Sequence(), c.sequence);
    // Targets in the process get the source's own object.
    EXPECT_EQ(target.Calls.front().Data, obj.Get());
    if (target.Dropped) {
      EXPECT_EQ(target.Dropped.Get(), obj.Get());
    }
    // Key up events left in the queue go to their windows afterwards.
    guitest::Key(A, Qt::Key_Control, {}, Qt::NoModifier, false);
    guitest::PumpPending();
  }
  EXPECT_GT(source.Feedbacks, 0);
}

TEST_F(Drag, TimersPostedMessagesAndPaintingGoOnDuringTheDrag) {
  clock::UseManual(1000);
  int fired = 0;
  size_t callsAtTimer = 0;
  target.OnEnter = [&] {
    // Auto-scroll as the list view does it: a timer set on entering, painting when it fires.
    SetTimer(B, 7, 100, [&](HWND h, UINT, UINT_PTR id, DWORD) {
      if (++fired == 1) {
        callsAtTimer = target.Calls.size();
        InvalidateRect(h, nullptr, false);
        guitest::PostWork([] { clock::Advance(100); });
        return;
      }
      // The painting asked for above came before this second step.
      KillTimer(h, id);
      Release({310, 50});
    });
    guitest::PostWork([] { clock::Advance(100); });
  };
  BMessages.clear();
  MoveTo({310, 50});
  DWORD effect = 0;
  EXPECT_EQ(DoDragDrop(obj.Get(), &source, DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_MOVE);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(callsAtTimer, 2u) << "the timer fired after the enter and before the drop";
  EXPECT_EQ(target.Sequence(), "enter over drop");
  EXPECT_NE(std::find(BMessages.begin(), BMessages.end(), WM_PAINT), BMessages.end());
  EXPECT_EQ(std::find(BMessages.begin(), BMessages.end(), WM_MOUSEMOVE), BMessages.end()) << "the drag takes the input";
}

TEST_F(Drag, LeavingOurWindowsHandsTheDragToTheDesktop) {
  QList<QUrl> handed;
  Qt::DropActions allowed;
  int drags = 0;
  olebridge::SetDesktopDrag([&](QObject*, QMimeData* mime, Qt::DropActions a, const olebridge::TDragImage&) {
    ++drags;
    handed = mime->urls();
    allowed = a;
    delete mime;
    return Qt::CopyAction;
  });
  // The drag starts over B; once there, the pointer goes on out of the program's windows.
  MoveTo({310, 50});
  target.OnEnter = [this] { MoveTo({900, 900}); };
  DWORD effect = 0;
  EXPECT_EQ(DoDragDrop(obj.Get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(drags, 1);
  EXPECT_EQ(allowed, Qt::CopyAction | Qt::MoveAction);
  EXPECT_EQ(handed, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdU16String(kCyrillic))});
  EXPECT_EQ(target.Sequence(), "enter leave");

  // The desktop refusing the drop cancels it.
  target.OnEnter = nullptr;
  olebridge::SetDesktopDrag([](QObject*, QMimeData* mime, Qt::DropActions, const olebridge::TDragImage&) {
    delete mime;
    return Qt::IgnoreAction;
  });
  guitest::Mouse(A, QEvent::MouseButtonPress, Qt::LeftButton, {20, 20}, Qt::LeftButton);
  guitest::PumpPending();
  MoveTo({900, 900});
  EXPECT_EQ(DoDragDrop(obj.Get(), &source, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
}

// ---- File lists that lie ----

// Lists as another program hands them over, and the names that must arrive: the usable local
// files, in order, and nothing else.
struct UriCase {
  const char* what;
  QByteArray list;
  std::vector<String> names;
};
const UriCase kLyingLists[] = {
    {"a zero inside a name hides a second file", "file:///tmp/photo.jpg%00/etc/passwd\r\nfile:///tmp/b.jpg\r\n", {u"/tmp/b.jpg"}},
    {"an empty path before others", "file:\r\nfile:///tmp/a.jpg\r\nfile:///tmp/b.jpg\r\n", {u"/tmp/a.jpg", u"/tmp/b.jpg"}},
    {"another host's file", "file://etc/passwd\r\nfile:///tmp/a.jpg\r\n", {u"/tmp/a.jpg"}},
    {"this machine by name, comments and bare line ends",
     "# from a file manager\nfile://localhost/tmp/a%20b.jpg\nFILE:///tmp/%D1%84%D0%BE%D1%82%D0%BE.jpg\n", {u"/tmp/a b.jpg", u"/tmp/фото.jpg"}},
    {"percent signs that decode to nothing, bytes that are no UTF-8, a query",
     "file:///tmp/100%.jpg\r\nfile:///tmp/%FF.jpg\r\nfile:///tmp/%C0%AF.jpg\r\nfile:///tmp/q.jpg?x=1\r\nfile:///tmp/ok.jpg\r\n", {u"/tmp/ok.jpg"}},
    {"relative names and other schemes", "file:a.jpg\r\nhttps://example.invalid/x.jpg\r\nfile:/tmp/c.jpg\r\n", {u"/tmp/c.jpg"}},
    {"a path that starts with two slashes stays a path", "file:////tmp/x.jpg\r\n", {u"//tmp/x.jpg"}},
};

// A list as the window system hands it over: the bytes as they came, not parsed by the toolkit
// (its own MIME data would parse a list set on it, and mend some of what lies).
class RawList final : public QMimeData {
public:
  explicit RawList(QByteArray bytes) : FBytes(std::move(bytes)) {}
  QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }
  bool hasFormat(const QString& type) const override { return type == QLatin1String("text/uri-list"); }

protected:
  QVariant retrieveData(const QString& type, QMetaType) const override {
    return hasFormat(type) ? QVariant(FBytes) : QVariant();
  }

private:
  QByteArray FBytes;
};

TEST_F(Bridge, ADropOrPasteOfALyingListBringsExactlyItsUsableFiles) {
  QWindow* win = layer::WidgetOf(B)->windowHandle();
  ASSERT_NE(win, nullptr);
  for (const UriCase& c : kLyingLists) {
    SCOPED_TRACE(c.what);
    // Dropped on a window of ours by another program.
    Recorder target;
    ASSERT_EQ(RegisterDragDrop(B, &target), S_OK);
    RawList mime(c.list);
    QDragEnterEvent enter(QPoint(10, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(win, &enter);
    QDropEvent drop(QPointF(10, 20), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(win, &drop);
    ASSERT_TRUE(target.Dropped);
    EXPECT_EQ(HDropNames(target.Dropped.Get()), c.names);
    target.Dropped = nullptr;
    RevokeDragDrop(B);

    // Copied by another program and pasted here, through both of the platform's clipboards.
    QGuiApplication::clipboard()->setMimeData(new RawList(c.list));
    Owned<TCommonHDrop> pasted(TCommonHDrop::New());
    ASSERT_TRUE(pasted->LoadFromClipboard());
    Owned<TStringList> names(TStringList::New());
    pasted->FileNamesW(names.get());
    std::vector<String> got;
    for (Integer i = 0; i < names->Count(); ++i) got.push_back(names->Get(i));
    EXPECT_EQ(got, c.names);
    ComPtr<IDataObject> clip;
    ASSERT_EQ(OleGetClipboard(clip.GetAddressOf()), S_OK);
    EXPECT_EQ(HDropNames(clip.Get()), c.names);
  }
}

// Names going out are paths under an empty authority: one that starts with "//" is never read as
// a host, and what goes out reads back the same.
const std::vector<String> kOutgoing = {u"//tmp/x.jpg", u"/tmp/a b%#?.jpg", u"/tmp/фото.jpg", u"relative.jpg", u"/tmp/z.jpg"};
const QByteArray kOutgoingList =
    "file:////tmp/x.jpg\r\nfile:///tmp/a%20b%25%23%3F.jpg\r\nfile:///tmp/%D1%84%D0%BE%D1%82%D0%BE.jpg\r\nfile:///tmp/z.jpg\r\n";
const std::vector<String> kOutgoingBack = {u"//tmp/x.jpg", u"/tmp/a b%#?.jpg", u"/tmp/фото.jpg", u"/tmp/z.jpg"};

TEST_F(Bridge, NamesCopiedOutArePathsThatReadBackTheSame) {
  EXPECT_EQ(olebridge::UriListOfFiles({u"", String(u"/tmp/a\0b", 8), u"/tmp/ok"}), QByteArray("file:///tmp/ok\r\n"));
  ComPtr<IDataObject> obj(TCommonDataObject::New(true)->AsDataObject());
  Owned<TStringList> list(TStringList::New());
  for (const String& n : kOutgoing) list->Add(n);
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  drop->AssignFilesW(list.get());
  drop->SaveToDataObject(obj.Get());
  ASSERT_EQ(OleSetClipboard(obj.Get()), S_OK);
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/uri-list"), kOutgoingList);
  // Another program of ours copies it and pastes it back.
  QGuiApplication::clipboard()->setMimeData(olebridge::RenderedCopy(QGuiApplication::clipboard()->mimeData()));
  ComPtr<IDataObject> back;
  ASSERT_EQ(OleGetClipboard(back.GetAddressOf()), S_OK);
  EXPECT_EQ(HDropNames(back.Get()), kOutgoingBack);
  // The platform's own clipboard calls write the same list.
  ASSERT_TRUE(drop->SaveToClipboard());
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/uri-list"), kOutgoingList);
}

// ---- The drag image ----

// An 8 x 6 blue bitmap whose top-left 2 x 2 pixels are the white colour key, held at (3, 4).
HBITMAP BlueImage() {
  std::vector<Byte> bits(8 * 6 * 4);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      Byte* p = &bits[static_cast<size_t>(y * 8 + x) * 4];
      const bool key = x < 2 && y < 2;
      p[0] = 0xFF;
      p[1] = key ? 0xFF : 0;
      p[2] = key ? 0xFF : 0;
    }
  return CreateBitmap(8, 6, 1, 32, bits.data());
}

// Keeps the image with the object as the common data object does.
void GiveImage(IDataObject* obj) {
  ComPtr<IDragSourceHelper> helper;
  ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IDragSourceHelper::Iid, helper.GetVoidAddress()), S_OK);
  SHDRAGIMAGE image;
  image.sizeDragImage = TSize{8, 6};
  image.ptOffset = TPoint{3, 4};
  image.hbmpDragImage = BlueImage();
  image.crColorKey = 0xFFFFFF;
  ASSERT_EQ(helper->InitializeFromBitmap(&image, obj), S_OK);
  EXPECT_EQ(image.hbmpDragImage, nullptr) << "the helper took the bitmap";
}

// Where the image shows now; empty when it does not.
TRect ImageOnScreen() {
  TRect r;
  return ole::testing::DragImageOnScreen(&r) ? r : TRect{};
}
TRect ImageAt(TPoint pointer) { return TRect{pointer.X - 3, pointer.Y - 4, pointer.X + 5, pointer.Y + 2}; }

TEST_F(Drag, TheImageFollowsThePointerOverOurWindowsAndGoesOutAsTheDragsPixmap) {
  GiveImage(obj.Get());
  std::vector<TRect> seen;
  QImage shown;
  target.OnEnter = [&] {
    seen.push_back(ImageOnScreen());
    if (QWidget* w = olebridge::DragImageWindow()) shown = w->grab().toImage();
    MoveTo({320, 60});
  };
  target.OnOver = [&] {
    seen.push_back(ImageOnScreen());
    if (seen.size() == 2) Release({320, 60});
  };
  MoveTo({310, 50});
  DWORD effect = 0;
  EXPECT_EQ(DoDragDrop(obj.Get(), &source, DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
  const TPoint first = Screen(A, {310, 50}), second = Screen(A, {320, 60});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], ImageAt(first));
  EXPECT_EQ(seen[1], ImageAt(second));
  EXPECT_EQ(ImageOnScreen(), TRect{}) << "the image goes with the drag";
  // The bitmap as it shows: blue, and nothing where the colour key was.
  ASSERT_EQ(shown.size(), QSize(8, 6));
  EXPECT_EQ(shown.pixel(5, 5) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(shown.pixel(2, 0)), 255);

  // Out of our windows the toolkit's drag carries the image, and ours hides; the image is no
  // data the desktop receives.
  olebridge::TDragImage handed;
  bool oursShown = true;
  QStringList formats;
  olebridge::SetDesktopDrag([&](QObject*, QMimeData* mime, Qt::DropActions, const olebridge::TDragImage& image) {
    handed = image;
    oursShown = ole::testing::DragImageOnScreen(nullptr);
    formats = mime->formats();
    delete mime;
    return Qt::CopyAction;
  });
  target.OnEnter = [this] { MoveTo({900, 900}); };
  target.OnOver = nullptr;
  guitest::Mouse(A, QEvent::MouseButtonPress, Qt::LeftButton, {20, 20}, Qt::LeftButton);
  guitest::PumpPending();
  MoveTo({310, 50});
  EXPECT_EQ(DoDragDrop(obj.Get(), &source, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
  EXPECT_FALSE(oursShown);
  EXPECT_EQ(handed.HotSpot, QPoint(3, 4));
  ASSERT_EQ(handed.Image.size(), QSize(8, 6));
  EXPECT_EQ(handed.Image.pixel(7, 5), qRgba(0, 0, 0xFF, 0xFF));
  EXPECT_EQ(qAlpha(handed.Image.pixel(1, 1)), 0);
  EXPECT_EQ(formats, QStringList{"text/uri-list"});
}

TEST_F(Bridge, TheTargetHelperMovesHidesAndShowsTheImageOfADragOverIt) {
  ComPtr<IDropTargetHelper> helper;
  ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IDropTargetHelper::Iid, helper.GetVoidAddress()), S_OK);
  ComPtr<IDataObject> plain = FilesObject({kBlank});
  ComPtr<IDataObject> pictured = FilesObject({kBlank});
  GiveImage(pictured.Get());
  TPoint p = Screen(B, {40, 40}), q = Screen(B, {60, 45});
  struct Step {
    const char* what;
    std::function<void()> act;
    TRect image;
  } steps[] = {
      {"a drag without an image shows none", [&] { helper->DragEnter(B, plain.Get(), &p, DROPEFFECT_COPY); }, TRect{}},
      {"and moving it shows none", [&] { helper->DragOver(&q, DROPEFFECT_COPY); }, TRect{}},
      {"it leaves", [&] { helper->DragLeave(); }, TRect{}},
      {"a drag with one shows it at the pointer", [&] { helper->DragEnter(B, pictured.Get(), &p, DROPEFFECT_COPY); }, ImageAt(p)},
      {"moves it along", [&] { helper->DragOver(&q, DROPEFFECT_COPY); }, ImageAt(q)},
      {"hides it while the window paints", [&] { helper->Show(0); }, TRect{}},
      {"and still follows the pointer meanwhile", [&] { helper->DragOver(&p, DROPEFFECT_COPY); }, TRect{}},
      {"shows it again", [&] { helper->Show(1); }, ImageAt(p)},
      {"takes it away on the drop", [&] { helper->Drop(pictured.Get(), &p, DROPEFFECT_COPY); }, TRect{}},
      {"and on leaving", [&] {
         helper->DragEnter(B, pictured.Get(), &q, DROPEFFECT_COPY);
         helper->DragLeave();
       }, TRect{}},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(ImageOnScreen(), s.image) << s.what;
  }

  // A block that claims more pixels than it holds is no image.
  ComPtr<ICommonDataObject> common;
  ComPtr<IDataObject> broken = FilesObject({kBlank});
  ASSERT_EQ(broken.As(common), S_OK);
  const Byte lie[24] = {0, 1, 0, 0, 0, 1, 0, 0};
  ASSERT_TRUE(common->SaveGlobalBlock(static_cast<TClipFormat>(olebridge::DragImageFormat()), lie, sizeof(lie)));
  EXPECT_TRUE(olebridge::DragImageOf(broken.Get()).Image.isNull());
  helper->DragEnter(B, broken.Get(), &p, DROPEFFECT_COPY);
  EXPECT_EQ(ImageOnScreen(), TRect{});
  helper->DragLeave();

  // Without a bitmap or an object the source helper refuses, and the caller keeps its bitmap.
  ComPtr<IDragSourceHelper> source;
  ASSERT_EQ(helper.As(source), S_OK);
  SHDRAGIMAGE image;
  image.sizeDragImage = TSize{8, 6};
  EXPECT_EQ(source->InitializeFromBitmap(&image, plain.Get()), E_INVALIDARG);
  image.hbmpDragImage = BlueImage();
  EXPECT_EQ(source->InitializeFromBitmap(&image, nullptr), E_INVALIDARG);
  EXPECT_NE(image.hbmpDragImage, nullptr);
  DeleteObject(image.hbmpDragImage);
}

}  // namespace
