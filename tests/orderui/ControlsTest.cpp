// The link label, the memo and the picture control the program's windows use.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "orderui/uListsUI.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Image.h"
#include "platform/classlib/LinkLabel.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"

namespace {

using namespace pf;

class Controls : public ::testing::Test {
protected:
  void TearDown() override {
    while (Screen->FormCount() > 0) Screen->Forms(Screen->FormCount() - 1)->Free();
    pf::testing::ResetQueue();
  }
};

QImage Picture(HWND h) {
  Application->ProcessMessages();
  return pf::layer::WidgetOf(h)->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Where two pictures of a control differ.
QRect Changed(const QImage& a, const QImage& b) {
  QRect changed;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) changed |= QRect(x, y, 1, 1);
  return changed;
}

TEST_F(Controls, ALinkLabelShowsItsTextAndReportsTheClickedLinksAddress) {
  struct Case {
    const char16_t* caption;
    const char16_t* visible;
    std::vector<String> links;
  };
  const Case cases[] = {
      {u"к сайту <a href=\"http://lab.example/\">lab.example</a>", u"к сайту lab.example", {u"http://lab.example/"}},
      {u"<a>Скачать</a>", u"Скачать", {u"Скачать"}},
      {u"<A HREF='http://a/'>a</A> и <a href=http://b/>b</a>", u"a и b", {u"http://a/", u"http://b/"}},
      {u"без ссылок < > & <b>", u"без ссылок < > & <b>", {}},
      {u"оборвана <a href=\"x\">ссылка", u"оборвана <a href=\"x\">ссылка", {}},
  };
  Owned<TForm> form(TForm::New(Application));
  TLinkLabel* link = TLinkLabel::New(form.get());
  link->SetName(u"lnkTest");
  link->SetBounds(10, 10, 300, 30);
  link->SetParent(form.get());
  std::vector<String> clicked;
  link->OnLinkClick = [&](TObject* sender, const String& address, TSysLinkType) {
    EXPECT_EQ(sender, link);
    clicked.push_back(address);
  };
  form->Show();
  for (const Case& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.caption));
    link->SetCaption(c.caption);
    EXPECT_EQ(link->VisibleText(), c.visible);
    EXPECT_EQ(link->Links(), c.links);
    // What the customer sees is the visible text, with markup of the caption's own escaped.
    auto* label = pf::layer::WidgetOf(link->Handle())->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    QTextDocument doc;
    doc.setHtml(label->text());
    EXPECT_EQ(doc.toPlainText().toStdU16String(), String(c.visible));
    // A click in the toolkit reaches the program from the queue, with the link's address.
    clicked.clear();
    for (size_t i = 0; i < c.links.size(); ++i) emit label->linkActivated(QString::number(i));
    EXPECT_TRUE(clicked.empty());
    guitest::PumpPending();
    EXPECT_EQ(clicked, c.links);
  }
}

TEST_F(Controls, ALinkLabelIsReachedWithTabAndOpenedWithEnterOrSpace) {
  Owned<TForm> form(TForm::New(Application));
  form->SetBounds(0, 0, 400, 200);
  TButton* before = TButton::New(form.get());
  before->SetBounds(10, 10, 80, 25);
  before->SetParent(form.get());
  TLinkLabel* link = TLinkLabel::New(form.get());
  link->SetBounds(10, 50, 300, 30);
  link->SetParent(form.get());
  link->SetCaption(u"<a href=\"http://a/\">a</a> и <a href=\"http://b/\">b</a>");
  TButton* after = TButton::New(form.get());
  after->SetBounds(10, 100, 80, 25);
  after->SetParent(form.get());
  std::vector<String> clicked;
  link->OnLinkClick = [&](TObject*, const String& address, TSysLinkType) { clicked.push_back(address); };
  form->Show();
  before->SetFocus();
  guitest::PumpPending();
  auto* label = pf::layer::WidgetOf(link->Handle())->findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  const QImage unfocused = Picture(link->Handle());
  // Through the application's own handling of keys, which gives the form its dialog keys.
  auto press = [](int key, const QString& text = {}) {
    guitest::Type(GetFocus(), key, text);
    Application->ProcessMessages();
  };
  // Tab reaches the first link, marked as focused; Enter and Space open it.
  press(Qt::Key_Tab);
  ASSERT_EQ(GetFocus(), link->Handle());
  EXPECT_EQ(link->FocusedLink(), 0);
  EXPECT_FALSE(Changed(Picture(link->Handle()), unfocused).isEmpty()) << "the focused link is marked";
  press(Qt::Key_Return);
  press(Qt::Key_Space, " ");
  EXPECT_EQ(clicked, (std::vector<String>{u"http://a/", u"http://a/"}));
  // Tab goes on to the second link, then leaves the control.
  press(Qt::Key_Tab);
  EXPECT_EQ(GetFocus(), link->Handle());
  EXPECT_EQ(link->FocusedLink(), 1);
  press(Qt::Key_Return);
  EXPECT_EQ(clicked.back(), u"http://b/");
  press(Qt::Key_Tab);
  EXPECT_EQ(GetFocus(), after->Handle());
  EXPECT_EQ(link->FocusedLink(), -1);
  EXPECT_EQ(Picture(link->Handle()), unfocused) << "no mark is left behind";

  // Disabled: no link is shown as one, and none opens.
  link->SetEnabled(false);
  guitest::PumpPending();
  EXPECT_FALSE(label->text().contains("<a")) << label->text().toStdString();
  EXPECT_FALSE(label->isEnabled());
  clicked.clear();
  emit label->linkActivated("0");
  link->ClickLink(1);
  guitest::PumpPending();
  EXPECT_TRUE(clicked.empty());
  press(Qt::Key_Tab);
  EXPECT_NE(GetFocus(), link->Handle()) << "a disabled link is not a tab stop";
}

TEST_F(Controls, ALinkLabelWithTheFocusDrawsAFocusMarkLikeTheOtherControls) {
  Owned<TForm> form(TForm::New(Application));
  form->SetBounds(0, 0, 400, 200);
  TButton* button = TButton::New(form.get());
  button->SetBounds(10, 10, 80, 25);
  button->SetParent(form.get());
  TLinkLabel* link = TLinkLabel::New(form.get());
  link->SetBounds(10, 50, 300, 40);
  link->SetParent(form.get());
  // Two links on the first line, the second going on to the next one.
  link->SetCaption(u"к сайту <a href=\"http://a/\">лаборатории</a>, затем <a href=\"http://b/\">справка по "
                   u"программе и её настройкам</a>");
  form->Show();
  auto press = [](int key) {
    guitest::Type(GetFocus(), key);
    Application->ProcessMessages();
  };
  ASSERT_EQ(GetFocus(), button->Handle());
  const QImage linkUnfocused = Picture(link->Handle());
  // The focus put on the controls by the program, before any key: none of them shows it.
  link->SetFocus();
  EXPECT_EQ(Picture(link->Handle()), linkUnfocused);
  button->SetFocus();
  const QImage buttonQuiet = Picture(button->Handle());
  link->SetFocus();
  const QImage buttonUnfocused = Picture(button->Handle());
  EXPECT_EQ(buttonQuiet, buttonUnfocused) << "the button shows no focus before a key either";
  button->SetFocus();
  // Moved by the keyboard, the focus shows on the button and on the link, around the one link
  // that has it.
  press(Qt::Key_Tab);
  ASSERT_EQ(GetFocus(), link->Handle());
  const QRect first = Changed(Picture(link->Handle()), linkUnfocused);
  press(Qt::Key_Tab);
  ASSERT_EQ(GetFocus(), link->Handle());
  EXPECT_EQ(link->FocusedLink(), 1);
  const QRect second = Changed(Picture(link->Handle()), linkUnfocused);
  const int line = QFontMetrics(pf::layer::WidgetOf(link->Handle())->findChild<QLabel*>()->font()).lineSpacing();
  ASSERT_FALSE(first.isEmpty()) << "the first link shows no focus";
  ASSERT_FALSE(second.isEmpty()) << "the second link shows no focus";
  EXPECT_LE(first.height(), line + 2) << "the first link lies on one line";
  EXPECT_GT(second.height(), line) << "the second link goes on to the next line";
  EXPECT_LT(first.right(), second.right()) << "each mark stands around its own link";
  EXPECT_GT(first.left(), 20) << "the text before the first link is not marked";
  press(Qt::Key_Tab);
  ASSERT_EQ(GetFocus(), button->Handle());
  EXPECT_NE(Picture(button->Handle()), buttonUnfocused);
  EXPECT_EQ(Picture(link->Handle()), linkUnfocused) << "the mark goes with the focus";
}

TEST_F(Controls, ALinkLabelsTextStandsWhereItsAlignmentSays) {
  Owned<TForm> form(TForm::New(Application));
  form->SetBounds(0, 0, 400, 100);
  TLinkLabel* link = TLinkLabel::New(form.get());
  link->SetBounds(10, 10, 300, 20);
  link->SetParent(form.get());
  link->SetCaption(u"<a href=\"http://a/\">Справка</a>");
  form->Show();
  struct Case {
    const char* Name;
    TAlignment Alignment;
    int FirstFrom, FirstTo;  // where the text's first inked column may lie
    int LastFrom, LastTo;    // and its last
  };
  // "Справка" is about 50 pixels wide in any of the desktop's fonts.
  const Case cases[] = {
      {"left", TAlignment::taLeftJustify, 0, 8, 30, 100},
      {"right", TAlignment::taRightJustify, 200, 270, 290, 300},
      {"centre", TAlignment::taCenter, 100, 145, 155, 200},
  };
  EXPECT_EQ(link->GetAlignment(), TAlignment::taLeftJustify);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    link->SetAlignment(c.Alignment);
    guitest::PumpPending();
    auto* label = pf::layer::WidgetOf(link->Handle())->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    const QImage shot = label->grab().toImage();
    const QRgb background = shot.pixel(shot.width() - 1, shot.height() - 1) == shot.pixel(0, shot.height() - 1)
                                ? shot.pixel(0, shot.height() - 1)
                                : label->palette().color(QPalette::Window).rgb();
    int first = -1, last = -1;
    for (int x = 0; x < shot.width(); ++x)
      for (int y = 0; y < shot.height(); ++y)
        if (shot.pixel(x, y) != background) {
          if (first < 0) first = x;
          last = x;
          break;
        }
    EXPECT_GE(first, c.FirstFrom);
    EXPECT_LE(first, c.FirstTo);
    EXPECT_GE(last, c.LastFrom);
    EXPECT_LE(last, c.LastTo);
  }
}

TEST_F(Controls, AMemoWrapsOrScrollsSidewaysAsItsScrollBarsSay) {
  Owned<TForm> form(TForm::New(Application));
  form->SetBounds(0, 0, 400, 300);
  TMemo* memo = TMemo::New(form.get());
  memo->SetBounds(10, 10, 200, 100);
  memo->SetParent(form.get());
  memo->SetText(u"Фотография IMG_0001.JPG: ERROR: the lab refused it, and this line is far wider than the memo");
  form->Show();
  struct Case {
    const char* Name;
    TScrollStyle Bars;
    bool WordWrap;
    bool Vertical, Horizontal;  // the scroll bars shown
    bool OneLine;               // the long line stays on one line
  };
  const Case cases[] = {
      {"no scroll bars: wrapped", TScrollStyle::ssNone, true, false, false, false},
      {"vertical: wrapped", TScrollStyle::ssVertical, true, true, false, false},
      {"both: sideways", TScrollStyle::ssBoth, true, true, true, true},
      {"horizontal: sideways", TScrollStyle::ssHorizontal, true, false, true, true},
      {"no wrapping asked: sideways", TScrollStyle::ssNone, false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    memo->SetScrollBars(c.Bars);
    memo->SetWordWrap(c.WordWrap);
    guitest::PumpPending();
    auto* edit = qobject_cast<QPlainTextEdit*>(pf::layer::WidgetOf(memo->Handle()));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->verticalScrollBar()->isVisible(), c.Vertical);
    EXPECT_EQ(edit->horizontalScrollBar()->isVisible(), c.Horizontal);
    EXPECT_EQ(edit->document()->firstBlock().layout()->lineCount() == 1, c.OneLine);
    EXPECT_EQ(memo->GetLines()->Count(), 1) << "the text survives a new window";
  }
}

TEST_F(Controls, ALineAddedToAMemoGoesInAtTheEndAndIntoView) {
  Owned<TForm> form(TForm::New(Application));
  form->SetBounds(0, 0, 400, 300);
  TMemo* memo = TMemo::New(form.get());
  memo->SetBounds(10, 10, 200, 80);
  memo->SetScrollBars(TScrollStyle::ssBoth);
  // Lines before the window exists are kept in the text.
  memo->GetLines()->Add(u"первая");
  memo->SetParent(form.get());
  form->Show();
  guitest::PumpPending();
  auto* edit = qobject_cast<QPlainTextEdit*>(pf::layer::WidgetOf(memo->Handle()));
  ASSERT_NE(edit, nullptr);
  // The customer has placed the caret in the first line; adding does not start the text over.
  QTextCursor caret = edit->textCursor();
  caret.setPosition(2);
  edit->setTextCursor(caret);
  const QTextDocument* before = edit->document();
  for (int i = 2; i <= 20; ++i) memo->GetLines()->Add(u"строка " + IntToStr(i));
  guitest::PumpPending();
  EXPECT_EQ(edit->document(), before);
  ASSERT_EQ(memo->GetLines()->Count(), 20);
  EXPECT_EQ(memo->GetLines()->Get(0), u"первая");
  EXPECT_EQ(memo->GetLines()->Get(19), u"строка 20");
  // The last line is in view, the first is scrolled away.
  const QRect last = edit->cursorRect(QTextCursor(edit->document()->lastBlock()));
  EXPECT_GE(last.top(), 0);
  EXPECT_LE(last.bottom(), edit->viewport()->height());
  EXPECT_GT(edit->verticalScrollBar()->value(), 0);

  // Elsewhere than at the end, the lines are set again.
  memo->GetLines()->Insert(1, u"вставка");
  memo->GetLines()->Delete(0);
  memo->GetLines()->Put(0, u"замена");
  ASSERT_EQ(memo->GetLines()->Count(), 20);
  EXPECT_EQ(memo->GetLines()->Get(0), u"замена");
  EXPECT_EQ(memo->GetLines()->Get(1), u"строка 2");
  memo->GetLines()->Clear();
  EXPECT_EQ(memo->GetText(), u"");
  EXPECT_EQ(memo->GetLines()->Count(), 0);
  memo->GetLines()->Add(u"одна");
  EXPECT_EQ(memo->GetText(), u"одна");
}

// Where the text of a memo's last line starts in view: the position found at the first visible
// column of that line must be its first character, drawn at or right of the view's left edge.
bool LastLineStartsInView(QPlainTextEdit* edit) {
  const QTextBlock last = edit->document()->lastBlock();
  const QRect start = edit->cursorRect(QTextCursor(last));
  const QTextCursor atLeftEdge = edit->cursorForPosition(QPoint(0, start.center().y()));
  return atLeftEdge.block() == last && atLeftEdge.positionInBlock() == 0 && start.left() >= 0 &&
         start.top() >= 0 && start.bottom() <= edit->viewport()->height();
}

TEST_F(Controls, ALineAddedToAMemoShowsTheLinesFromTheirStart) {
  Owned<TForm> form(TForm::New(Application));
  form->SetBounds(0, 0, 400, 300);
  TMemo* memo = TMemo::New(form.get());
  memo->SetBounds(10, 10, 200, 80);
  memo->SetScrollBars(TScrollStyle::ssBoth);
  memo->SetWordWrap(false);
  memo->SetParent(form.get());
  form->Show();
  guitest::PumpPending();
  auto* edit = qobject_cast<QPlainTextEdit*>(pf::layer::WidgetOf(memo->Handle()));
  ASSERT_NE(edit, nullptr);
  QScrollBar* sideways = edit->horizontalScrollBar();
  // Each line is several times the memo's width, the last one the longest.
  for (int i = 1; i <= 10; ++i)
    memo->GetLines()->Add(u"12:00:0" + IntToStr(i % 10) + u" - Фотография IMG_000" + IntToStr(i) +
                          u".JPG: ERROR: refused" + String(static_cast<size_t>(i * 8), u'.'));
  memo->GetLines()->Add(u"12:00:10 - Не удалось отправить фотографию IMG_0010.JPG, она будет пропущена!" +
                        String(120, u' ') + u"конец");
  guitest::PumpPending();
  ASSERT_GT(sideways->maximum(), 0) << "the lines are wider than the memo";
  EXPECT_EQ(sideways->value(), 0);
  EXPECT_TRUE(LastLineStartsInView(edit));
  EXPECT_GT(edit->verticalScrollBar()->value(), 0);

  // The customer scrolls to the end of the lines: the view stays there, also through a repaint,
  // the focus coming to the memo and the form being sized...
  sideways->triggerAction(QAbstractSlider::SliderToMaximum);
  memo->SetFocus();
  form->SetWidth(420);
  RedrawWindow(memo->Handle(), nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  guitest::PumpPending();
  EXPECT_EQ(sideways->value(), sideways->maximum());
  EXPECT_FALSE(LastLineStartsInView(edit));
  // ...until the next line arrives.
  memo->GetLines()->Add(u"12:00:11 - Фотография IMG_0011.JPG: ERROR: refused");
  guitest::PumpPending();
  EXPECT_EQ(sideways->value(), 0);
  EXPECT_TRUE(LastLineStartsInView(edit));
  EXPECT_EQ(memo->GetLines()->Count(), 12);
}

TEST_F(Controls, AnImageDrawsItsPictureWhereItsPlacementSays) {
  Owned<TForm> form(TForm::New(Application));
  TImage* image = TImage::New(form.get());
  image->SetBounds(0, 0, 100, 80);
  image->SetParent(form.get());
  ASSERT_NE(order::WarningImage(), nullptr);
  image->SetPicture(order::WarningImage());
  struct Case {
    bool center, stretch;
    TRect rect;
  };
  // The picture, assets/warning.png from the embedded resources, is 75 x 75.
  const Case cases[] = {
      {false, false, {0, 0, 75, 75}},
      {true, false, {12, 2, 87, 77}},
      {false, true, {0, 0, 100, 80}},
      {true, true, {0, 0, 100, 80}},
  };
  for (const Case& c : cases) {
    image->SetCenter(c.center);
    image->SetStretch(c.stretch);
    EXPECT_EQ(image->DestRect(), c.rect);
  }
  EXPECT_EQ(image->GetPicture()->GetWidth(), 75);
  image->SetPicture(nullptr);
  EXPECT_TRUE(image->GetPicture()->GetEmpty());
}

}  // namespace
