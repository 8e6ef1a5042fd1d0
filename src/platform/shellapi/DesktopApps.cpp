// The desktop-entry database: which programs the desktop registers for a type of file, read the
// way the freedesktop standards for desktop entries, MIME applications and the base
// directories order it.

#include "platform/shellapi/DesktopApps.h"

#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/shellapi/ShellApi_p.h"

namespace pf::shellapi {

namespace {

// Desktop entries and mimeapps.list files are small; a larger one is no file of these formats.
constexpr std::streamsize kMaxFileBytes = 1 << 20;
// "applications" folders hold a few levels of vendor folders at most.
constexpr int kMaxFolderDepth = 8;

std::vector<std::string> SplitDirs(const char* var, const char* fallback) {
  const char* v = std::getenv(var);
  std::string list = v && *v ? v : fallback;
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string d = list.substr(start, end - start);
    if (!d.empty() && d[0] == '/') dirs.push_back(d);
    start = end + 1;
  }
  return dirs;
}

// A FIFO or a device put where a file is expected is refused too, never waited on.
bool ReadBounded(const std::string& path, std::string& text) {
  return ReadBoundedFile(path, static_cast<size_t>(kMaxFileBytes), text);
}

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return std::string(s.substr(b, e - b + 1));
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

// The key-file format shared by desktop entries and mimeapps.list: groups of key=value lines.
using TGroups = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

TGroups ParseKeyFile(const std::string& text) {
  TGroups groups;
  std::vector<std::pair<std::string, std::string>>* group = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      group = &groups[t.substr(1, t.size() - 2)];
      continue;
    }
    size_t eq = t.find('=');
    if (!group || eq == std::string::npos) continue;
    group->emplace_back(Trim(std::string_view(t).substr(0, eq)), Trim(std::string_view(t).substr(eq + 1)));
  }
  return groups;
}

const std::string* Value(const TGroups& groups, const std::string& group, const std::string& key) {
  auto g = groups.find(group);
  if (g == groups.end()) return nullptr;
  const std::string* found = nullptr;
  for (const auto& [k, v] : g->second)
    if (k == key) found = &v;
  return found;
}

// The escapes of a string value: \s \n \t \r \\; any other backslash stays as it is.
std::string UnescapeValue(const std::string& v) {
  std::string r;
  for (size_t i = 0; i < v.size(); ++i) {
    char next = i + 1 < v.size() ? v[i + 1] : '\0';
    const char* from = "sntr\\";
    const char* to = " \n\t\r\\";
    const char* hit = v[i] == '\\' && next ? std::strchr(from, next) : nullptr;
    if (hit) {
      r += to[hit - from];
      ++i;
    } else {
      r += v[i];
    }
  }
  return r;
}

// A list value: items ended by ";" (the last one may lack it), "\;" inside an item.
std::vector<std::string> SplitList(const std::string& v) {
  std::vector<std::string> items;
  std::string cur;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size() && v[i + 1] == ';') {
      cur += ';';
      ++i;
    } else if (v[i] == ';') {
      if (!Trim(cur).empty()) items.push_back(Trim(cur));
      cur.clear();
    } else {
      cur += v[i];
    }
  }
  if (!Trim(cur).empty()) items.push_back(Trim(cur));
  return items;
}

// One desktop file as the database needs it: nothing when the entry is hidden, no application or
// cannot be run (its Exec line malformed, its TryExec program missing).
struct TEntry {
  TDesktopApp App;
  std::set<std::string> Types;
};

std::optional<TEntry> ReadEntry(const std::string& file, const std::string& id) {
  std::string text;
  if (!ReadBounded(file, text)) return std::nullopt;
  TGroups g = ParseKeyFile(text);
  const std::string kGroup = "Desktop Entry";
  auto get = [&](const char* key) {
    const std::string* v = Value(g, kGroup, key);
    return v ? UnescapeValue(*v) : std::string();
  };
  if (get("Type") != "Application" || get("Hidden") == "true") return std::nullopt;
  TEntry e;
  e.App.Id = id;
  e.App.File = file;
  e.App.Exec = get("Exec");
  e.App.Name = get("Name");
  e.App.WorkDir = get("Path");
  if (e.App.Name.empty()) e.App.Name = id.substr(0, id.size() - 8);
  auto argv = SplitExecLine(e.App.Exec);
  if (!argv) return std::nullopt;
  std::string tryExec = get("TryExec");
  if (!tryExec.empty() && FindProgram(tryExec).empty()) return std::nullopt;
  if (const std::string* types = Value(g, kGroup, "MimeType"))
    for (const std::string& t : SplitList(*types)) e.Types.insert(Lower(t));
  return e;
}

struct TMimeApps {
  std::map<std::string, std::vector<std::string>> Defaults, Added, Removed;
};

TMimeApps ReadMimeApps(const std::string& file) {
  TMimeApps m;
  std::string text;
  if (!ReadBounded(file, text)) return m;
  TGroups g = ParseKeyFile(text);
  auto fill = [&](const char* group, std::map<std::string, std::vector<std::string>>& into) {
    auto it = g.find(group);
    if (it == g.end()) return;
    for (const auto& [type, ids] : it->second) {
      auto& list = into[Lower(type)];
      for (const std::string& id : SplitList(ids)) list.push_back(id);
    }
  };
  fill("Default Applications", m.Defaults);
  fill("Added Associations", m.Added);
  fill("Removed Associations", m.Removed);
  return m;
}

// One place to look, in order of importance: its mimeapps.list files (the desktop's own first)
// and, for a data folder, its desktop files.
struct TLevel {
  std::vector<TMimeApps> Lists;
  std::string AppsDir;
};

std::vector<std::string> CurrentDesktops() {
  std::vector<std::string> names;
  const char* v = std::getenv("XDG_CURRENT_DESKTOP");
  std::string list = v ? v : "";
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) names.push_back(Lower(list.substr(start, end - start)));
    start = end + 1;
  }
  return names;
}

class TDatabase {
public:
  TDatabase() {
    std::vector<std::string> desktops = CurrentDesktops();
    auto lists = [&](const std::string& dir) {
      std::vector<TMimeApps> r;
      for (const std::string& d : desktops) r.push_back(ReadMimeApps(JoinPath(dir, d + "-mimeapps.list")));
      r.push_back(ReadMimeApps(JoinPath(dir, "mimeapps.list")));
      return r;
    };
    for (const std::string& dir : XdgConfigDirs()) FLevels.push_back({lists(dir), std::string()});
    for (const std::string& dir : XdgDataDirs()) {
      std::string apps = JoinPath(dir, "applications");
      FLevels.push_back({lists(apps), apps});
    }
    for (size_t level = 0; level < FLevels.size(); ++level)
      if (!FLevels[level].AppsDir.empty()) Scan(level);
  }

  const TEntry* Installed(const std::string& id) const {
    auto it = FIds.find(id);
    return it == FIds.end() || !it->second.Entry ? nullptr : &*it->second.Entry;
  }

  // The association list of one type, as the freedesktop MIME applications standard suggests: each
  // level's added associations, then its removals (which hide what less important levels add),
  // then the desktop files of that level that name the type.
  void Associations(const std::string& type, std::vector<std::string>& result) const {
    std::set<std::string> removed;
    auto add = [&](const std::string& id) {
      if (!Installed(id) || removed.count(id)) return;
      if (std::find(result.begin(), result.end(), id) == result.end()) result.push_back(id);
    };
    for (size_t level = 0; level < FLevels.size(); ++level) {
      for (const TMimeApps& m : FLevels[level].Lists) {
        if (auto it = m.Added.find(type); it != m.Added.end())
          for (const std::string& id : it->second) add(id);
        if (auto it = m.Removed.find(type); it != m.Removed.end()) removed.insert(it->second.begin(), it->second.end());
      }
      for (const auto& [id, where] : FIds)
        if (where.Level == level && where.Entry && where.Entry->Types.count(type)) add(id);
    }
  }

  // The first installed default for the type that no more important list has removed.
  std::optional<std::string> Default(const std::string& type) const {
    std::set<std::string> removed;
    for (const TLevel& level : FLevels)
      for (const TMimeApps& m : level.Lists) {
        if (auto it = m.Defaults.find(type); it != m.Defaults.end())
          for (const std::string& id : it->second)
            if (Installed(id) && !removed.count(id)) return id;
        if (auto it = m.Removed.find(type); it != m.Removed.end()) removed.insert(it->second.begin(), it->second.end());
      }
    return std::nullopt;
  }

private:
  struct TWhere {
    size_t Level{0};
    std::optional<TEntry> Entry;  // none: hidden or unusable, which still hides the ID below
  };

  // A desktop file ID belongs to the most important folder that has it.
  void Scan(size_t level) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string& root = FLevels[level].AppsDir;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      if (it.depth() >= kMaxFolderDepth) it.disable_recursion_pending();
      const fs::path& p = it->path();
      if (p.extension() != ".desktop" || !it->is_regular_file(ec)) continue;
      std::string id = p.lexically_relative(root).string();
      std::replace(id.begin(), id.end(), '/', '-');
      if (FIds.count(id)) continue;
      FIds[id] = TWhere{level, ReadEntry(p.string(), id)};
    }
  }

  std::vector<TLevel> FLevels;
  std::map<std::string, TWhere> FIds;
};

// The type and the types it is a kind of, as the shared MIME database relates them.
std::vector<std::string> WithAncestors(const std::string& type) {
  QMimeDatabase db;
  QMimeType t = db.mimeTypeForName(QString::fromStdString(type));
  std::vector<std::string> r{t.isValid() ? Lower(t.name().toStdString()) : Lower(type)};
  if (t.isValid())
    for (const QString& a : t.allAncestors()) r.push_back(Lower(a.toStdString()));
  return r;
}

}  // namespace

std::vector<std::string> XdgConfigDirs() {
  std::vector<std::string> dirs{ConfigHome()};
  for (const std::string& d : SplitDirs("XDG_CONFIG_DIRS", "/etc/xdg")) dirs.push_back(d);
  return dirs;
}

std::vector<std::string> XdgDataDirs() {
  std::vector<std::string> dirs{DataHome()};
  for (const std::string& d : SplitDirs("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) dirs.push_back(d);
  return dirs;
}

std::string CanonicalMimeType(const std::string& name) {
  if (name.find('/') == std::string::npos) return std::string();
  QMimeDatabase db;
  QMimeType t = db.mimeTypeForName(QString::fromStdString(name));
  return t.isValid() ? Lower(t.name().toStdString()) : std::string();
}

TTypeApps AppsForTypes(const std::vector<std::string>& mimeTypes) {
  std::vector<std::string> types;
  for (const std::string& m : mimeTypes)
    for (const std::string& t : WithAncestors(m))
      if (std::find(types.begin(), types.end(), t) == types.end()) types.push_back(t);
  TDatabase db;
  std::vector<std::string> ids;
  std::optional<std::string> preferred;
  for (const std::string& t : types) {
    if (!preferred) preferred = db.Default(t);
    db.Associations(t, ids);
  }
  if (preferred) {
    ids.erase(std::remove(ids.begin(), ids.end(), *preferred), ids.end());
    ids.insert(ids.begin(), *preferred);
  }
  TTypeApps apps;
  for (const std::string& id : ids) apps.push_back(db.Installed(id)->App);
  return apps;
}

std::optional<TDesktopApp> FindDesktopApp(const std::string& id) {
  TDatabase db;
  const TEntry* e = db.Installed(id);
  if (!e) return std::nullopt;
  return e->App;
}

std::optional<std::vector<std::string>> SplitExecLine(const std::string& exec) {
  std::vector<std::string> args;
  std::string cur;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() && std::strchr("\"`$\\", exec[i + 1])) {
        cur += exec[++i];
      } else {
        cur += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (inArg) args.push_back(cur);
      cur.clear();
      inArg = false;
    } else if (c == '"') {
      quoted = inArg = true;
    } else {
      cur += c;
      inArg = true;
    }
  }
  if (quoted) return std::nullopt;
  if (inArg) args.push_back(cur);
  if (args.empty() || args[0].empty()) return std::nullopt;
  return args;
}

std::optional<std::vector<std::vector<std::string>>> ExecCommands(const std::string& exec,
                                                                  const std::vector<std::string>& files) {
  auto args = SplitExecLine(exec);
  if (!args) return std::nullopt;
  auto url = [](const std::string& path) { return "file://" + PercentEncode(path, "-._~/"); };
  bool single = false;
  for (const std::string& a : *args)
    for (size_t i = 0; i + 1 < a.size(); ++i)
      if (a[i] == '%') {
        if (a[i + 1] == 'f' || a[i + 1] == 'u') single = true;
        ++i;
      }
  // One run per file for the single-file codes, else one run (all files or none).
  std::vector<std::vector<std::string>> runs;
  size_t count = single && !files.empty() ? files.size() : 1;
  for (size_t run = 0; run < count; ++run) {
    const std::string* file = single && run < files.size() ? &files[run] : nullptr;
    std::vector<std::string> argv;
    for (const std::string& a : *args) {
      if (a == "%F" || a == "%U") {
        for (const std::string& f : files) argv.push_back(a == "%F" ? f : url(f));
        continue;
      }
      std::string out;
      bool hadCode = false;
      for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != '%') {
          out += a[i];
          continue;
        }
        char code = i + 1 < a.size() ? a[++i] : '\0';
        hadCode = true;
        if (code == '%') out += '%';
        else if (file && code == 'f') out += *file;
        else if (file && code == 'u') out += url(*file);
      }
      // An argument that was nothing but a removed code goes away; an empty quoted one stays.
      if (!(out.empty() && hadCode)) argv.push_back(out);
    }
    if (argv.empty() || argv[0].empty()) return std::nullopt;
    runs.push_back(std::move(argv));
  }
  return runs;
}

}  // namespace pf::shellapi
