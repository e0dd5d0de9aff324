// The other archives that rules take entries from. Each one's index is read once per run and
// kept, as long as the file stays as it was, so that thousands of rules naming the same archive
// do not read its index thousands of times.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

enum class ArchiveLookup { kNotWdf, kFound, kNotFound, kReadFailed };

class ReferencedArchives {
 public:
  // The entry `id` of the archive open as `archive`, which was opened from `path` for this very
  // lookup: the answer of the header check followed by the index search, the first entry in
  // index order with that id. On kFound, `*size` holds its Size and `archive` is positioned at
  // its Offset.
  ArchiveLookup Find(const std::string& path, Stream& archive, uint32_t id, uint32_t* size);

  // The archive at `path` as held open since an earlier reference, or null.
  Stream* Held(const std::string& path) const;
  // Keeps `archive`, opened from `path`, open for the rest of the run, so that later references
  // to `path` may be spared the search and the opening while the name leads to it.
  void Hold(const std::string& path, std::unique_ptr<Stream> archive);
  // Closes the archive held for `path`, if any.
  void Release(const std::string& path);

 private:
  struct KeptEntry {
    uint32_t Id;
    uint32_t Offset;
    uint32_t Size;
  };
  struct KeptArchive {
    FileVersion Version;
    bool IsWdf = false;
    uint32_t Count = 0;
    uint32_t IndexOffset = 0;
    // When the whole index could be read: its first entry of each Id, sorted by Id.
    bool IndexKept = false;
    std::vector<KeptEntry> FirstOfId;
  };

  static void KeepIndex(Stream& archive, KeptArchive* kept);
  bool MayKeep(uint32_t count) const;

  std::unordered_map<std::string, KeptArchive> archives_;
  std::unordered_map<std::string, std::unique_ptr<Stream>> held_;
  uint64_t kept_entries_ = 0;
};

}  // namespace velmora
