#pragma once
// TShellLinkReader: reads a link into plain properties (target path and item ID list, arguments,
// description, working folder, icon, hot key, show command). It only reads: a link is never
// written back, and it is opened for reading, so links on read-only media can be read too.

#include "platform/classlib/Component.h"
#include "platform/rtl/Set.h"
#include "platform/shellapi/ShellObjects.h"

namespace shell {

using namespace pf;

enum class TCmdShow {
  swHide, swMaximize, swMinimize, swRestore, swShow, swShowDefault, swShowMinimized, swShowMinNoActive, swShowNA,
  swShowNoActive, swShowNormal
};
enum class THotKeyModifier { hkmAlt, hkmControl, hkmExtendedKey, hkmShift };
using THotKeyModifiers = TSet<THotKeyModifier>;

class TShellLinkReader : public TComponent {
  PF_CLASS(TShellLinkReader)
public:
  bool ReadLink(const String& linkFileName);

  const String& GetArguments() const { return FArguments; }
  void SetArguments(const String& v) { FArguments = v; }
  const String& GetDescription() const { return FDescription; }
  void SetDescription(const String& v) { FDescription = v; }
  const String& GetFileName() const { return FFileName; }
  void SetFileName(const String& v) { FFileName = v; }
  Word GetHotKey() const { return FHotKey; }
  void SetHotKey(Word v) { FHotKey = v; }
  THotKeyModifiers GetHotKeyModifiers() const { return FHotKeyModifiers; }
  void SetHotKeyModifiers(THotKeyModifiers v) { FHotKeyModifiers = v; }
  Integer GetIconIndex() const { return FIconIndex; }
  void SetIconIndex(Integer v) { FIconIndex = v; }
  const String& GetIconLocation() const { return FIconLocation; }
  void SetIconLocation(const String& v) { FIconLocation = v; }
  PItemIDList GetTargetIDList() const { return FTargetIDList; }
  void SetTargetIDList(PItemIDList v) { FTargetIDList = v; }
  TCmdShow GetShowCmd() const { return FShowCmd; }
  void SetShowCmd(TCmdShow v) { FShowCmd = v; }
  const String& GetTargetPath() const { return FTargetPath; }
  void SetTargetPath(const String& v) { FTargetPath = v; }
  const String& GetWorkingDirectory() const { return FWorkingDirectory; }
  void SetWorkingDirectory(const String& v) { FWorkingDirectory = v; }
  ComPtr<IShellLinkA> GetShellLinkAInterface();
  ComPtr<IShellLinkW> GetShellLinkWInterface();

  // Tests put doubles of the link objects here.
  void SetShellLinkInterfaces(ComPtr<IShellLinkW> w, ComPtr<IShellLinkA> a) {
    FShellLinkW = std::move(w);
    FShellLinkA = std::move(a);
  }

protected:
  void Destroy() override;

private:
  void FreeTargetIDList();
  template <class Link, class Ch>
  bool ReadFields(Link* link);
  bool ReadWide();
  bool ReadAnsi(const String& linkFileName);

  String FFileName;
  ComPtr<IShellLinkA> FShellLinkA;
  ComPtr<IShellLinkW> FShellLinkW;
  Integer FIconIndex{0};
  PItemIDList FTargetIDList{nullptr};
  TCmdShow FShowCmd{TCmdShow::swHide};
  THotKeyModifiers FHotKeyModifiers;
  String FTargetPath, FArguments, FDescription, FWorkingDirectory, FIconLocation;
  Word FHotKey{0};
};

}  // namespace shell
