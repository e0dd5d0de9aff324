// A script made from a folder of edited entries: which files of the folder name entries of the
// archive, and the script text that puts them in, written as a script written on Windows is
// (code page 936, CR LF, backslashes), so that every front-end takes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/path_route.h"
#include "job/script_text.h"
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
  kNotInArchive,  // no entry has that id (or that many entries with it), and no entry is added
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
  bool Added = false;  // an id the archive lacks, to be added as a new entry
};

struct FolderSorting {
  std::vector<EditedFile> Files;  // in the archive's index order
  std::vector<UnusableFile> Unusable;
};

// Sorts the names of the folder's files (sorted by their bytes) against the archive's index.
// With `add`, a file named after an id the archive lacks is a new entry, placed after the others.
FolderSorting SortFolderFiles(const ArchiveIndex& index, const std::vector<std::string>& names,
                              bool add = false);

}  // namespace velmora
