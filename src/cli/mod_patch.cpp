#include "cli/mod_patch.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/terminal_texts.h"
#include "job/mod_journal.h"
#include "job/patch_undo.h"
#include "job/path_route.h"
#include "job/script_text.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/cp936_text.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

const char kModScript[] = "mod.vlm";
const char kUndoScript[] = "mod-undo.vlm";

// An archive below a folder: its names from the folder down, as the file system gives them.
using RelativeName = std::vector<std::string>;

std::string Joined(const RelativeName& names, const std::string& separator) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : separator) + name;
  return text;
}

std::string PathBelow(const std::string& dir, const RelativeName& names) {
  return JoinPath(dir, Joined(names, std::string(1, NativeSeparator())));
}

bool IsArchive(FileSystem& files, const std::string& path) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  char magic[4] = {};
  return stream && stream->Read(magic, sizeof magic) == sizeof magic &&
         std::string(magic, sizeof magic) == "PFDW";
}

// Every archive in and below `dir`, by its relative name. False when the folder cannot be read.
bool ListArchives(FileSystem& files, const std::string& dir, std::map<RelativeName, bool>* found) {
  std::error_code error;
  const std::filesystem::path root = std::filesystem::u8path(Utf8FromAnsi(dir));
  std::filesystem::recursive_directory_iterator walk(root, error);
  for (; !error && walk != std::filesystem::recursive_directory_iterator(); walk.increment(error)) {
    if (!walk->is_regular_file(error)) continue;
    RelativeName names;
    for (const std::filesystem::path& part : walk->path().lexically_relative(root)) {
      names.push_back(AnsiFromUtf8(part.u8string()));
    }
    if (IsArchive(files, PathBelow(dir, names))) (*found)[names] = true;
  }
  return !error;
}

// A text of the mod's scripts (a UTF-8 format) filled in, in code page 936.
bool ScriptText(const char* utf8_format, std::initializer_list<FormatArg> args,
                std::string* cp936) {
  return Cp936FromPathText(FormatText(AnsiFromUtf8(utf8_format), args), cp936);
}

// The name diff gives the patch script of one archive: its name without the extension.
std::string PatchScriptName(const std::string& archive_name) {
  const size_t dot = archive_name.rfind('.');
  return (dot == std::string::npos || dot == 0 ? archive_name : archive_name.substr(0, dot)) +
         "-patch.vlm";
}

// A console that keeps what a part's patch prints as data, and passes its errors on.
class PartConsole final : public Console {
 public:
  explicit PartConsole(Console& outer) : outer_(outer) {}
  void Out(const std::string& text) override { kept += text; }
  bool OutBytes(const void* data, size_t n) override { return outer_.OutBytes(data, n); }
  void Err(const std::string& text) override { outer_.Err(text); }
  bool OutIsTerminal() const override { return outer_.OutIsTerminal(); }
  bool ErrIsTerminal() const override { return outer_.ErrIsTerminal(); }
  bool InIsTerminal() const override { return outer_.InIsTerminal(); }
  bool ReadLine(std::string* line) override { return outer_.ReadLine(line); }
  bool Chinese() const override { return outer_.Chinese(); }
  std::string kept;

 private:
  Console& outer_;
};

// The patch of one archive becomes a part of the mod: it is run from the mod's part folder, two
// levels below the game's folder, on the archive at `folders` below it; the mod asks and
// reports for all of its parts.
bool MakePart(FileSystem& files, const std::string& script_path, const std::string& folders) {
  std::string text;
  if (!ReadWholeFile(files, script_path, &text)) return false;
  std::string part;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    end = end == std::string::npos ? text.size() : end + 2;
    std::string line = text.substr(start, end - start);
    start = end;
    const std::string key = line.substr(0, line.find('='));
    // A part asks and reports nothing of its own, and it has no undo of its own: the undo its
    // patch named was not kept (the mod's undo takes every archive back together).
    if (key == "#RunBegin" || key == "#RunEnd" || key == kUndoKey) continue;
    if (key == "#SrcPath" || key == "#DestPath") line = key + "=..\\..\\\r\n";
    if (key == "#SrcFile" || key == "#DestFile") line.insert(key.size() + 1, folders);
    part += line;
  }
  return WriteWholeFile(files, script_path, part);
}

struct ModPatchWrite {
  CommandCall& Call;
  std::string Dir;
  bool Force;
  std::vector<std::string> Written;  // the files of the parts written so far

  // What was written goes again: a mod that is not whole is no mod.
  int Fail(const std::string& problem) {
    for (const std::string& path : Written) Call.Files.RemoveFile(path);
    if (!problem.empty()) PrintError(Call.Terminal, problem);
    PrintError(Call.Terminal, ToolText(Call.Terminal, TextKey::TxtDiffNoPatchWasWritten));
    return kExitFailed;
  }
};

}  // namespace

int WriteModPatch(CommandCall& call, const std::string& dir, bool force, const std::string& old_dir,
                  const std::string& new_dir) {
  Console& console = call.Terminal;
  ModPatchWrite write{call, dir, force, {}};
  if (!call.Files.DirectoryExists(old_dir) || !call.Files.DirectoryExists(new_dir)) {
    return write.Fail(ToolText(console, TextKey::TxtModFoldersGoTogether));
  }
  std::map<RelativeName, bool> olds;
  std::map<RelativeName, bool> news;
  for (const auto& folder : {std::make_pair(&old_dir, &olds), std::make_pair(&new_dir, &news)}) {
    if (!ListArchives(call.Files, *folder.first, folder.second)) {
      return write.Fail(FormatText(ToolText(console, TextKey::TxtModFolderUnreadable),
                                   {*folder.first, LastSystemErrorText()}));
    }
  }
  std::vector<std::string> problems;
  for (const auto& old : olds) {
    if (!news.count(old.first)) {
      problems.push_back(FormatText(ToolText(console, TextKey::TxtModArchiveRemoved),
                                    {PathBelow(old_dir, old.first)}));
    }
  }
  for (const auto& added : news) {
    if (!olds.count(added.first)) {
      problems.push_back(FormatText(ToolText(console, TextKey::TxtModArchiveAdded),
                                    {PathBelow(new_dir, added.first)}));
    }
  }
  for (const char* name : {kModScript, kUndoScript}) {
    if (!force && call.Files.FileIsPresent(JoinPath(dir, name))) {
      problems.push_back(FormatText(ToolText(console, TextKey::TxtDiffSExistsForceReplacesIt),
                                    {JoinPath(dir, name)}));
    }
  }
  if (!problems.empty()) {
    for (size_t k = 0; k + 1 < problems.size(); ++k) PrintError(console, problems[k]);
    return write.Fail(problems.back());
  }

  // Each archive that differs: its patch, as diff writes it for one archive, in a part folder.
  std::string parts;
  std::string names;
  int count = 0;
  for (const auto& old : olds) {
    const std::string part_dir = JoinPath(dir, std::to_string(count + 1));
    PartConsole part_console(console);
    CommandCall part_call{
        {"--patch", part_dir, PathBelow(old_dir, old.first), PathBelow(new_dir, old.first)},
        part_console,
        call.Files};
    if (force) part_call.Args.insert(part_call.Args.begin() + 2, "--force");
    std::vector<std::string> before;
    call.Files.ListFiles(part_dir, &before);
    if (kDiffCommand.Run(part_call) != kExitOk) return write.Fail(std::string());
    if (part_console.kept == ToolText(console, TextKey::TxtDiffTheArchivesAreIdenticalThere)) {
      continue;  // the archives are the same: nothing of it is in the mod
    }
    const std::string script = PatchScriptName(old.first.back());
    std::vector<std::string> after;
    call.Files.ListFiles(part_dir, &after);
    for (const std::string& name : after) {
      const bool is_new = std::find(before.begin(), before.end(), name) == before.end();
      if (name != script && name.size() > 4 && name.compare(name.size() - 4, 4, ".vlm") == 0 &&
          (is_new || force)) {
        // A script that undoes one archive alone would undo part of the mod: the mod's own undo
        // takes every archive back together.
        call.Files.RemoveFile(JoinPath(part_dir, name));
      } else if (is_new) {
        write.Written.push_back(JoinPath(part_dir, name));
      }
    }
    const RelativeName folders(old.first.begin(), old.first.end() - 1);
    std::string folders_cp936;
    std::string script_cp936;
    if (!Cp936FromPathText(folders.empty() ? std::string() : Joined(folders, "\\") + "\\",
                           &folders_cp936) ||
        !Cp936FromPathText(script, &script_cp936)) {
      return write.Fail(FormatText(ToolText(console, TextKey::TxtDiffTheNameSCannotStand),
                                   {PathBelow(old_dir, old.first)}));
    }
    if (!MakePart(call.Files, JoinPath(part_dir, script), folders_cp936)) {
      return write.Fail(Message(MessageKey::MsgTargetWriteFailed,
                                {JoinPath(part_dir, script), LastSystemErrorText()}));
    }
    console.Out(part_console.kept);
    ++count;
    parts += "#ModPart" + std::to_string(count) + "=" + std::to_string(count) + "\\" +
             script_cp936 + "\r\n";
    names += (names.empty() ? "" : ", ") + Joined(old.first, "\\");
  }
  if (count == 0) {
    console.Out(ToolText(console, TextKey::TxtModFoldersIdentical));
    return kExitOk;
  }

  std::string question;
  std::string undo_question;
  if (!ScriptText("此补丁将一起修改 %d 个资源包：%s。\\n"
                  "原文件将保留为备份（*.N.bak），可用 %s 一起撤销。",
                  {count, names, kUndoScript}, &question) ||
      !ScriptText("此脚本撤销补丁 %s：%d 个资源包一起恢复为应用补丁之前的样子。",
                  {kModScript, count}, &undo_question)) {
    return write.Fail(std::string());
  }
  const std::string base = "#ModBase=..\\\r\n";
  const std::string mod = "#RunBegin=" + question + "\r\n" + base + parts + "#RunEnd=\r\n";
  const std::string undo =
      "#RunBegin=" + undo_question + "\r\n" + base + "#ModUndo=" + kModScript + "\r\n#RunEnd=\r\n";
  // The undo first, the mod last: a mod script is written only once everything it needs is.
  const std::string undo_path = JoinPath(dir, kUndoScript);
  const std::string mod_path = JoinPath(dir, kModScript);
  if (!WriteWholeFile(call.Files, undo_path, undo)) {
    return write.Fail(
        Message(MessageKey::MsgTargetWriteFailed, {undo_path, LastSystemErrorText()}));
  }
  write.Written.push_back(undo_path);
  if (!WriteWholeFile(call.Files, mod_path, mod)) {
    return write.Fail(Message(MessageKey::MsgTargetWriteFailed, {mod_path, LastSystemErrorText()}));
  }
  console.Out(FormatText(ToolText(console, TextKey::TxtModWritten), {mod_path, count, undo_path}));
  return kExitOk;
}

}  // namespace velmora
