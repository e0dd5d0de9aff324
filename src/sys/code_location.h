// Where a code address lies: the program file (or library) that holds it and the offset from that
// module's start, as a report of an unhandled failure names it.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

struct CodeLocation {
  std::string ModuleName;  // file name without its folder
  uintptr_t Offset = 0;    // from the start of that module
};

// The module holding `address`; the program's own file, with offset 0, when no module holds it.
CodeLocation LocateCode(const void* address);

}  // namespace velmora
