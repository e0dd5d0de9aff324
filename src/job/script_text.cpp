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

std::string RebuildScriptText(const ScriptHeader& header, const std::vector<ScriptRule>& rules) {
  std::string text;
  auto line = [&text](const std::string& name, const std::string& value) {
    text += name + "=" + value + "\r\n";
  };
  if (!header.SrcPath.empty()) line("#SrcPath", header.SrcPath);
  line("#SrcFile", header.SrcFile);
  if (!header.DestPath.empty()) line("#DestPath", header.DestPath);
  if (!header.DestFile.empty()) line("#DestFile", header.DestFile);
  if (header.AddEntries) line("#AddEntries", "yes");
  for (const ScriptRule& rule : rules) line(EntryKey(rule.Id), rule.Value);
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
