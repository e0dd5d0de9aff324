// The soundness of an archive as a whole. Errors are exactly what makes a run refuse the
// archive as a source (the header check, and the entry bounds rule that the run applies to every
// entry); warnings are what a run accepts but a modder should know: ids that only their first
// entry can answer to, entries that share bytes, and bytes that nothing accounts for.
#pragma once

#include <cstdint>
#include <vector>

#include "wdf/archive_index.h"

namespace velmora {

// A part of the file: the header, the index, or an entry's bytes with its reserved space.
struct ArchiveRegion {
  static constexpr int64_t kHeader = -1;
  static constexpr int64_t kIndex = -2;
  int64_t Entry = 0;  // index of the entry, or kHeader / kIndex
  uint64_t Start = 0;
  uint64_t End = 0;  // exclusive
};

struct ArchiveFinding {
  enum class Type {
    kFault,             // error: the header check fails or the index cannot be read (`fault`)
    kEntryBeyondFile,   // error: `region` (an entry) ends beyond the end of the file
    kEntryInIndexRoom,  // error: `region` ends within the last EntryCount * 16 bytes of the file
    kDuplicateId,       // warning: entry `Region.Entry` repeats the Id of entry `Other.Entry`
    kOverlap,           // warning: `region` shares bytes with `other`, which starts before it
    kUncovered,         // warning: the bytes of `region` belong to nothing (region.Entry unused)
  };
  Type Kind = Type::kFault;
  ArchiveFault Fault = ArchiveFault::kNone;
  ArchiveRegion Region;
  ArchiveRegion Other;
  bool IsError() const {
    return Kind == Type::kFault || Kind == Type::kEntryBeyondFile ||
           Kind == Type::kEntryInIndexRoom;
  }
};

struct ArchiveCheck {
  // Errors in index order, then the warnings: repeated ids, shared bytes, bytes of nothing.
  std::vector<ArchiveFinding> Findings;
  uint64_t Errors = 0;
  uint64_t Warnings = 0;
};

// Judges an archive that ReadArchiveIndex read with the result `fault`.
ArchiveCheck CheckArchive(const ArchiveIndex& index, ArchiveFault fault);

}  // namespace velmora
