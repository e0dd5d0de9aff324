// The entry files of a patch: each changed or added entry of the new archive written to a file
// of its own, beside the patch's script.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sys/file_system.h"
#include "wdf/archive_index.h"

namespace velmora {

struct PatchEntryFile {
  size_t Entry;      // the entry's position in the archive's index
  std::string Name;  // in the file system's form
  std::string Path;
};

// Writes every file, in order, with the bytes of its entry of `archive`, each flushed to the
// disk before the next is begun; `force` replaces a file that exists. Entries that follow one
// another in the archive are read together. On a failure the file being written is removed and
// `*failed` is its path (the system's reason in the last error); the files written before it
// stay.
bool WritePatchEntryFiles(FileSystem& files, Stream& archive, const ArchiveIndex& index,
                          const std::vector<PatchEntryFile>& to_write, bool force,
                          std::string* failed);

}  // namespace velmora
