#include "job/paths.h"

#include "sys/code_page.h"

namespace velmora {

namespace {

constexpr char kSeparators[] = "\\:";

bool BeginsWithTwoDots(const std::string& text, size_t from) {
  return text.compare(from, 2, "..") == 0;
}

}  // namespace

std::string DirectoryPart(const std::string& path) {
  const size_t last = FindLastCharOf(path, kSeparators);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string FileNamePart(const std::string& path) {
  const size_t last = FindLastCharOf(path, kSeparators);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string Extension(const std::string& path) {
  // The file name part begins on a character boundary, so stepping through it alone is exact.
  const std::string name = FileNamePart(path);
  const size_t dot = FindLastCharOf(name, ".");
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
  return name.substr(0, name.size() - Extension(name).size()) + extension;
}

std::string OneLevelUp(const std::string& dir) {
  const size_t last = FindLastCharOf(dir, kSeparators);
  if (last == std::string::npos) return std::string();
  // A directory that does not end with a separator, or ends with a colon (a drive), has nothing
  // to drop: its directory part is all that is left of it.
  if (last + 1 != dir.size() || dir[last] == ':') return dir.substr(0, last + 1);
  if (last == 0) return std::string();
  const std::string rest = dir.substr(0, last);
  // A backslash directly behind a colon or another backslash ends a root (C:\, \\): it stays.
  if (FindLastCharOf(rest, kSeparators) == last - 1) return dir;
  return DirectoryPart(rest);
}

bool ResolveRelativePath(std::string& base_dir, const std::string& relative) {
  std::string dir = base_dir;
  // Walks the value instead of cutting it down step by step: a chain of a million levels
  // costs its length once, not its length for every level.
  size_t rest = 0;
  if (BeginsWithTwoDots(relative, rest)) {
    for (;;) {
      dir = OneLevelUp(dir);
      if (dir.empty()) break;
      rest += 2;
      if (rest == relative.size() || relative[rest] != '\\') break;
      rest += 1;
      if (!BeginsWithTwoDots(relative, rest)) break;
    }
  }
  if (rest != relative.size()) return false;
  base_dir = dir;
  return true;
}

namespace {

bool paths_shown_with_slashes = false;

// `text` with every `from` that is a character of its own turned into `to`.
std::string WithSeparator(const std::string& text, char from, char to) {
  std::string result = text;
  for (size_t pos = 0; pos < result.size(); pos = NextCharOffset(result, pos)) {
    if (result[pos] == from && NextCharOffset(result, pos) == pos + 1) result[pos] = to;
  }
  return result;
}

}  // namespace

void SetSlashSeparatesFolders(bool slashes) { paths_shown_with_slashes = slashes; }

bool SlashSeparatesFolders() { return paths_shown_with_slashes; }

std::string ShownPath(const std::string& path) {
  return paths_shown_with_slashes ? WithSeparator(path, '\\', '/') : path;
}

std::string FolderKeyValue(const std::string& value) {
  return paths_shown_with_slashes ? WithSeparator(value, '/', '\\') : value;
}

bool FileKeyPath(const std::string& dir, const std::string& value, std::string* path) {
  if (paths_shown_with_slashes) {
    const bool drive =
        value.size() >= 2 && value[1] == ':' &&
        ((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z'));
    if (drive || value.compare(0, 2, "\\\\") == 0) return false;
    if (!value.empty() && value[0] == '/') {
      *path = WithSeparator(value, '/', '\\');
      return true;
    }
  }
  *path = dir + value;
  return true;
}

}  // namespace velmora
