#pragma once
// The applications of the desktop for a type of file, as the freedesktop conventions register
// them: desktop entries (.desktop files of Type=Application) in the "applications" folders of the
// XDG data folders, their MimeType lines, and the mimeapps.list files of the XDG config and data
// folders with their default applications and their added and removed associations. Exec lines
// become argument vectors for starting a program without a shell.

#include <optional>
#include <string>
#include <vector>

namespace pf::shellapi {

struct TDesktopApp {
  std::string Id;       // the desktop file ID: its path below "applications", "/" as "-"
  std::string File;     // the desktop file that defines it
  std::string Name;     // the entry's Name
  std::string Exec;     // the Exec line, its string escapes undone
  std::string WorkDir;  // the entry's Path, empty for none
};

// The programs registered for MIME types (each with its parent types), most preferred first:
// the first is the default application.
using TTypeApps = std::vector<TDesktopApp>;

// The folders searched, most important first: $XDG_CONFIG_HOME then $XDG_CONFIG_DIRS (default
// /etc/xdg); $XDG_DATA_HOME then $XDG_DATA_DIRS (default /usr/local/share:/usr/share). Relative
// entries are ignored, as the XDG base directory standard asks.
std::vector<std::string> XdgConfigDirs();
std::vector<std::string> XdgDataDirs();

TTypeApps AppsForTypes(const std::vector<std::string>& mimeTypes);
// An installed application by desktop file ID (the first data folder that has it wins; a hidden
// or broken entry hides the ID).
std::optional<TDesktopApp> FindDesktopApp(const std::string& id);
// A program of an Exec line or TryExec key: a name is looked for along PATH, a path must be
// absolute; empty when it is not there or not executable.
std::string FindProgram(const std::string& name);
// The canonical name of a MIME type the shared database knows (aliases resolved), or empty.
std::string CanonicalMimeType(const std::string& name);

// An Exec line split into arguments by its quoting rules; nothing for a malformed line (an
// unclosed quote, an empty program).
std::optional<std::vector<std::string>> SplitExecLine(const std::string& exec);
// The argument vectors that open `files` (absolute paths) with an Exec line: %f and %u run the
// program once per file, %F and %U once with all of them, no code once without them. Paths go in
// as they are for %f/%F and as file: URLs for %u/%U; "%%" is a percent sign, every other code is
// removed (an argument that was only a code goes away). Nothing for a malformed line.
std::optional<std::vector<std::vector<std::string>>> ExecCommands(const std::string& exec,
                                                                  const std::vector<std::string>& files);

}  // namespace pf::shellapi
