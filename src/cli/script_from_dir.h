// A script made from a folder of edited entries: which files of the folder name entries of the
// archive, and the script text that puts them in, written as a script written on Windows is
// (code page 936, CR LF, backslashes), so that every front-end takes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/tool_paths.h"
#include "wdf/archive_index.h"

namespace velmora {

// A file name as extraction writes it: eight hexadecimal digits in either case, then nothing,
// "." and an extension, or "-N" (N from 2, the N-th entry of a repeated id) with or without an
// extension.
struct EditedFileName {
  uint32_t Id = 0;
  uint32_t Occurrence = 1;
};
bool ParseEditedFileName(const std::string& name, EditedFileName* parsed);

enum class UnusableReason {
  kNotAnId,       // the name is not an entry's name
  kNotInArchive,  // no entry has that id (or that many entries with it): a script cannot add one
  kUnreachable,   // a later entry of a repeated id, which no rule can reach
  kSecondFile,    // another file already names the same entry
  kNoCp936Form,   // the name has a character that code page 936 lacks
  kNotWritable,   // the path cannot stand in a rule (a ';', a control byte, a blank at its end)
};

struct UnusableFile {
  std::string Name;
  UnusableReason Reason;
  std::string Other;  // kSecondFile: the file that names the entry first
};

// A file that names an entry a rule can reach.
struct EditedFile {
  size_t Entry = 0;  // the first entry with the id, in index order
  uint32_t Id = 0;
  std::string Name;
};

struct FolderSorting {
  std::vector<EditedFile> Files;  // in the archive's index order
  std::vector<UnusableFile> Unusable;
};

// Sorts the names of the folder's files (sorted by their bytes) against the archive's index.
FolderSorting SortFolderFiles(const ArchiveIndex& index, const std::vector<std::string>& names);

// A route as a script's path text: ".." for each level up, then the names, joined by
// backslashes. `names` are already in code page 936.
std::string ScriptRouteText(size_t ups, const std::vector<std::string>& names);

// A rule value for a file path: a path that begins with "@" would read as a reference to an
// entry, so it is written from "." on. False when no value can carry the path: it holds ';' (the
// start of a comment), a control byte, or a blank at its start or end, which cleaning removes.
bool RulePathValue(const std::string& path, std::string* value);

// The header keys of the script, values in code page 936. An empty `src_path` or `dest_path`
// leaves its key out; `dest_file` empty leaves the target to the run's default.
struct ScriptHeader {
  std::string SrcPath;
  std::string SrcFile;
  std::string DestPath;
  std::string DestFile;
};

struct ScriptRule {
  uint32_t Id = 0;
  std::string Value;  // code page 936
};

// The script's bytes: header keys, then one rule line per entry, each line ending in CR LF.
std::string RebuildScriptText(const ScriptHeader& header, const std::vector<ScriptRule>& rules);

}  // namespace velmora
