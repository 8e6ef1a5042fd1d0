#pragma once
// The open-file dialog: the toolkit's own (non-native) file dialog, opened without a loop of its
// own and waited for in a layer loop while the program's other forms are disabled, as a modal
// dialog of the platform. The filter is the platform's "description|patterns|..." list, matched
// without regard to case; tests answer it through a hook.

#include <functional>
#include <vector>

#include "platform/classlib/Component.h"
#include "platform/user/User.h"

namespace pf {

enum class TOpenOption {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TComponent {
  PF_CLASS(TOpenDialog)
public:
  // Shows the dialog; true when the user chose files (Files and FileName hold them, full paths).
  virtual bool Execute();
  TStrings* GetFiles() const { return FFiles; }
  String FileName;
  // "Описание|*.bmp;*.jpg|..." pairs of a description and patterns separated by ";".
  String Filter;
  Integer FilterIndex{1};  // 1-based; the filter the user left chosen comes back here
  String InitialDir;
  String Title;
  TOpenOptions Options{TOpenOption::ofHideReadOnly, TOpenOption::ofEnableSizing};
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;

private:
  TStrings* FFiles{nullptr};
};

// One filter entry: its description and its patterns.
struct TFilterEntry {
  String Description;
  std::vector<String> Patterns;
};
std::vector<TFilterEntry> ParseFilter(const String& filter);

namespace testing {
struct TOpenDialogRequest {
  HWND Owner{nullptr};
  String Title;
  String InitialDir;
  std::vector<TFilterEntry> Filters;
  Integer FilterIndex{1};
  bool MultiSelect{false};
  bool Resizable{false};
};
// Answers open dialogs without showing them: the hook fills the chosen files (and may change the
// filter index) and answers whether the user chose (true) or cancelled. Empty: dialogs show.
using TOpenDialogHook = std::function<bool(const TOpenDialogRequest& request, std::vector<String>& files,
                                           Integer& filterIndex)>;
void SetOpenDialogHook(TOpenDialogHook hook);
}  // namespace testing

}  // namespace pf
