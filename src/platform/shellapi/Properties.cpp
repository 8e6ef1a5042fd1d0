// The desktop's properties window for one or several files and folders: name, type, location,
// size, modification time and permissions, shown and never changed here. The size of a folder is
// the sum of what it holds, counted on a thread of the window's own while the window stays
// usable and shows the count so far; closing the window stops the count and waits for the thread.

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <set>
#include <vector>

#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Threads.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/user/Messages.h"

namespace pf::shellapi {

namespace {

// From the counting thread: WParam 1 when the count is complete.
constexpr UINT WM_SIZECOUNTED = WM_APP + 0x2F1;

std::mutex gHookMutex;
std::function<void(const std::string&)> gEntryHook;
std::atomic<int> gCounting{0};
std::vector<TCustomForm*> gWindows;

// Sums the sizes below the folders; symbolic links are counted, never followed, and a folder
// on another file system (a mount inside the tree) is left out, as the desktop's own tools do.
class TFolderSizeThread final : public TThread {
  PF_CLASS(TFolderSizeThread)
public:
  std::atomic<uint64_t> Bytes{0};
  std::atomic<uint64_t> Files{0};
  std::atomic<uint64_t> Folders{0};
  std::atomic<bool> Done{false};

protected:
  void Create(HWND msgWnd, std::vector<std::string> folders) {
    FMsgWnd = msgWnd;
    FRoots = std::move(folders);
    TThread::Create(false);
  }

  void Execute() override {
    ++gCounting;
    FLastPost = std::chrono::steady_clock::now();
    for (const std::string& root : FRoots) {
      if (Terminated()) break;
      struct stat st {};
      if (::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Walk(root, st.st_dev);
    }
    Done = !Terminated();
    --gCounting;
    PostMessage(FMsgWnd, WM_SIZECOUNTED, Done ? 1 : 0, 0);
  }

private:
  void Walk(const std::string& root, dev_t device) {
    std::vector<std::string> pending{root};
    while (!pending.empty() && !Terminated()) {
      std::string dir = std::move(pending.back());
      pending.pop_back();
      // The root may be a link the user chose; below it nothing is followed.
      int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (dir == root ? 0 : O_NOFOLLOW));
      if (fd < 0) continue;
      DIR* d = ::fdopendir(fd);
      if (!d) {
        ::close(fd);
        continue;
      }
      while (const dirent* e = ::readdir(d)) {
        if (Terminated()) break;
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        std::string path = JoinPath(dir, name);
        if (S_ISDIR(st.st_mode)) {
          ++Folders;
          if (st.st_dev == device) pending.push_back(path);
        } else {
          ++Files;
          Bytes += static_cast<uint64_t>(st.st_size);
        }
        {
          std::lock_guard<std::mutex> lock(gHookMutex);
          if (gEntryHook) gEntryHook(path);
        }
        Progress();
      }
      ::closedir(d);
    }
  }

  // A few times a second at most: the window shows the count so far without being flooded.
  void Progress() {
    auto now = std::chrono::steady_clock::now();
    if (now - FLastPost < std::chrono::milliseconds(100)) return;
    FLastPost = now;
    PostMessage(FMsgWnd, WM_SIZECOUNTED, 0, 0);
  }

  HWND FMsgWnd{nullptr};
  std::vector<std::string> FRoots;
  std::chrono::steady_clock::time_point FLastPost;
};

String Str(const std::string& s) { return FromNativePath(s); }

String Number(uint64_t n) { return FormatFloat(u"#,##0", static_cast<double>(n)); }

// "3.4 KB (3 512 bytes)": binary units with one decimal, and the exact count.
String SizeText(uint64_t bytes) {
  if (bytes < 1024) return Number(bytes) + (bytes == 1 ? u" byte" : u" bytes");
  static const Char* const kUnits[] = {u"KB", u"MB", u"GB", u"TB", u"PB"};
  double v = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (v >= 1024 && unit < 4) {
    v /= 1024;
    ++unit;
  }
  return FormatFloat(u"0.0", v) + u" " + kUnits[unit] + u" (" + Number(bytes) + u" bytes)";
}

String CountText(uint64_t n, const Char* one, const Char* many) { return Number(n) + u" " + (n == 1 ? one : many); }

String PermissionText(mode_t mode) {
  std::string s = "---------";
  const char* letters = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i)
    if (mode & (0400 >> i)) s[static_cast<size_t>(i)] = letters[i];
  if (mode & S_ISUID) s[2] = (mode & S_IXUSR) ? 's' : 'S';
  if (mode & S_ISGID) s[5] = (mode & S_IXGRP) ? 's' : 'S';
  if (mode & S_ISVTX) s[8] = (mode & S_IXOTH) ? 't' : 'T';
  return Str(s);
}

String OwnerText(uid_t uid, gid_t gid) {
  std::string user = std::to_string(uid), groupName = std::to_string(gid);
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* pwr = nullptr;
  if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &pwr) == 0 && pwr) user = pwr->pw_name;
  struct group gr {};
  struct group* grr = nullptr;
  if (::getgrgid_r(gid, &gr, buf.data(), buf.size(), &grr) == 0 && grr) groupName = grr->gr_name;
  return Str(user) + u", group " + Str(groupName);
}

String TimeText(const struct timespec& t) {
  std::tm tm{};
  time_t sec = t.tv_sec;
  if (!::localtime_r(&sec, &tm)) return String();
  TDateTime dt = EncodeDate(static_cast<Word>(tm.tm_year + 1900), static_cast<Word>(tm.tm_mon + 1),
                            static_cast<Word>(tm.tm_mday)) +
                 EncodeTime(static_cast<Word>(tm.tm_hour), static_cast<Word>(tm.tm_min),
                            static_cast<Word>(std::min(tm.tm_sec, 59)), 0);
  const TFormatSettings& fs = FormatSettings();
  return FormatDateTime(fs.ShortDateFormat + u" " + fs.LongTimeFormat, dt);
}

String TypeText(const std::string& path, bool dir) {
  String t = MimeTypeComment(path, dir);
  if (!t.empty()) return t;
  std::string name = BaseName(path);
  size_t dot = name.find_last_of('.');
  if (dir || dot == std::string::npos || dot == 0) return dir ? u"Folder" : u"File";
  return AnsiUpperCase(Str(name.substr(dot))) + u" File";
}

struct TItem {
  std::string Path;
  struct stat St {};
  bool Dir{false};
};

class TPropertiesForm final : public TForm {
  PF_CLASS(TPropertiesForm)
public:
  TLabel* lblSize{nullptr};
  TLabel* lblContains{nullptr};
  TLabel* lblStatus{nullptr};
  TButton* btnClose{nullptr};

protected:
  void Create(TComponent* owner, std::vector<TItem> items) {
    TForm::Create(owner);
    FItems = std::move(items);
    SetName(u"PropertiesWindow");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    KeyPreview = true;
    SetClientWidth(420);
    SetCaption(WindowCaption());
    Integer y = 12;
    auto row = [&](const String& name, const Char* title, const String& value) {
      TLabel* t = AddLabel(u"lbl" + name + u"Title", 12, y, 96);
      t->SetCaption(title);
      TLabel* v = AddLabel(u"lbl" + name, 112, y, 296);
      v->SetCaption(value);
      y += 22;
      return v;
    };
    row(u"Name", u"Name:", NameText());
    row(u"Type", u"Type:", CommonText([](const TItem& i) { return TypeText(i.Path, i.Dir); }, u"Multiple types"));
    row(u"Location", u"Location:",
        CommonText([](const TItem& i) { return Str(ParentOf(i.Path)); }, u"Multiple folders"));
    y += 6;
    for (const TItem& i : FItems) {
      if (i.Dir) {
        FFolders.push_back(i.Path);
      } else {
        FFileBytes += static_cast<uint64_t>(i.St.st_size);
        ++FFileCount;
      }
    }
    lblSize = row(u"Size", u"Size:", String());
    if (!FFolders.empty()) lblContains = row(u"Contains", u"Contains:", String());
    // Only a folder's size takes time to count.
    lblStatus = AddLabel(u"lblStatus", 112, y, 296);
    if (FFolders.empty()) lblStatus->SetVisible(false);
    else y += 22;
    y += 6;
    if (FItems.size() == 1) row(u"Modified", u"Modified:", TimeText(FItems[0].St.st_mtim));
    // Shown in a read-only box, so they can be selected and copied but not changed.
    TLabel* permTitle = AddLabel(u"lblPermissionsTitle", 12, y + 3, 96);
    permTitle->SetCaption(u"Permissions:");
    TEdit* perms = TEdit::New(this);
    perms->SetName(u"edPermissions");
    perms->SetBounds(112, y, 296, 22);
    perms->SetParent(this);
    perms->SetReadOnly(true);
    perms->SetText(CommonText([](const TItem& i) { return PermissionText(i.St.st_mode); }, u"Multiple values"));
    y += 30;
    row(u"Owner", u"Owner:",
        CommonText([](const TItem& i) { return OwnerText(i.St.st_uid, i.St.st_gid); }, u"Multiple owners"));
    y += 8;
    btnClose = TButton::New(this);
    btnClose->SetName(u"btnClose");
    btnClose->SetBounds(420 - 12 - 82, y, 82, 25);
    btnClose->SetParent(this);
    btnClose->SetCaption(u"Close");
    btnClose->SetDefault(true);
    btnClose->Cancel = true;
    btnClose->OnClick = [this](TObject*) { Close(); };
    SetClientHeight(y + 25 + 12);
    OnClose = [](TObject*, TCloseAction& action) { action = TCloseAction::caFree; };
    ShowTotals();
    gWindows.push_back(this);
  }

  void Destroy() override {
    // The count stops here and its thread is joined before the window it reports to is gone.
    if (FThread) {
      FThread->Terminate();
      FThread->Free();
      FThread = nullptr;
    }
    gWindows.erase(std::remove(gWindows.begin(), gWindows.end(), this), gWindows.end());
    TForm::Destroy();
  }

  void CreateHandleDone() override {
    TForm::CreateHandleDone();
    if (!FFolders.empty() && !FThread) FThread = TFolderSizeThread::New(GetHandle(), FFolders);
    ShowTotals();
  }

  void Dispatch(TMessage& msg) override {
    if (msg.Msg == WM_SIZECOUNTED) {
      ShowTotals();
      return;
    }
    TForm::Dispatch(msg);
  }

private:
  TLabel* AddLabel(const String& name, Integer x, Integer y, Integer w) {
    TLabel* l = TLabel::New(this);
    l->SetName(name);
    l->SetBounds(x, y, w, 16);
    l->SetParent(this);
    return l;
  }

  static std::string ParentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
  }

  String WindowCaption() const {
    String names;
    for (size_t i = 0; i < FItems.size() && i < 2; ++i) names += (i ? u", " : u"") + Str(BaseName(FItems[i].Path));
    if (FItems.size() > 2) names += u", …";
    return names + u" Properties";
  }

  String NameText() const {
    if (FItems.size() == 1) return Str(BaseName(FItems[0].Path));
    uint64_t files = 0, folders = 0;
    for (const TItem& i : FItems) (i.Dir ? folders : files)++;
    String s;
    if (files) s = CountText(files, u"file", u"files");
    if (folders) s += (s.empty() ? u"" : u", ") + CountText(folders, u"folder", u"folders");
    return s;
  }

  // The items' one value, or `various` when they differ.
  template <class F>
  String CommonText(F of, const Char* various) const {
    String first = of(FItems[0]);
    for (size_t i = 1; i < FItems.size(); ++i)
      if (of(FItems[i]) != first) return various;
    return first;
  }

  void ShowTotals() {
    uint64_t bytes = FFileBytes, files = FFileCount, folders = 0;
    bool done = FFolders.empty();
    if (FThread) {
      bytes += FThread->Bytes.load();
      files += FThread->Files.load();
      folders = FThread->Folders.load();
      done = FThread->Done.load();
    }
    lblSize->SetCaption(SizeText(bytes));
    if (lblContains)
      lblContains->SetCaption(CountText(files, u"file", u"files") + u", " + CountText(folders, u"folder", u"folders"));
    lblStatus->SetCaption(done ? String() : String(u"Counting…"));
  }

  std::vector<TItem> FItems;
  std::vector<std::string> FFolders;
  uint64_t FFileBytes{0};
  uint64_t FFileCount{0};
  TFolderSizeThread* FThread{nullptr};
};

}  // namespace

HRESULT ShowPropertiesWindow(const std::vector<std::string>& paths, HWND) {
  if (paths.empty()) return E_INVALIDARG;
  if (!TThread::IsMainThread()) return E_FAIL;
  std::vector<TItem> items;
  for (const std::string& p : paths) {
    TItem item;
    item.Path = p;
    // What was chosen is shown as what it leads to; inside folders links are not followed.
    if (::stat(p.c_str(), &item.St) != 0 && ::lstat(p.c_str(), &item.St) != 0) return HRESULT_FILE_NOT_FOUND;
    item.Dir = S_ISDIR(item.St.st_mode);
    items.push_back(std::move(item));
  }
  // The application, when there is one, frees the windows still open when it ends.
  TPropertiesForm* form = TPropertiesForm::New(Application, std::move(items));
  form->Show();
  return S_OK;
}

namespace testing {
std::vector<TCustomForm*> PropertiesWindows() { return gWindows; }
int CountingThreads() { return gCounting.load(); }
void SetFolderSizeHook(std::function<void(const std::string& path)> hook) {
  std::lock_guard<std::mutex> lock(gHookMutex);
  gEntryHook = std::move(hook);
}
}  // namespace testing

}  // namespace pf::shellapi

namespace pf {

HRESULT SHMultiFileProperties(IDataObject* data, DWORD) {
  if (!data) return E_INVALIDARG;
  std::vector<std::string> paths = shellapi::DataObjectPaths(data);
  return paths.empty() ? E_INVALIDARG : shellapi::ShowPropertiesWindow(paths, nullptr);
}

}  // namespace pf
