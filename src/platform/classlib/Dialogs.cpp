#include "platform/classlib/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QWindow>

#include "platform/classlib/Forms.h"
#include "platform/gdi/QtConvert_p.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Menu.h"
#include "platform/user/Window_p.h"

namespace pf {

namespace {

testing::TOpenDialogHook gHook;

std::vector<String> Split(const String& s, Char sep) {
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == String::npos ? String::npos : at - start));
    if (at == String::npos) break;
    start = at + 1;
  }
  return parts;
}

// A pattern that matches whatever the case of the name's letters: photos come as IMG_0001.JPG as
// often as .jpg, and the platform's dialog matches them alike.
QString CaseFreePattern(const String& pattern) {
  QString out;
  for (QChar ch : Q(pattern)) {
    if (ch.isLetter() && ch.toLower() != ch.toUpper())
      out += QLatin1Char('[') + ch.toLower() + ch.toUpper() + QLatin1Char(']');
    else
      out += ch;
  }
  return out;
}

QStringList NameFilters(const std::vector<TFilterEntry>& filters) {
  QStringList list;
  for (const TFilterEntry& f : filters) {
    QStringList patterns;
    for (const String& p : f.Patterns) patterns << CaseFreePattern(p);
    list << Q(f.Description) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return list;
}

// The other forms are disabled while the dialog is up, and come back whatever ends it.
class TDisabledForms {
public:
  TDisabledForms() {
    if (!Screen) return;
    for (Integer i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (!f->HandleAllocated()) continue;
      HWND h = f->Handle();
      if (IsWindowVisible(h) && IsWindowEnabled(h)) {
        EnableWindow(h, false);
        FDisabled.push_back(h);
      }
    }
  }
  ~TDisabledForms() {
    for (HWND h : FDisabled)
      if (IsWindow(h)) EnableWindow(h, true);
  }
  TDisabledForms(const TDisabledForms&) = delete;
  TDisabledForms& operator=(const TDisabledForms&) = delete;

private:
  std::vector<HWND> FDisabled;
};

}  // namespace

std::vector<TFilterEntry> ParseFilter(const String& filter) {
  std::vector<TFilterEntry> entries;
  if (filter.empty()) return entries;
  std::vector<String> parts = Split(filter, u'|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    TFilterEntry e;
    e.Description = parts[i];
    for (String p : Split(parts[i + 1], u';')) {
      p = Trim(p);
      if (!p.empty()) e.Patterns.push_back(p);
    }
    if (!e.Patterns.empty()) entries.push_back(std::move(e));
  }
  return entries;
}

void TOpenDialog::Create(TComponent* owner) {
  TComponent::Create(owner);
  FFiles = TStringList::New();
}

void TOpenDialog::Destroy() {
  FreeAndNil(FFiles);
  TComponent::Destroy();
}

bool TOpenDialog::Execute() {
  testing::TOpenDialogRequest request;
  request.Owner = GetActiveWindow();
  request.Title = Title;
  request.InitialDir = InitialDir;
  request.Filters = ParseFilter(Filter);
  request.FilterIndex = FilterIndex;
  request.MultiSelect = Options.Contains(TOpenOption::ofAllowMultiSelect);
  request.Resizable = Options.Contains(TOpenOption::ofEnableSizing);
  std::vector<String> chosen;
  Integer chosenFilter = FilterIndex;
  bool ok = false;
  if (testing::TOpenDialogHook hook = gHook) {
    if (TNotifyEvent handler = OnShow) handler(this);
    ok = hook(request, chosen, chosenFilter);
  } else {
    // No toolkit child of the owner: the owner is disabled while the dialog runs, and the
    // toolkit would disable its child windows with it. It stays above the owner instead.
    QFileDialog dlg;
    dlg.setObjectName(QStringLiteral("DlgOpen"));
    if (QWidget* ownerWidget = layer::WidgetOf(request.Owner)) {
      dlg.winId();
      ownerWidget->window()->winId();
      if (dlg.windowHandle() && ownerWidget->window()->windowHandle())
        dlg.windowHandle()->setTransientParent(ownerWidget->window()->windowHandle());
    }
    // The toolkit's own dialog: a native one would run a loop of its own.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!Title.empty()) dlg.setWindowTitle(Q(Title));
    QStringList filters = NameFilters(request.Filters);
    if (!filters.isEmpty()) {
      dlg.setNameFilters(filters);
      int index = std::clamp(FilterIndex, 1, static_cast<Integer>(filters.size())) - 1;
      dlg.selectNameFilter(filters.at(index));
    }
    dlg.setDirectory(InitialDir.empty() ? QDir::currentPath() : Q(InitialDir));
    if (!FileName.empty()) dlg.selectFile(Q(FileName));
    dlg.setSizeGripEnabled(request.Resizable);
    // The platform's dialog has no maximise button, sizeable or not: a sizeable one states the
    // greatest size a window can have, for the window managers that would maximise it otherwise.
    if (!request.Resizable)
      dlg.setFixedSize(dlg.sizeHint());
    else
      dlg.setMaximumSize(layer::kGreatestDesktopSize, layer::kGreatestDesktopSize);
    dlg.setModal(false);
    bool finished = false;
    QObject::connect(&dlg, &QDialog::finished, &dlg, [&finished] {
      finished = true;
      layer::Wake();
    });
    TDisabledForms disabled;
    dlg.show();
    if (TNotifyEvent handler = OnShow) handler(this);
    bool quit = !RunLayerLoopUntil([&] { return finished || !dlg.isVisible(); });
    dlg.hide();
    ok = !quit && dlg.result() == QDialog::Accepted;
    if (ok) {
      for (const QString& f : dlg.selectedFiles()) chosen.push_back(FromQ(QDir::toNativeSeparators(f)));
      int index = static_cast<int>(filters.indexOf(dlg.selectedNameFilter()));
      if (index >= 0) chosenFilter = index + 1;
    }
  }
  if (ok && chosen.empty()) ok = false;
  if (ok) {
    FFiles->Clear();
    for (const String& f : chosen) FFiles->Add(f);
    FileName = chosen.front();
    FilterIndex = chosenFilter;
  }
  if (TNotifyEvent handler = OnClose) handler(this);
  return ok;
}

namespace testing {
void SetOpenDialogHook(TOpenDialogHook hook) { gHook = std::move(hook); }
}  // namespace testing

}  // namespace pf
