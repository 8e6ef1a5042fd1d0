#include "app/startup/StartupFixture.h"

#include "platform/rtl/Strings.h"
#include "platform/user/Window_p.h"

namespace startuptest {

TCustomForm* FindForm(const String& Name) {
  for (Integer i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i)->GetName() == Name) return Screen->Forms(i);
  return nullptr;
}

QWidget* WidgetOfControl(TControl* Control) {
  auto* wc = dynamic_cast<TWinControl*>(Control);
  return wc && wc->HandleAllocated() ? layer::WidgetOf(wc->Handle()) : nullptr;
}

TControl* FindControl(TCustomForm* Form, const QString& Name) {
  QWidget* form = Form && Form->HandleAllocated() ? layer::WidgetOf(Form->Handle()) : nullptr;
  if (!form) return nullptr;
  for (QWidget* w : form->findChildren<QWidget*>(Name))
    if (HWND h = layer::HandleOf(w)) return pf::FindControl(h);
  return nullptr;
}

void TScript::Start() {
  FWnd = CreateWindowEx(0, u"TestScript", u"", 0, 0, 0, 1, 1, nullptr);
  SetTimer(FWnd, 1, 10, [this](HWND, UINT, UINT_PTR, DWORD) { Tick(); });
}

void TScript::Stop() {
  if (FWnd && IsWindow(FWnd)) DestroyWindow(FWnd);
  FWnd = nullptr;
}

void TScript::Tick() {
  if (Finished() || !FSteps[FNext].Ready()) return;
  // The step may run a nested loop of its own (a click that closes a form); it is done first.
  Step& step = FSteps[FNext++];
  step.Act();
  if (Finished()) KillTimer(FWnd, 1);
}

void StartupTest::StartLab(const std::string& priceList) {
  labserver::TLabServerOptions options;
  options.PriceList = priceList;
  options.OrdersDir = testsupport::MakeTempDir("orders");
  Lab = std::make_unique<labserver::TLabServer>(options);
  ASSERT_TRUE(Lab->Start());
  setenv("PHOTO_ORDER_LAB_URL", Lab->BaseUrl().c_str(), 1);
}

String StartupTest::LabUrl() const { return Utf8ToString(Lab->BaseUrl()); }

void StartupTest::SetUp() {
  SetCommandLine(std::vector<String>{u"photo-order"});
  app::SetOpenLinkHook([this](const String& url) {
    OpenedLinks.push_back(url);
    return true;
  });
}

void StartupTest::TearDown() {
  Script.Stop();
  app::SetOpenLinkHook({});
  pf::testing::SetMessageBoxHook({});
  pf::testing::ClearMessageBoxLog();
  while (Screen->FormCount() > 0) Screen->Forms(Screen->FormCount() - 1)->Free();
  for (int i = Application->ComponentCount() - 1; i >= 0; --i) Application->Components(i)->Free();
  pf::testing::ResetQueue();
  Application->ResetForTests();
  order::uLists::Reset();
  unsetenv("PHOTO_ORDER_LAB_URL");
  Lab.reset();
}

}  // namespace startuptest
