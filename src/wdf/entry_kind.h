// What kind of data an entry holds, read from its first bytes, so that a modder can see which
// entries are pictures, sounds, texts or nested archives, and extracted files get an extension
// their editors recognise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

enum class EntryKind {
  kBmp,
  kPng,
  kJpg,
  kGif,
  kTga,
  kWav,
  kOgg,
  kMp3,
  kWdf,
  kText,
  kData,
  kEmpty,        // Size 0
  kOutOfBounds,  // the entry's bytes do not all lie within the file; they are never read
};

// How many of an entry's first bytes the detection looks at.
constexpr size_t kEntryKindSample = 4096;

// The kind of an entry of `entry_size` bytes (at least 1) whose first bytes are `head` (the
// whole entry, or its first kEntryKindSample bytes).
EntryKind DetectEntryKind(const std::string& head, uint64_t entry_size);

// Reads the entry's first bytes from `stream` and detects its kind; out-of-bounds and empty
// entries are told without reading. False when the bytes could not be read.
bool ReadEntryKind(Stream& stream, const WdfEntry& entry, uint64_t file_size, EntryKind* kind);

// The kind's name as programs read it (tsv, json): "bmp", ..., "text", "data", "empty",
// "out-of-bounds".
const char* EntryKindName(EntryKind kind);
// The kind's name as a person reads it, in UTF-8: the file formats by their usual names, and the
// kinds that are words (text, data, empty, out-of-bounds) in the person's language.
const char* EntryKindDisplayName(EntryKind kind, bool chinese);
// The extension of an extracted file, without the dot: the name, except "txt" for text, "bin"
// for data and "dat" for an empty entry. Empty for out-of-bounds (nothing can be extracted).
const char* EntryKindExtension(EntryKind kind);

}  // namespace velmora
