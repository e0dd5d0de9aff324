// velmora diff [--all] [--format text|tsv|json] [--patch DIR [--force]] OLD NEW
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/command_support.h"
#include "cli/listing_format.h"
#include "cli/script_from_dir.h"
#include "job/path_route.h"
#include "job/patch_plan.h"
#include "job/script.h"
#include "job/script_text.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/cp936_text.h"
#include "sys/system_error.h"
#include "wdf/archive_diff.h"
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
  for (const EntryPair& pair : difference.Pairs) {
    if (pair.Change == EntryChange::kSame && !all) continue;
    std::string line = std::string(ChangeName(pair.Change));
    line.resize(9, ' ');
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
    out += line + Localized(console, " bytes\n", " 字节\n");
  }
  if (order_differs && difference.Count(EntryChange::kSame) == difference.Pairs.size()) {
    out += Localized(console, "The archives hold the same entries in another order.\n",
                     "两个归档含有相同的条目，但顺序不同。\n");
  }
  out += FormatText(Localized(console, "%d changed, %d added, %d removed, %d same\n",
                              "%d 个更改，%d 个新增，%d 个删除，%d 个相同\n"),
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

// The script's name beside the patch's files: the archive's name without its extension.
std::string PatchScriptName(const std::string& archive_name) {
  const size_t dot = archive_name.rfind('.');
  return (dot == std::string::npos || dot == 0 ? archive_name : archive_name.substr(0, dot)) +
         "-patch.vlm";
}

struct PatchFile {
  size_t Entry;
  std::string Name;  // in the file system's form
  std::string Path;
};

int Fail(Console& console, const std::string& problem) {
  PrintError(console, problem);
  PrintError(console, Localized(console, "no patch was written", "没有写出补丁"));
  return kExitFailed;
}

bool WriteEntryFile(FileSystem& files, Stream& archive, const WdfEntry& entry,
                    const std::string& path, bool force) {
  std::unique_ptr<Stream> out =
      force ? files.CreateExclusive(path) : files.CreateNewExclusive(path);
  if (!out) return false;
  const bool written =
      ReadEntryBytes(archive, entry,
                     [&out](const char* data, size_t n) { return out->Write(data, n); }) &&
      out->Flush();
  if (!written) {
    out.reset();
    files.RemoveFile(path);
  }
  return written;
}

// The script of a patch: it patches OLD's file in the folder above its own.
std::string PatchScript(const std::string& archive_name, const PatchPlan& plan,
                        const std::vector<std::string>& rule_values, const std::string& question,
                        const std::string& report) {
  std::string text;
  const auto line = [&text](const std::string& name, const std::string& value) {
    text += name + "=" + value + "\r\n";
  };
  line("#RunBegin", question);
  line("#SrcPath", "..\\");
  line("#SrcFile", archive_name);
  line("#DestPath", "..\\");
  line("#DestFile", archive_name);
  line("#InPlace", "yes");
  if (plan.AddsEntries) line("#AddEntries", "yes");
  line("#RunEnd", report);
  for (size_t k = 0; k < plan.Rules.size(); ++k) line(EntryKey(plan.Rules[k].Id), rule_values[k]);
  return text;
}

int WritePatch(CommandCall& call, const std::string& dir, bool force, Compared& compared) {
  Console& console = call.Terminal;
  const ArchiveDifference& difference = compared.Result.Difference;
  if (difference.Identical()) {
    console.Out(Localized(console, "The archives are identical: there is nothing to patch.\n",
                          "两个归档完全相同：没有需要修补的内容。\n"));
    return kExitOk;
  }
  const ArchiveIndex& news = compared.NewArchive.Index;
  const PatchPlan plan =
      PlanPatch(compared.OldArchive.Index, news, difference, *compared.NewArchive.File);
  if (!plan.Unreachable.empty()) {
    std::string ids;
    for (uint32_t id : plan.Unreachable) ids += (ids.empty() ? "" : ", ") + FormatId(id);
    return Fail(console,
                FormatText(Localized(console,
                                     "no script can turn %s into %s: the entries %s would not "
                                     "come out as in %s (a rule acts on every entry of its id; "
                                     "new entries go by id into an archive whose ids ascend, "
                                     "else behind the others)",
                                     "没有脚本能把 %s 变成 %s：条目 %s 无法得到与 %s 相同的结果"
                                     "（规则作用于同一 ID 的所有条目；新条目在 ID 递增的归档中按 "
                                     "ID 排入，否则排在其他条目之后）"),
                           {compared.OldArchive.Path, compared.NewArchive.Path, ids,
                            compared.NewArchive.Path}));
  }
  const std::string archive_name = LastPathName(compared.OldArchive.Path);
  std::string archive_cp936;
  std::string checked;
  if (!Cp936FromPathText(archive_name, &archive_cp936) || !RulePathValue(archive_cp936, &checked) ||
      checked != archive_cp936) {
    return Fail(console, FormatText(Localized(console, "the name %s cannot stand in a script",
                                              "名称 %s 无法写入脚本"),
                                    {archive_name}));
  }

  // Every file first: nothing is written while one of them is in the way.
  std::vector<PatchFile> files;
  std::vector<std::string> rule_values;
  std::vector<std::string> problems;
  const std::string script_path = JoinPath(dir, PatchScriptName(archive_name));
  if (call.Files.FileIsPresent(dir)) {
    problems.push_back(FormatText(
        Localized(console, "%s is a file, not a folder", "%s 是一个文件，不是文件夹"), {dir}));
  }
  const auto check_free = [&](const std::string& path) {
    if (call.Files.DirectoryExists(path)) {
      problems.push_back(
          FormatText(Localized(console, "%s is a folder", "%s 是一个文件夹"), {path}));
    } else if (!force && call.Files.FileIsPresent(path)) {
      problems.push_back(FormatText(
          Localized(console, "%s exists (--force replaces it)", "%s 已存在（--force 可覆盖）"),
          {path}));
    }
  };
  check_free(script_path);
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
    files.push_back({rule.NewEntry, name, JoinPath(dir, name)});
    check_free(files.back().Path);
  }
  if (!problems.empty()) {
    for (size_t k = 0; k + 1 < problems.size(); ++k) PrintError(console, problems[k]);
    return Fail(console, problems.back());
  }

  std::string question;
  std::string report;
  if (!ScriptText("此补丁将修改 %s：更改 %d 个条目，新增 %d 个，删除 %d 个。\\n"
                  "原文件将保留为备份（%s.N.bak），可用 velmora restore 恢复。",
                  {archive_name, Signed(plan.Changed), Signed(plan.Added), Signed(plan.Removed),
                   archive_name},
                  &question) ||
      !ScriptText("补丁已应用到 %s。", {archive_name}, &report)) {
    return Fail(console, FormatText(Localized(console, "the name %s cannot stand in a script",
                                              "名称 %s 无法写入脚本"),
                                    {archive_name}));
  }
  const std::string script = PatchScript(archive_cp936, plan, rule_values, question, report);

  if (!MakeDirectories(call.Files, dir)) {
    return Fail(console, Message(MessageKey::MsgTargetDirFailed, {dir, LastSystemErrorText()}));
  }
  for (const PatchFile& file : files) {
    if (!WriteEntryFile(call.Files, *compared.NewArchive.File, news.Entries[file.Entry], file.Path,
                        force)) {
      return Fail(console,
                  Message(MessageKey::MsgTargetWriteFailed, {file.Path, LastSystemErrorText()}));
    }
  }
  std::unique_ptr<Stream> out =
      force ? call.Files.CreateExclusive(script_path) : call.Files.CreateNewExclusive(script_path);
  if (!out || !out->Write(script.data(), script.size()) || !out->Flush()) {
    const std::string reason = LastSystemErrorText();
    out.reset();
    call.Files.RemoveFile(script_path);
    return Fail(console, Message(MessageKey::MsgTargetWriteFailed, {script_path, reason}));
  }
  console.Out(
      FormatText(Localized(console, "%s written: %d changed, %d added, %d removed (%d files)\n",
                           "已写出 %s：%d 个更改，%d 个新增，%d 个删除（%d 个文件）\n"),
                 {script_path, Signed(plan.Changed), Signed(plan.Added), Signed(plan.Removed),
                  Signed(files.size())}));
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
                        Localized(call.Terminal, "unknown format ", "未知格式 ") + name);
    }
  }
  if (parsed.Has("force") && !parsed.Has("patch")) {
    return UsageError(
        call.Terminal, "diff",
        Localized(call.Terminal, "--force goes with --patch", "--force 需与 --patch 同用"));
  }
  if (parsed.Operands.size() != 2) {
    return UsageError(
        call.Terminal, "diff",
        Localized(call.Terminal, "give two archives: OLD NEW", "需要两个归档：旧 新"));
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
    "compare two archives, or make a patch that turns one into the other",
    "比较两个归档，或生成把一个变成另一个的补丁",
    "Usage: {tool} diff [--all] [--format text|tsv|json] OLD NEW\n"
    "       {tool} diff --patch DIR [--force] OLD NEW\n"
    "\n"
    "Pairs the k-th entry of an id in OLD with the k-th entry of that id in NEW and reports\n"
    "each pair as changed (the bytes differ), added (only in NEW) or removed (only in OLD).\n"
    "Entry bytes are compared piece by piece; neither archive is read into memory whole.\n"
    "\n"
    "  --all            also list the pairs that are the same\n"
    "  --format text    one line per pair and a count per kind (the default); a line says\n"
    "                   when the entries are the same but in another order\n"
    "  --format tsv     a header line change, id, n, old_size, new_size, then one line per\n"
    "                   pair (n counts the entries of an id from 1; an absent size is empty)\n"
    "  --format json    one object with counts and entries\n"
    "  --patch DIR      write into DIR a script and one file per changed or added entry:\n"
    "                   copy DIR into the folder of OLD's file and run the script there\n"
    "                   ({tool} run, or a double-click on Windows) to turn that archive into\n"
    "                   NEW in place; the old archive is kept as NAME.N.bak\n"
    "                   ({tool} restore puts it back)\n"
    "  --force          with --patch: replace files that exist in DIR\n"
    "\n"
    "Exit status: 0 the archives hold the same entries with the same bytes in the same order\n"
    "(with --patch: the patch was written, or there was nothing to patch); 1 they differ\n"
    "(with --patch: no patch could be written); 2 wrong command line, or an archive that\n"
    "cannot be read.\n",
    "用法：{tool} diff [--all] [--format text|tsv|json] 旧 新\n"
    "      {tool} diff --patch 文件夹 [--force] 旧 新\n"
    "\n"
    "把“旧”中某个 ID 的第 k 个条目与“新”中同一 ID 的第 k 个条目配对，并报告每一对是\n"
    "changed（数据不同）、added（只在“新”中）还是 removed（只在“旧”中）。条目数据逐段比较，\n"
    "不会把整个归档读入内存。\n"
    "\n"
    "  --all            同时列出相同的条目对\n"
    "  --format text    每对一行，最后给出各类的数目（默认）；条目相同但顺序不同时另有一行说明\n"
    "  --format tsv     一行表头 change、id、n、old_size、new_size，之后每对一行（n 为同一 ID\n"
    "                   的第几个条目，从 1 数起；不存在的大小为空）\n"
    "  --format json    一个对象，含 counts 和 entries\n"
    "  --patch 文件夹   在文件夹中写出一个脚本，并为每个更改或新增的条目写出一个文件：把该文件夹\n"
    "                   复制到“旧”归档所在的文件夹中并在那里执行脚本（{tool} run，或在 Windows\n"
    "                   上双击），即可把该归档原地变成“新”；原归档保留为 名称.N.bak\n"
    "                   （{tool} restore 可恢复）\n"
    "  --force          与 --patch 同用：覆盖文件夹中已有的文件\n"
    "\n"
    "退出码：0 两个归档的条目、数据和顺序完全相同（使用 --patch 时：补丁已写出，或无需修补）；\n"
    "1 两者不同（使用 --patch 时：无法写出补丁）；2 命令行有误，或有归档无法读取。\n",
};

}  // namespace velmora
