// What the preview pane shows of an entry's first bytes, decided without any window: the hex
// dump of data, the encoding of a text, and the entry count of an archive inside the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// Bytes of an entry the preview reads: the whole picture up to this size, the first bytes of
// anything else.
constexpr size_t kPreviewPictureLimit = 64u * 1024 * 1024;
constexpr size_t kPreviewTextLimit = 256u * 1024;
constexpr size_t kPreviewHexLimit = 4096;

// Sixteen bytes a line: the offset in eight hexadecimal digits, the bytes, and their printable
// ASCII form ('.' for the rest); lines end in CR LF, as an edit control wants them.
std::string HexDump(const std::string& bytes);

enum class TextEncoding { kUtf8, kCp936 };
// UTF-8 when the bytes are valid UTF-8 (a sequence cut by the end of the sample counts as valid),
// code page 936 otherwise.
TextEncoding PreviewTextEncoding(const std::string& bytes);

// The entry count a nested archive's header gives; false when `head` is not a WDF header.
bool NestedArchiveCount(const std::string& head, uint32_t* count);

}  // namespace velmora
