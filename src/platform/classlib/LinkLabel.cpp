#include "platform/classlib/LinkLabel.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "platform/classlib/HostedWidget_p.h"
#include "platform/rtl/Strings.h"

namespace pf {

namespace {

// Posted by the label's widget when a link is clicked, so that the program's handler runs from
// the layer's queue and not from inside the toolkit's delivery of the click. wParam: the link.
constexpr UINT CM_LINKCLICKED = CM_BASE + 0x200;

struct TSegment {
  String Text;
  bool IsLink{false};
  String Href;  // empty: the text is the address
};

// The caption split at its <a ...>...</a> tags; text outside them is shown as it is.
std::vector<TSegment> Parse(const String& caption) {
  std::vector<TSegment> out;
  size_t i = 0;
  String plain;
  const String lower = LowerCase(caption);
  while (i < caption.size()) {
    bool open = caption[i] == u'<' && i + 2 < caption.size() && (caption[i + 1] == u'a' || caption[i + 1] == u'A') &&
                (caption[i + 2] == u'>' || caption[i + 2] == u' ');
    size_t tagEnd = open ? caption.find(u'>', i) : String::npos;
    size_t close = tagEnd == String::npos ? String::npos : lower.find(u"</a>", tagEnd);
    if (!open || close == String::npos) {
      plain += caption[i++];
      continue;
    }
    if (!plain.empty()) out.push_back({plain, false, {}});
    plain.clear();
    TSegment link{caption.substr(tagEnd + 1, close - tagEnd - 1), true, {}};
    String attrs = caption.substr(i + 2, tagEnd - i - 2);
    size_t href = LowerCase(attrs).find(u"href=");
    if (href != String::npos) {
      size_t v = href + 5;
      Char quote = v < attrs.size() && (attrs[v] == u'"' || attrs[v] == u'\'') ? attrs[v] : 0;
      if (quote) {
        size_t end = attrs.find(quote, v + 1);
        link.Href = attrs.substr(v + 1, end == String::npos ? String::npos : end - v - 1);
      } else {
        size_t end = attrs.find(u' ', v);
        link.Href = attrs.substr(v, end == String::npos ? String::npos : end - v);
      }
    }
    out.push_back(link);
    i = close + 4;
  }
  if (!plain.empty()) out.push_back({plain, false, {}});
  return out;
}

// The label's widget. It draws the focus mark around the focused link with the style's focus
// frame, as the other controls draw theirs: the style shows it only in a window the keyboard has
// moved around in.
class TLinkWidget : public QLabel {
public:
  // The link to mark (its number in the label's markup), -1 for none.
  int FocusedLink{-1};

protected:
  void paintEvent(QPaintEvent* e) override {
    QLabel::paintEvent(e);
    if (FocusedLink < 0 || !isEnabled()) return;
    QPainter painter(this);
    for (const QRect& r : LinkRects(QString::number(FocusedLink))) {
      QStyleOptionFocusRect option;
      option.initFrom(this);
      option.rect = r.adjusted(-1, 0, 1, 0);
      option.backgroundColor = palette().color(backgroundRole());
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
  }

private:
  // Where the link's text stands, one rectangle per line it takes. The label does not tell, so its
  // text is laid out again as the label lays it out: from the top of its contents, the contents'
  // width wide, without a document margin.
  std::vector<QRect> LinkRects(const QString& href) const {
    QTextDocument doc;
    doc.setDefaultFont(font());
    QTextOption option = doc.defaultTextOption();
    option.setAlignment(alignment());
    option.setWrapMode(wordWrap() ? QTextOption::WordWrap : QTextOption::ManualWrap);
    doc.setDefaultTextOption(option);
    doc.setHtml(text());
    QTextFrameFormat frame = doc.rootFrame()->frameFormat();
    frame.setMargin(0);
    doc.rootFrame()->setFrameFormat(frame);
    const QRect contents = contentsRect();
    doc.setTextWidth(contents.width());
    doc.size();  // lays the text out
    std::vector<QRect> rects;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
      const QTextLayout* layout = block.layout();
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.charFormat().isAnchor() || fragment.charFormat().anchorHref() != href) continue;
        const int from = fragment.position() - block.position();
        const int to = from + fragment.length();
        for (int i = 0; i < layout->lineCount(); ++i) {
          const QTextLine line = layout->lineAt(i);
          const int start = std::max(from, line.textStart());
          const int end = std::min(to, line.textStart() + line.textLength());
          if (start >= end) continue;
          const qreal left = line.cursorToX(start), right = line.cursorToX(end);
          const QRectF r(layout->position() + QPointF(std::min(left, right), line.y()),
                         QSizeF(std::abs(right - left), line.height()));
          rects.push_back(r.toAlignedRect().translated(contents.topLeft()));
        }
      }
    }
    return rects;
  }
};

}  // namespace

void TLinkLabel::Create(TComponent* owner) {
  TWinControl::Create(owner);
  FWidth = 53;
  FHeight = 17;
  TabStop = true;
}

String TLinkLabel::VisibleText() const {
  String s;
  for (const TSegment& seg : Parse(FText)) s += seg.Text;
  return s;
}

std::vector<String> TLinkLabel::Links() const {
  std::vector<String> links;
  for (const TSegment& seg : Parse(FText))
    if (seg.IsLink) links.push_back(seg.Href.empty() ? seg.Text : seg.Href);
  return links;
}

void TLinkLabel::ClickLink(Integer index) {
  if (!FEnabled) return;
  std::vector<String> links = Links();
  if (index < 0 || index >= static_cast<Integer>(links.size())) return;
  DoLinkClick(links[static_cast<size_t>(index)], TSysLinkType::sltURL);
}

Integer TLinkLabel::TextHeight() const {
  QLabel* label = hosted::Inner<QLabel>(FHandle);
  return label ? label->heightForWidth(FWidth) : 0;
}

void TLinkLabel::DoLinkClick(const String& Link, TSysLinkType LinkType) {
  if (OnLinkClick) OnLinkClick(this, Link, LinkType);
}

void TLinkLabel::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  auto* label = new TLinkWidget();
  label->setTextFormat(Qt::RichText);
  label->setOpenExternalLinks(false);
  label->setWordWrap(true);
  // The window under it has a surface of its own; the label paints the form's colour over it.
  label->setAutoFillBackground(true);
  // The keyboard is the layer's: the window takes the focus in the form's Tab order and hears
  // Tab, Enter and Space itself.
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  label->setFocusPolicy(Qt::NoFocus);
  HWND h = FHandle;
  QObject::connect(label, &QLabel::linkActivated, label, [h](const QString& link) {
    PostMessage(h, CM_LINKCLICKED, static_cast<WPARAM>(link.toUInt()), 0);
  });
  if (!hosted::Embed(h, label)) return;
  UpdateLabel();
}

void TLinkLabel::TextChanged() {
  TWinControl::TextChanged();
  UpdateLabel();
}

void TLinkLabel::Dispatch(TMessage& msg) {
  if (msg.Msg == CM_LINKCLICKED) {
    ClickLink(static_cast<Integer>(msg.WParam));
    return;
  }
  if (msg.Msg == WM_KEYDOWN && FFocusedLink >= 0) {
    const Word key = static_cast<Word>(msg.WParam);
    if (key == VK_RETURN || key == VK_SPACE) {
      FKeyTaken = true;
      ClickLink(FFocusedLink);
      return;
    }
    if (key == VK_TAB && WantsKey(VK_TAB)) {
      FKeyTaken = true;
      FFocusedLink += GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
      UpdateLabel();
      return;
    }
  }
  // The character of a key taken above goes no further: the toolkit would move the focus on a
  // Tab of its own.
  if (msg.Msg == WM_CHAR && FKeyTaken) {
    FKeyTaken = false;
    return;
  }
  if (msg.Msg == WM_KEYDOWN) FKeyTaken = false;
  TWinControl::Dispatch(msg);
}

bool TLinkLabel::WantsKey(Word key) const {
  if (FFocusedLink < 0) return false;
  if (key == VK_RETURN) return true;
  // Tab stays inside while another link follows in its direction.
  if (key == VK_TAB)
    return GetKeyState(VK_SHIFT) < 0 ? FFocusedLink > 0
                                     : FFocusedLink + 1 < static_cast<Integer>(Links().size());
  return false;
}

void TLinkLabel::DoEnter() {
  const Integer count = static_cast<Integer>(Links().size());
  // Reached backwards with Shift+Tab, the last link is the first one met.
  FFocusedLink = count == 0 ? -1 : GetKeyState(VK_SHIFT) < 0 ? count - 1 : 0;
  UpdateLabel();
  TWinControl::DoEnter();
}

void TLinkLabel::DoExit() {
  FFocusedLink = -1;
  UpdateLabel();
  TWinControl::DoExit();
}

void TLinkLabel::EnabledChanged() {
  TWinControl::EnabledChanged();
  UpdateLabel();
}

void TLinkLabel::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  UpdateLabel();
}

void TLinkLabel::UpdateLabel() {
  auto* label = static_cast<TLinkWidget*>(hosted::Inner<QLabel>(FHandle));
  if (!label) return;
  const Qt::Alignment across = FAlignment == TAlignment::taRightJustify ? Qt::AlignRight
                               : FAlignment == TAlignment::taCenter      ? Qt::AlignHCenter
                                                                         : Qt::AlignLeft;
  label->setAlignment(across | Qt::AlignTop);
  QString html;
  int n = 0;
  for (const TSegment& seg : Parse(FText)) {
    QString text = hosted::Q(seg.Text).toHtmlEscaped();
    if (!seg.IsLink || !FEnabled) {
      // A disabled link is text like the rest, which the disabled label greys.
      html += text;
    } else {
      html += QStringLiteral("<a href=\"%1\">%2</a>").arg(n++).arg(text);
    }
  }
  label->setEnabled(FEnabled);
  label->setText(html);
  label->FocusedLink = FFocusedLink;
  label->update();
}

}  // namespace pf
