#include "cli/command_support.h"

#include <cstdio>
#include <new>

#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

int64_t Signed(uint64_t value) { return static_cast<int64_t>(value); }

// The value of a hexadecimal digit, or -1.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const OptionSpec* FindOption(const std::vector<OptionSpec>& specs, const std::string& long_name,
                             char short_name) {
  for (const OptionSpec& spec : specs) {
    if (long_name.empty() ? spec.short_name == short_name && short_name != 0
                          : long_name == spec.long_name) {
      return &spec;
    }
  }
  return nullptr;
}

}  // namespace

const char* ToolName() {
#if defined(_WIN32)
  return "velmora-cli";
#else
  return "velmora";
#endif
}

std::string Localized(const Console& console, const char* en, const char* zh) {
  return AnsiFromUtf8(console.Chinese() ? zh : en);
}

int UsageError(Console& console, const char* command, const std::string& what) {
  console.Err(std::string(ToolName()) + " " + command + ": " + what + " (" +
              Localized(console, "see", "参见") + " '" + ToolName() + " help " + command + "')\n");
  return kExitUsage;
}

void PrintError(Console& console, const std::string& message) {
  std::string lines;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] != '\r') {
      lines += message[i];
    } else if (i + 1 >= message.size() || message[i + 1] != '\n') {
      lines += '\n';
    }
  }
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  console.Err(lines);
}

bool ParseArguments(const Console& console, const std::vector<std::string>& args,
                    const std::vector<OptionSpec>& specs, ParsedArguments* parsed,
                    std::string* error) {
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (options_end || word.size() < 2 || word[0] != '-') {
      parsed->operands.push_back(word);
      continue;
    }
    if (word == "--") {
      options_end = true;
      continue;
    }
    std::string long_name, value;
    bool has_value = false;
    char short_name = 0;
    if (word[1] == '-') {
      long_name = word.substr(2);
      const size_t equals = long_name.find('=');
      if (equals != std::string::npos) {
        value = long_name.substr(equals + 1);
        long_name.resize(equals);
        has_value = true;
      }
    } else {
      short_name = word[1];
      if (word.size() > 2) {
        value = word.substr(2);
        has_value = true;
      }
    }
    const OptionSpec* spec = FindOption(specs, long_name, short_name);
    if (spec == nullptr || (has_value && !spec->takes_value)) {
      *error = Localized(console, "unknown option ", "未知选项 ") + word;
      return false;
    }
    if (spec->takes_value && !has_value) {
      if (i + 1 >= args.size()) {
        *error = Localized(console, "option needs a value: ", "选项缺少取值：") + word;
        return false;
      }
      value = args[++i];
    }
    parsed->values[spec->long_name] = value;
  }
  return true;
}

bool ParseIdArgument(const std::string& text, uint32_t* id) {
  size_t start = 0;
  if (text.compare(0, 1, "@") == 0) {
    start = 1;
  } else if (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0) {
    start = 2;
  }
  const size_t digits = text.size() - start;
  if (digits == 0 || digits > 8) return false;
  uint32_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) return false;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  *id = value;
  return true;
}

std::string IdText(uint32_t id) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(id));
  return text;
}

bool OpenArchive(CommandCall& call, const std::string& path, OpenedArchive* archive) {
  archive->path = path;
  if (!call.files.FileIsPresent(path)) {
    PrintError(call.console, Message(MessageKey::MsgSourceNotFound, {path}));
    return false;
  }
  archive->stream = call.files.OpenShared(path);
  if (!archive->stream) {
    PrintError(call.console,
               Message(MessageKey::MsgSourceOpenFailed, {path, LastSystemErrorText()}));
    return false;
  }
  try {
    archive->fault = ReadArchiveIndex(*archive->stream, &archive->index);
  } catch (const std::bad_alloc&) {
    archive->index = ArchiveIndex();
    PrintError(call.console, Message(MessageKey::MsgOutOfMemory, {path}));
    return false;
  }
  return true;
}

std::string ArchiveFaultText(const Console& console, const OpenedArchive& archive) {
  const ArchiveIndex& index = archive.index;
  switch (archive.fault) {
    case ArchiveFault::kNone:
      return std::string();
    case ArchiveFault::kNoMagic:
      return Localized(console, "the file does not begin with the bytes \"PFDW\"",
                       "文件开头不是 \"PFDW\" 四个字节");
    case ArchiveFault::kHeaderTruncated:
      return FormatText(Localized(console, "the file ends within its 12-byte header (%d bytes)",
                                  "文件只有 %d 字节，不足 12 字节的文件头"),
                        {Signed(index.file_size)});
    case ArchiveFault::kIndexBeyondEnd:
      return FormatText(
          Localized(console,
                    "its index of %d entries at offset %d ends at byte %d, beyond the end of "
                    "the file (%d bytes)",
                    "索引共 %d 项，位于偏移 %d，结束于第 %d 字节，超出文件末尾（文件 %d 字节）"),
          {Signed(index.header.EntryCount), Signed(index.header.IndexOffset),
           Signed(index.header.IndexOffset + uint64_t{16} * index.header.EntryCount),
           Signed(index.file_size)});
    case ArchiveFault::kReadFailed:
      return Localized(console, "the file could not be read: ", "无法读取文件：") +
             LastSystemErrorText();
  }
  return std::string();
}

bool OpenReadableArchive(CommandCall& call, const std::string& path, OpenedArchive* archive) {
  if (!OpenArchive(call, path, archive)) return false;
  if (archive->fault == ArchiveFault::kNone) return true;
  PrintError(call.console, Message(MessageKey::MsgSourceNotWdf, {path}) + "\r" +
                               ArchiveFaultText(call.console, *archive));
  return false;
}

std::string EntryOutsideFileText(const Console& console, const OpenedArchive& archive,
                                 size_t entry) {
  const WdfEntry& e = archive.index.entries[entry];
  return FormatText(Localized(console,
                              "%s: entry %d (id %s, offset %d, size %d) does not lie within the "
                              "file (%d bytes); its bytes cannot be read",
                              "%s：第 %d 项（ID %s，偏移 %d，大小 %d）不在文件之内（文件 %d "
                              "字节），无法读取其数据"),
                    {archive.path, Signed(entry), IdText(e.Id), Signed(e.Offset), Signed(e.Size),
                     Signed(archive.index.file_size)});
}

}  // namespace velmora
