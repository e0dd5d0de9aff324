// A patch that knows its base: for every id its rules touch, the patch's script records the
// entries of that id in the archive it was made for and in the archive it makes, each as its size
// and a hash of its bytes, so that a run finds out before it writes anything whether the archive
// in front of it is that base, already the result, or something else.
//
// The keys, one line per id (ids in the form of the rule lines, sizes in decimal, hashes as 16
// lower-case hexadecimal digits of XXH3-64; an empty value: the id has no entry there):
//   #Base@0000A1B2=9:3f2a...,9:77c0...     the entries of the id in the base, in index order
//   #Result@0000A1B2=12:0b1e...            the entries of the id in the patched archive
// Scripts without them run as they always did.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "job/job_state.h"
#include "job/run_view.h"
#include "job/script.h"
#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// One entry as the keys record it.
struct EntryPrint {
  uint64_t Size = 0;
  uint64_t Hash = 0;
  bool operator==(const EntryPrint& other) const {
    return Size == other.Size && Hash == other.Hash;
  }
};

// What a patch expects of one id.
struct IdExpectation {
  uint32_t Id = 0;
  std::vector<EntryPrint> Base;
  std::vector<EntryPrint> Result;
  bool operator==(const IdExpectation& other) const {
    return Id == other.Id && Base == other.Base && Result == other.Result;
  }
};

// The XXH3-64 hash of the entry's bytes, read in pieces; false when they cannot all be read.
bool PrintEntry(Stream& archive, const WdfEntry& entry, EntryPrint* print);

std::string BaseKey(uint32_t id);    // "#Base@0000A1B2"
std::string ResultKey(uint32_t id);  // "#Result@0000A1B2"
std::string PrintsValue(const std::vector<EntryPrint>& prints);
// False when `value` is not a list of size:hash.
bool ParsePrintsValue(const std::string& value, std::vector<EntryPrint>* prints);

// The expectations of every #Base@ line of the script (first line of an id wins), with the
// #Result@ line of the same id. Lines that cannot be read are counted in `*malformed`.
std::vector<IdExpectation> ReadPatchExpectations(const ScriptLines& script, size_t* malformed);

enum class BaseVerdict {
  kBase,            // every recorded id is as in the base: the patch applies
  kAlreadyApplied,  // every recorded id is as in the result
  kOther,           // neither: `Differing` names the ids that are not as in the base
};

struct BaseCheck {
  BaseVerdict Verdict = BaseVerdict::kBase;
  std::vector<uint32_t> Differing;
};

// The expectations of a patch made from two archives, for each of `ids`: the prints of its
// entries in the old archive and in the new. False when an entry cannot be read (`*unreadable`
// then names it: the index in `old_index` when `*in_old`, else in `new_index`).
bool ExpectationsOf(Stream& old_archive, const std::vector<WdfEntry>& old_index,
                    Stream& new_archive, const std::vector<WdfEntry>& new_index,
                    const std::vector<uint32_t>& ids, std::vector<IdExpectation>* expected,
                    size_t* unreadable, bool* in_old);

// The key lines of the expectations, name and value: #Base@ and #Result@ for each id.
std::vector<std::pair<std::string, std::string>> ExpectationLines(
    const std::vector<IdExpectation>& expected);

// 16 lower-case hexadecimal digits of the XXH3-64 hash of `text`: a patch's #PatchId is that of
// its rule and base lines.
std::string TextHash(const std::string& text);

// Compares the entries of `index` (read from `archive`) with the expectations. Hashes are made
// only of entries whose sizes already match.
BaseCheck CheckPatchBase(Stream& archive, const std::vector<WdfEntry>& index,
                         const std::vector<IdExpectation>& expected);

// "0000A1B2, 0000A1B9", the first few ids, then how many there are in all.
std::string IdListText(const std::vector<uint32_t>& ids);

// The verdict of the script's #Base@ keys on the archive it runs on (`*source`, found as a run
// finds its source). False when there is nothing to check: no keys, or a source that cannot be
// located, opened or read (preparation and the pack run report those).
bool CheckScriptBase(const ScriptLines& script, const std::string& script_path, FileSystem& files,
                     std::string* source, BaseCheck* check);

// The step of a run before its preparation, so that a patch asks and writes nothing when it
// cannot apply. A script with #Base@ keys is checked against its source archive: on the base the
// run goes on (true); already applied, it says so and ends without writing
// (job.SucceededWithoutPack); on another archive it goes on only when the view answers OK to the
// finding. job.ForcePatch skips the check; a source that cannot be read is left to preparation.
bool ConfirmPatchBase(JobState& job, FileSystem& files, RunView& view);

}  // namespace velmora
