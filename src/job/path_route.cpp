#include "job/path_route.h"

#include "sys/code_page.h"

namespace velmora {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

#if defined(_WIN32)
constexpr bool kFoldCase = true;
#else
constexpr bool kFoldCase = false;
#endif

bool HasDrive(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool SameName(const std::string& a, const std::string& b) {
  return kFoldCase ? EqualFoldingAscii(a, b) : a == b;
}

// Splits `text` at its separators (as characters of the code page), applying "." and "..".
void AppendNames(const std::string& text, std::vector<std::string>* names) {
  std::string name;
  auto flush = [&] {
    if (name == "..") {
      if (!names->empty()) names->pop_back();
    } else if (!name.empty() && name != ".") {
      names->push_back(name);
    }
    name.clear();
  };
  for (size_t pos = 0; pos < text.size();) {
    const size_t next = NextCharOffset(text, pos);
    if (next == pos + 1 && IsSeparator(text[pos])) {
      flush();
    } else {
      name.append(text, pos, next - pos);
    }
    pos = next;
  }
  flush();
}

// The root of an absolute path and where its names begin.
std::string RootOf(const std::string& path, size_t* names_start) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && kFoldCase) {
    // \\server\share: the share is part of the root.
    size_t end = 2;
    for (int part = 0; part < 2; ++part) {
      while (end < path.size() && !IsSeparator(path[end])) ++end;
      if (part == 0 && end < path.size()) ++end;
    }
    *names_start = end;
    std::string root = path.substr(0, end);
    for (char& c : root) c = IsSeparator(c) ? '\\' : c;
    return root;
  }
  if (HasDrive(path)) {
    *names_start = 2;
    return path.substr(0, 2);
  }
  *names_start = 0;
  return kFoldCase ? std::string() : "/";
}

}  // namespace

char NativeSeparator() { return kFoldCase ? '\\' : '/'; }

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  const char last = dir.back();
  if (IsSeparator(last) || (kFoldCase && last == ':')) return dir + name;
  return dir + NativeSeparator() + name;
}

std::string LastPathName(const std::string& path) {
  const size_t at = FindLastCharOf(path, kFoldCase ? "\\/:" : "\\/");
  return at == std::string::npos ? path : path.substr(at + 1);
}

PathParts AbsolutePathParts(const std::string& path, const std::string& current_dir) {
  size_t current_start = 0;
  PathParts parts;
  parts.Root = RootOf(current_dir, &current_start);
  const bool from_root = !path.empty() && IsSeparator(path[0]);
  if (kFoldCase && path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t start = 0;
    parts.Root = RootOf(path, &start);
    AppendNames(path.substr(start), &parts.Names);
  } else if (kFoldCase && HasDrive(path)) {
    const bool current_drive = EqualFoldingAscii(path.substr(0, 2), parts.Root);
    const bool rooted = path.size() > 2 && IsSeparator(path[2]);
    if (!current_drive || rooted) {
      parts.Root = path.substr(0, 2);
    } else {
      AppendNames(current_dir.substr(current_start), &parts.Names);
    }
    AppendNames(path.substr(2), &parts.Names);
  } else {
    if (!from_root) AppendNames(current_dir.substr(current_start), &parts.Names);
    AppendNames(path, &parts.Names);
  }
  return parts;
}

bool RouteBetween(const PathParts& from, const PathParts& to, PathRoute* route) {
  if (!SameName(from.Root, to.Root)) return false;
  size_t common = 0;
  while (common < from.Names.size() && common < to.Names.size() &&
         SameName(from.Names[common], to.Names[common])) {
    ++common;
  }
  route->Ups = from.Names.size() - common;
  route->Down.assign(to.Names.begin() + common, to.Names.end());
  return true;
}

bool MakeDirectories(FileSystem& files, const std::string& dir) {
  // The directory above ends before the last separator; nothing is above a root ("/", "C:").
  const auto parent = [](const std::string& level) {
    const size_t last = FindLastCharOf(level, "/\\");
    if (last == std::string::npos || last == 0) return level;
    const std::string above = level.substr(0, last);
    return kFoldCase && above.size() == 2 && above[1] == ':' ? level : above;
  };
  // A closing separator names the same directory.
  std::string level = dir;
  while (level.size() > 1 && level[level.size() - 2] != ':' &&
         FindLastCharOf(level, "/\\") == level.size() - 1) {
    level.pop_back();
  }
  return MakeMissingDirectories(files, level, parent);
}

}  // namespace velmora
