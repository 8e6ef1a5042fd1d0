#include "platform/classlib/ComboBox.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "platform/classlib/HostedWidget_p.h"

namespace pf {

namespace {
// Posted by the widget when the user picked an item, so that OnChange runs from the layer's
// queue and not from inside the toolkit's delivery of the click or key.
constexpr UINT CM_COMBOPICKED = CM_BASE + 0x201;
}  // namespace

void TComboBox::Create(TComponent* owner) {
  TWinControl::Create(owner);
  FWidth = 145;
  FHeight = 21;
  TabStop = true;
  FItems.reset(TStringList::New());
  FItems->OnChange = [this](TObject*) { ItemsChanged(); };
}

void TComboBox::Destroy() {
  if (FItems) FItems->OnChange = nullptr;
  TWinControl::Destroy();
  FItems.reset();
}

void TComboBox::SetItemIndex(Integer index) {
  if (index < -1 || index >= FItems->Count()) index = -1;
  FItemIndex = index;
  if (auto* box = hosted::Inner<QComboBox>(FHandle)) {
    QSignalBlocker block(box);
    box->setCurrentIndex(index);
  }
}

String TComboBox::GetText() const {
  if (FItemIndex < 0 || FItemIndex >= FItems->Count()) return String();
  return FItems->Get(FItemIndex);
}

void TComboBox::SetStyle(TComboBoxStyle style) {
  if (FStyle == style) return;
  FStyle = style;
  if (auto* box = hosted::Inner<QComboBox>(FHandle)) box->setEditable(style == TComboBoxStyle::csDropDown || style == TComboBoxStyle::csSimple);
}

void TComboBox::ItemsChanged() {
  if (FItemIndex >= FItems->Count()) FItemIndex = -1;
  SyncWidget();
}

void TComboBox::SyncWidget() {
  auto* box = hosted::Inner<QComboBox>(FHandle);
  if (!box) return;
  QSignalBlocker block(box);
  box->clear();
  for (Integer i = 0; i < FItems->Count(); ++i) box->addItem(hosted::Q(FItems->Get(i)));
  box->setMaxVisibleItems(std::max(1, DropDownCount));
  box->setCurrentIndex(FItemIndex);
}

void TComboBox::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  auto* box = new QComboBox();
  box->setEditable(FStyle == TComboBoxStyle::csDropDown || FStyle == TComboBoxStyle::csSimple);
  HWND h = FHandle;
  QObject::connect(box, &QComboBox::activated, box, [this, h](int index) {
    // The pick is this control's state at once; the program hears of it from the queue.
    FItemIndex = index;
    PostMessage(h, CM_COMBOPICKED, 0, 0);
  });
  if (!hosted::Embed(h, box)) return;
  SyncWidget();
}

void TComboBox::Dispatch(TMessage& msg) {
  if (msg.Msg == CM_COMBOPICKED) {
    Change();
    return;
  }
  TWinControl::Dispatch(msg);
}

void TComboBox::Change() {
  if (OnChange) OnChange(this);
}

}  // namespace pf
