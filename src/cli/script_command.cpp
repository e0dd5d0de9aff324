// velmora script --from-dir DIR [--all] [--dest TARGET] -o SCRIPT ARCHIVE
#include <algorithm>

#include "cli/commands.h"
#include "cli/command_support.h"
#include "cli/script_from_dir.h"
#include "cli/script_job.h"
#include "job/path_route.h"
#include "job/paths.h"
#include "msg/format.h"
#include "sys/cp936_text.h"
#include "sys/process.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// The names of a route converted to code page 936; false when one has no form there.
bool Cp936Names(const std::vector<std::string>& names, std::vector<std::string>* converted) {
  converted->clear();
  for (const std::string& name : names) {
    std::string cp936;
    if (!Cp936FromPathText(name, &cp936)) return false;
    converted->push_back(cp936);
  }
  return true;
}

// True in `*same` when the file at `path` holds exactly the entry's bytes. False when the file
// cannot be read (the system's reason stays in the last error).
bool FileHoldsEntry(FileSystem& files, const std::string& path, Stream& archive,
                    const WdfEntry& entry, uint64_t archive_size, bool* same) {
  std::unique_ptr<Stream> file = files.OpenShared(path);
  uint64_t size = 0;
  if (!file || !file->Size(&size)) return false;
  *same = false;
  if (size != entry.Size || !EntryBytesInFile(entry, archive_size)) return true;
  std::vector<char> mine(std::min<size_t>(entry.Size, kEntryReadPiece));
  bool equal = true;
  bool file_read = true;
  const bool read = ReadEntryBytes(archive, entry, [&](const char* data, size_t n) {
    file_read = file->Read(mine.data(), n) == n;
    equal = file_read && std::equal(data, data + n, mine.begin());
    return equal;
  });
  if (!file_read) return false;
  if (!read && equal) return false;  // the archive could not be read
  *same = equal;
  return true;
}

std::string ReasonText(const Console& console, const UnusableFile& file) {
  switch (file.Reason) {
    case UnusableReason::kNotAnId:
      return Localized(console, "its name is not an entry's id", "文件名不是条目的 ID");
    case UnusableReason::kNotInArchive:
      return Localized(console, "the archive has no such entry (--add adds it as a new entry)",
                       "归档中没有这个条目（--add 可将其作为新条目加入）");
    case UnusableReason::kUnreachable:
      return Localized(console,
                       "a later entry of a repeated id, which no rule can reach (rules reach only "
                       "the first)",
                       "重复 ID 中靠后的条目，规则无法指向它（规则只能指向第一个）");
    case UnusableReason::kSecondFile:
      return Localized(console, "names the same entry as ", "与另一个文件指向同一条目：") +
             file.Other;
    case UnusableReason::kNoCp936Form:
      return Localized(console, "its name has characters that code page 936 lacks",
                       "文件名含有 936 代码页（GBK）中没有的字符");
    case UnusableReason::kNotWritable:
      return Localized(console,
                       "its path cannot stand in a script (a ';', a control character or a blank "
                       "at its end)",
                       "其路径无法写进脚本（含有 ';'、控制字符或首尾空格）");
  }
  return std::string();
}

// Where a script in `script_dir` finds `target`: the keys' values for the levels up and the
// path down, in code page 936. False with `*problem` set when no script can name it.
bool ScriptPathTo(const Console& console, const PathParts& script_dir, const PathParts& target,
                  const std::string& shown, std::string* up, std::string* down,
                  std::string* problem) {
  switch (ScriptKeyPath(script_dir, target, up, down)) {
    case ScriptPathResult::kNamed:
      return true;
    case ScriptPathResult::kUnreachable:
      *problem = FormatText(Localized(console,
                                      "%s cannot be reached from the script's folder: a script "
                                      "names it relative to its own folder, on the same drive",
                                      "从脚本所在的文件夹无法到达 %s：脚本只能用相对于自身文件夹、"
                                      "在同一驱动器上的路径指明它"),
                            {shown});
      return false;
    case ScriptPathResult::kUnwritable:
      break;
  }
  *problem = FormatText(Localized(console,
                                  "the path of %s cannot be written in a script (characters "
                                  "that code page 936 lacks, a ';' or a control character)",
                                  "%s 的路径无法写进脚本（含有 936 代码页中没有的字符、';' 或"
                                  "控制字符）"),
                        {shown});
  return false;
}

PathParts DirectoryOf(PathParts path) {
  if (!path.Names.empty()) path.Names.pop_back();
  return path;
}

bool SamePath(const PathParts& a, const PathParts& b) {
  PathRoute route;
  return RouteBetween(a, b, &route) && route.Ups == 0 && route.Down.empty() &&
         a.Names.size() == b.Names.size();
}

int Fail(Console& console, const std::string& message) {
  PrintError(console, message);
  return kExitFailed;
}

int RunScript(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kScriptCommand)) return kExitOk;
  Console& console = call.Terminal;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args,
                      {{0, "from-dir", true},
                       {0, "all", false},
                       {0, "add", false},
                       {0, "dest", true},
                       {'o', "output", true},
                       {0, "force", false}},
                      call.Terminal, &parsed, &error)) {
    return UsageError(console, "script", error);
  }
  if (!parsed.Has("from-dir")) {
    return UsageError(console, "script",
                      Localized(console, "--from-dir DIR is required", "需要 --from-dir 文件夹"));
  }
  if (!parsed.Has("output") || parsed.Options.at("output").empty() ||
      parsed.Options.at("output") == "-") {
    return UsageError(console, "script",
                      Localized(console, "-o SCRIPT is required", "需要 -o 脚本文件"));
  }
  if (parsed.Operands.size() != 1) {
    return UsageError(console, "script",
                      Localized(console, "give one archive", "需要一个归档文件"));
  }
  const std::string& script_path = parsed.Options.at("output");
  const std::string& dir = parsed.Options.at("from-dir");
  const bool force = parsed.Has("force");

  OpenedArchive archive;
  if (!OpenReadableArchive(call, parsed.Operands[0], &archive)) return kExitFailed;
  if (call.Files.DirectoryExists(script_path)) {
    return Fail(console,
                FormatText(Localized(console, "%s is a folder", "%s 是一个文件夹"), {script_path}));
  }
  if (!force && call.Files.FileIsPresent(script_path)) {
    return Fail(console, FormatText(Localized(console, "%s exists (--force replaces it)",
                                              "%s 已存在（--force 可覆盖）"),
                                    {script_path}));
  }

  const std::string current = CurrentDirectory();
  const PathParts script = AbsolutePathParts(script_path, current);
  const PathParts script_dir = DirectoryOf(script);
  const PathParts source = AbsolutePathParts(archive.Path, current);
  ScriptHeader header;
  std::string problem;
  if (!ScriptPathTo(console, script_dir, source, archive.Path, &header.SrcPath, &header.SrcFile,
                    &problem)) {
    return Fail(console, problem);
  }
  // The run's target: --dest, or without it (no #DestFile) the script's name with the source's
  // extension beside the script. A run refuses a target that is its own source.
  PathParts target = script_dir;
  if (parsed.Has("dest")) {
    target = AbsolutePathParts(parsed.Options.at("dest"), current);
    if (!ScriptPathTo(console, script_dir, target, parsed.Options.at("dest"), &header.DestPath,
                      &header.DestFile, &problem)) {
      return Fail(console, problem);
    }
  } else if (!script.Names.empty() && !source.Names.empty()) {
    target.Names.push_back(ReplaceExtension(script.Names.back(), Extension(source.Names.back())));
  }
  if (SamePath(target, source)) {
    return Fail(console, FormatText(Localized(console,
                                              "a run of this script would write its target over "
                                              "%s, its own source: give another --dest TARGET",
                                              "该脚本执行时的目标文件就是源文件 %s：请用 --dest "
                                              "指定另一个目标文件"),
                                    {archive.Path}));
  }

  std::vector<std::string> names;
  if (!call.Files.ListFiles(dir, &names)) {
    return Fail(
        console,
        FormatText(Localized(console, "the folder %s cannot be read: ", "无法读取文件夹 %s："),
                   {dir}) +
            LastSystemErrorText());
  }
  const PathParts folder = AbsolutePathParts(dir, current);
  PathRoute folder_route;
  std::vector<std::string> folder_names;
  if (!RouteBetween(script_dir, folder, &folder_route) ||
      !Cp936Names(folder_route.Down, &folder_names)) {
    return Fail(console, FormatText(Localized(console,
                                              "the folder %s cannot be named in a script in the "
                                              "script's folder (another drive, or characters that "
                                              "code page 936 lacks)",
                                              "无法在脚本中指明文件夹 %s（位于其他驱动器，或含有 "
                                              "936 代码页中没有的字符）"),
                                    {dir}));
  }

  FolderSorting sorting = SortFolderFiles(archive.Index, names, parsed.Has("add"));
  std::vector<ScriptRule> rules;
  size_t unchanged = 0;
  for (const EditedFile& file : sorting.Files) {
    const std::string path = JoinPath(dir, file.Name);
    if (!parsed.Has("all") && !file.Added) {
      bool same = false;
      if (!FileHoldsEntry(call.Files, path, *archive.File, archive.Index.Entries[file.Entry],
                          archive.Index.FileSize, &same)) {
        return Fail(console,
                    Message(MessageKey::MsgRefFileOpenFailed, {path, LastSystemErrorText()}));
      }
      if (same) {
        ++unchanged;
        continue;
      }
    }
    std::string name;
    if (!Cp936FromPathText(file.Name, &name)) {
      sorting.Unusable.push_back({file.Name, UnusableReason::kNoCp936Form, {}});
      continue;
    }
    std::vector<std::string> route_names = folder_names;
    route_names.push_back(name);
    ScriptRule rule{file.Id, {}};
    if (!RulePathValue(ScriptRouteText(folder_route.Ups, route_names), &rule.Value)) {
      sorting.Unusable.push_back({file.Name, UnusableReason::kNotWritable, {}});
      continue;
    }
    rules.push_back(rule);
    header.AddEntries = header.AddEntries || file.Added;
  }
  for (const UnusableFile& file : sorting.Unusable) {
    console.Err(Localized(console, "not usable: ", "无法使用：") + JoinPath(dir, file.Name) + ": " +
                ReasonText(console, file) + "\n");
  }

  const std::string text = RebuildScriptText(header, rules);
  const size_t name_at = script_path.size() - LastPathName(script_path).size();
  const std::string script_folder = script_path.substr(0, name_at);
  if (!MakeDirectories(call.Files, script_folder)) {
    return Fail(console,
                Message(MessageKey::MsgTargetDirFailed, {script_folder, LastSystemErrorText()}));
  }
  std::unique_ptr<Stream> out =
      force ? call.Files.CreateExclusive(script_path) : call.Files.CreateNewExclusive(script_path);
  if (!out) {
    return Fail(console,
                Message(MessageKey::MsgTargetCreateFailed, {script_path, LastSystemErrorText()}));
  }
  if (!out->Write(text.data(), text.size())) {
    const std::string reason = LastSystemErrorText();
    out.reset();
    call.Files.RemoveFile(script_path);
    return Fail(console, Message(MessageKey::MsgTargetWriteFailed, {script_path, reason}));
  }
#if !defined(_WIN32)
  // A run on Linux steps a script that is valid UTF-8 as UTF-8; code page 936 bytes that happen
  // to form UTF-8 would then name other files.
  const bool has_cp936 =
      std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
  if (has_cp936 && IsValidUtf8(text)) {
    console.Err(Localized(console,
                          "note: the script's code page 936 names also read as UTF-8; run it on "
                          "Linux with --codepage gbk\n",
                          "注意：脚本中 936 代码页的名称也能按 UTF-8 读出；在 Linux 上请用 "
                          "--codepage gbk 执行\n"));
  }
#endif
  console.Out(
      FormatText(Localized(console, "%s written: %d rules, %d files unchanged, %d not usable",
                           "已写出 %s：%d 条规则，%d 个文件未改动，%d 个文件无法使用"),
                 {script_path, static_cast<int64_t>(rules.size()), static_cast<int64_t>(unchanged),
                  static_cast<int64_t>(sorting.Unusable.size())}) +
      "\n");
  return kExitOk;
}

}  // namespace

extern const CommandInfo kScriptCommand = {
    "script",
    RunScript,
    "write a script that puts a folder of edited entries into an archive",
    "根据一个文件夹中改过的条目生成脚本",
    "Usage: {tool} script --from-dir DIR [--all] [--add] [--dest TARGET] [--force] -o SCRIPT\n"
    "       ARCHIVE\n"
    "\n"
    "Writes a script that rebuilds ARCHIVE with the files of DIR: one rule line\n"
    "@XXXXXXXX=<path of the file> for each file whose name is an id of the archive (eight\n"
    "hexadecimal digits, optionally followed by . and an extension, as '{tool} extract'\n"
    "names them), in the archive's index order. Without --all only files whose bytes differ\n"
    "from the entry's get a line.\n"
    "\n"
    "The script names ARCHIVE (#SrcFile, with #SrcPath where it lies above the script's\n"
    "folder) and the files relative to the script's own folder, and is written as a script\n"
    "written on Windows: code page 936, CR LF line ends, backslashes. Velmora.exe and\n"
    "'{tool} run' both take it.\n"
    "\n"
    "Files that cannot be used are listed and do not stop the command: names that are not ids\n"
    "of the archive (unless --add is given), XXXXXXXX-N names of later entries of a\n"
    "repeated id (no rule can reach them), and names that cannot be written in code page 936.\n"
    "\n"
    "  --from-dir DIR   the folder of edited files\n"
    "  --all            a line for every usable file, changed or not\n"
    "  --add            a file named after an id the archive lacks becomes a new entry\n"
    "                   (the script gets #AddEntries=yes)\n"
    "  --dest TARGET    the archive the run writes (#DestFile); default: the script's name\n"
    "                   with the archive's extension, beside the script\n"
    "  -o SCRIPT        the script to write (its folder is created when missing)\n"
    "  --force          replace SCRIPT when it exists\n"
    "\n"
    "Exit status: 0 written; 1 refused or failed; 2 wrong command line.\n",
    "用法：{tool} script --from-dir 文件夹 [--all] [--add] [--dest 目标] [--force] -o 脚本 归档\n"
    "\n"
    "生成一个用文件夹中的文件重建归档的脚本：文件名是归档中条目 ID 的每个文件（8 位十六进制\n"
    "数字，后面可带 . 和扩展名，即 '{tool} extract' 所用的文件名）对应一行规则\n"
    "@XXXXXXXX=<文件路径>，按归档的索引顺序排列。不给 --all 时，只为内容与条目不同的文件写规则。\n"
    "\n"
    "脚本用相对于脚本所在文件夹的路径指明归档（#SrcFile，归档在上层目录时加上 #SrcPath）和\n"
    "各个文件，并按 Windows 上写的脚本保存：936 代码页（GBK）、CR LF 换行、反斜杠。\n"
    "Velmora.exe 和 '{tool} run' 都能执行它。\n"
    "\n"
    "无法使用的文件会被列出，但不会中止命令：文件名不是归档中的 ID（除非给出 --add）、\n"
    "重复 ID 中靠后条目的 XXXXXXXX-N 文件（规则无法指向它们），以及无法用 936 代码页写出的\n"
    "文件名。\n"
    "\n"
    "  --from-dir 文件夹   改过的文件所在的文件夹\n"
    "  --all               为每个可用的文件都写规则，无论是否改动\n"
    "  --add               以归档中没有的 ID 命名的文件作为新条目加入（脚本带 #AddEntries=yes）\n"
    "  --dest 目标         执行时写出的归档（#DestFile）；默认为脚本旁边、与脚本同名并带归档\n"
    "                      扩展名的文件\n"
    "  -o 脚本             要写出的脚本（所在文件夹不存在时创建）\n"
    "  --force             脚本已存在时覆盖\n"
    "\n"
    "退出码：0 成功；1 被拒绝或失败；2 命令行有误。\n",
};

}  // namespace velmora
