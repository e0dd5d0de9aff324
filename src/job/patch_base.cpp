#include "job/patch_base.h"

#include <cstdio>
#include <memory>
#include <set>
#include <unordered_map>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "job/paths.h"
#include "job/script_places.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "wdf/archive_index.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

constexpr char kBasePrefix[] = "#Base@";
// Ids a finding names before it only counts the rest.
constexpr size_t kIdsNamed = 10;

struct HashState {
  XXH3_state_t* State = XXH3_createState();
  ~HashState() { XXH3_freeState(State); }
};

bool ParseDecimal(const std::string& text, uint64_t* number) {
  if (text.empty() || text.size() > 19) return false;
  *number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *number = *number * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

bool ParseHash(const std::string& text, uint64_t* hash) {
  if (text.size() != 16) return false;
  *hash = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    *hash = *hash << 4 | static_cast<uint64_t>(digit);
  }
  return true;
}

// The prints of the entries of `id` in `index`, as far as the sizes match `wanted` (hashes are
// made only then): false when they cannot be like `wanted`.
bool EntriesAre(Stream& archive, const std::vector<WdfEntry>& index,
                const std::vector<size_t>& entries, const std::vector<EntryPrint>& wanted) {
  if (entries.size() != wanted.size()) return false;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (index[entries[k]].Size != wanted[k].Size) return false;
  }
  for (size_t k = 0; k < entries.size(); ++k) {
    EntryPrint print;
    if (!PrintEntry(archive, index[entries[k]], &print) || !(print == wanted[k])) return false;
  }
  return true;
}

}  // namespace

bool PrintEntry(Stream& archive, const WdfEntry& entry, EntryPrint* print) {
  HashState hash;
  if (hash.State == nullptr || XXH3_64bits_reset(hash.State) == XXH_ERROR) return false;
  const bool read = ReadEntryBytes(archive, entry, [&hash](const char* data, size_t n) {
    return XXH3_64bits_update(hash.State, data, n) == XXH_OK;
  });
  if (!read) return false;
  print->Size = entry.Size;
  print->Hash = XXH3_64bits_digest(hash.State);
  return true;
}

std::string BaseKey(uint32_t id) { return std::string("#Base") + EntryKey(id); }
std::string ResultKey(uint32_t id) { return std::string("#Result") + EntryKey(id); }

std::string PrintsValue(const std::vector<EntryPrint>& prints) {
  std::string value;
  for (const EntryPrint& print : prints) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(print.Hash));
    value += (value.empty() ? "" : ",") + std::to_string(print.Size) + ":" + hash;
  }
  return value;
}

bool ParsePrintsValue(const std::string& value, std::vector<EntryPrint>* prints) {
  prints->clear();
  if (value.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t comma = value.find(',', start);
    const std::string item =
        value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const size_t colon = item.find(':');
    EntryPrint print;
    if (colon == std::string::npos || !ParseDecimal(item.substr(0, colon), &print.Size) ||
        print.Size > 0xFFFFFFFFu || !ParseHash(item.substr(colon + 1), &print.Hash)) {
      return false;
    }
    prints->push_back(print);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ExpectationsOf(Stream& old_archive, const std::vector<WdfEntry>& old_index,
                    Stream& new_archive, const std::vector<WdfEntry>& new_index,
                    const std::vector<uint32_t>& ids, std::vector<IdExpectation>* expected,
                    size_t* unreadable, bool* in_old) {
  expected->clear();
  const auto entries_by_id = [&ids](const std::vector<WdfEntry>& index) {
    std::unordered_map<uint32_t, std::vector<size_t>> by_id;
    for (uint32_t id : ids) by_id[id];
    for (size_t k = 0; k < index.size(); ++k) {
      const auto found = by_id.find(index[k].Id);
      if (found != by_id.end()) found->second.push_back(k);
    }
    return by_id;
  };
  auto old_entries = entries_by_id(old_index);
  auto new_entries = entries_by_id(new_index);
  const auto prints = [&](Stream& archive, const std::vector<WdfEntry>& index,
                          const std::vector<size_t>& entries, bool old,
                          std::vector<EntryPrint>* out) {
    for (size_t k : entries) {
      EntryPrint print;
      if (!PrintEntry(archive, index[k], &print)) {
        *unreadable = k;
        *in_old = old;
        return false;
      }
      out->push_back(print);
    }
    return true;
  };
  for (uint32_t id : ids) {
    IdExpectation item;
    item.Id = id;
    if (!prints(old_archive, old_index, old_entries[id], true, &item.Base) ||
        !prints(new_archive, new_index, new_entries[id], false, &item.Result)) {
      return false;
    }
    expected->push_back(item);
  }
  return true;
}

std::vector<std::pair<std::string, std::string>> ExpectationLines(
    const std::vector<IdExpectation>& expected) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const IdExpectation& item : expected) {
    lines.emplace_back(BaseKey(item.Id), PrintsValue(item.Base));
    lines.emplace_back(ResultKey(item.Id), PrintsValue(item.Result));
  }
  return lines;
}

std::string TextHash(const std::string& text) {
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx",
                static_cast<unsigned long long>(XXH3_64bits(text.data(), text.size())));
  return hash;
}

std::vector<IdExpectation> ReadPatchExpectations(const ScriptLines& script, size_t* malformed) {
  std::vector<IdExpectation> expected;
  std::set<uint32_t> seen;
  *malformed = 0;
  for (size_t line = 0; line < script.Count(); ++line) {
    const std::string name = ScriptNameAt(script, static_cast<int>(line));
    const size_t prefix = sizeof kBasePrefix - 1;
    if (name.size() <= prefix || !EqualFoldingAscii(name.substr(0, prefix), kBasePrefix)) continue;
    IdExpectation item;
    if (name.size() != prefix + 8 || !ParseHexId(name.substr(prefix), &item.Id)) {
      ++*malformed;
      continue;
    }
    if (!seen.insert(item.Id).second) continue;
    const int result_line = FindScriptKey(script, ResultKey(item.Id));
    const std::string base = CleanScriptValue(ScriptValueAt(script, static_cast<int>(line)), true);
    const std::string result = result_line < 0
                                   ? std::string()
                                   : CleanScriptValue(ScriptValueAt(script, result_line), true);
    if (result_line < 0 || !ParsePrintsValue(base, &item.Base) ||
        !ParsePrintsValue(result, &item.Result)) {
      ++*malformed;
      continue;
    }
    expected.push_back(item);
  }
  return expected;
}

BaseCheck CheckPatchBase(Stream& archive, const std::vector<WdfEntry>& index,
                         const std::vector<IdExpectation>& expected) {
  BaseCheck check;
  bool all_applied = true;
  // The entries of every recorded id, in index order, found in one pass.
  std::unordered_map<uint32_t, std::vector<size_t>> entries_of;
  for (const IdExpectation& item : expected) entries_of[item.Id];
  for (size_t k = 0; k < index.size(); ++k) {
    const auto found = entries_of.find(index[k].Id);
    if (found != entries_of.end()) found->second.push_back(k);
  }
  for (const IdExpectation& item : expected) {
    const std::vector<size_t>& entries = entries_of[item.Id];
    const bool as_base = EntriesAre(archive, index, entries, item.Base);
    if (!as_base) check.Differing.push_back(item.Id);
    // An id whose base is its result counts as applied too.
    if (all_applied) {
      all_applied =
          as_base ? item.Base == item.Result : EntriesAre(archive, index, entries, item.Result);
    }
  }
  if (check.Differing.empty()) return check;
  check.Verdict = all_applied ? BaseVerdict::kAlreadyApplied : BaseVerdict::kOther;
  return check;
}

std::string IdListText(const std::vector<uint32_t>& ids) {
  std::string text;
  for (size_t k = 0; k < ids.size() && k < kIdsNamed; ++k) {
    text += (k == 0 ? "" : ", ") + FormatId(ids[k]);
  }
  if (ids.size() > kIdsNamed) {
    text += Message(MessageKey::MsgMoreEntries, {static_cast<int64_t>(ids.size())});
  }
  return text;
}

bool CheckScriptBase(const ScriptLines& script, const std::string& script_path, FileSystem& files,
                     std::string* source, BaseCheck* check) {
  size_t malformed = 0;
  const std::vector<IdExpectation> expected = ReadPatchExpectations(script, &malformed);
  if (expected.empty()) return false;
  ScriptPlaces places;
  std::string problem;
  if (!LocateScriptPlaces(script, script_path, &places, &problem)) return false;
  std::unique_ptr<Stream> stream = files.OpenShared(places.SourcePath);
  ArchiveIndex index;
  if (!stream || ReadArchiveIndex(*stream, &index) != ArchiveFault::kNone) return false;
  *source = places.SourcePath;
  *check = CheckPatchBase(*stream, index.Entries, expected);
  return true;
}

bool ConfirmPatchBase(JobState& job, FileSystem& files, RunView& view) {
  if (!job.Script || job.ForcePatch) return true;
  std::string source;
  BaseCheck check;
  if (!CheckScriptBase(*job.Script, job.ScriptPath, files, &source, &check)) return true;
  switch (check.Verdict) {
    case BaseVerdict::kBase:
      return true;
    case BaseVerdict::kAlreadyApplied:
      view.ShowInfo(Message(MessageKey::MsgPatchAlreadyApplied, {ShownPath(source)}));
      job.SucceededWithoutPack = true;
      return false;
    case BaseVerdict::kOther:
      break;
  }
  return view.AskToApplyOnOtherBase(Message(MessageKey::MsgPatchOtherBase,
                                            {ShownPath(source), IdListText(check.Differing)})) == 1;
}

}  // namespace velmora
