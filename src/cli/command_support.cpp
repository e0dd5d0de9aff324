#include "cli/command_support.h"

#include <cstdio>
#include <new>

#include "cli/arguments.h"
#include "cli/terminal_view.h"

#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t value) { return static_cast<int64_t>(value); }

}  // namespace

bool ShowHelpWhenAsked(CommandCall& call, const CommandInfo& command) {
  if (!AsksForHelp(call.Args)) return false;
  call.Terminal.Out(
      AnsiFromUtf8(WithToolName(call.Terminal.Chinese() ? command.HelpZh : command.HelpEn)));
  return true;
}

void PrintError(Console& console, const std::string& message) {
  std::string lines = TerminalText(message);
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  console.Err(lines);
}

bool OpenArchive(CommandCall& call, const std::string& path, OpenedArchive* archive) {
  archive->Path = path;
  if (!call.Files.FileIsPresent(path)) {
    PrintError(call.Terminal, Message(MessageKey::MsgSourceNotFound, {path}));
    return false;
  }
  archive->File = call.Files.OpenShared(path);
  if (!archive->File) {
    PrintError(call.Terminal,
               Message(MessageKey::MsgSourceOpenFailed, {path, LastSystemErrorText()}));
    return false;
  }
  try {
    archive->Fault = ReadArchiveIndex(*archive->File, &archive->Index);
  } catch (const std::bad_alloc&) {
    archive->Index = ArchiveIndex();
    PrintError(call.Terminal, Message(MessageKey::MsgOutOfMemory, {path}));
    return false;
  }
  return true;
}

std::string ArchiveFaultText(const Console& console, const OpenedArchive& archive) {
  const ArchiveIndex& index = archive.Index;
  switch (archive.Fault) {
    case ArchiveFault::kNone:
      return std::string();
    case ArchiveFault::kNoMagic:
      return Localized(console, "the file does not begin with the bytes \"PFDW\"",
                       "文件开头不是 \"PFDW\" 四个字节");
    case ArchiveFault::kHeaderTruncated:
      return FormatText(Localized(console, "the file ends within its 12-byte header (%d bytes)",
                                  "文件只有 %d 字节，不足 12 字节的文件头"),
                        {Signed(index.FileSize)});
    case ArchiveFault::kIndexBeyondEnd:
      return FormatText(
          Localized(console,
                    "its index of %d entries at offset %d ends at byte %d, beyond the end of "
                    "the file (%d bytes)",
                    "索引共 %d 项，位于偏移 %d，结束于第 %d 字节，超出文件末尾（文件 %d 字节）"),
          {Signed(index.Header.EntryCount), Signed(index.Header.IndexOffset),
           Signed(index.Header.IndexOffset + uint64_t{16} * index.Header.EntryCount),
           Signed(index.FileSize)});
    case ArchiveFault::kReadFailed:
      return Localized(console, "the file could not be read: ", "无法读取文件：") +
             LastSystemErrorText();
  }
  return std::string();
}

bool OpenReadableArchive(CommandCall& call, const std::string& path, OpenedArchive* archive) {
  if (!OpenArchive(call, path, archive)) return false;
  if (archive->Fault == ArchiveFault::kNone) return true;
  PrintError(call.Terminal, Message(MessageKey::MsgSourceNotWdf, {path}) + "\r" +
                                ArchiveFaultText(call.Terminal, *archive));
  return false;
}

std::string EntryOutsideFileText(const Console& console, const OpenedArchive& archive,
                                 size_t entry) {
  const WdfEntry& e = archive.Index.Entries[entry];
  return FormatText(Localized(console,
                              "%s: entry %d (id %s, offset %d, size %d) does not lie within the "
                              "file (%d bytes); its bytes cannot be read",
                              "%s：第 %d 项（ID %s，偏移 %d，大小 %d）不在文件之内（文件 %d "
                              "字节），无法读取其数据"),
                    {archive.Path, Signed(entry), FormatId(e.Id), Signed(e.Offset), Signed(e.Size),
                     Signed(archive.Index.FileSize)});
}

std::string EntryUnreadableText(const Console& console, const OpenedArchive& archive,
                                size_t entry) {
  return FormatText(Localized(console, "%s: entry %d (id %s) could not be read: ",
                              "%s：第 %d 项（ID %s）无法读取："),
                    {archive.Path, Signed(entry), FormatId(archive.Index.Entries[entry].Id)}) +
         LastSystemErrorText();
}

}  // namespace velmora
