// velmora diff [--all] [--format text|tsv|json] [--patch DIR [--force]] OLD NEW
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/all_or_nothing_files.h"
#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/terminal_texts.h"
#include "cli/command_support.h"
#include "cli/listing_format.h"
#include "cli/mod_patch.h"
#include "cli/script_from_dir.h"
#include "job/path_route.h"
#include "job/patch_base.h"
#include "job/patch_plan.h"
#include "job/patch_undo.h"
#include "job/script.h"
#include "job/script_text.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/cp936_text.h"
#include "sys/system_error.h"
#include "wdf/archive_diff.h"
#include "wdf/entry_reader.h"
#include "wdf/resource_id.h"
#include "wdf/entry_kind.h"
#include "wdf/extracted_name.h"

namespace velmora {

namespace {

enum class DiffForm { kText, kTsv, kJson };

int64_t Signed(uint64_t n) { return static_cast<int64_t>(n); }

const char* ChangeName(EntryChange change) {
  switch (change) {
    case EntryChange::kSame:
      return "same";
    case EntryChange::kChanged:
      return "changed";
    case EntryChange::kAdded:
      return "added";
    case EntryChange::kRemoved:
      return "removed";
  }
  return "";
}

// The change as a person reads it, in the console's language.
std::string ChangeWord(const Console& console, EntryChange change) {
  switch (change) {
    case EntryChange::kSame:
      return ToolText(console, TextKey::TxtDiffSame);
    case EntryChange::kChanged:
      return ToolText(console, TextKey::TxtDiffChanged);
    case EntryChange::kAdded:
      return ToolText(console, TextKey::TxtDiffAdded);
    case EntryChange::kRemoved:
      return ToolText(console, TextKey::TxtDiffRemoved);
  }
  return std::string();
}

struct Compared {
  OpenedArchive OldArchive;
  OpenedArchive NewArchive;
  DiffResult Result;
};

std::string SizeText(const ArchiveIndex& index, size_t entry) {
  return entry == EntryPair::kNoEntry ? std::string() : std::to_string(index.Entries[entry].Size);
}

// The entry as extraction names its file: the id, and "-N" for the N-th entry of a repeated id.
std::string EntryName(const EntryPair& pair) {
  std::string name = FormatId(pair.Id);
  if (pair.Occurrence > 1) name += "-" + std::to_string(pair.Occurrence);
  return name;
}

std::string Report(const Console& console, DiffForm form, bool all, const Compared& compared) {
  const ArchiveDifference& difference = compared.Result.Difference;
  const ArchiveIndex& olds = compared.OldArchive.Index;
  const ArchiveIndex& news = compared.NewArchive.Index;
  const bool order_differs = !difference.SameOrder;
  std::string out;
  if (form == DiffForm::kTsv) {
    out = "change\tid\tn\told_size\tnew_size\n";
    for (const EntryPair& pair : difference.Pairs) {
      if (pair.Change == EntryChange::kSame && !all) continue;
      out += std::string(ChangeName(pair.Change)) + "\t" + FormatId(pair.Id) + "\t" +
             std::to_string(pair.Occurrence) + "\t" + SizeText(olds, pair.OldEntry) + "\t" +
             SizeText(news, pair.NewEntry) + "\n";
    }
    return out;
  }
  if (form == DiffForm::kJson) {
    out = "{\"old\":" + JsonString(compared.OldArchive.Path) +
          ",\"new\":" + JsonString(compared.NewArchive.Path) +
          ",\"identical\":" + (difference.Identical() ? "true" : "false") +
          ",\"same_order\":" + (order_differs ? "false" : "true") + ",\"counts\":{";
    for (EntryChange change :
         {EntryChange::kChanged, EntryChange::kAdded, EntryChange::kRemoved, EntryChange::kSame}) {
      out += std::string(change == EntryChange::kChanged ? "" : ",") + "\"" + ChangeName(change) +
             "\":" + std::to_string(difference.Count(change));
    }
    out += "},\"entries\":[";
    bool first = true;
    for (const EntryPair& pair : difference.Pairs) {
      if (pair.Change == EntryChange::kSame && !all) continue;
      const std::string old_size = SizeText(olds, pair.OldEntry);
      const std::string new_size = SizeText(news, pair.NewEntry);
      out += std::string(first ? "" : ",") + "{\"change\":\"" + ChangeName(pair.Change) +
             "\",\"id\":" + JsonString(FormatId(pair.Id)) +
             ",\"n\":" + std::to_string(pair.Occurrence) +
             ",\"old_size\":" + (old_size.empty() ? "null" : old_size) +
             ",\"new_size\":" + (new_size.empty() ? "null" : new_size) + "}";
      first = false;
    }
    return out + "]}\n";
  }
  size_t word_columns = 0;
  for (EntryChange change :
       {EntryChange::kChanged, EntryChange::kAdded, EntryChange::kRemoved, EntryChange::kSame}) {
    word_columns = std::max(word_columns, TextColumns(ChangeWord(console, change)));
  }
  for (const EntryPair& pair : difference.Pairs) {
    if (pair.Change == EntryChange::kSame && !all) continue;
    std::string line = PadRight(ChangeWord(console, pair.Change), word_columns + 2);
    line += EntryName(pair);
    switch (pair.Change) {
      case EntryChange::kSame:
      case EntryChange::kChanged:
        line += "  " + SizeText(olds, pair.OldEntry) + " -> " + SizeText(news, pair.NewEntry);
        break;
      case EntryChange::kAdded:
        line += "  " + SizeText(news, pair.NewEntry);
        break;
      case EntryChange::kRemoved:
        line += "  " + SizeText(olds, pair.OldEntry);
        break;
    }
    out += line + ToolText(console, TextKey::TxtDiffBytesN);
  }
  if (order_differs && difference.Count(EntryChange::kSame) == difference.Pairs.size()) {
    out += ToolText(console, TextKey::TxtDiffTheArchivesHoldTheSame);
  }
  out += FormatText(ToolText(console, TextKey::TxtDiffDChangedDAddedD),
                    {Signed(difference.Count(EntryChange::kChanged)),
                     Signed(difference.Count(EntryChange::kAdded)),
                     Signed(difference.Count(EntryChange::kRemoved)),
                     Signed(difference.Count(EntryChange::kSame))});
  return out;
}

// Why a comparison could not be finished, in the tool's words.
std::string FaultText(const Console& console, const Compared& compared) {
  const DiffResult& result = compared.Result;
  switch (result.Fault) {
    case DiffFault::kOldEntryOutside:
      return EntryOutsideFileText(console, compared.OldArchive, result.FaultEntry);
    case DiffFault::kNewEntryOutside:
      return EntryOutsideFileText(console, compared.NewArchive, result.FaultEntry);
    case DiffFault::kOldReadFailed:
      return EntryUnreadableText(console, compared.OldArchive, result.FaultEntry);
    case DiffFault::kNewReadFailed:
      return EntryUnreadableText(console, compared.NewArchive, result.FaultEntry);
    case DiffFault::kNone:
      break;
  }
  return std::string();
}

// A text of the program (a UTF-8 format) filled with names as the file system gives them, in
// code page 936 for a script.
bool ScriptText(const char* utf8_format, std::initializer_list<FormatArg> args,
                std::string* cp936) {
  return Cp936FromPathText(FormatText(AnsiFromUtf8(utf8_format), args), cp936);
}

// The scripts' names beside the patch's files: the archive's name without its extension, then
// `ending` ("-patch.vlm", "-undo.vlm").
std::string PatchScriptName(const std::string& archive_name, const char* ending) {
  const size_t dot = archive_name.rfind('.');
  return (dot == std::string::npos || dot == 0 ? archive_name : archive_name.substr(0, dot)) +
         ending;
}

struct PatchFile {
  size_t Entry;
  std::string Name;  // in the file system's form
  std::string Path;
  bool Replaces;  // a file of that name is there (and --force replaces it)
};

int Fail(Console& console, const std::string& problem) {
  PrintError(console, problem);
  PrintError(console, ToolText(console, TextKey::TxtDiffNoPatchWasWritten));
  return kExitFailed;
}

// The script of a patch: it patches OLD's file in the folder above its own, in place, names its
// undo script and records what it expects of the archive (`base_keys`, #PatchId last).
std::string PatchScript(const std::string& archive_name, const PatchPlan& plan,
                        const std::vector<std::string>& rule_values, const std::string& question,
                        const std::string& report, const std::string& undo_name,
                        const std::vector<std::pair<std::string, std::string>>& base_keys) {
  ScriptHeader header;
  header.RunBegin = question;
  header.SrcPath = "..\\";
  header.SrcFile = archive_name;
  header.DestPath = "..\\";
  header.DestFile = archive_name;
  header.InPlace = true;
  header.AddEntries = plan.AddsEntries;
  header.RunEnd = report;
  header.Extra.emplace_back(kUndoKey, undo_name);
  header.Extra.insert(header.Extra.end(), base_keys.begin(), base_keys.end());
  std::vector<ScriptRule> rules;
  for (size_t k = 0; k < plan.Rules.size(); ++k)
    rules.push_back({plan.Rules[k].Id, rule_values[k]});
  return WriteScriptText(header, rules);
}

// The keys by which a patch knows its base, then its #PatchId: the hash of its rules and those
// keys, so that its undo finds the backups its runs made.
std::vector<std::pair<std::string, std::string>> BaseKeys(
    const std::vector<IdExpectation>& expected, const PatchPlan& plan,
    const std::vector<std::string>& rule_values) {
  std::vector<std::pair<std::string, std::string>> keys = ExpectationLines(expected);
  std::string text;
  for (size_t k = 0; k < plan.Rules.size(); ++k) {
    text += ScriptLineText(EntryKey(plan.Rules[k].Id), rule_values[k]);
  }
  for (const auto& [name, value] : keys) text += ScriptLineText(name, value);
  keys.emplace_back(kPatchIdKey, TextHash(text));
  return keys;
}

// The undo script: it puts back the backup that a run of the patch `patch_id` made of the
// archive in the folder above its own.
std::string UndoScript(const std::string& archive_name, const std::string& patch_id,
                       const std::string& question, const std::string& report) {
  ScriptHeader header;
  header.RunBegin = question;
  header.SrcPath = "..\\";
  header.SrcFile = archive_name;
  header.RunEnd = report;
  header.Extra.emplace_back(kRestoreKey, patch_id);
  return WriteScriptText(header, {});
}

int WritePatch(CommandCall& call, const std::string& dir, bool force, Compared& compared) {
  Console& console = call.Terminal;
  const ArchiveDifference& difference = compared.Result.Difference;
  if (difference.Identical()) {
    console.Out(ToolText(console, TextKey::TxtDiffTheArchivesAreIdenticalThere));
    return kExitOk;
  }
  const ArchiveIndex& news = compared.NewArchive.Index;
  const PatchPlan plan =
      PlanPatch(compared.OldArchive.Index, news, difference, *compared.NewArchive.File);
  if (!plan.Unreachable.empty()) {
    std::string ids;
    for (uint32_t id : plan.Unreachable) ids += (ids.empty() ? "" : ", ") + FormatId(id);
    return Fail(console, FormatText(ToolText(console, TextKey::TxtDiffNoScriptCanTurnS),
                                    {compared.OldArchive.Path, compared.NewArchive.Path, ids,
                                     compared.NewArchive.Path}));
  }
  const std::string archive_name = LastPathName(compared.OldArchive.Path);
  std::string archive_cp936;
  std::string checked;
  if (!Cp936FromPathText(archive_name, &archive_cp936) || !RulePathValue(archive_cp936, &checked) ||
      checked != archive_cp936) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtDiffTheNameSCannotStand), {archive_name}));
  }

  // Every file first: nothing is written while one of them is in the way.
  std::vector<PatchFile> files;
  std::vector<std::string> rule_values;
  std::vector<std::string> problems;
  const std::string script_name = PatchScriptName(archive_name, "-patch.vlm");
  const std::string undo_name = PatchScriptName(archive_name, "-undo.vlm");
  const std::string script_path = JoinPath(dir, script_name);
  const std::string undo_path = JoinPath(dir, undo_name);
  if (call.Files.FileIsPresent(dir)) {
    problems.push_back(FormatText(ToolText(console, TextKey::TxtDiffSIsAFileNot), {dir}));
  }
  // True when a file is there (which --force replaces). In a folder still to be made no name
  // can be in the way; creating each file only where none of its name exists still guards
  // against one that appears meanwhile.
  const bool folder_exists = call.Files.DirectoryExists(dir);
  const auto check_free = [&](const std::string& path) {
    if (!folder_exists) return false;
    if (call.Files.DirectoryExists(path)) {
      problems.push_back(FormatText(ToolText(console, TextKey::TxtDiffSIsAFolder), {path}));
      return false;
    }
    const bool present = call.Files.FileIsPresent(path);
    if (present && !force) {
      problems.push_back(
          FormatText(ToolText(console, TextKey::TxtDiffSExistsForceReplacesIt), {path}));
    }
    return present;
  };
  check_free(script_path);
  check_free(undo_path);
  for (const PatchRule& rule : plan.Rules) {
    if (rule.Remove) {
      rule_values.push_back("@Delete");
      continue;
    }
    const WdfEntry& entry = news.Entries[rule.NewEntry];
    EntryKind kind = EntryKind::kData;
    if (!ReadEntryKind(*compared.NewArchive.File, entry, news.FileSize, &kind)) {
      problems.push_back(EntryUnreadableText(console, compared.NewArchive, rule.NewEntry));
      continue;
    }
    const std::string name = ExtractedFileName(rule.Id, 1, kind);
    rule_values.push_back(name);
    const std::string path = JoinPath(dir, name);
    files.push_back({rule.NewEntry, name, path, check_free(path)});
  }
  if (!problems.empty()) {
    for (size_t k = 0; k + 1 < problems.size(); ++k) PrintError(console, problems[k]);
    return Fail(console, problems.back());
  }

  std::vector<uint32_t> ids;
  for (const PatchRule& rule : plan.Rules) ids.push_back(rule.Id);
  std::vector<IdExpectation> expected;
  size_t unreadable = 0;
  bool in_old = false;
  if (!ExpectationsOf(*compared.OldArchive.File, compared.OldArchive.Index.Entries,
                      *compared.NewArchive.File, news.Entries, ids, &expected, &unreadable,
                      &in_old)) {
    return Fail(console,
                EntryUnreadableText(console, in_old ? compared.OldArchive : compared.NewArchive,
                                    unreadable));
  }
  const std::vector<std::pair<std::string, std::string>> base_keys =
      BaseKeys(expected, plan, rule_values);

  // The texts of both scripts; the program that runs them adds how to undo, in its own words.
  std::string question;
  std::string report;
  std::string undo_question;
  std::string undo_report;
  std::string undo_cp936;
  if (!ScriptText("此补丁将修改 %s：更改 %d 个条目，新增 %d 个，删除 %d 个。\\n"
                  "原文件将保留为备份（%s.N.bak）。",
                  {archive_name, Signed(plan.Changed), Signed(plan.Added), Signed(plan.Removed),
                   archive_name},
                  &question) ||
      !ScriptText("补丁已应用到 %s。", {archive_name}, &report) ||
      !ScriptText("此操作将撤销补丁 %s：把 %s 放回应用补丁前的内容。\\n当前的 %s 也将保留为备份。",
                  {script_name, archive_name, archive_name}, &undo_question) ||
      !ScriptText("已撤销补丁 %s。", {script_name}, &undo_report) ||
      !Cp936FromPathText(undo_name, &undo_cp936)) {
    return Fail(console,
                FormatText(ToolText(console, TextKey::TxtDiffTheNameSCannotStand), {archive_name}));
  }
  const std::string script =
      PatchScript(archive_cp936, plan, rule_values, question, report, undo_cp936, base_keys);
  const std::string undo =
      UndoScript(archive_cp936, base_keys.back().second, undo_question, undo_report);

  if (!MakeDirectories(call.Files, dir)) {
    return Fail(console, Message(MessageKey::MsgTargetDirFailed, {dir, LastSystemErrorText()}));
  }
  // The scripts are written under temporary names and take their own only once the whole patch
  // is written and flushed, the script last: a patch that fails part-way leaves none of its
  // files, and no script that would run on entry files that are not there.
  AllOrNothingFiles writes(call.Files, force, true);
  EntryReader entries(*compared.NewArchive.File);
  for (const PatchFile& file : files) {
    if (!writes.Write(file.Path, file.Replaces, [&](Stream& out) {
          return CopyEntryBytes(entries, news.Entries[file.Entry], out);
        })) {
      return Fail(console, writes.Failure());
    }
  }
  if (!writes.Write(undo_path, true,
                    [&undo](Stream& out) { return out.Write(undo.data(), undo.size()); }) ||
      !writes.Write(script_path, true,
                    [&script](Stream& out) { return out.Write(script.data(), script.size()); }) ||
      !writes.Commit()) {
    return Fail(console, writes.Failure());
  }
  console.Out(FormatText(ToolText(console, TextKey::TxtDiffSWrittenDChangedD),
                         {script_path, Signed(plan.Changed), Signed(plan.Added),
                          Signed(plan.Removed), Signed(files.size())}));
  return kExitOk;
}

int RunDiff(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kDiffCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(
          call.Args,
          {{0, "all", false}, {0, "format", true}, {0, "patch", true}, {0, "force", false}},
          call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "diff", error);
  }
  DiffForm form = DiffForm::kText;
  if (parsed.Has("format")) {
    const std::string& name = parsed.Options.at("format");
    if (name == "tsv") {
      form = DiffForm::kTsv;
    } else if (name == "json") {
      form = DiffForm::kJson;
    } else if (name != "text") {
      return UsageError(call.Terminal, "diff",
                        ToolText(call.Terminal, TextKey::TxtDiffUnknownFormat) + name);
    }
  }
  if (parsed.Has("force") && !parsed.Has("patch")) {
    return UsageError(call.Terminal, "diff",
                      ToolText(call.Terminal, TextKey::TxtDiffForceGoesWithPatch));
  }
  if (parsed.Operands.size() != 2) {
    return UsageError(call.Terminal, "diff",
                      ToolText(call.Terminal, TextKey::TxtDiffGiveTwoArchivesOldNew));
  }
  if (parsed.Has("patch") && (call.Files.DirectoryExists(parsed.Operands[0]) ||
                              call.Files.DirectoryExists(parsed.Operands[1]))) {
    return WriteModPatch(call, parsed.Options.at("patch"), parsed.Has("force"), parsed.Operands[0],
                         parsed.Operands[1]);
  }
  Compared compared;
  if (!OpenReadableArchive(call, parsed.Operands[0], &compared.OldArchive) ||
      !OpenReadableArchive(call, parsed.Operands[1], &compared.NewArchive)) {
    return kExitUsage;
  }
  compared.Result = CompareArchives(*compared.OldArchive.File, compared.OldArchive.Index,
                                    *compared.NewArchive.File, compared.NewArchive.Index);
  if (compared.Result.Fault != DiffFault::kNone) {
    PrintError(call.Terminal, FaultText(call.Terminal, compared));
    return kExitUsage;
  }
  if (parsed.Has("patch")) {
    return WritePatch(call, parsed.Options.at("patch"), parsed.Has("force"), compared);
  }
  call.Terminal.Out(Report(call.Terminal, form, parsed.Has("all"), compared));
  return compared.Result.Difference.Identical() ? kExitOk : kExitFailed;
}

}  // namespace

extern const CommandInfo kDiffCommand = {
    "diff",
    RunDiff,
    texts_en::TxtSummaryDiff,
    texts_zh::TxtSummaryDiff,
    texts_en::TxtHelpDiff,
    texts_zh::TxtHelpDiff,
};

}  // namespace velmora
