#pragma once
// A list view on a form with its window made, and a log of the control's events.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listview/EmberListview.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Streams.h"

namespace lvtest {

using namespace ember;

// Records events as short texts ("ItemSelectionChanged:A").
struct EventLog {
  std::vector<std::string> Lines;
  void Add(const std::string& s) { Lines.push_back(s); }
  void Clear() { Lines.clear(); }
  // The lines that start with `prefix`, in order.
  std::vector<std::string> With(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& l : Lines)
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }
};

// An exception a test's handler raises.
struct EAbortTest : std::exception {};

std::string Name(TEmberCollectionItem* obj);
std::string Hex(std::string_view bytes);
// "06 00 00 00 ..." → bytes; spaces and line breaks are ignored.
std::string Bytes(std::string_view hex);
// The ASCII bytes of a class name with its 4-byte length in front.
std::string NameField(const std::string& name);

// Hooks every state event of items, groups and columns into the log.
void LogStateEvents(TCustomEmberListview* lv, EventLog& log);

class ListviewTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // A control on a form, with its window made; `lv`, when given, is a list of an application's class.
  TEmberListview* MakeList(bool withWindow = true, TEmberListview* lv = nullptr);

  TForm* Form{nullptr};
  TEmberListview* LV{nullptr};
  std::vector<TEmberListview*> Made;
  EventLog Log;
};

// An application item class, registered by name (as the photo item is).
class TAppItem : public TEmberItemStored {
  EMBER_ITEM_CLASS(TAppItem, TEmberItemStored)
public:
  Integer Extra{0};
};

}  // namespace lvtest
