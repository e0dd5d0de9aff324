// velmora extract [-o DIR] [--force] ARCHIVE [ID...]
//
// Everything is checked before the first file is written (each id present, each entry's bytes
// within the file, each file name free), so a refusal leaves nothing behind. File names are
// made from the ids alone, so nothing is ever written outside DIR; with --force an existing
// file of the name is removed first and the new one created in its place, so that a link of
// that name is replaced rather than followed.
#include <set>

#include "cli/commands.h"
#include "cli/command_support.h"
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
  return FormatText(Localized(console, "%s: no entry has the id %s", "%s：没有 ID 为 %s 的条目"),
                    {path, FormatId(id)});
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
      PrintError(call.Terminal, FormatText(Localized(call.Terminal,
                                                     "%s: entry %s could not be "
                                                     "read or written: ",
                                                     "%s：条目 %s 无法读取或写出："),
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

// Writes every planned file. On a failure the files this run created are removed again.
bool WriteFiles(CommandCall& call, const OpenedArchive& archive,
                const std::vector<PlannedFile>& plan) {
  std::vector<std::string> created;
  auto give_up = [&](const std::string& message) {
    PrintError(call.Terminal, message);
    for (const std::string& path : created) call.Files.RemoveFile(path);
    return false;
  };
  for (const PlannedFile& file : plan) {
    if (file.Replaces && !call.Files.RemoveFile(file.Path)) {
      return give_up(
          FormatText(Localized(call.Terminal, "%s cannot be replaced: ", "无法替换 %s："),
                     {file.Path}) +
          LastSystemErrorText());
    }
    std::unique_ptr<Stream> out = call.Files.CreateNewExclusive(file.Path);
    if (!out) {
      return give_up(
          Message(MessageKey::MsgTargetCreateFailed, {file.Path, LastSystemErrorText()}));
    }
    created.push_back(file.Path);
    bool written = true;
    const bool read =
        ReadEntryBytes(*archive.File, archive.Index.Entries[file.Entry],
                       [&](const char* data, size_t n) { return written = out->Write(data, n); });
    if (!read) {
      const std::string message =
          written ? EntryUnreadableText(call.Terminal, archive, file.Entry)
                  : Message(MessageKey::MsgTargetWriteFailed, {file.Path, LastSystemErrorText()});
      out.reset();
      return give_up(message);
    }
  }
  return true;
}

int RunExtract(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kExtractCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args, {{'o', "output", true}, {0, "force", false}}, call.Terminal,
                      &parsed, &error)) {
    return UsageError(call.Terminal, "extract", error);
  }
  if (parsed.Operands.empty()) {
    return UsageError(call.Terminal, "extract",
                      Localized(call.Terminal, "give an archive", "需要一个归档文件"));
  }
  std::vector<uint32_t> ids;
  for (size_t k = 1; k < parsed.Operands.size(); ++k) {
    uint32_t id = 0;
    if (!ParseIdArgument(parsed.Operands[k], &id)) {
      return UsageError(
          call.Terminal, "extract",
          Localized(call.Terminal, "not an id: ", "不是有效的 ID：") + parsed.Operands[k]);
    }
    ids.push_back(id);
  }
  const bool to_stdout = parsed.Has("output") && parsed.Options.at("output") == "-";
  if (to_stdout && ids.size() != 1) {
    return UsageError(call.Terminal, "extract",
                      Localized(call.Terminal, "-o - writes exactly one entry: give one id",
                                "-o - 只能输出一个条目：请给出一个 ID"));
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
    problems.push_back(FormatText(
        Localized(call.Terminal, "%s is a file, not a folder", "%s 是一个文件，不是文件夹"),
        {dir}));
  }
  const std::vector<uint32_t> occurrences = IdOccurrences(index.Entries);
  std::vector<PlannedFile> plan;
  for (size_t k : selected) {
    const WdfEntry& entry = index.Entries[k];
    EntryKind kind = EntryKind::kData;
    if (!EntryBytesInFile(entry, index.FileSize)) {
      problems.push_back(EntryOutsideFileText(call.Terminal, archive, k));
      continue;
    }
    if (!ReadEntryKind(*archive.File, entry, index.FileSize, &kind)) {
      problems.push_back(EntryUnreadableText(call.Terminal, archive, k));
      continue;
    }
    const std::string name = ExtractedFileName(entry.Id, occurrences[k], kind);
    const std::string path = JoinPath(dir, name);
    const bool exists = call.Files.FileIsPresent(path);
    if (call.Files.DirectoryExists(path)) {
      problems.push_back(
          FormatText(Localized(call.Terminal, "%s is a folder", "%s 是一个文件夹"), {path}));
    } else if (exists && !parsed.Has("force")) {
      problems.push_back(FormatText(Localized(call.Terminal, "%s exists (--force replaces it)",
                                              "%s 已存在（--force 可覆盖）"),
                                    {path}));
    }
    plan.push_back({k, path, exists});
  }
  if (!problems.empty()) {
    for (const std::string& problem : problems) PrintError(call.Terminal, problem);
    PrintError(call.Terminal, Localized(call.Terminal, "nothing was written", "没有写出任何文件"));
    return kExitFailed;
  }
  if (!MakeDirectories(call.Files, dir)) {
    PrintError(call.Terminal,
               Message(MessageKey::MsgTargetDirFailed, {dir, LastSystemErrorText()}));
    return kExitFailed;
  }
  if (!WriteFiles(call, archive, plan)) return kExitFailed;
  call.Terminal.Out(
      FormatText(Localized(call.Terminal, "%d files written to %s", "已写出 %d 个文件到 %s"),
                 {static_cast<int64_t>(plan.size()), dir}) +
      "\n");
  return kExitOk;
}

}  // namespace

extern const CommandInfo kExtractCommand = {
    "extract",
    RunExtract,
    "write entries of an archive to files",
    "把归档中的条目写成文件",
    "Usage: {tool} extract [-o DIR] [--force] ARCHIVE [ID...]\n"
    "\n"
    "Writes the entries with the given ids (every entry when no id is given) to DIR, one file\n"
    "each, named after the id as eight upper-case hexadecimal digits with the extension of its\n"
    "kind (see '{tool} help list'; bin for data, txt for text, dat for an empty entry). When\n"
    "an id occurs more than once, its first entry gets the plain name and the later ones\n"
    "XXXXXXXX-2.ext, XXXXXXXX-3.ext, ... An id is written with one to eight hexadecimal\n"
    "digits, with or without a leading @ or 0x.\n"
    "\n"
    "  -o DIR    the folder (created when missing); default: the archive's name without its\n"
    "            extension, in the current directory\n"
    "  -o -      write the bytes of the one entry given to standard output\n"
    "  --force   replace files that exist already\n"
    "\n"
    "Every id, every entry and every file name is checked before anything is written: a\n"
    "missing id, an entry whose bytes do not lie within the file, or an existing file without\n"
    "--force writes no file at all.\n"
    "\n"
    "Exit status: 0 written; 1 refused or failed; 2 wrong command line.\n",
    "用法：{tool} extract [-o 文件夹] [--force] 归档 [ID...]\n"
    "\n"
    "把给定 ID 的条目（未给 ID 时为全部条目）写到文件夹中，每个条目一个文件，文件名为 8 位\n"
    "大写十六进制 ID 加上其种类的扩展名（参见 '{tool} help list'；data 为 bin，text 为 txt，\n"
    "空条目为 dat）。同一 ID 出现多次时，第一个条目用普通文件名，其后的依次为\n"
    "XXXXXXXX-2.ext、XXXXXXXX-3.ext……ID 可写 1 到 8 位十六进制数字，可带前缀 @ 或 0x。\n"
    "\n"
    "  -o 文件夹   输出文件夹（不存在时创建）；默认为当前目录下与归档同名（去掉扩展名）的文件夹\n"
    "  -o -        把所给的一个条目的数据写到标准输出\n"
    "  --force     覆盖已存在的文件\n"
    "\n"
    "写出之前先检查所有 ID、条目和文件名：ID 不存在、条目数据不在文件之内，或文件已存在而未给\n"
    "--force 时，不写出任何文件。\n"
    "\n"
    "退出码：0 成功；1 被拒绝或失败；2 命令行有误。\n",
};

}  // namespace velmora
