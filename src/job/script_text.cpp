#include "job/script_text.h"

#include "job/script.h"
#include "sys/cp936_text.h"

namespace velmora {

namespace {

// The route from `from` to `target` with its names in code page 936.
ScriptPathResult RouteNames(const PathParts& from, const PathParts& target, PathRoute* route,
                            std::vector<std::string>* names) {
  if (!RouteBetween(from, target, route)) return ScriptPathResult::kUnreachable;
  if (route->Down.empty()) return ScriptPathResult::kUnwritable;
  for (const std::string& name : route->Down) {
    std::string cp936;
    if (!Cp936FromPathText(name, &cp936)) return ScriptPathResult::kUnwritable;
    names->push_back(cp936);
  }
  return ScriptPathResult::kNamed;
}

}  // namespace

std::string ScriptRouteText(size_t ups, const std::vector<std::string>& names) {
  std::string text;
  for (size_t k = 0; k < ups; ++k) text += k + 1 < ups || !names.empty() ? "..\\" : "..";
  for (size_t k = 0; k < names.size(); ++k) text += (k ? "\\" : "") + names[k];
  return text;
}

bool RulePathValue(const std::string& path, std::string* value) {
  if (path.empty() || path.front() == ' ' || path.back() == ' ') return false;
  for (unsigned char c : path) {
    if (c < 0x20 || c == ';' || c == 0x7F || c == '/') return false;
  }
  *value = path.front() == '@' ? ".\\" + path : path;
  return true;
}

std::vector<std::pair<std::string, std::string>> ScriptHeaderKeys(const ScriptHeader& header) {
  std::vector<std::pair<std::string, std::string>> keys;
  const auto key = [&keys](const char* name, const std::string& value) {
    keys.emplace_back(name, value);
  };
  if (header.RunBegin) key("#RunBegin", *header.RunBegin);
  if (!header.SrcPath.empty()) key("#SrcPath", header.SrcPath);
  key("#SrcFile", header.SrcFile);
  if (!header.DestPath.empty()) key("#DestPath", header.DestPath);
  if (!header.DestFile.empty()) key("#DestFile", header.DestFile);
  if (header.InPlace) key("#InPlace", "yes");
  if (header.AddEntries) key("#AddEntries", "yes");
  if (header.Author) key("#Author", *header.Author);
  if (header.Date) key("#Date", *header.Date);
  if (header.RunEnd) key("#RunEnd", *header.RunEnd);
  keys.insert(keys.end(), header.Extra.begin(), header.Extra.end());
  return keys;
}

std::string ScriptLineText(const std::string& name, const std::string& value) {
  return name + "=" + value + "\r\n";
}

std::string WriteScriptText(const ScriptHeader& header, const std::vector<ScriptRule>& rules) {
  std::string text;
  for (const auto& key : ScriptHeaderKeys(header)) text += ScriptLineText(key.first, key.second);
  for (const ScriptRule& rule : rules) text += ScriptLineText(EntryKey(rule.Id), rule.Value);
  return text;
}

ScriptPathResult ScriptKeyPath(const PathParts& script_dir, const PathParts& target,
                               std::string* up, std::string* down) {
  PathRoute route;
  std::vector<std::string> names;
  const ScriptPathResult result = RouteNames(script_dir, target, &route, &names);
  if (result != ScriptPathResult::kNamed) return result;
  if (!RulePathValue(ScriptRouteText(0, names), down)) return ScriptPathResult::kUnwritable;
  *up = route.Ups == 0 ? std::string() : ScriptRouteText(route.Ups, {}) + "\\";
  return ScriptPathResult::kNamed;
}

ScriptPathResult RuleValuePath(const PathParts& from_dir, const PathParts& target,
                               std::string* value) {
  PathRoute route;
  std::vector<std::string> names;
  const ScriptPathResult result = RouteNames(from_dir, target, &route, &names);
  if (result != ScriptPathResult::kNamed) return result;
  return RulePathValue(ScriptRouteText(route.Ups, names), value) ? ScriptPathResult::kNamed
                                                                 : ScriptPathResult::kUnwritable;
}

}  // namespace velmora
