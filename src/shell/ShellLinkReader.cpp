#include "shell/ShellLinkReader.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "platform/rtl/Strings.h"
#include "platform/shellapi/ShellApi.h"
#include "shell/ShellUtilities.h"

namespace shell {

namespace {

constexpr TCmdShow kShowCmds[] = {TCmdShow::swHide,          TCmdShow::swShowNormal,      TCmdShow::swShowMinimized,
                                  TCmdShow::swMaximize,      TCmdShow::swShowNoActive,    TCmdShow::swShow,
                                  TCmdShow::swMinimize,      TCmdShow::swShowMinNoActive, TCmdShow::swShowNA,
                                  TCmdShow::swRestore,       TCmdShow::swShowDefault};

THotKeyModifiers ModifiersOf(Byte high) {
  THotKeyModifiers m;
  if (high & HOTKEYF_ALT) m.Include(THotKeyModifier::hkmAlt);
  if (high & HOTKEYF_CONTROL) m.Include(THotKeyModifier::hkmControl);
  if (high & HOTKEYF_EXT) m.Include(THotKeyModifier::hkmExtendedKey);
  if (high & HOTKEYF_SHIFT) m.Include(THotKeyModifier::hkmShift);
  return m;
}

}  // namespace

void TShellLinkReader::Destroy() {
  FreeTargetIDList();
  FShellLinkW = nullptr;
  FShellLinkA = nullptr;
  TComponent::Destroy();
}

void TShellLinkReader::FreeTargetIDList() {
  if (!FTargetIDList) return;
  ComPtr<IMalloc> malloc;
  if (SUCCEEDED(SHGetMalloc(malloc.GetAddressOf()))) malloc->Free(FTargetIDList);
  FTargetIDList = nullptr;
}

ComPtr<IShellLinkW> TShellLinkReader::GetShellLinkWInterface() {
  if (!FShellLinkW) CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IShellLinkW::Iid, FShellLinkW.GetVoidAddress());
  return FShellLinkW;
}

ComPtr<IShellLinkA> TShellLinkReader::GetShellLinkAInterface() {
  if (!FShellLinkA) CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IShellLinkA::Iid, FShellLinkA.GetVoidAddress());
  return FShellLinkA;
}

// Reads the fields through a link object; a field whose query fails keeps its value. Answers
// whether the final show-command query worked.
template <class Link, class Ch>
bool TShellLinkReader::ReadFields(Link* link) {
  // The target, the working folder and the icon are paths, which here may be far longer than the
  // 260 characters of the platform we stand in for: they are read with room for any path.
  constexpr int kText = 1024, kPath = static_cast<int>(std::max<size_t>(kText, SHELL_PATH_CAPACITY));
  std::vector<Ch> buf(kPath, 0);
  auto text = [&](String& field, HRESULT hr) {
    if (FAILED(hr)) return;
    if constexpr (std::is_same_v<Ch, Char>) field = buf.data();
    else field = CodePageToString(buf.data(), CP_ACP);
  };
  std::conditional_t<std::is_same_v<Ch, Char>, WIN32_FIND_DATAW, WIN32_FIND_DATAA> fd{};
  text(FTargetPath, link->GetPath(buf.data(), kPath, &fd, SLGP_UNCPRIORITY));
  text(FArguments, link->GetArguments(buf.data(), kText));
  text(FDescription, link->GetDescription(buf.data(), kText));
  text(FWorkingDirectory, link->GetWorkingDirectory(buf.data(), kPath));
  int icon = 0;
  HRESULT hr = link->GetIconLocation(buf.data(), kPath, &icon);
  text(FIconLocation, hr);
  if (SUCCEEDED(hr)) FIconIndex = icon;
  FreeTargetIDList();
  link->GetIDList(&FTargetIDList);
  Word hot = 0;
  if (SUCCEEDED(link->GetHotkey(&hot))) {
    FHotKey = hot & 0xFF;
    FHotKeyModifiers = ModifiersOf(static_cast<Byte>(hot >> 8));
  }
  int show = 0;
  if (FAILED(link->GetShowCmd(&show))) return false;
  if (show >= 0 && show <= 10) FShowCmd = kShowCmds[show];
  return true;
}

bool TShellLinkReader::ReadWide() { return ReadFields<IShellLinkW, Char>(FShellLinkW.Get()); }

bool TShellLinkReader::ReadAnsi(const String& linkFileName) {
  ComPtr<IShellLinkA> link = GetShellLinkAInterface();
  ComPtr<IPersistFile> file;
  if (!link || FAILED(link.As(file))) return false;
  FFileName = linkFileName;
  // Opened for reading only, and never saved: reading a link must not change it.
  if (FAILED(file->Load(FFileName.c_str(), STGM_READ))) {
    FFileName.clear();
    return false;
  }
  ReadFields<IShellLinkA, char>(link.Get());
  return true;
}

bool TShellLinkReader::ReadLink(const String& linkFileName) {
  bool result = false;
  bool wideDone = false;
  ComPtr<IShellLinkW> link = GetShellLinkWInterface();
  ComPtr<IPersistFile> file;
  if (link && SUCCEEDED(link.As(file))) {
    FFileName = linkFileName;
    // Opened for reading only: a link on read-only media reads as well as any other.
    if (SUCCEEDED(file->Load(linkFileName.c_str(), STGM_READ))) {
      result = true;
      wideDone = ReadWide();
    } else {
      FFileName.clear();
    }
  }
  // Without an 8-bit link object a failed wide load leaves no file name behind.
  if (!wideDone && ReadAnsi(linkFileName)) result = true;
  return result;
}

}  // namespace shell
