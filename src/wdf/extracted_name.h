// The name an extracted entry's file gets: its id in eight hexadecimal digits, "-N" for the N-th
// entry of a repeated id (N from 2), and the extension of its kind. Names are made from the id
// alone, so an extraction never writes outside its folder.
#pragma once

#include <cstdint>
#include <string>

#include "wdf/entry_kind.h"

namespace velmora {

std::string ExtractedFileName(uint32_t id, uint32_t occurrence, EntryKind kind);

}  // namespace velmora
