// Paths as a person gives them to the terminal tool or the Studio: relative to the current
// directory, with either separator ('/' or '\'; the file layer takes both), and the routes
// between them that a script can express.
#pragma once

#include <string>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

// The separator the tool prints in paths: '\' on Windows, '/' elsewhere.
char NativeSeparator();

// `dir` and `name` joined by one separator.
std::string JoinPath(const std::string& dir, const std::string& name);

// The last name of a path (after its last separator or drive colon).
std::string LastPathName(const std::string& path);

// An absolute path taken apart: its root ("/", "C:", "\\server\share") and its names, with "."
// dropped and ".." applied to the names before it (never above the root).
struct PathParts {
  std::string Root;
  std::vector<std::string> Names;
};

// `path` made absolute against `current_dir` (itself absolute) and taken apart. On Windows a
// path beginning with one separator belongs to the current directory's drive, and "D:name" to
// the root of drive D unless D is the current drive.
PathParts AbsolutePathParts(const std::string& path, const std::string& current_dir);

// How a script in directory `from` names `to`: `ups` levels up, then the names `down`. False
// when `to` lies under another root (another drive), which no relative path can reach. Names
// compare with the ASCII letters folded where the file system ignores case (Windows).
struct PathRoute {
  size_t Ups = 0;
  std::vector<std::string> Down;
};
bool RouteBetween(const PathParts& from, const PathParts& to, PathRoute* route);

// Creates `dir` and every missing directory above it, outermost first. False at the first
// directory that cannot be created (the system's reason stays in the last error).
bool MakeDirectories(FileSystem& files, const std::string& dir);

}  // namespace velmora
