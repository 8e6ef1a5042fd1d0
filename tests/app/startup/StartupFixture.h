#pragma once
// The start-up driven as the customer meets it: the lab server on a loopback port, the program's
// main block with its real download thread and modal loops, and a script of steps that a timer of
// the layer runs inside whichever loop is current. Each step waits for its condition, then acts.

#include <gtest/gtest.h>

#include <QWidget>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/uOpenLink.h"
#include "labserver/LabServer.h"
#include "order/uLists.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/SysUtils.h"
#include "support/TestEnv.h"

namespace startuptest {

using namespace pf;

// A form on screen by its name (also its toolkit object name), or nil.
TCustomForm* FindForm(const String& Name);
// A control of a form by its toolkit object name, found through the form's widget.
TControl* FindControl(TCustomForm* Form, const QString& Name);
template <class T>
T* Find(TCustomForm* Form, const QString& Name) {
  return dynamic_cast<T*>(FindControl(Form, Name));
}
QWidget* WidgetOfControl(TControl* Control);

class TScript {
public:
  struct Step {
    std::string Name;
    std::function<bool()> Ready;
    std::function<void()> Act;
  };
  void Add(std::string Name, std::function<bool()> Ready, std::function<void()> Act) {
    FSteps.push_back({std::move(Name), std::move(Ready), std::move(Act)});
  }
  // Starts the timer that runs the steps; it stops itself after the last one.
  void Start();
  void Stop();
  size_t Done() const { return FNext; }
  bool Finished() const { return FNext == FSteps.size(); }
  std::string Pending() const { return Finished() ? "" : FSteps[FNext].Name; }
  ~TScript() { Stop(); }

private:
  void Tick();
  std::vector<Step> FSteps;
  size_t FNext{0};
  HWND FWnd{nullptr};
};

class StartupTest : public ::testing::Test {
protected:
  void StartLab(const std::string& priceList);
  void SetUp() override;
  void TearDown() override;
  // The price list's requests the lab has seen.
  size_t PriceListRequests() const { return Lab->Requests(labserver::TRequestKind::PriceList).size(); }
  String LabUrl() const;

  std::unique_ptr<labserver::TLabServer> Lab;
  std::vector<String> OpenedLinks;
  TScript Script;
};

}  // namespace startuptest
