#include "cli/patch_entry_files.h"

#include <algorithm>
#include <memory>

#include "wdf/entry_reader.h"

namespace velmora {

namespace {

// The entry's bytes into the file at `path`, created for it and flushed; a file that could not
// be written whole is removed.
bool WriteEntryFile(FileSystem& files, EntryReader& archive, const WdfEntry& entry,
                    const std::string& path, bool force) {
  std::unique_ptr<Stream> out =
      force ? files.CreateExclusive(path) : files.CreateNewExclusive(path);
  if (!out) return false;
  bool written = true;
  for (uint64_t done = 0; written && done < entry.Size;) {
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(entry.Size - done, EntryReader::kWindowSize));
    const uint64_t at = entry.Offset + done;
    const unsigned char* bytes = archive.Bytes(at, n, archive.Follows(at));
    written = bytes && out->Write(bytes, n);
    done += n;
  }
  written = written && out->Flush();
  if (!written) {
    out.reset();
    files.RemoveFile(path);
  }
  return written;
}

}  // namespace

bool WritePatchEntryFiles(FileSystem& files, Stream& archive, const ArchiveIndex& index,
                          const std::vector<PatchEntryFile>& to_write, bool force,
                          std::string* failed) {
  EntryReader reader(archive);
  for (const PatchEntryFile& file : to_write) {
    if (!WriteEntryFile(files, reader, index.Entries[file.Entry], file.Path, force)) {
      *failed = file.Path;
      return false;
    }
  }
  return true;
}

}  // namespace velmora
