#include "platform/classlib/LinkLabel.h"

#include <QLabel>

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
  std::vector<String> links = Links();
  if (index < 0 || index >= static_cast<Integer>(links.size())) return;
  DoLinkClick(links[static_cast<size_t>(index)], TSysLinkType::sltURL);
}

void TLinkLabel::DoLinkClick(const String& Link, TSysLinkType LinkType) {
  if (OnLinkClick) OnLinkClick(this, Link, LinkType);
}

void TLinkLabel::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  auto* label = new QLabel();
  label->setTextFormat(Qt::RichText);
  label->setOpenExternalLinks(false);
  label->setWordWrap(true);
  // The window under it has a surface of its own; the label paints the form's colour over it.
  label->setAutoFillBackground(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
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
  TWinControl::Dispatch(msg);
}

void TLinkLabel::UpdateLabel() {
  QLabel* label = hosted::Inner<QLabel>(FHandle);
  if (!label) return;
  QString html;
  int n = 0;
  for (const TSegment& seg : Parse(FText)) {
    QString text = hosted::Q(seg.Text).toHtmlEscaped();
    if (seg.IsLink)
      html += QStringLiteral("<a href=\"%1\">%2</a>").arg(n++).arg(text);
    else
      html += text;
  }
  label->setText(html);
}

}  // namespace pf
