// velmora verify ARCHIVE...
#include "cli/commands.h"
#include "cli/command_support.h"
#include "msg/format.h"
#include "wdf/archive_check.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t value) { return static_cast<int64_t>(value); }

// "entry 3 (id 0000A1B3)", "the header" or "the index", with the bytes it covers.
std::string RegionText(const Console& console, const OpenedArchive& archive,
                       const ArchiveRegion& region) {
  std::string what;
  if (region.Entry == ArchiveRegion::kHeader) {
    what = Localized(console, "the header", "文件头");
  } else if (region.Entry == ArchiveRegion::kIndex) {
    what = Localized(console, "the index", "索引");
  } else {
    what = FormatText(Localized(console, "entry %d (id %s)", "第 %d 项（ID %s）"),
                      {region.Entry, FormatId(archive.Index.Entries[region.Entry].Id)});
  }
  return what + FormatText(Localized(console, " at bytes %d-%d", "（字节 %d-%d）"),
                           {Signed(region.Start), Signed(region.End)});
}

std::string FindingText(const Console& console, const OpenedArchive& archive,
                        const ArchiveFinding& f) {
  const ArchiveIndex& index = archive.Index;
  const uint64_t index_room = uint64_t{16} * index.Entries.size();
  switch (f.Kind) {
    case ArchiveFinding::Type::kFault:
      return Message(MessageKey::MsgSourceNotWdf, {archive.Path}) + ": " +
             ArchiveFaultText(console, archive);
    case ArchiveFinding::Type::kEntryBeyondFile:
      return FormatText(
          Localized(console,
                    "entry %d (id %s) ends at byte %d with its reserved space, "
                    "beyond the end of the file (%d bytes)",
                    "第 %d 项（ID %s）连同保留空间结束于第 %d 字节，超出文件末尾（文件 "
                    "%d 字节）"),
          {f.Region.Entry, FormatId(index.Entries[f.Region.Entry].Id), Signed(f.Region.End),
           Signed(index.FileSize)});
    case ArchiveFinding::Type::kEntryInIndexRoom:
      return FormatText(
          Localized(
              console,
              "entry %d (id %s) ends at byte %d with its reserved space, inside the last "
              "%d bytes of the file, which a run keeps for the index (entries must end by "
              "byte %d)",
              "第 %d 项（ID %s）连同保留空间结束于第 %d 字节，进入了文件最后 %d 字节；执行脚本时"
              "这部分留给索引（条目须在第 %d 字节之前结束）"),
          {f.Region.Entry, FormatId(index.Entries[f.Region.Entry].Id), Signed(f.Region.End),
           Signed(index_room), Signed(index.FileSize - index_room)});
    case ArchiveFinding::Type::kDuplicateId:
      return FormatText(
          Localized(console,
                    "entry %d repeats id %s of entry %d; rules and references "
                    "reach only entry %d",
                    "第 %d 项重复了 ID %s（与第 %d 项相同）；规则和引用只能找到第 %d 项"),
          {f.Region.Entry, FormatId(index.Entries[f.Other.Entry].Id), f.Other.Entry,
           f.Other.Entry});
    case ArchiveFinding::Type::kOverlap:
      return RegionText(console, archive, f.Region) + Localized(console, " overlaps ", " 与 ") +
             RegionText(console, archive, f.Other) + Localized(console, "", " 重叠");
    case ArchiveFinding::Type::kUncovered:
      return FormatText(
          Localized(console, "bytes %d-%d (%d bytes) belong to no entry",
                    "字节 %d-%d（%d 字节）不属于任何条目"),
          {Signed(f.Region.Start), Signed(f.Region.End), Signed(f.Region.End - f.Region.Start)});
  }
  return std::string();
}

// Judges one archive, printing the details and its summary line; true when it is valid.
bool VerifyArchive(CommandCall& call, const std::string& path) {
  OpenedArchive archive;
  if (!OpenArchive(call, path, &archive)) {
    call.Terminal.Out(path + ": INVALID\n");
    return false;
  }
  const ArchiveCheck check = CheckArchive(archive.Index, archive.Fault);
  std::string out;
  for (const ArchiveFinding& finding : check.Findings) {
    out += path + (finding.IsError() ? ": error: " : ": warning: ") +
           FindingText(call.Terminal, archive, finding) + "\n";
  }
  if (check.Errors > 0) {
    out += path + ": INVALID\n";
  } else if (check.Warnings > 0) {
    out += path + ": OK with " + std::to_string(check.Warnings) + " warnings\n";
  } else {
    out += path + ": OK\n";
  }
  call.Terminal.Out(out);
  return check.Errors == 0;
}

int RunVerify(CommandCall& call) {
  if (ShowHelpWhenAsked(call, kVerifyCommand)) return kExitOk;
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(call.Args, {}, call.Terminal, &parsed, &error)) {
    return UsageError(call.Terminal, "verify", error);
  }
  if (parsed.Operands.empty()) {
    return UsageError(
        call.Terminal, "verify",
        Localized(call.Terminal, "give at least one archive", "至少需要一个归档文件"));
  }
  bool all_valid = true;
  for (const std::string& path : parsed.Operands)
    all_valid = VerifyArchive(call, path) && all_valid;
  return all_valid ? kExitOk : kExitFailed;
}

}  // namespace

extern const CommandInfo kVerifyCommand = {
    "verify",
    RunVerify,
    "check that archives are sound",
    "检查归档是否完好",
    "Usage: {tool} verify ARCHIVE...\n"
    "\n"
    "Checks each archive as a run would take it as its source. Errors (a run refuses the\n"
    "archive): the header is not \"PFDW\" with an index that ends within the file; an entry,\n"
    "with its reserved space, does not end before the last 16 bytes per entry of the file,\n"
    "which a run keeps for the index. Warnings (a run goes on): an id that occurs more than\n"
    "once (only its first entry can be reached by a rule or a reference), entries that share\n"
    "bytes with each other, the header or the index, and bytes that belong to nothing.\n"
    "\n"
    "The details come first, then one line per archive: OK, OK with N warnings, or INVALID.\n"
    "\n"
    "Exit status: 0 every archive is valid; 1 otherwise; 2 wrong command line.\n",
    "用法：{tool} verify 归档...\n"
    "\n"
    "按执行脚本时读取源文件的方式检查每个归档。错误（执行时会拒绝该归档）：文件头不是\n"
    "\"PFDW\"，或索引超出文件末尾；某个条目连同保留空间没有在文件最后“条目数×16”字节之前\n"
    "结束（这部分在执行时留给索引）。警告（执行仍可进行）：同一 ID 出现多次（规则和引用只能\n"
    "找到第一个）、条目之间或与文件头、索引之间数据重叠、有字节不属于任何部分。\n"
    "\n"
    "先列出细节，再为每个归档给出一行结论：OK、OK with N warnings 或 INVALID。\n"
    "\n"
    "退出码：0 所有归档都有效；1 否则；2 命令行有误。\n",
};

}  // namespace velmora
