// velmora list [--format text|tsv|json] ARCHIVE
#include "cli/commands.h"
#include "cli/command_support.h"
#include "cli/listing_format.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

int RunList(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kListCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args, {{0, "format", true}}, call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "list", error);
  }
  ListingForm form = ListingForm::kText;
  if (parsed.Has("format")) {
    const std::string& name = parsed.Options.at("format");
    if (name == "tsv") {
      form = ListingForm::kTsv;
    } else if (name == "json") {
      form = ListingForm::kJson;
    } else if (name != "text") {
      return UsageError(call.Terminal, "list",
                        Localized(call.Terminal, "unknown format ", "未知格式 ") + name);
    }
  }
  if (parsed.Operands.size() != 1) {
    return UsageError(call.Terminal, "list",
                      Localized(call.Terminal, "give one archive", "需要一个归档文件"));
  }
  OpenedArchive archive;
  if (!OpenReadableArchive(call, parsed.Operands[0], &archive)) return kExitFailed;

  const ArchiveIndex& index = archive.Index;
  std::vector<EntryKind> kinds(index.Entries.size());
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    if (!ReadEntryKind(*archive.File, index.Entries[k], index.FileSize, &kinds[k])) {
      PrintError(call.Terminal,
                 Message(MessageKey::MsgSourceNotWdf, {archive.Path}) + "\r" +
                     Localized(call.Terminal, "an entry could not be read: ", "无法读取条目：") +
                     FormatId(index.Entries[k].Id) + " " + LastSystemErrorText());
      return kExitFailed;
    }
  }
  const std::string summary = FormatText(
      Localized(call.Terminal, "%d entries, index at offset %d, file size %d bytes",
                "共 %d 项，索引位于偏移 %d，文件大小 %d 字节"),
      {static_cast<int64_t>(index.Entries.size()), static_cast<int64_t>(index.Header.IndexOffset),
       static_cast<int64_t>(index.FileSize)});
  call.Terminal.Out(FormatListing(form, index, kinds, summary));
  return kExitOk;
}

}  // namespace

extern const CommandInfo kListCommand = {
    "list",
    RunList,
    "show the entries of an archive",
    "列出归档中的条目",
    "Usage: {tool} list [--format text|tsv|json] ARCHIVE\n"
    "\n"
    "Shows the entries of a WDF archive in index order: id, offset, size, reserved space and\n"
    "the kind of data, read from the entry's first bytes (bmp, png, jpg, gif, tga, wav, ogg,\n"
    "mp3, wdf, text or data; empty for a zero-size entry; out-of-bounds for an entry whose\n"
    "bytes do not lie within the file, which is never read).\n"
    "\n"
    "  --format text   an aligned table, ending with the count, the index offset and the\n"
    "                  file size (the default)\n"
    "  --format tsv    a header line, then one line per entry, fields separated by tabs\n"
    "  --format json   one object with count, index_offset, file_size and entries\n"
    "\n"
    "Exit status: 0 listed; 1 the archive cannot be read or is not a valid WDF file;\n"
    "2 wrong command line.\n",
    "用法：{tool} list [--format text|tsv|json] 归档\n"
    "\n"
    "按索引顺序列出 WDF 归档的条目：ID、偏移、大小、保留空间和数据种类。种类由条目开头的字节\n"
    "判断（bmp、png、jpg、gif、tga、wav、ogg、mp3、wdf、text 或 data）；大小为 0 的条目为\n"
    "empty；数据不在文件之内的条目为 out-of-bounds，不会被读取。\n"
    "\n"
    "  --format text   对齐的表格，最后一行给出条目数、索引偏移和文件大小（默认）\n"
    "  --format tsv    一行表头，之后每个条目一行，字段以制表符分隔\n"
    "  --format json   一个对象，含 count、index_offset、file_size 和 entries\n"
    "\n"
    "退出码：0 成功；1 归档无法读取或不是有效的 WDF 文件；2 命令行有误。\n",
};

}  // namespace velmora
