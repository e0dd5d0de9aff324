// velmora extract [-o DIR] [--force] ARCHIVE [ID...]
//
// Everything is checked before the first file is written (each id present, each entry's bytes
// within the file, each file name free), so a refusal leaves nothing behind. File names are
// made from the ids alone, so nothing is ever written outside DIR; with --force an existing
// file of the name is removed first and the new one created in its place, so that a link of
// that name is replaced rather than followed.
#include <set>

#include "cli/command_support.h"
#include "cli/all_or_nothing_files.h"
#include "cli/commands.h"
#include "cli/terminal_texts.h"
#include "job/path_route.h"
#include "msg/format.h"
#include "sys/system_error.h"
#include "wdf/entry_kind.h"
#include "wdf/extracted_name.h"

namespace velmora {

namespace {

// The folder beside the archive's name: "ui" for ui.wdf; an archive without an extension gets
// ".d" added, so that the folder never takes the archive's own name.
std::string DefaultFolder(const std::string& archive_path) {
  const std::string name = LastPathName(archive_path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + ".d";
  return name.substr(0, dot);
}

// The entries to take: every entry whose id was asked for (every entry when none was), in index
// order. Ids that no entry has are added to `missing`.
std::vector<size_t> SelectEntries(const ArchiveIndex& index, const std::vector<uint32_t>& ids,
                                  std::vector<uint32_t>* missing) {
  std::vector<size_t> selected;
  const std::set<uint32_t> wanted(ids.begin(), ids.end());
  std::set<uint32_t> found;
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    if (!ids.empty() && wanted.count(index.Entries[k].Id) == 0) continue;
    selected.push_back(k);
    found.insert(index.Entries[k].Id);
  }
  for (uint32_t id : wanted) {
    if (found.count(id) == 0) missing->push_back(id);
  }
  return selected;
}

std::string NoSuchIdText(const Console& console, const std::string& path, uint32_t id) {
  return FormatText(ToolText(console, TextKey::TxtNoEntryHasTheId), {path, FormatId(id)});
}

// Writes one entry to stdout.
int ExtractToStandardOutput(CommandCall& call, const OpenedArchive& archive, uint32_t id) {
  const ArchiveIndex& index = archive.Index;
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    if (index.Entries[k].Id != id) continue;
    // The first entry with the id, as a rule or a reference finds it.
    if (!EntryBytesInFile(index.Entries[k], index.FileSize)) {
      PrintError(call.Terminal, EntryOutsideFileText(call.Terminal, archive, k));
      return kExitFailed;
    }
    const bool read = ReadEntryBytes(
        *archive.File, index.Entries[k],
        [&call](const char* data, size_t n) { return call.Terminal.OutBytes(data, n); });
    if (!read) {
      PrintError(call.Terminal,
                 FormatText(ToolText(call.Terminal, TextKey::TxtEntryCouldNotBeReadOr),
                            {archive.Path, FormatId(id)}) +
                     LastSystemErrorText());
      return kExitFailed;
    }
    return kExitOk;
  }
  PrintError(call.Terminal, NoSuchIdText(call.Terminal, archive.Path, id));
  return kExitFailed;
}

struct PlannedFile {
  size_t Entry;
  std::string Path;
  bool Replaces;  // an existing file of the name is replaced (--force)
};

// Writes every planned file. On a failure nothing is left of this run: the files it created are
// removed again, and a file it was to replace stays as it was (its replacement takes its name
// only once every file is written).
bool WriteFiles(CommandCall& call, const OpenedArchive& archive, bool force,
                const std::vector<PlannedFile>& plan) {
  AllOrNothingFiles writes(call.Files, force, false);
  for (const PlannedFile& file : plan) {
    const bool written = writes.Write(file.Path, file.Replaces, [&](Stream& out) {
      bool wrote = true;
      if (ReadEntryBytes(*archive.File, archive.Index.Entries[file.Entry],
                         [&](const char* data, size_t n) { return wrote = out.Write(data, n); })) {
        return true;
      }
      if (wrote) writes.FailWith(EntryUnreadableText(call.Terminal, archive, file.Entry));
      return false;
    });
    if (!written) {
      PrintError(call.Terminal, writes.Failure());
      return false;
    }
  }
  if (writes.Commit()) return true;
  PrintError(call.Terminal, writes.Failure());
  return false;
}

int RunExtract(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kExtractCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args,
                      {{'o', "output", true}, {0, "force", false}, {0, "skip-bad", false}},
                      call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "extract", error);
  }
  if (parsed.Operands.empty()) {
    return UsageError(call.Terminal, "extract", ToolText(call.Terminal, TextKey::TxtGiveAnArchive));
  }
  std::vector<uint32_t> ids;
  for (size_t k = 1; k < parsed.Operands.size(); ++k) {
    uint32_t id = 0;
    if (!ParseIdArgument(parsed.Operands[k], &id)) {
      return UsageError(call.Terminal, "extract",
                        ToolText(call.Terminal, TextKey::TxtNotAnId) + parsed.Operands[k]);
    }
    ids.push_back(id);
  }
  const bool to_stdout = parsed.Has("output") && parsed.Options.at("output") == "-";
  if (to_stdout && ids.size() != 1) {
    return UsageError(call.Terminal, "extract",
                      ToolText(call.Terminal, TextKey::TxtOWritesExactlyOneEntryGive));
  }
  OpenedArchive archive;
  if (!OpenReadableArchive(call, parsed.Operands[0], &archive)) return kExitFailed;
  if (to_stdout) return ExtractToStandardOutput(call, archive, ids[0]);

  const ArchiveIndex& index = archive.Index;
  const std::string dir =
      parsed.Has("output") ? parsed.Options.at("output") : DefaultFolder(archive.Path);
  std::vector<std::string> problems;
  std::vector<uint32_t> missing;
  const std::vector<size_t> selected = SelectEntries(index, ids, &missing);
  for (uint32_t id : missing) problems.push_back(NoSuchIdText(call.Terminal, archive.Path, id));
  if (call.Files.FileIsPresent(dir)) {
    problems.push_back(FormatText(ToolText(call.Terminal, TextKey::TxtIsAFileNotAFolder), {dir}));
  }
  const std::vector<uint32_t> occurrences = IdOccurrences(index.Entries);
  // With --skip-bad a damaged archive gives what it still holds: the entries whose bytes cannot
  // be read are left out and listed; without it, nothing is written.
  const bool skip_bad = parsed.Has("skip-bad");
  // In a folder that does not exist yet no name can be in the way: asking for each one would
  // cost two file status calls per entry for nothing. A file that appears meanwhile is still
  // never overwritten, as every file is created only where no file of its name exists.
  const bool folder_is_new = !call.Files.DirectoryExists(dir);
  std::vector<std::string> skipped;
  std::vector<PlannedFile> plan;
  for (size_t k : selected) {
    const WdfEntry& entry = index.Entries[k];
    EntryKind kind = EntryKind::kData;
    if (!EntryBytesInFile(entry, index.FileSize)) {
      (skip_bad ? skipped : problems).push_back(EntryOutsideFileText(call.Terminal, archive, k));
      continue;
    }
    if (!ReadEntryKind(*archive.File, entry, index.FileSize, &kind)) {
      (skip_bad ? skipped : problems).push_back(EntryUnreadableText(call.Terminal, archive, k));
      continue;
    }
    const std::string name = ExtractedFileName(entry.Id, occurrences[k], kind);
    const std::string path = JoinPath(dir, name);
    const bool exists = !folder_is_new && call.Files.FileIsPresent(path);
    if (!folder_is_new && call.Files.DirectoryExists(path)) {
      problems.push_back(FormatText(ToolText(call.Terminal, TextKey::TxtIsAFolder), {path}));
    } else if (exists && !parsed.Has("force")) {
      problems.push_back(
          FormatText(ToolText(call.Terminal, TextKey::TxtExistsForceReplacesIt), {path}));
    }
    plan.push_back({k, path, exists});
  }
  if (!problems.empty()) {
    for (const std::string& problem : problems) PrintError(call.Terminal, problem);
    PrintError(call.Terminal, ToolText(call.Terminal, TextKey::TxtNothingWasWritten));
    return kExitFailed;
  }
  if (!MakeDirectories(call.Files, dir)) {
    PrintError(call.Terminal,
               Message(MessageKey::MsgTargetDirFailed, {dir, LastSystemErrorText()}));
    return kExitFailed;
  }
  if (!WriteFiles(call, archive, parsed.Has("force"), plan)) return kExitFailed;
  call.Terminal.Out(ToolText(call.Terminal, TextKey::TxtFilesWrittenTo,
                             {CountText(call.Terminal, static_cast<int64_t>(plan.size()),
                                        TextKey::TxtFileOne, TextKey::TxtFileMany),
                              dir}) +
                    "\n");
  if (skipped.empty()) return kExitOk;
  for (const std::string& reason : skipped) PrintError(call.Terminal, reason);
  PrintError(call.Terminal, ToolText(call.Terminal, TextKey::TxtEntriesSkipped,
                                     {CountText(call.Terminal, static_cast<int64_t>(skipped.size()),
                                                TextKey::TxtEntryOne, TextKey::TxtEntryMany)}));
  return kExitFailed;
}

}  // namespace

extern const CommandInfo kExtractCommand = {
    "extract",
    RunExtract,
    texts_en::TxtSummaryExtract,
    texts_zh::TxtSummaryExtract,
    texts_en::TxtHelpExtract,
    texts_zh::TxtHelpExtract,
};

}  // namespace velmora
