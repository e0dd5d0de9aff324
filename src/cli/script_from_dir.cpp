#include "cli/script_from_dir.h"

#include <map>
#include <unordered_map>

#include "job/script.h"
#include "wdf/resource_id.h"

namespace velmora {

bool ParseEditedFileName(const std::string& name, EditedFileName* parsed) {
  EditedFileName result;
  if (name.size() < 8 || !ParseHexId(name.substr(0, 8), &result.Id)) return false;
  size_t pos = 8;
  if (pos < name.size() && name[pos] == '-') {
    const size_t digits_start = ++pos;
    uint64_t n = 0;
    while (pos < name.size() && name[pos] >= '0' && name[pos] <= '9' && n <= 0xFFFFFFFFu) {
      n = n * 10 + static_cast<uint64_t>(name[pos] - '0');
      ++pos;
    }
    if (pos == digits_start || name[digits_start] == '0' || n < 2 || n > 0xFFFFFFFFu) {
      return false;
    }
    result.Occurrence = static_cast<uint32_t>(n);
  }
  if (pos < name.size() && name[pos] != '.') return false;
  *parsed = result;
  return true;
}

FolderSorting SortFolderFiles(const ArchiveIndex& index, const std::vector<std::string>& names,
                              bool add) {
  // Per id: the first entry with it and how many entries have it.
  struct IdEntries {
    size_t First = 0;
    uint32_t Count = 0;
  };
  std::unordered_map<uint32_t, IdEntries> ids;
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    IdEntries& e = ids[index.Entries[k].Id];
    if (e.Count++ == 0) e.First = k;
  }
  FolderSorting sorting;
  std::map<size_t, EditedFile> by_entry;  // keeps the index order
  std::map<uint32_t, EditedFile> added;   // new entries, by id
  for (const std::string& name : names) {
    EditedFileName parsed;
    if (!ParseEditedFileName(name, &parsed)) {
      sorting.Unusable.push_back({name, UnusableReason::kNotAnId, {}});
      continue;
    }
    auto found = ids.find(parsed.Id);
    if (add && found == ids.end() && parsed.Occurrence == 1) {
      auto inserted = added.emplace(parsed.Id, EditedFile{0, parsed.Id, name, true});
      if (!inserted.second) {
        sorting.Unusable.push_back(
            {name, UnusableReason::kSecondFile, inserted.first->second.Name});
      }
    } else if (found == ids.end() || parsed.Occurrence > found->second.Count) {
      sorting.Unusable.push_back({name, UnusableReason::kNotInArchive, {}});
    } else if (parsed.Occurrence > 1) {
      sorting.Unusable.push_back({name, UnusableReason::kUnreachable, {}});
    } else {
      auto inserted =
          by_entry.emplace(found->second.First, EditedFile{found->second.First, parsed.Id, name});
      if (!inserted.second) {
        sorting.Unusable.push_back(
            {name, UnusableReason::kSecondFile, inserted.first->second.Name});
      }
    }
  }
  for (auto& file : by_entry) sorting.Files.push_back(std::move(file.second));
  for (auto& file : added) sorting.Files.push_back(std::move(file.second));
  return sorting;
}

}  // namespace velmora
